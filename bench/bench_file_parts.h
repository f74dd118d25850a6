// The pieces of the bench file reader shared by its parts: the words of a
// line and a cursor over them, the readers of the fault lines, and the
// reader itself, whose line readers are spread over bench_file.cpp (the
// walk and the global directives) and bench_file_devices.cpp (the blocks).
#pragma once

#include <cctype>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <utility>
#include <vector>

#include "bench/confined_paths.h"
#include "bench/pc.h"

namespace bench {
namespace file {

struct Tokens {
    std::vector<std::string> words;
    int line = 0;
};

inline bool Tokenize(const std::string& text, std::vector<std::string>& out, std::string& error) {
    out.clear();
    size_t i = 0;
    while (i < text.size()) {
        const char c = text[i];
        if (c == ' ' || c == '\t' || c == '\r') {
            ++i;
        } else if (c == '#') {
            break;
        } else if (c == '"') {
            const size_t close = text.find('"', i + 1);
            if (close == std::string::npos) {
                error = "missing closing quote";
                return false;
            }
            out.push_back(text.substr(i + 1, close - i - 1));
            i = close + 1;
        } else {
            size_t j = i;
            while (j < text.size() && text[j] != ' ' && text[j] != '\t' && text[j] != '\r' && text[j] != '#' &&
                   text[j] != '"')
                ++j;
            out.push_back(text.substr(i, j - i));
            i = j;
        }
    }
    return true;
}

inline std::string Lower(std::string text) {
    for (char& c : text) c = static_cast<char>(c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c);
    return text;
}

// A cursor over the words of one line; the first failure keeps its reason.
class Cursor {
public:
    explicit Cursor(const Tokens& t) : m_words(t.words), m_pos(1) {}

    bool More() const { return m_pos < m_words.size(); }
    std::string Peek() const { return More() ? Lower(m_words[m_pos]) : std::string(); }
    bool Accept(const char* word) {
        if (Peek() != word) return false;
        ++m_pos;
        return true;
    }
    bool Text(std::string& out, const std::string& what) {
        if (!More()) return Error("missing " + what);
        out = m_words[m_pos++];
        return true;
    }
    // A file or folder the bench reads or writes: inside the bench file's folder.
    bool FileName(std::string& out, const std::string& what, const std::string& baseFolder) {
        if (!Text(out, what)) return false;
        const std::string why = OutsideBenchFolder(baseFolder, out);
        if (why.empty()) return true;
        return Error(what + " \"" + out + "\" " + why + "; a bench keeps its files in its own folder");
    }
    bool Number(uint64_t& out, const std::string& what, uint64_t max) {
        std::string t;
        if (!Text(t, what)) return false;
        uint64_t scale = 1;
        if (!t.empty() && (t.back() == 'K' || t.back() == 'k')) {
            scale = 1024;
            t.pop_back();
        } else if (!t.empty() && (t.back() == 'M' || t.back() == 'm')) {
            scale = 1024 * 1024;
            t.pop_back();
        }
        char* end = nullptr;
        const bool hex = t.size() > 2 && t[0] == '0' && (t[1] == 'x' || t[1] == 'X');
        if (t.empty() || t[0] == '-' || t[0] == '+') return Error(what + " is not a number: " + m_words[m_pos - 1]);
        const unsigned long long v = std::strtoull(t.c_str(), &end, hex ? 16 : 10);
        if (*end != '\0') return Error(what + " is not a number: " + m_words[m_pos - 1]);
        if (v > max / scale) return Error(what + " is too large: " + m_words[m_pos - 1]);
        out = v * scale;
        return true;
    }
    template <typename T>
    bool Value(T& out, const std::string& what, uint64_t max) {
        uint64_t v = 0;
        if (!Number(v, what, max)) return false;
        out = static_cast<T>(v);
        return true;
    }
    // A byte in hexadecimal, with or without 0x: "C7", "0xC7", "5".
    bool Byte(uint8_t& out, const std::string& what) {
        std::string t;
        if (!Text(t, what)) return false;
        std::string digits = t;
        if (digits.size() > 2 && digits[0] == '0' && (digits[1] == 'x' || digits[1] == 'X')) digits = digits.substr(2);
        char* end = nullptr;
        const unsigned long v = std::strtoul(digits.c_str(), &end, 16);
        if (digits.empty() || digits.size() > 2 || *end != '\0')
            return Error(what + " is not a hexadecimal byte: " + t);
        out = static_cast<uint8_t>(v);
        return true;
    }
    bool IsByte() const {
        if (!More()) return false;
        std::string d = m_words[m_pos];
        if (d.size() > 2 && d[0] == '0' && (d[1] == 'x' || d[1] == 'X')) d = d.substr(2);
        if (d.empty() || d.size() > 2) return false;
        for (char c : d)
            if (!std::isxdigit(static_cast<unsigned char>(c))) return false;
        return true;
    }
    bool Bytes(std::vector<uint8_t>& out, const std::string& what) {
        out.clear();
        while (IsByte()) {
            uint8_t b = 0;
            Byte(b, what);
            out.push_back(b);
        }
        if (out.empty()) {
            uint8_t b = 0;
            return More() ? Byte(b, what) : Error("missing " + what);
        }
        return true;
    }
    bool YesNo(bool& out, const std::string& what) {
        std::string t;
        if (!Text(t, what)) return false;
        t = Lower(t);
        if (t == "yes" || t == "on" || t == "1") {
            out = true;
        } else if (t == "no" || t == "off" || t == "0") {
            out = false;
        } else {
            return Error(what + " must be yes or no, not " + t);
        }
        return true;
    }
    bool End() {
        if (More()) return Error("unexpected \"" + m_words[m_pos] + "\"");
        return true;
    }
    bool Error(const std::string& text) {
        if (m_error.empty()) m_error = text;
        return false;
    }
    const std::string& ErrorText() const { return m_error; }

private:
    const std::vector<std::string>& m_words;
    size_t m_pos;
    std::string m_error;
};

// "fault ..." of the driver and the devices (after the word "fault").
bool ParseFault(Cursor& c, Fault& f);
// "fault start|powercfg|privilege|shutdown|devices ...".
bool ParseSystemFault(Cursor& c, SystemFault& f);

// "latency 125us", "latency 2ms" or "latency 1" (a bare number is
// milliseconds): the bus time in microseconds, at most a minute.
inline bool Latency(Cursor& c, uint32_t& us) {
    std::string text;
    if (!c.Text(text, "latency")) return false;
    std::string digits = Lower(text);
    uint64_t scale = 1000;
    if (digits.size() > 2 && digits.compare(digits.size() - 2, 2, "us") == 0) {
        scale = 1;
        digits.resize(digits.size() - 2);
    } else if (digits.size() > 2 && digits.compare(digits.size() - 2, 2, "ms") == 0) {
        digits.resize(digits.size() - 2);
    }
    char* end = nullptr;
    const unsigned long long v = std::strtoull(digits.c_str(), &end, 10);
    if (digits.empty() || !std::isdigit(static_cast<unsigned char>(digits[0])) || *end != '\0')
        return c.Error("latency is a number of milliseconds, or of microseconds with \"us\": " + text);
    if (v > 60000000ULL / scale) return c.Error("latency is too large: " + text);
    us = static_cast<uint32_t>(v * scale);
    return true;
}

// Reads a bench file into a PC.
class Parser {
public:
    Parser(Pc& pc, const std::string& fileName) : m_pc(pc), m_file(fileName) {}

    bool Run(const std::string& text, std::string* error);

private:
    bool Fail(int line, const std::string& text) {
        m_error = m_file + ":" + std::to_string(line) + ": " + text;
        return false;
    }
    bool Global(const Tokens& t);
    bool FlashLine(const Tokens& t, FlashPart& part);
    bool DeviceLine(const Tokens& t, DeviceSpec& spec, bool hub);
    bool FunctionLine(Cursor& c, FunctionSpec& f);
    bool Later(const Tokens& t);
    bool Setup(Cursor& c);

    Pc& m_pc;
    std::string m_file;
    std::string m_error;
    std::vector<std::pair<FlashPart, int>> m_parts;
    std::vector<std::pair<DeviceSpec, int>> m_devices;
    std::vector<std::pair<Fault, int>> m_faults;
    std::vector<Tokens> m_later;
    std::string m_driverVersion;
    int m_driverKey = -1;  // registry, power values and the setup package: built last
    bool m_bcdGiven = false;
};

}  // namespace file
}  // namespace bench
