// Waits on Windows.  Sleep ends on a tick of the system timer, which runs at
// 15.6 ms unless some program asked for more: the 1 ms write delay after each
// of the 513 writes of a 32 KB update would then cost about 8 s instead of
// half a second.  Two ways to wait to the millisecond:
//  - a high-resolution waitable timer (Windows 10 version 1803 on): ends
//    within a fraction of a millisecond and leaves the system timer alone;
//  - elsewhere, the system timer is raised to 1 ms (timeBeginPeriod) for the
//    length of each wait and restored (timeEndPeriod) right after, so the
//    machine runs at the faster tick only while the tool actually waits.
// Both are reached by name at run time: the program still starts on Windows
// versions that have neither, where a plain Sleep is what is left.
#include "platform/win32/clock.h"

#include <windows.h>

#include <atomic>
#include <string>

namespace tessaro {

namespace {

constexpr DWORD kHighResolutionTimer = 0x00000002;  // CREATE_WAITABLE_TIMER_HIGH_RESOLUTION

using CreateTimerFn = HANDLE(WINAPI*)(LPSECURITY_ATTRIBUTES, LPCWSTR, DWORD, DWORD);
using PeriodFn = UINT(WINAPI*)(UINT);

template <typename Fn>
Fn Function(HMODULE module, const char* name) {
    return module ? reinterpret_cast<Fn>(reinterpret_cast<void*>(GetProcAddress(module, name))) : nullptr;
}

// False when this Windows has no high-resolution timers (the flag is refused
// before version 1803); the caller then waits the other way.
bool HighResolutionWait(uint32_t ms) {
    static const CreateTimerFn create = Function<CreateTimerFn>(GetModuleHandleA("kernel32.dll"), "CreateWaitableTimerExW");
    static std::atomic<bool> refused{false};
    if (!create || refused.load()) return false;
    HANDLE timer = create(nullptr, nullptr, kHighResolutionTimer, TIMER_ALL_ACCESS);
    if (!timer) {
        refused = true;
        return false;
    }
    LARGE_INTEGER due;
    due.QuadPart = -10000LL * static_cast<LONGLONG>(ms);  // relative, in 100 ns units
    const bool waited =
        SetWaitableTimer(timer, &due, 0, nullptr, nullptr, FALSE) && WaitForSingleObject(timer, INFINITE) == WAIT_OBJECT_0;
    CloseHandle(timer);
    return waited;
}

// timeBeginPeriod and timeEndPeriod of the system's own winmm.dll.
struct TimerPeriod {
    PeriodFn begin = nullptr;
    PeriodFn end = nullptr;
    TimerPeriod() {
        char folder[MAX_PATH] = {};
        const UINT n = GetSystemDirectoryA(folder, MAX_PATH);
        if (n == 0 || n >= MAX_PATH) return;
        const HMODULE winmm = LoadLibraryA((std::string(folder, n) + "\\winmm.dll").c_str());
        begin = Function<PeriodFn>(winmm, "timeBeginPeriod");
        end = Function<PeriodFn>(winmm, "timeEndPeriod");
        if (!begin || !end) begin = end = nullptr;
    }
};

class Win32Clock : public IClock {
public:
    void Sleep(uint32_t ms) override {
        if (ms == 0) {
            ::Sleep(0);
            return;
        }
        if (HighResolutionWait(ms)) return;
        static const TimerPeriod period;
        if (period.begin) period.begin(1);
        ::Sleep(ms);
        if (period.end) period.end(1);
    }
    uint64_t NowMs() override {
        LARGE_INTEGER freq, now;
        QueryPerformanceFrequency(&freq);
        QueryPerformanceCounter(&now);
        return static_cast<uint64_t>(now.QuadPart / (freq.QuadPart / 1000 ? freq.QuadPart / 1000 : 1));
    }
};

}  // namespace

std::unique_ptr<IClock> MakeWin32Clock() { return std::make_unique<Win32Clock>(); }

}  // namespace tessaro
