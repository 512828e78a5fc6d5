// tests/apps/colorbal_test_support.h
// Helpers of the colorbal program's tests: a scratch directory, running the
// program in-process or as the built binary, and a small JSON reader.
#pragma once

#include <sys/wait.h>
#include <unistd.h>

#include <cctype>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <regex>
#include <sstream>
#include <stdexcept>
#include <string>
#include <vector>

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

struct Run {
    int status = -1;
    std::string out;
    std::string err;
};

// The program's logic, called as main() calls it (stderr not a terminal).
inline Run runInProcess(const std::vector<std::string>& args) {
    std::ostringstream out, err;
    const int status = kfColorbalMain(args, out, err, false);
    return Run{status, out.str(), err.str()};
}

inline std::string readFile(const std::string& path) {
    std::ostringstream text;
    text << std::ifstream(path, std::ios::binary).rdbuf();
    return text.str();
}

// The built program, with its output captured through files in `dir`.
inline Run runProgram(const TempDir& dir, const std::vector<std::string>& args) {
    const auto quote = [](const std::string& s) { return "'" + std::regex_replace(s, std::regex("'"), "'\\''") + "'"; };
    std::string command = quote(COLORBAL_PROGRAM_PATH);
    for (const std::string& a : args) command += " " + quote(a);
    command += " >" + quote(dir.file("stdout.txt")) + " 2>" + quote(dir.file("stderr.txt")) + " </dev/null";
    const int raw = std::system(command.c_str());
    const int status = (raw != -1 && WIFEXITED(raw)) ? WEXITSTATUS(raw) : -1;
    return Run{status, readFile(dir.file("stdout.txt")), readFile(dir.file("stderr.txt"))};
}

// Reads one JSON value and records the members of the top-level object
// (their raw text). Throws std::runtime_error on anything that is not JSON.
class JsonReader {
public:
    explicit JsonReader(std::string text) : t_(std::move(text)) {}

    std::map<std::string, std::string> topLevelObject() {
        std::map<std::string, std::string> members;
        if (ws() != '{') fail();
        value(&members);
        if (ws(), p_ != t_.size()) fail();
        return members;
    }

private:
    [[noreturn]] void fail() const { throw std::runtime_error("not JSON at " + std::to_string(p_)); }
    // Skips white space and returns the next character ('\0' at the end).
    char ws() {
        while (p_ < t_.size() && std::isspace(static_cast<unsigned char>(t_[p_]))) ++p_;
        return p_ < t_.size() ? t_[p_] : '\0';
    }
    void eat(char c) {
        if (ws() != c) fail();
        ++p_;
    }
    // A string, number, true, false or null, as written.
    std::string token() {
        static const std::regex re(
            R"re("([^"\\\x00-\x1f]|\\.)*"|true|false|null|-?(0|[1-9]\d*)(\.\d+)?([eE][+-]?\d+)?)re");
        std::smatch m;
        ws();
        const auto from = t_.cbegin() + static_cast<std::ptrdiff_t>(p_);
        if (!std::regex_search(from, t_.cend(), m, re, std::regex_constants::match_continuous)) fail();
        p_ += static_cast<std::size_t>(m.length(0));
        return m.str(0);
    }
    void value(std::map<std::string, std::string>* members = nullptr) {
        const char c = ws();
        if (c != '{' && c != '[') return void(token());
        const char close = c == '{' ? '}' : ']';
        ++p_;
        if (ws() == close) return void(++p_);
        do {
            const std::string key = c == '{' ? token() : "\"\"";
            if (key.front() != '"') fail();
            if (c == '{') eat(':');
            ws();
            const std::size_t begin = p_;
            value();
            if (members != nullptr) (*members)[key.substr(1, key.size() - 2)] = t_.substr(begin, p_ - begin);
        } while (ws() == ',' && ++p_ != 0);
        eat(close);
    }

    std::string t_;
    std::size_t p_ = 0;
};

}  // namespace colorbal_test
