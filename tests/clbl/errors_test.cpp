// tests/clbl/errors_test.cpp
#include <gtest/gtest.h>

#include <exception>
#include <memory>
#include <string>
#include <typeinfo>
#include <vector>

#include "clbl/defs.h"
#include "clbl/params.h"

namespace {

constexpr long kBadParamsNumber = 0x10008A00;

void throwFromSetter() {
    kcColorBalanceParams p;
    p.minExposureStepSize(-1.0);
}

std::vector<unsigned char> storedBadParams(const std::wstring& message) {
    kcColorBalanceDefs::BadParams error(message);
    kcArchive out = kcArchive::storing();
    out.storeObject(error);
    return out.bytes();
}

// Calls a rejecting setter and hands what it throws, caught as E, to check.
template <class E, class Check>
void catchAs(Check check) {
    try {
        throwFromSetter();
        ADD_FAILURE() << "the setter did not throw";
    } catch (const E& e) {
        check(e);
    }
}

// Counts its destructions, to see suicideAndRethrow free the object.
class CountedBadParams : public kcColorBalanceDefs::BadParams {
public:
    CountedBadParams(int& destroyed, const std::wstring& message) : BadParams(message), destroyed_(destroyed) {}
    ~CountedBadParams() override { ++destroyed_; }

private:
    int& destroyed_;
};

}  // namespace

TEST(ColorBalanceErrors, BadParamsIsCaughtAsEachOfItsBases) {
    const std::wstring expected = L"minExposureStepSize < 0";
    catchAs<kcColorBalanceDefs::BadParams>([&](const auto& e) { EXPECT_EQ(e.message(), expected); });
    catchAs<kcColorBalanceDefs::Errors>([&](const auto& e) { EXPECT_EQ(e.message(), expected); });
    catchAs<kcExceptionWithString>([&](const auto& e) { EXPECT_EQ(e.messageString(), expected); });
    catchAs<kcException>([](const auto& e) { EXPECT_EQ(e.errorNumber(), kBadParamsNumber); });
    catchAs<kcPersistent>(
        [](const auto& e) { EXPECT_NE(dynamic_cast<const kcColorBalanceDefs::BadParams*>(&e), nullptr); });
    catchAs<std::exception>([](const auto& e) { EXPECT_STREQ(e.what(), "minExposureStepSize < 0"); });
}

TEST(ColorBalanceErrors, BadParamsHasItsNumberAndCopiesItsMessage) {
    const kcColorBalanceDefs::BadParams empty;
    EXPECT_EQ(empty.errorNumber(), kBadParamsNumber);
    EXPECT_EQ(empty.message(), L"");

    const kcColorBalanceDefs::BadParams original(L"minContrastStepSize < 0");
    const kcColorBalanceDefs::BadParams copy(original);
    EXPECT_EQ(copy.message(), L"minContrastStepSize < 0");
    kcColorBalanceDefs::BadParams assigned;
    assigned = original;
    EXPECT_EQ(assigned.message(), L"minContrastStepSize < 0");
    EXPECT_STREQ(assigned.what(), "minContrastStepSize < 0");
}

TEST(ColorBalanceErrors, SuicideAndRethrowThrowsABadParamsCopyAndFreesTheHeapObject) {
    int destroyed = 0;
    kcException* heap = new CountedBadParams(destroyed, L"exposureRange == kcRange::EmptyRange()");
    try {
        heap->suicideAndRethrow();
        FAIL() << "did not throw";
    } catch (const kcColorBalanceDefs::BadParams& e) {
        EXPECT_EQ(destroyed, 1);
        EXPECT_TRUE(typeid(e) == typeid(kcColorBalanceDefs::BadParams));
        EXPECT_EQ(e.message(), L"exposureRange == kcRange::EmptyRange()");
        EXPECT_EQ(e.errorNumber(), kBadParamsNumber);
    }
}

TEST(ColorBalanceErrorsArchive, BadParamsStoredAsAnObjectLoadsBackAsBadParams) {
    const std::vector<unsigned char> bytes = storedBadParams(L"minExposureStepSize < 0");
    const std::string name = "kcColorBalanceDefs::BadParams";
    // Class name, then the BadParams, Errors and string-exception version bytes.
    ASSERT_GT(bytes.size(), 4 + name.size() + 3);
    EXPECT_EQ(std::string(bytes.begin() + 4, bytes.begin() + 4 + static_cast<long>(name.size())), name);
    EXPECT_EQ(bytes[4 + name.size()], 0);
    EXPECT_EQ(bytes[5 + name.size()], 0);
    EXPECT_EQ(bytes[6 + name.size()], 0);

    kcArchive in = kcArchive::loading(bytes);
    std::unique_ptr<kcPersistent> object = in.loadObject();
    const auto* loaded = dynamic_cast<const kcColorBalanceDefs::BadParams*>(object.get());
    ASSERT_NE(loaded, nullptr);
    EXPECT_EQ(loaded->message(), L"minExposureStepSize < 0");
    EXPECT_EQ(loaded->errorNumber(), kBadParamsNumber);
    EXPECT_EQ(in.remaining(), 0u);
}

TEST(ColorBalanceErrorsArchive, AnUnknownVersionNamesTheClassAndTruncationIsAnArchiveError) {
    const std::string name = "kcColorBalanceDefs::BadParams";
    for (std::size_t part = 0; part < 2; ++part) {
        std::vector<unsigned char> bytes = storedBadParams(L"x");
        bytes[4 + name.size() + part] = 1;
        kcArchive in = kcArchive::loading(bytes);
        try {
            (void)in.loadObject();
            FAIL() << "loaded version 1";
        } catch (const kcArchive::UnknownVersion& e) {
            EXPECT_EQ(e.message(), part == 0
                                       ? L"kcColorBalanceDefs::BadParams: unknown version, this reader knows up to 0"
                                       : L"kcColorBalanceDefs::Errors: unknown version, this reader knows up to 0");
        }
    }

    const std::vector<unsigned char> full = storedBadParams(L"minBrightnessStepSize < 0");
    for (std::size_t cut = 0; cut < full.size(); ++cut) {
        kcArchive in =
            kcArchive::loading(std::vector<unsigned char>(full.begin(), full.begin() + static_cast<long>(cut)));
        EXPECT_THROW((void)in.loadObject(), kcArchive::Errors) << "cut at " << cut;
    }
}

TEST(ColorBalanceErrorsArchive, TheSameObjectStoredTwiceIsWrittenInFullBothTimes) {
    kcColorBalanceDefs::BadParams error(L"minContrastStepSize < 0");
    kcArchive out = kcArchive::storing();
    out.storeObject(error);
    const std::size_t once = out.bytes().size();
    out.storeObject(error);
    EXPECT_EQ(out.bytes().size(), 2 * once);

    kcArchive in = kcArchive::loading(out.bytes());
    for (int i = 0; i < 2; ++i) {
        std::unique_ptr<kcPersistent> object = in.loadObject();
        const auto* loaded = dynamic_cast<const kcColorBalanceDefs::BadParams*>(object.get());
        ASSERT_NE(loaded, nullptr);
        EXPECT_EQ(loaded->message(), L"minContrastStepSize < 0");
    }
}
