// apps/colorbal/diagnostics_export.cpp
#include "apps/colorbal/diagnostics_export.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdio>
#include <sstream>

#include "apps/colorbal/output_files.h"
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
// Width at which index.html shows each record's picture.
constexpr int kIndexPictureWidth = 320;

constexpr char kBase64Digits[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";

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

std::string recordSvg(const kcDiagRecord& record, const std::vector<unsigned char>& firstPng) {
    const bool hasImage = !record.images().empty();
    const long imageW = hasImage ? imageWidth(record.images().front()) : kBlankCanvasWidth;
    const long imageH = hasImage ? imageHeight(record.images().front()) : kBlankCanvasHeight;
    // The canvas grows past a small image so that text drawn beyond its
    // edges stays visible.
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
    svg << "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
        << "<svg xmlns=\"http://www.w3.org/2000/svg\" xmlns:xlink=\"http://www.w3.org/1999/xlink\" width=\"" << width
        << "\" height=\"" << height << "\" viewBox=\"0 0 " << width << " " << height << "\">\n";
    for (const std::wstring& annotation : record.annotations())
        svg << "  <title>" << kfEscapeXml(kfToUtf8(annotation)) << "</title>\n";
    if (hasImage)
        svg << "  <image x=\"0\" y=\"0\" width=\"" << width << "\" height=\"" << height
            << "\" xlink:href=\"data:image/png;base64," << kfBase64(firstPng) << "\"/>\n";
    for (const kcDiagSketch& sketch : record.sketches()) {
        svg << "  <g font-family=\"monospace\" xml:space=\"preserve\">\n"
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

std::string indexHtml(const kcDiagObject& diag, const std::vector<std::vector<std::string>>& recordFiles) {
    std::ostringstream html;
    html << "<!DOCTYPE html>\n<html>\n<head>\n<meta charset=\"utf-8\">\n<title>colorbal diagnostics</title>\n"
         << "<style>body{font-family:sans-serif} table{border-collapse:collapse} "
            "td,th{border:1px solid #999;padding:6px;vertical-align:top} pre{margin:0}</style>\n"
         << "</head>\n<body>\n<h1>colorbal diagnostics</h1>\n<p>" << diag.numRecords() << " records</p>\n"
         << "<table>\n<tr><th>#</th><th>annotations</th><th>picture</th><th>files</th><th>sketch text</th></tr>\n";
    for (long i = 0; i < diag.numRecords(); ++i) {
        const kcDiagRecord& record = diag.diagRecord(i);
        const std::string stem = recordStem(i);
        html << "<tr><td>" << i + 1 << "</td><td>";
        for (const std::wstring& a : record.annotations()) html << kfEscapeXml(kfToUtf8(a)) << "<br>";
        html << "</td><td><a href=\"" << stem << ".svg\"><img src=\"" << stem << ".svg\" width=\"" << kIndexPictureWidth
             << "\" alt=\"record " << i + 1 << "\"></a></td><td>";
        for (const std::string& f : recordFiles[static_cast<std::size_t>(i)])
            html << "<a href=\"" << kfEscapeXml(f) << "\">" << kfEscapeXml(f) << "</a><br>";
        html << "</td><td>";
        for (const kcDiagSketch& sketch : record.sketches()) {
            html << "<b>" << kfEscapeXml(kfToUtf8(sketch.name)) << "</b><pre>";
            for (const kcUISketchText& item : sketch.sketch.texts()) html << kfEscapeXml(kfToUtf8(item.text)) << "\n";
            html << "</pre>";
        }
        html << "</td></tr>\n";
    }
    html << "</table>\n</body>\n</html>\n";
    return html.str();
}

}  // namespace

std::string kfBase64(const std::vector<unsigned char>& bytes) {
    std::string out;
    out.reserve((bytes.size() + 2) / 3 * 4);
    std::size_t i = 0;
    for (; i + 2 < bytes.size(); i += 3) {
        const unsigned v = (unsigned(bytes[i]) << 16) | (unsigned(bytes[i + 1]) << 8) | unsigned(bytes[i + 2]);
        out += kBase64Digits[(v >> 18) & 63];
        out += kBase64Digits[(v >> 12) & 63];
        out += kBase64Digits[(v >> 6) & 63];
        out += kBase64Digits[v & 63];
    }
    const std::size_t left = bytes.size() - i;
    if (left > 0) {
        const unsigned v = (unsigned(bytes[i]) << 16) | (left == 2 ? unsigned(bytes[i + 1]) << 8 : 0U);
        out += kBase64Digits[(v >> 18) & 63];
        out += kBase64Digits[(v >> 12) & 63];
        out += left == 2 ? kBase64Digits[(v >> 6) & 63] : '=';
        out += '=';
    }
    return out;
}

kcDiagExport kfExportDiagnostics(const kcDiagObject& diag, const std::string& directory) {
    // Readers see the whole export or nothing.
    kcWholeDirectory dir(directory);
    kcDiagExport result;
    std::vector<std::vector<std::string>> recordFiles;
    for (long i = 0; i < diag.numRecords(); ++i) {
        const kcDiagRecord& record = diag.diagRecord(i);
        const std::string stem = recordStem(i);
        std::vector<std::string> files;
        std::vector<unsigned char> firstPng;
        for (std::size_t k = 0; k < record.images().size(); ++k) {
            std::vector<unsigned char> png = encodeImage(record.images()[k]);
            const std::string name = stem + (k == 0 ? std::string() : "-" + std::to_string(k + 1)) + ".png";
            dir.write(name, png);
            files.push_back(name);
            if (k == 0) firstPng = std::move(png);
        }
        const std::string svg = recordSvg(record, firstPng);
        dir.write(stem + ".svg", svg);
        files.push_back(stem + ".svg");
        result.files.insert(result.files.end(), files.begin(), files.end());
        recordFiles.push_back(std::move(files));
    }
    const std::string html = indexHtml(diag, recordFiles);
    dir.write("index.html", html);
    dir.commit();
    result.files.push_back("index.html");
    result.records = diag.numRecords();
    return result;
}
