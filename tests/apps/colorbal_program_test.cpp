// tests/apps/colorbal_program_test.cpp
// The built colorbal program run as a user runs it, and `colorbal show` on
// the program's tagged archives and its refusal of anything else.

#include "colorbal_test_support.h"
#include "toolkit/foundation/archive.h"

using namespace colorbal_test;

namespace {
// An archive holding `tag` and then one byte.
std::string taggedBytes(std::string tag, unsigned char next) {
    kcArchive ar = kcArchive::storing();
    ar || tag || next;
    return std::string(ar.bytes().begin(), ar.bytes().end());
}

}  // namespace

TEST(ColorbalProgram, TextAndJsonReportsSavedArchivesAndShowAgree) {
    TempDir dir;
    const std::string result = dir.file("result.cbr"), params = dir.file("params.cbp");
    // At the default size; standard error is no terminal here: no progress line.
    const ProgramRun run = runProgram(dir, {"balance", "--seed", "5", "--exposure-range", "1e-5,0.2", "--save-result",
                                            result, "--save-params", params});
    ASSERT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(run.err, "");
    for (const char* line : {"scene:             chart (640 x 480, seed 5)", "exposure:", "contrast:", "brightness:",
                             "LUT is identity:   yes", "images taken:", "good pels:", "time:"})
        EXPECT_NE(run.out.find(line), std::string::npos) << line << " missing from\n" << run.out;

    const ProgramRun shownResult = runProgram(dir, {"show", result});
    ASSERT_EQ(shownResult.status, 0) << shownResult.err;
    // The settings lines of show are lines of the report.
    for (const std::string label : {"\nexposure:", "\ncontrast:", "\nbrightness:"}) {
        const std::size_t at = shownResult.out.find(label);  // none: substr throws, failing the test
        const std::string line = shownResult.out.substr(at, shownResult.out.find('\n', at + 1) + 1 - at);
        EXPECT_NE(("\n" + run.out).find(line), std::string::npos) << line << "not in\n" << run.out;
    }
    const ProgramRun shownParams = runProgram(dir, {"show", params});
    ASSERT_EQ(shownParams.status, 0) << shownParams.err;
    EXPECT_NE(shownParams.out.find("exposure range:    0.01 ms .. 200.00 ms"), std::string::npos) << shownParams.out;

    // The saved parameters run again give the same result; its JSON report
    // holds it, at the default size, better exposed than at the start.
    const ProgramRun again = runProgram(
        dir, {"balance", "--seed", "5", "--params", params, "--save-result", dir.file("again.cbr"), "--json"});
    ASSERT_EQ(again.status, 0) << again.err;
    EXPECT_EQ(readFile(dir.file("again.cbr")), readFile(result));
    std::map<std::string, std::string> members = jsonObject(again.out);
    for (const char* key : {"exposure", "contrast", "brightness", "seconds"}) EXPECT_EQ(members.count(key), 1U) << key;
    EXPECT_EQ(members["positive8BitLut"] + members["size"], "true{\"width\": 640, \"height\": 480}");
    EXPECT_GT(std::stod(members["goodPelFractionResult"]), std::stod(members["goodPelFractionStart"]));
    EXPECT_GT(std::stoul(members["images"]), 1UL);
}

// Stored results and parameters are shown as text and JSON; anything else
// is refused with status 2 naming the file.
TEST(ColorbalShow, PrintsStoredResultsAndParametersAndRefusesAnythingElseNamingTheFile) {
    const TempDir dir;
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

    const std::vector<std::pair<std::vector<std::string>, std::vector<std::string>>> shown = {
        {{"show", dir.file("r")},
         {"exposure:          12.30 ms\n", "contrast:          0.5000\n", "brightness:        0.1875\n",
          "LUT is identity:   yes", "number 812", "camera's own clock"}},
        {{"show", dir.file("p")},
         {"vary:              exposure,brightness", "exposure range:    0.002 ms .. 250.00 ms",
          "positive LUT:      off"}},
        {{"show", "--json", dir.file("r")},
         {"\n  \"kind\": \"result\",", "\n  \"exposure\": 0.0123,", "{\"exposure\": \"s\"",
          "\"positive8BitLut\": true"}},
    };
    for (const auto& [args, pieces] : shown) {
        const ProgramRun run = runInProcess(args);
        ASSERT_EQ(run.status, kExitSuccess) << run.err;
        if (args[1] == "--json") jsonObject(run.out);  // throws, failing the test, on what is not JSON
        for (const std::string& piece : pieces) EXPECT_NE(run.out.find(piece), std::string::npos) << run.out;
    }

    const std::string good = readFile(dir.file("r"));
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
        expectOneLine(runInProcess({"show", dir.file("f")}), kExitUsage, {dir.file("f"), inMessage},
                      std::to_string(bytes.size()) + " bytes");
    }
    // A file that is missing or a directory.
    for (const std::string& path : {dir.file("missing"), dir.path().string()})
        expectOneLine(runInProcess({"show", path}), kExitUsage, {"cannot read '" + path + "'"}, path);
}
