// The front ends of the run modes.  Each is entered through one function;
// a build that lacks a front end says so clearly instead of pretending.
#pragma once

#include <string>

class CTessaroApp;

namespace frontends {

using Entry = void (*)(CTessaroApp& app);

struct Entries {
    Entry updateDialog = nullptr;    // EUserMode 1 or more
    Entry console = nullptr;         // ConsoleMode 1 or more
    Entry phyDialog = nullptr;       // PhyAccess 1
    Entry multiHubDialog = nullptr;  // MultiMode 1
    Entry mainDialog = nullptr;      // otherwise
};

// The entries in force; a null entry means the mode is not in this build.
Entries& Registered();

// Runs a mode, or explains that this build cannot.
void RunUpdateDialog(CTessaroApp& app);
void RunConsole(CTessaroApp& app);
void RunPhyDialog(CTessaroApp& app);
void RunMultiHubDialog(CTessaroApp& app);
void RunMainDialog(CTessaroApp& app);

}  // namespace frontends
