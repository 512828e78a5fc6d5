// apps/colorbal/report_page.h
// The diagnostics report of a balancing run: a directory with index.html
// (the summary, the search as plots, thumbnails, the result records), the
// images it shows as PNG files beside it, and search.csv.
#pragma once

#include <string>
#include <vector>

#include "apps/colorbal/diagnostics_export.h"
#include "apps/colorbal/search_record.h"
#include "clbl/result.h"
#include "toolkit/camera/color_camera_settings.h"
#include "toolkit/diag/diag_object.h"

// What the page says about the run besides the recorded acquisitions.
struct kcReportPage {
    // "scene chart (seed 1)", "camera FakeCamera (RGB8)"
    std::string source;
    long width = 0;
    long height = 0;
    // Acquisitions of the search proper; later ones were taken for the
    // result records or at the result settings.
    unsigned long searchImages = 0;
    // The acquisition taken at the result settings after the search (0:
    // none).
    unsigned long resultImage = 0;
    double searchSeconds = 0.0;
    kcColorCameraSettings start;
    kcColorBalanceResult result;
    // The result's failure code in words, when the search ended on one.
    std::string failureText;
    std::vector<std::string> warnings;
};

// Writes the report into `directory`, which appears whole or not at all
// (it must not exist or be empty): the records of
// `diag` (as kfExportDiagnostics), first.png, best.png and result.png (the
// first image, the one with the most good pels and the image at the result
// settings, else the result records' image, each shrunk to a thumbnail and encoded once; an image shown
// twice is written once), search.csv and, last, index.html. kcRunError
// naming the file and the reason when something cannot be written.
kcDiagExport kfExportReport(const kcReportPage& page, const kcSearchRecorder& recorder, const kcDiagObject& diag,
                            const std::string& directory);

// The image shrunk by a whole factor (the mean of each block) so that it
// fits kThumbnailWidth x kThumbnailHeight; a smaller image as it is.
kc3PlanePelBuffer kfThumbnail(const kc3PlanePelBuffer& image);

constexpr long kThumbnailWidth = 360;
constexpr long kThumbnailHeight = 300;
