// apps/colorbal/svg_plots.h
// The diagnostics page's plots as inline SVG: the search over time, the
// settings tried, and the per-plane histogram of an image. Each plot is one
// <svg> element of class "plot" that scales to the width of its container.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "apps/colorbal/search_record.h"
#include "toolkit/camera/color_camera_settings.h"
#include "toolkit/foundation/three_plane_pel_buffer.h"

// Exposure (logarithmic axis), contrast and brightness, and the good-pel
// fraction against the acquisition number, in three panels; failed
// acquisitions marked in each panel, and the acquisition `resultIndex`
// (0: none) marked as the result.
std::string kfTimelineSvg(const std::vector<kcAcqRecord>& records, unsigned long resultIndex);

// Exposure (logarithmic) against contrast, brightness as colour; the
// result's settings marked when given.
std::string kfScatterSvg(const std::vector<kcAcqRecord>& records, const std::optional<kcColorCameraSettings>& result);

// Share of pels at each grey level, one line per plane, with the dark and
// saturation levels marked. kcUnboundBuffer for an unbound image.
std::string kfHistogramSvg(const kc3PlanePelBuffer& image, int darkLevel, int saturationLevel);
