// What pwrsusp asks of the system: its own hardening and POWERCFG.  pwrsusp
// runs as administrator from the program folder, where anybody who could
// write there might have left a POWERCFG of their own; so POWERCFG is always
// run by its full path in the system folder, never looked up by name.
#pragma once

#include <string>

namespace pwrsusp {

// DLLs are looked up in the system folder only (Windows; nothing elsewhere).
// Called first thing, before anything else can load a DLL.
void HardenProcess();

// Runs POWERCFG with the arguments and waits for its end.  With firstLine,
// the first line of its output (at most 1023 characters, line end included)
// is kept there.  False when POWERCFG cannot be started.
bool RunPowercfg(const std::string& arguments, std::string* firstLine);

}  // namespace pwrsusp
