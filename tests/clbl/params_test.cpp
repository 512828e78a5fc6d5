// tests/clbl/params_test.cpp
#include "clbl/params.h"

#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <limits>
#include <random>
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
    EXPECT_TRUE(p == kcColorBalanceParams());
    EXPECT_TRUE(p.isExposureEnabled());
    EXPECT_TRUE(p.isContrastEnabled());
    EXPECT_TRUE(p.isBrightnessEnabled());
    EXPECT_EQ(p.minExposureStepSize(), 0.0);
    EXPECT_EQ(p.minContrastStepSize(), kDefaultStep);
    EXPECT_EQ(p.minBrightnessStepSize(), kDefaultStep);
    EXPECT_EQ(p.exposureRange(), kcRange(0.000001, 0.3));
    EXPECT_TRUE(p.usePositive8BitLut());
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
    for (double bad : {-1e-9, nan, -inf})
        expectRejected(
            p, [bad](kcColorBalanceParams& t) { t.minExposureStepSize(bad); }, L"minExposureStepSize < 0");
    for (double bad : {0.5000001, -0.001, nan, inf}) {
        expectRejected(
            p, [bad](kcColorBalanceParams& t) { t.minContrastStepSize(bad); }, L"minContrastStepSize < 0");
        expectRejected(
            p, [bad](kcColorBalanceParams& t) { t.minBrightnessStepSize(bad); }, L"minBrightnessStepSize < 0");
    }
    expectRejected(
        p, [](kcColorBalanceParams& t) { t.exposureRange(kcRange::EmptyRange()); },
        L"exposureRange == kcRange::EmptyRange()");
}

TEST(ColorBalanceParams, RecordsDifferingInAnyOneFieldCompareUnequal) {
    const kcColorBalanceParams base;
    const std::vector<std::function<void(kcColorBalanceParams&)>> changes = {
        [](kcColorBalanceParams& p) { p.isExposureEnabled(false); },
        [](kcColorBalanceParams& p) { p.isContrastEnabled(false); },
        [](kcColorBalanceParams& p) { p.isBrightnessEnabled(false); },
        [](kcColorBalanceParams& p) { p.minExposureStepSize(std::nextafter(0.0, 1.0)); },
        [](kcColorBalanceParams& p) { p.minContrastStepSize(std::nextafter(kDefaultStep, 1.0)); },
        [](kcColorBalanceParams& p) { p.minBrightnessStepSize(std::nextafter(kDefaultStep, 0.0)); },
        [](kcColorBalanceParams& p) { p.exposureRange(kcRange(0.000001, 0.30000000000000004)); },
        [](kcColorBalanceParams& p) { p.usePositive8BitLut(false); },
    };
    for (std::size_t i = 0; i < changes.size(); ++i) {
        kcColorBalanceParams changed = base;
        changes[i](changed);
        EXPECT_FALSE(changed == base) << "field " << i;
        EXPECT_FALSE(base == changed) << "field " << i;
    }
}

TEST(ColorBalanceParamsArchive, StoresVersionOneWithAllEightFieldsAndLoadsAnEqualRecord) {
    const std::vector<unsigned char> bytes = stored(unusual());
    // version, three flags, step, range (flag and two doubles), flag, two steps
    ASSERT_EQ(bytes.size(), 1u + 3 + 8 + 17 + 1 + 8 + 8);
    EXPECT_EQ(bytes[0], 1);
    EXPECT_EQ(bytes[1], 0);   // isExposureEnabled
    EXPECT_EQ(bytes[2], 1);   // isContrastEnabled
    EXPECT_EQ(bytes[29], 0);  // usePositive8BitLut, after the range

    kcColorBalanceParams loaded;
    kcArchive in = kcArchive::loading(bytes);
    in || loaded;
    EXPECT_TRUE(loaded == unusual());
    EXPECT_EQ(in.remaining(), 0u);
}

TEST(ColorBalanceParamsArchive, VersionZeroRecordsLoadWithDefaultContrastAndBrightnessSteps) {
    kcArchive out = kcArchive::storing();
    unsigned char version = 0;
    bool exposureEnabled = true, contrastEnabled = false, brightnessEnabled = true, lut = false;
    double exposureStep = 0.5;
    kcRange range(0.01, 0.02);
    out || version || exposureEnabled || contrastEnabled || brightnessEnabled || exposureStep || range || lut;

    kcColorBalanceParams target = unusual();  // steps 0.125 and 0.0 before loading
    kcArchive in = kcArchive::loading(out.bytes());
    in || target;
    EXPECT_EQ(target.minContrastStepSize(), kDefaultStep);
    EXPECT_EQ(target.minBrightnessStepSize(), kDefaultStep);
    EXPECT_TRUE(target.isExposureEnabled());
    EXPECT_FALSE(target.isContrastEnabled());
    EXPECT_EQ(target.minExposureStepSize(), 0.5);
    EXPECT_EQ(target.exposureRange(), range);
    EXPECT_FALSE(target.usePositive8BitLut());
}

TEST(ColorBalanceParamsArchive, NewerTruncatedOrCorruptRecordsThrowAndLeaveTheTargetUnchanged) {
    std::vector<unsigned char> newer = stored(kcColorBalanceParams());
    newer[0] = 2;
    kcColorBalanceParams target = unusual();
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
        kcArchive in = kcArchive::loading(std::vector<unsigned char>(full.begin(), full.begin() + cut));
        EXPECT_THROW(in || target, kcArchive::Errors) << "cut at " << cut;
        EXPECT_TRUE(target == unusual()) << "cut at " << cut;
    }

}

TEST(ColorBalanceParamsArchive, LoadsValuesTheSettersWouldRejectAsTheyWereStored) {
    const std::vector<unsigned char> full = stored(kcColorBalanceParams());
    std::vector<unsigned char> nanStep = full;
    for (std::size_t i = 4; i < 12; ++i) nanStep[i] = 0xFF;
    nanStep[12] = 1;  // the empty range
    kcColorBalanceParams target;
    kcArchive in = kcArchive::loading(nanStep);
    in || target;
    EXPECT_TRUE(std::isnan(target.minExposureStepSize()));
    EXPECT_TRUE(target.exposureRange() == kcRange::EmptyRange());
}

TEST(ColorBalanceParamsArchive, GarbageFailsOnlyWithArchiveErrors) {
    std::mt19937 random(99);
    std::uniform_int_distribution<int> byte(0, 255);
    const std::vector<unsigned char> valid = stored(kcColorBalanceParams());
    int otherErrors = 0;
    for (int round = 0; round < 3000; ++round) {
        // Mostly valid bytes with a few changed, so that loads get far.
        std::vector<unsigned char> bytes = valid;
        for (int k = 0; k < 3; ++k)
            bytes[static_cast<std::size_t>(byte(random)) % bytes.size()] = static_cast<unsigned char>(byte(random));
        bytes[0] = static_cast<unsigned char>(byte(random) % 2);
        kcColorBalanceParams target;
        try {
            kcArchive in = kcArchive::loading(bytes);
            in || target;
        } catch (const kcArchive::Errors&) {
        } catch (...) {
            ++otherErrors;
        }
    }
    EXPECT_EQ(otherErrors, 0);
}
