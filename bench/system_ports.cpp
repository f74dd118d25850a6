#include "bench/system_ports.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <random>
#include <thread>

#include "platform/winconst.h"

namespace bench {

bool FaultHits(const Fault& fault, uint32_t& matches) {
    ++matches;
    if (fault.nth) return matches == fault.nth;
    if (fault.first) return matches <= fault.first;
    if (fault.from) return matches >= fault.from && (!fault.count || matches - fault.from < fault.count);
    return true;
}

// --- clock -------------------------------------------------------------------

void RealClock::Sleep(uint32_t ms) { SleepUs(static_cast<uint64_t>(ms) * 1000); }

void RealClock::SleepUs(uint64_t us) {
    using namespace std::chrono;
    const auto want = duration_cast<steady_clock::duration>(microseconds(us));
    steady_clock::duration late{};  // how late this thread's last wait ended: owed back now
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        auto it = m_late.find(std::this_thread::get_id());
        if (it != m_late.end()) {
            late = it->second;
            if (late >= want) {
                it->second -= want;
                return;
            }
        }
    }
    const auto deadline = steady_clock::now() + (want - late);
    std::this_thread::sleep_until(deadline);
    const auto woke = steady_clock::now();
    std::lock_guard<std::mutex> lock(m_mutex);
    m_late[std::this_thread::get_id()] = woke > deadline ? woke - deadline : steady_clock::duration{};
}

uint64_t RealClock::NowMs() {
    using namespace std::chrono;
    return static_cast<uint64_t>(duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count());
}

// --- GUIDs -------------------------------------------------------------------

GuidSource::GuidSource() { UseRandom(); }

void GuidSource::UseSequence(uint64_t seed) {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_sequence = true;
    m_state = seed;
}

void GuidSource::UseRandom() {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_sequence = false;
    std::random_device device;
    m_state = (static_cast<uint64_t>(device()) << 32) ^ device() ^
              static_cast<uint64_t>(std::chrono::steady_clock::now().time_since_epoch().count());
}

void GuidSource::AddFault(const Fault& fault) {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_faults.push_back({fault, 0});
}

int GuidSource::Created() const {
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_created;
}

uint64_t GuidSource::Next() {
    // splitmix64: a well-mixed sequence from any seed.
    uint64_t z = (m_state += 0x9E3779B97F4A7C15ull);
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
    return z ^ (z >> 31);
}

bool GuidSource::Create(tessaro::Guid* out) {
    std::lock_guard<std::mutex> lock(m_mutex);
    bool fail = false;
    for (auto& f : m_faults)
        if (FaultHits(f.first, f.second)) fail = true;
    if (fail || !out) return false;
    const uint64_t a = Next();
    const uint64_t b = Next();
    out->data1 = static_cast<uint32_t>(a >> 32);
    out->data2 = static_cast<uint16_t>(a >> 16);
    out->data3 = static_cast<uint16_t>((a & 0x0FFF) | 0x4000);  // version 4
    for (int i = 0; i < 8; ++i) out->data4[i] = static_cast<uint8_t>(b >> (56 - 8 * i));
    out->data4[0] = static_cast<uint8_t>((out->data4[0] & 0x3F) | 0x80);  // RFC 4122 variant
    ++m_created;
    return true;
}

// --- Windows version -----------------------------------------------------------

OsVersion::OsVersion() { Set(6, 1, 7601, 1, 0, std::string(), false); }

void OsVersion::Set(uint32_t major, uint32_t minor, uint32_t build, uint16_t spMajor, uint16_t spMinor,
                    const std::string& csd, bool server) {
    std::memset(&m_info, 0, sizeof m_info);
    m_info.dwOSVersionInfoSize = sizeof m_info;
    m_info.dwMajorVersion = major;
    m_info.dwMinorVersion = minor;
    m_info.dwBuildNumber = build;
    m_info.dwPlatformId = 2;  // VER_PLATFORM_WIN32_NT
    std::string text = csd;
    if (text.empty() && spMajor > 0) text = "Service Pack " + std::to_string(spMajor);
    std::strncpy(m_info.szCSDVersion, text.c_str(), sizeof m_info.szCSDVersion - 1);
    m_info.wServicePackMajor = spMajor;
    m_info.wServicePackMinor = spMinor;
    m_info.wSuiteMask = 0x0100;                 // VER_SUITE_SINGLEUSERTS
    m_info.wProductType = server ? 3 : 1;       // VER_NT_SERVER, VER_NT_WORKSTATION
}

void OsVersion::Fail(uint32_t error) { m_failError = error; }

bool OsVersion::GetVersionEx(tessaro::OsVersionInfoEx* info) {
    if (m_failError) {
        tessaro::SetLastError(m_failError);
        return false;
    }
    // The plain record (148 bytes) or the extended one; anything else is refused.
    if (!info || (info->dwOSVersionInfoSize != 148 && info->dwOSVersionInfoSize != sizeof *info)) {
        tessaro::SetLastError(tessaro::win::kErrInsufficientBuffer);
        return false;
    }
    const uint32_t size = info->dwOSVersionInfoSize;
    std::memcpy(reinterpret_cast<uint8_t*>(info) + 4, reinterpret_cast<const uint8_t*>(&m_info) + 4, size - 4);
    return true;
}

// --- message boxes ---------------------------------------------------------------

namespace {

struct Button {
    const char* name;
    int id;
};
constexpr Button kButtons[] = {{"ok", 1},    {"cancel", 2},    {"abort", 3},     {"retry", 4}, {"ignore", 5},
                               {"yes", 6},   {"no", 7},        {"tryagain", 10}, {"continue", 11}};

// The buttons a box of this style offers, first button first.
std::vector<int> Offered(uint32_t style) {
    switch (style & 0x0F) {
    case 1: return {1, 2};
    case 2: return {3, 4, 5};
    case 3: return {6, 7, 2};
    case 4: return {6, 7};
    case 5: return {4, 2};
    case 6: return {2, 10, 11};
    default: return {1};
    }
}

std::string OneLine(const std::string& text) {
    std::string out;
    for (char c : text) {
        if (c == '\n')
            out += "\\n";
        else if (c != '\r')
            out += c;
    }
    return out;
}

}  // namespace

int ButtonId(const std::string& name) {
    std::string lower;
    for (char c : name) lower += static_cast<char>(c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c);
    for (const Button& b : kButtons)
        if (lower == b.name) return b.id;
    return 0;
}

std::string ButtonName(int id) {
    for (const Button& b : kButtons)
        if (b.id == id) {
            std::string upper = b.name;
            for (char& c : upper) c = static_cast<char>(c >= 'a' && c <= 'z' ? c - 'a' + 'A' : c);
            return upper;
        }
    return std::to_string(id);
}

void ScriptedMessageBox::SetDefault(int answer) {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_default = answer;
}

void ScriptedMessageBox::Queue(int answer) {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_queue.push_back(answer);
}

std::vector<BoxRecord> ScriptedMessageBox::Shown() const {
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_shown;
}

size_t ScriptedMessageBox::Pending() const {
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_queue.size();
}

int ScriptedMessageBox::Show(const std::string& text, const std::string& caption, uint32_t style) {
    std::lock_guard<std::mutex> lock(m_mutex);
    const std::vector<int> offered = Offered(style);
    auto offers = [&](int id) { return std::find(offered.begin(), offered.end(), id) != offered.end(); };
    int answer = offered.front();
    std::string remark;
    if (!m_queue.empty()) {
        const int scripted = m_queue.front();
        m_queue.pop_front();
        if (offers(scripted))
            answer = scripted;
        else
            remark = " (scripted " + ButtonName(scripted) + " is not a button of this box)";
    } else if (m_default && offers(m_default)) {
        answer = m_default;
    }
    m_shown.push_back(BoxRecord{caption, text, style, answer});
    if (!m_quiet) {
        std::fprintf(stderr, "[bench] message box \"%s\": %s -> %s%s\n", OneLine(caption).c_str(),
                     OneLine(text).c_str(), ButtonName(answer).c_str(), remark.c_str());
        std::fflush(stderr);
    }
    return answer;
}

}  // namespace bench
