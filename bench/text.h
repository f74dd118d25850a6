// Small text helpers the bench's parts share.
#pragma once

#include <string>

namespace bench {

inline std::string Lower(std::string text) {
    for (char& c : text) c = static_cast<char>(c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c);
    return text;
}

// A file name against a pattern with * and ? (case as given).
inline bool Wildcard(const char* pattern, const char* name) {
    if (*pattern == '\0') return *name == '\0';
    if (*pattern == '*') return Wildcard(pattern + 1, name) || (*name && Wildcard(pattern, name + 1));
    if (*name == '\0') return false;
    return (*pattern == '?' || *pattern == *name) && Wildcard(pattern + 1, name + 1);
}

}  // namespace bench
