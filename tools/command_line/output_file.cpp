#include "output_file.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <stdexcept>
#include <vector>

#include <stdlib.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <unistd.h>

#include "numbers/write.h"

namespace command_line {

namespace {

namespace fs = std::filesystem;

// Symbolic links followed before a chain counts as a loop: the kernel's own limit.
constexpr int kMostLinks = 40;

std::string folderOf(const std::string& path)
{
    const std::string folder = fs::path(path).parent_path().string();
    return folder.empty() ? "." : folder;
}

// Why no file can be created beside `landing`, the file `path` lands on.
[[noreturn]] void cannotWrite(const std::string& path, const std::string& landing, int error)
{
    const std::string folder = folderOf(landing);
    std::string why;
    struct stat status;
    if (stat(folder.c_str(), &status) != 0)
        why = errno == ENOTDIR ? "a part of " + folder + " is not a folder" : "folder " + folder + " does not exist";
    else if (!S_ISDIR(status.st_mode)) why = folder + " is not a folder";
    else if (error == EACCES || error == EPERM || error == EROFS) why = "folder " + folder + " is not writable";
    else why = "cannot create a file in folder " + folder + ": " + std::strerror(error);
    throw std::runtime_error("cannot write " + path + ": " + why);
}

mode_t creationMode()
{
    const mode_t mask = umask(0);
    umask(mask);
    return 0666 & ~mask;
}

// Where writing `path` lands: the path itself, or the end of the chain of
// symbolic links it starts, which need not exist yet.
std::string landingOf(const std::string& path)
{
    fs::path current = path;
    for (int followed = 0; followed <= kMostLinks; ++followed) {
        std::error_code error;
        if (!fs::is_symlink(fs::symlink_status(current, error))) return current.string();
        const fs::path target = fs::read_symlink(current, error);
        if (error) return current.string();
        current = target.is_absolute() ? target : current.parent_path() / target;
    }
    throw std::runtime_error("cannot write " + path + ": its symbolic links go round in a loop");
}

// An existing file that is no regular file, in the words of a refusal.
const char* kindOf(mode_t mode)
{
    if (S_ISDIR(mode)) return "a folder";
    if (S_ISFIFO(mode)) return "a FIFO (named pipe)";
    if (S_ISSOCK(mode)) return "a socket";
    if (S_ISCHR(mode)) return "a character device";
    if (S_ISBLK(mode)) return "a block device";
    return "not a regular file";
}

bool inGroup(gid_t group)
{
    if (group == getegid()) return true;
    const int count = getgroups(0, nullptr);
    std::vector<gid_t> groups(static_cast<size_t>(std::max(count, 0)));
    return count > 0 && getgroups(count, groups.data()) == count &&
           std::find(groups.begin(), groups.end(), group) != groups.end();
}

// Whether the permission bits that apply to this process (its owner's, its
// group's or everyone's) allow writing. Root is held to them too, so a file
// made read-only stays as it is.
bool modeAllowsWriting(const struct stat& status)
{
    if (status.st_uid == geteuid()) return (status.st_mode & S_IWUSR) != 0;
    if (inGroup(status.st_gid)) return (status.st_mode & S_IWGRP) != 0;
    return (status.st_mode & S_IWOTH) != 0;
}

// Throws unless the existing file `landing`, which `path` names, may be replaced.
void refuseToReplace(const std::string& path, const std::string& landing, const struct stat& existing)
{
    const std::string what = path == landing ? "it is " : "it links to " + landing + ", ";
    if (!S_ISREG(existing.st_mode))
        throw std::runtime_error("cannot write " + path + ": " + what + kindOf(existing.st_mode) +
                                 "; give a regular file");
    if (!modeAllowsWriting(existing)) {
        char mode[8];
        std::snprintf(mode, sizeof mode, "%03o", static_cast<unsigned>(existing.st_mode & 0777));
        throw std::runtime_error("cannot write " + path + ": " + what + "read-only (mode " + mode +
                                 "); make it writable or give another file");
    }
}

std::string sizeText(uint64_t bytes)
{
    if (bytes < 1000000) return std::to_string(bytes) + " bytes";
    if (bytes < 1000000000) return numbers::fixedText(double(bytes) / 1e6, 1) + " MB";
    return numbers::fixedText(double(bytes) / 1e9, 2) + " GB";
}

// The path resolved as far as the filesystem allows; as written where it
// cannot be resolved at all (no working folder).
fs::path resolved(const std::string& path)
{
    std::error_code error;
    const fs::path absolute = fs::absolute(path, error);
    if (error) return fs::path(path).lexically_normal();
    const fs::path canonical = fs::weakly_canonical(absolute, error);
    return error ? absolute.lexically_normal() : canonical;
}

}  // namespace

OutputFile::OutputFile(const std::string& path) : finalPath(path), landingPath(landingOf(path))
{
    if (path.empty()) throw std::runtime_error("an output path is empty");
    struct stat existing;
    const bool exists = stat(landingPath.c_str(), &existing) == 0;
    if (exists) refuseToReplace(path, landingPath, existing);

    std::string pattern = landingPath + ".partial-XXXXXX";
    std::vector<char> name(pattern.begin(), pattern.end());
    name.push_back('\0');
    descriptor = mkstemp(name.data());
    if (descriptor < 0) cannotWrite(path, landingPath, errno);
    temporaryPath = name.data();
    // mkstemp makes the file private; the result should look like the file it
    // replaces, or like any new file.
    fchmod(descriptor, exists ? existing.st_mode & 0777 : creationMode());
}

OutputFile::~OutputFile()
{
    if (descriptor >= 0) close(descriptor);
    if (!committed) unlink(temporaryPath.c_str());
}

void OutputFile::checkRoomFor(int64_t bytes) const
{
    const auto needed = static_cast<uint64_t>(bytes);
    struct rlimit limit;
    if (getrlimit(RLIMIT_FSIZE, &limit) == 0 && limit.rlim_cur != RLIM_INFINITY && needed > limit.rlim_cur)
        throw std::runtime_error("cannot write " + finalPath + ": it needs " + sizeText(needed) + ", more than the " +
                                 sizeText(limit.rlim_cur) + " this process may write to a file (ulimit -f)");
    struct statvfs space;
    if (fstatvfs(descriptor, &space) == 0 && needed > uint64_t{space.f_bavail} * space.f_frsize)
        throw std::runtime_error("cannot write " + finalPath + ": it needs " + sizeText(needed) + ", more than the " +
                                 sizeText(uint64_t{space.f_bavail} * space.f_frsize) + " free on its file system");
}

int OutputFile::takeDescriptor()
{
    const int taken = descriptor;
    descriptor = -1;
    return taken;
}

void OutputFile::commit()
{
    if (std::rename(temporaryPath.c_str(), landingPath.c_str()) != 0)
        throw std::runtime_error("cannot write " + finalPath + ": " + std::strerror(errno));
    committed = true;
}

bool nameOneFile(const std::string& first, const std::string& second)
{
    const std::string firstLanding = landingOf(first), secondLanding = landingOf(second);
    if (resolved(firstLanding) == resolved(secondLanding)) return true;
    std::error_code missing;  // either path missing: two files, or none yet
    return std::filesystem::equivalent(firstLanding, secondLanding, missing);
}

}  // namespace command_line
