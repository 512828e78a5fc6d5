// toolkit/acq/trigger_model.h
// kcTriggerModel: how a FIFO's acquisitions are triggered, and the
// process-wide manual, free-running and hardware models.
#pragma once

#include <string>

#include "toolkit/foundation/export.h"

// A trigger model is a long-lived object that FIFOs and savers hold by
// reference; two models are the same exactly when they are the same object
// (compare addresses). Models cannot be copied, so a reference always names
// one of the process-wide instances below (or a backend's own, equally
// long-lived model).
class KC_EXPORT kcTriggerModel {
public:
    kcTriggerModel(const kcTriggerModel&) = delete;
    kcTriggerModel& operator=(const kcTriggerModel&) = delete;
    virtual ~kcTriggerModel();

    // A short lowercase name for messages and logs, e.g. "manual".
    virtual std::string name() const = 0;

protected:
    kcTriggerModel() = default;
};

// An acquisition starts when the program calls start().
KC_EXPORT const kcTriggerModel& kfManualTrigger();
// The camera runs on its own; start() picks the next frame.
KC_EXPORT const kcTriggerModel& kfFreeRunTrigger();
// An acquisition starts on an external trigger signal.
KC_EXPORT const kcTriggerModel& kfHardwareTrigger();
