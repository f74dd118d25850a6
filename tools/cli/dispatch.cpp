// tessaro-cli: dispatch to the subcommands that register themselves.
#include "tools/cli/cli.h"

#include <cstdio>
#include <cstdlib>
#include <map>

#include "bench/activation.h"
#include "platform/ports.h"
#include "platform/winconst.h"
#include "settings/CIniFile.h"
#include "tools/cli/output.h"

namespace cli {
namespace {

struct Entry {
    std::string usage;
    Handler handler;
};

std::map<std::string, Entry>& Commands() {
    static std::map<std::string, Entry> commands;
    return commands;
}

std::string g_iniOverride;

// The command never stops an unattended script with a box: should any code
// path still ask for one, its text goes to standard error and it is answered
// as dismissed (No where it asks a question).
class NoBoxes : public tessaro::IMessageBox {
public:
    int Show(const std::string& text, const std::string& caption, uint32_t style) override {
        std::fprintf(stderr, "tessaro-cli: message box held back: [%s] %s\n", caption.c_str(), text.c_str());
        return (style & 0xF) == tessaro::win::kMbYesNo ? tessaro::win::kIdNo : tessaro::win::kIdOk;
    }
};

// With --json the console lines the engine writes (the hub search says what
// it found) join the document's lines instead of standard output.
class JsonConsole : public tessaro::IConsole {
public:
    void Open() override {}
    void AttachParent() override {}
    void Write(const std::string& text) override {
        std::string line;
        for (char c : text) {
            if (c == '\n') {
                if (!line.empty()) Say("%s\n", line.c_str());
                line.clear();
            } else {
                line.push_back(c);
            }
        }
        if (!line.empty()) Say("%s\n", line.c_str());
    }
    int ReadChar(bool) override { return -1; }
};

int Usage() {
    std::fprintf(stderr, "usage: tessaro-cli [--ini FILE] COMMAND [ARGS] [--json | --json-lines]\n\ncommands:\n");
    for (const auto& [name, entry] : Commands()) std::fprintf(stderr, "  %s\n", entry.usage.c_str());
    if (JsonOutput()) Result()["error"] = {{"message", "usage: tessaro-cli [--ini FILE] COMMAND [ARGS]"}};
    return 1;
}

}  // namespace

Registration::Registration(const char* name, const char* usage, Handler handler) {
    Commands()[name] = Entry{usage, handler};
}

int Fail(const std::string& text) {
    std::fprintf(stderr, "tessaro-cli: %s\n", text.c_str());
    // The first failure is the reason; what follows from it stays on
    // standard error.
    if (JsonOutput() && !Result().contains("error")) Result()["error"] = {{"message", text}};
    return 1;
}

const std::string& IniOverride() { return g_iniOverride; }

bool Args::Option(const std::string& name, std::string& value) {
    for (size_t i = 0; i + 1 < m_words.size(); ++i) {
        if (m_words[i] == name) {
            value = m_words[i + 1];
            m_words.erase(m_words.begin() + static_cast<long>(i), m_words.begin() + static_cast<long>(i) + 2);
            return true;
        }
    }
    return false;
}

bool Args::Flag(const std::string& name) {
    for (size_t i = 0; i < m_words.size(); ++i) {
        if (m_words[i] == name) {
            m_words.erase(m_words.begin() + static_cast<long>(i));
            return true;
        }
    }
    return false;
}

bool Args::Number(const std::string& name, long& value, bool required) {
    std::string text;
    if (!Option(name, text)) {
        if (required) Fail("missing " + name);
        return !required;
    }
    char* end = nullptr;
    value = std::strtol(text.c_str(), &end, 0);
    if (text.empty() || *end != '\0') {
        Fail("not a number for " + name + ": " + text);
        return false;
    }
    return true;
}

}  // namespace cli

namespace cli {

int Run(const std::vector<std::string>& rest);

int Main(const std::vector<std::string>& words) {
    Args global(words);
    global.Option("--ini", g_iniOverride);
    // --json and --json-lines are taken wherever they stand.
    const bool jsonLines = global.Flag("--json-lines");
    const bool json = global.Flag("--json");
    std::vector<std::string> rest = global.Rest();
    const std::string command = rest.empty() ? std::string() : rest[0];
    BeginOutput(jsonLines ? OutputMode::JsonLines : json ? OutputMode::Json : OutputMode::Text);
    const int code = Run(rest);
    EndOutput(command, code);
    return code;
}

int Run(const std::vector<std::string>& rest) {
    if (rest.empty()) return Usage();
    if (!g_iniOverride.empty()) CIniFile::SetOverride(g_iniOverride);
    // On the bench when TESSARO_BENCH names one, like the tool itself.
    bench::Activation bench = bench::InstallFromEnvironment();
    if (bench.Failed()) {
        if (JsonOutput()) Result()["error"] = {{"message", "TESSARO_BENCH: " + bench.Error()}};
        return 1;
    }
    NoBoxes noBoxes;
    JsonConsole jsonConsole;
    tessaro::System quiet;
    quiet.box = &noBoxes;
    if (JsonOutput()) quiet.console = &jsonConsole;
    tessaro::ScopedSystem noBoxPort(quiet);
    auto it = Commands().find(rest[0]);
    if (it == Commands().end()) return Usage();
    Args args(std::vector<std::string>(rest.begin() + 1, rest.end()));
    return it->second.handler(args);
}

}  // namespace cli
