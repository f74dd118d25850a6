// tessaro-cli: a diagnostic command for engineers and scripts.  Each
// subcommand lives in its own source and registers itself here.
#pragma once

#include <string>
#include <vector>

#include "hub/CHubIsp.h"

namespace cli {

// The engine as every subcommand uses it: quiet (m_quiet 1), so it never
// shows a box of its own; its failure text goes to standard error through
// Fail and the exit code.
class QuietIsp : public CHubIsp {
public:
    QuietIsp() { m_quiet = 1; }
};

// Arguments after the subcommand name, with helpers for "--name value" options.
class Args {
public:
    explicit Args(std::vector<std::string> words) : m_words(std::move(words)) {}
    // The value after "--name" (removed from the list); false when absent.
    bool Option(const std::string& name, std::string& value);
    // A flag "--name" (removed from the list).
    bool Flag(const std::string& name);
    // Numbers in C notation (0x.. hexadecimal, else decimal); false and a
    // message on standard error when the text is not a number.
    bool Number(const std::string& name, long& value, bool required);
    // What is left once the options are taken: the positional words.
    const std::vector<std::string>& Rest() const { return m_words; }

private:
    std::vector<std::string> m_words;
};

using Handler = int (*)(Args& args);

struct Registration {
    Registration(const char* name, const char* usage, Handler handler);
};

// The whole command: global options, the bench, the subcommand; its exit code.
int Main(const std::vector<std::string>& words);

// Prints "tessaro-cli: <text>" on standard error and returns 1.
int Fail(const std::string& text);

// The INI file given with --ini, or empty for the one beside the program.
const std::string& IniOverride();

}  // namespace cli

#define TESSARO_CLI_COMMAND(name, usage, handler) \
    static ::cli::Registration cli_registration_##handler(name, usage, handler)
