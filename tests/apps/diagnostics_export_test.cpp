// tests/apps/diagnostics_export_test.cpp
// The diagnostics export of `colorbal balance --diagnostics`.
#include "apps/colorbal/diagnostics_export.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "apps/colorbal/app_errors.h"
#include "apps/colorbal/png_io.h"
#include "colorbal_test_support.h"

using colorbal_test::readFile;
using colorbal_test::runInProcess;
using colorbal_test::TempDir;

TEST(DiagnosticsExport, WritesPngsOfTheImageSizeSvgsWithTheResultLinesAndAnIndex) {
    TempDir dir;
    const std::string out = dir.file("diag/nested");
    const colorbal_test::Run run = runInProcess({"balance", "--size", "64x48", "--diagnostics", out});
    ASSERT_EQ(run.status, kExitSuccess) << run.err;
    EXPECT_NE(run.out.find("diagnostics:       2 records"), std::string::npos) << run.out;

    for (const char* stem : {"record-001", "record-002"}) {
        const kcRgb8Image png = kfReadPngRgb8(out + "/" + stem + ".png");
        EXPECT_EQ(png.width, 64);
        EXPECT_EQ(png.height, 48);
        const std::string svg = readFile(out + "/" + stem + ".svg");
        EXPECT_NE(svg.find("data:image/png;base64,iVBORw0KGgo"), std::string::npos) << stem;
        for (const char* line : {">exposure: ", ">contrast: ", ">brightness: ", ">positive8BitLut: true </text>"})
            EXPECT_NE(svg.find(line), std::string::npos) << stem << " lacks " << line;
    }
    // The colour record is RGB: its planes differ somewhere; the grey one
    // has three equal planes.
    const kcRgb8Image color = kfReadPngRgb8(out + "/record-001.png");
    const kcRgb8Image grey = kfReadPngRgb8(out + "/record-002.png");
    bool colorDiffers = false, greyEqual = true;
    for (std::size_t i = 0; i + 2 < color.rgb.size(); i += 3) {
        colorDiffers |= color.rgb[i] != color.rgb[i + 1] || color.rgb[i + 1] != color.rgb[i + 2];
        greyEqual &= grey.rgb[i] == grey.rgb[i + 1] && grey.rgb[i + 1] == grey.rgb[i + 2];
    }
    EXPECT_TRUE(colorDiffers);
    EXPECT_TRUE(greyEqual);

    const std::string index = readFile(out + "/index.html");
    EXPECT_NE(index.find("Color image"), std::string::npos);
    EXPECT_NE(index.find("Monochrome image"), std::string::npos);
    EXPECT_NE(index.find("href=\"record-002.png\""), std::string::npos);
}

TEST(DiagnosticsExport, EscapesTextAndEncodesImagesExactly) {
    EXPECT_EQ(kfBase64({}), "");
    EXPECT_EQ(kfBase64({'f'}), "Zg==");
    EXPECT_EQ(kfBase64({'f', 'o'}), "Zm8=");
    EXPECT_EQ(kfBase64({'f', 'o', 'o'}), "Zm9v");
    EXPECT_EQ(kfBase64({'f', 'o', 'o', 'b', 0xFF}), "Zm9vYv8=");

    kcDiagObject diag;
    kcDiagRecord& record = diag.newDiagRecord();
    kc3PlanePelBuffer image(70, 50);
    image.plane0().pointToRow(3)[5] = 200;  // one red pel at (5, 3)
    record.image(image, true);
    record.recordAnnotation(L"<a & \"b\">");
    kcUISketch sketch;
    sketch.addText({L"x < y \u00e9", kcPoint(1.0, 2.5), kcColor::red, kcColor::pass, kcUIFormat(), 0});
    record.sketch(sketch, kcDisplay::eImageCoordinates, L"s");
    diag.newDiagRecord();  // a record without anything

    TempDir dir;
    const kcDiagExport exported = kfExportDiagnostics(diag, dir.path().string());
    EXPECT_EQ(exported.records, 2);
    EXPECT_EQ(exported.files,
              (std::vector<std::string>{"record-001.png", "record-001.svg", "record-002.svg", "index.html"}));
    const kcRgb8Image png = kfReadPngRgb8(dir.file("record-001.png"));
    ASSERT_EQ(png.width, 70);
    ASSERT_EQ(png.height, 50);
    const std::size_t at = (3 * 70 + 5) * 3;
    EXPECT_EQ(png.rgb[at], 200);
    EXPECT_EQ(png.rgb[at + 1], 0);
    EXPECT_EQ(png.rgb[at + 3], 0);

    const std::string svg = readFile(dir.file("record-001.svg"));
    EXPECT_NE(svg.find("x=\"1\" y=\"2.5\""), std::string::npos) << svg;
    EXPECT_NE(svg.find(">x &lt; y \xc3\xa9</text>"), std::string::npos) << svg;
    EXPECT_NE(readFile(dir.file("index.html")).find("&lt;a &amp; &quot;b&quot;&gt;"), std::string::npos);
}
