// apps/colorbal/search_record.h
// The record of a balancing run's acquisitions, as the forwarding FIFO sees
// them: settings, time, good pels and plane means of each image, and the
// images the diagnostics page shows (the first, the one with the most good
// pels, the last).
#pragma once

#include <array>
#include <chrono>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "apps/colorbal/progress_fifo.h"
#include "toolkit/camera/color_camera_settings.h"
#include "toolkit/foundation/three_plane_pel_buffer.h"

// One acquisition.
struct kcAcqRecord {
    // Acquisition number, from 1.
    unsigned long index = 0;
    // Wall-clock time of completion, in milliseconds since 1970 (UTC), and
    // seconds since the recorder was made.
    std::int64_t unixMillis = 0;
    double elapsedSeconds = 0.0;
    // The FIFO's settings at completion (absent when it lacks a property).
    std::optional<kcColorCameraSettings> settings;
    // Good pels / all pels (every plane above the dark level and below the
    // saturation level the search uses by default), and the mean of each
    // plane; NaN when the acquisition failed (its image is not measured).
    double goodFraction = 0.0;
    std::array<double, 3> planeMeans{};
    bool failed = false;
};

// An image the recorder kept, with the number of its acquisition.
struct kcRecordedImage {
    unsigned long index = 0;
    kc3PlanePelBuffer image;  // unbound when none was kept
};

class kcSearchRecorder {
public:
    kcSearchRecorder();

    // Records one completed acquisition (the forwarding FIFO's callback).
    void add(const kcAcqProgress& progress);

    const std::vector<kcAcqRecord>& records() const { return records_; }
    // The first image, the first image with the most good pels, and the
    // last image, among those of acquisitions that did not fail (unbound
    // while there is none).
    const kcRecordedImage& firstImage() const { return first_; }
    const kcRecordedImage& bestImage() const { return best_; }
    const kcRecordedImage& lastImage() const { return last_; }

private:
    std::chrono::steady_clock::time_point start_;
    std::vector<kcAcqRecord> records_;
    kcRecordedImage first_, best_, last_;
    double bestFraction_ = -1.0;
};

// Good pels / all pels of the window, with the search's default dark and
// saturation levels; NaN for an empty window.
double kfGoodPelFraction(const kc3PlanePelBuffer& image);

// The records as CSV: a header row with units, then one row per record.
// Acquisitions after the first `searchImages` are marked as taken for the
// result records, but acquisition `resultImage` (0: none) as the image at
// the result settings.
std::string kfSearchCsv(const std::vector<kcAcqRecord>& records, unsigned long searchImages, unsigned long resultImage);

// "2026-12-07T00:04:59.123Z" for a time in milliseconds since 1970.
std::string kfUtcTimeText(std::int64_t unixMillis);
