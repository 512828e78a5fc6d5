// apps/colorbal/diagnostics_export.cpp
#include "apps/colorbal/diagnostics_export.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdio>
#include <sstream>

#include "apps/colorbal/png_io.h"
#include "apps/colorbal/text_utf8.h"

namespace {

// Size of the SVG canvas for a record without an image.
constexpr long kBlankCanvasWidth = 640;
constexpr long kBlankCanvasHeight = 480;
// Text size in pels when a sketch asks for the display's default size.
constexpr int kDefaultFontPels = 14;
// Monospace glyph width and descent, per pel of font size, for sizing the
// canvas around text; and the largest canvas side (text far away is cut).
constexpr double kCharWidthPerPel = 0.6;
constexpr double kDescentPerPel = 0.3;
constexpr double kMaxCanvasSide = 16384.0;
// Width of the light halo behind sketch text, in pels, so that the text
// stays legible over any part of the image.
constexpr double kTextHaloPels = 3.0;

int fontPels(const kcUIFormat& format) { return format.fontSize() > 0 ? format.fontSize() : kDefaultFontPels; }

std::string recordStem(long index) {
    std::array<char, 32> buffer{};
    std::snprintf(buffer.data(), buffer.size(), "record-%03ld", index + 1);
    return buffer.data();
}

std::string rgb(const kcColor& c) {
    return "rgb(" + std::to_string(c.r()) + "," + std::to_string(c.g()) + "," + std::to_string(c.b()) + ")";
}

std::vector<unsigned char> encodeImage(const kcDiagImage& image) {
    return image.isColor ? kfEncodePng(image.color) : kfEncodePng(image.grey);
}

long imageWidth(const kcDiagImage& image) { return image.isColor ? image.color.width() : image.grey.width(); }
long imageHeight(const kcDiagImage& image) { return image.isColor ? image.color.height() : image.grey.height(); }

}  // namespace

std::string kfRecordSvg(const kcDiagRecord& record, const std::string& imageHref, bool standalone) {
    const bool hasImage = !record.images().empty();
    const long imageW = hasImage ? imageWidth(record.images().front()) : kBlankCanvasWidth;
    const long imageH = hasImage ? imageHeight(record.images().front()) : kBlankCanvasHeight;
    // The canvas grows past a small image so that text drawn beyond its
    // edges stays visible; the image keeps its own size at the origin, so
    // text sits at the image coordinates it was drawn at.
    double right = static_cast<double>(imageW);
    double bottom = static_cast<double>(imageH);
    for (const kcDiagSketch& sketch : record.sketches()) {
        for (const kcUISketchText& item : sketch.sketch.texts()) {
            const double size = fontPels(item.format);
            right = std::max(right, item.point.x() + kCharWidthPerPel * size * static_cast<double>(item.text.size()));
            bottom = std::max(bottom, item.point.y() + kDescentPerPel * size);
        }
    }
    const long width = std::lround(std::min(right, kMaxCanvasSide));
    const long height = std::lround(std::min(bottom, kMaxCanvasSide));
    std::ostringstream svg;
    if (standalone) svg << "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n";
    svg << "<svg class=\"record-drawing\" xmlns=\"http://www.w3.org/2000/svg\"";
    if (standalone) svg << " xmlns:xlink=\"http://www.w3.org/1999/xlink\"";
    svg << " width=\"" << width << "\" height=\"" << height << "\" viewBox=\"0 0 " << width << " " << height << "\">\n";
    for (const std::wstring& annotation : record.annotations())
        svg << "  <title>" << kfEscapeXml(kfToUtf8(annotation)) << "</title>\n";
    if (hasImage)
        svg << "  <image x=\"0\" y=\"0\" width=\"" << imageW << "\" height=\"" << imageH
            << "\" preserveAspectRatio=\"none\" " << (standalone ? "xlink:href" : "href") << "=\""
            << kfEscapeXml(imageHref) << "\"/>\n";
    for (const kcDiagSketch& sketch : record.sketches()) {
        svg << "  <g font-family=\"monospace\" xml:space=\"preserve\" stroke=\"#ffffff\" stroke-width=\""
            << kTextHaloPels << "\" stroke-linejoin=\"round\" paint-order=\"stroke\">\n"
            << "    <desc>" << kfEscapeXml(kfToUtf8(sketch.name)) << "</desc>\n";
        for (const kcUISketchText& item : sketch.sketch.texts()) {
            const int size = fontPels(item.format);
            svg << "    <text x=\"" << kfExactNumber(item.point.x()) << "\" y=\"" << kfExactNumber(item.point.y())
                << "\" font-size=\"" << size << "\" fill=\"" << rgb(item.primaryColor) << "\">"
                << kfEscapeXml(kfToUtf8(item.text)) << "</text>\n";
        }
        svg << "  </g>\n";
    }
    svg << "</svg>\n";
    return svg.str();
}

kcExportedRecord kfExportDiagnosticsRecord(const kcDiagRecord& record, long index, kcWholeDirectory& dir) {
    const std::string stem = recordStem(index);
    std::vector<std::string> files;
    for (std::size_t k = 0; k < record.images().size(); ++k) {
        const std::vector<unsigned char> png = encodeImage(record.images()[k]);
        const std::string name = stem + (k == 0 ? std::string() : "-" + std::to_string(k + 1)) + ".png";
        dir.write(name, png);
        files.push_back(name);
    }
    // The drawing shows the PNG beside it rather than a second copy of it.
    const std::string svg = kfRecordSvg(record, files.empty() ? std::string() : files.front(), true);
    dir.write(stem + ".svg", svg);
    files.push_back(stem + ".svg");
    return kcExportedRecord{stem, std::move(files)};
}

kcDiagExport kfExportDiagnostics(const kcDiagObject& diag, const std::string& directory) {
    // Readers see the whole export or nothing.
    kcWholeDirectory dir(directory);
    std::vector<kcExportedRecord> records;
    for (long i = 0; i < diag.numRecords(); ++i)
        records.push_back(kfExportDiagnosticsRecord(diag.diagRecord(i), i, dir));
    dir.commit();
    return kfDiagExportOf(std::move(records));
}

kcDiagExport kfDiagExportOf(std::vector<kcExportedRecord> records) {
    kcDiagExport result;
    for (const kcExportedRecord& r : records) result.files.insert(result.files.end(), r.files.begin(), r.files.end());
    result.records = static_cast<long>(records.size());
    result.recordFiles = std::move(records);
    return result;
}
