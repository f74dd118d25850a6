#include "bench/activation.h"

#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <fstream>
#include <mutex>
#include <sstream>
#include <thread>

namespace bench {

// The control file is the outside world's: it is polled in real time on a
// thread of the bench's own, whatever clock the PC runs on.
class ControlWatch {
public:
    ControlWatch(Pc& pc, std::string file) : m_pc(pc), m_file(std::move(file)), m_thread([this] { Run(); }) {}
    ~ControlWatch() {
        {
            std::lock_guard<std::mutex> lock(m_mutex);
            m_stop = true;
        }
        m_cv.notify_all();
        m_thread.join();
    }

private:
    void Run() {
        std::unique_lock<std::mutex> lock(m_mutex);
        while (!m_stop) {
            lock.unlock();
            Poll();
            lock.lock();
            m_cv.wait_for(lock, std::chrono::milliseconds(100), [this] { return m_stop; });
        }
    }
    void Poll() {
        std::ifstream in(m_file, std::ios::binary);
        if (!in) return;
        std::stringstream all;
        all << in.rdbuf();
        const std::string text = all.str();
        if (text.size() < m_done) m_done = 0;  // the file was started anew
        size_t pos = m_done;
        for (size_t end = text.find('\n', pos); end != std::string::npos; end = text.find('\n', pos)) {
            std::string line = text.substr(pos, end - pos);
            if (!line.empty() && line.back() == '\r') line.pop_back();
            std::string error;
            if (m_pc.Control(line, &error)) {
                if (!line.empty()) std::fprintf(stderr, "[bench] control: %s\n", line.c_str());
            } else {
                std::fprintf(stderr, "[bench] control file %s: %s\n", m_file.c_str(), error.c_str());
            }
            std::fflush(stderr);
            pos = end + 1;
        }
        m_done = pos;
    }

    Pc& m_pc;
    std::string m_file;
    size_t m_done = 0;
    std::mutex m_mutex;
    std::condition_variable m_cv;
    bool m_stop = false;
    std::thread m_thread;  // last: starts once the rest is ready
};

Activation::Activation() = default;
Activation::Activation(Activation&&) noexcept = default;
Activation& Activation::operator=(Activation&&) noexcept = default;

Activation::~Activation() {
    // The watch stops first; the ports go back before the PC that served
    // them goes away.
    m_watch.reset();
    m_ports.reset();
    m_pc.reset();
}

Activation Install(const std::string& benchFile) {
    Activation a;
    a.m_file = benchFile;
    std::string error;
    a.m_pc = Pc::Load(benchFile, &error);
    if (!a.m_pc) {
        a.m_state = Activation::State::Failed;
        a.m_error = error;
        std::fprintf(stderr, "[bench] TESSARO_BENCH names a bench that cannot be used: %s\n", error.c_str());
        std::fprintf(stderr, "[bench] not falling back to real hardware\n");
        std::fflush(stderr);
        return a;
    }
    a.m_ports = std::make_unique<tessaro::ScopedSystem>(a.m_pc->Ports());
    a.m_state = Activation::State::Installed;
    std::fprintf(stderr, "[bench] simulated PC of bench file %s in use\n", benchFile.c_str());
    std::fflush(stderr);
    return a;
}

Activation InstallFromEnvironment() {
    const std::string file = tessaro::GetEnv("TESSARO_BENCH");
    if (file.empty()) return Activation();
    Activation a = Install(file);
    const std::string control = tessaro::GetEnv("TESSARO_BENCH_CONTROL");
    if (a.m_pc && !control.empty()) {
        a.m_watch = std::make_unique<ControlWatch>(*a.m_pc, control);
        std::fprintf(stderr, "[bench] control file %s is followed\n", control.c_str());
        std::fflush(stderr);
    }
    return a;
}

}  // namespace bench
