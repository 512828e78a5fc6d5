// toolkit/foundation/histo_stats.cpp
#include "toolkit/foundation/histo_stats.h"

#include <cmath>

kcHistoStats::kcHistoStats(const std::vector<unsigned long>& histogram, bool /*flag*/) {
    double total = 0.0;
    double weighted = 0.0;
    bool any = false;
    for (std::size_t level = 0; level < histogram.size(); ++level) {
        const unsigned long count = histogram[level];
        if (count == 0) continue;
        if (!any) histMin_ = static_cast<long>(level);
        any = true;
        histMax_ = static_cast<long>(level);
        samples_ += count;
        total += static_cast<double>(count);
        weighted += static_cast<double>(count) * static_cast<double>(level);
    }
    if (!any) return;
    mean_ = weighted / total;
    // Second pass about the mean: exact for flat histograms, no cancellation.
    double squares = 0.0;
    for (std::size_t level = static_cast<std::size_t>(histMin_); level <= static_cast<std::size_t>(histMax_); ++level) {
        const unsigned long count = histogram[level];
        if (count == 0) continue;
        const double d = static_cast<double>(level) - mean_;
        squares += static_cast<double>(count) * (d * d);
    }
    sDev_ = std::sqrt(squares / total);
}

template <>
void kfPelHistogram<unsigned char>(const kcPelBuffer_const<unsigned char>& image, std::vector<unsigned long>& histogram) {
    if (!image.isBound()) throw kcUnboundBuffer();
    histogram.assign(256, 0);
    const kcPelRect& w = image.window();
    const long width = w.width();
    for (long y = w.top(); y < w.bottom(); ++y) {
        const unsigned char* row = image.pointToRow(y);
        for (long x = 0; x < width; ++x) ++histogram[row[x]];
    }
}
