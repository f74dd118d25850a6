#include "settings/DebugLog.h"

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

// The INI file found by the last call.  The switch itself is read afresh at
// every call; only the search of the program folder is saved while the file
// found last is still there.
bool LocateIni(std::string& path) {
    static std::mutex mutex;
    static std::string found;
    static tessaro::IFileSystem* by = nullptr;
    std::lock_guard<std::mutex> lock(mutex);
    tessaro::IFileSystem* files = tessaro::Sys().files;
    if (by == files && !found.empty() && files->Exists(found)) {
        path = found;
        return true;
    }
    CIniFile ini;
    if (!ini.FindIniFile(path)) {
        found.clear();
        return false;
    }
    found = path;
    by = files;
    return true;
}

}  // namespace

void DebugLog(const char* format, ...) {
    std::string path;
    if (!LocateIni(path)) return;
    CIniFile ini;
    ini.SetFileName(path);
    if (CIniFile::ToInt(ini.GetString("DbgMode", "VX7100")) == 0) return;

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
