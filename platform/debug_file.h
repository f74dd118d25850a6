// The diagnostic lines of a run, kept in the file named by TESSARO_DEBUG_LOG
// (both builds), beside the system's own debugger output.
#pragma once

#include <string>

namespace tessaro {

// Appends text to the TESSARO_DEBUG_LOG file when that variable is set.
void AppendDebugLogFile(const std::string& text);

}  // namespace tessaro
