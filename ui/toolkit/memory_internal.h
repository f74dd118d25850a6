// What the in-memory backend's sources share: the frame of its windows, the
// small rules of button and list styles, the state a dialog shares with its
// pages, and the dispatch marker.  Only ui/toolkit/memory*.cpp include it.
#pragma once

#include <algorithm>
#include <cctype>
#include <condition_variable>
#include <deque>
#include <mutex>
#include <string>
#include <thread>

#include "ui/toolkit/memory.h"

namespace ui {
namespace memory_detail {

// Non-client frame of a top-level window in the in-memory backend.
constexpr int kFrame = 3;
constexpr int kCaption = 22;

inline int MulDiv(int a, int b, int c) {
    int64_t p = static_cast<int64_t>(a) * b;
    return static_cast<int>((p >= 0 ? p + c / 2 : p - c / 2) / c);
}

inline int DefaultAnswer(uint32_t style) {
    switch (style & kMbTypeMask) {
    case kMbAbortRetryIgnore: return kIdAbort;
    case kMbYesNo:
    case kMbYesNoCancel: return kIdYes;
    case kMbRetryCancel: return kIdRetry;
    default: return kIdOk;
    }
}

inline bool IsAutoCheck(const ControlTemplate& t) {
    return t.statement == "AUTOCHECKBOX" || t.statement == "AUTO3STATE" || t.HasStyle("BS_AUTOCHECKBOX") ||
           t.HasStyle("BS_AUTO3STATE");
}
inline bool IsThreeState(const ControlTemplate& t) {
    return t.statement == "AUTO3STATE" || t.HasStyle("BS_AUTO3STATE");
}
inline bool IsAutoRadio(const ControlTemplate& t) {
    return t.statement == "AUTORADIOBUTTON" || t.HasStyle("BS_AUTORADIOBUTTON");
}
inline bool IsSorted(const ControlTemplate& t) { return t.HasStyle("CBS_SORT") || t.HasStyle("LBS_SORT"); }

inline std::string Lower(std::string s) {
    for (auto& ch : s) ch = static_cast<char>(std::tolower(static_cast<unsigned char>(ch)));
    return s;
}
}  // namespace memory_detail

// ---------------------------------------------------------------------------
struct MemoryDialog::Shared {
    std::thread::id thread = std::this_thread::get_id();
    WorkerMode mode = WorkerMode::Stepped;
    MemoryDialog* root = nullptr;
    int depth = 0;
    std::mutex mutex;
    std::condition_variable cv;
    std::deque<std::function<void()>> queue;
    SteppedExecutor stepped;
    ThreadExecutor threads;
    mutable std::mutex violationMutex;
    std::vector<std::string> violations;
};

// Marks a dispatch in progress: a dialog that ends during it is destroyed
// when the outermost dispatch returns, as a window is after its handler.
class MemoryDialog::Dispatching {
public:
    explicit Dispatching(MemoryDialog& d) : m_shared(d.m_shared) { ++m_shared->depth; }
    ~Dispatching() {
        if (--m_shared->depth == 0 && m_shared->root) m_shared->root->AfterDispatch();
    }
    Dispatching(const Dispatching&) = delete;
    Dispatching& operator=(const Dispatching&) = delete;

private:
    std::shared_ptr<Shared> m_shared;
};

}  // namespace ui
