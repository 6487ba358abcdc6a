#include "progress.h"

#include <algorithm>
#include <cmath>
#include <csignal>

namespace command_line {

namespace {

volatile std::sig_atomic_t interrupted = 0;

extern "C" void onInterrupt(int) { interrupted = 1; }

}  // namespace

std::string durationText(double seconds)
{
    const auto rounded = [](double count, const char* unit) {
        return std::to_string(std::max(1LL, std::llround(count))) + unit;
    };
    if (seconds < 90) return rounded(seconds, " s");
    if (seconds < 90 * 60) return rounded(seconds / 60, " min");
    if (seconds < 48 * 3600) return rounded(seconds / 3600, " h");
    return rounded(seconds / 86400, " days");
}

void checkInterrupt()
{
    if (interrupted) throw Failure("interrupted; nothing written");
}

void catchSignals()
{
    std::signal(SIGINT, onInterrupt);
    std::signal(SIGTERM, onInterrupt);
    // A write beyond the file size limit then fails as an error, not a crash.
    std::signal(SIGXFSZ, SIG_IGN);
}

}  // namespace command_line
