// The small system services of the simulated PC: a real clock for benches
// that want wall time, GUIDs (random or a reproducible sequence), the
// Windows version, and message boxes that answer from a script.
#pragma once

#include <chrono>
#include <cstdint>
#include <deque>
#include <map>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "bench/description.h"
#include "platform/ports.h"

namespace bench {

// Counts one more matching call against a fault's nth/first selection;
// true when this call is one the fault hits.
bool FaultHits(const Fault& fault, uint32_t& matches);

// Wall time.  A sleep always ends a little late (the scheduler's wake-up
// latency); the clock keeps that overshoot per thread and takes it off the
// thread's next wait, so that every wait ends at the deadline it would have
// had without the earlier overshoots and thousands of short waits cost their
// sum, not their sum plus one overshoot each.  A new clock owes nothing.
class RealClock : public tessaro::IClock {
public:
    void Sleep(uint32_t ms) override;
    uint64_t NowMs() override;
    void SleepUs(uint64_t us);

private:
    std::mutex m_mutex;
    std::map<std::thread::id, std::chrono::steady_clock::duration> m_late;
};

class GuidSource : public tessaro::IGuid {
public:
    GuidSource();
    bool Create(tessaro::Guid* out) override;

    // A reproducible sequence: the same seed gives the same GUIDs.
    void UseSequence(uint64_t seed);
    void UseRandom();
    void AddFault(const Fault& fault);
    int Created() const;

private:
    uint64_t Next();

    mutable std::mutex m_mutex;
    bool m_sequence = false;
    uint64_t m_state = 0;
    int m_created = 0;
    std::vector<std::pair<Fault, uint32_t>> m_faults;
};

class OsVersion : public tessaro::IOsVersion {
public:
    OsVersion();
    bool GetVersionEx(tessaro::OsVersionInfoEx* info) override;

    // major.minor.build, service pack major.minor; the CSD text is made up
    // as "Service Pack n" unless given.
    void Set(uint32_t major, uint32_t minor, uint32_t build, uint16_t spMajor, uint16_t spMinor,
             const std::string& csd, bool server);
    void Fail(uint32_t error);  // 0: works again
    const tessaro::OsVersionInfoEx& Info() const { return m_info; }

private:
    tessaro::OsVersionInfoEx m_info;
    uint32_t m_failError = 0;
};

struct BoxRecord {
    std::string caption;
    std::string text;
    uint32_t style = 0;
    int answer = 0;
};

class ScriptedMessageBox : public tessaro::IMessageBox {
public:
    int Show(const std::string& text, const std::string& caption, uint32_t style) override;

    // Answer used when the queue is empty and the box offers it; 0: the
    // box's first button.
    void SetDefault(int answer);
    void Queue(int answer);
    std::vector<BoxRecord> Shown() const;
    size_t Pending() const;
    void SetQuiet(bool quiet) { m_quiet = quiet; }

private:
    mutable std::mutex m_mutex;
    int m_default = 0;
    std::deque<int> m_queue;
    std::vector<BoxRecord> m_shown;
    bool m_quiet = false;
};

// Button ids by name ("ok", "cancel", "yes", "no", "abort", "retry",
// "ignore", "tryagain", "continue"); 0 for an unknown name.
int ButtonId(const std::string& name);
std::string ButtonName(int id);

}  // namespace bench
