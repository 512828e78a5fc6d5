// tests/clbl/result_test.cpp
#include "clbl/result.h"

#include <gtest/gtest.h>

#include <cmath>
#include <vector>

namespace {

kcColorBalanceResult sample() {
    kcColorBalanceResult r;
    r.exposure(0.0125);
    r.contrast(-0.25);  // never validated
    r.brightness(0.75);
    r.positive8BitLut(true);
    kcAcquireInfo info;
    info.failure(kcAcqFailure(4));
    info.acquisitionNumber(31);
    info.timeStamp(1.25);
    r.acqInfo(info);
    return r;
}

std::vector<unsigned char> stored(kcColorBalanceResult r) {
    kcArchive out = kcArchive::storing();
    out || r;
    return out.bytes();
}

}  // namespace

TEST(ColorBalanceResult, ComparesSettingsAndFlagExactlyButNotTheAcquisitionInfo) {
    EXPECT_TRUE(kcColorBalanceResult() == kcColorBalanceResult());
    const kcColorBalanceResult defaults;
    EXPECT_EQ(defaults.exposure(), 0.0);
    EXPECT_FALSE(defaults.positive8BitLut());
    EXPECT_EQ(defaults.acqInfo(), kcAcquireInfo());

    const kcColorBalanceResult a = sample();
    kcColorBalanceResult b = a;
    b.acqInfo(kcAcquireInfo());
    EXPECT_TRUE(a == b);

    kcColorBalanceResult lastBit = a;
    lastBit.exposure(std::nextafter(a.exposure(), 1.0));
    EXPECT_FALSE(a == lastBit);
    kcColorBalanceResult contrast = a;
    contrast.contrast(-0.2500001);
    EXPECT_FALSE(a == contrast);
    kcColorBalanceResult brightness = a;
    brightness.brightness(0.0);
    EXPECT_FALSE(a == brightness);
    kcColorBalanceResult flag = a;
    flag.positive8BitLut(false);
    EXPECT_FALSE(a == flag);
}

TEST(ColorBalanceResultArchive, RoundTripsEveryFieldIncludingTheAcquisitionInfo) {
    const std::vector<unsigned char> bytes = stored(sample());
    EXPECT_EQ(bytes[0], 0);
    kcColorBalanceResult loaded;
    kcArchive in = kcArchive::loading(bytes);
    in || loaded;
    EXPECT_TRUE(loaded == sample());
    EXPECT_EQ(loaded.acqInfo(), sample().acqInfo());
    EXPECT_EQ(loaded.contrast(), -0.25);
    EXPECT_EQ(in.remaining(), 0u);
}

TEST(ColorBalanceResultArchive, NewerOrTruncatedRecordsThrowAndLeaveTheTargetUnchanged) {
    std::vector<unsigned char> newer = stored(kcColorBalanceResult());
    newer[0] = 1;
    kcColorBalanceResult target = sample();
    kcArchive newerIn = kcArchive::loading(newer);
    EXPECT_THROW(newerIn || target, kcArchive::UnknownVersion);

    const std::vector<unsigned char> full = stored(kcColorBalanceResult());
    for (std::size_t cut = 0; cut < full.size(); ++cut) {
        kcArchive in =
            kcArchive::loading(std::vector<unsigned char>(full.begin(), full.begin() + static_cast<long>(cut)));
        EXPECT_THROW(in || target, kcArchive::Errors) << "cut at " << cut;
    }
    EXPECT_TRUE(target == sample());
    EXPECT_EQ(target.acqInfo(), sample().acqInfo());
}
