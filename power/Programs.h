// Starting the programs the power and driver operations need: the command
// interpreter and Notepad from the system folder, the suspend helper and the
// driver setup program from the program folder.  Every program is started by
// its full path, so a program of the same name planted in the current folder
// is never the one that runs as administrator.
#pragma once

#include <cstdint>
#include <string>

#include "platform/ports.h"

namespace power {

// folder and name with exactly one separator between them.
std::string JoinPath(const std::string& folder, const std::string& name);

// The full path of a program in the system folder; empty when the system
// folder cannot be told.
std::string SystemProgram(const std::string& name);

// What came of one start.
struct ProgramRun {
    bool started = false;   // the shell's call succeeded and its instance value is above 32
    intptr_t instApp = 0;
    bool hadHandle = false;  // the shell gave a process handle
    int waited = -2;         // IProcess::Wait: 0 ended, 1 timed out, -1 failed; -2 not waited
    bool haveExitCode = false;
    uint32_t exitCode = 0;
    uint32_t error = 0;      // LastError() of a failed start or wait
};

// Starts a program through the shell.  With wait set and a process handle
// given, waits for its end (at most timeoutMs, dispatching messages when pump
// is set) and takes its exit code; the handle is always closed.
ProgramRun StartProgram(const tessaro::ShellStart& start, bool wait, uint32_t timeoutMs, bool pump);

}  // namespace power
