// tests/apps/colorbal_test_support.h
// Helpers of the colorbal program's tests: a scratch directory, running the
// program in-process or as the built binary, checks of its one-line errors
// and a small JSON reader.
#pragma once

#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <map>
#include <memory>
#include <regex>
#include <set>
#include <sstream>
#include <stdexcept>
#include <string>
#include <vector>

#include "apps/colorbal/app_errors.h"
#include "apps/colorbal/archive_files.h"
#include "apps/colorbal/colorbal_main.h"

namespace colorbal_test {

// A fresh directory, removed with everything in it when the object goes.
class TempDir {
public:
    TempDir() {
        std::string pattern = (std::filesystem::temp_directory_path() / "colorbal-test-XXXXXX").string();
        if (mkdtemp(pattern.data()) == nullptr) throw std::runtime_error("mkdtemp failed");
        path_ = pattern;
    }
    ~TempDir() {
        std::error_code ec;
        std::filesystem::remove_all(path_, ec);
    }
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;
    std::string file(const std::string& name) const { return (path_ / name).string(); }
    const std::filesystem::path& path() const { return path_; }

private:
    std::filesystem::path path_;
};

struct ProgramRun {
    int status = -1;
    std::string out;
    std::string err;
};

// The program's logic, called as main() calls it (stderr not a terminal).
inline ProgramRun runInProcess(const std::vector<std::string>& args, const kcCameraCommands* cameras = nullptr) {
    std::ostringstream out, err;
    const int status = kfColorbalMain(args, out, err, false, cameras);
    return ProgramRun{status, out.str(), err.str()};
}

// Ended with `status` and exactly one line on standard error, holding every
// piece; a usage error (status 2) writes nothing on standard output.
inline void expectOneLine(const ProgramRun& run, int status, const std::vector<std::string>& pieces,
                          const std::string& label) {
    EXPECT_EQ(run.status, status) << label;
    EXPECT_TRUE(status != kExitUsage || run.out.empty()) << label << ": " << run.out;
    EXPECT_EQ(run.err.find('\n'), run.err.size() - 1) << label << ": not one line: " << run.err;
    for (const std::string& piece : pieces)
        EXPECT_NE(run.err.find(piece), std::string::npos) << label << ": " << run.err;
}

// Every entry of a directory tree, relative to it.
inline std::set<std::string> entries(const std::filesystem::path& dir) {
    std::set<std::string> names;
    for (const std::filesystem::directory_entry& e : std::filesystem::recursive_directory_iterator(dir))
        names.insert(e.path().lexically_relative(dir).string());
    return names;
}

inline std::string readFile(const std::string& path) {
    std::ostringstream text;
    text << std::ifstream(path, std::ios::binary).rdbuf();
    return text.str();
}

// The built program run by the shell after `prefix`, its standard output
// going to `out` (captured through a file in `dir` when empty).
inline ProgramRun runProgram(const TempDir& dir, const std::vector<std::string>& args, const std::string& prefix = "",
                             const std::string& out = "") {
    const auto quote = [](const std::string& s) { return "'" + std::regex_replace(s, std::regex("'"), "'\\''") + "'"; };
    std::string command = prefix + quote(COLORBAL_PROGRAM_PATH);
    for (const std::string& a : args) command += " " + quote(a);
    const std::string outFile = out.empty() ? dir.file("stdout.txt") : out;
    ProgramRun run;
    command += " 2>&1 >" + quote(outFile) + " </dev/null";
    std::unique_ptr<FILE, int (*)(FILE*)> pipe(popen(command.c_str(), "r"), pclose);
    for (int c; pipe && (c = std::fgetc(pipe.get())) != EOF;) run.err += static_cast<char>(c);
    const int raw = pipe ? pclose(pipe.release()) : -1;
    run.status = (raw != -1 && WIFEXITED(raw)) ? WEXITSTATUS(raw) : -1;
    if (out.empty()) run.out = readFile(outFile);
    return run;
}

// The members of the JSON object `text`, each as its raw text. Throws
// std::runtime_error on anything that is not JSON.
inline std::map<std::string, std::string> jsonObject(const std::string& text) {
    static const std::regex scalar(
        R"re("([^"\\\x00-\x1f]|\\.)*"|true|false|null|-?(0|[1-9]\d*)(\.\d+)?([eE][+-]?\d+)?)re");
    std::size_t p = 0;
    const auto fail = [&p] { return std::runtime_error("not JSON at " + std::to_string(p)); };
    // Skips white space and returns the next character ('\0' at the end).
    const auto peek = [&] {
        while (p < text.size() && std::isspace(static_cast<unsigned char>(text[p]))) ++p;
        return p < text.size() ? text[p] : '\0';
    };
    // Consumes `c` if it comes next.
    const auto take = [&](char c) { return peek() == c && ++p != 0; };
    std::map<std::string, std::string> members;
    // A value; the members of the outermost object are recorded.
    const std::function<std::string(bool)> value = [&](bool outermost) {
        const std::size_t begin = (peek(), p);
        const char open = text[p];
        if (open == '{' || open == '[') {
            const char close = open == '{' ? '}' : ']';
            ++p;
            // Members or elements, separated by commas, until the closing bracket.
            for (bool first = true; !take(close); first = false) {
                if (!first && !take(',')) throw fail();
                const std::string key = open == '{' ? value(false) : "\"\"";
                if (key.front() != '"' || (open == '{' && !take(':'))) throw fail();
                const std::string member = value(false);
                if (outermost) members[key.substr(1, key.size() - 2)] = member;
            }
        } else if (std::smatch m; std::regex_search(text.cbegin() + static_cast<std::ptrdiff_t>(p), text.cend(), m,
                                                    scalar, std::regex_constants::match_continuous)) {
            p += static_cast<std::size_t>(m.length(0));
        } else {
            throw fail();
        }
        return text.substr(begin, p - begin);
    };
    if (peek() != '{' || (value(true), peek()) != '\0' || p != text.size()) throw fail();
    return members;
}

// The raw text of the member `key` of the JSON object `json` ("" if absent).
inline std::string jsonMember(const std::string& json, const std::string& key) { return jsonObject(json)[key]; }

}  // namespace colorbal_test
