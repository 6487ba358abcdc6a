#include "command.h"

#include <unistd.h>

namespace command_line {

void refuseSharedOutputs(const NamedOutput& first, const NamedOutput& second, const std::string& module)
{
    for (const NamedOutput& output : {first, second})
        if (!output.path.empty() && nameOneFile(output.path, module))
            throw UsageError(std::string(output.option) + ": " + output.path +
                             " is the module library being hosted: give another file");
    if (!first.path.empty() && !second.path.empty() && nameOneFile(first.path, second.path))
        throw UsageError(std::string(first.option) + " " + first.path + " and " + second.option + " " + second.path +
                         " name the same file: give two different files");
}

std::unique_ptr<OutputFile> openOutput(const std::string& path)
{
    return path.empty() ? nullptr : std::make_unique<OutputFile>(path);
}

void writeThrough(OutputFile& output, const std::function<bool(std::FILE*)>& write)
{
    const int descriptor = output.takeDescriptor();
    std::FILE* file = fdopen(descriptor, "wb");
    if (!file) {
        ::close(descriptor);
        throw Failure("cannot write " + output.path());
    }
    bool written = false;
    try {
        written = write(file);
    } catch (...) {
        std::fclose(file);
        throw;
    }
    const bool failed = !written || std::ferror(file) != 0;
    if (std::fclose(file) != 0 || failed) throw Failure("cannot write " + output.path());
}

ProgressShown progressShown(const Arguments& arguments)
{
    if (arguments.quiet) return ProgressShown::None;
    return isatty(STDERR_FILENO) ? ProgressShown::InPlace : ProgressShown::Lines;
}

}  // namespace command_line
