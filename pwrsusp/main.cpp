// pwrsusp: sets the USB selective suspend setting of the active power scheme,
// for AC and DC power, to the value on its command line, and activates the
// scheme again so that the change takes effect.
//
//   pwrsusp 0    switch selective suspend off
//   pwrsusp 1    switch it on
//
// Exit code 0 on success, -1 on any failure.
#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "pwrsusp/system.h"

namespace {

const char kSubgroup[] = "2a737441-1930-4402-8d77-b2bebba308a3";
const char kSetting[] = "48e6b7a6-50f5-4782-a5d4-53bb8f07e226";

// The scheme GUID goes into command lines run as administrator: only the
// 8-4-4-4-12 pattern of hexadecimal digits is accepted.
bool IsGuid(const char* text) {
    for (int i = 0; i < 36; ++i) {
        char c = text[i];
        if (i == 8 || i == 13 || i == 18 || i == 23) {
            if (c != '-') return false;
        } else if (!std::isxdigit(static_cast<unsigned char>(c))) {
            return false;
        }
    }
    return true;
}

}  // namespace

int main(int argc, char** argv) {
    // Before anything else can load a DLL.
    pwrsusp::HardenProcess();
    if (argc != 2) return -1;
    int value = std::atoi(argv[1]);

    std::string line;
    if (!pwrsusp::RunPowercfg("-GETACTIVESCHEME", &line)) {
        std::printf("popen failed\n");
        return -1;
    }

    const char* mark = std::strstr(line.c_str(), "GUID");
    if (!mark || std::strlen(mark) < 6 + 36 || !IsGuid(mark + 6)) {
        std::printf("invalid power scheme string\n");
        return -1;
    }
    const std::string scheme(mark + 6, 36);

    char arguments[512];
    std::snprintf(arguments, sizeof arguments, "-SETACVALUEINDEX %s %s %s %d", scheme.c_str(), kSubgroup, kSetting,
                  value);
    if (!pwrsusp::RunPowercfg(arguments, nullptr)) {
        std::printf("popen failed\n");
        return -1;
    }
    std::snprintf(arguments, sizeof arguments, "-SETDCVALUEINDEX %s %s %s %d", scheme.c_str(), kSubgroup, kSetting,
                  value);
    if (!pwrsusp::RunPowercfg(arguments, nullptr)) {
        std::printf("popen failed\n");
        return -1;
    }
    std::snprintf(arguments, sizeof arguments, "-SETACTIVE %s", scheme.c_str());
    if (!pwrsusp::RunPowercfg(arguments, nullptr)) {
        std::printf("popen failed\n");
        return -1;
    }
    return 0;
}
