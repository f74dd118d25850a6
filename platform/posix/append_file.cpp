#include "platform/append_file.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>

namespace tessaro {

bool AppendWhole(const std::string& nativePath, const std::string& text, uint32_t& error) {
    error = 0;
    // O_APPEND: the kernel places every write at the end of the file as one
    // step, so concurrent appenders never overwrite or split each other.
    const int fd = ::open(nativePath.c_str(), O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC, 0644);
    if (fd < 0) {
        error = static_cast<uint32_t>(errno);
        return false;
    }
    ssize_t written = ::write(fd, text.data(), text.size());
    if (written < 0) error = static_cast<uint32_t>(errno);
    const bool whole = written == static_cast<ssize_t>(text.size());
    if (::close(fd) != 0 && whole) {
        error = static_cast<uint32_t>(errno);
        return false;
    }
    if (!whole && !error) error = 28;  // ENOSPC: the write stopped short
    return whole;
}

std::string HostName() {
    char name[256] = {};
    if (::gethostname(name, sizeof name - 1) != 0) return std::string();
    return name;
}

}  // namespace tessaro
