// Where dialog workers run.
//
// ThreadExecutor gives each worker its own thread (the Win32 backend, and
// the in-memory backend when a test wants real concurrency, e.g. under
// ThreadSanitizer).  SteppedExecutor also gives each worker a thread but lets
// only one side run at a time: a worker runs when the test steps it and stops
// again at its next step point (every effect it posts to the dialog, every
// wait for the dialog's answer, every YieldPoint()), so a test replays exactly
// the order it chooses.
#pragma once

#include <atomic>
#include <condition_variable>
#include <cstddef>
#include <functional>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

namespace ui {

class Executor {
public:
    virtual ~Executor() = default;
    virtual void Start(std::function<void()> fn) = 0;
    // Waits until every worker started so far has ended.
    virtual void JoinAll() = 0;
};

class ThreadExecutor : public Executor {
public:
    ~ThreadExecutor() override;
    void Start(std::function<void()> fn) override;
    void JoinAll() override;
    size_t Running() const;

private:
    struct Entry {
        std::thread thread;
        std::shared_ptr<std::atomic<bool>> done;
    };
    mutable std::mutex m_mutex;
    std::vector<Entry> m_threads;
};

class SteppedExecutor : public Executor {
public:
    SteppedExecutor() = default;
    ~SteppedExecutor() override;
    SteppedExecutor(const SteppedExecutor&) = delete;
    SteppedExecutor& operator=(const SteppedExecutor&) = delete;

    // Queues the worker; it first runs at the next Step.
    void Start(std::function<void()> fn) override;
    // Runs the oldest worker that can go on (not ended, not waiting for
    // something that has not happened) until its next step point.  False when
    // none could.
    bool Step();
    // Steps until no worker can go on.
    void JoinAll() override;
    // Workers not yet ended.
    size_t Unfinished() const;
    // Workers that could go on now.
    size_t Runnable() const;

    // --- worker side (called through the free functions below) ------------
    struct Worker {
        std::function<void()> fn;
        std::thread thread;
        bool started = false;
        bool finished = false;
        std::function<bool()> waitReady;  // set while the worker waits for something
    };
    void Pause(Worker* self);
    void WaitFor(Worker* self, const std::function<bool()>& ready);

private:
    void Body(Worker* w);
    mutable std::mutex m_mutex;
    std::condition_variable m_cv;
    std::vector<std::unique_ptr<Worker>> m_workers;
    Worker* m_running = nullptr;  // the worker that holds the turn; null: the stepping thread
};

// A step point: on a stepped worker, hands the turn back to the test; a no-op
// anywhere else.  Posting an effect to the dialog is one already.
void YieldPoint();
// True on a worker thread of a SteppedExecutor.
bool OnSteppedWorker();

// Waits on a worker until ready() holds.  ready is called with mutex held.
// On a stepped worker the wait is a sequence of step points; elsewhere it
// waits on cv, which whoever changes the outcome of ready notifies.
void WorkerWait(std::mutex& mutex, std::condition_variable& cv, const std::function<bool()>& ready);

}  // namespace ui
