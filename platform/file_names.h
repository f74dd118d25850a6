// Order of file names as the tool lists them: without regard to case, so
// that "A.ini" comes before "b.ini" on every system; equal names then by byte.
#pragma once

#include <cctype>
#include <string>

namespace tessaro {

inline bool FileNameLess(const std::string& a, const std::string& b) {
    for (size_t i = 0; i < a.size() && i < b.size(); ++i) {
        int ca = std::tolower(static_cast<unsigned char>(a[i]));
        int cb = std::tolower(static_cast<unsigned char>(b[i]));
        if (ca != cb) return ca < cb;
    }
    if (a.size() != b.size()) return a.size() < b.size();
    return a < b;
}

}  // namespace tessaro
