// clbl/tool.h
// kcColorBalanceTool: the colour-balance search, driven by the caller one
// image at a time.
//
// Usage: construct, optionally set subsamplingFactor, call init with the
// parameters and the camera's present settings, then for each settings
// returned acquire one image and hand it to nextSettingsFromImages, until
// done(); result() gives the best settings found.
//
// Threads: a tool is used by one thread at a time. The colour steps of all
// tools also share two process-wide tables (the last candidate table and
// the grid centres already expanded), which are not locked: the colour
// steps of two tools must not run on two threads at once, and tools used
// one after the other influence each other's grids through these tables.
#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "clbl/export.h"
#include "clbl/measurement.h"
#include "clbl/params.h"
#include "toolkit/acq/acq_image.h"
#include "toolkit/camera/color_camera_settings.h"
#include "toolkit/foundation/pel_buffer.h"
#include "toolkit/foundation/ptr_handle.h"
#include "toolkit/foundation/three_plane_pel_buffer.h"

class kcDiagObject;
class kcColorBalanceToolState;

// Settings together with the measurement of the image taken with them.
struct kcColorBalanceMeasuredSetting {
    kcColorCameraSettings settings;
    kcColorBalanceMeasurement measurement;
};

class CLBL_EXPORT kcColorBalanceTool {
public:
    // A tool already initialised with default parameters and all-zero
    // start settings.
    kcColorBalanceTool();
    ~kcColorBalanceTool();
    kcColorBalanceTool(const kcColorBalanceTool&) = delete;
    kcColorBalanceTool& operator=(const kcColorBalanceTool&) = delete;

    // Starts a new search from `start` (the camera's present settings);
    // returns the first settings to try. May be called again at any time.
    kcColorCameraSettings init(const kcColorBalanceParams& params, const kcColorCameraSettings& start);

    // One step with the image acquired at the settings last returned;
    // returns the settings for the next image. kcBadPointer for an empty
    // handle (the tool is then unchanged). `diag` and `flags` are accepted
    // for the caller's convenience; the tool records no diagnostics.
    kcColorCameraSettings nextSettingsFromImages(kcPtrHandle<kcAcqImage>& image, kcDiagObject* diag,
                                                 unsigned long flags);

    bool done() const { return done_; }
    // The best settings found so far (the start settings until an image
    // has been judged best).
    kcColorCameraSettings result() const { return bestSettings_; }
    kcColorBalanceParams params() const { return params_; }

    // Subsampling of each image before it is measured (0: none); takes
    // effect at the next colour step.
    unsigned long subsamplingFactor() const { return subsamplingFactor_; }
    void subsamplingFactor(unsigned long factor) { subsamplingFactor_ = static_cast<std::uint32_t>(factor); }

private:
    friend class kcColorBalanceToolInspector;  // white-box access for tests

    // Candidate selection.
    bool assignNextSettings(bool checkTriedSettings);
    bool isExcludedByTriedSettings(const kcColorCameraSettings& candidate) const;

    // The grey path.
    kcColorCameraSettings nextSettingsFromGreyImage(const kcPelBuffer<unsigned char>& image, kcDiagObject* diag,
                                                    unsigned long flags);
    kcColorCameraSettings greyExposureSweep(const kcPelBuffer<unsigned char>& image);
    kcColorCameraSettings greyContrastSweep(const kcPelBuffer<unsigned char>& image);
    double firstValueAtFinalGreyLevel() const;

    // The colour path.
    kcColorCameraSettings nextSettingsFromColorImage(const kc3PlanePelBuffer& image, kcDiagObject* diag,
                                                     unsigned long flags);
    kc3PlanePelBuffer smoothed(const kc3PlanePelBuffer& image) const;
    kcColorCameraSettings gridPassStep(const kc3PlanePelBuffer& image);
    kcColorCameraSettings advanceGridPass();
    void takeAsBestInGridPass(const kcColorBalanceMeasurement& measurement);
    kcColorCameraSettings handToGreyStep();
    kcColorCameraSettings restart();
    kcColorCameraSettings initialSweepWithExposure(const kc3PlanePelBuffer& image);
    kcColorCameraSettings initialSweepWithoutExposure(const kc3PlanePelBuffer& image);
    void acceptInInitialSweep(const kcColorBalanceMeasurement& measurement);
    void endInitialSweepWithExposure();
    void endInitialSweepWithoutExposure();

    // New candidate tables for the colour path.
    void initializeSettingsForColorImage(bool restart);
    void initializeSettingsForColorImageUsingLastBestResult();

    bool done_ = false;
    bool greyMode_ = false;
    kcColorBalanceParams params_;
    kcColorCameraSettings bestSettings_;
    kcColorCameraSettings currentSettings_;
    std::unique_ptr<kcColorBalanceToolState> state_;
    std::vector<kcColorBalanceMeasuredSetting> triedSettings_;
    std::uint32_t subsamplingFactor_ = 5;
};
