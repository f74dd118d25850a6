#include "fuzz_system.h"

#include <algorithm>
#include <cctype>
#include <cstring>

namespace fuzz {

namespace {

std::string Lower(std::string text) {
    for (char& c : text) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return text;
}

uint32_t CopyText(const std::string& text, char* buf, uint32_t size) {
    if (size == 0) return 0;
    const uint32_t n = static_cast<uint32_t>(std::min<size_t>(text.size(), size - 1));
    std::memcpy(buf, text.data(), n);
    buf[n] = '\0';
    return n;
}

uint32_t CopyLines(const std::vector<std::string>& lines, char* buf, uint32_t size) {
    std::string list;
    for (const std::string& line : lines) list += line + '\0';
    if (size == 0) return 0;
    if (list.size() + 2 <= size) {
        std::memcpy(buf, list.data(), list.size());
        buf[list.size()] = '\0';
        if (size > list.size() + 1) buf[list.size() + 1] = '\0';
        return static_cast<uint32_t>(list.size());
    }
    if (size < 2) {
        buf[0] = '\0';
        return 0;
    }
    std::memcpy(buf, list.data(), size - 2);
    buf[size - 2] = buf[size - 1] = '\0';
    return size - 2;
}

}  // namespace

std::vector<std::string> MemoryFiles::Find(const std::string& pattern) {
    const size_t cut = pattern.find_last_of('\\');
    const std::string folder = pattern.substr(0, cut + 1);
    const std::string mask = Lower(pattern.substr(cut + 1));
    const std::string suffix = mask.size() > 1 && mask[0] == '*' ? mask.substr(1) : std::string();
    std::vector<std::string> names;
    for (const auto& file : m_files) {
        if (file.first.compare(0, folder.size(), folder) != 0) continue;
        const std::string name = file.first.substr(folder.size());
        if (name.find('\\') != std::string::npos) continue;
        const std::string lower = Lower(name);
        if (suffix.empty() ? lower == mask
                           : lower.size() >= suffix.size() && lower.compare(lower.size() - suffix.size(),
                                                                            suffix.size(), suffix) == 0)
            names.push_back(name);
    }
    return names;
}

bool MemoryFiles::ReadAll(const std::string& path, std::vector<uint8_t>& out, uint32_t& error) {
    auto it = m_files.find(path);
    if (it == m_files.end()) {
        out.clear();
        error = 2;
        return false;
    }
    out = it->second;
    error = 0;
    return true;
}

bool MemoryFiles::WriteAll(const std::string& path, const void* data, size_t size, uint32_t& error) {
    Put(path, static_cast<const uint8_t*>(data), size);
    error = 0;
    return true;
}

bool MemoryFiles::Delete(const std::string& path, uint32_t& error) {
    error = m_files.erase(path) ? 0 : 2;
    return error == 0;
}

bool MemoryFiles::Rename(const std::string& from, const std::string& to, uint32_t& error) {
    auto it = m_files.find(from);
    if (it == m_files.end()) {
        error = 2;
        return false;
    }
    std::vector<uint8_t> bytes = std::move(it->second);
    m_files.erase(it);
    m_files[to] = std::move(bytes);
    error = 0;
    return true;
}

uint32_t TableIni::GetString(const char* section, const char* key, const char* def, char* buf, uint32_t size,
                             const char*) {
    std::vector<std::string> names;
    if (!section) {
        for (const auto& s : m_keys) names.push_back(s.first);
        return CopyLines(names, buf, size);
    }
    auto it = m_keys.find(Lower(section));
    if (!key) {
        if (it != m_keys.end())
            for (const auto& kv : it->second) names.push_back(kv.first);
        return CopyLines(names, buf, size);
    }
    if (it != m_keys.end()) {
        for (const auto& kv : it->second)
            if (Lower(kv.first) == Lower(key)) return CopyText(kv.second, buf, size);
    }
    return CopyText(def ? def : "", buf, size);
}

uint32_t TableIni::GetSection(const char* section, char* buf, uint32_t size, const char*) {
    auto it = section ? m_lines.find(Lower(section)) : m_lines.end();
    return CopyLines(it == m_lines.end() ? std::vector<std::string>() : it->second, buf, size);
}

void TableIni::Set(const std::string& section, const std::string& key, const std::string& value) {
    m_keys[Lower(section)].emplace_back(key, value);
}

void TableIni::AddLine(const std::string& section, const std::string& line) { m_lines[Lower(section)].push_back(line); }

class FuzzSystem::Sink : public tessaro::IDebugOutput {
public:
    void Output(const char* text) override { m_chars += std::strlen(text); }

private:
    size_t m_chars = 0;
};

class FuzzSystem::OkBox : public tessaro::IMessageBox {
public:
    int Show(const std::string&, const std::string&, uint32_t) override { return 1; }
};

FuzzSystem::FuzzSystem() : m_debug(std::make_unique<Sink>()), m_box(std::make_unique<OkBox>()) {
    const uint8_t none = 0;
    files.Put("C:\\tool\\tessaro.ini", &none, 0);
    Install(tessaro::System{});
}

FuzzSystem::~FuzzSystem() { m_scope.reset(); }

void FuzzSystem::Install(const tessaro::System& extra) {
    m_scope.reset();
    tessaro::System s = extra;
    s.clock = &clock;
    s.debug = m_debug.get();
    s.files = &files;
    s.ini = &ini;
    s.box = m_box.get();
    m_scope = std::make_unique<tessaro::ScopedSystem>(s);
}

std::vector<uint8_t> Bytes::Take(size_t n) {
    n = std::min(n, m_size - m_pos);
    std::vector<uint8_t> out(m_data + m_pos, m_data + m_pos + n);
    m_pos += n;
    return out;
}

}  // namespace fuzz
