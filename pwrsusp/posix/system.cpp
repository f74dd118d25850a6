// pwrsusp on the native build: this system has no POWERCFG of its own, so the
// folder that stands for the system folder is fixed when the program is
// built (PWRSUSP_SYSTEM_FOLDER); POWERCFG is run from there by its full path,
// never looked up through PATH.
#include <unistd.h>

#include <cstdio>

#include "pwrsusp/system.h"

#ifndef PWRSUSP_SYSTEM_FOLDER
#define PWRSUSP_SYSTEM_FOLDER "/usr/sbin"
#endif

namespace pwrsusp {

void HardenProcess() {}

namespace {

// A word for the shell, in single quotes.
std::string Quoted(const std::string& text) {
    std::string out = "'";
    for (char c : text) {
        if (c == '\'')
            out += "'\\''";
        else
            out.push_back(c);
    }
    return out + "'";
}

}  // namespace

bool RunPowercfg(const std::string& arguments, std::string* firstLine) {
    const std::string program = std::string(PWRSUSP_SYSTEM_FOLDER) + "/POWERCFG";
    // As on Windows, a POWERCFG that is not there is a start that fails.
    if (access(program.c_str(), X_OK) != 0) return false;
    const std::string command = Quoted(program) + " " + arguments;
    FILE* pipe = popen(command.c_str(), "r");
    if (!pipe) return false;
    char line[1024] = {};
    if (!std::fgets(line, sizeof line, pipe)) line[0] = '\0';
    // The rest is drained so that POWERCFG never blocks on a full pipe.
    char rest[512];
    while (std::fread(rest, 1, sizeof rest, pipe) > 0) {
    }
    pclose(pipe);
    if (firstLine) *firstLine = line;
    return true;
}

}  // namespace pwrsusp
