// tessaro-cli: plain or JSON output of a command.
#include "tools/cli/output.h"

#include <cstdarg>
#include <cstdio>
#include <mutex>
#include <vector>

namespace cli {
namespace {

OutputMode g_mode = OutputMode::Text;
nlohmann::json g_result = nlohmann::json::object();
std::mutex g_stdout;  // one whole line at a time from the gang's threads

// Text of the tool and its hubs is taken as it is; bytes that are no UTF-8
// become U+FFFD rather than stopping the document.
std::string Dump(const nlohmann::json& doc) {
    return doc.dump(-1, ' ', false, nlohmann::json::error_handler_t::replace);
}

}  // namespace

OutputMode Mode() { return g_mode; }
bool JsonOutput() { return g_mode != OutputMode::Text; }
nlohmann::json& Result() { return g_result; }

void Say(const char* format, ...) {
    va_list args;
    va_start(args, format);
    va_list copy;
    va_copy(copy, args);
    const int n = std::vsnprintf(nullptr, 0, format, copy);
    va_end(copy);
    std::vector<char> text(static_cast<size_t>(n > 0 ? n : 0) + 1);
    std::vsnprintf(text.data(), text.size(), format, args);
    va_end(args);
    std::string line(text.data());
    if (!JsonOutput()) {
        std::lock_guard<std::mutex> lock(g_stdout);
        std::fputs(line.c_str(), stdout);
        std::fflush(stdout);
        return;
    }
    // One entry per line of text, without line ends.
    size_t at = 0;
    while (at < line.size()) {
        size_t end = line.find('\n', at);
        if (end == std::string::npos) end = line.size();
        g_result["lines"].push_back(line.substr(at, end - at));
        at = end + 1;
    }
}

void Event(const nlohmann::json& event) {
    if (g_mode != OutputMode::JsonLines) return;
    const std::string line = Dump(event) + "\n";
    std::lock_guard<std::mutex> lock(g_stdout);
    std::fputs(line.c_str(), stdout);
    std::fflush(stdout);
}

void BeginOutput(OutputMode mode) {
    g_mode = mode;
    g_result = nlohmann::json::object();
}

void EndOutput(const std::string& command, int exitCode) {
    if (JsonOutput()) {
        nlohmann::json doc = nlohmann::json::object();
        if (g_mode == OutputMode::JsonLines) doc["event"] = "result";
        doc["command"] = command;
        doc["ok"] = exitCode == 0;
        doc["exit_code"] = exitCode;
        for (auto it = g_result.begin(); it != g_result.end(); ++it) doc[it.key()] = it.value();
        if (!doc.contains("lines")) doc["lines"] = nlohmann::json::array();
        const std::string line = Dump(doc) + "\n";
        std::lock_guard<std::mutex> lock(g_stdout);
        std::fputs(line.c_str(), stdout);
        std::fflush(stdout);
    }
    g_mode = OutputMode::Text;
    g_result = nlohmann::json::object();
}

}  // namespace cli
