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
    info.acquisitionNumber(31);
    r.acqInfo(info);
    return r;
}
}  // namespace

TEST(ColorBalanceResult, ComparesSettingsAndFlagExactlyButNotTheAcquisitionInfo) {
    const kcColorBalanceResult a = sample();
    kcColorBalanceResult b = a;
    b.acqInfo(kcAcquireInfo());
    EXPECT_TRUE(a == b);
    for (int field = 0; field < 4; ++field) {  // each differing in its last bit
        b = a;
        if (field == 0) b.exposure(std::nextafter(a.exposure(), 1.0));
        if (field == 1) b.contrast(std::nextafter(a.contrast(), 1.0));
        if (field == 2) b.brightness(std::nextafter(a.brightness(), 1.0));
        if (field == 3) b.positive8BitLut(false);
        EXPECT_FALSE(a == b) << "field " << field;
    }
}

TEST(ColorBalanceResultArchive, RoundTripsEveryFieldAndRejectsANewerVersionLeavingTheTargetUnchanged) {
    kcArchive out = kcArchive::storing();
    kcColorBalanceResult stored = sample();
    out || stored;
    kcColorBalanceResult loaded;
    kcArchive in = kcArchive::loading(out.bytes());
    in || loaded;
    EXPECT_TRUE(loaded == sample() && loaded.acqInfo() == sample().acqInfo());
    EXPECT_EQ(in.remaining(), 0u);
    // Files written earlier stay readable: version, exposure, contrast, brightness.
    kcArchive layout = kcArchive::loading(out.bytes());
    unsigned char version = 9;
    double exposure = 0.0, contrast = 0.0, brightness = 0.0;
    layout || version || exposure || contrast || brightness;
    EXPECT_TRUE(version == 0 && exposure == 0.0125 && contrast == -0.25 && brightness == 0.75);

    std::vector<unsigned char> newer = out.bytes();
    newer.at(0) = 1;
    kcColorBalanceResult target;
    kcArchive newerIn = kcArchive::loading(newer);
    EXPECT_THROW(newerIn || target, kcArchive::UnknownVersion);
    EXPECT_TRUE(target == kcColorBalanceResult() && target.acqInfo() == kcAcquireInfo());
}
