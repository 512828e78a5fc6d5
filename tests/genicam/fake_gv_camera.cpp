// tests/genicam/fake_gv_camera.cpp
#include "fake_gv_camera.h"

#include <arpa/inet.h>
#include <arv.h>
#include <fcntl.h>
#include <net/if.h>
#include <netinet/in.h>
#include <sched.h>
#include <signal.h>
#include <sys/ioctl.h>
#include <sys/prctl.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cstring>
#include <fstream>
#include <memory>
#include <stdexcept>
#include <thread>

#include "toolkit/acq/genicam/genicam_cameras.h"

namespace genicam_test {

namespace {
constexpr const char* kLoopback = "127.0.0.1";
constexpr unsigned short kGvcpPort = 3956;  // where a GigE Vision camera listens
std::atomic<int> instances{0};

bool writeFile(const std::string& path, const std::string& text) {
    std::ofstream file(path);
    file << text;
    file.close();
    return static_cast<bool>(file);
}

// Brings the loopback interface of the current network namespace up.
bool loopbackUp() {
    const int fd = socket(AF_INET, SOCK_DGRAM, 0);
    if (fd < 0) return false;
    ifreq request{};
    std::strncpy(request.ifr_name, "lo", IFNAMSIZ - 1);
    bool up = ioctl(fd, SIOCGIFFLAGS, &request) == 0;
    request.ifr_flags = static_cast<short>(request.ifr_flags | IFF_UP | IFF_RUNNING);
    up = up && ioctl(fd, SIOCSIFFLAGS, &request) == 0;
    close(fd);
    return up;
}

// True when nothing is bound to the camera port on loopback.
bool cameraPortFree() {
    const int fd = socket(AF_INET, SOCK_DGRAM, 0);
    if (fd < 0) return false;
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(kGvcpPort);
    inet_pton(AF_INET, kLoopback, &address.sin_addr);
    const bool free = bind(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) == 0;
    close(fd);
    return free;
}
}  // namespace

bool isolateNetwork() {
    const uid_t uid = geteuid();
    const gid_t gid = getegid();
    if (uid == 0) {
        if (unshare(CLONE_NEWNET) != 0) return false;
    } else {
        // An unprivileged user gets the namespace through a user namespace
        // of its own, mapping itself.
        if (unshare(CLONE_NEWUSER | CLONE_NEWNET) != 0) return false;
        writeFile("/proc/self/setgroups", "deny");
        if (!writeFile("/proc/self/uid_map", std::to_string(uid) + " " + std::to_string(uid) + " 1\n") ||
            !writeFile("/proc/self/gid_map", std::to_string(gid) + " " + std::to_string(gid) + " 1\n"))
            return false;
    }
    return loopbackUp();
}

std::string FakeGvCamera::program() { return CLBL_FAKE_GV_CAMERA; }

FakeGvCamera::FakeGvCamera(int lostPacketsPerThousand)
    : serial_("CB" + std::to_string(getpid()) + "-" + std::to_string(++instances)) {
    const std::string path = program();
    if (path.empty()) throw std::runtime_error("the fake GigE Vision camera program is not installed");
    if (!cameraPortFree())
        throw std::runtime_error(std::string("another GigE Vision camera already listens on ") + kLoopback + ":" +
                                 std::to_string(kGvcpPort) + "; the fake camera cannot start there");
    const std::string lost = std::to_string(lostPacketsPerThousand);
    const pid_t parent = getpid();
    pid_ = fork();
    if (pid_ < 0) throw std::runtime_error("cannot fork the fake camera process");
    if (pid_ == 0) {
        // Die with the test process, so that no camera outlives a crash and
        // keeps the loopback port.
        prctl(PR_SET_PDEATHSIG, SIGKILL);
        if (getppid() != parent) _exit(1);
        execl(path.c_str(), path.c_str(), "-i", kLoopback, "-s", serial_.c_str(), "-r", lost.c_str(),
              static_cast<char*>(nullptr));
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

std::map<std::string, std::string> FakeGvCamera::features(const std::vector<std::string>& names) const {
    std::string id = serial_;
    for (const kcGenICamCameraInfo& found : kfGenICamCameras())
        if (found.serial == serial_) id = found.id;
    GError* error = nullptr;
    std::unique_ptr<ArvCamera, void (*)(gpointer)> camera(arv_camera_new(id.c_str(), &error), g_object_unref);
    if (!camera) {
        const std::string message = error != nullptr ? error->message : "unknown error";
        if (error != nullptr) g_error_free(error);
        throw std::runtime_error("cannot open the fake camera " + serial_ + ": " + message);
    }
    ArvDevice* device = arv_camera_get_device(camera.get());
    std::map<std::string, std::string> values;
    for (const std::string& name : names) {
        ArvGcNode* node = arv_device_get_feature(device, name.c_str());
        if (node == nullptr || !ARV_IS_GC_FEATURE_NODE(node)) continue;
        const char* text = arv_gc_feature_node_get_value_as_string(ARV_GC_FEATURE_NODE(node), &error);
        if (error != nullptr) {
            const std::string message = error->message;
            g_error_free(error);
            throw std::runtime_error("cannot read " + name + " of the fake camera: " + message);
        }
        values[name] = text != nullptr ? text : "";
    }
    return values;
}

CpuLoad::CpuLoad() {
    const unsigned cores = std::max(1U, std::thread::hardware_concurrency());
    for (unsigned i = 0; i < cores; ++i) {
        const pid_t child = fork();
        if (child < 0) break;
        if (child == 0) {
            prctl(PR_SET_PDEATHSIG, SIGKILL);
            // Volatile accesses keep the loop from being optimised away.
            volatile unsigned long spin = 0;
            for (;;) spin = spin + 1;
        }
        children_.push_back(child);
    }
}

CpuLoad::~CpuLoad() {
    for (const pid_t child : children_) {
        kill(child, SIGKILL);
        waitpid(child, nullptr, 0);
    }
}

}  // namespace genicam_test
