// tests/genicam/colorbal_camera_commands_test.cpp
// `colorbal cameras` and `colorbal balance --camera` on the fake GigE Vision
// camera.
#include <gtest/gtest.h>

#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "../apps/colorbal_test_support.h"
#include "apps/colorbal/app_errors.h"
#include "apps/colorbal/colorbal_main.h"
#include "apps/colorbal/genicam_commands.h"
#include "fake_gv_camera.h"

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
