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
    Run run;
    run.status = kfColorbalMain(args, out, err, false);
    run.out = out.str();
    run.err = err.str();
    return run;
}

inline std::string readFile(const std::string& path) {
    std::ifstream file(path, std::ios::binary);
    std::ostringstream text;
    text << file.rdbuf();
    return text.str();
}

inline std::string shellQuote(const std::string& s) {
    std::string q = "'";
    for (char c : s) q += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return q + "'";
}

// The built program, with its output captured through files in `dir`.
inline Run runProgram(const TempDir& dir, const std::vector<std::string>& args) {
    std::string command = shellQuote(COLORBAL_PROGRAM_PATH);
    for (const std::string& a : args) command += " " + shellQuote(a);
    const std::string outPath = dir.file("stdout.txt");
    const std::string errPath = dir.file("stderr.txt");
    command += " >" + shellQuote(outPath) + " 2>" + shellQuote(errPath) + " </dev/null";
    const int raw = std::system(command.c_str());
    Run run;
    run.status = (raw != -1 && WIFEXITED(raw)) ? WEXITSTATUS(raw) : -1;
    run.out = readFile(outPath);
    run.err = readFile(errPath);
    return run;
}

// Reads one JSON value and records the members of the top-level object
// (their raw text). Throws std::runtime_error on anything that is not JSON.
class JsonReader {
public:
    explicit JsonReader(std::string text) : text_(std::move(text)) {}

    std::map<std::string, std::string> topLevelObject() {
        skip();
        std::map<std::string, std::string> members;
        expect('{');
        skip();
        if (peek() == '}') return ++pos_, finish(members);
        while (true) {
            skip();
            const std::string key = string();
            skip();
            expect(':');
            skip();
            const std::size_t begin = pos_;
            value();
            members[key] = text_.substr(begin, pos_ - begin);
            skip();
            if (peek() == ',') {
                ++pos_;
                continue;
            }
            expect('}');
            return finish(members);
        }
    }

private:
    std::map<std::string, std::string> finish(std::map<std::string, std::string>& members) {
        skip();
        if (pos_ != text_.size()) fail("text after the value");
        return members;
    }
    [[noreturn]] void fail(const std::string& what) const {
        throw std::runtime_error("not JSON at " + std::to_string(pos_) + ": " + what);
    }
    char peek() const { return pos_ < text_.size() ? text_[pos_] : '\0'; }
    void skip() {
        while (pos_ < text_.size() && std::isspace(static_cast<unsigned char>(text_[pos_]))) ++pos_;
    }
    void expect(char c) {
        if (peek() != c) fail(std::string("expected ") + c);
        ++pos_;
    }
    std::string string() {
        expect('"');
        std::string s;
        while (peek() != '"') {
            if (pos_ >= text_.size() || static_cast<unsigned char>(peek()) < 0x20) fail("bad string");
            if (peek() == '\\') ++pos_;
            s += text_[pos_++];
        }
        ++pos_;
        return s;
    }
    void value() {
        const char c = peek();
        if (c == '{' || c == '[') {
            const char close = c == '{' ? '}' : ']';
            ++pos_;
            skip();
            if (peek() == close) return void(++pos_);
            while (true) {
                skip();
                if (c == '{') {
                    string();
                    skip();
                    expect(':');
                    skip();
                }
                value();
                skip();
                if (peek() == ',') {
                    ++pos_;
                    continue;
                }
                expect(close);
                return;
            }
        }
        if (c == '"') return void(string());
        for (const char* word : {"true", "false", "null"}) {
            if (text_.compare(pos_, std::string(word).size(), word) == 0) return void(pos_ += std::string(word).size());
        }
        // A number: -?digits[.digits][e[+-]digits]
        const std::size_t begin = pos_;
        if (peek() == '-') ++pos_;
        if (!std::isdigit(static_cast<unsigned char>(peek()))) fail("bad value");
        auto digits = [&] {
            while (std::isdigit(static_cast<unsigned char>(peek()))) ++pos_;
        };
        digits();
        if (peek() == '.') {
            ++pos_;
            if (!std::isdigit(static_cast<unsigned char>(peek()))) fail("bad fraction");
            digits();
        }
        if (peek() == 'e' || peek() == 'E') {
            ++pos_;
            if (peek() == '+' || peek() == '-') ++pos_;
            if (!std::isdigit(static_cast<unsigned char>(peek()))) fail("bad exponent");
            digits();
        }
        if (pos_ == begin) fail("empty value");
    }

    std::string text_;
    std::size_t pos_ = 0;
};

}  // namespace colorbal_test
