// The application object: start-up, the choice of the run mode, and the state
// the console mode shares with the filter driver setup.
#pragma once

#include <string>

#include "platform/ports.h"

class CTessaroApp {
public:
    // Runs the whole program; always false, so that the program ends after it
    // (results of unattended runs go to the result log, not the exit code).
    // commandLine: the arguments, without the program's own path.
    bool InitInstance(const std::string& commandLine);

    // The system's extended version record (156 bytes).
    static bool GetOsVersion(tessaro::OsVersionInfoEx& info);

    // The program's name for its own message boxes: the executable's file name
    // without extension.
    static std::string Title();

    std::string m_driverVersion;  // installed filter driver version text
    std::string m_setupFile;      // the driver setup program beside the tool
    int m_setupDirection = 1;     // 1 install, 0 uninstall
    int m_driverReady = 0;        // driver found installed, or the last setup run succeeded
    std::string m_commandLine;
    std::string m_programFolder;  // with its trailing separator
};

// The one application object of the process.
CTessaroApp& TheApp();

// The program's entry after the system-specific one (which hardens the
// process first of all): the bench when TESSARO_BENCH asks for it, then
// InitInstance.  Returns the exit code (0).
int TessaroMain(const std::string& commandLine);
