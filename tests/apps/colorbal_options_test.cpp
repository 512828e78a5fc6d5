// tests/apps/colorbal_options_test.cpp
// The balance command's options: good values reach the parameters, bad
// ones stop the program with status 2 and a message naming the option.
#include <gtest/gtest.h>

#include "apps/colorbal/app_errors.h"
#include "apps/colorbal/archive_files.h"
#include "apps/colorbal/options.h"
#include "colorbal_test_support.h"

using colorbal_test::runInProcess;
using colorbal_test::TempDir;

TEST(ColorbalOptions, GoodValuesReachTheRunAndTheParameters) {
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
    ASSERT_TRUE(o.size.has_value());
    EXPECT_EQ(*o.size, kcSceneSize(320, 240));
    EXPECT_EQ(o.seed, 18446744073709551615ULL);
    EXPECT_EQ(o.params.exposureRange(), kcRange(1e-5, 0.2));
    EXPECT_FALSE(o.params.isExposureEnabled());
    EXPECT_TRUE(o.params.isContrastEnabled());
    EXPECT_TRUE(o.params.isBrightnessEnabled());
    EXPECT_EQ(o.params.minExposureStepSize(), 0.0001);
    EXPECT_EQ(o.params.minContrastStepSize(), 0.5);
    EXPECT_EQ(o.params.minBrightnessStepSize(), 0.0);
    EXPECT_FALSE(o.params.usePositive8BitLut());

    // Nothing given: the library's defaults and the built-in chart.
    const kcBalanceOptions d = kfBalanceOptions(kcBalanceOptionText());
    EXPECT_EQ(d.params, kcColorBalanceParams());
    EXPECT_EQ(d.scene, "chart");
    EXPECT_FALSE(d.size.has_value());
}

TEST(ColorbalOptions, BadValuesGiveStatus2AndOneLineNamingTheOptionAndWhatIsAccepted) {
    struct Case {
        std::vector<std::string> args;
        std::vector<std::string> inMessage;
    };
    const std::vector<Case> cases = {
        {{"balance", "--bogus"}, {"--bogus"}},
        {{"frobnicate"}, {"frobnicate", "balance, show and scenes"}},
        {{"balance", "--size", "32x24"}, {"--size", "32x24", "64..2448"}},
        {{"balance", "--size", "640"}, {"--size", "WIDTHxHEIGHT"}},
        {{"balance", "--seed", "-3"}, {"--seed", "-3", "whole number"}},
        {{"balance", "--seed", "1.5"}, {"--seed"}},
        {{"balance", "--exposure-range", "0.3,0.1"}, {"--exposure-range", "0 < START <= END"}},
        {{"balance", "--exposure-range", "nan,0.1"}, {"--exposure-range", "nan"}},
        {{"balance", "--exposure-range", "0,0.1"}, {"--exposure-range"}},
        {{"balance", "--exposure-range", "1e-6"}, {"--exposure-range", "START,END"}},
        {{"balance", "--exposure-step", "-1e-9"}, {"--exposure-step", ">= 0"}},
        {{"balance", "--exposure-step", "inf"}, {"--exposure-step", "finite"}},
        {{"balance", "--contrast-step", "0.5000001"}, {"--contrast-step", "0 to 0.5"}},
        {{"balance", "--brightness-step", "NaN"}, {"--brightness-step", "0 to 0.5"}},
        {{"balance", "--vary", "exposure,hue"}, {"--vary", "exposure, contrast, brightness"}},
        {{"balance", "--positive-lut", "maybe"}, {"--positive-lut", "on or off"}},
        {{"balance", "--scene", "nowhere-such-scene"}, {"--scene", "chart"}},
        {{"balance", "--params", "/nonexistent/params"}, {"--params", "/nonexistent/params"}},
        {{"balance", "--save-result", "/nonexistent/dir/r"}, {"--save-result", "does not exist"}},
        {{"show"}, {"FILE"}},
    };
    for (const Case& c : cases) {
        const colorbal_test::Run run = runInProcess(c.args);
        std::string joined;
        for (const std::string& a : c.args) joined += a + " ";
        EXPECT_EQ(run.status, kExitUsage) << joined;
        EXPECT_TRUE(run.out.empty()) << joined;
        for (const std::string& piece : c.inMessage)
            EXPECT_NE(run.err.find(piece), std::string::npos) << joined << "-> " << run.err;
    }
}

TEST(ColorbalOptions, ParamsFileFieldsAreOverriddenOnlyByOptionsGiven) {
    TempDir dir;
    kcColorBalanceParams stored;
    stored.isBrightnessEnabled(false);
    stored.minExposureStepSize(0.001);
    stored.exposureRange(kcRange(1e-4, 0.1));
    kfWriteParamsFile(dir.file("p"), stored);

    kcBalanceOptionText text;
    text.paramsFile = dir.file("p");
    text.contrastStep = "0.25";
    const kcBalanceOptions o = kfBalanceOptions(text);
    kcColorBalanceParams expected = stored;
    expected.minContrastStepSize(0.25);
    EXPECT_EQ(o.params, expected);

    // A stored record bypasses the setters, so it is checked like typed
    // options: a reversed exposure range is refused.
    kcColorBalanceParams reversed;
    reversed.exposureRange(kcRange(0.2, 0.1));
    kfWriteParamsFile(dir.file("reversed"), reversed);
    const colorbal_test::Run run = runInProcess({"balance", "--params", dir.file("reversed")});
    EXPECT_EQ(run.status, kExitUsage);
    EXPECT_NE(run.err.find("--params"), std::string::npos) << run.err;
    EXPECT_NE(run.err.find("exposure range"), std::string::npos) << run.err;
}

TEST(ColorbalOptions, HelpAndVersionSucceedOnStandardOutput) {
    const colorbal_test::Run help = runInProcess({"balance", "--help"});
    EXPECT_EQ(help.status, kExitSuccess);
    for (const char* option : {"--scene", "--size", "--seed", "--exposure-range", "--vary", "--exposure-step",
                               "--contrast-step", "--brightness-step", "--positive-lut", "--params", "--save-result",
                               "--save-params", "--diagnostics", "--json"})
        EXPECT_NE(help.out.find(option), std::string::npos) << option;
    const colorbal_test::Run version = runInProcess({"--version"});
    EXPECT_EQ(version.status, kExitSuccess);
    EXPECT_NE(version.out.find(COLORBAL_VERSION), std::string::npos) << version.out;
    const colorbal_test::Run scenes = runInProcess({"scenes"});
    EXPECT_EQ(scenes.status, kExitSuccess);
    for (const std::string& name : kcSimScene::builtInNames())
        EXPECT_NE(scenes.out.find(name + " "), std::string::npos) << name;
}
