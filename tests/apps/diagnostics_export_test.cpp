// tests/apps/diagnostics_export_test.cpp
// The diagnostics export of `colorbal balance --diagnostics`: the result
// records, the report page and the record of the search; and the page as a
// reader sees it, rendered in headless Chromium by
// tests/browser/check_report.mjs, which must pass the page as written and
// catch a page with a broken image, an empty or missing plot, or content
// wider than the screen.
#include "apps/colorbal/diagnostics_export.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <regex>
#include <sstream>
#include <tuple>

#include "apps/colorbal/app_errors.h"
#include "apps/colorbal/balance_command.h"
#include "apps/colorbal/png_io.h"
#include "apps/colorbal/report_page.h"
#include "apps/colorbal/search_record.h"
#include "colorbal_test_support.h"
#include "toolkit/sim/sim_fifo.h"

namespace fs = std::filesystem;
using namespace colorbal_test;

TEST(DiagnosticsExport, WritesPngsOfTheImageSizeSvgsWithTheResultLinesAndAnIndex) {
    const TempDir dir;
    const std::string out = dir.file("diag");
    const ProgramRun run = runInProcess({"balance", "--size", "64x48", "--diagnostics", out});
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
        // The image keeps its own size on a canvas grown for the text.
        const std::string svg = readFile(out + "/" + stem + ".svg");
        const std::string image = "<image x=\"0\" y=\"0\" width=\"64\" height=\"48\" preserveAspectRatio=\"none\" ";
        for (const std::string& line :
             {image + "xlink:href=\"" + stem + ".png\"/>", std::string(">exposure: "), std::string(">contrast: "),
              std::string(">brightness: "), std::string(">positive8BitLut: true </text>")})
            EXPECT_NE(svg.find(line), std::string::npos) << stem << " lacks " << line;
    }
    const std::string html = readFile(out + "/index.html");
    for (const char* part : {"href=\"record-002.png\"", "<svg class=\"plot\" id=\"timeline\"",
                             "<svg class=\"plot\" id=\"scatter\"", "<svg class=\"plot\" id=\"histogram\"",
                             "<img src=\"first.png\" width=\"64\" height=\"48\"", "href=\"record-001.png\"/>"})
        EXPECT_NE(html.find(part), std::string::npos) << "index.html lacks " << part;

    // One CSV row per acquisition: the search's, the result records', then
    // the one at the result settings.
    const std::string csv = readFile(out + "/search.csv");
    std::smatch taken;
    ASSERT_TRUE(std::regex_search(run.out, taken, std::regex("images taken: +([0-9]+)"))) << run.out;
    const std::regex searchRow(",0,search\n");
    EXPECT_EQ(std::distance(std::sregex_iterator(csv.begin(), csv.end(), searchRow), {}), std::stol(taken[1]));
    EXPECT_NE(csv.find(",0,result records\n"), std::string::npos) << csv;
    EXPECT_TRUE(csv.ends_with(",0,result image\n")) << csv;
    EXPECT_EQ(std::count(csv.begin(), csv.end(), '\n'), std::stol(taken[1]) + 3);
}

TEST(SearchRecorder, MeasuresDeliveredImagesAndKeepsFirstBestAndLast) {
    // Plane values chosen so that each image's good-pel share and means
    // are known; widths cross the byte-sum's word and flush boundaries.
    // Width, the value of planes 0..2 everywhere, failed, good-pel share.
    using Shot = std::tuple<long, std::array<double, 3>, bool, double>;
    const Shot shots[] = {
        {3, {0, 0, 0}, false, 0.0},                                            // dark
        {1031, {255, 254, 253}, false, 0.0},                                   // saturated
        {2100, {100, 50, 200}, true, -1.0},                                    // failed: not measured
        {2100, {100, 50, 200}, false, 1.0},  {17, {6, 238, 120}, false, 1.0},  // as good, but later
    };
    kcSearchRecorder recorder;
    for (std::size_t i = 0; i < std::size(shots); ++i) {
        const auto& [width, values, failed, good] = shots[i];
        kc3PlanePelBuffer image(width, 3);
        for (int p = 0; p < 3; ++p)
            for (long y = 0; y < 3; ++y)
                std::fill_n(kcPelBuffer<unsigned char>(image.plane(p)).pointToRow(y), width,
                            static_cast<unsigned char>(values[std::size_t(p)]));
        recorder.add(kcAcqProgress{i + 1, kcColorCameraSettings(0.001 * static_cast<double>(i + 1), 0.5, 0.25), failed,
                                   kcPtrHandle<kcAcqImage>(new kcAcqImage(image))});
    }
    recorder.add(kcAcqProgress{6, std::nullopt, true, kcPtrHandle<kcAcqImage>()});  // nothing delivered

    ASSERT_EQ(recorder.records().size(), 6U);
    for (std::size_t i = 0; i < std::size(shots); ++i) {
        const kcAcqRecord& r = recorder.records()[i];
        const auto& [width, values, failed, good] = shots[i];
        // A failed acquisition's share and means are NaN, shown here as -1.
        const std::array<double, 3> means = std::isnan(r.planeMeans[0]) ? std::array{-1.0, -1.0, -1.0} : r.planeMeans;
        EXPECT_EQ(std::tuple(r.index, r.failed, std::isnan(r.goodFraction) ? -1.0 : r.goodFraction, means),
                  std::tuple(i + 1, failed, good, failed ? std::array{-1.0, -1.0, -1.0} : values))
            << i;
    }
    EXPECT_EQ(std::tuple(recorder.firstImage().index, recorder.bestImage().index, recorder.lastImage().index),
              std::tuple(1UL, 4UL, 5UL));

    const std::string csv = kfSearchCsv(recorder.records(), 4, 6);
    EXPECT_TRUE(
        csv.starts_with("index,time [UTC],elapsed [s],exposure [s],contrast [0-1],brightness [0-1],"
                        "good pels [fraction],mean R [grey level],mean G [grey level],mean B [grey level],"
                        "failed [0/1],taken for\n"))
        << csv;
    EXPECT_NE(csv.find(",0.003,0.5,0.25,,,,,1,search\n"), std::string::npos) << csv;
    EXPECT_NE(csv.find(",0.004,0.5,0.25,1,100,50,200,0,search\n"), std::string::npos) << csv;
    EXPECT_NE(csv.find(",0.005,0.5,0.25,1,6,238,120,0,result records\n"), std::string::npos) << csv;
    EXPECT_TRUE(csv.ends_with(",,,,,,,,1,result image\n")) << csv;
    EXPECT_EQ(kfUtcTimeText(1796601899123) + kfUtcTimeText(-1), "2026-12-07T00:04:59.123Z1969-12-31T23:59:59.999Z");
}

TEST(DiagnosticsExport, EscapesTextEncodesImagesExactlyAndAveragesWholeBlocksForThumbnails) {
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

    const TempDir dir;
    const kcDiagExport exported = kfExportDiagnostics(diag, dir.path().string());
    EXPECT_EQ(std::pair(exported.records, exported.files),
              std::pair(2L, std::vector<std::string>{"record-001.png", "record-001.svg", "record-002.svg"}));
    const kcRgb8Image png = kfReadPngRgb8(dir.file("record-001.png"));
    ASSERT_EQ(std::pair(png.width, png.height), std::pair(70L, 50L));
    const std::size_t at = (3 * 70 + 5) * 3;
    EXPECT_EQ(std::vector(png.rgb.begin() + at, png.rgb.begin() + at + 4), (std::vector<unsigned char>{200, 0, 0, 0}));

    const std::string svg = readFile(dir.file("record-001.svg"));
    for (const char* part :
         {"x=\"1\" y=\"2.5\"", ">x &lt; y \xc3\xa9</text>", "<title>&lt;a &amp; &quot;b&quot;&gt;</title>"})
        EXPECT_NE(svg.find(part), std::string::npos) << part << " not in " << svg;

    kc3PlanePelBuffer large(2448, 2048);
    // Columns alternate 0 and 255 so that a block's mean depends on its width.
    for (int p = 0; p < 3; ++p)
        for (long y = 0; y < 2048; ++y)
            for (long x = 1; x < 2448; x += 2) kcPelBuffer<unsigned char>(large.plane(p)).pointToRow(y)[x] = 255;
    const kc3PlanePelBuffer small = kfThumbnail(large);
    EXPECT_EQ(std::pair(small.width(), small.height()), std::pair(349L, 292L));  // 1/7 of each side
    EXPECT_EQ(small.plane1().pointToRow(0)[0], 109);                             // 3 of 7 columns lit
    EXPECT_EQ(small.plane2().pointToRow(291)[348], 109);
    const kc3PlanePelBuffer tiny(64, 48);
    EXPECT_EQ(kfThumbnail(tiny).plane0().pointToRow(0), tiny.plane0().pointToRow(0));
}

TEST(ReportPage, ARunEndedByAFailedAcquisitionIsReportedWithTheFailureMarked) {
    kcPtrHandle<kcSimFifo> sim(new kcSimFifo(kcSimCamera(kcSimScene::builtIn("chart", 64, 48), 3)));
    sim->setFaults({.failureCodeAt = 25, .failureCode = 7});
    kcBalanceSource source;
    source.fifo = sim;
    source.description.name = "chart";
    source.description.width = 64;
    source.description.height = 48;
    const TempDir dir;
    kcBalanceOptions options;
    options.diagnosticsDir = dir.file("d");
    std::ostringstream out, err;
    EXPECT_EQ(kfBalanceAndReport(source, options.params, options, out, err, false), kExitRunFailed) << err.str();

    const std::string csv = readFile(dir.file("d/search.csv"));
    // The failed acquisition is the search's last, and is not measured.
    const std::size_t row = csv.find("\n25,");
    ASSERT_NE(row, std::string::npos) << csv;
    EXPECT_NE(csv.find(",,,,,1,search\n", row), std::string::npos) << csv;
    EXPECT_EQ(csv.find(",1,search\n", csv.find('\n', row + 1)), std::string::npos) << csv;
    const std::string html = readFile(dir.file("d/index.html"));
    for (const char* part : {"<path class=\"failed\"", "acquisition 25 failed (failure code 7)", "1 failed</span>"})
        EXPECT_NE(html.find(part), std::string::npos) << "index.html lacks " << part;
}

TEST(ReportBrowser, PassesThePageAndCatchesBrokenImagesEmptyPlotsAndOverflow) {
    const std::string chromium = std::getenv("CLBL_CHROMIUM") ? std::getenv("CLBL_CHROMIUM") : "/usr/bin/chromium";
    const fs::path script(CLBL_BROWSER_CHECK);
    if (!fs::exists(chromium)) GTEST_SKIP() << "Chromium is not installed at " << chromium << " (scripts/install-deps)";
    if (std::system("command -v node >/dev/null 2>&1") != 0) GTEST_SKIP() << "node is not installed";
    if (!fs::exists(script.parent_path() / "node_modules" / "playwright-core"))
        GTEST_SKIP() << "playwright-core is not installed: run npm ci in " << script.parent_path();

    const TempDir dir;
    const fs::path intact = dir.path() / "intact";
    const ProgramRun run = runInProcess({"balance", "--size", "64x48", "--diagnostics", intact});
    ASSERT_EQ(run.status, kExitSuccess) << run.err;

    // Each copy of the page, and what the checker's line for it must say.
    const std::pair<const char*, const char*> cases[] = {{"intact", "ok "},
                                                         {"broken-image", "image first.png does not decode"},
                                                         {"empty-plot", "plot timeline has nothing drawn for exposure"},
                                                         {"missing-plot", "plot scatter is missing"},
                                                         {"too-wide", "sticks out of the page"}};
    std::string command = "node '" + script.string() + "'";
    for (const auto& [name, expected] : cases) {
        const fs::path copy = dir.path() / name;
        if (copy != intact) fs::copy(intact, copy);
        command += " '" + copy.string() + "'";
    }
    // Replaces `pattern` in the page of the copy `name`.
    const auto rewrite = [&dir](const char* name, const char* pattern, const std::string& replacement) {
        const fs::path file = dir.path() / name / "index.html";
        const std::string text = std::regex_replace(readFile(file.string()), std::regex(pattern), replacement);
        std::ofstream(file, std::ios::binary | std::ios::trunc) << text;
    };
    fs::resize_file(dir.path() / "broken-image" / "first.png", 100);
    rewrite("empty-plot", "(<g class=\"series\" data-name=\"exposure\"[^>]*>)[\\s\\S]*?</g>", "$1</g>");
    rewrite("missing-plot", "id=\"scatter\"", "id=\"scattered\"");
    rewrite("too-wide", "</body>", "<table><tr><td>" + std::string(400, 'W') + "</td></tr></table></body>");

    std::ignore = std::system((command + " >'" + dir.file("report") + "' 2>&1").c_str());
    const std::string report = readFile(dir.file("report"));
    for (const auto& [name, expected] : cases) {
        std::smatch line;
        ASSERT_TRUE(
            std::regex_search(report, line, std::regex("(ok|FAIL) [^\\n]*/" + std::string(name) + "[:\\n][^\\n]*")))
            << name << ": no verdict in\n"
            << report;
        EXPECT_NE(line.str().find(expected), std::string::npos) << name << ": " << line.str();
    }
}
