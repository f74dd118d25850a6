#include "settings/CIniFile.h"

#include <cctype>
#include <cstdlib>
#include <mutex>

#include "platform/ports.h"

namespace {

std::mutex g_overrideMutex;
std::string g_override;

constexpr uint32_t kValueBuffer = 255;
constexpr uint32_t kKeyListBuffer = 90;
constexpr uint32_t kSectionBuffer = 5000;

}  // namespace

CIniFile::CIniFile() { m_lines.reserve(10); }

CIniFile::~CIniFile() = default;

std::string CIniFile::ProgramFolder() {
    std::string module = tessaro::Sys().files->ModuleFileName();
    if (module.size() > 260) module.resize(260);
    size_t cut = module.find_last_of("\\/");
    return cut == std::string::npos ? std::string() : module.substr(0, cut + 1);
}

void CIniFile::SetOverride(const std::string& path) {
    {
        std::lock_guard<std::mutex> lock(g_overrideMutex);
        g_override = path;
    }
    tessaro::SettingsChanged();
}

bool CIniFile::FindIniFile(std::string& path) {
    {
        std::lock_guard<std::mutex> lock(g_overrideMutex);
        if (!g_override.empty()) {
            path = g_override;
            return true;
        }
    }
    std::string folder = ProgramFolder();
    std::vector<std::string> found = tessaro::Sys().files->Find(folder + "*.ini");
    if (found.empty()) {
        path.clear();
        return false;
    }
    path = folder + found.front();
    return true;
}

void CIniFile::SetFileName(const std::string& path) { m_path = path; }

std::string CIniFile::GetString(const std::string& key, const std::string& section) {
    char buf[kValueBuffer] = {};
    m_count = static_cast<int>(
        tessaro::Sys().ini->GetString(section.c_str(), key.c_str(), "", buf, kValueBuffer, m_path.c_str()));
    return std::string(buf);
}

bool CIniFile::SectionExists(const std::string& section) {
    char buf[kKeyListBuffer] = {};
    m_count = static_cast<int>(
        tessaro::Sys().ini->GetString(section.c_str(), nullptr, "", buf, kKeyListBuffer, m_path.c_str()));
    return m_count > 0;
}

const std::vector<std::string>& CIniFile::ReadSection(const std::string& section) {
    m_lines.clear();
    std::vector<char> buf(kSectionBuffer, 0);
    uint32_t n = tessaro::Sys().ini->GetSection(section.c_str(), buf.data(), kSectionBuffer, m_path.c_str());
    m_count = static_cast<int>(n);
    if (n > kSectionBuffer) n = kSectionBuffer;
    size_t start = 0;
    for (size_t i = 0; i < n; ++i) {
        if (buf[i] == '\0') {
            if (i > start) m_lines.emplace_back(buf.data() + start, i - start);
            start = i + 1;
        }
    }
    if (start < n) m_lines.emplace_back(buf.data() + start, n - start);
    // A section longer than the buffer comes back cut inside its last line:
    // only whole lines are listed.
    if (n == kSectionBuffer - 2 && !m_lines.empty()) m_lines.pop_back();
    return m_lines;
}

long CIniFile::ToInt(const std::string& text) { return std::strtol(text.c_str(), nullptr, 10); }

bool CIniFile::IsSwitchOne(const std::string& text) { return text == "1"; }

bool CIniFile::IsYesOrOne(const std::string& text) {
    std::string lower = text;
    for (char& c : lower) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return lower == "yes" || lower == "1";
}
