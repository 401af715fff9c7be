#include "tools/cli/input_file.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace cli {

bool ReadInputFile(const std::string& path, std::string& contents, std::string& reason) {
    const int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) {
        reason = std::strerror(errno);
        return false;
    }
    contents.clear();
    char buffer[1 << 16];
    for (;;) {
        const ssize_t got = read(fd, buffer, sizeof buffer);
        if (got < 0 && errno == EINTR) continue;
        if (got < 0) {
            reason = std::strerror(errno);
            close(fd);
            return false;
        }
        if (got == 0) break;
        contents.append(buffer, static_cast<size_t>(got));
    }
    close(fd);
    return true;
}

}  // namespace cli
