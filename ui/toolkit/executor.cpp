#include "ui/toolkit/executor.h"

#include <atomic>

namespace ui {

// ---------------------------------------------------------------------------
ThreadExecutor::~ThreadExecutor() { JoinAll(); }

void ThreadExecutor::Start(std::function<void()> fn) {
    std::lock_guard<std::mutex> lock(m_mutex);
    // Threads of workers that have ended are joined as new ones start, so a
    // dialog that updates many times keeps no more than it runs.
    for (auto it = m_threads.begin(); it != m_threads.end();) {
        if (it->done->load()) {
            it->thread.join();
            it = m_threads.erase(it);
        } else {
            ++it;
        }
    }
    Entry e;
    e.done = std::make_shared<std::atomic<bool>>(false);
    auto done = e.done;
    e.thread = std::thread([fn = std::move(fn), done] {
        fn();
        done->store(true);
    });
    m_threads.push_back(std::move(e));
}

void ThreadExecutor::JoinAll() {
    std::vector<Entry> threads;
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        threads.swap(m_threads);
    }
    for (auto& e : threads) e.thread.join();
}

size_t ThreadExecutor::Running() const {
    std::lock_guard<std::mutex> lock(m_mutex);
    size_t n = 0;
    for (const auto& e : m_threads) n += e.done->load() ? 0 : 1;
    return n;
}

// ---------------------------------------------------------------------------
namespace {
thread_local SteppedExecutor* t_executor = nullptr;
thread_local SteppedExecutor::Worker* t_worker = nullptr;
}  // namespace

SteppedExecutor::~SteppedExecutor() {
    JoinAll();
    // A worker left waiting for something that can no longer happen keeps its
    // thread; the owner must not let that happen (closing the dialog answers
    // every wait), so this is only a last resort against a hang.
    for (auto& w : m_workers)
        if (w->thread.joinable()) w->thread.detach();
}

void SteppedExecutor::Start(std::function<void()> fn) {
    auto w = std::make_unique<Worker>();
    w->fn = std::move(fn);
    std::lock_guard<std::mutex> lock(m_mutex);
    m_workers.push_back(std::move(w));
}

void SteppedExecutor::Body(Worker* w) {
    t_executor = this;
    t_worker = w;
    {
        std::unique_lock<std::mutex> lock(m_mutex);
        m_cv.wait(lock, [&] { return m_running == w; });
    }
    w->fn();
    std::lock_guard<std::mutex> lock(m_mutex);
    w->finished = true;
    m_running = nullptr;
    m_cv.notify_all();
}

bool SteppedExecutor::Step() {
    Worker* pick = nullptr;
    std::vector<Worker*> candidates;
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        for (auto& w : m_workers)
            if (!w->finished) candidates.push_back(w.get());
    }
    for (Worker* w : candidates) {
        std::function<bool()> ready;
        {
            std::lock_guard<std::mutex> lock(m_mutex);
            ready = w->waitReady;
        }
        // The wait's condition takes its own lock; it is asked outside ours.
        if (!ready || ready()) {
            pick = w;
            break;
        }
    }
    if (!pick) return false;
    std::unique_lock<std::mutex> lock(m_mutex);
    m_running = pick;
    if (!pick->started) {
        pick->started = true;
        pick->thread = std::thread([this, pick] { Body(pick); });
    }
    m_cv.notify_all();
    m_cv.wait(lock, [&] { return m_running == nullptr; });
    if (pick->finished && pick->thread.joinable()) {
        lock.unlock();
        pick->thread.join();
    }
    return true;
}

void SteppedExecutor::JoinAll() {
    while (Step()) {
    }
}

size_t SteppedExecutor::Unfinished() const {
    std::lock_guard<std::mutex> lock(m_mutex);
    size_t n = 0;
    for (const auto& w : m_workers) n += w->finished ? 0 : 1;
    return n;
}

size_t SteppedExecutor::Runnable() const {
    std::vector<std::function<bool()>> waits;
    size_t n = 0;
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        for (const auto& w : m_workers) {
            if (w->finished) continue;
            if (w->waitReady) waits.push_back(w->waitReady);
            else ++n;
        }
    }
    for (auto& r : waits) n += r() ? 1 : 0;
    return n;
}

void SteppedExecutor::Pause(Worker* self) {
    std::unique_lock<std::mutex> lock(m_mutex);
    m_running = nullptr;
    m_cv.notify_all();
    m_cv.wait(lock, [&] { return m_running == self; });
}

void YieldPoint() {
    if (t_executor) t_executor->Pause(t_worker);
}

bool OnSteppedWorker() { return t_executor != nullptr; }

void WorkerWait(std::mutex& mutex, std::condition_variable& cv, const std::function<bool()>& ready) {
    if (!t_executor) {
        std::unique_lock<std::mutex> lock(mutex);
        cv.wait(lock, ready);
        return;
    }
    std::function<bool()> check = [&mutex, &ready] {
        std::lock_guard<std::mutex> lock(mutex);
        return ready();
    };
    t_executor->WaitFor(t_worker, check);
}

void SteppedExecutor::WaitFor(Worker* self, const std::function<bool()>& ready) {
    while (!ready()) {
        // Registered so that Step passes this worker over until it can go on.
        {
            std::lock_guard<std::mutex> lock(m_mutex);
            self->waitReady = ready;
        }
        Pause(self);
    }
    std::lock_guard<std::mutex> lock(m_mutex);
    self->waitReady = nullptr;
}

}  // namespace ui
