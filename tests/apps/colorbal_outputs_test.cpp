// tests/apps/colorbal_outputs_test.cpp
// What the program writes: outputs that appear whole or not at all, write
// failures reported with the file and the reason, targets checked before
// any work, and useless results flagged.
#include <sched.h>
#include <sys/mount.h>

#include <csignal>
#include <tuple>

#include "apps/colorbal/diagnostics_export.h"
#include "apps/colorbal/interrupt.h"
#include "apps/colorbal/output_files.h"
#include "colorbal_test_support.h"

namespace fs = std::filesystem;
using namespace colorbal_test;

namespace {

// Mounts a full tmpfs at `path` in a mount namespace of this test process
// alone; false without the right to mount.
bool mountFullTmpfs(const std::string& path) {
    fs::create_directory(path);
    if (unshare(CLONE_NEWNS) != 0 || mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) != 0 ||
        mount("tmpfs", path.c_str(), "tmpfs", 0, "size=4k") != 0)
        return false;
    // Fill its one block, so that the next byte written has no room.
    std::ofstream(path + "/filler", std::ios::binary) << std::string(4096, 'x');
    return true;
}

}  // namespace

TEST(ColorbalOutputs, WriteFailuresExitOneBadTargetsTwoAtOnceUselessResultsThreeAndNothingIsLeftBehind) {
    const TempDir dir;
    // Standard output on a full device.
    for (const std::vector<std::string>& args :
         {std::vector<std::string>{"scenes"}, {"balance", "--size", "64x48", "--json"}, {"balance", "--help"}})
        expectOneLine(runProgram(dir, args, "", "/dev/full"), kExitRunFailed,
                      {"standard output", "No space left on device"}, args.back());
    // Files on a full disk; without the right to mount one, a file size
    // limit of 0 makes the writes fail instead.
    const bool diskFull = mountFullTmpfs(dir.file("disk"));
    const std::string where = dir.file(diskFull ? "disk" : "limited");
    fs::create_directories(where);
    const std::set<std::string> before = entries(where);
    for (const char* option : {"--save-result", "--save-params", "--output", "--diagnostics"}) {
        const std::string target = where + "/out";
        const ProgramRun run = runProgram(dir, {"balance", "--size", "64x48", option, target},
                                          diskFull ? "" : "ulimit -f 0; trap '' XFSZ; ", "/dev/null");
        expectOneLine(run, kExitRunFailed, {"'" + target, diskFull ? "No space left on device" : "File too large"},
                      option);
        EXPECT_EQ(entries(where), before) << option;
    }
    if (diskFull) umount2(where.c_str(), MNT_DETACH);

    // Targets that cannot work are refused before any work (the scene would
    // fail later), and useless results are flagged; JSON carries the warnings.
    std::ofstream(dir.file("afile")) << "x";
    fs::create_directory(dir.file("full"));
    std::ofstream(dir.file("full/x")) << "x";
    const std::set<std::string> targetsBefore = entries(dir.path());
    // Status, arguments after "balance --json", "", pieces of the one line.
    const std::vector<std::vector<std::string>> cases = {
        {"2", "--diagnostics", dir.file("afile/sub"), "", "'" + dir.file("afile") + "' in", "is a file"},
        {"2", "--diagnostics", "/proc/diag", "", "cannot create files in the directory '/proc'"},
        {"2", "--diagnostics", dir.file("full"), "", "not empty"},
        {"2", "--diagnostics", dir.file("afile"), "", "not a directory"},
        {"2", "--save-result", dir.file("afile/x"), "", "is a file"},
        {"2", "--save-params", "/dev/null", "", "not a regular file"},
        {"2", "--output", dir.file("missing/r"), "", "does not exist"},
        {"2", "--save-result", dir.file("full"), "", "is a directory"},
        {"2", "--save-result", dir.file("r"), "--save-params", dir.file(".//r"), "", "also the --save-result output"},
        {"3", "--exposure-range", "5,10", "", "of the pels are good at the result"},
        {"3", "--vary", "contrast", "", "of the pels are good at the result"},
        {"3", "--exposure-step", "0.3", "", "outside the requested range 0.000001 .. 0.3 s"},
        {"0", "--seed", "2", "", ""},
    };
    for (const std::vector<std::string>& c : cases) {
        const auto split = std::find(c.begin(), c.end(), "");
        std::vector<std::string> args = {"balance", "--json", "--size", "64x48"};
        if (c[0] == "2") args.insert(args.end(), {"--scene", "/no/scene"});
        args.insert(args.end(), c.begin() + 1, split);
        const ProgramRun run = runInProcess(args);
        EXPECT_EQ(std::to_string(run.status), c[0]) << c[2];
        std::vector<std::string> pieces(split + 1, c.end());
        if (c[0] != "2") {
            const std::string warnings = jsonMember(run.out, "warnings");
            EXPECT_TRUE(c[0] == "0" ? warnings == "[]" : warnings.find(c.back()) != std::string::npos) << warnings;
            // The one line names the first warning.
            pieces = {warnings.substr(2, warnings.find('"', 2) - 2)};
        }
        if (c[0] == "0") continue;
        pieces.push_back(c[0] == "2" ? *(split - 2) + ": " : "not usable");
        expectOneLine(run, std::stoi(c[0]), pieces, c[2]);
    }
    EXPECT_EQ(entries(dir.path()), targetsBefore);
}

TEST(ColorbalOutputs, WholeFilesAndDirectoriesAppearOnlyWhenComplete) {
    const TempDir dir;
    kfWriteFileWhole(dir.file("f"), std::string("first"));
    fs::create_symlink("f", dir.file("link"));
    kfWriteFileWhole(dir.file("link"), std::string("second"));
    EXPECT_EQ(readFile(dir.file("f")), "second");
    fs::create_directory(dir.file("busy"));
    std::ofstream(dir.file("busy/x")) << "x";
    kcWholeDirectory(dir.file("abandoned")).write("a.png", std::string("a"));  // never committed
    {
        kcWholeDirectory busy(dir.file("busy"));
        busy.write("a.png", std::string("a"));
        EXPECT_THROW(busy.commit(), kcRunError);
    }
    // A signal ends the run with 128 + its number, named in the message.
    for (const auto& [signal, status, name] :
         {std::tuple{SIGINT, 130, "SIGINT"}, std::tuple{SIGTERM, 143, "SIGTERM"}, std::tuple{SIGHUP, 129, "SIGHUP"}}) {
        EXPECT_EQ(kfExitStatusForSignal(signal), status) << name;
        EXPECT_EQ(kcInterrupted(signal, "x").what(), "interrupted by " + std::string(name) + ": x");
    }
    // A signal stops an export between its files (here before the first),
    // in a child process (the pending signal stays for the process's life).
    EXPECT_EXIT(
        {
            const kcInterruptHandlers handlers;
            std::raise(SIGINT);
            kcDiagObject diag;
            diag.newDiagRecord();
            try {
                kfExportDiagnostics(diag, dir.file("interrupted"));
            } catch (const kcInterrupted&) {
                std::_Exit(0);
            }
            std::_Exit(1);
        },
        ::testing::ExitedWithCode(0), "");
    kcWholeDirectory filled(dir.file("d"));
    filled.makeDirectory("sub");
    filled.write("sub/b.svg", std::string("b"));
    EXPECT_EQ(entries(dir.path()).count("d"), 0U);
    filled.commit();
    EXPECT_EQ(entries(dir.path()), (std::set<std::string>{"f", "link", "busy", "busy/x", "d", "d/sub", "d/sub/b.svg"}));
}
