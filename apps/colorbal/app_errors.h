// apps/colorbal/app_errors.h
// The program's two kinds of failure: bad input from the user (exit status
// 2) and a run that failed (exit status 1). Messages are UTF-8, one line.
#pragma once

#include <stdexcept>
#include <string>

// Exit statuses of the program.
constexpr int kExitSuccess = 0;
constexpr int kExitRunFailed = 1;
constexpr int kExitUsage = 2;
// The search ended, but its result is not usable (the report says why).
constexpr int kExitUnusableResult = 3;

// A bad option value or input file; the message names the option or file.
class kcUsageError : public std::runtime_error {
public:
    explicit kcUsageError(const std::string& message) : std::runtime_error(message) {}
};

// A failure of the run itself (acquisition, writing an output).
class kcRunError : public std::runtime_error {
public:
    explicit kcRunError(const std::string& message) : std::runtime_error(message) {}
};
