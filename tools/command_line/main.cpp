// tessel-render: hosts the module library on the command line and renders its
// x and y outputs to a stereo WAV file and a picture, so the module can be
// heard and seen without a host application.
#include <cstdio>
#include <exception>
#include <optional>
#include <string>
#include <vector>

#include <CLI/CLI.hpp>

#include "chart_command.h"
#include "options.h"
#include "settings.h"
#include "take_command.h"
#include "tool.h"
#include "tools/pictures/take_picture.h"

namespace command_line {

namespace {

std::string toolDescription()
{
    return "Renders the Tessel Map module's x and y outputs, hosted as a host would hold it, "
           "to a stereo 32-bit float WAV file (x left, y right) and a " +
           std::to_string(pictures::kPictureWidth) + "x" + std::to_string(pictures::kPictureHeight) +
           " PNG picture: the x-y attractor as a log density plot above x and y over 5 ms from where the cycle "
           "settled, or, when inputs are patched, over the whole take with the inputs that move under them. "
           "Voltages are those of the module's pins.";
}

// The parser's complaint in one line that names the option and what it expects.
std::string usageLine(const CLI::App& app, const CLI::ParseError& error)
{
    const std::vector<std::string> extra = app.remaining();
    if (dynamic_cast<const CLI::ExtrasError*>(&error) && !extra.empty()) {
        if (extra.front().starts_with("-")) return extra.front() + " is no option of tessel-render: --help lists them";
        return "'" + extra.front() + "' follows no option: give each value after its option, e.g. --seconds 2";
    }
    std::string text = error.what();
    const CLI::Option* option = app.get_option_no_throw(text.substr(0, text.find(':')));
    if (dynamic_cast<const CLI::ArgumentMismatch*>(&error) && option) {
        if (option->count() > 1)
            return option->get_name() + " is given " + std::to_string(option->count()) + " times: give it once";
        return option->get_name() + " expects " + option->get_type_name() + " after it";
    }
    return text;
}

// The exit code when parsing ends the run (help, version, a parse error);
// nothing when there is work to do.
std::optional<int> parseCommandLine(CLI::App& app, int argc, char** argv)
{
    try {
        app.parse(argc, argv);
    } catch (const CLI::Success& e) {
        return app.exit(e);
    } catch (const CLI::ParseError& e) {
        std::fprintf(stderr, "%s: %s\n", kProgram, usageLine(app, e).c_str());
        return kUsageExit;
    }
    return std::nullopt;
}

int run(int argc, char** argv)
{
    Arguments arguments;
    CLI::App app{toolDescription(), kProgram};
    app.set_version_flag("--version", std::string(kProgram) + " " + TESSEL_RENDER_VERSION);
    app.footer(
        "Outputs are files named for their format, written under a temporary name and renamed at the end. "
        "A symbolic link is written where it points and stays a link. A folder, device, FIFO, socket or "
        "read-only file is refused, and so is - : a WAV's header is completed last, so to pipe, write a "
        "file and read that (tessel-render --out t.wav && cat t.wav | ...).\n"
        "Exit codes: 0 done; 1 the work failed (the module, a file, Ctrl-C); 2 the command line is wrong.\n\n" +
        patchingHelp());
    addTakeOptions(app, arguments);
    addChartOptions(app, arguments);
    if (const std::optional<int> exitCode = parseCommandLine(app, argc, argv)) return *exitCode;

    const bool chart = app.count("--chart") > 0 || app.count("--chart-data") > 0;
    refuseOptionsOfTheOtherKind(app, chart);
    refuseMisnamedOutputs(app);
    if (chart) return runChart(arguments, chartFrom(arguments, app));
    return runTake(arguments, scenarioFrom(arguments, app));
}

}  // namespace

}  // namespace command_line

int main(int argc, char** argv)
{
    using command_line::kProgram;
    try {
        return command_line::run(argc, argv);
    } catch (const command_line::UsageError& e) {
        std::fprintf(stderr, "%s: %s\n", kProgram, e.what());
        return command_line::kUsageExit;
    } catch (const std::exception& e) {
        std::fprintf(stderr, "%s: %s\n", kProgram, e.what());
        return command_line::kFailureExit;
    }
}
