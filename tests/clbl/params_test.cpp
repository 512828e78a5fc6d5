// tests/clbl/params_test.cpp
#include "clbl/params.h"

#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <limits>
#include <string>
#include <vector>

#include "clbl/defs.h"

namespace {

constexpr double kDefaultStep = 0.0009765625;

// Runs `set` on a copy of `params`, expects BadParams with `message`, and
// expects the copy unchanged.
void expectRejected(const kcColorBalanceParams& params, const std::function<void(kcColorBalanceParams&)>& set,
                    const std::wstring& message) {
    kcColorBalanceParams target = params;
    try {
        set(target);
        ADD_FAILURE() << "accepted a bad value";
    } catch (const kcColorBalanceDefs::BadParams& e) {
        EXPECT_EQ(e.message(), message);
    }
    EXPECT_TRUE(target == params);
}

kcColorBalanceParams unusual() {
    kcColorBalanceParams p;
    p.isExposureEnabled(false);
    p.isBrightnessEnabled(false);
    p.minExposureStepSize(0.001);
    p.minContrastStepSize(0.125);
    p.minBrightnessStepSize(0.0);
    p.exposureRange(kcRange(0.002, 0.04));
    p.usePositive8BitLut(false);
    return p;
}

std::vector<unsigned char> stored(kcColorBalanceParams p) {
    kcArchive out = kcArchive::storing();
    out || p;
    return out.bytes();
}

}  // namespace

TEST(ColorBalanceParams, DefaultsEnableEverythingAndRoundContrastAndBrightnessToATwoToTheMinusTen) {
    const kcColorBalanceParams p;
    EXPECT_TRUE(p.isExposureEnabled() && p.isContrastEnabled() && p.isBrightnessEnabled() && p.usePositive8BitLut());
    EXPECT_EQ(p.minExposureStepSize(), 0.0);
    EXPECT_EQ(p.minContrastStepSize(), kDefaultStep);
    EXPECT_EQ(p.minBrightnessStepSize(), kDefaultStep);
    EXPECT_EQ(p.exposureRange(), kcRange(0.000001, 0.3));
}

TEST(ColorBalanceParams, ValidatingSettersRejectBadValuesWithTheirMessageAndKeepTheOldValue) {
    kcColorBalanceParams p;
    p.minContrastStepSize(0.5);
    p.minBrightnessStepSize(0.0);
    p.minExposureStepSize(0.0);
    p.minExposureStepSize(1e9);  // no upper bound
    p.exposureRange(kcRange(0.0, 0.1));
    EXPECT_EQ(p.minContrastStepSize(), 0.5);
    EXPECT_EQ(p.minBrightnessStepSize(), 0.0);
    EXPECT_EQ(p.minExposureStepSize(), 1e9);
    EXPECT_EQ(p.exposureRange(), kcRange(0.0, 0.1));

    const double nan = std::numeric_limits<double>::quiet_NaN();
    const double inf = std::numeric_limits<double>::infinity();
    using P = kcColorBalanceParams;
    for (double bad : {-1e-9, nan, -inf})
        expectRejected(p, [bad](P& t) { t.minExposureStepSize(bad); }, L"minExposureStepSize < 0");
    for (double bad : {0.5000001, -0.001, nan, inf}) {
        expectRejected(p, [bad](P& t) { t.minContrastStepSize(bad); }, L"minContrastStepSize < 0");
        expectRejected(p, [bad](P& t) { t.minBrightnessStepSize(bad); }, L"minBrightnessStepSize < 0");
    }
    expectRejected(p, [](P& t) { t.exposureRange(kcRange::EmptyRange()); }, L"exposureRange == kcRange::EmptyRange()");
}

TEST(ColorBalanceParams, RecordsDifferingInAnyOneFieldCompareUnequal) {
    using P = kcColorBalanceParams;
    const P base;
    const std::vector<std::function<void(P&)>> changes = {
        [](P& p) { p.isExposureEnabled(false); },   [](P& p) { p.isContrastEnabled(false); },
        [](P& p) { p.isBrightnessEnabled(false); }, [](P& p) { p.usePositive8BitLut(false); },
        [](P& p) { p.minExposureStepSize(std::nextafter(0.0, 1.0)); },
        [](P& p) { p.minContrastStepSize(std::nextafter(kDefaultStep, 1.0)); },
        [](P& p) { p.minBrightnessStepSize(std::nextafter(kDefaultStep, 0.0)); },
        [](P& p) { p.exposureRange(kcRange(0.000001, 0.30000000000000004)); },
    };
    for (std::size_t i = 0; i < changes.size(); ++i) {
        P changed = base;
        changes[i](changed);
        EXPECT_FALSE(changed == base || base == changed) << "field " << i;
    }
}

TEST(ColorBalanceParamsArchive, RoundTripsVersionOneAndRejectsNewerOrTruncatedRecordsLeavingTheTargetUnchanged) {
    const std::vector<unsigned char> bytes = stored(unusual());
    // version, three flags, step, range (flag and two doubles), flag, two steps
    ASSERT_EQ(bytes.size(), 1u + 3 + 8 + 17 + 1 + 8 + 8);
    EXPECT_EQ(bytes[0], 1);
    kcColorBalanceParams target;
    kcArchive in = kcArchive::loading(bytes);
    in || target;
    EXPECT_TRUE(target == unusual());
    EXPECT_EQ(in.remaining(), 0u);

    std::vector<unsigned char> newer = stored(kcColorBalanceParams());
    newer[0] = 2;
    kcArchive newerIn = kcArchive::loading(newer);
    try {
        newerIn || target;
        FAIL() << "loaded version 2";
    } catch (const kcArchive::UnknownVersion& e) {
        EXPECT_EQ(e.message().rfind(L"unknown version in clbl/colorbal line ", 0), 0u);
    }
    EXPECT_TRUE(target == unusual());

    const std::vector<unsigned char> full = stored(kcColorBalanceParams());
    for (std::size_t cut = 0; cut < full.size(); ++cut) {
        kcArchive cutIn = kcArchive::loading(std::vector<unsigned char>(full.begin(), full.begin() + cut));
        EXPECT_THROW(cutIn || target, kcArchive::Errors) << "cut at " << cut;
        EXPECT_TRUE(target == unusual()) << "cut at " << cut;
    }
}

TEST(ColorBalanceParamsArchive, VersionZeroRecordsLoadWithDefaultContrastAndBrightnessSteps) {
    std::vector<unsigned char> bytes = stored(unusual());
    bytes[0] = 0;
    bytes.resize(bytes.size() - 16);  // version 0 ends before the contrast and brightness steps
    kcColorBalanceParams target = unusual();  // steps 0.125 and 0.0 before loading
    kcArchive in = kcArchive::loading(bytes);
    in || target;
    kcColorBalanceParams expected = unusual();
    expected.minContrastStepSize(kDefaultStep);
    expected.minBrightnessStepSize(kDefaultStep);
    EXPECT_TRUE(target == expected);
    EXPECT_EQ(in.remaining(), 0u);
}
