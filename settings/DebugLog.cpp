#include "settings/DebugLog.h"

#include <chrono>
#include <cstdarg>
#include <cstdio>
#include <mutex>
#include <vector>

#include "platform/ports.h"
#include "platform/winconst.h"
#include "settings/CIniFile.h"

namespace {

// Lines of several threads never mix: each is formatted and sent whole.
std::mutex g_logMutex;

constexpr int kMaxMessage = 510;

// The switch follows the INI file while the program runs, but an update
// logs thousands of lines: the file is looked for and read again at most
// every 100 ms, and at once when the settings may have changed (other ports,
// a rewritten file).
constexpr auto kRecheck = std::chrono::milliseconds(100);

bool LoggingOn() {
    static std::mutex mutex;
    static bool on = false;
    static bool checked = false;
    static uint64_t generation = 0;
    static std::chrono::steady_clock::time_point at;
    std::lock_guard<std::mutex> lock(mutex);
    auto now = std::chrono::steady_clock::now();
    uint64_t current = tessaro::SettingsGeneration();
    if (checked && generation == current && now - at < kRecheck) return on;
    checked = true;
    generation = current;
    at = now;
    CIniFile ini;
    std::string path;
    on = false;
    if (ini.FindIniFile(path)) {
        ini.SetFileName(path);
        on = CIniFile::ToInt(ini.GetString("DbgMode", "VX7100")) != 0;
    }
    return on;
}

}  // namespace

bool DebugLogOn() { return LoggingOn(); }

void DebugLog(const char* format, ...) {
    if (!LoggingOn()) return;

    char line[kMaxMessage + 3];
    va_list args;
    va_start(args, format);
    int n = std::vsnprintf(line, kMaxMessage + 1, format, args);
    va_end(args);
    if (n < 0) n = 0;
    if (n > kMaxMessage) n = kMaxMessage;
    line[n] = '\r';
    line[n + 1] = '\n';
    line[n + 2] = '\0';
    std::lock_guard<std::mutex> lock(g_logMutex);
    tessaro::Sys().debug->Output(line);
}

std::string Format(const char* format, ...) {
    va_list args;
    va_start(args, format);
    va_list copy;
    va_copy(copy, args);
    int n = std::vsnprintf(nullptr, 0, format, copy);
    va_end(copy);
    std::string out;
    if (n > 0) {
        std::vector<char> buf(static_cast<size_t>(n) + 1);
        std::vsnprintf(buf.data(), buf.size(), format, args);
        out.assign(buf.data(), static_cast<size_t>(n));
    }
    va_end(args);
    return out;
}

void ShowLastError() {
    uint32_t code = tessaro::LastError();
    DebugLog("ERROR = %d", static_cast<int>(code));
    std::string text = tessaro::Sys().errors->Text(code);
    tessaro::Sys().box->Show(text, "Error", tessaro::win::kMbSystemModal | tessaro::win::kMbIconInformation);
}

bool WriteResultLog(int resultCode) {
    const char* text = resultCode == Success ? "SUCCESS" : resultCode == Fail ? "FAIL" : "";
    std::string desktop;
    if (!tessaro::Sys().shell->DesktopFolder(desktop)) {
        DebugLog("SHGetFolderPath fails, cannot create log file.");
        return false;
    }
    std::string path = desktop + "\\USBHubUpdate.log";
    uint32_t error = 0;
    std::string content(text);
    if (!tessaro::Sys().files->WriteAll(path, content.data(), content.size(), error)) {
        std::string reason = tessaro::Sys().errors->Text(error);
        if (reason.size() > 1024) reason.resize(1024);
        DebugLog("Couldn't open log file: %s", reason.c_str());
        return false;
    }
    return true;
}
