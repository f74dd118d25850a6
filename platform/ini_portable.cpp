// Our reader of profile (INI) files, with the behaviour of the Windows private
// profile functions the tool relies on: section and key names match without
// regard to case, keys and values are trimmed, one pair of quotes around a
// value is removed by the string read, comment lines (";") and blank lines are
// not entries, and a buffer that is too small is filled and terminated the way
// Windows does it.
//
// The parsed file is kept and reused while the file's size and modification
// time stay the same, so that reading the diagnostic switch at every log line
// stays cheap.
#include <sys/stat.h>

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "platform/native.h"

namespace tessaro {
namespace {

struct Entry {
    std::string name;
    std::string value;
    bool hasValue = false;
};

struct Section {
    std::string name;
    std::vector<Entry> entries;
};

struct Parsed {
    long long size = -1;
    long long mtimeNs = -1;
    // The parse may be reused only when the file was already older than the
    // file system's time resolution when it was parsed; a file written within
    // the same tick is always read again.
    bool settled = false;
    std::vector<Section> sections;
};

std::string Trim(const std::string& s) {
    size_t b = 0, e = s.size();
    while (b < e && (s[b] == ' ' || s[b] == '\t' || s[b] == '\r' || s[b] == '\n')) ++b;
    while (e > b && (s[e - 1] == ' ' || s[e - 1] == '\t' || s[e - 1] == '\r' || s[e - 1] == '\n')) --e;
    return s.substr(b, e - b);
}

bool SameName(const std::string& a, const std::string& b) {
    if (a.size() != b.size()) return false;
    for (size_t i = 0; i < a.size(); ++i) {
        if (std::tolower(static_cast<unsigned char>(a[i])) != std::tolower(static_cast<unsigned char>(b[i])))
            return false;
    }
    return true;
}

std::vector<Section> Parse(const std::string& text) {
    std::vector<Section> sections;
    Section* current = nullptr;
    size_t pos = 0;
    while (pos <= text.size()) {
        size_t end = text.find('\n', pos);
        if (end == std::string::npos) end = text.size();
        std::string line = Trim(text.substr(pos, end - pos));
        pos = end + 1;
        if (line.empty()) {
            if (end == text.size()) break;
            continue;
        }
        if (line[0] == '[') {
            size_t close = line.find(']');
            std::string name = Trim(line.substr(1, close == std::string::npos ? std::string::npos : close - 1));
            sections.push_back(Section{name, {}});
            current = &sections.back();
            continue;
        }
        if (!current || line[0] == ';') continue;
        Entry entry;
        size_t eq = line.find('=');
        if (eq == std::string::npos) {
            entry.name = line;
        } else {
            entry.name = Trim(line.substr(0, eq));
            entry.value = Trim(line.substr(eq + 1));
            entry.hasValue = true;
        }
        current->entries.push_back(entry);
    }
    return sections;
}

// Copies text into buf of size chars, Windows-style: at most size-1
// characters and a terminating NUL.  Returns the characters copied.
uint32_t CopyString(const std::string& text, char* buf, uint32_t size) {
    if (size == 0) return 0;
    uint32_t n = static_cast<uint32_t>(std::min<size_t>(text.size(), size - 1));
    std::memcpy(buf, text.data(), n);
    buf[n] = '\0';
    return n;
}

// Writes a NUL-separated list with a final extra NUL.  The list counts as
// fitting only when it leaves at least one character of the buffer unused
// (a list that fills the buffer exactly is reported as cut, as Windows does).
// When it does not fit, the first size - 2 characters of the list are kept,
// two NULs end the buffer and the result is size - 2.
uint32_t CopyList(const std::vector<std::string>& items, char* buf, uint32_t size) {
    if (size == 0) return 0;
    std::string list;
    for (const std::string& item : items) {
        list += item;
        list += '\0';
    }
    if (list.size() + 2 <= size) {
        std::memcpy(buf, list.data(), list.size());
        buf[list.size()] = '\0';
        if (list.empty()) buf[1] = '\0';
        return static_cast<uint32_t>(list.size());
    }
    if (size < 2) {
        buf[0] = '\0';
        return 0;
    }
    std::memcpy(buf, list.data(), size - 2);
    buf[size - 2] = '\0';
    buf[size - 1] = '\0';
    return size - 2;
}

class PortableIni : public IIni {
public:
    uint32_t GetString(const char* section, const char* key, const char* def, char* buf, uint32_t size,
                       const char* file) override {
        std::lock_guard<std::mutex> lock(m_mutex);
        std::string defText = def ? def : "";
        while (!defText.empty() && defText.back() == ' ') defText.pop_back();
        const Parsed* parsed = Load(file);
        const Section* sec = parsed && section ? Find(*parsed, section) : nullptr;
        if (!section) {
            std::vector<std::string> names;
            if (parsed) {
                for (const Section& s : parsed->sections) names.push_back(s.name);
            }
            return CopyList(names, buf, size);
        }
        if (!key) {
            std::vector<std::string> names;
            if (sec) {
                for (const Entry& e : sec->entries) names.push_back(e.name);
            }
            return CopyList(names, buf, size);
        }
        if (sec) {
            for (const Entry& e : sec->entries) {
                if (!SameName(e.name, key)) continue;
                std::string value = e.value;
                if (value.size() >= 2 && (value[0] == '"' || value[0] == '\'') && value.back() == value[0])
                    value = value.substr(1, value.size() - 2);
                return CopyString(value, buf, size);
            }
        }
        return CopyString(defText, buf, size);
    }

    uint32_t GetSection(const char* section, char* buf, uint32_t size, const char* file) override {
        std::lock_guard<std::mutex> lock(m_mutex);
        const Parsed* parsed = Load(file);
        const Section* sec = parsed && section ? Find(*parsed, section) : nullptr;
        std::vector<std::string> lines;
        if (sec) {
            for (const Entry& e : sec->entries) lines.push_back(e.hasValue ? e.name + "=" + e.value : e.name);
        }
        return CopyList(lines, buf, size);
    }

private:
    static const Section* Find(const Parsed& parsed, const char* name) {
        for (const Section& s : parsed.sections) {
            if (SameName(s.name, name)) return &s;
        }
        return nullptr;
    }

    const Parsed* Load(const char* file) {
        if (!file || !*file) return nullptr;
        std::string path = Sys().files ? Sys().files->NativePath(file) : std::string(file);
        struct stat st;
        if (stat(path.c_str(), &st) != 0) {
            m_cache.erase(path);
            return nullptr;
        }
#if defined(_WIN32)
        long long mtime = static_cast<long long>(st.st_mtime) * 1000000000LL;
#else
        long long mtime = static_cast<long long>(st.st_mtim.tv_sec) * 1000000000LL + st.st_mtim.tv_nsec;
#endif
        Parsed& entry = m_cache[path];
        if (entry.settled && entry.size == static_cast<long long>(st.st_size) && entry.mtimeNs == mtime)
            return &entry;
        std::FILE* f = std::fopen(path.c_str(), "rb");
        if (!f) {
            m_cache.erase(path);
            return nullptr;
        }
        std::string text;
        char chunk[4096];
        size_t n;
        while ((n = std::fread(chunk, 1, sizeof chunk, f)) > 0) text.append(chunk, n);
        std::fclose(f);
        entry.sections = Parse(text);
        entry.size = static_cast<long long>(st.st_size);
        entry.mtimeNs = mtime;
        entry.settled = static_cast<long long>(std::time(nullptr)) >= static_cast<long long>(st.st_mtime) + 2;
        return &entry;
    }

    std::mutex m_mutex;
    std::map<std::string, Parsed> m_cache;
};

}  // namespace

std::unique_ptr<IIni> MakePortableIniReader() { return std::make_unique<PortableIni>(); }

}  // namespace tessaro
