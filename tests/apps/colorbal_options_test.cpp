// tests/apps/colorbal_options_test.cpp
// The balance command's options: good values reach the parameters, bad
// ones stop the program with status 2 and a message naming the option.

#include <limits>
#include <tuple>

#include "apps/colorbal/options.h"
#include "colorbal_test_support.h"

using namespace colorbal_test;

TEST(ColorbalOptions, GoodValuesAndParamsFilesReachTheParametersAndBadStoredValuesAreRefusedLikeOptions) {
    kcBalanceOptionText text;
    text.scene = "grey";
    text.size = "320x240";
    text.seed = "18446744073709551615";
    text.exposureRange = "1e-5,0.2";
    text.vary = "contrast,brightness";
    text.exposureStep = "0.0001";
    text.contrastStep = "0.5";
    text.brightnessStep = "0";
    text.positiveLut = "off";
    const kcBalanceOptions o = kfBalanceOptions(text);
    EXPECT_EQ(o.scene, "grey");
    EXPECT_EQ(o.size, kcSceneSize(320, 240));
    EXPECT_EQ(o.seed, 18446744073709551615ULL);
    kcColorBalanceParams expected;
    expected.exposureRange(kcRange(1e-5, 0.2));
    expected.isExposureEnabled(false);
    expected.minExposureStepSize(0.0001);
    expected.minContrastStepSize(0.5);
    expected.minBrightnessStepSize(0.0);
    expected.usePositive8BitLut(false);
    EXPECT_EQ(o.params, expected);

    EXPECT_EQ(kfBalanceOptions(kcBalanceOptionText()).params, kcColorBalanceParams());

    // A parameters file: its fields are overridden only by the options given.
    const TempDir dir;
    kcColorBalanceParams stored;
    stored.isBrightnessEnabled(false);
    stored.minExposureStepSize(0.001);
    stored.exposureRange(kcRange(1e-4, 0.1));
    kfWriteParamsFile(dir.file("p"), stored);
    expected = stored;
    expected.minContrastStepSize(0.25);
    kcBalanceOptionText fromFile;
    fromFile.paramsFile = dir.file("p");
    fromFile.contrastStep = "0.25";
    EXPECT_EQ(kfBalanceOptions(fromFile).params, expected);

    // Stored values bypass the setters: each is refused with the message
    // the option would get for it, after the file and the field's name.
    std::vector<std::tuple<kcColorBalanceParams, std::string, std::string, std::string>> cases = {
        {stored, "--exposure-range", "0.2,0.1", "exposure range"},
        {kcColorBalanceParams(), "--exposure-step", "inf", "exposure step"}};
    std::get<0>(cases[0]).exposureRange(kcRange(0.2, 0.1));
    std::get<0>(cases[1]).minExposureStepSize(std::numeric_limits<double>::infinity());
    for (const auto& [params, option, value, field] : cases) {
        kfWriteParamsFile(dir.file("bad"), params);
        const ProgramRun run = runInProcess({"balance", "--params", dir.file("bad")});
        const ProgramRun direct = runInProcess({"balance", option, value});
        EXPECT_EQ(run.status, kExitUsage) << option;
        const std::string prefix = "colorbal: --params '" + dir.file("bad") + "': " + field + " (";
        EXPECT_EQ(run.err, prefix + option + ")" + direct.err.substr(std::string("colorbal: ").size() + option.size()));
    }
}

TEST(ColorbalOptions, BadValuesGiveStatus2AndOneLineNamingTheOptionAndWhatIsAccepted) {
    // Bad scene files come with outputs, which must not be written.
    const TempDir dir;
    const std::string png = dir.file("truncated.png"), out = dir.file("out");
    // A PNG signature and the start of a header, then nothing.
    std::ofstream(png, std::ios::binary) << std::string("\x89PNG\r\n\x1a\n\0\0\0\x0dIHDR", 16);
    // The arguments, then pieces the message holds (the option comes first).
    const std::vector<std::vector<std::string>> cases = {
        {"balance", "--scene", png, "--save-result", out, "--diagnostics", out + "d", "", png},
        {"balance", "--scene", dir.file("missing.ppm"), "--save-params", out, "", dir.file("missing.ppm")},
        {"balance", "--bogus", "", "--bogus"},
        {"--bogus", "balance", "", "unknown option '--bogus'"},
        {"frobnicate", "", "frobnicate", "balance, show and scenes"},
        {"balance", "--size", "32x24", "", "--size", "32x24", "64..2448"},
        {"balance", "--size", "63x48", "", "--size", "63x48"},
        {"balance", "--seed", "-3", "", "--seed", "-3", "whole number"},
        {"balance", "--exposure-range", "0.3,0.1", "", "--exposure-range", "0 < START <= END"},
        {"balance", "--exposure-range", "nan,0.1", "", "--exposure-range", "nan"},
        {"balance", "--exposure-range", "0,0.1", "", "--exposure-range"},
        {"balance", "--exposure-range", "1e-6", "", "--exposure-range", "START,END"},
        {"balance", "--exposure-step", "-1e-9", "", "--exposure-step", ">= 0"},
        {"balance", "--contrast-step", "0.5000001", "", "--contrast-step", "0 to 0.5"},
        {"balance", "--brightness-step", "NaN", "", "--brightness-step", "0 to 0.5"},
        {"balance", "--vary", "exposure,hue", "", "--vary", "exposure, contrast, brightness"},
        {"balance", "--positive-lut", "maybe", "", "--positive-lut", "on or off"},
        {"balance", "--exposure-step", "inf", "", "--exposure-step", "'inf'", "finite number >= 0"},
        {"balance", "--scene", "nowhere-such-scene", "", "--scene", "chart"},
        {"balance", "--scene", "/", "", "--scene", "'/' is a directory"},
        {"balance", "--params", "/nonexistent/params", "", "--params", "/nonexistent/params"},
        {"balance", "--save-result", "/nonexistent/dir/r", "", "--save-result", "does not exist"},
        {"show", "", "FILE"},
    };
    for (const std::vector<std::string>& c : cases) {
        const auto split = std::find(c.begin(), c.end(), "");
        expectOneLine(runInProcess({c.begin(), split}), kExitUsage, {split + 1, c.end()}, c[1]);
    }
    EXPECT_EQ(entries(dir.path()), std::set<std::string>{"truncated.png"});
}

TEST(ColorbalOptions, HelpVersionAndScenesSucceedOnStandardOutput) {
    std::vector<std::pair<std::vector<std::string>, std::string>> cases = {{{"balance", "--help"}, "--exposure-range"},
                                                                           {{"--version"}, COLORBAL_VERSION}};
    for (const std::string& name : kcSimScene::builtInNames()) cases.push_back({{"scenes"}, name + " "});
    for (const auto& [args, piece] : cases) {
        const ProgramRun run = runInProcess(args);
        EXPECT_EQ(run.status, kExitSuccess) << args.back();
        EXPECT_NE(run.out.find(piece), std::string::npos) << run.out;
    }
}
