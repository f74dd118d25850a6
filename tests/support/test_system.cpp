#include "support/test_system.h"

#include <atomic>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>

namespace fs = std::filesystem;

namespace tessaro {
namespace test {

int RecordingBox::Show(const std::string& text, const std::string& caption, uint32_t style) {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_shown.push_back({text, caption, style});
    if (m_answers.empty()) return m_default;
    int id = m_answers.front();
    m_answers.pop_front();
    return id;
}

void RecordingBox::Answer(int id) {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_answers.push_back(id);
}

void RecordingBox::DefaultAnswer(int id) {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_default = id;
}

std::vector<RecordingBox::Shown> RecordingBox::Boxes() const {
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_shown;
}

std::vector<std::string> RecordingBox::Texts() const {
    std::lock_guard<std::mutex> lock(m_mutex);
    std::vector<std::string> texts;
    for (const Shown& s : m_shown) texts.push_back(s.text);
    return texts;
}

void RecordingBox::Clear() {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_shown.clear();
}

void CapturedDebug::Output(const char* text) {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_all += text;
}

std::string CapturedDebug::All() const {
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_all;
}

std::vector<std::string> CapturedDebug::Lines() const {
    std::lock_guard<std::mutex> lock(m_mutex);
    std::vector<std::string> lines;
    size_t pos = 0;
    while (pos < m_all.size()) {
        size_t end = m_all.find("\r\n", pos);
        if (end == std::string::npos) {
            lines.push_back(m_all.substr(pos));
            break;
        }
        lines.push_back(m_all.substr(pos, end - pos));
        pos = end + 2;
    }
    return lines;
}

bool CapturedDebug::Contains(const std::string& text) const { return All().find(text) != std::string::npos; }

void CapturedDebug::Clear() {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_all.clear();
}

bool FixedOsVersion::GetVersionEx(OsVersionInfoEx* info) {
    if (m_fail || !info || info->dwOSVersionInfoSize != sizeof(OsVersionInfoEx)) return false;
    uint32_t size = info->dwOSVersionInfoSize;
    *info = OsVersionInfoEx{};
    info->dwOSVersionInfoSize = size;
    info->dwMajorVersion = m_major;
    info->dwMinorVersion = m_minor;
    info->dwBuildNumber = m_build;
    info->dwPlatformId = 2;
    info->wServicePackMajor = m_sp;
    return true;
}

void FixedOsVersion::Set(uint32_t major, uint32_t minor, uint16_t servicePack, uint32_t build) {
    m_major = major;
    m_minor = minor;
    m_sp = servicePack;
    m_build = build;
}

bool FixedDesktop::DesktopFolder(std::string& path) {
    if (m_fail) return false;
    path = m_folder;
    return true;
}

void ScriptedConsole::Write(const std::string& text) {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_output += text;
}

int ScriptedConsole::ReadChar(bool skipWhite) {
    std::lock_guard<std::mutex> lock(m_mutex);
    while (m_read < m_input.size()) {
        char c = m_input[m_read++];
        if (skipWhite && (c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\v' || c == '\f')) continue;
        return static_cast<unsigned char>(c);
    }
    return -1;
}

void ScriptedConsole::Input(const std::string& text) {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_input += text;
}

void ScriptedConsole::Reset() {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_output.clear();
    m_input.clear();
    m_read = 0;
    m_opened = 0;
    m_attached = 0;
}

std::string ScriptedConsole::Output() const {
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_output;
}

std::string MakeTempFolder(const std::string& prefix) {
    static std::atomic<unsigned> counter{0};
    std::random_device rd;
    fs::path base = fs::temp_directory_path();
    for (int attempt = 0; attempt < 100; ++attempt) {
        fs::path p = base / (prefix + "-" + std::to_string(rd() % 1000000) + "-" + std::to_string(counter++));
        std::error_code ec;
        if (fs::create_directories(p, ec) && !ec) return p.string();
    }
    return (base / prefix).string();
}

void RemoveTree(const std::string& native) {
    std::error_code ec;
    fs::remove_all(fs::path(native), ec);
}

namespace {

std::string Sep() {
#if defined(_WIN32)
    return "\\";
#else
    return "/";
#endif
}

}  // namespace

TestSystem::TestSystem(const std::string& moduleName) {
    m_root = MakeTempFolder("tessaro-test");
    for (const char* sub : {"program", "desktop", "drive_c"}) fs::create_directories(fs::path(m_root) / sub);
    desktop = std::make_unique<FixedDesktop>((fs::path(m_root) / "desktop").string());
    FileSystemOptions options;
    options.moduleFileName = (fs::path(m_root) / "program" / moduleName).string();
    options.driveCRoot = (fs::path(m_root) / "drive_c").string();
    files = MakeFileSystem(options);
    ini = MakeIniReader();
    m_scope = std::make_unique<ScopedSystem>(Ports());
}

TestSystem::~TestSystem() {
    m_scope.reset();
    RemoveTree(m_root);
}

System TestSystem::Ports() {
    System s;
    s.clock = &clock;
    s.debug = &debug;
    s.files = files.get();
    s.ini = ini.get();
    s.registry = &registry;
    s.box = &box;
    s.os = &os;
    s.shell = desktop.get();
    s.console = &console;
    return s;
}

void TestSystem::Install(const System& extra) {
    System merged = Sys();
    ScopedSystem* old = m_scope.release();
    // Replace the scope: the new one keeps the original previous set, so the
    // test's end restores the system exactly.
    delete old;
    System base = Ports();
    auto pick = [](auto* a, auto* b) { return a ? a : b; };
    base.clock = pick(extra.clock, merged.clock);
    base.debug = pick(extra.debug, merged.debug);
    base.files = pick(extra.files, merged.files);
    base.ini = pick(extra.ini, merged.ini);
    base.registry = pick(extra.registry, merged.registry);
    base.box = pick(extra.box, merged.box);
    base.os = pick(extra.os, merged.os);
    base.driver = pick(extra.driver, merged.driver);
    base.guid = pick(extra.guid, merged.guid);
    base.devices = pick(extra.devices, merged.devices);
    base.process = pick(extra.process, merged.process);
    base.shutdown = pick(extra.shutdown, merged.shutdown);
    base.shell = pick(extra.shell, merged.shell);
    base.console = pick(extra.console, merged.console);
    base.errors = pick(extra.errors, merged.errors);
    m_scope = std::make_unique<ScopedSystem>(base);
}

std::string TestSystem::ProgramFolder() const { return (fs::path(m_root) / "program").string() + Sep(); }
std::string TestSystem::DesktopFolder() const { return (fs::path(m_root) / "desktop").string() + Sep(); }
std::string TestSystem::DriveC() const { return (fs::path(m_root) / "drive_c").string() + Sep(); }

std::string TestSystem::Native(const std::string& relative) const {
    return (fs::path(m_root) / fs::path(relative)).make_preferred().string();
}

void TestSystem::WriteFile(const std::string& relative, const std::string& content) {
    WriteFile(relative, std::vector<uint8_t>(content.begin(), content.end()));
}

void TestSystem::WriteFile(const std::string& relative, const std::vector<uint8_t>& content) {
    fs::path p = fs::path(Native(relative));
    fs::create_directories(p.parent_path());
    std::ofstream out(p, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(content.data()), static_cast<std::streamsize>(content.size()));
    out.close();
    tessaro::SettingsChanged();  // the file may be the INI the tool reads
}

bool TestSystem::ReadFile(const std::string& relative, std::vector<uint8_t>& content) const {
    std::ifstream in(fs::path(Native(relative)), std::ios::binary);
    if (!in) return false;
    content.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    return true;
}

std::string TestSystem::ReadText(const std::string& relative) const {
    std::vector<uint8_t> bytes;
    if (!ReadFile(relative, bytes)) return std::string();
    return std::string(bytes.begin(), bytes.end());
}

bool TestSystem::Exists(const std::string& relative) const { return fs::exists(fs::path(Native(relative))); }

void TestSystem::Remove(const std::string& relative) {
    std::error_code ec;
    fs::remove(fs::path(Native(relative)), ec);
}

void TestSystem::WriteIni(const std::string& text) { WriteFile("program/tessaro.ini", text); }

}  // namespace test
}  // namespace tessaro
