#include "output_file.h"

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <stdexcept>
#include <vector>

#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

namespace render {

namespace {

std::string folderOf(const std::string& path)
{
    const std::string folder = std::filesystem::path(path).parent_path().string();
    return folder.empty() ? "." : folder;
}

[[noreturn]] void cannotWrite(const std::string& path, int error)
{
    const std::string folder = folderOf(path);
    std::string why;
    struct stat status;
    if (stat(folder.c_str(), &status) != 0)
        why = errno == ENOTDIR ? "a part of " + folder + " is not a folder" : "folder " + folder + " does not exist";
    else if (!S_ISDIR(status.st_mode))
        why = folder + " is not a folder";
    else if (error == EACCES || error == EPERM || error == EROFS)
        why = "folder " + folder + " is not writable";
    else
        why = "cannot create a file in folder " + folder + ": " + std::strerror(error);
    throw std::runtime_error("cannot write " + path + ": " + why);
}

mode_t creationMode()
{
    const mode_t mask = umask(0);
    umask(mask);
    return 0666 & ~mask;
}

// The path resolved as far as the filesystem allows; as written where it
// cannot be resolved at all (no working folder).
std::filesystem::path resolved(const std::string& path)
{
    std::error_code error;
    const std::filesystem::path absolute = std::filesystem::absolute(path, error);
    if (error) return std::filesystem::path(path).lexically_normal();
    const std::filesystem::path canonical = std::filesystem::weakly_canonical(absolute, error);
    return error ? absolute.lexically_normal() : canonical;
}

}  // namespace

OutputFile::OutputFile(const std::string& path) : finalPath(path)
{
    if (path.empty()) throw std::runtime_error("an output path is empty");
    struct stat existing;
    if (stat(path.c_str(), &existing) == 0 && S_ISDIR(existing.st_mode))
        throw std::runtime_error("cannot write " + path + ": it is a folder");

    std::string pattern = path + ".partial-XXXXXX";
    std::vector<char> name(pattern.begin(), pattern.end());
    name.push_back('\0');
    descriptor = mkstemp(name.data());
    if (descriptor < 0) cannotWrite(path, errno);
    temporaryPath = name.data();
    // mkstemp makes the file private; the result should look like any new file.
    fchmod(descriptor, creationMode());
}

OutputFile::~OutputFile()
{
    if (descriptor >= 0) close(descriptor);
    if (!committed) unlink(temporaryPath.c_str());
}

int OutputFile::takeDescriptor()
{
    const int taken = descriptor;
    descriptor = -1;
    return taken;
}

void OutputFile::commit()
{
    if (std::rename(temporaryPath.c_str(), finalPath.c_str()) != 0)
        throw std::runtime_error("cannot write " + finalPath + ": " + std::strerror(errno));
    committed = true;
}

bool nameOneFile(const std::string& first, const std::string& second)
{
    if (resolved(first) == resolved(second)) return true;
    std::error_code missing;  // either path missing: two files, or none yet
    return std::filesystem::equivalent(first, second, missing);
}

}  // namespace render
