// tests/apps/colorbal_program_test.cpp
// The built colorbal program, run as a user runs it.
#include <gtest/gtest.h>

#include <filesystem>

#include "colorbal_test_support.h"

using colorbal_test::JsonReader;
using colorbal_test::runProgram;
using colorbal_test::TempDir;

TEST(ColorbalProgram, DefaultBalanceSucceedsAndItsJsonHoldsTheResult) {
    TempDir dir;
    const colorbal_test::Run run = runProgram(dir, {"balance", "--json"});
    ASSERT_EQ(run.status, 0) << run.err;
    // Standard error is no terminal here: no progress line.
    EXPECT_EQ(run.err, "");
    std::map<std::string, std::string> members;
    ASSERT_NO_THROW(members = JsonReader(run.out).topLevelObject()) << run.out;
    for (const char* key : {"exposure", "contrast", "brightness", "positive8BitLut", "seconds"})
        EXPECT_EQ(members.count(key), 1U) << key;
    EXPECT_EQ(members["positive8BitLut"], "true");
    EXPECT_EQ(members["size"], "{\"width\": 640, \"height\": 480}");
    // The balanced image is better exposed than the first one.
    EXPECT_GT(std::stod(members["goodPelFractionResult"]), std::stod(members["goodPelFractionStart"]));
    EXPECT_GT(std::stoul(members["images"]), 1UL);
}

TEST(ColorbalProgram, TextReportSavedArchivesAndShowAgree) {
    TempDir dir;
    const std::string result = dir.file("result.cbr");
    const std::string params = dir.file("params.cbp");
    const colorbal_test::Run run = runProgram(dir, {"balance", "--size", "64x48", "--seed", "5", "--exposure-range",
                                                    "1e-5,0.2", "--save-result", result, "--save-params", params});
    ASSERT_EQ(run.status, 0) << run.err;
    for (const char* line :
         {"exposure:", "contrast:", "brightness:", "LUT is identity:   yes", "images taken:", "good pels:", "time:"})
        EXPECT_NE(run.out.find(line), std::string::npos) << line << " missing from\n" << run.out;

    const colorbal_test::Run shownResult = runProgram(dir, {"show", result});
    ASSERT_EQ(shownResult.status, 0) << shownResult.err;
    // The settings lines of show are lines of the report.
    for (const char* key : {"\nexposure:", "\ncontrast:", "\nbrightness:"}) {
        const std::size_t at = shownResult.out.find(key);
        ASSERT_NE(at, std::string::npos) << key << " missing from\n" << shownResult.out;
        EXPECT_NE(run.out.find(shownResult.out.substr(at, shownResult.out.find('\n', at + 1) + 1 - at)),
                  std::string::npos)
            << key;
    }
    const colorbal_test::Run shownParams = runProgram(dir, {"show", params});
    ASSERT_EQ(shownParams.status, 0) << shownParams.err;
    EXPECT_NE(shownParams.out.find("exposure range:    0.01 ms .. 200.00 ms"), std::string::npos) << shownParams.out;

    // The saved parameters run again give the same result.
    const colorbal_test::Run again = runProgram(
        dir, {"balance", "--size", "64x48", "--seed", "5", "--params", params, "--save-result", dir.file("again.cbr")});
    ASSERT_EQ(again.status, 0) << again.err;
    EXPECT_EQ(colorbal_test::readFile(dir.file("again.cbr")), colorbal_test::readFile(result));
}

TEST(ColorbalProgram, BadInputGivesStatus2AndOneLineAndWritesNothing) {
    TempDir dir;
    std::filesystem::create_directory(dir.file("sub"));
    const std::string truncatedPng = dir.file("truncated.png");
    // A PNG signature and the start of a header, then nothing.
    std::ofstream(truncatedPng, std::ios::binary) << std::string("\x89PNG\r\n\x1a\n\0\0\0\x0dIHDR", 16);
    // Bad files; the options' own checks are covered in-process.
    const std::vector<std::vector<std::string>> cases = {{"balance", "--scene", truncatedPng},
                                                         {"balance", "--scene", dir.file("missing.ppm")},
                                                         {"balance", "--size", "63x48"},
                                                         {"show", dir.file("sub")}};
    for (const auto& args : cases) {
        std::vector<std::string> withOutputs = args;
        if (args.front() == "balance") {
            withOutputs.insert(withOutputs.end(), {"--save-result", dir.file("sub/r"), "--save-params",
                                                   dir.file("sub/p"), "--diagnostics", dir.file("sub/d")});
        }
        const colorbal_test::Run run = runProgram(dir, withOutputs);
        EXPECT_EQ(run.status, 2) << args.back();
        EXPECT_EQ(run.out, "") << args.back();
        EXPECT_NE(run.err.find(args.back()), std::string::npos) << run.err;
        EXPECT_EQ(run.err.find('\n'), run.err.size() - 1) << "more than one line: " << run.err;
        EXPECT_TRUE(std::filesystem::is_empty(dir.file("sub"))) << "an output was written for " << args[1];
    }
}
