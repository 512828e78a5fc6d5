// tests/genicam/fake_gv_camera.cpp
#include "fake_gv_camera.h"

#include <signal.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <stdexcept>

#include "toolkit/acq/genicam/genicam_cameras.h"

namespace genicam_test {

namespace {
constexpr const char* kLoopback = "127.0.0.1";
std::atomic<int> instances{0};
}  // namespace

std::string FakeGvCamera::program() { return CLBL_FAKE_GV_CAMERA; }

FakeGvCamera::FakeGvCamera() : serial_("CB" + std::to_string(getpid()) + "-" + std::to_string(++instances)) {
    const std::string path = program();
    if (path.empty()) throw std::runtime_error("the fake GigE Vision camera program is not installed");
    const pid_t parent = getpid();
    pid_ = fork();
    if (pid_ < 0) throw std::runtime_error("cannot fork the fake camera process");
    if (pid_ == 0) {
        // Die with the test process, so that no camera outlives a crash and
        // keeps the loopback port.
        prctl(PR_SET_PDEATHSIG, SIGKILL);
        if (getppid() != parent) _exit(1);
        execl(path.c_str(), path.c_str(), "-i", kLoopback, "-s", serial_.c_str(), static_cast<char*>(nullptr));
        _exit(127);
    }
    // Bounded wait for the camera to answer a search (each search takes
    // about a second).
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::duration<double>(kAppearSeconds);
    while (std::chrono::steady_clock::now() < deadline) {
        int status = 0;
        if (waitpid(pid_, &status, WNOHANG) == pid_) {
            pid_ = -1;
            throw std::runtime_error("the fake camera exited at once (status " + std::to_string(status) + ")");
        }
        for (const kcGenICamCameraInfo& camera : kfGenICamCameras())
            if (camera.serial == serial_) return;
    }
    stop();
    throw std::runtime_error("the fake camera " + serial_ + " was not found within 10 s on " + kLoopback +
                             " (is another one already bound to its port?)");
}

FakeGvCamera::~FakeGvCamera() { stop(); }

void FakeGvCamera::stop() {
    if (pid_ <= 0) return;
    kill(pid_, SIGKILL);
    waitpid(pid_, nullptr, 0);
    pid_ = -1;
}

}  // namespace genicam_test
