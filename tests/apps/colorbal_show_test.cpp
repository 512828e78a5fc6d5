// tests/apps/colorbal_show_test.cpp
// `colorbal show` on the program's tagged archives, and its refusal of
// anything else.
#include <gtest/gtest.h>

#include <fstream>

#include "apps/colorbal/app_errors.h"
#include "apps/colorbal/archive_files.h"
#include "colorbal_test_support.h"
#include "toolkit/foundation/archive.h"

using colorbal_test::runInProcess;

namespace {
// An archive holding `tag` and then one byte.
std::string taggedBytes(std::string tag, unsigned char next) {
    kcArchive ar = kcArchive::storing();
    ar || tag || next;
    return std::string(ar.bytes().begin(), ar.bytes().end());
}
}  // namespace

TEST(ColorbalShow, PrintsAStoredResultAndStoredParametersAsTextAndJson) {
    const colorbal_test::TempDir dir;
    kcColorBalanceResult result;
    result.exposure(0.0123);
    result.contrast(0.5);
    result.brightness(0.1875);
    result.positive8BitLut(true);
    kcAcquireInfo info;
    info.acquisitionNumber(812);
    result.acqInfo(info);
    kfWriteResultFile(dir.file("r"), result);
    kcColorBalanceParams params;
    params.isContrastEnabled(false);
    params.exposureRange(kcRange(2e-6, 0.25));
    params.usePositive8BitLut(false);
    kfWriteParamsFile(dir.file("p"), params);

    const std::vector<std::pair<std::string, std::vector<std::string>>> cases = {
        {"r",
         {"exposure:          12.30 ms\n", "contrast:          0.5000\n", "brightness:        0.1875\n",
          "LUT is identity:   yes", "number 812", "camera's own clock"}},
        {"p",
         {"vary:              exposure,brightness", "exposure range:    0.002 ms .. 250.00 ms",
          "positive LUT:      off"}},
    };
    for (const auto& [file, lines] : cases) {
        const colorbal_test::Run run = runInProcess({"show", dir.file(file)});
        ASSERT_EQ(run.status, kExitSuccess) << run.err;
        for (const std::string& line : lines) EXPECT_NE(run.out.find(line), std::string::npos) << run.out;
    }
    const colorbal_test::Run json = runInProcess({"show", "--json", dir.file("r")});
    ASSERT_EQ(json.status, kExitSuccess);
    const auto members = colorbal_test::JsonReader(json.out).topLevelObject();
    EXPECT_EQ(members.at("kind"), "\"result\"");
    EXPECT_EQ(members.at("exposure"), "0.0123");
    EXPECT_NE(members.at("units").find("\"exposure\": \"s\""), std::string::npos);
    EXPECT_EQ(members.at("positive8BitLut"), "true");
}

TEST(ColorbalShow, RefusesGarbageTruncatedAndForeignFilesWithStatus2NamingTheFile) {
    const colorbal_test::TempDir dir;
    kcColorBalanceResult result;
    result.exposure(0.02);
    kfWriteResultFile(dir.file("good"), result);
    const std::string good = colorbal_test::readFile(dir.file("good"));
    // The bytes and a piece of the message: garbage, trailing bytes, another
    // record under a tag of ours, a record version from the future, and
    // every truncation of a good file.
    std::vector<std::pair<std::string, std::string>> cases = {{"", "neither"},
                                                              {"hello, this is not an archive\n", "neither"},
                                                              {good + "x", "1 unexpected byte after the record"},
                                                              {good + "xx", "2 unexpected bytes after the record"},
                                                              {taggedBytes("colorbal-other", 1), "neither"},
                                                              {taggedBytes(kResultFileTag, 9), "newer"}};
    for (std::size_t n = 1; n < good.size(); ++n) cases.emplace_back(good.substr(0, n), "");
    for (const auto& [bytes, inMessage] : cases) {
        std::ofstream(dir.file("f"), std::ios::binary) << bytes;
        const colorbal_test::Run run = runInProcess({"show", dir.file("f")});
        EXPECT_EQ(run.status, kExitUsage) << bytes.size() << " bytes";
        EXPECT_EQ(run.out, "");
        EXPECT_NE(run.err.find(dir.file("f")), std::string::npos) << run.err;
        EXPECT_NE(run.err.find(inMessage), std::string::npos) << run.err;
    }
    const colorbal_test::Run missing = runInProcess({"show", dir.file("missing")});
    EXPECT_EQ(missing.status, kExitUsage);
    EXPECT_NE(missing.err.find("cannot read"), std::string::npos) << missing.err;
}
