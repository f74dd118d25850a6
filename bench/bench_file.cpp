// The bench file: a line-oriented description of the simulated PC
// (docs/bench.md).  Global directives stand alone; "flash", "hub" and
// "device" open blocks that "end" closes.  Everything is collected first and
// built afterwards, so a hub may name a flash part described further down.
// This file holds the walk over the lines, the global directives and the
// loading; the lines inside the blocks are read in bench_file_devices.cpp.
#include <cctype>
#include <cstdint>
#include <cstdlib>
#include <fstream>
#include <sstream>

#include "bench/bench_file_parts.h"
#include "bench/confined_paths.h"
#include "bench/pc.h"
#include "platform/memory_registry.h"

namespace bench {

namespace file {

bool Parser::Run(const std::string& text, std::string* error) {
    std::istringstream stream(text);
    std::string raw;
    int number = 0;
    enum class Block { None, Flash, Hub, Device } block = Block::None;
    int blockLine = 0;
    FlashPart part;
    DeviceSpec device;
    while (std::getline(stream, raw)) {
        ++number;
        Tokens t;
        t.line = number;
        std::string why;
        if (!Tokenize(raw, t.words, why)) {
            Fail(number, why);
            if (error) *error = m_error;
            return false;
        }
        if (t.words.empty()) continue;
        const std::string word = Lower(t.words[0]);
        bool ok = true;
        if (block == Block::None) {
            if (word == "flash" || word == "hub" || word == "device") {
                if (t.words.size() != 2) {
                    ok = Fail(number, word + " needs exactly one name");
                } else if (word == "flash") {
                    block = Block::Flash;
                    part = FlashPart();
                    part.name = t.words[1];
                } else {
                    block = word == "hub" ? Block::Hub : Block::Device;
                    device = DeviceSpec();
                    device.name = t.words[1];
                    device.hub = word == "hub";
                    m_bcdGiven = false;
                }
                blockLine = number;
            } else if (word == "end") {
                ok = Fail(number, "\"end\" without a block");
            } else {
                ok = Global(t);
            }
        } else if (word == "end") {
            if (t.words.size() != 1) {
                ok = Fail(number, "\"end\" takes nothing after it");
            } else if (block == Block::Flash) {
                m_parts.push_back({part, blockLine});
            } else {
                m_devices.push_back({device, blockLine});
            }
            block = Block::None;
        } else if (word == "flash" || word == "hub" || word == "device") {
            ok = Fail(number, "\"" + word + "\" inside the block opened at line " + std::to_string(blockLine) +
                                  " (missing \"end\"?)");
        } else if (block == Block::Flash) {
            ok = FlashLine(t, part);
        } else {
            ok = DeviceLine(t, device, block == Block::Hub);
        }
        if (!ok) {
            if (error) *error = m_error;
            return false;
        }
    }
    if (block != Block::None) {
        Fail(blockLine, "block is not closed with \"end\"");
        if (error) *error = m_error;
        return false;
    }
    std::string why;
    for (const auto& p : m_parts)
        if (!m_pc.AddFlashPart(p.first, &why)) {
            Fail(p.second, why);
            if (error) *error = m_error;
            return false;
        }
    for (const auto& d : m_devices)
        if (!m_pc.AddDevice(d.first, &why)) {
            Fail(d.second, why);
            if (error) *error = m_error;
            return false;
        }
    for (const auto& f : m_faults)
        if (!m_pc.AddFault(f.first, &why)) {
            Fail(f.second, why);
            if (error) *error = m_error;
            return false;
        }
    for (const Tokens& t : m_later)
        if (!Later(t)) {
            if (error) *error = m_error;
            return false;
        }
    return true;
}

bool Parser::Later(const Tokens& t) {
    Cursor c(t);
    const std::string word = Lower(t.words[0]);
    bool ok = true;
    if (word == "registry") {
        tessaro::MemoryRegistry& r = m_pc.Registry();
        std::string path, name, text;
        const std::string kind = c.Peek();
        if (kind == "key" || kind == "dword" || kind == "string") {
            // The path is the second word after the directive.
            const std::string& p = t.words.size() > 2 ? t.words[2] : std::string();
            if (p.rfind("HKEY_", 0) != 0)
                return Fail(t.line, "a registry path starts with its root, as in HKEY_LOCAL_MACHINE\\SOFTWARE");
        }
        if (c.Accept("key")) {
            ok = c.Text(path, "key path");
            if (ok) r.CreatePath(path);
        } else if (c.Accept("dword")) {
            uint32_t value = 0;
            ok = c.Text(path, "key path") && c.Text(name, "value name") && c.Value(value, "value", UINT32_MAX);
            if (ok) r.SetDword(path, name, value);
        } else if (c.Accept("string")) {
            ok = c.Text(path, "key path") && c.Text(name, "value name") && c.Text(text, "text");
            if (ok) r.SetString(path, name, text);
        } else if (c.Accept("fail")) {
            uint32_t e = 5;
            ok = c.Text(path, "part of a key path");
            if (ok && c.Accept("error")) ok = c.Value(e, "error", UINT32_MAX);
            if (ok) r.FailAccess(path, static_cast<long>(e));
        } else {
            ok = c.Error("registry key|dword|string|fail ...");
        }
    } else if (word == "power") {
        c.Accept("value");
        std::string sub, setting;
        uint32_t ac = 0, dc = 0;
        ok = c.Text(sub, "subgroup GUID") && c.Text(setting, "setting GUID");
        if (ok && !c.Accept("ac")) ok = c.Error("power value <subgroup> <setting> ac <n> dc <n>");
        if (ok) ok = c.Value(ac, "AC value", UINT32_MAX);
        if (ok && !c.Accept("dc")) ok = c.Error("power value <subgroup> <setting> ac <n> dc <n>");
        if (ok) ok = c.Value(dc, "DC value", UINT32_MAX);
        if (ok) m_pc.SetPowerValue(m_pc.ActiveScheme(), sub, setting, ac, dc);
    } else if (word == "setup") {
        c.Accept("package");
        std::string file, why;
        ok = c.FileName(file, "setup program file name", m_pc.BaseFolder());
        if (ok && !m_pc.SetSetupPackage(file, &why)) ok = c.Error(why);
    }
    if (ok) ok = c.End();
    return ok ? true : Fail(t.line, c.ErrorText());
}

bool Parser::Setup(Cursor& c) {
    if (c.Accept("time")) {
        uint32_t ms = 0;
        if (!c.Value(ms, "milliseconds", 600000)) return false;
        m_pc.SetSetupTime(ms);
        return true;
    }
    const bool install = c.Accept("install");
    if (!install && !c.Accept("uninstall")) return c.Error("setup install|uninstall|package|time ...");
    SetupOutcome o;
    if (c.Accept("fail"))
        o.succeeds = false;
    else if (!c.Accept("ok"))
        return c.Error("setup install|uninstall ok|fail [log \"text\"] [no-log] [exit <code>]");
    while (c.More()) {
        if (c.Accept("log")) {
            if (!c.Text(o.logText, "log text")) return false;
        } else if (c.Accept("no-log")) {
            o.writesLog = false;
        } else if (c.Accept("exit")) {
            if (!c.Value(o.exitCode, "exit code", UINT32_MAX)) return false;
        } else {
            return c.Error("unknown setup option \"" + c.Peek() + "\"");
        }
    }
    m_pc.SetSetup(install, o);
    return true;
}

bool Parser::Global(const Tokens& t) {
    Cursor c(t);
    const std::string word = Lower(t.words[0]);
    bool ok = true;
    if (word == "clock") {
        if (c.Accept("real"))
            m_pc.UseRealClock();
        else if (!c.Accept("virtual"))
            ok = c.Error("clock is virtual or real");
    } else if (word == "guid") {
        if (c.Accept("random")) {
            m_pc.Guids().UseRandom();
        } else if (c.Accept("sequence")) {
            uint64_t seed = 1;
            if (c.More()) ok = c.Number(seed, "seed", UINT64_MAX);
            m_pc.Guids().UseSequence(seed);
        } else {
            ok = c.Error("guid is random or sequence [seed]");
        }
    } else if (word == "os") {
        if (c.Accept("fail")) {
            uint32_t e = 87;
            if (c.More()) ok = c.Value(e, "error", UINT32_MAX);
            m_pc.Os().Fail(e);
        } else {
            std::string version;
            ok = c.Text(version, "version such as 6.1.7601");
            uint32_t parts[3] = {0, 0, 0};
            if (ok) {
                std::istringstream v(version);
                std::string piece;
                int n = 0;
                while (ok && std::getline(v, piece, '.')) {
                    char* end = nullptr;
                    const unsigned long x = std::strtoul(piece.c_str(), &end, 10);
                    if (n >= 3 || piece.empty() || *end != '\0') ok = c.Error("version is major.minor[.build]: " + version);
                    else parts[n++] = static_cast<uint32_t>(x);
                }
                if (ok && n < 2) ok = c.Error("version is major.minor[.build]: " + version);
            }
            uint16_t spMajor = 0, spMinor = 0;
            std::string csd;
            bool server = false;
            while (ok && c.More()) {
                if (c.Accept("sp")) {
                    std::string sp;
                    ok = c.Text(sp, "service pack");
                    const size_t dot = sp.find('.');
                    spMajor = static_cast<uint16_t>(std::atoi(sp.substr(0, dot).c_str()));
                    if (dot != std::string::npos) spMinor = static_cast<uint16_t>(std::atoi(sp.substr(dot + 1).c_str()));
                } else if (c.Accept("csd")) {
                    ok = c.Text(csd, "service pack text");
                } else if (c.Accept("server")) {
                    server = true;
                } else {
                    ok = c.Error("unknown os option \"" + c.Peek() + "\"");
                }
            }
            if (ok) m_pc.Os().Set(parts[0], parts[1], parts[2], spMajor, spMinor, csd, server);
        }
    } else if (word == "box") {
        if (c.Accept("default")) {
            std::string b;
            ok = c.Text(b, "button");
            if (ok && !ButtonId(b)) ok = c.Error("unknown button " + b);
            if (ok) m_pc.Boxes().SetDefault(ButtonId(b));
        } else if (c.Accept("answer")) {
            if (!c.More()) ok = c.Error("missing button");
            while (ok && c.More()) {
                std::string b;
                c.Text(b, "button");
                if (!ButtonId(b))
                    ok = c.Error("unknown button " + b);
                else
                    m_pc.Boxes().Queue(ButtonId(b));
            }
        } else if (c.Accept("quiet")) {
            m_pc.Boxes().SetQuiet(true);
        } else {
            ok = c.Error("box default <button>, box answer <button>..., or box quiet");
        }
    } else if (word == "re-enumerate") {
        uint32_t ms = 0;
        ok = c.Value(ms, "milliseconds", 600000);
        if (ok) m_pc.SetReEnumerateDelay(ms);
    } else if (word == "latency") {
        uint32_t us = 0;
        ok = Latency(c, us);
        if (ok) m_pc.SetLatencyUs(us);
    } else if (word == "log") {
        std::string path;
        ok = c.FileName(path, "log file name", m_pc.BaseFolder());
        if (ok) m_pc.SetLogFile(path);
    } else if (word == "driver") {
        if (c.Accept("installed"))
            m_pc.SetDriverInstalled(true);
        else if (c.Accept("missing"))
            m_pc.SetDriverInstalled(false);
        while (ok && c.More()) {
            if (c.Accept("serial")) {
                uint32_t serial = 0;
                ok = c.Value(serial, "serial number", UINT32_MAX);
                if (ok) m_pc.SetSerialNo(serial);
            } else if (c.Accept("version")) {
                ok = c.Text(m_driverVersion, "version text");
                if (ok) m_pc.SetDriverKey(m_driverVersion, m_driverKey);
            } else if (c.Accept("key")) {
                if (c.Accept("absent"))
                    m_driverKey = 0;
                else if (c.Accept("empty"))
                    m_driverKey = 1;
                else if (c.Accept("present"))
                    m_driverKey = 2;
                else
                    ok = c.Error("key present|empty|absent");
                if (ok) m_pc.SetDriverKey(m_driverVersion, m_driverKey);
            } else {
                ok = c.Error("driver installed|missing [serial <n>] [version <text>] [key present|empty|absent]");
            }
        }
    } else if (word == "fault") {
        const std::string kind = c.Peek();
        if (kind == "start" || kind == "powercfg" || kind == "privilege" || kind == "shutdown" || kind == "devices") {
            SystemFault f;
            ok = ParseSystemFault(c, f);
            if (ok) m_pc.AddSystemFault(f);
        } else {
            Fault f;
            ok = ParseFault(c, f);
            if (ok) m_faults.push_back({f, t.line});
        }
        return ok ? true : Fail(t.line, c.ErrorText());
    } else if (word == "machine") {
        if (c.Accept("64-bit") || c.Accept("x64"))
            m_pc.SetMachine64(true);
        else if (c.Accept("32-bit") || c.Accept("x86"))
            m_pc.SetMachine64(false);
        else
            ok = c.Error("machine 64-bit or 32-bit");
    } else if (word == "program") {
        std::string file;
        ok = c.FileName(file, "the program's file name", m_pc.BaseFolder());
        if (ok) m_pc.SetProgram(file);
    } else if (word == "drive-c") {
        std::string folder;
        ok = c.FileName(folder, "drive C folder", m_pc.BaseFolder());
        if (ok) m_pc.SetDriveC(folder);
    } else if (word == "desktop") {
        std::string folder;
        if (c.Accept("fail"))
            m_pc.SetDesktop(std::string(), true);
        else if ((ok = c.FileName(folder, "desktop folder", m_pc.BaseFolder())))
            m_pc.SetDesktop(folder, false);
    } else if (word == "power" && c.Accept("scheme")) {
        std::string guid, name;
        ok = c.Text(guid, "scheme GUID");
        if (ok && guid.size() != 36) ok = c.Error("a scheme GUID has 36 characters: " + guid);
        if (ok && c.More()) ok = c.Text(name, "scheme name");
        if (ok) m_pc.SetActiveScheme(guid, name);
    } else if (word == "registry" || word == "power" || (word == "setup" && c.Peek() == "package")) {
        m_later.push_back(t);
        return true;
    } else if (word == "setup") {
        ok = Setup(c);
    } else if (word == "powercfg") {
        uint32_t ms = 0;
        ok = c.Accept("time") ? c.Value(ms, "milliseconds", 600000) : c.Error("powercfg time MS");
        if (ok) m_pc.SetPowercfgTime(ms);
    } else {
        return Fail(t.line, "unknown directive \"" + t.words[0] + "\"");
    }
    if (ok) ok = c.End();
    return ok ? true : Fail(t.line, c.ErrorText());
}

}  // namespace file

std::unique_ptr<Pc> Pc::FromText(const std::string& text, const std::string& baseFolder, std::string* error,
                                 const std::string& fileName) {
    auto pc = std::make_unique<Pc>();
    pc->SetBaseFolder(baseFolder);
    file::Parser parser(*pc, fileName);
    if (!parser.Run(text, error)) {
        pc->SaveAtExit(false);  // a half-built PC must not overwrite anything
        return nullptr;
    }
    return pc;
}

std::unique_ptr<Pc> Pc::Load(const std::string& benchFile, std::string* error) {
    std::ifstream file(benchFile, std::ios::binary);
    if (!file) {
        if (error) *error = benchFile + ": cannot read the bench file";
        return nullptr;
    }
    std::ostringstream text;
    text << file.rdbuf();
    std::string folder;
    const size_t slash = benchFile.find_last_of("/\\");
    folder = slash == std::string::npos ? std::string(".") : benchFile.substr(0, slash);
    if (folder.empty()) folder = "/";
    return FromText(text.str(), folder, error, benchFile);
}

}  // namespace bench