// tests/genicam/fake_gv_camera.h
// A GigE Vision fake camera on loopback, run as a child process for the
// length of one test, the child processes of tests, and a load on every core.
#pragma once

#include <gtest/gtest.h>
#include <sys/types.h>

#include <map>
#include <optional>
#include <string>
#include <vector>

namespace genicam_test {

// Moves this process into a network namespace of its own with its loopback
// up, so that its fake cameras and the cameras it finds are its own: a
// fake camera running elsewhere on the machine is neither seen nor in the
// way. Call before any thread starts. Returns false (the process stays on
// the machine's network) when the system does not allow it.
bool isolateNetwork();

// Runs `argv` as a child that dies with this process, so that nothing it
// started outlives a crashed test; with `terminal`, on a terminal of its
// own, whose other side `terminal` receives.
pid_t spawn(const std::vector<std::string>& argv, int* terminal = nullptr);

// Starts the fake camera with a serial number of its own, so that it can be
// told apart from any other camera (the tests find it by that serial only),
// and waits (at most 10 s) for it to be listed.
// The process is killed when the object goes, also when the test fails,
// and dies with the test process if that one crashes.
class FakeGvCamera {
public:
    // Empty when the fake camera program is not installed.
    static std::string program() { return CLBL_FAKE_GV_CAMERA; }

    // Throws std::runtime_error when the camera exits at once or does not
    // appear in time. `lostPacketsPerThousand` makes it drop packets.
    explicit FakeGvCamera(int lostPacketsPerThousand = 0);
    ~FakeGvCamera() { stop(); }
    FakeGvCamera(const FakeGvCamera&) = delete;
    FakeGvCamera& operator=(const FakeGvCamera&) = delete;

    const std::string& serial() const { return serial_; }
    // Kills the camera now (idempotent).
    void stop();

    // The camera's features `names` as text, as Aravis reads them (a
    // feature the camera lacks is left out).
    std::map<std::string, std::string> features(const std::vector<std::string>& names) const;

private:
    std::string serial_;
    pid_t pid_ = -1;
};

// A test with a fake camera of its own; skipped where the fake camera
// program is not installed.
class FakeCameraTest : public ::testing::Test {
protected:
    void SetUp() override {
        if (FakeGvCamera::program().empty()) GTEST_SKIP() << "arv-fake-gv-camera-0.8 is not installed";
        camera_.emplace();
    }

    std::optional<FakeGvCamera> camera_;
};

// Keeps every core busy with spinning child processes for its lifetime.
class CpuLoad {
public:
    CpuLoad();
    ~CpuLoad();
    CpuLoad(const CpuLoad&) = delete;
    CpuLoad& operator=(const CpuLoad&) = delete;

private:
    std::vector<pid_t> children_;
};

}  // namespace genicam_test
