// tests/genicam/genicam_test_main.cpp
// The camera tests run in a network namespace of their own where the
// system allows it, so that no camera elsewhere on the machine changes
// their results.
#include <gtest/gtest.h>

#include <cstdio>

#include "fake_gv_camera.h"

int main(int argc, char** argv) {
    // Before GoogleTest or Aravis start any thread.
    if (!genicam_test::isolateNetwork())
        std::fprintf(stderr, "note: no network namespace of its own; the tests use the machine's loopback\n");
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
