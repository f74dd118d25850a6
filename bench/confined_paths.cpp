#include "bench/confined_paths.h"

#include <filesystem>
#include <system_error>

namespace bench {

namespace fs = std::filesystem;

namespace {

// Whether path lies at or below folder, both already resolved.
bool Below(const fs::path& folder, const fs::path& path) {
    auto f = folder.begin(), p = path.begin();
    for (; f != folder.end(); ++f, ++p) {
        if (f->empty() && std::next(f) == folder.end()) return true;  // a trailing separator
        if (p == path.end() || *f != *p) return false;
    }
    return true;
}

}  // namespace

std::string OutsideBenchFolder(const std::string& baseFolder, const std::string& name) {
    if (name.empty()) return "is empty";
    if (name[0] == '/' || name[0] == '\\') return "is an absolute path";
    if (name.find(':') != std::string::npos) return "names a drive or a stream";
    size_t start = 0;
    while (start <= name.size()) {
        size_t end = name.find_first_of("/\\", start);
        if (end == std::string::npos) end = name.size();
        if (name.compare(start, end - start, "..") == 0) return "leaves the folder with \"..\"";
        start = end + 1;
    }
    // A link inside the folder may still lead out of it.  What cannot be
    // resolved (a folder not made yet) is taken as it is written.
    std::string relative = name;
#if !defined(_WIN32)
    for (char& c : relative) {
        if (c == '\\') c = '/';
    }
#endif
    std::error_code error;
    const fs::path base = fs::weakly_canonical(fs::path(baseFolder.empty() ? "." : baseFolder), error);
    if (error) return std::string();
    const fs::path target = fs::weakly_canonical(base / fs::path(relative), error);
    if (error) return std::string();
    if (!Below(base, target)) return "leads out of the folder through a link";
    return std::string();
}

}  // namespace bench
