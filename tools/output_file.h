// A file the tool writes: created under a temporary name in the folder of its
// final path and renamed into place by commit(), so a failed or interrupted
// render leaves nothing behind and never touches an existing file.
#pragma once

#include <string>

namespace render {

class OutputFile {
public:
    // Throws std::runtime_error naming the path and why it cannot be written.
    explicit OutputFile(const std::string& path);
    ~OutputFile();  // removes the temporary file unless committed
    OutputFile(const OutputFile&) = delete;
    OutputFile& operator=(const OutputFile&) = delete;

    const std::string& path() const { return finalPath; }

    // The open descriptor of the temporary file; whoever takes it closes it.
    int takeDescriptor();

    void commit();

private:
    std::string finalPath;
    std::string temporaryPath;
    int descriptor = -1;
    bool committed = false;
};

// Whether two paths name one file, so writing both would lose one: the same
// path once made absolute with ".", ".." and the symbolic links of its
// existing part resolved, or, where both exist, one file by two names (a hard
// link, a folder mounted twice).
bool nameOneFile(const std::string& first, const std::string& second);

}  // namespace render
