// What a take and the chart share: the hosted library, their outputs'
// files, and how progress shows.
#pragma once

#include <cstdio>
#include <functional>
#include <memory>
#include <string>

#include "host/emulator/hosted_module.h"
#include "options.h"
#include "output_file.h"
#include "progress.h"

namespace command_line {

// The module library being hosted, and what it says of its module.
struct HostedLibrary {
    explicit HostedLibrary(const std::string& path) : path(path), library(path)
    {
        if (library.getModuleProperties(0, &properties) != 1 || !properties.name)
            throw Failure(path + " offers no module");
    }

    std::string path;
    host::ModuleLibrary library;
    sep::ModuleProperties properties{};  // its texts live in the library, as long as this
};

// An output the user named, and the option that named it; an empty path was not asked for.
struct NamedOutput {
    const char* option;
    std::string path;
};

// Refuses, before anything is rendered, two outputs in one file (the later
// would silently replace the earlier) and an output onto the hosted library:
// a UsageError, since the command line named them so.
void refuseSharedOutputs(const NamedOutput& first, const NamedOutput& second, const std::string& module);

// The file behind an output option, opened under a temporary name; null when not asked for.
std::unique_ptr<OutputFile> openOutput(const std::string& path);

// Writes a file through stdio, and closes it; throws Failure if any of it fails.
void writeThrough(OutputFile& output, const std::function<bool(std::FILE*)>& write);

ProgressShown progressShown(const Arguments& arguments);

}  // namespace command_line
