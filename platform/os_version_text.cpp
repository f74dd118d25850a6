#include "platform/os_version_text.h"

#include <cstdio>
#include <cstring>

namespace tessaro {

bool ParseOsVersion(const std::string& text, OsVersionInfoEx& info) {
    unsigned major = 0, minor = 0, build = 0, sp = 0;
    int used = 0;
    if (std::sscanf(text.c_str(), "%u.%u%n", &major, &minor, &used) < 2) return false;
    const char* rest = text.c_str() + used;
    if (*rest == '.') {
        int more = 0;
        if (std::sscanf(rest, ".%u%n", &build, &more) < 1) return false;
        rest += more;
    }
    while (*rest == ' ') ++rest;
    if (*rest) {
        if (std::sscanf(rest, "sp%u", &sp) != 1 && std::sscanf(rest, "SP%u", &sp) != 1) return false;
    }
    uint32_t size = info.dwOSVersionInfoSize;
    std::memset(&info, 0, sizeof info);
    info.dwOSVersionInfoSize = size;
    info.dwMajorVersion = major;
    info.dwMinorVersion = minor;
    info.dwBuildNumber = build;
    info.dwPlatformId = 2;  // VER_PLATFORM_WIN32_NT
    info.wServicePackMajor = static_cast<uint16_t>(sp);
    if (sp) std::snprintf(info.szCSDVersion, sizeof info.szCSDVersion, "Service Pack %u", sp);
    info.wProductType = 1;  // workstation
    return true;
}

}  // namespace tessaro
