// Playing the user of a real Win32 dialog from outside it, with window
// messages only: finding dialogs and message boxes, clicking, reading texts,
// filling in a common Open dialog, and capturing a window as a bitmap.  Works
// on windows of this process and of another one (Tessaro.exe under Wine).
#pragma once

#include <windows.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <functional>
#include <string>
#include <thread>
#include <vector>

namespace windrive {

// Whether windows can be made at all (under Wine: an X display is there).
inline bool DisplayAvailable() {
    static int available = -1;
    if (available < 0) {
        HWND probe = CreateWindowExA(0, "STATIC", "probe", WS_POPUP, 0, 0, 10, 10, nullptr, nullptr,
                                     GetModuleHandleA(nullptr), nullptr);
        available = probe ? 1 : 0;
        if (probe) DestroyWindow(probe);
    }
    return available == 1;
}

inline bool WaitFor(const std::function<bool()>& done, int ms = 10000) {
    auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
    while (!done()) {
        if (std::chrono::steady_clock::now() > end) return false;
        Sleep(10);
    }
    return true;
}

// Ends a test's dialog that runs modally on a thread of its own, whatever
// state the test left it in: dismiss (closing what may be open) is called
// until the dialog has ended, then the thread is joined; a thread that still
// hangs is left behind rather than hanging the test program.
inline void WindDown(std::thread& thread, const std::atomic<bool>& ended, const std::function<void()>& dismiss) {
    if (!thread.joinable()) return;
    WaitFor([&] {
        dismiss();
        return ended.load();
    });
    if (ended)
        thread.join();
    else
        thread.detach();
}

inline std::string WindowText(HWND h) {
    if (!h) return std::string();
    // WM_GETTEXT is marshalled between processes; GetWindowText is not for
    // controls of another process.
    char buf[1024] = "";
    SendMessageTimeoutA(h, WM_GETTEXT, sizeof buf, reinterpret_cast<LPARAM>(buf), SMTO_ABORTIFHUNG, 2000, nullptr);
    return buf;
}

inline std::string ClassOf(HWND h) {
    char cls[64] = "";
    if (h) GetClassNameA(h, cls, sizeof cls);
    return cls;
}

// The longest static text of a message box: its message.
inline std::string BoxText(HWND box) {
    std::string best;
    EnumChildWindows(
        box,
        [](HWND child, LPARAM p) -> BOOL {
            auto* out = reinterpret_cast<std::string*>(p);
            std::string text = WindowText(child);
            if (lstrcmpiA(ClassOf(child).c_str(), "Static") == 0 && text.size() > out->size()) *out = text;
            return TRUE;
        },
        reinterpret_cast<LPARAM>(&best));
    return best;
}

// A visible dialog window whose caption is `caption`, or starts with it when
// `prefix` is set.
inline HWND FindDialog(const std::string& caption, bool prefix = false) {
    struct Search {
        std::string caption;
        bool prefix;
        HWND found;
    } search{caption, prefix, nullptr};
    EnumWindows(
        [](HWND h, LPARAM p) -> BOOL {
            auto* s = reinterpret_cast<Search*>(p);
            if (ClassOf(h) != "#32770" || !IsWindowVisible(h)) return TRUE;
            std::string text = WindowText(h);
            if (s->prefix ? text.compare(0, s->caption.size(), s->caption) == 0 : text == s->caption) {
                s->found = h;
                return FALSE;
            }
            return TRUE;
        },
        reinterpret_cast<LPARAM>(&search));
    return search.found;
}

inline HWND WaitDialog(const std::string& caption, bool prefix = false, int ms = 10000) {
    HWND h = nullptr;
    WaitFor([&] { return (h = FindDialog(caption, prefix)) != nullptr; }, ms);
    return h;
}

// A click as the window system delivers it: posted, since the handler may open
// a modal window of its own.
inline void Click(HWND dialog, int id) {
    PostMessageA(dialog, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), reinterpret_cast<LPARAM>(GetDlgItem(dialog, id)));
}

inline bool Enabled(HWND dialog, int id) { return IsWindowEnabled(GetDlgItem(dialog, id)) != FALSE; }

// The first edit control in and below a window (the window itself when it is one).
inline HWND EditIn(HWND h) {
    if (!h || lstrcmpiA(ClassOf(h).c_str(), "Edit") == 0) return h;
    HWND found = nullptr;
    EnumChildWindows(
        h,
        [](HWND c, LPARAM p) -> BOOL {
            if (lstrcmpiA(ClassOf(c).c_str(), "Edit") != 0) return TRUE;
            *reinterpret_cast<HWND*>(p) = c;
            return FALSE;
        },
        reinterpret_cast<LPARAM>(&found));
    return found;
}

// Types a path into a common Open (or Save As) dialog and presses its OK
// button.  The file name box is the edit inside the combo box cmb13 in the
// Explorer-style dialog, a plain edit (edt1) in the old style.
inline bool FillFileDialog(HWND fileDialog, const std::string& path) {
    const int kCmb13 = 0x47c, kEdt1 = 0x480;
    HWND name = EditIn(GetDlgItem(fileDialog, kCmb13));
    if (!name) name = EditIn(GetDlgItem(fileDialog, kEdt1));
    if (!name) return false;
    SendMessageA(name, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(path.c_str()));
    PostMessageA(fileDialog, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), reinterpret_cast<LPARAM>(GetDlgItem(fileDialog, IDOK)));
    return true;
}

// Saves what the screen shows of a window (frame included) as a 24-bit BMP.
inline bool CaptureWindow(HWND h, const std::string& bmpPath) {
    RECT r{};
    if (!GetWindowRect(h, &r)) return false;
    const int w = r.right - r.left, ht = r.bottom - r.top;
    if (w <= 0 || ht <= 0) return false;
    HDC screen = GetDC(nullptr);
    HDC mem = CreateCompatibleDC(screen);
    BITMAPINFO bi;
    std::memset(&bi, 0, sizeof bi);
    bi.bmiHeader.biSize = sizeof bi.bmiHeader;
    bi.bmiHeader.biWidth = w;
    bi.bmiHeader.biHeight = ht;  // bottom-up, as a BMP file stores it
    bi.bmiHeader.biPlanes = 1;
    bi.bmiHeader.biBitCount = 24;
    bi.bmiHeader.biCompression = BI_RGB;
    void* bits = nullptr;
    HBITMAP dib = CreateDIBSection(screen, &bi, DIB_RGB_COLORS, &bits, nullptr, 0);
    bool ok = false;
    if (dib) {
        HGDIOBJ old = SelectObject(mem, dib);
        ok = BitBlt(mem, 0, 0, w, ht, screen, r.left, r.top, SRCCOPY) != FALSE;
        GdiFlush();
        SelectObject(mem, old);
    }
    const DWORD stride = static_cast<DWORD>((w * 3 + 3) & ~3);
    const DWORD imageSize = stride * static_cast<DWORD>(ht);
    if (ok) {
        BITMAPFILEHEADER fh;
        std::memset(&fh, 0, sizeof fh);
        fh.bfType = 0x4D42;
        fh.bfOffBits = sizeof fh + sizeof bi.bmiHeader;
        fh.bfSize = fh.bfOffBits + imageSize;
        bi.bmiHeader.biSizeImage = imageSize;
        FILE* f = std::fopen(bmpPath.c_str(), "wb");
        ok = f && std::fwrite(&fh, sizeof fh, 1, f) == 1 && std::fwrite(&bi.bmiHeader, sizeof bi.bmiHeader, 1, f) == 1 &&
             std::fwrite(bits, imageSize, 1, f) == 1;
        if (f) ok = std::fclose(f) == 0 && ok;
    }
    if (dib) DeleteObject(dib);
    DeleteDC(mem);
    ReleaseDC(nullptr, screen);
    return ok;
}

}  // namespace windrive
