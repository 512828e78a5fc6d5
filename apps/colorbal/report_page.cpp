// apps/colorbal/report_page.cpp
#include "apps/colorbal/report_page.h"

#include <algorithm>
#include <array>
#include <chrono>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <future>
#include <map>
#include <optional>

#include "apps/colorbal/app_errors.h"
#include "apps/colorbal/balance_command.h"
#include "apps/colorbal/png_io.h"
#include "apps/colorbal/report_output.h"
#include "apps/colorbal/svg_plots.h"
#include "apps/colorbal/text_utf8.h"

namespace {

// Level at or above which a plane counts as saturated when there is no
// saturation reference (the search's default).
constexpr int kDefaultSaturationLevel = 239;
// Two settings count as the same acquisition setting within this relative
// difference: a camera may read back a written value slightly rounded.
constexpr double kSameSettingTolerance = 1e-9;

constexpr const char* kStyle = R"(
:root { color-scheme: light; }
img, svg { box-sizing: border-box; }
body { font: 16px/1.45 system-ui, -apple-system, "Segoe UI", Roboto, "Helvetica Neue", Arial, sans-serif;
       color: #1a1a1a; background: #fff; max-width: 1100px; margin: 0 auto; padding: 16px 28px 48px; }
h1 { font-size: 1.6em; margin: 0.3em 0 0.5em; }
h2 { font-size: 1.25em; margin: 1.8em 0 0.6em; padding-bottom: 0.2em; border-bottom: 1px solid #ccc; }
h3 { font-size: 1.05em; margin: 0 0 0.4em; }
p.note { color: #444; margin: 0.3em 0 0.8em; max-width: 60em; }
table { border-collapse: collapse; }
th, td { text-align: left; padding: 3px 14px 3px 0; vertical-align: top; }
td.n { font-variant-numeric: tabular-nums; }
table.summary th { font-weight: 600; color: #333; white-space: nowrap; }
table.lines td, table.lines th { border-bottom: 1px solid #e3e3e3; padding: 4px 14px 4px 0; }
table.lines td.n { font-family: ui-monospace, "DejaVu Sans Mono", monospace; }
svg.plot { display: block; width: 100%; height: auto; }
.pair { display: grid; grid-template-columns: repeat(auto-fit, minmax(400px, 1fr)); gap: 28px; }
.thumbs { display: grid; grid-template-columns: repeat(auto-fit, minmax(240px, 1fr)); gap: 24px; }
figure { margin: 0; min-width: 0; }
figure img { display: block; max-width: 100%; height: auto; border: 1px solid #bbb; }
figcaption { margin-top: 6px; font-size: 0.95em; }
figcaption table td, figcaption table th { padding: 1px 10px 1px 0; }
.record { display: flex; flex-wrap: wrap; gap: 28px; align-items: flex-start; margin: 0 0 32px; }
.record figure { flex: 0 1 auto; max-width: 100%; }
.record svg.record-drawing { display: block; max-width: 100%; height: auto; border: 1px solid #bbb; }
.warning { color: #8a3c00; }
a { color: #0b5cad; }
@media print {
  body { max-width: none; padding: 0; font-size: 10.5pt; }
  h2 { break-after: avoid; }
  figure, .record, table, svg { break-inside: avoid; }
  a { color: inherit; text-decoration: none; }
}
)";

std::string format(const char* fmt, double value) {
    std::array<char, 64> b{};
    std::snprintf(b.data(), b.size(), fmt, value);
    return b.data();
}

std::string escaped(const std::string& text) { return kfEscapeXml(text); }

std::string exposureText(double seconds) {
    if (!std::isfinite(seconds)) return "not a number";
    if (seconds != 0.0 && std::abs(seconds) < 1e-3) return format("%.4g µs", seconds * 1e6);
    if (std::abs(seconds) < 1.0) return format("%.4g ms", seconds * 1e3);
    return format("%.4g s", seconds);
}

std::string levelText(double value) { return std::isfinite(value) ? format("%.4f", value) : "not a number"; }

std::string percentText(double fraction) {
    return std::isfinite(fraction) ? format("%.1f %%", fraction * 100.0) : "no image";
}

std::string settingsText(const kcColorCameraSettings& s) {
    return "exposure " + exposureText(s.exposure()) + ", contrast " + levelText(s.contrast()) + ", brightness " +
           levelText(s.brightness());
}

bool same(double a, double b) { return std::abs(a - b) <= kSameSettingTolerance * std::max(std::abs(a), std::abs(b)); }

bool sameSettings(const kcColorCameraSettings& a, const kcColorCameraSettings& b) {
    return same(a.exposure(), b.exposure()) && same(a.contrast(), b.contrast()) && same(a.brightness(), b.brightness());
}

const kcAcqRecord* recordOf(const std::vector<kcAcqRecord>& records, unsigned long index) {
    for (const kcAcqRecord& r : records)
        if (r.index == index) return &r;
    return nullptr;
}

// One thumbnail on the page: its file and the acquisition it shows.
struct Thumbnail {
    std::string title;
    std::string file;  // empty: there is no such image
    const kcAcqRecord* record = nullptr;
    long width = 0, height = 0;
};

std::string thumbnailFigure(const Thumbnail& t, const std::string& missing) {
    std::string s = "<figure class=\"thumb\">\n<h3>" + escaped(t.title) + "</h3>\n";
    if (t.file.empty() || t.record == nullptr) return s + "<p class=\"note\">" + escaped(missing) + "</p>\n</figure>\n";
    s += "<a href=\"" + escaped(t.file) + "\"><img src=\"" + escaped(t.file) + "\" width=\"" + std::to_string(t.width) +
         "\" height=\"" + std::to_string(t.height) + "\" alt=\"" + escaped(t.title) + ", image " +
         std::to_string(t.record->index) + "\"></a>\n<figcaption><table>\n";
    const kcAcqRecord& r = *t.record;
    s += "<tr><th>image</th><td class=\"n\">" + std::to_string(r.index) + "</td></tr>\n";
    if (r.settings)
        s += "<tr><th>exposure</th><td class=\"n\">" + exposureText(r.settings->exposure()) +
             "</td></tr>\n<tr><th>contrast</th><td class=\"n\">" + levelText(r.settings->contrast()) +
             "</td></tr>\n<tr><th>brightness</th><td class=\"n\">" + levelText(r.settings->brightness()) +
             "</td></tr>\n";
    s += "<tr><th>good pels</th><td class=\"n\">" + percentText(r.goodFraction) + "</td></tr>\n";
    s += "<tr><th>mean R, G, B</th><td class=\"n\">" + format("%.1f", r.planeMeans[0]) + ", " +
         format("%.1f", r.planeMeans[1]) + ", " + format("%.1f", r.planeMeans[2]) + "</td></tr>\n";
    return s + "</table></figcaption>\n</figure>\n";
}

// The sketch text of a record as name and value pairs ("exposure: 0.5 ").
std::string textTable(const kcDiagRecord& record) {
    std::string s = "<table class=\"lines\">\n<tr><th>result text</th><th>value</th></tr>\n";
    for (const kcDiagSketch& sketch : record.sketches())
        for (const kcUISketchText& item : sketch.sketch.texts()) {
            const std::string line = kfToUtf8(item.text);
            const std::size_t colon = line.find(": ");
            const auto trim = [](std::string t) {
                t.erase(0, t.find_first_not_of(' '));
                t.erase(t.find_last_not_of(' ') + 1);
                return t;
            };
            if (colon == std::string::npos)
                s += "<tr><td colspan=\"2\">" + escaped(trim(line)) + "</td></tr>\n";
            else
                s += "<tr><td>" + escaped(trim(line.substr(0, colon))) + "</td><td class=\"n\">" +
                     escaped(trim(line.substr(colon + 2))) + "</td></tr>\n";
        }
    return s + "</table>\n";
}

std::string summaryRow(const std::string& name, const std::string& valueHtml) {
    return "<tr><th>" + escaped(name) + "</th><td>" + valueHtml + "</td></tr>\n";
}

// What the page shows, gathered before it is written.
struct PageData {
    const kcReportPage& page;
    const std::vector<kcAcqRecord>& all;
    // The acquisitions of the search proper.
    std::vector<kcAcqRecord> search{};
    kcColorCameraSettings resultSettings{};
    // The last image of the search at the result settings (may be null).
    const kcAcqRecord* atResult = nullptr;
    std::array<Thumbnail, 3> thumbs{};
    std::string histogram{};  // empty: no image shown for the result
    // The image shown for the result is the one taken at the result
    // settings (else the result records' image).
    bool atResultSettings = false;
    double exportSeconds = 0.0;
};

// Writes the thumbnails of the first, the best and the result records'
// image; an acquisition shown twice is encoded once, and a result image
// small enough is shown from its record's own PNG. Appends what it writes.
std::array<Thumbnail, 3> writeThumbnails(const kcSearchRecorder& recorder, const kcRecordedImage& resultImage,
                                         bool atResultSettings, const kcDiagObject& diag, kcWholeDirectory& dir,
                                         std::vector<std::string>& files) {
    std::array<Thumbnail, 3> thumbs{
        Thumbnail{"First image", "", nullptr, 0, 0}, Thumbnail{"Most good pels", "", nullptr, 0, 0},
        Thumbnail{atResultSettings ? "Result image" : "Result records' image", "", nullptr, 0, 0}};
    const std::array<const kcRecordedImage*, 3> sources{&recorder.firstImage(), &recorder.bestImage(), &resultImage};
    const std::array<const char*, 3> names{"first.png", "best.png", "result.png"};
    std::map<unsigned long, Thumbnail> written;
    for (std::size_t i = 0; i < 3; ++i) {
        const kcRecordedImage& source = *sources[i];
        if (!source.image.isBound()) continue;
        auto it = written.find(source.index);
        if (it == written.end()) {
            const kc3PlanePelBuffer small = kfThumbnail(source.image);
            Thumbnail shown{"", names[i], recordOf(recorder.records(), source.index), small.width(), small.height()};
            const bool isRecordImage = i == 2 && !atResultSettings && small.width() == source.image.width() &&
                                       diag.numRecords() > 0 && !diag.diagRecord(0).images().empty();
            if (isRecordImage) {
                shown.file = "record-001.png";
            } else {
                const std::vector<unsigned char> png = kfEncodePng(small);
                dir.write(names[i], png);
                files.push_back(names[i]);
            }
            it = written.emplace(source.index, shown).first;
        }
        thumbs[i].file = it->second.file;
        thumbs[i].record = it->second.record;
        thumbs[i].width = it->second.width;
        thumbs[i].height = it->second.height;
    }
    return thumbs;
}

std::string summarySection(const PageData& d) {
    const kcReportPage& page = d.page;
    unsigned long failed = 0;
    for (const kcAcqRecord& r : d.all) failed += r.failed ? 1 : 0;
    std::string h = "<section id=\"summary\">\n<table class=\"summary\">\n";
    h += summaryRow("source", escaped(page.source));
    h += summaryRow("image size", std::to_string(page.width) + " × " + std::to_string(page.height) + " pels");
    std::string taken = std::to_string(page.searchImages) + " in the search";
    const std::size_t atResult = page.resultImage != 0 ? 1 : 0;
    if (d.all.size() > d.search.size() + atResult)
        taken += ", " + std::to_string(d.all.size() - d.search.size() - atResult) + " for the result records";
    if (atResult != 0) taken += ", 1 at the result settings";
    if (failed > 0) taken += "; <span class=\"warning\">" + std::to_string(failed) + " failed</span>";
    h += summaryRow("images taken", taken);
    h += summaryRow("time", format("%.2f s", page.searchSeconds) + " search, " + format("%.2f s", d.exportSeconds) +
                                " writing this report (wall clock)");
    h += summaryRow("start settings", escaped(settingsText(page.start)));
    h += summaryRow("result settings", "<b>" + escaped(settingsText(d.resultSettings)) +
                                           "</b>; LUT is identity: " + (page.result.positive8BitLut() ? "yes" : "no"));
    const kcAcqRecord* first = d.search.empty() ? nullptr : &d.search.front();
    const kcAcqRecord* best = d.thumbs[1].record;
    std::string good = "at the start " + (first ? percentText(first->goodFraction) + " (image 1)" : "no image");
    const kcAcqRecord* resultRecord = d.atResultSettings ? d.thumbs[2].record : nullptr;
    if (resultRecord)
        good += "; at the result " + percentText(resultRecord->goodFraction) + " (image " +
                std::to_string(resultRecord->index) + ", taken at the result settings after the search)";
    else
        good += "; at the result " +
                (d.atResult ? percentText(d.atResult->goodFraction) + " (image " + std::to_string(d.atResult->index) +
                                  ", the last of the search at the result settings)"
                            : std::string("not acquired at exactly these settings"));
    if (best) good += "; most " + percentText(best->goodFraction) + " (image " + std::to_string(best->index) + ")";
    h += summaryRow("good pels", good);
    const kcAcquireInfo info = page.result.acqInfo();
    if (info.failure().isFailure())
        h += summaryRow(
            "search ended",
            "<span class=\"warning\">early: acquisition " + std::to_string(info.acquisitionNumber()) + " failed (" +
                escaped(page.failureText.empty() ? kfFailureCodeText(info.failure().code()) : page.failureText) +
                ")</span>");
    std::string warnings;
    for (const std::string& w : page.warnings) warnings += "<div class=\"warning\">" + escaped(w) + "</div>";
    h += summaryRow("warnings", warnings.empty() ? std::string("none") : warnings);
    h += summaryRow("data", "<a href=\"search.csv\">search.csv</a> (one row per image)");
    return h + "</table>\n</section>\n";
}

std::string searchSection(const PageData& d) {
    std::string h =
        "<section id=\"search\">\n<h2>The search</h2>\n<p class=\"note\">Each dot is one image, in "
        "the order taken. Good pels are pels with every plane above grey level " +
        std::to_string(kReportDarkLevel) + " and below " + std::to_string(kDefaultSaturationLevel) +
        ". The dashed line marks the last image taken at the result settings.</p>\n";
    h += kfTimelineSvg(d.search, d.atResult ? d.atResult->index : 0);
    h += "<div class=\"pair\">\n<figure>\n<h3>Settings tried</h3>\n" + kfScatterSvg(d.search, d.resultSettings) +
         "</figure>\n<figure>\n<h3>Histogram of the " +
         (d.atResultSettings ? std::string("result image") : std::string("result records' image")) + "</h3>\n";
    h += d.histogram.empty() ? "<p class=\"note\">No image: the acquisition for the result records failed.</p>\n"
                             : d.histogram;
    return h + "</figure>\n</div>\n</section>\n";
}

std::string imagesSection(const PageData& d) {
    return "<section id=\"images\">\n<h2>Images</h2>\n<p class=\"note\">" +
           std::string(d.atResultSettings ? "The result image is taken after the search, at the result settings."
                                          : "The result records' image is taken after the search, at the settings "
                                            "of its last image.") +
           "</p>\n<div class=\"thumbs\">\n" + thumbnailFigure(d.thumbs[0], "No image was delivered.") +
           thumbnailFigure(d.thumbs[1], "No image was delivered.") +
           thumbnailFigure(d.thumbs[2], "No image: the acquisition for the result records failed.") +
           "</div>\n</section>\n";
}

// Each record as a drawing at its image's own size, its text as a table
// beside it, and links to its files.
std::string recordsSection(const kcDiagObject& diag, const kcDiagExport& exported) {
    std::string h = "<section id=\"records\">\n<h2>Result records</h2>\n";
    if (diag.numRecords() == 0) h += "<p class=\"note\">None: the acquisition for the result records failed.</p>\n";
    for (long i = 0; i < diag.numRecords(); ++i) {
        const kcDiagRecord& record = diag.diagRecord(i);
        const kcExportedRecord& files = exported.recordFiles[static_cast<std::size_t>(i)];
        std::string title;
        for (const std::wstring& a : record.annotations()) title += (title.empty() ? "" : ", ") + kfToUtf8(a);
        if (title.empty()) title = "Record " + std::to_string(i + 1);
        const std::string png = record.images().empty() ? std::string() : files.files.front();
        h += "<h3>" + escaped(title) + "</h3>\n<div class=\"record\">\n<figure>\n" + kfRecordSvg(record, png, false) +
             "</figure>\n<div>\n" + textTable(record) + "<p>";
        for (const std::string& f : files.files) h += "<a href=\"" + escaped(f) + "\">" + escaped(f) + "</a> ";
        h += "</p>\n</div>\n</div>\n";
    }
    return h + "</section>\n";
}

}  // namespace

kc3PlanePelBuffer kfThumbnail(const kc3PlanePelBuffer& image) {
    const long width = image.width(), height = image.height();
    const long factor = std::max(
        {1L, (width + kThumbnailWidth - 1) / kThumbnailWidth, (height + kThumbnailHeight - 1) / kThumbnailHeight});
    if (factor == 1) return image;
    // At least one pel: a factor fits the longer side, not the shorter one.
    const long outW = std::max(width / factor, 1L), outH = std::max(height / factor, 1L);
    const long usedW = std::min(outW * factor, width);
    kc3PlanePelBuffer out(outW, outH);
    std::vector<std::uint32_t> columns(static_cast<std::size_t>(usedW));
    for (int p = 0; p < 3; ++p) {
        const kcPelBuffer_const<unsigned char> in = image.plane(p);
        kcPelBuffer<unsigned char> o = p == 0 ? out.plane0() : p == 1 ? out.plane1() : out.plane2();
        for (long oy = 0; oy < outH; ++oy) {
            // Column sums over the block's rows, then sums of whole blocks.
            std::fill(columns.begin(), columns.end(), 0U);
            const long rows = std::min(factor, height - oy * factor);
            for (long dy = 0; dy < rows; ++dy) {
                const unsigned char* row = in.pointToRow(image.window().top() + oy * factor + dy);
                for (long x = 0; x < usedW; ++x) columns[static_cast<std::size_t>(x)] += row[x];
            }
            unsigned char* dst = o.pointToRow(oy);
            for (long ox = 0; ox < outW; ++ox) {
                const long first = ox * factor, last = std::min(first + factor, usedW);
                std::uint32_t sum = 0;
                for (long x = first; x < last; ++x) sum += columns[static_cast<std::size_t>(x)];
                const std::uint32_t area = static_cast<std::uint32_t>((last - first) * rows);
                dst[ox] = static_cast<unsigned char>((sum + area / 2) / area);
            }
        }
    }
    return out;
}

kcDiagExport kfExportReport(const kcReportPage& page, const kcSearchRecorder& recorder, const kcDiagObject& diag,
                            const std::string& directory) {
    const auto began = std::chrono::steady_clock::now();
    // Readers see the whole report or nothing.
    kcWholeDirectory dir(directory);
    // The first record (the full-size colour image, the largest file) is
    // encoded on a second thread while this one does the rest. The future,
    // made after the directory, is waited for before the directory goes.
    std::future<kcExportedRecord> firstRecord;
    if (diag.numRecords() > 0)
        firstRecord = std::async(std::launch::async,
                                 [&diag, &dir] { return kfExportDiagnosticsRecord(diag.diagRecord(0), 0, dir); });
    std::vector<kcExportedRecord> laterRecords;
    for (long i = 1; i < diag.numRecords(); ++i)
        laterRecords.push_back(kfExportDiagnosticsRecord(diag.diagRecord(i), i, dir));

    PageData d{.page = page,
               .all = recorder.records(),
               .resultSettings = {page.result.exposure(), page.result.contrast(), page.result.brightness()}};
    for (const kcAcqRecord& r : d.all)
        if (r.index <= page.searchImages) d.search.push_back(r);
    for (const kcAcqRecord& r : d.search)
        if (r.settings && sameSettings(*r.settings, d.resultSettings)) d.atResult = &r;
    // The image at the result settings, taken last; else the acquisition
    // after the search is the result records' image.
    d.atResultSettings = page.resultImage != 0 && recorder.lastImage().index == page.resultImage;
    const kcRecordedImage resultImage =
        d.atResultSettings || recorder.lastImage().index > page.searchImages ? recorder.lastImage() : kcRecordedImage{};
    std::vector<std::string> pageFiles;
    d.thumbs = writeThumbnails(recorder, resultImage, d.atResultSettings, diag, dir, pageFiles);
    if (resultImage.image.isBound())
        d.histogram = kfHistogramSvg(resultImage.image, kReportDarkLevel, kDefaultSaturationLevel);
    dir.write("search.csv", kfSearchCsv(d.all, page.searchImages, page.resultImage));
    pageFiles.push_back("search.csv");

    std::vector<kcExportedRecord> records;
    if (firstRecord.valid()) records.push_back(firstRecord.get());
    records.insert(records.end(), laterRecords.begin(), laterRecords.end());
    kcDiagExport exported = kfDiagExportOf(std::move(records));
    exported.files.insert(exported.files.end(), pageFiles.begin(), pageFiles.end());
    // Everything but the page itself, which takes a few milliseconds.
    d.exportSeconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - began).count();

    const std::string html =
        "<!DOCTYPE html>\n<html lang=\"en\">\n<head>\n<meta charset=\"utf-8\">\n"
        "<meta name=\"viewport\" content=\"width=device-width, initial-scale=1\">\n"
        "<title>colorbal: balancing of " +
        escaped(page.source) + "</title>\n<style>" + kStyle + "</style>\n</head>\n<body>\n" + "<h1>Balancing of " +
        escaped(page.source) + "</h1>\n" + summarySection(d) + searchSection(d) + imagesSection(d) +
        recordsSection(diag, exported) + "</body>\n</html>\n";
    dir.write("index.html", html);
    dir.commit();
    exported.files.push_back("index.html");
    return exported;
}
