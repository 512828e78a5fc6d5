#include "clbl/color_measurement.h"

#include <array>
#include <cmath>
#include <cstdlib>
#include <limits>
#include <string>
#include <vector>

#include "toolkit/foundation/exceptions.h"
#include "toolkit/foundation/histo_stats.h"
#include "toolkit/imgproc/color_conversion.h"
#include "toolkit/imgproc/morphology.h"

namespace {

constexpr std::int32_t kDefaultSaturationLevel = 239;  // every plane, without a saturation reference
constexpr double kSaturationFraction = 0.98;           // of a reference plane's robust maximum
constexpr double kGoodCountMargin = 1.025;             // good counts closer than this are compared by score
constexpr double kScoreMargin = 1.05;                  // a candidate must beat the best's score by this factor
constexpr double kHuePenaltyWeight = 2.0;              // weight of the hue shift in the score
constexpr std::size_t kBins = 256;                     // 8-bit histograms
constexpr bool kHistoStatsFlag = false;                // plain statistics over the bins

// Per-plane classification of a pel value: bit 0 below the dark level,
// bit 1 above the plane's saturation level. A pel is good when the OR over
// its three planes is 0.
constexpr unsigned char kDarkBit = 1;
constexpr unsigned char kBrightBit = 2;

using SaturationLevels = std::array<std::int32_t, 3>;
using ClassTable = std::array<std::array<unsigned char, kBins>, 3>;

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

ClassTable classTable(const SaturationLevels& levels, std::int32_t darkLevel) {
    ClassTable table{};
    for (int p = 0; p < 3; ++p) {
        for (std::int32_t v = 0; v < static_cast<std::int32_t>(kBins); ++v) {
            unsigned char c = 0;
            if (v < darkLevel) c |= kDarkBit;
            if (v > levels[p]) c |= kBrightBit;
            table[p][static_cast<std::size_t>(v)] = c;
        }
    }
    return table;
}

// Checks shared by both measuring operations; returns the pel count.
std::int32_t checkImageAndReference(const kc3PlanePelBuffer& image, const kc3PlanePelBuffer& saturationReference) {
    requireBound(image, L"measured image");
    if (saturationReference.isBound()) requireSameWindowSize(image, saturationReference, L"saturation reference");
    return windowPelCount(image);
}

unsigned absDiff(unsigned a, unsigned b) { return a > b ? a - b : b - a; }

double score(const kcColorBalanceMeasurement& m) {
    return (m.planeStats[1].sDev() + m.planeStats[0].sDev() + m.planeStats[2].sDev()) -
           (m.noiseStats[1].sDev() + m.noiseStats[0].sDev() + m.noiseStats[2].sDev()) -
           kHuePenaltyWeight * (std::fabs(m.hueShiftStats.mean()) + std::fabs(m.hueShiftStats.sDev()));
}

}  // namespace

kcColorBalanceMeasurement measureColorImage(const kc3PlanePelBuffer& image, const kc3PlanePelBuffer& repeatImage,
                                            const kc3PlanePelBuffer& saturationReference,
                                            const kc3PlanePelBuffer& hueReference, std::int32_t darkLevel) {
    const std::int32_t pelCount = checkImageAndReference(image, saturationReference);
    requireBound(repeatImage, L"repeat image");
    requireSameWindowSize(image, repeatImage, L"repeat image");
    if (hueReference.isBound()) requireSameWindowSize(image, hueReference, L"hue reference");

    kcColorBalanceMeasurement m;
    m.saturationLevels = saturationLevels(saturationReference);
    m.pelCount = pelCount;

    std::array<std::vector<unsigned long>, 3> planeHist{
        std::vector<unsigned long>(kBins), std::vector<unsigned long>(kBins), std::vector<unsigned long>(kBins)};
    std::array<std::vector<unsigned long>, 3> noiseHist{
        std::vector<unsigned long>(kBins), std::vector<unsigned long>(kBins), std::vector<unsigned long>(kBins)};
    std::vector<unsigned long> hueHist(kBins);

    // The hue shift compares the image with the hue reference, or with the
    // saturation reference when there is none. Both conversions start their
    // window at the origin and have the image's window size.
    const kc3PlanePelBuffer& hueSource = hueReference.isBound() ? hueReference : saturationReference;
    const bool withHue = hueSource.isBound();
    kc3PlanePelBuffer imageHsi;
    kc3PlanePelBuffer referenceHsi;
    if (withHue) {
        kfPelRGBToHSI(image, imageHsi);
        kfPelRGBToHSI(hueSource, referenceHsi);
        requireSameWindowSize(image, imageHsi, L"hue conversion of the measured image");
        requireSameWindowSize(image, referenceHsi, L"hue conversion of the reference");
    }

    const ClassTable table = classTable(m.saturationLevels, darkLevel);
    const kcPelRect& w = image.window();
    const long width = w.isEmpty() ? 0 : w.width();
    const long height = w.isEmpty() ? 0 : w.height();
    const long repeatTop = repeatImage.window().top();
    const long imageHsiTop = withHue ? imageHsi.window().top() : 0;
    const long referenceHsiTop = withHue ? referenceHsi.window().top() : 0;

    unsigned long* const ph[3] = {planeHist[0].data(), planeHist[1].data(), planeHist[2].data()};
    unsigned long* const nh[3] = {noiseHist[0].data(), noiseHist[1].data(), noiseHist[2].data()};
    unsigned long* const hh = hueHist.data();
    const unsigned char* const t0 = table[0].data();
    const unsigned char* const t1 = table[1].data();
    const unsigned char* const t2 = table[2].data();
    std::int32_t darkCount = 0;
    std::int32_t brightCount = 0;
    std::int32_t goodCount = 0;

    for (long i = 0; i < height; ++i) {
        const long y = w.top() + i;
        const unsigned char* q0 = image.plane(0).pointToRow(y);
        const unsigned char* q1 = image.plane(1).pointToRow(y);
        const unsigned char* q2 = image.plane(2).pointToRow(y);
        const unsigned char* r0 = repeatImage.plane(0).pointToRow(repeatTop + i);
        const unsigned char* r1 = repeatImage.plane(1).pointToRow(repeatTop + i);
        const unsigned char* r2 = repeatImage.plane(2).pointToRow(repeatTop + i);
        const unsigned char* h = withHue ? imageHsi.plane(0).pointToRow(imageHsiTop + i) : nullptr;
        const unsigned char* hRef = withHue ? referenceHsi.plane(0).pointToRow(referenceHsiTop + i) : nullptr;
        for (long x = 0; x < width; ++x) {
            const unsigned v0 = q0[x];
            const unsigned v1 = q1[x];
            const unsigned v2 = q2[x];
            const unsigned c = static_cast<unsigned>(t0[v0] | t1[v1] | t2[v2]);
            if (c != 0) {
                darkCount += static_cast<std::int32_t>(c & kDarkBit);
                brightCount += static_cast<std::int32_t>(c >> 1);
                continue;
            }
            ++goodCount;
            ++ph[0][v0];
            ++ph[1][v1];
            ++ph[2][v2];
            ++nh[0][absDiff(v0, r0[x])];
            ++nh[1][absDiff(v1, r1[x])];
            ++nh[2][absDiff(v2, r2[x])];
            if (h != nullptr) ++hh[absDiff(h[x], hRef[x])];
        }
    }

    m.darkCount = darkCount;
    m.brightCount = brightCount;
    m.goodCount = goodCount;
    for (int p = 0; p < 3; ++p) {
        m.planeStats[p] = kcHistoStats(planeHist[p], kHistoStatsFlag);
        m.noiseStats[p] = kcHistoStats(noiseHist[p], kHistoStatsFlag);
    }
    m.hueShiftStats = kcHistoStats(hueHist, kHistoStatsFlag);
    return m;
}

std::int32_t countGoodPels(const kc3PlanePelBuffer& image, const kc3PlanePelBuffer& saturationReference,
                           std::int32_t darkLevel) {
    checkImageAndReference(image, saturationReference);
    const SaturationLevels levels = saturationLevels(saturationReference);

    // Inclusive bounds per plane, widened to int so that any darkLevel works.
    const int lo = darkLevel;
    const int hi0 = levels[0];
    const int hi1 = levels[1];
    const int hi2 = levels[2];
    const kcPelRect& w = image.window();
    const long width = w.isEmpty() ? 0 : w.width();
    const long height = w.isEmpty() ? 0 : w.height();
    std::int32_t good = 0;
    for (long i = 0; i < height; ++i) {
        const long y = w.top() + i;
        const unsigned char* q0 = image.plane(0).pointToRow(y);
        const unsigned char* q1 = image.plane(1).pointToRow(y);
        const unsigned char* q2 = image.plane(2).pointToRow(y);
        std::int32_t rowGood = 0;
        for (long x = 0; x < width; ++x) {
            const int v0 = q0[x];
            const int v1 = q1[x];
            const int v2 = q2[x];
            rowGood += static_cast<std::int32_t>((v0 >= lo) & (v0 <= hi0) & (v1 >= lo) & (v1 <= hi1) & (v2 >= lo) &
                                                 (v2 <= hi2));
        }
        good += rowGood;
    }
    return good;
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
    const kcGMorphElement element({kcGMorph3x3Element(kcGMorphDefs::eSquare3x3)});
    kcPelBuffer<unsigned char> eroded;
    element.erode(image, eroded);
    std::vector<unsigned long> histogram(kBins);
    kfPelHistogram<unsigned char>(eroded, histogram);
    return kcHistoStats(histogram, kHistoStatsFlag).histMax();
}
