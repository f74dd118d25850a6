// What a subcommand prints: plain lines for people, or with --json one JSON
// document per command (and with --json-lines one JSON line per progress
// event, the document last).  Subcommands print through Say and put their
// results in Result(); Main prints the document once the command is done.
#pragma once

#include <string>

#include <nlohmann/json.hpp>

namespace cli {

enum class OutputMode { Text, Json, JsonLines };

OutputMode Mode();
bool JsonOutput();  // Json or JsonLines

// The command's document (cleared by Main before each command).
nlohmann::json& Result();

// A line of text (printf format): printed as it is in text mode, kept under
// "lines" in the document otherwise.
#if defined(__MINGW32__)
void Say(const char* format, ...) __attribute__((format(gnu_printf, 1, 2)));
#else
void Say(const char* format, ...) __attribute__((format(printf, 1, 2)));
#endif

// A progress event: with --json-lines one line on standard output at once
// (safe from any thread); nothing otherwise.
void Event(const nlohmann::json& event);

// Used by Main only.
void BeginOutput(OutputMode mode);
void EndOutput(const std::string& command, int exitCode);

}  // namespace cli
