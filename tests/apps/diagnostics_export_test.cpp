// tests/apps/diagnostics_export_test.cpp
// The diagnostics export of `colorbal balance --diagnostics`.
#include "apps/colorbal/diagnostics_export.h"

#include <gtest/gtest.h>

#include "apps/colorbal/app_errors.h"
#include "apps/colorbal/png_io.h"
#include "colorbal_test_support.h"

using colorbal_test::readFile;

TEST(DiagnosticsExport, WritesPngsOfTheImageSizeSvgsWithTheResultLinesAndAnIndex) {
    const colorbal_test::TempDir dir;
    const std::string out = dir.file("diag");
    const colorbal_test::Run run = colorbal_test::runInProcess({"balance", "--size", "64x48", "--diagnostics", out});
    ASSERT_EQ(run.status, kExitSuccess) << run.err;
    EXPECT_NE(run.out.find("diagnostics:       2 records"), std::string::npos) << run.out;

    // The colour record's planes differ somewhere; the grey one's never do.
    for (const char* stem : {"record-001", "record-002"}) {
        const kcRgb8Image png = kfReadPngRgb8(out + "/" + stem + ".png");
        ASSERT_EQ(std::pair(png.width, png.height), std::pair(64L, 48L)) << stem;
        bool planesDiffer = false;
        for (std::size_t i = 0; i < png.rgb.size(); i += 3)
            planesDiffer |= png.rgb[i] != png.rgb[i + 1] || png.rgb[i + 1] != png.rgb[i + 2];
        EXPECT_EQ(planesDiffer, stem == std::string("record-001")) << stem;
        const std::string svg = readFile(out + "/" + stem + ".svg");
        EXPECT_NE(svg.find("data:image/png;base64,iVBORw0KGgo"), std::string::npos) << stem;
        for (const char* line : {">exposure: ", ">contrast: ", ">brightness: ", ">positive8BitLut: true </text>"})
            EXPECT_NE(svg.find(line), std::string::npos) << stem << " lacks " << line;
    }
    EXPECT_NE(readFile(out + "/index.html").find("href=\"record-002.png\""), std::string::npos);
}

TEST(DiagnosticsExport, EscapesTextAndEncodesImagesExactly) {
    EXPECT_EQ(kfBase64({}), "");
    EXPECT_EQ(kfBase64({'f'}), "Zg==");
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

    const colorbal_test::TempDir dir;
    const kcDiagExport exported = kfExportDiagnostics(diag, dir.path().string());
    EXPECT_EQ(exported.records, 2);
    EXPECT_EQ(exported.files,
              (std::vector<std::string>{"record-001.png", "record-001.svg", "record-002.svg", "index.html"}));
    const kcRgb8Image png = kfReadPngRgb8(dir.file("record-001.png"));
    ASSERT_EQ(std::pair(png.width, png.height), std::pair(70L, 50L));
    const std::size_t at = (3 * 70 + 5) * 3;
    EXPECT_EQ(std::vector<unsigned char>(png.rgb.begin() + at, png.rgb.begin() + at + 4),
              (std::vector<unsigned char>{200, 0, 0, 0}));

    const std::string svg = readFile(dir.file("record-001.svg"));
    EXPECT_NE(svg.find("x=\"1\" y=\"2.5\""), std::string::npos) << svg;
    EXPECT_NE(svg.find(">x &lt; y \xc3\xa9</text>"), std::string::npos) << svg;
    EXPECT_NE(readFile(dir.file("index.html")).find("&lt;a &amp; &quot;b&quot;&gt;"), std::string::npos);
}
