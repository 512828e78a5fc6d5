// toolkit/acq/acq_fifo.h
// kcAcqFifo: the acquisition FIFO of one camera, the abstract class that
// camera backends derive from. FIFOs are held through kcPtrHandle<kcAcqFifo>.
#pragma once

#include <cstdint>
#include <limits>

#include "toolkit/acq/acq_image.h"
#include "toolkit/acq/acq_props.h"
#include "toolkit/acq/acquire_info.h"
#include "toolkit/acq/trigger_model.h"
#include "toolkit/foundation/export.h"
#include "toolkit/foundation/ptr_handle.h"

// Every member is virtual and nothing is hidden from a derived class, so a
// program can write a FIFO that forwards each call to another one (to
// observe, log or alter what passes through).
class KC_EXPORT kcAcqFifo {
public:
    // Arguments of a completion. The defaults ask for the usual completion:
    // wait up to the FIFO's own timeout and fill nothing.
    struct CompleteArgs {
        // Release the image's resources when its last handle goes.
        bool autoRelease = true;
        // Longest wait in seconds; +infinity waits up to the FIFO's own
        // timeout. Negative or NaN: kcBadArgument.
        double timeout = std::numeric_limits<double>::infinity();
        // Fail at once (kcTimeout::Expired) instead of waiting when no image
        // is ready.
        bool noWait = false;
        // Reserved; must be 0.
        std::uint64_t reserved = 0;
        // Filled with the acquisition's report when not null.
        kcAcquireInfo* acqInfo = nullptr;
    };

    kcAcqFifo(const kcAcqFifo&) = delete;
    kcAcqFifo& operator=(const kcAcqFifo&) = delete;
    virtual ~kcAcqFifo();

    // Starts (queues) one acquisition; `flags` is reserved and passed as 0.
    // False when the FIFO cannot queue another acquisition.
    virtual bool start(unsigned long flags) = 0;
    // Waits for the oldest started acquisition and returns its image; the
    // image may be unbound, and acqInfo (if given) reports a failure code.
    // Throws kcTimeout::Expired when no image arrives in time.
    virtual kcPtrHandle<kcAcqImage> completeAcq(const CompleteArgs& args) = 0;

    virtual bool triggerEnable() const = 0;
    virtual void triggerEnable(bool enable) = 0;
    // The current model, by reference to a long-lived model object.
    virtual const kcTriggerModel& triggerModel() const = 0;
    virtual void triggerModel(const kcTriggerModel& model) = 0;

    // The FIFO's property table; it lives as long as the FIFO.
    virtual kcAcqProps& properties() = 0;

protected:
    kcAcqFifo() = default;
};
