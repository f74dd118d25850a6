#include "support/programs.h"

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>

#if !defined(_WIN32)
#include <sys/wait.h>
#endif

namespace tessaro {
namespace test {

namespace {

std::string ReadAll(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

void SetEnv(const std::string& name, const std::string& value, bool remove) {
#if defined(_WIN32)
    _putenv((name + "=" + (remove ? std::string() : value)).c_str());
#else
    if (remove) {
        unsetenv(name.c_str());
    } else {
        setenv(name.c_str(), value.c_str(), 1);
    }
#endif
}

std::string Sep() {
#if defined(_WIN32)
    return "\\";
#else
    return "/";
#endif
}

}  // namespace

std::string ProgramPath(const std::string& native) {
#if defined(_WIN32)
    std::string path = native;
    if (!path.empty() && path[0] == '/') path = "Z:" + path;
    for (char& c : path) {
        if (c == '/') c = '\\';
    }
    return path;
#else
    return native;
#endif
}

std::string BuildProgram(const std::string& relative) {
    const char* root = std::getenv("TESSARO_TEST_BINARY");
    std::string path = ProgramPath(std::string(root ? root : ".") + "/" + relative);
#if defined(_WIN32)
    return path + ".exe";
#else
    return path;
#endif
}

ProgramRun RunProgram(const std::string& program, const std::string& arguments,
                      const std::map<std::string, std::string>& env, const std::string& folder,
                      const std::string& input) {
    std::map<std::string, std::pair<bool, std::string>> saved;
    for (const auto& [name, value] : env) {
        const char* old = std::getenv(name.c_str());
        saved[name] = {old != nullptr, old ? old : ""};
        SetEnv(name, value, value.empty());
    }
    std::string out = folder + Sep() + "run-out.txt";
    std::string err = folder + Sep() + "run-err.txt";
    std::string in = folder + Sep() + "run-in.txt";
    {
        std::ofstream f(in, std::ios::binary | std::ios::trunc);
        f << input;
    }
    std::string command = "\"" + program + "\" " + arguments + " < \"" + in + "\" > \"" + out + "\" 2> \"" + err + "\"";
    ProgramRun run;
#if defined(_WIN32)
    run.exitCode = std::system(("\"" + command + "\"").c_str());
#else
    int status = std::system(command.c_str());
    run.exitCode = WIFEXITED(status) ? static_cast<signed char>(WEXITSTATUS(status)) : -100;
#endif
    run.out = ReadAll(out);
    run.err = ReadAll(err);
    for (const auto& [name, old] : saved) SetEnv(name, old.second, !old.first);
    return run;
}

}  // namespace test
}  // namespace tessaro
