// apps/colorbal/svg_plots.cpp
#include "apps/colorbal/svg_plots.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <functional>
#include <limits>

#include "apps/colorbal/text_utf8.h"
#include "toolkit/foundation/exceptions.h"

namespace {

// Colours that stay apart for the common colour-vision deficiencies, and
// in grey print.
constexpr const char* kExposureColour = "#0072b2";
constexpr const char* kContrastColour = "#e69f00";
constexpr const char* kBrightnessColour = "#009e73";
constexpr const char* kGoodColour = "#000000";
constexpr const char* kFailedColour = "#d55e00";
constexpr const char* kResultColour = "#cc0000";
constexpr std::array<const char*, 3> kPlaneColours{"#d62728", "#2ca02c", "#1f77b4"};
constexpr std::array<const char*, 3> kPlaneNames{"R", "G", "B"};
// A perceptually even scale for the scatter's brightness colour.
constexpr std::array<std::array<int, 3>, 5> kColourScale{
    {{68, 1, 84}, {59, 82, 139}, {33, 145, 140}, {94, 201, 98}, {253, 231, 37}}};

// Sizes in the plots' own units; a plot is drawn at about this many CSS
// pixels on a laptop screen, and scales with its container.
constexpr double kWidth = 960.0;
constexpr double kLeft = 92.0;
constexpr double kRight = 24.0;
constexpr double kFontSize = 14.0;
// Dots are drawn for each point; lines join them when there are few enough
// points for a line to be followed by eye.
constexpr double kDotSize = 5.0;
constexpr std::size_t kMaxPointsForLines = 400;
constexpr int kMaxTicks = 6;
constexpr int kBins = 256;
constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
constexpr double kInfinity = std::numeric_limits<double>::infinity();
// Shown where a logarithmic exposure axis has nothing to show (a camera
// without exposure control reports 0).
constexpr const char* kNoExposure = "no exposure above 0 to show";

std::string f(double v) {
    std::array<char, 32> b{};
    std::snprintf(b.data(), b.size(), "%.1f", v);
    return b.data();
}

// The SVG element that opens a plot; the caller closes it.
std::string openSvg(const std::string& id, double width, double height, const std::string& title) {
    return "<svg class=\"plot\" id=\"" + id + "\" xmlns=\"http://www.w3.org/2000/svg\" viewBox=\"0 0 " + f(width) +
           " " + f(height) + "\" role=\"img\" aria-labelledby=\"" + id +
           "-title\" font-family=\"sans-serif\" font-size=\"" + f(kFontSize) + "\">\n<title id=\"" + id + "-title\">" +
           kfEscapeXml(title) + "</title>\n";
}

std::string text(double x, double y, const std::string& content, const char* anchor = "start",
                 const std::string& extra = "") {
    return "<text x=\"" + f(x) + "\" y=\"" + f(y) + "\" text-anchor=\"" + anchor + "\"" + extra + ">" +
           kfEscapeXml(content) + "</text>\n";
}

std::string line(double x1, double y1, double x2, double y2, const std::string& style) {
    return "<line x1=\"" + f(x1) + "\" y1=\"" + f(y1) + "\" x2=\"" + f(x2) + "\" y2=\"" + f(y2) + "\" " + style +
           "/>\n";
}

// Up to about kMaxTicks round values covering lo..hi.
std::vector<double> niceTicks(double lo, double hi, bool integers) {
    const double span = hi - lo;
    if (!(span > 0.0)) return {lo};
    const double rough = span / kMaxTicks;
    const double magnitude = std::pow(10.0, std::floor(std::log10(rough)));
    double step = magnitude;
    for (double m : {1.0, 2.0, 2.5, 5.0, 10.0}) {
        step = m * magnitude;
        if (span / step <= kMaxTicks) break;
    }
    if (integers) step = std::max(1.0, std::round(step));
    std::vector<double> ticks;
    for (double t = std::ceil(lo / step - 1e-9) * step; t <= hi + step * 1e-9; t += step) ticks.push_back(t);
    return ticks;
}

std::string tickText(double v) {
    std::array<char, 32> b{};
    std::snprintf(b.data(), b.size(), "%g", std::abs(v) < 1e-12 ? 0.0 : v);
    return b.data();
}

std::string percentText(double fraction) {
    std::array<char, 32> b{};
    // Adding 0.0 turns a rounded -0 into 0.
    std::snprintf(b.data(), b.size(), "%g %%", std::round(fraction * 1000.0) / 10.0 + 0.0);
    return b.data();
}

// "1 µs", "10 ms", "1 s" for a power of ten of seconds.
std::string exposureTickText(int decade) {
    static const std::array<const char*, 4> units{"ns", "µs", "ms", "s"};
    if (decade < -9 || decade > 2) return "1e" + std::to_string(decade) + " s";
    const int shifted = decade + 9;
    const int unit = std::min(shifted / 3, 3);
    const int zeros = shifted - unit * 3;
    return std::string(zeros == 0 ? "1" : zeros == 1 ? "10" : "100") + " " + units[static_cast<std::size_t>(unit)];
}

// A linear or logarithmic value axis of one panel.
struct Axis {
    double lo = 0.0, hi = 1.0;
    bool log = false;
    double top = 0.0, bottom = 0.0;  // plot units; bottom is lo
    double map(double v) const {
        const double t = log ? (std::log10(v) - lo) / (hi - lo) : (v - lo) / (hi - lo);
        return bottom - t * (bottom - top);
    }
    bool shows(double v) const { return std::isfinite(v) && (!log || v > 0.0); }
};

// The range of the finite (and, for a log axis, positive) values, widened
// to at least `lo`..`hi` for a linear axis and to whole decades for a log one.
Axis axisFor(const std::vector<double>& values, bool log, double lo, double hi) {
    Axis a;
    a.log = log;
    double mn = kInfinity, mx = -kInfinity;
    for (double v : values)
        if (std::isfinite(v) && (!log || v > 0.0)) {
            mn = std::min(mn, log ? std::log10(v) : v);
            mx = std::max(mx, log ? std::log10(v) : v);
        }
    if (log) {
        a.lo = std::isfinite(mn) ? std::floor(mn) : lo;
        a.hi = std::isfinite(mx) ? std::ceil(mx) : hi;
        if (a.hi <= a.lo) a.hi = a.lo + 1.0;
    } else {
        a.lo = std::isfinite(mn) ? std::min(lo, mn) : lo;
        a.hi = std::isfinite(mx) ? std::max(hi, mx) : hi;
        if (a.hi <= a.lo) a.hi = a.lo + 1.0;
    }
    return a;
}

// The frame, grid and tick labels of a value axis, with its title turned
// along the left edge.
std::string axisFrame(const Axis& a, double left, double right, const std::string& title,
                      const std::function<std::string(double)>& label) {
    std::string s = "<g class=\"axis\">\n";
    std::vector<double> ticks;
    if (a.log) {
        const int decades = static_cast<int>(a.hi - a.lo);
        const int every = std::max(1, (decades + kMaxTicks - 1) / kMaxTicks);
        for (int d = static_cast<int>(a.lo); d <= static_cast<int>(a.hi); d += every) ticks.push_back(d);
    } else {
        ticks = niceTicks(a.lo, a.hi, false);
    }
    for (double t : ticks) {
        const double y = a.log ? a.bottom - (t - a.lo) / (a.hi - a.lo) * (a.bottom - a.top) : a.map(t);
        s += line(left, y, right, y, "stroke=\"#dddddd\"");
        s += text(left - 6.0, y + kFontSize * 0.35, a.log ? exposureTickText(static_cast<int>(t)) : label(t), "end");
    }
    s += "<rect x=\"" + f(left) + "\" y=\"" + f(a.top) + "\" width=\"" + f(right - left) + "\" height=\"" +
         f(a.bottom - a.top) + "\" fill=\"none\" stroke=\"#888888\"/>\n";
    const double mid = (a.top + a.bottom) / 2.0;
    s += text(18.0, mid, title, "middle", " transform=\"rotate(-90 18 " + f(mid) + ")\" font-weight=\"bold\"");
    return s + "</g>\n";
}

// One series: a line through its points (when there are few enough) and a
// dot at each. Points without a value break the line.
std::string series(const std::vector<double>& xs, const std::vector<double>& values, const Axis& a, const char* colour,
                   const std::string& name) {
    std::string lines, dots;
    bool open = false;
    std::size_t shown = 0;
    for (std::size_t i = 0; i < xs.size(); ++i) {
        if (!a.shows(values[i])) {
            open = false;
            continue;
        }
        const std::string point = f(xs[i]) + " " + f(a.map(values[i]));
        lines += (open ? "L" : "M") + point;
        dots += "M" + point + "h0";
        open = true;
        ++shown;
    }
    std::string s =
        "<g class=\"series\" data-name=\"" + kfEscapeXml(name) + "\" data-points=\"" + std::to_string(shown) + "\">\n";
    if (shown > 1 && xs.size() <= kMaxPointsForLines)
        s += "<path d=\"" + lines + "\" fill=\"none\" stroke=\"" + colour +
             "\" stroke-width=\"1.2\" opacity=\"0.6\"/>\n";
    if (shown > 0)
        s += "<path d=\"" + dots + "\" stroke=\"" + colour + "\" stroke-width=\"" + f(kDotSize) +
             "\" stroke-linecap=\"round\"/>\n";
    return s + "</g>\n";
}

// Legend entries in one row: a swatch and a name each.
std::string legend(double x, double y, const std::vector<std::pair<std::string, std::string>>& entries) {
    std::string s = "<g class=\"legend\">\n";
    for (const auto& [colour, name] : entries) {
        s +=
            "<rect x=\"" + f(x) + "\" y=\"" + f(y - 10.0) + "\" width=\"12\" height=\"12\" fill=\"" + colour + "\"/>\n";
        s += text(x + 17.0, y, name);
        x += 30.0 + static_cast<double>(name.size()) * kFontSize * 0.55;
    }
    return s + "</g>\n";
}

std::string colourOnScale(double t) {
    t = std::clamp(std::isfinite(t) ? t : 0.0, 0.0, 1.0) * static_cast<double>(kColourScale.size() - 1);
    const std::size_t i = std::min(static_cast<std::size_t>(t), kColourScale.size() - 2);
    const double u = t - static_cast<double>(i);
    std::array<char, 16> b{};
    int c[3];
    for (int k = 0; k < 3; ++k)
        c[k] = static_cast<int>(std::lround(kColourScale[i][static_cast<std::size_t>(k)] * (1.0 - u) +
                                            kColourScale[i + 1][static_cast<std::size_t>(k)] * u));
    std::snprintf(b.data(), b.size(), "#%02x%02x%02x", c[0], c[1], c[2]);
    return b.data();
}

double exposureOf(const kcAcqRecord& r) { return r.settings ? r.settings->exposure() : kNaN; }
double contrastOf(const kcAcqRecord& r) { return r.settings ? r.settings->contrast() : kNaN; }
double brightnessOf(const kcAcqRecord& r) { return r.settings ? r.settings->brightness() : kNaN; }

std::vector<double> column(const std::vector<kcAcqRecord>& records, double (*get)(const kcAcqRecord&)) {
    std::vector<double> values;
    values.reserve(records.size());
    for (const kcAcqRecord& r : records) values.push_back(get(r));
    return values;
}

}  // namespace

std::string kfTimelineSvg(const std::vector<kcAcqRecord>& records, unsigned long resultIndex) {
    constexpr double kTop = 58.0, kGap = 26.0, kBottom = 52.0;
    constexpr std::array<double, 3> kPanelHeights{170.0, 130.0, 110.0};
    const double height = kTop + kPanelHeights[0] + kPanelHeights[1] + kPanelHeights[2] + 2.0 * kGap + kBottom;
    const double left = kLeft, right = kWidth - kRight;
    const std::size_t n = records.size();
    const double lastIndex = n == 0 ? 1.0 : static_cast<double>(records.back().index);
    const double firstIndex = n == 0 ? 1.0 : static_cast<double>(records.front().index);
    const auto xOf = [&](double index) {
        return lastIndex > firstIndex ? left + (index - firstIndex) / (lastIndex - firstIndex) * (right - left)
                                      : (left + right) / 2.0;
    };
    std::vector<double> xs;
    for (const kcAcqRecord& r : records) xs.push_back(xOf(static_cast<double>(r.index)));

    std::string s = openSvg("timeline", kWidth, height, "The search over time: settings and good pels per image");
    s += legend(left, 20.0,
                {{kExposureColour, "exposure"},
                 {kContrastColour, "contrast"},
                 {kBrightnessColour, "brightness"},
                 {kGoodColour, "good pels"},
                 {kFailedColour, "failed (×)"},
                 {kResultColour, "result"}});

    const std::vector<double> exposures = column(records, exposureOf);
    const std::vector<double> contrasts = column(records, contrastOf);
    const std::vector<double> brightnesses = column(records, brightnessOf);
    std::vector<double> good;
    for (const kcAcqRecord& r : records) good.push_back(r.goodFraction);

    Axis exposure = axisFor(exposures, true, -6.0, 0.0);
    std::vector<double> both = contrasts;
    both.insert(both.end(), brightnesses.begin(), brightnesses.end());
    Axis settings = axisFor(both, false, 0.0, 1.0);
    Axis goodAxis = axisFor({}, false, 0.0, 1.0);
    double y = kTop;
    // The panels one under the other, in this order.
    const std::array<Axis*, 3> panels{&exposure, &settings, &goodAxis};
    for (std::size_t k = 0; k < panels.size(); ++k) {
        panels[k]->top = y;
        panels[k]->bottom = y + kPanelHeights[k];
        y = panels[k]->bottom + kGap;
    }
    s += axisFrame(exposure, left, right, "exposure", tickText);
    s += axisFrame(settings, left, right, "contrast, brightness", tickText);
    s += axisFrame(goodAxis, left, right, "good pels", percentText);

    // Acquisition numbers along the bottom.
    const double xAxisY = goodAxis.bottom;
    s += "<g class=\"axis\">\n";
    for (double t : niceTicks(firstIndex, lastIndex, true)) {
        s += line(xOf(t), xAxisY, xOf(t), xAxisY + 5.0, "stroke=\"#888888\"");
        s += text(xOf(t), xAxisY + 20.0, tickText(t), "middle");
    }
    s += text((left + right) / 2.0, height - 8.0, "image (acquisition number)", "middle", " font-weight=\"bold\"");
    s += "</g>\n";

    if (std::none_of(exposures.begin(), exposures.end(), [&](double e) { return exposure.shows(e); }))
        s += text((left + right) / 2.0, (exposure.top + exposure.bottom) / 2.0, kNoExposure, "middle",
                  " fill=\"#555555\"");
    s += series(xs, exposures, exposure, kExposureColour, "exposure");
    s += series(xs, contrasts, settings, kContrastColour, "contrast");
    s += series(xs, brightnesses, settings, kBrightnessColour, "brightness");
    s += series(xs, good, goodAxis, kGoodColour, "good pels");

    // Failed acquisitions: a cross at the foot of each panel.
    std::string crosses;
    for (std::size_t i = 0; i < n; ++i) {
        if (!records[i].failed) continue;
        for (const Axis* a : panels)
            crosses += "M" + f(xs[i] - 5.0) + " " + f(a->bottom - 13.0) + "l10 10m0 -10l-10 10";
    }
    if (!crosses.empty())
        s += "<path class=\"failed\" d=\"" + crosses + "\" stroke=\"" + kFailedColour + "\" stroke-width=\"2.5\"/>\n";

    if (resultIndex >= firstIndex && resultIndex <= lastIndex && n > 0) {
        const double x = xOf(static_cast<double>(resultIndex));
        s += "<g class=\"result\">\n" +
             line(x, exposure.top, x, goodAxis.bottom,
                  std::string("stroke=\"") + kResultColour + "\" stroke-width=\"1.5\" stroke-dasharray=\"6 4\"") +
             text(x + (x > (left + right) / 2.0 ? -6.0 : 6.0), exposure.top - 7.0,
                  "result (image " + std::to_string(resultIndex) + ")", x > (left + right) / 2.0 ? "end" : "start",
                  std::string(" fill=\"") + kResultColour + "\" font-weight=\"bold\"") +
             "</g>\n";
    }
    return s + "</svg>\n";
}

std::string kfScatterSvg(const std::vector<kcAcqRecord>& records, const std::optional<kcColorCameraSettings>& result) {
    constexpr double kW = 540.0, kH = 420.0, kTop = 16.0, kBottom = 52.0, kScaleWidth = 70.0;
    const double left = kLeft, right = kW - kScaleWidth - 16.0;
    std::string s = openSvg("scatter", kW, kH, "Settings tried: exposure against contrast, brightness as colour");

    std::vector<double> exposures = column(records, exposureOf);
    std::vector<double> contrasts = column(records, contrastOf);
    const std::vector<double> brightnesses = column(records, brightnessOf);
    if (result) {
        exposures.push_back(result->exposure());
        contrasts.push_back(result->contrast());
    }
    // The exposure axis runs left to right, drawn as a value axis turned.
    Axis x = axisFor(exposures, true, -6.0, 0.0);
    x.top = left;
    x.bottom = right;
    Axis y = axisFor(contrasts, false, 0.0, 1.0);
    y.top = kTop;
    y.bottom = kH - kBottom;
    const Axis b = axisFor(brightnesses, false, 0.0, 1.0);
    const auto xOf = [&](double v) { return left + (std::log10(v) - x.lo) / (x.hi - x.lo) * (right - left); };

    s += axisFrame(y, left, right, "contrast", tickText);
    s += "<g class=\"axis\">\n";
    const int decades = static_cast<int>(x.hi - x.lo);
    const int every = std::max(1, (decades + kMaxTicks - 1) / kMaxTicks);
    for (int d = static_cast<int>(x.lo); d <= static_cast<int>(x.hi); d += every) {
        const double px = xOf(std::pow(10.0, d));
        s += line(px, y.top, px, y.bottom, "stroke=\"#dddddd\"");
        s += text(px, y.bottom + 20.0, exposureTickText(d), "middle");
    }
    s += text((left + right) / 2.0, kH - 8.0, "exposure (logarithmic)", "middle", " font-weight=\"bold\"");
    s += "</g>\n";

    if (std::none_of(exposures.begin(), exposures.end(), [&](double e) { return x.shows(e); }))
        s += text((left + right) / 2.0, (y.top + y.bottom) / 2.0, kNoExposure, "middle", " fill=\"#555555\"");
    std::size_t shown = 0;
    std::string dots;
    for (std::size_t i = 0; i < records.size(); ++i) {
        if (!x.shows(exposures[i]) || !y.shows(contrasts[i])) continue;
        const double t = std::isfinite(brightnesses[i]) ? (brightnesses[i] - b.lo) / (b.hi - b.lo) : 0.0;
        dots += "<circle cx=\"" + f(xOf(exposures[i])) + "\" cy=\"" + f(y.map(contrasts[i])) + "\" r=\"5\" fill=\"" +
                colourOnScale(t) + "\"/>";
        ++shown;
        if (shown % 8 == 0) dots += "\n";
    }
    s += "<g class=\"series\" data-name=\"settings\" data-points=\"" + std::to_string(shown) +
         "\" fill-opacity=\"0.75\" stroke=\"#ffffff\" stroke-width=\"0.6\">\n" + dots + "\n</g>\n";

    if (result && x.shows(result->exposure()) && y.shows(result->contrast())) {
        const double px = xOf(result->exposure()), py = y.map(result->contrast());
        s += std::string("<g class=\"result\" fill=\"none\" stroke=\"") + kResultColour + "\" stroke-width=\"2.5\">\n" +
             "<circle cx=\"" + f(px) + "\" cy=\"" + f(py) + "\" r=\"11\"/>\n" +
             text(px + (px > (left + right) / 2.0 ? -15.0 : 15.0), py + (py < kTop + 30.0 ? 24.0 : -14.0), "result",
                  px > (left + right) / 2.0 ? "end" : "start",
                  std::string(" fill=\"") + kResultColour + "\" stroke=\"none\" font-weight=\"bold\"") +
             "</g>\n";
    }

    // The brightness colour scale, top (highest) to bottom.
    const double sx = kW - kScaleWidth + 4.0, sTop = kTop + 22.0, sBottom = kH - kBottom;
    s += "<g class=\"colour-scale\">\n" + text(sx, kTop + 8.0, "brightness");
    constexpr int kSteps = 24;
    for (int i = 0; i < kSteps; ++i) {
        const double y0 = sBottom - (i + 1) * (sBottom - sTop) / kSteps;
        s += "<rect x=\"" + f(sx) + "\" y=\"" + f(y0) + "\" width=\"16\" height=\"" +
             f((sBottom - sTop) / kSteps + 0.5) + "\" fill=\"" + colourOnScale((i + 0.5) / kSteps) + "\"/>\n";
    }
    for (double t : niceTicks(b.lo, b.hi, false)) {
        const double py = sBottom - (t - b.lo) / (b.hi - b.lo) * (sBottom - sTop);
        s += text(sx + 21.0, py + kFontSize * 0.35, tickText(t));
    }
    return s + "</g>\n</svg>\n";
}

std::string kfHistogramSvg(const kc3PlanePelBuffer& image, int darkLevel, int saturationLevel) {
    if (!image.isBound()) throw kcUnboundBuffer(L"histogram of an unbound image");
    constexpr double kW = 540.0, kH = 420.0, kTop = 44.0, kBottom = 52.0;
    const double left = kLeft, right = kW - kRight;
    std::array<std::array<std::uint64_t, kBins>, 3> counts{};
    const std::array<kcPelBuffer_const<unsigned char>, 3> planes{image.plane0(), image.plane1(), image.plane2()};
    for (std::size_t p = 0; p < 3; ++p)
        for (long row = image.window().top(); row < image.window().bottom(); ++row) {
            const unsigned char* pels = planes[p].pointToRow(row);
            for (long x = 0; x < image.width(); ++x) ++counts[p][pels[x]];
        }
    const double all = std::max(1.0, static_cast<double>(image.width()) * static_cast<double>(image.height()));
    std::uint64_t highest = 1;
    for (const auto& plane : counts) highest = std::max(highest, *std::max_element(plane.begin(), plane.end()));

    Axis y = axisFor({0.0, static_cast<double>(highest) / all}, false, 0.0, 0.0);
    y.top = kTop;
    y.bottom = kH - kBottom;
    const auto xOf = [&](double level) { return left + level / (kBins - 1) * (right - left); };
    std::string s = openSvg("histogram", kW, kH, "Histogram of the result image, one line per plane");
    s += legend(left, 20.0, {{kPlaneColours[0], "R"}, {kPlaneColours[1], "G"}, {kPlaneColours[2], "B"}});
    s += axisFrame(y, left, right, "share of pels", percentText);
    s += "<g class=\"axis\">\n";
    for (double t : {0.0, 32.0, 64.0, 96.0, 128.0, 160.0, 192.0, 224.0, 255.0}) {
        s += line(xOf(t), y.bottom, xOf(t), y.bottom + 5.0, "stroke=\"#888888\"");
        s += text(xOf(t), y.bottom + 20.0, tickText(t), "middle");
    }
    s += text((left + right) / 2.0, kH - 8.0, "grey level", "middle", " font-weight=\"bold\"");
    s += "</g>\n";
    for (const auto& [level, name] : {std::pair(darkLevel, "dark"), std::pair(saturationLevel, "saturated")}) {
        const double x = xOf(level);
        s += "<g class=\"bound\">\n" + line(x, y.top, x, y.bottom, "stroke=\"#555555\" stroke-dasharray=\"4 3\"") +
             text(x + (level < kBins / 2 ? 4.0 : -4.0), y.top + 14.0, name, level < kBins / 2 ? "start" : "end",
                  " fill=\"#555555\"") +
             "</g>\n";
    }
    for (std::size_t p = 0; p < 3; ++p) {
        std::string d;
        for (int level = 0; level < kBins; ++level)
            d += (level == 0 ? "M" : "L") + f(xOf(level)) + " " +
                 f(y.map(static_cast<double>(counts[p][static_cast<std::size_t>(level)]) / all));
        s += std::string("<g class=\"series\" data-name=\"") + kPlaneNames[p] + "\" data-points=\"256\">\n<path d=\"" +
             d + "\" fill=\"none\" stroke=\"" + kPlaneColours[p] + "\" stroke-width=\"1.6\" opacity=\"0.85\"/>\n</g>\n";
    }
    return s + "</svg>\n";
}
