// toolkit/imgproc/gauss_sample.h
// Gaussian smoothing with subsampling of an 8-bit plane.
#pragma once

#include "toolkit/foundation/export.h"
#include "toolkit/foundation/pel_buffer.h"

// Parameters of kfGaussSample.
//
// The smoothing kernel is the binomial kernel of 2 x smoothness + 1 taps in
// each direction (smoothness 4: 1 8 28 56 70 56 28 8 1, a Gaussian of
// sigma sqrt(2)), applied separably. smoothness 0 is no smoothing.
class KC_EXPORT kcGaussSampleParams {
public:
    // sample: subsampling factor in both directions (>= 1);
    // smoothness: kernel half-width (0 to 8);
    // gain: factor applied to the smoothed values, finite and >= 0 (1.0
    // leaves them exactly as they are);
    // clip: saturate results to 0..255 (always on for 8-bit results; kept
    // for the callers that pass it).
    // kcBadArgument for a value out of range.
    kcGaussSampleParams(long sample, long smoothness, double gain, bool clip);

    // Sets the subsampling factor (kcBadArgument below 1).
    void sample(long factor);
    // Sets the kernel half-width (kcBadArgument outside 0..8).
    void smoothness(long halfWidth);

    long sample() const { return sample_; }
    long smoothness() const { return smoothness_; }
    double gain() const { return gain_; }
    bool clip() const { return clip_; }

private:
    long sample_;
    long smoothness_;
    double gain_;
    bool clip_;
};

// Smooths and subsamples the window of `source`. With factor s and a window
// of w x h, the result is a new buffer of ceil(w / s) x ceil(h / s) pels;
// result pel (i, j) is the smoothed value at source pel
// (min(i*s + (s-1)/2, w-1), min(j*s + (s-1)/2, h-1)) of the window, that is
// at the centre of its s x s block. Pels beyond the window's border are the
// border pels replicated. The value is the exact weighted mean (integer
// sums) times the gain, rounded to nearest with halves up and saturated to
// 0..255, so a flat image stays exactly flat. An empty window gives an
// empty (bound) result; kcUnboundBuffer for an unbound source.
template <class T>
kcPelBuffer<T> kfGaussSample(const kcPelBuffer_const<T>& source, const kcGaussSampleParams& params);

template <>
KC_EXPORT kcPelBuffer<unsigned char> kfGaussSample<unsigned char>(const kcPelBuffer_const<unsigned char>& source,
                                                                  const kcGaussSampleParams& params);
