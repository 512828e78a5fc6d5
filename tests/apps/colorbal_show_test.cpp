// tests/apps/colorbal_show_test.cpp
// `colorbal show` on the program's tagged archives, and its refusal of
// anything else.
#include <gtest/gtest.h>

#include <fstream>

#include "apps/colorbal/app_errors.h"
#include "apps/colorbal/archive_files.h"
#include "colorbal_test_support.h"
#include "toolkit/foundation/archive.h"

using colorbal_test::readFile;
using colorbal_test::runInProcess;
using colorbal_test::TempDir;

namespace {
void writeBytes(const std::string& path, const std::string& bytes) { std::ofstream(path, std::ios::binary) << bytes; }
}  // namespace

TEST(ColorbalShow, PrintsAStoredResultAndStoredParameters) {
    TempDir dir;
    kcColorBalanceResult result;
    result.exposure(0.0123);
    result.contrast(0.5);
    result.brightness(0.1875);
    result.positive8BitLut(true);
    kcAcquireInfo info;
    info.acquisitionNumber(812);
    result.acqInfo(info);
    kfWriteResultFile(dir.file("r"), result);

    const colorbal_test::Run text = runInProcess({"show", dir.file("r")});
    ASSERT_EQ(text.status, kExitSuccess) << text.err;
    EXPECT_NE(text.out.find("exposure:          0.0123\n"), std::string::npos) << text.out;
    EXPECT_NE(text.out.find("contrast:          0.5\n"), std::string::npos) << text.out;
    EXPECT_NE(text.out.find("brightness:        0.1875\n"), std::string::npos) << text.out;
    EXPECT_NE(text.out.find("LUT is identity:   yes"), std::string::npos) << text.out;
    EXPECT_NE(text.out.find("number 812"), std::string::npos) << text.out;

    const colorbal_test::Run json = runInProcess({"show", "--json", dir.file("r")});
    ASSERT_EQ(json.status, kExitSuccess);
    const auto members = colorbal_test::JsonReader(json.out).topLevelObject();
    EXPECT_EQ(members.at("kind"), "\"result\"");
    EXPECT_EQ(members.at("exposure"), "0.0123");
    EXPECT_EQ(members.at("positive8BitLut"), "true");

    kcColorBalanceParams params;
    params.isContrastEnabled(false);
    params.exposureRange(kcRange(2e-6, 0.25));
    params.usePositive8BitLut(false);
    kfWriteParamsFile(dir.file("p"), params);
    const colorbal_test::Run p = runInProcess({"show", dir.file("p")});
    ASSERT_EQ(p.status, kExitSuccess) << p.err;
    EXPECT_NE(p.out.find("vary:              exposure,brightness"), std::string::npos) << p.out;
    EXPECT_NE(p.out.find("exposure range:    2e-06 .. 0.25"), std::string::npos) << p.out;
    EXPECT_NE(p.out.find("positive LUT:      off"), std::string::npos) << p.out;

    // What show reads back is what was stored.
    const kcArchiveFileContents back = kfReadArchiveFile(dir.file("p"));
    EXPECT_EQ(back.kind, kcArchiveFileContents::eParams);
    EXPECT_EQ(back.params, params);
}

TEST(ColorbalShow, RefusesGarbageTruncatedAndForeignFilesWithStatus2) {
    TempDir dir;
    kcColorBalanceResult result;
    result.exposure(0.02);
    kfWriteResultFile(dir.file("good"), result);
    const std::string good = readFile(dir.file("good"));

    struct Case {
        std::string name;
        std::string bytes;
        std::string inMessage;
    };
    std::vector<Case> cases = {
        {"empty", "", "neither"},
        {"text", "hello, this is not an archive\n", "neither"},
        {"trailing", good + "xx", "unexpected bytes"},
    };
    // Another record under a tag of ours, and a tag of ours with a record
    // version from the future.
    {
        kcArchive ar = kcArchive::storing();
        std::string tag = "colorbal-other";
        double d = 1.0;
        ar || tag || d;
        cases.push_back({"other tag", std::string(ar.bytes().begin(), ar.bytes().end()), "neither"});
    }
    {
        kcArchive ar = kcArchive::storing();
        std::string tag = kResultFileTag;
        unsigned char version = 9;
        ar || tag || version;
        cases.push_back({"newer", std::string(ar.bytes().begin(), ar.bytes().end()), "newer"});
    }
    // Every truncation of a good file.
    for (std::size_t n = 1; n < good.size(); ++n)
        cases.push_back({"cut at " + std::to_string(n), good.substr(0, n), ""});

    for (const Case& c : cases) {
        writeBytes(dir.file("f"), c.bytes);
        const colorbal_test::Run run = runInProcess({"show", dir.file("f")});
        EXPECT_EQ(run.status, kExitUsage) << c.name;
        EXPECT_TRUE(run.out.empty()) << c.name;
        EXPECT_NE(run.err.find(dir.file("f")), std::string::npos) << c.name << ": " << run.err;
        EXPECT_NE(run.err.find(c.inMessage), std::string::npos) << c.name << ": " << run.err;
    }

    const colorbal_test::Run missing = runInProcess({"show", dir.file("missing")});
    EXPECT_EQ(missing.status, kExitUsage);
    EXPECT_NE(missing.err.find("cannot read"), std::string::npos) << missing.err;
}
