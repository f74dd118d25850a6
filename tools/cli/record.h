// The line record: one JSON line per hub per run, appended to a file that
// several runs on one PC may share.
#pragma once

#include <ctime>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

namespace cli {

// when in UTC, formatted by strftime's format.
std::string UtcText(std::time_t when, const char* format);

// "YYYY-MM-DDTHH:MM:SSZ".
std::string IsoTime(std::time_t when);

// Appends the lines (objects, one per line) with a single append, so that
// the lines of runs appending at the same time never interleave.  False with
// the reason.
bool AppendRecord(const std::string& file, const std::vector<nlohmann::json>& lines, std::string& error);

}  // namespace cli
