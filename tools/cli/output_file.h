#pragma once
// A file written in full or not at all: the data goes into a hidden temporary file
// beside the one named, which takes the name only once every byte is on disk. A
// failure, an interrupt (SIGINT, SIGTERM, SIGHUP) or a file size limit (SIGXFSZ is
// ignored, so a write fails instead) leaves no part of it behind, and an earlier file
// of that name stays as it was until the new one replaces it.
#include <memory>
#include <string>

namespace cli {

class OutputFile {
public:
    // Null, with the system's reason, when no file can be made in the directory.
    static std::unique_ptr<OutputFile> Create(const std::string& path, std::string& reason);
    ~OutputFile();  // removes the temporary file unless it was committed
    OutputFile(const OutputFile&) = delete;
    OutputFile& operator=(const OutputFile&) = delete;

    int Descriptor() const { return fd_; }
    // Writes every byte; false, with the reason, when the disk takes fewer.
    bool Write(const void* data, size_t count, std::string& reason);
    // Syncs and closes the file and gives it its name; false, with the reason, when
    // any of that fails, and then nothing is left behind.
    bool Commit(std::string& reason);

private:
    OutputFile(std::string path, std::string temporary, int fd);

    std::string path_;
    std::string temporary_;
    int fd_;
    bool committed_ = false;
};

}  // namespace cli
