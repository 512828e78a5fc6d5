// tests/clbl/records_test.cpp
// The parameter and result records, the parameters' error, and how each is
// stored in an archive.
#include <gtest/gtest.h>

#include <cmath>
#include <exception>
#include <functional>
#include <limits>
#include <memory>
#include <string>
#include <typeinfo>
#include <vector>

#include "clbl/defs.h"
#include "clbl/params.h"
#include "clbl/result.h"
#include "tests/support/thrown.h"

namespace {

using P = kcColorBalanceParams;
using BadParams = kcColorBalanceDefs::BadParams;
constexpr double kDefaultStep = 0.0009765625;
constexpr long kBadParamsNumber = 0x10008A00;

P unusual() {
    P p;
    p.isExposureEnabled(false);
    p.isBrightnessEnabled(false);
    p.minExposureStepSize(0.001);
    p.minContrastStepSize(0.125);
    p.minBrightnessStepSize(0.0);
    p.exposureRange(kcRange(0.002, 0.04));
    p.usePositive8BitLut(false);
    return p;
}

kcColorBalanceResult sampleResult(double exposure = 0.0125, double contrast = -0.25, bool positiveLut = true) {
    kcColorBalanceResult r;
    r.exposure(exposure);
    r.contrast(contrast);  // never validated
    r.brightness(0.75);
    r.positive8BitLut(positiveLut);
    kcAcquireInfo info;
    info.acquisitionNumber(31);
    r.acqInfo(info);
    return r;
}

template <class T>
std::vector<unsigned char> stored(T record) {
    kcArchive out = kcArchive::storing();
    out || record;
    return out.bytes();
}

// Loads `bytes` into `target`: "whole" when every byte was read, else the
// message of the archive error raised.
template <class T>
std::wstring load(const std::vector<unsigned char>& bytes, T& target) {
    kcArchive in = kcArchive::loading(bytes);
    const std::wstring error = thrownMessage<kcArchive::Errors>([&] { in || target; });
    return !error.empty() ? error : in.remaining() == 0 ? L"whole" : L"bytes left";
}

// Counts its destructions, to see suicideAndRethrow free the object.
class CountedBadParams : public BadParams {
public:
    CountedBadParams(int& destroyed, const std::wstring& message) : BadParams(message), destroyed_(destroyed) {}
    ~CountedBadParams() override { ++destroyed_; }

private:
    int& destroyed_;
};

}  // namespace

TEST(ColorBalanceParams, DefaultsAndSettersRejectingBadValuesWithTheirMessageKeepingTheOldValue) {
    P p;
    // The default steps and range are pinned by the golden searches, which use them.
    EXPECT_TRUE(p.isExposureEnabled() && p.isContrastEnabled() && p.isBrightnessEnabled() && p.usePositive8BitLut());
    p.minContrastStepSize(0.5);
    p.minBrightnessStepSize(0.0);
    p.minExposureStepSize(1e9);  // no upper bound
    p.exposureRange(kcRange(0.0, 0.1));
    EXPECT_TRUE(p.minContrastStepSize() == 0.5 && p.minBrightnessStepSize() == 0.0 && p.minExposureStepSize() == 1e9 &&
                p.exposureRange() == kcRange(0.0, 0.1));

    const double nan = std::numeric_limits<double>::quiet_NaN(), inf = std::numeric_limits<double>::infinity();
    const auto expectRejected = [&p](const std::function<void(P&)>& set, const std::wstring& message) {
        P target = p;
        EXPECT_EQ(thrownMessage<BadParams>([&] { set(target); }), message);
        EXPECT_TRUE(target == p);
    };
    for (double bad : {-1e-9, nan, -inf})
        expectRejected([bad](P& t) { t.minExposureStepSize(bad); }, L"minExposureStepSize < 0");
    for (double bad : {0.5000001, -0.001, nan, inf}) {
        expectRejected([bad](P& t) { t.minContrastStepSize(bad); }, L"minContrastStepSize < 0");
        expectRejected([bad](P& t) { t.minBrightnessStepSize(bad); }, L"minBrightnessStepSize < 0");
    }
    expectRejected([](P& t) { t.exposureRange(kcRange::EmptyRange()); }, L"exposureRange == kcRange::EmptyRange()");
}

TEST(ColorBalanceRecords, DifferingInAnyOneFieldCompareUnequalButTheResultIgnoresItsAcquisitionInfo) {
    const std::vector<std::function<void(P&)>> changes = {
        [](P& p) { p.isExposureEnabled(false); },
        [](P& p) { p.isContrastEnabled(false); },
        [](P& p) { p.isBrightnessEnabled(false); },
        [](P& p) { p.usePositive8BitLut(false); },
        [](P& p) { p.minExposureStepSize(std::nextafter(0.0, 1.0)); },
        [](P& p) { p.minContrastStepSize(std::nextafter(kDefaultStep, 1.0)); },
        [](P& p) { p.minBrightnessStepSize(std::nextafter(kDefaultStep, 0.0)); },
        [](P& p) { p.exposureRange(kcRange(0.000001, 0.30000000000000004)); },
    };
    for (std::size_t i = 0; i < changes.size(); ++i) {
        P changed;
        changes[i](changed);
        EXPECT_FALSE(changed == P() || P() == changed) << "params field " << i;
    }

    const kcColorBalanceResult a = sampleResult();
    kcColorBalanceResult b = a, brighter = a;
    b.acqInfo(kcAcquireInfo());
    brighter.brightness(std::nextafter(0.75, 1.0));
    EXPECT_TRUE(a == b);
    // Each field differing in its last bit.
    for (const kcColorBalanceResult& other :
         {sampleResult(std::nextafter(0.0125, 1.0)), sampleResult(0.0125, std::nextafter(-0.25, 1.0)), brighter,
          sampleResult(0.0125, -0.25, false)})
        EXPECT_FALSE(a == other || other == a);
}

// Records load whole; a newer version or any truncation raises the archive's
// error and leaves the target as it was. Version 0 of the parameters ends
// before the contrast and brightness steps, which load as the defaults.
TEST(ColorBalanceRecordsArchive, RoundTripReadOlderVersionsAndRejectNewerOrTruncatedOnesLeavingTheTarget) {
    std::vector<unsigned char> bytes = stored(unusual());
    // version, three flags, step, range (flag and two doubles), flag, two steps
    ASSERT_EQ(bytes.size(), 1u + 3 + 8 + 17 + 1 + 8 + 8);
    EXPECT_EQ(bytes[0], 1);
    P params;
    EXPECT_EQ(load(bytes, params), L"whole");
    EXPECT_TRUE(params == unusual());
    const std::vector<unsigned char> full = stored(P());
    for (std::size_t cut = 0; cut <= full.size(); ++cut) {  // every truncation, then version 2
        std::vector<unsigned char> bad(full.begin(), full.begin() + cut);
        if (cut == full.size()) bad[0] = 2;
        const std::wstring error = load(bad, params);
        EXPECT_TRUE(cut < full.size() ? error != L"whole"
                                      : error.starts_with(L"unknown version in clbl/colorbal line "))
            << "cut at " << cut;
        EXPECT_TRUE(params == unusual()) << "cut at " << cut;
    }
    bytes[0] = 0;
    bytes.resize(bytes.size() - 16);
    EXPECT_EQ(load(bytes, params), L"whole");  // steps 0.125 and 0.0 before loading
    P expected = unusual();
    expected.minContrastStepSize(kDefaultStep);
    expected.minBrightnessStepSize(kDefaultStep);
    EXPECT_TRUE(params == expected);

    bytes = stored(sampleResult());
    kcColorBalanceResult result;
    EXPECT_EQ(load(bytes, result), L"whole");
    EXPECT_TRUE(result == sampleResult() && result.acqInfo() == sampleResult().acqInfo());
    // Files written earlier stay readable: version, exposure, contrast, brightness.
    kcArchive layout = kcArchive::loading(bytes);
    unsigned char version = 9;
    double exposure = 0.0, contrast = 0.0, brightness = 0.0;
    layout || version || exposure || contrast || brightness;
    EXPECT_TRUE(version == 0 && exposure == 0.0125 && contrast == -0.25 && brightness == 0.75);
    bytes[0] = 1;
    result = kcColorBalanceResult();
    EXPECT_TRUE(load(bytes, result).starts_with(L"unknown version"));
    EXPECT_TRUE(result == kcColorBalanceResult() && result.acqInfo() == kcAcquireInfo());
}

TEST(ColorBalanceErrors, BadParamsIsEachOfItsBasesRethrowsAsItselfAndLoadsBackFromAnArchive) {
    try {
        P().minExposureStepSize(-1.0);
        ADD_FAILURE() << "accepted a bad value";
    } catch (const std::exception& e) {
        const auto* bad = dynamic_cast<const BadParams*>(&e);
        EXPECT_TRUE(dynamic_cast<const kcColorBalanceDefs::Errors*>(&e) &&
                    dynamic_cast<const kcExceptionWithString*>(&e) && dynamic_cast<const kcException*>(&e) &&
                    dynamic_cast<const kcPersistent*>(&e) && bad && bad->errorNumber() == kBadParamsNumber);
        EXPECT_STREQ(e.what(), "minExposureStepSize < 0");
    }
    BadParams assigned;
    assigned = BadParams(L"minContrastStepSize < 0");  // stored and loaded back below

    int destroyed = 0;
    kcException* heap = new CountedBadParams(destroyed, L"exposureRange == kcRange::EmptyRange()");
    try {
        heap->suicideAndRethrow();
        ADD_FAILURE() << "did not throw";
    } catch (const BadParams& e) {
        EXPECT_TRUE(destroyed == 1 && typeid(e) == typeid(BadParams));
        EXPECT_EQ(e.message(), L"exposureRange == kcRange::EmptyRange()");
    }

    kcArchive out = kcArchive::storing();
    out.storeObject(assigned);
    kcArchive in = kcArchive::loading(out.bytes());
    const std::unique_ptr<kcPersistent> object = in.loadObject();
    const auto* loaded = dynamic_cast<const BadParams*>(object.get());
    ASSERT_NE(loaded, nullptr);
    EXPECT_TRUE(loaded->message() == L"minContrastStepSize < 0" && loaded->errorNumber() == kBadParamsNumber);
    EXPECT_EQ(in.remaining(), 0u);
    std::vector<unsigned char> newer = out.bytes();
    newer.at(4 + std::string("kcColorBalanceDefs::BadParams").size()) = 1;  // after the class name
    kcArchive newerIn = kcArchive::loading(newer);
    EXPECT_THROW((void)newerIn.loadObject(), kcArchive::UnknownVersion);
}
