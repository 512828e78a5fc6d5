// tests/genicam/colorbal_camera_commands_test.cpp
// `colorbal cameras` and `colorbal balance --camera` on the fake GigE Vision
// camera.
#include <poll.h>
#include <signal.h>

#include <array>
#include <cmath>
#include <tuple>

#include "../apps/colorbal_test_support.h"
#include "apps/colorbal/genicam_commands.h"
#include "fake_gv_camera.h"
#include "toolkit/acq/genicam/genicam_fifo.h"

using namespace colorbal_test;

namespace {
ProgramRun colorbal(const std::vector<std::string>& args) {
    const kcCameraCommands cameras = kfGenICamCommands();
    return runInProcess(args, &cameras);
}

// The top-level keys of a JSON report, or the labels of a text report.
std::set<std::string> reportKeys(const std::string& report, bool json) {
    std::set<std::string> keys;
    if (json)
        for (const auto& member : jsonObject(report)) keys.insert(member.first);
    std::istringstream lines(json ? "" : report);
    for (std::string line; std::getline(lines, line);) keys.insert(line.substr(0, line.find(':')));
    return keys;
}

// Every feature a run may touch.
const std::vector<std::string> kTouchedFeatures = {
    "Width",           "Height",          "OffsetX",     "OffsetY",       "PixelFormat",
    "ExposureTimeAbs", "ExposureTime",    "GainRaw",     "Gain",          "BlackLevelRaw",
    "BlackLevel",      "TriggerSelector", "TriggerMode", "TriggerSource", "AcquisitionMode",
    "GainSelector",    "ExposureAuto",    "GainAuto"};

// Runs the built program on a terminal, sends `signal` once its progress
// line counts `images` images, and a SIGINT at once after it, which must
// not cut the hand-back short; returns the exit status and output.
ProgramRun interruptAfter(const std::vector<std::string>& args, int images, int signal) {
    int terminal = -1;
    std::vector<std::string> argv = {COLORBAL_PROGRAM_PATH};
    argv.insert(argv.end(), args.begin(), args.end());
    const pid_t child = genicam_test::spawn(argv, &terminal);
    ProgramRun run;
    const std::regex progress("balancing: ([0-9]+) images[^\\r]*$");
    bool sent = false;
    // The wait is bounded only so that a hung program fails the test
    // rather than hanging it.
    pollfd readable{terminal, POLLIN, 0};
    std::array<char, 4096> buffer{};
    int ready = 0;
    for (ssize_t got;
         (ready = poll(&readable, 1, 120000)) > 0 && (got = read(terminal, buffer.data(), buffer.size())) > 0;) {
        run.out.append(buffer.data(), static_cast<std::size_t>(got));
        std::smatch counted;
        if (!sent && std::regex_search(run.out, counted, progress) && std::stoi(counted[1]) >= images)
            sent = kill(child, signal) == 0 && kill(child, SIGINT) == 0;
    }
    if (ready == 0) kill(child, SIGKILL);
    close(terminal);
    int status = 0;
    waitpid(child, &status, 0);
    run.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return run;
}
class ColorbalCameraCommands : public genicam_test::FakeCameraTest {};
}  // namespace

TEST_F(ColorbalCameraCommands, ListAndBalanceTheFakeCameraWithTheSimulatorsReportKeys) {
    const ProgramRun list = colorbal({"cameras"});
    EXPECT_EQ(list.status, kExitSuccess) << list.err;
    EXPECT_NE(list.out.find(", serial " + camera_->serial()), std::string::npos) << list.out;

    // Only the keys that name the source and the diagnostics differ from the
    // simulator's; the camera is handed back. The good pels at the result are
    // those of an image taken at the result settings (the last row of
    // search.csv).
    TempDir dir;
    const std::map<std::string, std::string> before = camera_->features(kTouchedFeatures);
    for (const bool json : {true, false}) {
        std::vector<std::string> args = {"balance", "--size", "128x96"};
        if (json) args.push_back("--json");
        const ProgramRun simulated = colorbal(args);
        args.insert(args.end(), {"--camera", camera_->serial(), "--diagnostics", dir.file(json ? "j" : "t")});
        const ProgramRun real = colorbal(args);
        ASSERT_EQ(real.status, kExitSuccess) << real.err;
        EXPECT_NE(real.err.find("no black level control; brightness is not varied"), std::string::npos) << real.err;
        EXPECT_EQ(camera_->features(kTouchedFeatures), before);
        std::set<std::string> expected = reportKeys(simulated.out, json);
        EXPECT_EQ(expected.erase("scene") + expected.erase("seed"), json ? 2U : 1U) << simulated.out;
        expected.insert({"camera", "diagnostics", json ? "pixelFormat" : "camera"});
        EXPECT_EQ(reportKeys(real.out, json), expected) << real.out;
        if (!json) continue;
        const std::string csv = readFile(dir.file("j/search.csv"));
        std::string atResult;
        for (const char* key : {"exposure", "contrast", "brightness", "goodPelFractionResult"})
            atResult += "," + jsonMember(real.out, key);
        const std::size_t lastRow = csv.rfind('\n', csv.size() - 2);
        EXPECT_NE(csv.find(atResult + ",", lastRow), std::string::npos) << atResult << "\n" << csv;
        EXPECT_TRUE(csv.ends_with(",0,result image\n")) << csv;
        EXPECT_NE(readFile(dir.file("j/index.html")).find("<h3>Result image</h3>"), std::string::npos);
    }

    expectOneLine(colorbal({"balance", "--camera", "no-such-camera-7f3a"}), kExitRunFailed, {"\"no-such-camera-7f3a\""},
                  "unknown camera");
    EXPECT_EQ(colorbal({"balance", "--camera", camera_->serial(), "--scene", "chart"}).status, kExitUsage);
    EXPECT_EQ(colorbal({"balance", "--apply"}).status, kExitUsage);
}

// Signals stop a run and hand every feature back; --apply and `apply`
// leave the result on the camera.
TEST_F(ColorbalCameraCommands, SignalsHandTheCameraBackAndApplyLeavesTheResultOnIt) {
    const std::vector<std::string> run = {"balance", "--camera", camera_->serial(), "--size", "128x96", "--apply"};
    const std::map<std::string, std::string> before = camera_->features(kTouchedFeatures);
    for (const auto& [signal, status, name] :
         {std::tuple{SIGINT, 130, "SIGINT"}, std::tuple{SIGTERM, 143, "SIGTERM"}, std::tuple{SIGHUP, 129, "SIGHUP"}}) {
        const ProgramRun stopped = interruptAfter(run, 3, signal);
        // Sent at once, the two signals can reach two threads together: the
        // one that counts is either, and the status and the message name it.
        const auto stoppedBy = [&](int exit, const std::string& signalName) {
            return stopped.status == exit && stopped.out.find("interrupted by " + signalName) != std::string::npos;
        };
        EXPECT_TRUE(stoppedBy(status, name) || stoppedBy(130, "SIGINT")) << name << ": " << stopped.out;
        EXPECT_EQ(camera_->features(kTouchedFeatures), before) << name;
    }

    TempDir dir;
    std::vector<std::string> saving = run;
    saving.insert(saving.end(), {"--save-result", dir.file("r.cbr"), "--save-params", dir.file("p.cbp"), "--json"});
    const ProgramRun balance = colorbal(saving);
    ASSERT_EQ(balance.status, kExitSuccess) << balance.err;
    const std::string applied = jsonMember(balance.out, "applied");
    std::map<std::string, std::string> expected = before;
    expected["ExposureTimeAbs"] = std::to_string(std::lround(std::stod(jsonMember(applied, "exposure")) * 1e6));
    // The fake camera's gain runs over 0..10 (GainRaw).
    expected["GainRaw"] = std::to_string(std::lround(std::stod(jsonMember(applied, "contrast")) * 10));
    EXPECT_NE(expected, before) << "the result is the camera's own setting: nothing shows it was applied";
    EXPECT_EQ(camera_->features(kTouchedFeatures), expected) << balance.out;

    // Set to something else, the camera gets the stored result back.
    kcGenICamFifo(camera_->serial()).exposure(0.02);
    const ProgramRun fromFile = colorbal({"apply", dir.file("r.cbr"), "--camera", camera_->serial(), "--json"});
    ASSERT_EQ(fromFile.status, kExitSuccess) << fromFile.err;
    EXPECT_EQ(jsonMember(fromFile.out, "applied"), applied);
    EXPECT_EQ(camera_->features(kTouchedFeatures), expected);
    EXPECT_EQ(colorbal({"apply", dir.file("p.cbp"), "--camera", camera_->serial()}).status, kExitUsage);
}

// A busy machine made the first frame of about every second run come
// incomplete: the stream's socket was too small for it.
TEST_F(ColorbalCameraCommands, TenRunsInARowWithEveryCoreBusyLoseNoFrame) {
    TempDir dir;
    const genicam_test::CpuLoad load;
    for (int i = 1; i <= 10; ++i) {
        const ProgramRun run = runProgram(dir, {"balance", "--camera", camera_->serial()});
        EXPECT_EQ(run.status, kExitSuccess) << "run " << i << ": " << run.err;
    }
}
