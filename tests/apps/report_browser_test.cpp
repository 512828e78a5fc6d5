// tests/apps/report_browser_test.cpp
// The diagnostics page as a reader sees it: rendered in headless Chromium
// by tests/browser/check_report.mjs, which must pass the page as written
// and catch a page with a broken image, an empty or missing plot, or
// content wider than the screen.
#include <gtest/gtest.h>

#include <array>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <memory>
#include <regex>

#include "apps/colorbal/app_errors.h"
#include "colorbal_test_support.h"

namespace fs = std::filesystem;

namespace {

std::string commandOutput(const std::string& command) {
    std::string out;
    const std::unique_ptr<FILE, int (*)(FILE*)> pipe(popen(command.c_str(), "r"), pclose);
    if (!pipe) return out;
    std::array<char, 4096> buffer{};
    while (std::fgets(buffer.data(), static_cast<int>(buffer.size()), pipe.get()) != nullptr) out += buffer.data();
    return out;
}

void rewrite(const fs::path& file, const std::regex& pattern, const std::string& replacement) {
    const std::string text = std::regex_replace(colorbal_test::readFile(file.string()), pattern, replacement);
    std::ofstream(file, std::ios::binary | std::ios::trunc) << text;
}

}  // namespace

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

    struct Case {
        const char* name;
        const char* expected;  // in the checker's line for the directory
    };
    const Case cases[] = {
        {"intact", "ok "},
        {"broken-image", "image first.png does not decode"},
        {"empty-plot", "plot timeline has nothing drawn for exposure"},
        {"missing-plot", "plot scatter is missing"},
        {"too-wide", "sticks out of the page"},
    };
    std::string command = "node '" + script.string() + "'";
    for (const Case& c : cases) {
        const fs::path copy = dir.path() / c.name;
        if (copy != intact) fs::copy(intact, copy);
        command += " '" + copy.string() + "'";
    }
    fs::resize_file(dir.path() / "broken-image" / "first.png", 100);
    rewrite(dir.path() / "empty-plot" / "index.html",
            std::regex("(<g class=\"series\" data-name=\"exposure\"[^>]*>)[\\s\\S]*?</g>"), "$1</g>");
    rewrite(dir.path() / "missing-plot" / "index.html", std::regex("id=\"scatter\""), "id=\"scattered\"");
    rewrite(dir.path() / "too-wide" / "index.html", std::regex("</body>"),
            "<table><tr><td>" + std::string(400, 'W') + "</td></tr></table></body>");

    const std::string report = commandOutput(command + " 2>&1");
    for (const Case& c : cases) {
        const std::smatch line = [&] {
            std::smatch m;
            std::regex_search(report, m, std::regex("(ok|FAIL) [^\\n]*/" + std::string(c.name) + "[:\\n][^\\n]*"));
            return m;
        }();
        ASSERT_FALSE(line.empty()) << c.name << ": no verdict in\n" << report;
        EXPECT_NE(line.str().find(c.expected), std::string::npos) << c.name << ": " << line.str();
    }
}
