#include "platform/debug_file.h"

#include <cstdio>
#include <mutex>

#include "platform/ports.h"

namespace tessaro {

void AppendDebugLogFile(const std::string& text) {
    static std::mutex mutex;
    std::string path = GetEnv("TESSARO_DEBUG_LOG");
    if (path.empty()) return;
    std::lock_guard<std::mutex> lock(mutex);
    if (std::FILE* f = std::fopen(path.c_str(), "ab")) {
        std::fwrite(text.data(), 1, text.size(), f);
        std::fclose(f);
    }
}

}  // namespace tessaro
