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

#if defined(_WIN32)
#define OpenPipe _popen
#define ClosePipe _pclose
#else
#define OpenPipe popen
#define ClosePipe pclose
#endif

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

// Runs a command whose output is not needed; false when it cannot be started.
bool Run(const char* command) {
    FILE* pipe = OpenPipe(command, "r");
    if (!pipe) return false;
    ClosePipe(pipe);
    return true;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) return -1;
    int value = std::atoi(argv[1]);

    char line[1024] = {};
    FILE* pipe = OpenPipe("POWERCFG -GETACTIVESCHEME", "r");
    if (!pipe) {
        std::printf("popen failed\n");
        return -1;
    }
    if (!std::fgets(line, sizeof line, pipe)) line[0] = '\0';
    ClosePipe(pipe);

    const char* mark = std::strstr(line, "GUID");
    if (!mark || std::strlen(mark) < 6 + 36 || !IsGuid(mark + 6)) {
        std::printf("invalid power scheme string\n");
        return -1;
    }
    char scheme[37];
    std::memcpy(scheme, mark + 6, 36);
    scheme[36] = '\0';

    char command[512];
    std::snprintf(command, sizeof command, "POWERCFG -SETACVALUEINDEX %s %s %s %d", scheme, kSubgroup, kSetting, value);
    if (!Run(command)) {
        std::printf("popen failed\n");
        return -1;
    }
    std::snprintf(command, sizeof command, "POWERCFG -SETDCVALUEINDEX %s %s %s %d", scheme, kSubgroup, kSetting, value);
    if (!Run(command)) {
        std::printf("popen failed\n");
        return -1;
    }
    std::snprintf(command, sizeof command, "POWERCFG -SETACTIVE %s", scheme);
    if (!Run(command)) {
        std::printf("popen failed\n");
        return -1;
    }
    return 0;
}
