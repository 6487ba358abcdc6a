// Runs tessel-render as a user runs it, a separate process, in a folder of
// its own that the test removes afterwards.
#pragma once

#include <filesystem>
#include <fstream>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include <csignal>

#include <fcntl.h>
#include <stdlib.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

namespace tool_run {

namespace fs = std::filesystem;

class TemporaryFolder {
public:
    TemporaryFolder()
    {
        std::string pattern = (fs::temp_directory_path() / "tessel-render-test-XXXXXX").string();
        path = mkdtemp(pattern.data());
    }
    ~TemporaryFolder()
    {
        std::error_code ignored;
        fs::permissions(path, fs::perms::owner_all, fs::perm_options::add, ignored);
        fs::remove_all(path, ignored);
    }
    std::string operator/(const std::string& name) const { return (fs::path(path) / name).string(); }

    std::set<std::string> entries() const
    {
        std::set<std::string> names;
        for (const auto& entry : fs::directory_iterator(path)) names.insert(entry.path().filename().string());
        return names;
    }

    fs::path path;
};

struct Result {
    int exitCode = -1;
    std::string out, err;
};

inline std::string readText(const std::string& path)
{
    std::ifstream file(path, std::ios::binary);
    std::stringstream text;
    text << file.rdbuf();
    return text.str();
}

// Where the tool runs, for a test that needs other than the test's own.
struct Surroundings {
    std::string workingFolder;             // empty: the test's own
    std::vector<std::string> environment;  // NAME=value, over the test's own
    uint64_t fileSizeLimit = 0;            // bytes the tool may write to a file (ulimit -f); 0: the test's own
    std::string interruptOnSeeing;         // Ctrl-C once stderr holds this; empty: never
};

// Runs the tool with `arguments`, its stdout and stderr captured in files.
inline Result runTool(const std::vector<std::string>& arguments, const Surroundings& surroundings = {})
{
    TemporaryFolder capture;
    const std::string outPath = capture / "stdout", errPath = capture / "stderr";
    std::vector<std::string> words{TESSEL_RENDER_PATH};
    words.insert(words.end(), arguments.begin(), arguments.end());
    std::vector<char*> argv;
    for (std::string& word : words) argv.push_back(word.data());
    argv.push_back(nullptr);

    const pid_t child = fork();
    if (child == 0) {
        const int out = open(outPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
        const int err = open(errPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
        dup2(out, STDOUT_FILENO);
        dup2(err, STDERR_FILENO);
        if (!surroundings.workingFolder.empty() && chdir(surroundings.workingFolder.c_str()) != 0) _exit(126);
        for (const std::string& setting : surroundings.environment) {
            const size_t equals = setting.find('=');
            setenv(setting.substr(0, equals).c_str(), setting.substr(equals + 1).c_str(), 1);
        }
        const rlimit fileSize{surroundings.fileSizeLimit, surroundings.fileSizeLimit};
        if (surroundings.fileSizeLimit > 0 && setrlimit(RLIMIT_FSIZE, &fileSize) != 0) _exit(126);
        execv(argv[0], argv.data());
        _exit(127);
    }
    int status = 0;
    bool ended = false;
    while (!surroundings.interruptOnSeeing.empty() && !(ended = waitpid(child, &status, WNOHANG) == child)) {
        if (readText(errPath).find(surroundings.interruptOnSeeing) != std::string::npos) {
            kill(child, SIGINT);
            break;
        }
        usleep(20000);
    }
    if (!ended) waitpid(child, &status, 0);
    Result result;
    result.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    result.out = readText(outPath);
    result.err = readText(errPath);
    return result;
}

inline std::vector<std::string> lines(const std::string& text)
{
    std::vector<std::string> result;
    std::istringstream stream(text);
    for (std::string line; std::getline(stream, line);) result.push_back(line);
    return result;
}

}  // namespace tool_run
