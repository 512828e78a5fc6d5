// tests/apps/report_browser_test.cpp
// The diagnostics page as a reader sees it: rendered in headless Chromium
// by tests/browser/check_report.mjs, which must pass the page as written
// and catch a page with a broken image, an empty or missing plot, or
// content wider than the screen.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <regex>
#include <tuple>

#include "apps/colorbal/app_errors.h"
#include "colorbal_test_support.h"

namespace fs = std::filesystem;

TEST(ReportBrowser, PassesThePageAndCatchesBrokenImagesEmptyPlotsAndOverflow) {
    const char* chromiumEnv = std::getenv("CLBL_CHROMIUM");
    const std::string chromium = chromiumEnv != nullptr ? chromiumEnv : "/usr/bin/chromium";
    const fs::path script(CLBL_BROWSER_CHECK);
    if (!fs::exists(chromium)) GTEST_SKIP() << "Chromium is not installed at " << chromium << " (scripts/install-deps)";
    if (std::system("command -v node >/dev/null 2>&1") != 0) GTEST_SKIP() << "node is not installed";
    if (!fs::exists(script.parent_path() / "node_modules" / "playwright-core"))
        GTEST_SKIP() << "playwright-core is not installed: run npm ci in " << script.parent_path();

    const colorbal_test::TempDir dir;
    const fs::path intact = dir.path() / "intact";
    const colorbal_test::Run run = colorbal_test::runInProcess({"balance", "--size", "64x48", "--diagnostics", intact});
    ASSERT_EQ(run.status, kExitSuccess) << run.err;

    // Each copy of the page, and what the checker's line for it must say.
    struct Case {
        const char *name, *expected;
    } const cases[] = {{"intact", "ok "},
                       {"broken-image", "image first.png does not decode"},
                       {"empty-plot", "plot timeline has nothing drawn for exposure"},
                       {"missing-plot", "plot scatter is missing"},
                       {"too-wide", "sticks out of the page"}};
    std::string command = "node '" + script.string() + "'";
    for (const Case& c : cases) {
        const fs::path copy = dir.path() / c.name;
        if (copy != intact) fs::copy(intact, copy);
        command += " '" + copy.string() + "'";
    }
    const auto rewrite = [](const fs::path& file, const std::regex& pattern, const std::string& replacement) {
        const std::string text = std::regex_replace(colorbal_test::readFile(file.string()), pattern, replacement);
        std::ofstream(file, std::ios::binary | std::ios::trunc) << text;
    };
    fs::resize_file(dir.path() / "broken-image" / "first.png", 100);
    rewrite(dir.path() / "empty-plot" / "index.html",
            std::regex("(<g class=\"series\" data-name=\"exposure\"[^>]*>)[\\s\\S]*?</g>"), "$1</g>");
    rewrite(dir.path() / "missing-plot" / "index.html", std::regex("id=\"scatter\""), "id=\"scattered\"");
    rewrite(dir.path() / "too-wide" / "index.html", std::regex("</body>"),
            "<table><tr><td>" + std::string(400, 'W') + "</td></tr></table></body>");

    std::ignore = std::system((command + " >'" + dir.file("report") + "' 2>&1").c_str());
    const std::string report = colorbal_test::readFile(dir.file("report"));
    for (const Case& c : cases) {
        std::smatch line;
        ASSERT_TRUE(
            std::regex_search(report, line, std::regex("(ok|FAIL) [^\\n]*/" + std::string(c.name) + "[:\\n][^\\n]*")))
            << c.name << ": no verdict in\n"
            << report;
        EXPECT_NE(line.str().find(c.expected), std::string::npos) << c.name << ": " << line.str();
    }
}
