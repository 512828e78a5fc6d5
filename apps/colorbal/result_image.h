// apps/colorbal/result_image.h
// Putting settings on a camera for a while and handing it back as found:
// the program takes one image at a balancing result's settings (the good
// pels at the result are counted on it), and puts a stored result back
// when applying it fails part way.
#pragma once

#include <exception>
#include <optional>
#include <vector>

#include "clbl/result.h"
#include "toolkit/acq/acq_fifo.h"
#include "toolkit/acq/acq_image.h"
#include "toolkit/acq/acquire_info.h"
#include "toolkit/foundation/ptr_handle.h"

// Captures, when made, what putting a result on a FIFO and taking an image
// changes: trigger enable and model, exposure, channel-0 contrast and
// brightness (restored on all taps) and the channel-0 input LUT, each that
// the FIFO has. Writes them back once: restore() on the normal path (every
// step is tried, then the first failure is thrown); the destructor when
// neither restore() nor keep() ran, as while an exception unwinds (its
// failures are swallowed, so that they cannot end the process).
class kcFifoHandBack {
public:
    explicit kcFifoHandBack(kcPtrHandle<kcAcqFifo> fifo);
    ~kcFifoHandBack();
    kcFifoHandBack(const kcFifoHandBack&) = delete;
    kcFifoHandBack& operator=(const kcFifoHandBack&) = delete;

    void restore();
    // Leaves the FIFO as it is now.
    void keep() { done_ = true; }

private:
    std::exception_ptr writeBack() noexcept;

    kcPtrHandle<kcAcqFifo> fifo_;
    bool triggerEnable_;
    const kcTriggerModel& triggerModel_;
    std::optional<double> exposure_;
    // Each tap's own contrast and brightness, in tap order.
    std::vector<std::pair<double, double>> taps_;
    std::vector<unsigned char> inputLut_;  // empty: no LUT
    bool done_ = false;
};

// One image at the result's settings: the result is put on `fifo` as
// kcColorBalanceResult::setFifoProperties does, one image is taken with
// the manual trigger, and the FIFO is handed back as found on every way
// out (a failing restore on the normal path is thrown). `acqInfo` receives
// the completion's report. An empty handle when the acquisition failed;
// kcTimeout::Expired and the FIFO's errors pass through.
kcPtrHandle<kcAcqImage> kfImageAtResult(const kcPtrHandle<kcAcqFifo>& fifo, const kcColorBalanceResult& result,
                                        kcAcquireInfo& acqInfo);
