// tests/toolkit/rounding_test.cpp
#include "toolkit/foundation/rounding.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

TEST(Rounding, IRoundRoundsHalvesAwayFromZeroAndIsDefinedEverywhere) {
    EXPECT_EQ(iRound(2.5f), 3);
    EXPECT_EQ(iRound(-2.5f), -3);
    EXPECT_EQ(iRound(1.4999f), 1);
    EXPECT_EQ(iRound(0.0), 0);
    EXPECT_EQ(iRound(std::nanf("")), 0);
    EXPECT_EQ(iRound(std::numeric_limits<double>::quiet_NaN()), 0);
    EXPECT_EQ(iRound(std::numeric_limits<float>::infinity()), std::numeric_limits<long>::max());
    EXPECT_EQ(iRound(-std::numeric_limits<double>::infinity()), std::numeric_limits<long>::min());
    EXPECT_EQ(iRound(1e30), std::numeric_limits<long>::max());
    EXPECT_EQ(iRound(-1e30f), std::numeric_limits<long>::min());
}

TEST(Rounding, RealEqCountsTheToleranceItselfAsEqual) {
    EXPECT_TRUE(kfRealEq(0.3, 0.3 + 1e-16, 1e-15));
    EXPECT_FALSE(kfRealEq(0.3, 0.3 + 1e-14, 1e-15));
    EXPECT_TRUE(kfRealEq(0.0, 1e-15, 1e-15));
    EXPECT_FALSE(kfRealEq(std::nan(""), 0.0, 1e-15));
}
