// Running the programs of the build tree from a test, as a user or a script
// would: with environment variables set, output kept in files.
#pragma once

#include <map>
#include <string>

namespace tessaro {
namespace test {

// Path of a program of the build tree (relative to it, without ".exe"),
// reachable from this process: under Wine through drive Z.
std::string BuildProgram(const std::string& relative);

// A path of this machine as the program under test sees it.
std::string ProgramPath(const std::string& native);

struct ProgramRun {
    int exitCode = -100;
    std::string out;
    std::string err;
};

// Runs the program with the arguments (already quoted where needed), the
// given environment variables set for it (empty value: removed), the given
// text on its standard input, in `folder` (a native path, for the output
// files).
ProgramRun RunProgram(const std::string& program, const std::string& arguments,
                      const std::map<std::string, std::string>& env, const std::string& folder,
                      const std::string& input = "");

}  // namespace test
}  // namespace tessaro
