#include "clbl/internal/color_measurement.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdlib>
#include <limits>
#include <string>
#include <vector>

#include "clbl/internal/search_constants.h"
#include "toolkit/foundation/exceptions.h"
#include "toolkit/foundation/histo_stats.h"
#include "toolkit/imgproc/color_conversion.h"

namespace {

constexpr std::int32_t kDefaultSaturationLevel = 239;  // every plane, without a saturation reference
constexpr double kSaturationFraction = 0.98;           // of a reference plane's robust maximum
constexpr double kScoreMargin = 1.05;                  // a candidate must beat the best's score by this factor
constexpr double kHuePenaltyWeight = 2.0;              // weight of the hue shift in the score
constexpr std::size_t kBins = 256;                     // 8-bit histograms
constexpr bool kHistoStatsFlag = false;                // plain statistics over the bins

constexpr unsigned char kMaxPel = 255;
constexpr long kChunk = 64;  // pels per inner loop: a constant trip count lets -O2 vectorise it
// Copies of the histograms that pels take in turn along a row. Plane values
// of a smoothed image change slowly, differences are mostly near 0: without
// copies, one count would wait on the one before.
constexpr long kPlaneCopies = 2;
constexpr long kDifferenceCopies = 4;

// Classification of a pel: bit 0 when a plane lies below the dark level,
// bit 1 when a plane lies above its saturation level. A pel is good when
// neither is set.
constexpr unsigned char kDarkBit = 1;
constexpr unsigned char kBrightBit = 2;

using SaturationLevels = std::array<std::int32_t, 3>;
// Row pointers of the three planes of an image.
using PlaneRows = std::array<const unsigned char*, 3>;

// Row i of the window of each plane.
PlaneRows planeRows(const kc3PlanePelBuffer& image, long i) {
    PlaneRows rows{};
    for (int p = 0; p < 3; ++p) {
        const kcPelBuffer<unsigned char>& plane = image.plane(p);
        rows[static_cast<std::size_t>(p)] = plane.pointToRow(plane.window().top() + i);
    }
    return rows;
}

// The good-pel test in 8-bit arithmetic, so that rows are classified many
// pels at a time. Any dark level and any levels work: the bounds are
// clamped to 0..255 with flags for "always" and "never".
class GoodPelTest {
public:
    GoodPelTest(const SaturationLevels& levels, std::int32_t darkLevel)
        : darkEnabled_(darkLevel > 0 ? 1 : 0),
          darkTop_(static_cast<unsigned char>(std::clamp<std::int64_t>(std::int64_t(darkLevel) - 1, 0, kMaxPel))) {
        for (std::size_t p = 0; p < 3; ++p) {
            brightAlways_[p] = levels[p] < 0 ? 1 : 0;
            brightAbove_[p] = static_cast<unsigned char>(std::clamp<std::int32_t>(levels[p], 0, kMaxPel));
        }
    }

    // classes[x] for the pels of one row.
    void classifyRow(const PlaneRows& q, unsigned char* __restrict classes, long width) const {
        const Bounds b = bounds();
        const unsigned char* __restrict q0 = q[0];
        const unsigned char* __restrict q1 = q[1];
        const unsigned char* __restrict q2 = q[2];
        long x = 0;
        for (; x + kChunk <= width; x += kChunk)
            for (long j = 0; j < kChunk; ++j) classes[x + j] = classAt(b, q0[x + j], q1[x + j], q2[x + j]);
        for (; x < width; ++x) classes[x] = classAt(b, q0[x], q1[x], q2[x]);
    }

    // The good pels of one row.
    long countRow(const PlaneRows& q, long width) const {
        const Bounds b = bounds();
        const unsigned char* __restrict q0 = q[0];
        const unsigned char* __restrict q1 = q[1];
        const unsigned char* __restrict q2 = q[2];
        long good = 0;
        long x = 0;
        for (; x + kChunk <= width; x += kChunk) {
            unsigned char chunkGood = 0;  // at most kChunk
            for (long j = 0; j < kChunk; ++j)
                chunkGood = static_cast<unsigned char>(chunkGood + (classAt(b, q0[x + j], q1[x + j], q2[x + j]) == 0));
            good += chunkGood;
        }
        for (; x < width; ++x) good += classAt(b, q0[x], q1[x], q2[x]) == 0;
        return good;
    }

private:
    struct Bounds {
        unsigned char darkEnabled, darkTop, always0, always1, always2, above0, above1, above2;
    };
    Bounds bounds() const {
        return {darkEnabled_,     darkTop_,        brightAlways_[0], brightAlways_[1],
                brightAlways_[2], brightAbove_[0], brightAbove_[1],  brightAbove_[2]};
    }
    static unsigned char classAt(const Bounds& b, unsigned char v0, unsigned char v1, unsigned char v2) {
        const unsigned char dark =
            static_cast<unsigned char>(((v0 <= b.darkTop) | (v1 <= b.darkTop) | (v2 <= b.darkTop)) & b.darkEnabled);
        const unsigned char bright = static_cast<unsigned char>((v0 > b.above0) | b.always0 | (v1 > b.above1) |
                                                                b.always1 | (v2 > b.above2) | b.always2);
        return static_cast<unsigned char>(dark * kDarkBit | bright * kBrightBit);
    }

    unsigned char darkEnabled_;                    // 1 when some value lies below the dark level
    unsigned char darkTop_;                        // with it: dark means value <= darkTop_
    std::array<unsigned char, 3> brightAlways_{};  // 1 when the level is below 0
    std::array<unsigned char, 3> brightAbove_{};   // else: bright means value > brightAbove_
};

// Histograms of 256 bins in K copies; merged into one at the end.
template <long K>
struct SplitHistograms {
    std::array<std::uint32_t, K * kBins> counts{};

    void add(std::size_t bin, std::int64_t n) { counts[bin] += static_cast<std::uint32_t>(n); }
    const std::vector<unsigned long>& merged(std::vector<unsigned long>& out) const {
        for (std::size_t b = 0; b < kBins; ++b) {
            unsigned long total = 0;
            for (std::size_t k = 0; k < static_cast<std::size_t>(K); ++k) total += counts[k * kBins + b];
            out[b] = total;
        }
        return out;
    }
};

struct RowScratch {
    explicit RowScratch(long width)
        : hue(static_cast<std::size_t>(width)), referenceHue(static_cast<std::size_t>(width)) {}
    std::vector<unsigned char> hue;
    std::vector<unsigned char> referenceHue;
};

struct RowCounts {
    long good = 0;
    long dark = 0;
    long bright = 0;
};

unsigned absDiff(unsigned a, unsigned b) { return a > b ? a - b : b - a; }

// Counts the good pels of one row into the histograms, and the others into
// the dark and bright counts. Without differences the noise histograms are
// left alone; without hue rows (null) the hue histogram.
template <bool WithDifferences>
RowCounts scatterRow(const PlaneRows& q, const PlaneRows& r, const unsigned char* h, const unsigned char* hRef,
                     const unsigned char* classes, long width, SplitHistograms<kPlaneCopies> (&planeHist)[3],
                     SplitHistograms<kDifferenceCopies> (&noiseHist)[3], SplitHistograms<kDifferenceCopies>& hueHist) {
    const unsigned char* const q0 = q[0];
    const unsigned char* const q1 = q[1];
    const unsigned char* const q2 = q[2];
    const unsigned char* const r0 = r[0];
    const unsigned char* const r1 = r[1];
    const unsigned char* const r2 = r[2];
    std::uint32_t* const p0 = planeHist[0].counts.data();
    std::uint32_t* const p1 = planeHist[1].counts.data();
    std::uint32_t* const p2 = planeHist[2].counts.data();
    std::uint32_t* const n0 = noiseHist[0].counts.data();
    std::uint32_t* const n1 = noiseHist[1].counts.data();
    std::uint32_t* const n2 = noiseHist[2].counts.data();
    std::uint32_t* const hh = hueHist.counts.data();
    RowCounts c;
    for (long x = 0; x < width; ++x) {
        const unsigned cls = classes[x];
        if (cls != 0) {
            c.dark += cls & kDarkBit;
            c.bright += cls >> 1;
            continue;
        }
        ++c.good;
        const std::size_t pc = static_cast<std::size_t>(x % kPlaneCopies) * kBins;
        const std::size_t dc = static_cast<std::size_t>(x % kDifferenceCopies) * kBins;
        const unsigned v0 = q0[x];
        const unsigned v1 = q1[x];
        const unsigned v2 = q2[x];
        ++p0[pc + v0];
        ++p1[pc + v1];
        ++p2[pc + v2];
        if constexpr (WithDifferences) {
            ++n0[dc + absDiff(v0, r0[x])];
            ++n1[dc + absDiff(v1, r1[x])];
            ++n2[dc + absDiff(v2, r2[x])];
        }
        if (h != nullptr) ++hh[dc + absDiff(h[x], hRef[x])];
    }
    return c;
}

// d[x] = min(a[x], b[x], c[x]); the three may be the same row.
void columnMin3(const unsigned char* a, const unsigned char* b, const unsigned char* c, unsigned char* __restrict d,
                long width) {
    const auto at = [=](long x) {
        const unsigned char m = a[x] < b[x] ? a[x] : b[x];
        return m < c[x] ? m : c[x];
    };
    long x = 0;
    for (; x + kChunk <= width; x += kChunk)
        for (long j = 0; j < kChunk; ++j) d[x + j] = at(x + j);
    for (; x < width; ++x) d[x] = at(x);
}

// The highest of min(v[x-1], v[x], v[x+1]) over the row, the border values
// replicated.
unsigned char rowMaxOfMin3(const unsigned char* v, long width) {
    if (width == 1) return v[0];
    const long last = width - 1;
    const auto at = [v](long x) {
        const unsigned char m = v[x - 1] < v[x] ? v[x - 1] : v[x];
        return m < v[x + 1] ? m : v[x + 1];
    };
    unsigned char highest = std::max(std::min(v[0], v[1]), std::min(v[last - 1], v[last]));
    long x = 1;
    for (; x + kChunk <= last; x += kChunk) {
        unsigned char chunkHighest = 0;
        for (long j = 0; j < kChunk; ++j) {
            const unsigned char e = at(x + j);
            chunkHighest = chunkHighest > e ? chunkHighest : e;
        }
        highest = std::max(highest, chunkHighest);
    }
    for (; x < last; ++x) highest = std::max(highest, at(x));
    return highest;
}

std::wstring sizeText(const kcPelRect& w) { return std::to_wstring(w.width()) + L" x " + std::to_wstring(w.height()); }

void requireBound(const kc3PlanePelBuffer& img, const wchar_t* what) {
    if (!img.isBound()) throw kcUnboundBuffer(std::wstring(what) + L" is not bound");
}

// Companions are walked in step with the image, so their windows must have
// the image's size; anything else would read outside them.
void requireSameWindowSize(const kc3PlanePelBuffer& image, const kc3PlanePelBuffer& companion, const wchar_t* what) {
    const kcPelRect& a = image.window();
    const kcPelRect& b = companion.window();
    if (a.width() != b.width() || a.height() != b.height())
        throw kcBadArgument(std::wstring(what) + L" window is " + sizeText(b) + L" but the measured image window is " +
                            sizeText(a));
}

// The window's pel count, which the measurement holds as int32.
std::int32_t windowPelCount(const kc3PlanePelBuffer& image) {
    const kcPelRect& w = image.window();
    if (w.isEmpty()) return 0;
    const long count = w.height() * w.width();
    if (count > std::numeric_limits<std::int32_t>::max())
        throw kcBadArgument(L"measured image window " + sizeText(w) + L" has " + std::to_wstring(count) +
                            L" pels, more than a measurement can count");
    return static_cast<std::int32_t>(count);
}

SaturationLevels saturationLevels(const kc3PlanePelBuffer& saturationReference) {
    if (!saturationReference.isBound())
        return {kDefaultSaturationLevel, kDefaultSaturationLevel, kDefaultSaturationLevel};
    SaturationLevels levels{};
    for (int p = 0; p < 3; ++p) levels[p] = planeSaturationLevel(saturationReference.plane(p));
    return levels;
}

// Checks shared by both measuring operations; returns the pel count. A
// saturation reference only gives levels, whatever its size.
std::int32_t checkImage(const kc3PlanePelBuffer& image) {
    requireBound(image, L"measured image");
    return windowPelCount(image);
}

double score(const kcColorBalanceMeasurement& m) {
    return (m.planeStats[1].sDev() + m.planeStats[0].sDev() + m.planeStats[2].sDev()) -
           (m.noiseStats[1].sDev() + m.noiseStats[0].sDev() + m.noiseStats[2].sDev()) -
           kHuePenaltyWeight * (std::fabs(m.hueShiftStats.mean()) + std::fabs(m.hueShiftStats.sDev()));
}

}  // namespace

kcColorBalanceMeasurement measureColorImage(const kc3PlanePelBuffer& image, const kc3PlanePelBuffer& repeatImage,
                                            const kc3PlanePelBuffer& saturationReference,
                                            const kc3PlanePelBuffer& hueReference, std::int32_t darkLevel) {
    const std::int32_t pelCount = checkImage(image);
    requireBound(repeatImage, L"repeat image");
    requireSameWindowSize(image, repeatImage, L"repeat image");

    kcColorBalanceMeasurement m;
    m.saturationLevels = saturationLevels(saturationReference);
    m.pelCount = pelCount;

    // The hue shift compares the image with the hue reference, or with the
    // saturation reference when there is none. The hue of both is made a
    // row at a time, right before the row is walked.
    const kc3PlanePelBuffer& hueSource = hueReference.isBound() ? hueReference : saturationReference;
    const bool withHue = hueSource.isBound();
    // Only the image walked alongside must match the measured one in size.
    if (withHue)
        requireSameWindowSize(image, hueSource, hueReference.isBound() ? L"hue reference" : L"saturation reference");

    const GoodPelTest test(m.saturationLevels, darkLevel);
    const long width = pelCount == 0 ? 0 : image.width();
    const long height = pelCount == 0 ? 0 : image.height();
    RowScratch scratch(withHue ? width : 0);
    std::vector<unsigned char> classes(static_cast<std::size_t>(width));
    // Several copies of each histogram, taken in turn along a row, so that
    // neighbouring pels with one value do not wait on each other's counts.
    SplitHistograms<kPlaneCopies> planeHist[3];
    SplitHistograms<kDifferenceCopies> noiseHist[3];
    SplitHistograms<kDifferenceCopies> hueHist;
    std::int64_t darkCount = 0;
    std::int64_t brightCount = 0;
    std::int64_t goodCount = 0;

    for (long i = 0; i < height; ++i) {
        const PlaneRows q = planeRows(image, i);
        const PlaneRows r = planeRows(repeatImage, i);
        test.classifyRow(q, classes.data(), width);
        const unsigned char* h = nullptr;
        const unsigned char* hRef = nullptr;
        if (withHue) {
            kfRGBRowToHue(q[0], q[1], q[2], scratch.hue.data(), width);
            const PlaneRows s = planeRows(hueSource, i);
            kfRGBRowToHue(s[0], s[1], s[2], scratch.referenceHue.data(), width);
            h = scratch.hue.data();
            hRef = scratch.referenceHue.data();
        }
        // The repeat image is often the measured image itself: every
        // difference is then 0, counted once per row below.
        const bool sameRows = q == r;
        RowCounts counts;
        if (sameRows)
            counts = scatterRow<false>(q, r, h, hRef, classes.data(), width, planeHist, noiseHist, hueHist);
        else
            counts = scatterRow<true>(q, r, h, hRef, classes.data(), width, planeHist, noiseHist, hueHist);
        if (sameRows)
            for (SplitHistograms<kDifferenceCopies>& n : noiseHist) n.add(0, counts.good);
        goodCount += counts.good;
        darkCount += counts.dark;
        brightCount += counts.bright;
    }

    // Every count is at most the pel count, which fits in int32.
    m.darkCount = static_cast<std::int32_t>(darkCount);
    m.brightCount = static_cast<std::int32_t>(brightCount);
    m.goodCount = static_cast<std::int32_t>(goodCount);
    std::vector<unsigned long> histogram(kBins);
    for (int p = 0; p < 3; ++p) {
        m.planeStats[p] = kcHistoStats(planeHist[p].merged(histogram), kHistoStatsFlag);
        m.noiseStats[p] = kcHistoStats(noiseHist[p].merged(histogram), kHistoStatsFlag);
    }
    m.hueShiftStats = kcHistoStats(hueHist.merged(histogram), kHistoStatsFlag);
    return m;
}

std::int32_t countGoodPels(const kc3PlanePelBuffer& image, const kc3PlanePelBuffer& saturationReference,
                           std::int32_t darkLevel) {
    const std::int32_t pelCount = checkImage(image);
    const GoodPelTest test(saturationLevels(saturationReference), darkLevel);
    const long width = pelCount == 0 ? 0 : image.width();
    const long height = pelCount == 0 ? 0 : image.height();
    std::int64_t good = 0;
    for (long i = 0; i < height; ++i) good += test.countRow(planeRows(image, i), width);
    return static_cast<std::int32_t>(good);
}

bool isBetterMeasurement(const kcColorBalanceMeasurement& best, const kcColorBalanceMeasurement& candidate) {
    const double countBest = static_cast<double>(best.goodCount);
    const double countNew = static_cast<double>(candidate.goodCount);
    if (countBest > kGoodCountMargin * countNew) return false;
    if (countNew > kGoodCountMargin * countBest) return true;
    return kScoreMargin * score(best) < score(candidate);
}

std::int32_t planeSaturationLevel(const kcPelBuffer_const<unsigned char>& plane) {
    return static_cast<std::int32_t>(std::trunc(static_cast<double>(erodedPlaneMax(plane)) * kSaturationFraction));
}

long erodedPlaneMax(const kcPelBuffer_const<unsigned char>& image) {
    if (!image.isBound()) throw kcUnboundBuffer(L"robust maximum of an unbound pel buffer");
    const kcPelRect& w = image.window();
    if (w.isEmpty()) return 0;
    // The 3 x 3 square erosion is separable: the minimum of three rows, then
    // of three neighbours along the row, the border pels replicated. Only the
    // highest eroded value is wanted, so no eroded image is made.
    const long width = w.width();
    const long height = w.height();
    std::vector<unsigned char> columnMinima(static_cast<std::size_t>(width));
    unsigned char highest = 0;
    for (long i = 0; i < height && highest < kMaxPel; ++i) {
        const unsigned char* above = image.pointToRow(w.top() + std::max(i - 1, 0L));
        const unsigned char* row = image.pointToRow(w.top() + i);
        const unsigned char* below = image.pointToRow(w.top() + std::min(i + 1, height - 1));
        columnMin3(above, row, below, columnMinima.data(), width);
        highest = std::max(highest, rowMaxOfMin3(columnMinima.data(), width));
    }
    return highest;
}
