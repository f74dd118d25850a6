#include "platform/debug_file.h"

#include <cctype>
#include <cstdio>
#include <mutex>

#include "platform/ports.h"

namespace tessaro {

namespace {

// Names Windows gives to devices in every folder ("nul.txt" is NUL too).
bool IsDeviceName(const std::string& name) {
    std::string base = name.substr(0, name.find('.'));
    while (!base.empty() && base.back() == ' ') base.pop_back();
    for (char& c : base) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    if (base == "CON" || base == "PRN" || base == "AUX" || base == "NUL" || base == "CONIN$" || base == "CONOUT$")
        return true;
    return base.size() == 4 && (base.compare(0, 3, "COM") == 0 || base.compare(0, 3, "LPT") == 0) &&
           base[3] >= '1' && base[3] <= '9';
}

std::string Refuse(const std::string& value, const char* why) {
    return "TESSARO_DEBUG_LOG must be a bare file name, kept in the program folder (" + std::string(why) + "); \"" +
           value + "\" ignored\n";
}

}  // namespace

bool DebugLogFile(const std::string& value, DebugLogNames names, const std::string& folder, std::string& path,
                  std::string& refusal) {
    refusal.clear();
    if (names == DebugLogNames::AnyPath) {
        path = value;
        return !value.empty();
    }
    const char* why = nullptr;
    if (value.empty()) {
        why = "it is empty";
    } else if (value.find_first_of("\\/") != std::string::npos) {
        why = "no folder";
    } else if (value.find(':') != std::string::npos) {
        why = "no drive or stream";
    } else if (value.find("..") != std::string::npos) {
        why = "no \"..\"";
    } else if (value.find_first_of("*?\"<>|") != std::string::npos) {
        why = "a character no file name has";
    } else if (IsDeviceName(value)) {
        why = "a device name";
    } else {
        for (char c : value) {
            if (static_cast<unsigned char>(c) < 0x20) why = "a character no file name has";
        }
    }
    if (why) {
        refusal = Refuse(value, why);
        return false;
    }
    if (folder.empty()) {
        path = value;
    } else {
        const char last = folder.back();
        path = (last == '\\' || last == '/') ? folder + value : folder + "\\" + value;
    }
    return true;
}

std::string AppendDebugLogFile(const std::string& text, DebugLogNames names, const std::string& folder) {
    static std::mutex mutex;
    static std::string lastRefused;
    // An update writes thousands of lines: the file stays open for as long
    // as the variable names it, and each line is flushed so that nothing is
    // lost when the program ends abruptly.
    static std::string openFor;
    static std::FILE* file = nullptr;
    const std::string value = GetEnv("TESSARO_DEBUG_LOG");
    std::lock_guard<std::mutex> lock(mutex);
    if (value != openFor && file) {
        std::fclose(file);
        file = nullptr;
        openFor.clear();
    }
    if (value.empty()) return std::string();
    if (!file) {
        std::string path, refusal;
        if (!DebugLogFile(value, names, folder, path, refusal)) {
            if (value == lastRefused) return std::string();
            lastRefused = value;
            return refusal;
        }
        file = std::fopen(path.c_str(), "ab");
        if (!file) return std::string();
        openFor = value;
    }
    std::fwrite(text.data(), 1, text.size(), file);
    std::fflush(file);
    return std::string();
}

}  // namespace tessaro
