// tests/genicam/fake_gv_camera.h
// A GigE Vision fake camera on loopback, run as a child process for the
// length of one test, and a FIFO that forwards to another one and can stop
// that camera in the middle of a run.
#pragma once

#include <sys/types.h>

#include <functional>
#include <string>

#include "toolkit/acq/acq_fifo.h"

namespace genicam_test {

// Starts the fake camera with a serial number of its own, so that it can be
// told apart from any other camera, and waits (at most kAppearSeconds) for
// it to be listed. The process is killed when the object goes, also when
// the test fails, and dies with the test process if that one crashes.
class FakeGvCamera {
public:
    static constexpr double kAppearSeconds = 10.0;

    // Empty when the fake camera program is not installed.
    static std::string program();

    // Throws std::runtime_error when the camera does not appear in time.
    FakeGvCamera();
    ~FakeGvCamera();
    FakeGvCamera(const FakeGvCamera&) = delete;
    FakeGvCamera& operator=(const FakeGvCamera&) = delete;

    const std::string& serial() const { return serial_; }
    // Kills the camera now (idempotent).
    void stop();

private:
    std::string serial_;
    pid_t pid_ = -1;
};

// Forwards every call to `inner`; calls `afterCompletion` with the number of
// completions so far after each completion that returned.
class ForwardingFifo : public kcAcqFifo {
public:
    ForwardingFifo(kcPtrHandle<kcAcqFifo> inner, std::function<void(int)> afterCompletion)
        : inner_(std::move(inner)), afterCompletion_(std::move(afterCompletion)) {}

    bool start(unsigned long flags) override { return inner_->start(flags); }
    kcPtrHandle<kcAcqImage> completeAcq(const CompleteArgs& args) override {
        kcPtrHandle<kcAcqImage> image = inner_->completeAcq(args);
        afterCompletion_(++completions_);
        return image;
    }
    bool triggerEnable() const override { return inner_->triggerEnable(); }
    void triggerEnable(bool enable) override { inner_->triggerEnable(enable); }
    const kcTriggerModel& triggerModel() const override { return inner_->triggerModel(); }
    void triggerModel(const kcTriggerModel& model) override { inner_->triggerModel(model); }
    kcAcqProps& properties() override { return inner_->properties(); }

private:
    kcPtrHandle<kcAcqFifo> inner_;
    std::function<void(int)> afterCompletion_;
    int completions_ = 0;
};

}  // namespace genicam_test
