// tests/genicam/colorbal_camera_commands_test.cpp
// `colorbal cameras` and `colorbal balance --camera` on the fake GigE Vision
// camera.
#include <gtest/gtest.h>
#include <poll.h>
#include <pty.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <array>
#include <cmath>
#include <map>
#include <regex>
#include <set>
#include <sstream>
#include <string>
#include <tuple>
#include <vector>

#include "../apps/colorbal_test_support.h"
#include "apps/colorbal/app_errors.h"
#include "apps/colorbal/colorbal_main.h"
#include "apps/colorbal/genicam_commands.h"
#include "fake_gv_camera.h"
#include "toolkit/acq/genicam/genicam_fifo.h"

using genicam_test::FakeGvCamera;

namespace {
struct ProgramRun {
    int status = -1;
    std::string out;
    std::string err;
};

ProgramRun colorbal(const std::vector<std::string>& args) {
    const kcCameraCommands cameras = kfGenICamCommands();
    std::ostringstream out, err;
    const int status = kfColorbalMain(args, out, err, false, &cameras);
    return ProgramRun{status, out.str(), err.str()};
}
}  // namespace

TEST(ColorbalCameraCommands, ListAndBalanceTheFakeCameraSwitchingOffItsMissingBrightness) {
    if (FakeGvCamera::program().empty()) GTEST_SKIP() << "arv-fake-gv-camera-0.8 is not installed";
    FakeGvCamera camera;

    const ProgramRun list = colorbal({"cameras"});
    EXPECT_EQ(list.status, kExitSuccess) << list.err;
    EXPECT_NE(list.out.find(camera.serial()), std::string::npos) << list.out;

    const ProgramRun balance = colorbal({"balance", "--camera", camera.serial(), "--size", "128x96", "--json"});
    EXPECT_EQ(balance.status, kExitSuccess) << balance.err;
    EXPECT_NE(balance.err.find("no black level control; brightness is not varied"), std::string::npos) << balance.err;
    EXPECT_NE(balance.out.find("\"isBrightnessEnabled\": false"), std::string::npos) << balance.out;
    EXPECT_NE(balance.out.find("\"failureCode\": 0"), std::string::npos) << balance.out;

    const ProgramRun missing = colorbal({"balance", "--camera", "no-such-camera-7f3a"});
    EXPECT_EQ(missing.status, kExitRunFailed);
    EXPECT_NE(missing.err.find("\"no-such-camera-7f3a\""), std::string::npos) << missing.err;

    const ProgramRun mixed = colorbal({"balance", "--camera", camera.serial(), "--scene", "chart"});
    EXPECT_EQ(mixed.status, kExitUsage) << mixed.err;
}

// The report's keys (JSON) and lines (text) are the same for the simulator
// and a camera but for the ones that name the source.
TEST(ColorbalCameraCommands, CameraAndSimulatorReportsHaveTheSameKeys) {
    if (FakeGvCamera::program().empty()) GTEST_SKIP() << "arv-fake-gv-camera-0.8 is not installed";
    FakeGvCamera camera;
    const auto keys = [](const std::string& report, bool json) {
        std::set<std::string> found;
        if (json) {
            for (const auto& member : colorbal_test::JsonReader(report).topLevelObject()) found.insert(member.first);
        } else {
            std::istringstream lines(report);
            for (std::string line; std::getline(lines, line);) found.insert(line.substr(0, line.find(':')));
        }
        return found;
    };
    for (const bool json : {true, false}) {
        std::vector<std::string> args = {"balance", "--size", "128x96"};
        if (json) args.push_back("--json");
        const ProgramRun simulated = colorbal(args);
        args.insert(args.end(), {"--camera", camera.serial()});
        const ProgramRun real = colorbal(args);
        ASSERT_EQ(simulated.status, kExitSuccess) << simulated.err;
        ASSERT_EQ(real.status, kExitSuccess) << real.err;
        std::set<std::string> simulatorOnly = keys(simulated.out, json), cameraOnly = keys(real.out, json);
        for (const std::string& shared : std::set<std::string>(simulatorOnly)) {
            if (cameraOnly.erase(shared) == 1) simulatorOnly.erase(shared);
        }
        EXPECT_EQ(simulatorOnly, json ? std::set<std::string>({"scene", "seed"}) : std::set<std::string>({"scene"}))
            << simulated.out;
        EXPECT_EQ(cameraOnly,
                  json ? std::set<std::string>({"camera", "pixelFormat"}) : std::set<std::string>({"camera"}))
            << real.out;
    }
}

namespace {
// Every feature a run may touch.
const std::vector<std::string> kTouchedFeatures = {
    "Width",           "Height",          "OffsetX",     "OffsetY",       "PixelFormat",
    "ExposureTimeAbs", "ExposureTime",    "GainRaw",     "Gain",          "BlackLevelRaw",
    "BlackLevel",      "TriggerSelector", "TriggerMode", "TriggerSource", "AcquisitionMode",
    "GainSelector",    "ExposureAuto",    "GainAuto"};

std::string member(const std::string& json, const std::string& key) {
    return colorbal_test::JsonReader(json).topLevelObject()[key];
}

// Runs the built program on a terminal, sends `signal` once its progress
// line counts `images` images, and returns its exit status and output.
ProgramRun interruptAfter(const std::vector<std::string>& args, int images, int signal) {
    int terminal = -1;
    const pid_t child = forkpty(&terminal, nullptr, nullptr, nullptr);
    if (child < 0) throw std::runtime_error("forkpty failed");
    if (child == 0) {
        std::vector<const char*> argv = {COLORBAL_PROGRAM_PATH};
        for (const std::string& a : args) argv.push_back(a.c_str());
        argv.push_back(nullptr);
        execv(argv[0], const_cast<char* const*>(argv.data()));
        _exit(127);
    }
    ProgramRun run;
    const std::regex progress("balancing: ([0-9]+) images");
    bool sent = false;
    // The wait is bounded only so that a broken program cannot hang the test.
    pollfd readable{terminal, POLLIN, 0};
    while (poll(&readable, 1, 120000) > 0) {
        std::array<char, 4096> buffer{};
        const ssize_t got = read(terminal, buffer.data(), buffer.size());
        if (got <= 0) break;
        run.out.append(buffer.data(), static_cast<std::size_t>(got));
        std::smatch counted;
        const std::string recent = run.out.substr(run.out.size() > 200 ? run.out.size() - 200 : 0);
        if (!sent && std::regex_search(recent, counted, progress) && std::stoi(counted[1]) >= images) {
            kill(child, signal);
            sent = true;
        }
    }
    close(terminal);
    int status = 0;
    waitpid(child, &status, 0);
    run.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return run;
}
}  // namespace

TEST(ColorbalCameraCommands, ApplyFromABalanceAndFromAFileLeavesTheResultOnTheCamera) {
    if (FakeGvCamera::program().empty()) GTEST_SKIP() << "arv-fake-gv-camera-0.8 is not installed";
    FakeGvCamera camera;
    colorbal_test::TempDir dir;
    const std::string saved = dir.file("result.cbr");
    const std::map<std::string, std::string> before = camera.features(kTouchedFeatures);

    const ProgramRun balance = colorbal(
        {"balance", "--camera", camera.serial(), "--size", "128x96", "--apply", "--save-result", saved, "--json"});
    ASSERT_EQ(balance.status, kExitSuccess) << balance.err;
    const std::string applied = member(balance.out, "applied");
    const std::string exposure = member(applied, "exposure");
    std::map<std::string, std::string> expected = before;
    expected["ExposureTimeAbs"] = std::to_string(std::lround(std::stod(exposure) * 1e6));
    EXPECT_EQ(camera.features(kTouchedFeatures), expected) << balance.out;
    EXPECT_NE(expected, before) << "the result is the camera's own setting: nothing shows it was applied";

    // Elsewhere the camera is set to something else; the stored result
    // puts it back to the result.
    {
        kcGenICamFifo other(camera.serial());
        other.exposure(0.02);
    }
    const ProgramRun fromFile = colorbal({"apply", saved, "--camera", camera.serial(), "--json"});
    ASSERT_EQ(fromFile.status, kExitSuccess) << fromFile.err;
    EXPECT_EQ(member(fromFile.out, "applied"), applied);
    EXPECT_EQ(camera.features(kTouchedFeatures), expected);

    // Parameters are not a result; a balance that is not applied hands the
    // camera back.
    const ProgramRun params = colorbal({"balance", "--camera", camera.serial(), "--size", "128x96", "--exposure-range",
                                        "0.02,0.3", "--save-params", dir.file("params.cbp")});
    EXPECT_EQ(params.status, kExitSuccess) << params.err;
    EXPECT_EQ(camera.features(kTouchedFeatures), expected);
    EXPECT_EQ(colorbal({"apply", dir.file("params.cbp"), "--camera", camera.serial()}).status, kExitUsage);
    EXPECT_EQ(colorbal({"balance", "--apply"}).status, kExitUsage);
}

TEST(ColorbalCameraCommands, SignalsMidRunHandEveryFeatureBackAndExitWith128PlusTheSignal) {
    if (FakeGvCamera::program().empty()) GTEST_SKIP() << "arv-fake-gv-camera-0.8 is not installed";
    FakeGvCamera camera;
    const std::map<std::string, std::string> before = camera.features(kTouchedFeatures);
    for (const auto& [signal, status, name] :
         {std::tuple{SIGINT, 130, "SIGINT"}, std::tuple{SIGTERM, 143, "SIGTERM"}, std::tuple{SIGHUP, 129, "SIGHUP"}}) {
        const ProgramRun run =
            interruptAfter({"balance", "--camera", camera.serial(), "--size", "128x96", "--apply"}, 3, signal);
        EXPECT_EQ(run.status, status) << run.out;
        EXPECT_NE(run.out.find(std::string("interrupted by ") + name), std::string::npos) << run.out;
        EXPECT_EQ(camera.features(kTouchedFeatures), before) << name;
    }
}

// A busy machine made the first frame of about every second run come
// incomplete; the FIFO's stream is now ready for it.
TEST(ColorbalCameraCommands, TenRunsInARowWithEveryCoreBusyLoseNoFrame) {
    if (FakeGvCamera::program().empty()) GTEST_SKIP() << "arv-fake-gv-camera-0.8 is not installed";
    FakeGvCamera camera;
    colorbal_test::TempDir dir;
    const genicam_test::CpuLoad load;
    for (int i = 1; i <= 10; ++i) {
        const colorbal_test::Run run = colorbal_test::runProgram(dir, {"balance", "--camera", camera.serial()});
        EXPECT_EQ(run.status, kExitSuccess) << "run " << i << ": " << run.err;
    }
}
