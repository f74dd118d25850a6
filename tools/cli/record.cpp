// tessaro-cli: the line record.
#include "tools/cli/record.h"

#include "files/FilePort.h"
#include "platform/append_file.h"
#include "platform/ports.h"

namespace cli {

std::string UtcText(std::time_t when, const char* format) {
    std::tm utc{};
#if defined(_WIN32)
    if (const std::tm* t = std::gmtime(&when)) utc = *t;  // the C runtime's result is per thread
#else
    gmtime_r(&when, &utc);
#endif
    char text[64];
    if (std::strftime(text, sizeof text, format, &utc) == 0) return std::string();
    return text;
}

std::string IsoTime(std::time_t when) { return UtcText(when, "%Y-%m-%dT%H:%M:%SZ"); }

bool AppendRecord(const std::string& file, const std::vector<nlohmann::json>& lines, std::string& error) {
    std::string text;
    for (const nlohmann::json& line : lines)
        text += line.dump(-1, ' ', false, nlohmann::json::error_handler_t::replace) + "\n";
    if (text.empty()) return true;
    uint32_t code = 0;
    if (tessaro::AppendWhole(tessaro::Sys().files->NativePath(file), text, code)) return true;
    error = "cannot append to the record " + file + ": " + SystemErrorText(code);
    return false;
}

}  // namespace cli
