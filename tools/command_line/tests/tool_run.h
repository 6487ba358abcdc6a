// Runs tessel-render as a user runs it, a separate process, in a folder of
// its own that the test removes afterwards, and reads what it wrote.
#pragma once

#include <filesystem>
#include <fstream>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include <csignal>

#include <gtest/gtest.h>
#include <sndfile.h>

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

// A stereo WAV the tool wrote, its channels apart.
struct Wav {
    SF_INFO info{};
    std::vector<float> x, y;
};

inline Wav readWav(const std::string& path)
{
    Wav wav;
    SNDFILE* file = sf_open(path.c_str(), SFM_READ, &wav.info);
    if (!file) {
        ADD_FAILURE() << path << ": " << sf_strerror(nullptr);
        return wav;
    }
    std::vector<float> frames(size_t(wav.info.frames) * wav.info.channels);
    EXPECT_EQ(sf_readf_float(file, frames.data(), wav.info.frames), wav.info.frames);
    sf_close(file);
    if (wav.info.channels != 2) return wav;
    for (size_t i = 0; i < frames.size(); i += 2) {
        wav.x.push_back(frames[i]);
        wav.y.push_back(frames[i + 1]);
    }
    return wav;
}

inline std::vector<std::string> lines(const std::string& text)
{
    std::vector<std::string> result;
    std::istringstream stream(text);
    for (std::string line; std::getline(stream, line);) result.push_back(line);
    return result;
}

// The arguments with each "@name" made that name's path in `folder`.
inline std::vector<std::string> inFolder(std::vector<std::string> arguments, const TemporaryFolder& folder)
{
    for (std::string& word : arguments) {
        const size_t at = word.find('@');  // a word, or what follows PIN=
        if (at == 0 || (at != std::string::npos && word[at - 1] == '='))
            word = word.substr(0, at) + folder / word.substr(at + 1);
    }
    return arguments;
}

// A mono 32-bit float WAV file of `samples`, as a patched input's.
inline void writeWav(const std::string& path, const std::vector<float>& samples, int rate = 44100)
{
    SF_INFO info{};
    info.samplerate = rate;
    info.channels = 1;
    info.format = SF_FORMAT_WAV | SF_FORMAT_FLOAT;
    SNDFILE* file = sf_open(path.c_str(), SFM_WRITE, &info);
    ASSERT_NE(file, nullptr) << path << ": " << sf_strerror(nullptr);
    sf_writef_float(file, samples.data(), static_cast<sf_count_t>(samples.size()));
    sf_close(file);
}

// A refusal: `exitCode` and one line on stderr, the tool's name and `message` in it.
inline void expectRefusal(const Result& result, const std::string& message, int exitCode)
{
    EXPECT_EQ(result.exitCode, exitCode);
    const std::vector<std::string> errorLines = lines(result.err);
    ASSERT_EQ(errorLines.size(), 1u) << result.err;
    EXPECT_TRUE(errorLines[0].starts_with("tessel-render: ")) << errorLines[0];
    EXPECT_NE(errorLines[0].find(message), std::string::npos) << errorLines[0];
}

}  // namespace tool_run
