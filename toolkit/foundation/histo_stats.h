// toolkit/foundation/histo_stats.h
// kcHistoStats: statistics of a histogram of grey levels; kfPelHistogram.
#pragma once

#include <vector>

#include "toolkit/foundation/export.h"
#include "toolkit/foundation/pel_buffer.h"

class KC_EXPORT kcHistoStats {
public:
    // Statistics of an empty histogram: all zero.
    kcHistoStats() = default;
    // Statistics of `histogram`, bin i counting the samples of level i.
    // `flag` is accepted for compatibility and has no effect: the
    // statistics are always the plain ones over the bins.
    kcHistoStats(const std::vector<unsigned long>& histogram, bool flag);

    // Mean level, weighted by the counts; 0 for an empty histogram.
    double mean() const { return mean_; }
    // Standard deviation, population form (divided by the sample count);
    // 0 for an empty histogram.
    double sDev() const { return sDev_; }
    // Highest level with a non-zero count; 0 for an empty histogram.
    long histMax() const { return histMax_; }
    // Lowest level with a non-zero count; 0 for an empty histogram.
    long histMin() const { return histMin_; }
    // Sum of the counts.
    unsigned long sampleCount() const { return samples_; }

private:
    double mean_ = 0.0;
    double sDev_ = 0.0;
    long histMax_ = 0;
    long histMin_ = 0;
    unsigned long samples_ = 0;
};

// Fills `histogram` with 256 counts, one per grey level, over the window of
// `image` (kcUnboundBuffer when it is not bound).
template <class T>
void kfPelHistogram(const kcPelBuffer_const<T>& image, std::vector<unsigned long>& histogram);

template <>
KC_EXPORT void kfPelHistogram<unsigned char>(const kcPelBuffer_const<unsigned char>& image,
                                             std::vector<unsigned long>& histogram);
