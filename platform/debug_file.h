// The diagnostic lines of a run, kept in the file named by TESSARO_DEBUG_LOG
// (both builds), beside the system's own debugger output.
//
// On Windows the tool runs as administrator while the variable can be set by
// any program of the user: there it is only a bare file name, and the file is
// kept in the program folder.  Natively it is any path.
#pragma once

#include <string>

namespace tessaro {

enum class DebugLogNames {
    AnyPath,         // the value is the file, as it stands
    BareNameInFolder // a bare file name, kept in the given folder; anything else is refused
};

// The file a TESSARO_DEBUG_LOG value stands for.  False, with the reason in
// refusal, when the value is refused (BareNameInFolder: empty, a drive, a
// folder, "..", a stream, a device name or characters no file name has).
bool DebugLogFile(const std::string& value, DebugLogNames names, const std::string& folder, std::string& path,
                  std::string& refusal);

// Appends text to the TESSARO_DEBUG_LOG file when that variable is set.
// Returns the refusal text the first time a value is refused (for the
// caller's diagnostic output), empty otherwise; nothing is written then.
std::string AppendDebugLogFile(const std::string& text, DebugLogNames names = DebugLogNames::AnyPath,
                               const std::string& folder = std::string());

}  // namespace tessaro
