// pwrsusp on Windows: the system's own POWERCFG.EXE, started by its full path
// with the system folder as working folder and its output read through a
// pipe.  The command interpreter is not involved: it would be found through
// COMSPEC, and it would look for POWERCFG in the current folder first.
#include <windows.h>

#include "platform/native.h"
#include "pwrsusp/system.h"

namespace pwrsusp {

// The same restriction of the DLL search as the tool's own, from the same
// source file.
void HardenProcess() { tessaro::HardenProcess(); }

namespace {

std::string SystemFolder() {
    char buffer[MAX_PATH + 1] = {};
    const UINT length = GetSystemDirectoryA(buffer, MAX_PATH);
    if (length == 0 || length >= MAX_PATH) return std::string();
    return std::string(buffer, length);
}

}  // namespace

bool RunPowercfg(const std::string& arguments, std::string* firstLine) {
    const std::string folder = SystemFolder();
    if (folder.empty()) return false;
    const std::string program = folder + "\\powercfg.exe";
    std::string commandLine = "\"" + program + "\" " + arguments;

    SECURITY_ATTRIBUTES inherit = {};
    inherit.nLength = sizeof inherit;
    inherit.bInheritHandle = TRUE;
    HANDLE readEnd = nullptr, writeEnd = nullptr;
    if (!CreatePipe(&readEnd, &writeEnd, &inherit, 0)) return false;
    // Only the write end goes to POWERCFG.
    SetHandleInformation(readEnd, HANDLE_FLAG_INHERIT, 0);

    STARTUPINFOA startup = {};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdInput = GetStdHandle(STD_INPUT_HANDLE);
    startup.hStdOutput = writeEnd;
    startup.hStdError = GetStdHandle(STD_ERROR_HANDLE);
    PROCESS_INFORMATION process = {};
    const BOOL started = CreateProcessA(program.c_str(), &commandLine[0], nullptr, nullptr, TRUE, 0, nullptr,
                                        folder.c_str(), &startup, &process);
    CloseHandle(writeEnd);
    if (!started) {
        CloseHandle(readEnd);
        return false;
    }
    // The whole output is read, so that POWERCFG never blocks on a full pipe;
    // only the first line is kept.
    std::string line;
    bool lineDone = false;
    char chunk[512];
    DWORD got = 0;
    while (ReadFile(readEnd, chunk, sizeof chunk, &got, nullptr) && got > 0) {
        for (DWORD i = 0; i < got && !lineDone; ++i) {
            if (chunk[i] == '\r') continue;  // the text mode of a C stream drops it too
            line.push_back(chunk[i]);
            lineDone = chunk[i] == '\n' || line.size() >= 1023;
        }
    }
    CloseHandle(readEnd);
    WaitForSingleObject(process.hProcess, INFINITE);
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    if (firstLine) *firstLine = line;
    return true;
}

}  // namespace pwrsusp
