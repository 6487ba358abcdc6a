// Progress on stderr while the tool works, and the Ctrl-C that stops it.
#pragma once

#include <chrono>
#include <cstdint>
#include <cstdio>
#include <string>

#include "tool.h"

namespace command_line {

// "40 s", "12 min", "21 h", "3 days": how long, to the precision a wait is planned with.
std::string durationText(double seconds);

// How progress shows on stderr: on a terminal, one line redrawn in place; in a
// log or a pipe, a line every ten seconds or so; with --quiet, not at all.
enum class ProgressShown { None, InPlace, Lines };

class Progress {
public:
    Progress(int64_t total, ProgressShown shown, const char* doing = "rendering")
        : total(total), shown(shown), doing(doing), started(Clock::now()), last(started)
    {
    }
    ~Progress() { finish(); }  // an error message then starts on a clean line

    void advance(int64_t count)
    {
        done += count;
        if (shown == ProgressShown::None) return;
        const auto now = Clock::now();
        const auto interval = shown == ProgressShown::InPlace ? Clock::duration(std::chrono::milliseconds(100))
                                                              : Clock::duration(std::chrono::seconds(10));
        if (now - started < std::chrono::milliseconds(300) || now - last < interval) return;
        last = now;
        const int percent = static_cast<int>(100 * done / total);
        if (shown == ProgressShown::InPlace) {
            std::fprintf(stderr, "\r%s: %s... %3d%%%s\033[K", kProgram, doing, percent, timeLeft(now).c_str());
            drawn = true;
        } else {
            std::fprintf(stderr, "%s: %s... %d%%%s\n", kProgram, doing, percent, timeLeft(now).c_str());
        }
    }

    void finish()
    {
        if (drawn) std::fputs("\r\033[K", stderr);
        drawn = false;
    }

private:
    using Clock = std::chrono::steady_clock;

    // At the pace so far; nothing until there is a pace.
    std::string timeLeft(Clock::time_point now) const
    {
        if (done == 0) return "";
        const std::chrono::duration<double> elapsed = now - started;
        return ", about " + durationText(elapsed.count() * double(total - done) / double(done)) + " left";
    }

    int64_t total;
    int64_t done = 0;
    ProgressShown shown;
    const char* doing;
    bool drawn = false;
    Clock::time_point started, last;
};

// Ctrl-C and a termination request set a flag that checkInterrupt() turns
// into a Failure at the next block or point.
void catchSignals();
void checkInterrupt();

}  // namespace command_line
