// What an output names: the files tessel-render refuses before writing
// anything, and where the ones it writes land.
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <map>
#include <string>
#include <vector>

#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include "host/emulator/hosted_module.h"
#include "tool_run.h"

namespace fs = std::filesystem;

namespace {

using namespace tool_run;

// --- what an output names ------------------------------------------------------------

// What a path case lays out in its folder before the tool runs.
struct Laid {
    enum Kind { File, PrivateFile, ReadOnlyFile, Folder, Symlink, HardLink, ModuleCopy, Fifo, Device } kind;
    std::string path;    // in the folder
    std::string target;  // a file's text, a symbolic link's target as written, a hard link's file in the folder
};

struct PathCase {
    std::string name;
    std::vector<Laid> layout;
    std::vector<std::string> arguments;  // run in the folder; "@name" stands for that name's absolute path
    std::string error;                   // part of the one error line; empty: the outputs are written
    std::vector<std::string> written;    // without an error, the files the tool must write
    std::string defaultModule;           // in the folder: the library the tool hosts without --module
    int refusedWith = 1;  // with an error, the exit code: 2 where the command line names the outputs amiss
};

void PrintTo(const PathCase& pathCase, std::ostream* os) { *os << pathCase.name; }

// " mode 644": the end of a file's entry in contentsOf().
std::string permissionsOf(const std::string& path)
{
    char mode[16];
    std::snprintf(mode, sizeof mode, " mode %03o", static_cast<unsigned>(fs::status(path).permissions()));
    return mode;
}

// Lays out the folder; says why it cannot, where this system forbids a part of it.
std::string layOut(const TemporaryFolder& folder, const std::vector<Laid>& layout)
{
    for (const Laid& laid : layout) {
        const std::string path = folder / laid.path;
        switch (laid.kind) {
        case Laid::File: std::ofstream(path) << laid.target; break;
        case Laid::PrivateFile:
            std::ofstream(path) << laid.target;
            fs::permissions(path, fs::perms::owner_read | fs::perms::owner_write);
            break;
        case Laid::ReadOnlyFile:
            std::ofstream(path) << laid.target;
            fs::permissions(path, fs::perms::owner_read | fs::perms::group_read | fs::perms::others_read);
            break;
        case Laid::Folder: fs::create_directory(path); break;
        case Laid::Symlink: fs::create_symlink(laid.target, path); break;
        case Laid::HardLink: fs::create_hard_link(folder / laid.target, path); break;
        case Laid::ModuleCopy: fs::copy_file(host::builtModulePath(), path); break;
        case Laid::Fifo: mkfifo(path.c_str(), 0666); break;
        case Laid::Device:  // the null device's numbers
            if (mknod(path.c_str(), S_IFCHR | 0666, makedev(1, 3)) != 0)
                return std::string("mknod may not make a device here: ") + std::strerror(errno);
            break;
        }
    }
    return "";
}

// Every entry under the folder, without following links: a file's contents
// and permissions, a symbolic link's target, or what else it is.
std::map<std::string, std::string> contentsOf(const TemporaryFolder& folder)
{
    std::map<std::string, std::string> contents;
    for (const auto& entry : fs::recursive_directory_iterator(folder.path)) {
        const std::string name = entry.path().lexically_relative(folder.path).string();
        if (entry.is_symlink()) contents[name] = "symbolic link to " + fs::read_symlink(entry.path()).string();
        else if (entry.is_directory()) contents[name] = "folder";
        else if (!entry.is_regular_file()) contents[name] = "neither file nor folder";
        else contents[name] = readText(entry.path().string()) + permissionsOf(entry.path().string());
    }
    return contents;
}

class OutputPaths : public ::testing::TestWithParam<PathCase> {};

TEST_P(OutputPaths, RefusedBeforeAnythingIsWrittenOrWrittenWhereTheyLand)
{
    const PathCase& pathCase = GetParam();
    TemporaryFolder folder;
    if (const std::string forbidden = layOut(folder, pathCase.layout); !forbidden.empty()) GTEST_SKIP() << forbidden;
    Surroundings surroundings;
    surroundings.workingFolder = folder.path.string();
    if (!pathCase.defaultModule.empty())
        surroundings.environment = {"TESSEL_MODULE=" + (folder / pathCase.defaultModule)};

    const std::map<std::string, std::string> before = contentsOf(folder);
    const Result result = runTool(inFolder(pathCase.arguments, folder), surroundings);
    if (!pathCase.error.empty()) {
        expectRefusal(result, pathCase.error, pathCase.refusedWith);
        EXPECT_EQ(contentsOf(folder), before) << "nothing written, nothing replaced";
        return;
    }
    ASSERT_EQ(result.exitCode, 0) << result.err;
    std::map<std::string, std::string> after = contentsOf(folder), untouched = before;
    for (const std::string& name : pathCase.written) {
        EXPECT_FALSE(after[name].empty()) << name << " was not written";
        EXPECT_NE(after[name], untouched[name]) << name << " was not replaced";
        const auto permissions = [](const std::string& entry) { return entry.substr(entry.rfind(" mode ")); };
        if (before.count(name) > 0) {
            EXPECT_EQ(permissions(after[name]), permissions(untouched[name])) << name << " lost its permissions";
        }
        after.erase(name);
        untouched.erase(name);
    }
    EXPECT_EQ(after, untouched) << "only the outputs change";
}

std::vector<PathCase> pathCases()
{
    const std::string same = "name the same file: give two different files";
    const std::string module = "is the module library being hosted";
    const Laid real{Laid::Folder, "real", ""};
    const Laid link{Laid::Symlink, "link", "real"};
    const Laid library{Laid::ModuleCopy, "module.so", ""};
    auto refused = [](std::string name, std::vector<Laid> layout, std::vector<std::string> arguments, std::string error,
                      std::string defaultModule = "") {
        return PathCase{name, layout, arguments, error, {}, defaultModule};
    };
    // Outputs named onto each other or onto the module: the command line is at fault.
    auto misnamed = [&refused](std::string name, std::vector<Laid> layout, std::vector<std::string> arguments,
                               std::string error, std::string defaultModule = "") {
        PathCase refusal = refused(name, layout, arguments, error, defaultModule);
        refusal.refusedWith = 2;
        return refusal;
    };
    // Outputs that can be written are, where they land; small takes and charts.
    auto works = [](std::string name, std::vector<Laid> layout, std::vector<std::string> arguments,
                    std::vector<std::string> written) {
        const bool chart = arguments.front().starts_with("--chart");
        const std::vector<std::string> small = chart ? std::vector<std::string>{"--size", "2x2", "--steps", "256"}
                                                     : std::vector<std::string>{"--seconds", "0.01"};
        arguments.insert(arguments.end(), small.begin(), small.end());
        return PathCase{name, layout, arguments, "", written, ""};
    };
    return {
        // One file named twice.
        misnamed("LinkToTheOtherOutput", {{Laid::Symlink, "a.png", "a.wav"}}, {"--out", "a.wav", "--plot", "a.png"},
                 "--out a.wav and --plot a.png " + same),
        misnamed("LinkToAnExistingFile", {{Laid::File, "a.wav", "keep"}, {Laid::Symlink, "a.png", "a.wav"}},
                 {"--out", "./a.wav", "--plot", "@a.png"}, same),
        misnamed("LinkThroughAParentFolder", {real, {Laid::Symlink, "real/a.png", "../a.wav"}},
                 {"--out", "a.wav", "--plot", "real/a.png"}, same),
        misnamed("LinkThroughASymlinkedFolder", {real, link, {Laid::Symlink, "a.png", "link/a.wav"}},
                 {"--out", "real/a.wav", "--plot", "a.png"}, same),
        misnamed("HardLink", {{Laid::File, "a.wav", "keep"}, {Laid::HardLink, "b.png", "a.wav"}},
                 {"--out", "a.wav", "--plot", "b.png"}, "--out a.wav and --plot b.png " + same),
        misnamed("ChartLinkToTheTable", {{Laid::Symlink, "c.png", "./c.csv"}},
                 {"--chart", "c.png", "--chart-data", "c.csv"}, same),
        misnamed("ChartHardLink", {{Laid::File, "c.csv", "keep"}, {Laid::HardLink, "c.png", "c.csv"}},
                 {"--chart", "c.png", "--chart-data", "c.csv"}, same),
        misnamed("OutputOntoTheModule", {library, {Laid::Symlink, "lib.wav", "module.so"}},
                 {"--module", "./module.so", "--out", "lib.wav"}, "--out: lib.wav " + module),
        misnamed("PlotOntoTheDefaultModule", {library, {Laid::Symlink, "lib.png", "module.so"}},
                 {"--plot", "./lib.png"}, module, "module.so"),
        misnamed("ChartDataOntoTheModuleByHardLink", {library, {Laid::HardLink, "lib.csv", "module.so"}},
                 {"--module", "./module.so", "--chart-data", "lib.csv"}, "--chart-data: lib.csv " + module),
        // What is no regular file, or may not be written.
        refused("Folder", {{Laid::Folder, "a.wav", ""}}, {"--out", "a.wav"}, "cannot write a.wav: it is a folder"),
        refused("Fifo", {{Laid::Fifo, "a.wav", ""}}, {"--out", "a.wav"}, "it is a FIFO (named pipe)"),
        refused("Device", {{Laid::Device, "a.png", ""}}, {"--plot", "a.png"}, "it is a character device"),
        refused("LinkToADevice", {{Laid::Symlink, "a.wav", "/dev/null"}}, {"--out", "a.wav"},
                "it links to /dev/null, a character device"),
        refused("LinkToAFolder", {real, {Laid::Symlink, "c.csv", "real"}}, {"--chart-data", "c.csv"},
                "it links to real, a folder"),
        refused("ReadOnlyFile", {{Laid::ReadOnlyFile, "a.wav", "keep"}}, {"--out", "a.wav"},
                "cannot write a.wav: it is read-only (mode 444)"),
        refused("LinkToAReadOnlyFile", {{Laid::ReadOnlyFile, "a.wav", "keep"}, {Laid::Symlink, "b.wav", "a.wav"}},
                {"--out", "b.wav"}, "it links to a.wav, read-only"),
        refused("LinkLoop", {{Laid::Symlink, "a.wav", "b.wav"}, {Laid::Symlink, "b.wav", "a.wav"}}, {"--out", "a.wav"},
                "its symbolic links go round in a loop"),
        // Written.
        works("DistinctFiles", {}, {"--out", "a.wav", "--plot", "a.png"}, {"a.wav", "a.png"}),
        works("ReplacesAFileKeepingItsPermissions", {{Laid::PrivateFile, "a.wav", "old"}}, {"--out", "a.wav"},
              {"a.wav"}),
        works("DistinctThroughASymlinkedFolder", {real, link, {Laid::File, "real/a.wav", "old"}},
              {"--out", "link/a.wav", "--plot", "real/a.png"}, {"real/a.wav", "real/a.png"}),
        works("ThroughALinkThatStaysALink",
              {real, {Laid::File, "real/a.wav", "old"}, {Laid::Symlink, "a.wav", "real/a.wav"}}, {"--out", "a.wav"},
              {"real/a.wav"}),
        works("ThroughALinkToALink",
              {{Laid::File, "a.wav", "old"}, {Laid::Symlink, "b.wav", "a.wav"}, {Laid::Symlink, "c.wav", "b.wav"}},
              {"--out", "c.wav"}, {"a.wav"}),
        works("DanglingLinkCreatesItsTarget", {real, {Laid::Symlink, "c.csv", "real/table.csv"}},
              {"--chart-data", "c.csv"}, {"real/table.csv"}),
        works("ModuleNameInAnotherFolder", {real, library}, {"--out", "real/module.wav", "--module", "./module.so"},
              {"real/module.wav"}),
        works("ChartDistinctFiles", {}, {"--chart", "c.png", "--chart-data", "c.csv"}, {"c.png", "c.csv"}),
    };
}

INSTANTIATE_TEST_SUITE_P(Outputs, OutputPaths, ::testing::ValuesIn(pathCases()),
                         [](const ::testing::TestParamInfo<PathCase>& info) { return info.param.name; });

}  // namespace
