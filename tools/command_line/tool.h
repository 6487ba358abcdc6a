// What every part of tessel-render's command line shares: its name, the
// failures it reports and how it speaks on stderr.
#pragma once

#include <stdexcept>
#include <string>

namespace command_line {

constexpr char kProgram[] = "tessel-render";

// What the tool exits with, besides 0 for done.
constexpr int kFailureExit = 1;  // the work failed: a module, a file, an interrupt
constexpr int kUsageExit = 2;    // the command line asks what the tool cannot do

// A failure of the work, reported on one line.
struct Failure : std::runtime_error {
    using std::runtime_error::runtime_error;
};

// A command line the tool cannot follow, reported on one line that names the
// option and what it expects.
struct UsageError : Failure {
    using Failure::Failure;
};

// One line on stderr, after the tool's name.
void say(const std::string& line);

}  // namespace command_line
