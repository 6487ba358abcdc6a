// A file the tool writes: created under a temporary name beside the file it
// lands on and renamed into place by commit(), so a failed or interrupted
// render leaves nothing behind and never touches an existing file. An output
// that is a symbolic link lands where the link points and stays a link, as a
// shell redirection would write it; one that names anything but a regular
// file, or a file whose mode bits forbid writing, is refused.
#pragma once

#include <cstdint>
#include <string>

namespace command_line {

class OutputFile {
public:
    // Throws std::runtime_error naming the path and why it cannot be written.
    explicit OutputFile(const std::string& path);
    ~OutputFile();  // removes the temporary file unless committed
    OutputFile(const OutputFile&) = delete;
    OutputFile& operator=(const OutputFile&) = delete;

    const std::string& path() const { return finalPath; }

    // Throws std::runtime_error when `bytes` cannot be written to the file:
    // beyond the file size this process may write, or more than its file
    // system has free. Asked before the work, so it is refused before, not after.
    void checkRoomFor(int64_t bytes) const;

    // The open descriptor of the temporary file; whoever takes it closes it.
    int takeDescriptor();

    void commit();

private:
    std::string finalPath;    // as the user gave it
    std::string landingPath;  // where the symbolic links lead: the file written
    std::string temporaryPath;
    int descriptor = -1;
    bool committed = false;
};

// Whether two paths name one file, so writing both would lose one: the files
// they land on (see OutputFile), each made absolute with ".", ".." and the
// symbolic links of its existing part resolved, are one path or, where both
// exist, one file by two names (a hard link, a folder mounted twice).
bool nameOneFile(const std::string& first, const std::string& second);

}  // namespace command_line
