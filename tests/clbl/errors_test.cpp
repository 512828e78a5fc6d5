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

// True when a rejecting setter's error is caught as E.
template <class E>
bool caughtAs() {
    try {
        kcColorBalanceParams().minExposureStepSize(-1.0);
    } catch (const E&) {
        return true;
    }
    return false;
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

TEST(ColorBalanceErrors, BadParamsIsCaughtAsEachOfItsBasesWithItsNumberAndMessage) {
    EXPECT_TRUE(caughtAs<kcColorBalanceDefs::BadParams>() && caughtAs<kcColorBalanceDefs::Errors>() &&
                caughtAs<kcExceptionWithString>() && caughtAs<kcException>() && caughtAs<kcPersistent>() &&
                caughtAs<std::exception>());
    kcColorBalanceDefs::BadParams assigned;
    assigned = kcColorBalanceDefs::BadParams(L"minContrastStepSize < 0");
    EXPECT_EQ(assigned.errorNumber(), kBadParamsNumber);
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
    }
}

TEST(ColorBalanceErrorsArchive, BadParamsStoredAsAnObjectLoadsBackAsBadParamsAndRejectsNewerVersions) {
    kcArchive out = kcArchive::storing();
    kcColorBalanceDefs::BadParams error(L"minExposureStepSize < 0");
    out.storeObject(error);
    kcArchive in = kcArchive::loading(out.bytes());
    const std::unique_ptr<kcPersistent> object = in.loadObject();
    const auto* loaded = dynamic_cast<const kcColorBalanceDefs::BadParams*>(object.get());
    ASSERT_NE(loaded, nullptr);
    EXPECT_EQ(loaded->message(), L"minExposureStepSize < 0");
    EXPECT_EQ(loaded->errorNumber(), kBadParamsNumber);
    EXPECT_EQ(in.remaining(), 0u);

    std::vector<unsigned char> newer = out.bytes();
    newer.at(4 + std::string("kcColorBalanceDefs::BadParams").size()) = 1;  // after the class name
    kcArchive newerIn = kcArchive::loading(newer);
    EXPECT_THROW((void)newerIn.loadObject(), kcArchive::UnknownVersion);
}
