// tests/genicam/fake_gv_camera.cpp
#include "fake_gv_camera.h"

#include <arv.h>
#include <net/if.h>
#include <pty.h>
#include <sched.h>
#include <signal.h>
#include <sys/ioctl.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cstring>
#include <fstream>
#include <memory>
#include <stdexcept>
#include <thread>
#include <utility>

#include "toolkit/acq/genicam/genicam_cameras.h"

namespace genicam_test {

namespace {
constexpr const char* kLoopback = "127.0.0.1";
std::atomic<int> instances{0};

void reap(pid_t child) {
    kill(child, SIGKILL);
    waitpid(child, nullptr, 0);
}

// Brings the loopback interface of this network namespace up.
bool loopbackUp() {
    const int fd = socket(AF_INET, SOCK_DGRAM, 0);
    ifreq request{};
    std::strncpy(request.ifr_name, "lo", IFNAMSIZ - 1);
    bool up = fd >= 0 && ioctl(fd, SIOCGIFFLAGS, &request) == 0;
    request.ifr_flags = static_cast<short>(request.ifr_flags | IFF_UP | IFF_RUNNING);
    up = up && ioctl(fd, SIOCSIFFLAGS, &request) == 0;
    if (fd >= 0) close(fd);
    return up;
}

}  // namespace

pid_t spawn(const std::vector<std::string>& argv, int* terminal) {
    const pid_t parent = getpid();
    const pid_t child = terminal != nullptr ? forkpty(terminal, nullptr, nullptr, nullptr) : fork();
    if (child < 0) throw std::runtime_error("cannot fork to run " + argv.front());
    if (child == 0) {
        prctl(PR_SET_PDEATHSIG, SIGKILL);
        if (getppid() != parent) _exit(1);
        std::vector<char*> args;
        for (const std::string& a : argv) args.push_back(const_cast<char*>(a.c_str()));
        args.push_back(nullptr);
        execvp(args[0], args.data());
        _exit(127);
    }
    return child;
}

bool isolateNetwork() {
    if (geteuid() == 0) return unshare(CLONE_NEWNET) == 0 && loopbackUp();
    // Without privileges, a user namespace of its own (mapping the user to
    // itself) gives the right to make a network namespace.
    const std::string uid = std::to_string(geteuid()), gid = std::to_string(getegid());
    if (unshare(CLONE_NEWUSER | CLONE_NEWNET) != 0) return false;
    std::ofstream("/proc/self/setgroups") << "deny";
    std::ofstream("/proc/self/uid_map") << uid << " " << uid << " 1\n";
    std::ofstream("/proc/self/gid_map") << gid << " " << gid << " 1\n";
    return loopbackUp();
}

FakeGvCamera::FakeGvCamera(int lostPacketsPerThousand)
    : serial_("CB" + std::to_string(getpid()) + "-" + std::to_string(++instances)) {
    if (program().empty()) throw std::runtime_error("the fake GigE Vision camera program is not installed");
    pid_ = spawn({program(), "-i", kLoopback, "-s", serial_, "-r", std::to_string(lostPacketsPerThousand)});
    // Bounded wait for the camera to answer a search (each search takes
    // about a second).
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
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
    throw std::runtime_error("the fake camera " + serial_ + " was not found within 10 s on " + kLoopback);
}

void FakeGvCamera::stop() {
    if (pid_ > 0) reap(std::exchange(pid_, -1));
}

std::map<std::string, std::string> FakeGvCamera::features(const std::vector<std::string>& names) const {
    std::string id = serial_;
    for (const kcGenICamCameraInfo& found : kfGenICamCameras())
        if (found.serial == serial_) id = found.id;
    GError* error = nullptr;
    std::unique_ptr<ArvCamera, void (*)(gpointer)> camera(arv_camera_new(id.c_str(), &error), g_object_unref);
    std::map<std::string, std::string> values;
    for (auto name = names.begin(); camera && error == nullptr && name != names.end(); ++name) {
        ArvGcNode* node = arv_device_get_feature(arv_camera_get_device(camera.get()), name->c_str());
        if (node == nullptr || !ARV_IS_GC_FEATURE_NODE(node)) continue;
        const char* text = arv_gc_feature_node_get_value_as_string(ARV_GC_FEATURE_NODE(node), &error);
        values[*name] = text != nullptr ? text : "";
    }
    if (error == nullptr) return values;
    const std::string message = error->message;
    g_clear_error(&error);
    throw std::runtime_error("reading the features of the fake camera " + id + " failed: " + message);
}

CpuLoad::CpuLoad() {
    for (unsigned i = 0; i < std::max(1U, std::thread::hardware_concurrency()); ++i)
        children_.push_back(spawn({"sh", "-c", "while :; do :; done"}));
}

CpuLoad::~CpuLoad() {
    for (const pid_t child : children_) reap(child);
}

}  // namespace genicam_test
