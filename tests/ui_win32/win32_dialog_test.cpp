// The Win32 backend on a real window system: the demonstration dialog runs
// modally on its own thread, and the test plays the user from outside, with
// window messages (commands, closing, private messages), reading controls back
// and answering message boxes by finding them.  Needs a display: under Wine
// an X server (Xvfb) named by DISPLAY; skipped without one.
#include <windows.h>

#include <commctrl.h>
#include <objbase.h>
#include <dbt.h>
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <functional>
#include <set>
#include <string>
#include <thread>

#include "ui/win32/Win32Dialog.h"  // first: it keeps the toolkit's names free of the A/W macros
#include "ui/demo_dialog.h"
#include "ui/toolkit/templates.h"
#include "ui/win32/CStatusText.h"
#include "tests/ui_win32/window_driving.h"

namespace {

using windrive::BoxText;
using windrive::DisplayAvailable;
using windrive::WaitFor;
using windrive::WindowText;

HWND FindDialog(const char* caption) { return windrive::FindDialog(caption); }

class Win32DemoTest : public ::testing::Test {
protected:
    void SetUp() override {
        if (!DisplayAvailable()) GTEST_SKIP() << "no window system (under Wine: run Xvfb and set DISPLAY)";
        ui::win32::Install(GetModuleHandleA(nullptr));
    }

    void TearDown() override {
        // Leave nothing open: boxes first, then the dialog.
        windrive::WindDown(m_thread, m_ended, [&] {
            if (HWND box = FindDialog("Quillon")) PostMessageA(box, WM_COMMAND, IDOK, 0);
            if (HWND about = FindDialog("About VX7100ISP")) PostMessageA(about, WM_COMMAND, IDOK, 0);
            if (!m_ended) PostMessageA(m_hwnd, WM_COMMAND, IDCANCEL, 0);
        });
    }

    // Runs the dialog on its own thread and waits until detection is done.
    void Start() {
        m_thread = std::thread([this] {
            m_result = ui::DoModal(m_dlg);
            m_ended = true;
        });
        ASSERT_TRUE(WaitFor([&] { return (m_hwnd = ui::win32::WindowOf(m_dlg)) != nullptr; }));
        ASSERT_TRUE(WaitFor([&] { return Text(IDC_STATUS) == "ISP Tool is ready." && IsWindowEnabled(Item(IDC_EXIT)); }));
        ASSERT_TRUE(WaitFor([&] { return !IsWindowEnabled(Item(IDC_DO_ISP)); }));
    }

    HWND Item(int id) const { return GetDlgItem(m_hwnd, id); }
    std::string Text(int id) const { return WindowText(Item(id)); }
    // A click as the window system delivers it (posted: the handler may open a modal window).
    void Command(int id) { PostMessageA(m_hwnd, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), reinterpret_cast<LPARAM>(Item(id))); }
    HWND WaitBox(const char* caption = "Quillon") {
        HWND box = nullptr;
        WaitFor([&] { return (box = FindDialog(caption)) != nullptr && IsWindowVisible(box); });
        return box;
    }
    int Pos() const { return static_cast<int>(SendMessageA(Item(IDC_PROGRESS), PBM_GETPOS, 0, 0)); }

    demo::CDemoDlg m_dlg;
    std::thread m_thread;
    std::atomic<bool> m_ended{false};
    int m_result = 0;
    HWND m_hwnd = nullptr;
};

TEST_F(Win32DemoTest, WindowMatchesTheTemplateTheInMemoryDialogsUse) {
    ASSERT_NO_FATAL_FAILURE(Start());
    const ui::DialogTemplate* t = ui::FindTemplate(IDD_ISP_DIALOG);
    ASSERT_NE(t, nullptr);
    EXPECT_EQ(WindowText(m_hwnd), t->caption);
    for (const auto& c : t->controls) {
        SCOPED_TRACE(c.id);
        HWND h = Item(c.id);
        ASSERT_NE(h, nullptr);
        char cls[64] = "";
        GetClassNameA(h, cls, sizeof cls);
        EXPECT_EQ(lstrcmpiA(cls, c.className.c_str()), 0) << cls << " / " << c.className;
        EXPECT_EQ((GetWindowLongA(h, GWL_STYLE) & WS_VISIBLE) != 0, c.visible);
        if (c.id != IDC_STATUS) {
            EXPECT_EQ(WindowText(h), c.text);  // the status control shows its own text instead
        }
    }
    // The system menu carries the About item; the icon is set.
    char item[64] = "";
    GetMenuStringA(GetSystemMenu(m_hwnd, FALSE), IDM_ABOUTBOX, item, sizeof item, MF_BYCOMMAND);
    EXPECT_STREQ(item, "&About VX7100ISP...");
    EXPECT_NE(SendMessageA(m_hwnd, WM_GETICON, ICON_BIG, 0), 0);
}

TEST_F(Win32DemoTest, StatusControlShowsItsOwnTextColoursAndFont) {
    ASSERT_NO_FATAL_FAILURE(Start());
    EXPECT_EQ(Text(IDC_STATUS), "ISP Tool is ready.");
    CStatusText::Snapshot s;
    ASSERT_TRUE(CStatusText::Query(Item(IDC_STATUS), &s));
    EXPECT_EQ(s.model.TextColor(), 0xFFFF80u);
    EXPECT_EQ(s.model.BkColor(), 0xFF8000u);
    EXPECT_STREQ(s.font.lfFaceName, "Microsoft Sans Serif");
    EXPECT_EQ(s.font.lfWeight, FW_BOLD);
    HDC dc = GetDC(nullptr);
    EXPECT_EQ(s.font.lfHeight, -MulDiv(12, GetDeviceCaps(dc, LOGPIXELSY), 72));
    ReleaseDC(nullptr, dc);
    EXPECT_GT(s.paints, 0);
    // A plain static is no status control.
    EXPECT_FALSE(CStatusText::Query(Item(IDC_HUB_VERSION), &s));

    // Bold after a font drops the face; a long face is cut to 31 characters.
    demo::CDemoDlg* d = &m_dlg;
    d->Host().Post([d] {
        d->Host().StatusSetFont(IDC_STATUS, std::string(40, 'F'), 18, true);
    });
    ASSERT_TRUE(WaitFor([&] { return CStatusText::Query(Item(IDC_STATUS), &s) && s.model.Points() == 18; }));
    EXPECT_STREQ(s.font.lfFaceName, std::string(31, 'F').c_str());
    d->Host().Post([d] { d->Host().StatusSetBold(IDC_STATUS, false, true); });
    ASSERT_TRUE(WaitFor([&] { return CStatusText::Query(Item(IDC_STATUS), &s) && s.model.Points() == 0; }));
    EXPECT_STRNE(s.font.lfFaceName, std::string(31, 'F').c_str());
    EXPECT_EQ(s.font.lfWeight, FW_NORMAL);
}

TEST_F(Win32DemoTest, UpdateRunsOnAWorkerAndTheTimerMirrorsIt) {
    m_dlg.m_blocks = 30;
    m_dlg.m_afterBlock = [](int) { Sleep(10); };
    ASSERT_NO_FATAL_FAILURE(Start());
    EXPECT_FALSE(IsWindowEnabled(Item(IDC_DO_ISP)));
    PostMessageA(m_hwnd, demo::kMsgEnableIsp, 1, 0);  // a private message
    ASSERT_TRUE(WaitFor([&] { return IsWindowEnabled(Item(IDC_DO_ISP)) != FALSE; }));
    Command(IDC_DO_ISP);
    HWND box = WaitBox();
    ASSERT_NE(box, nullptr);
    EXPECT_EQ(BoxText(box), "Firmware update successfully!\nPlease re-plug the updated hub.");
    EXPECT_EQ(GetWindow(box, GW_OWNER), m_hwnd);
    // While the box is up the worker waits: the controls stay disabled.
    EXPECT_EQ(Pos(), 100);
    EXPECT_FALSE(IsWindowEnabled(Item(IDC_EXIT)));
    PostMessageA(box, WM_COMMAND, IDOK, 0);
    ASSERT_TRUE(WaitFor([&] { return IsWindowEnabled(Item(IDC_EXIT)) != FALSE; }));
    EXPECT_EQ(Text(IDC_STATUS), "ISP complete");
    Command(IDC_EXIT);
    ASSERT_TRUE(WaitFor([&] { return m_ended.load(); }));
    m_thread.join();
    EXPECT_EQ(m_result, IDOK);
    EXPECT_GT(m_dlg.m_ticksShown, 0);
}

TEST_F(Win32DemoTest, CloseBoxEscAndEnterDoNothingWhileAWorkerRuns) {
    HANDLE release = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    m_dlg.m_afterBlock = [release](int) { WaitForSingleObject(release, 10000); };
    ASSERT_NO_FATAL_FAILURE(Start());
    PostMessageA(m_hwnd, demo::kMsgEnableIsp, 1, 0);
    ASSERT_TRUE(WaitFor([&] { return IsWindowEnabled(Item(IDC_DO_ISP)) != FALSE; }));
    Command(IDC_DO_ISP);
    ASSERT_TRUE(WaitFor([&] { return !IsWindowEnabled(Item(IDC_EXIT)); }));
    PostMessageA(m_hwnd, WM_SYSCOMMAND, SC_CLOSE, 0);
    PostMessageA(m_hwnd, WM_CLOSE, 0, 0);
    PostMessageA(m_hwnd, WM_COMMAND, IDCANCEL, 0);
    PostMessageA(m_hwnd, WM_COMMAND, IDOK, 0);
    Command(IDC_EXIT);
    Sleep(300);
    EXPECT_FALSE(m_ended.load());
    EXPECT_TRUE(IsWindow(m_hwnd));
    SetEvent(release);
    HWND box = WaitBox();
    ASSERT_NE(box, nullptr);
    PostMessageA(box, WM_COMMAND, IDOK, 0);
    ASSERT_TRUE(WaitFor([&] { return IsWindowEnabled(Item(IDC_EXIT)) != FALSE; }));
    EXPECT_FALSE(m_ended.load());
    PostMessageA(m_hwnd, WM_COMMAND, IDCANCEL, 0);  // now Esc ends it
    ASSERT_TRUE(WaitFor([&] { return m_ended.load(); }));
    m_thread.join();
    EXPECT_EQ(m_result, IDCANCEL);
    CloseHandle(release);
}

TEST_F(Win32DemoTest, AnEndAskedByAWorkerFollowsTheAnswerOfItsBox) {
    ASSERT_NO_FATAL_FAILURE(Start());
    Command(IDC_READ_VERSION);
    HWND box = WaitBox();
    ASSERT_NE(box, nullptr);
    EXPECT_EQ(BoxText(box), "Read the firmware version of hub 1?");
    PostMessageA(box, WM_COMMAND, IDNO, 0);
    ASSERT_TRUE(WaitFor([&] { return m_ended.load(); }));
    m_thread.join();
    EXPECT_EQ(m_result, IDABORT);
}

TEST_F(Win32DemoTest, AboutBoxIsAModalChildOfTheDialog) {
    ASSERT_NO_FATAL_FAILURE(Start());
    PostMessageA(m_hwnd, WM_SYSCOMMAND, IDM_ABOUTBOX, 0);
    HWND about = WaitBox("About VX7100ISP");
    ASSERT_NE(about, nullptr);
    EXPECT_EQ(GetWindow(about, GW_OWNER), m_hwnd);
    EXPECT_FALSE(IsWindowEnabled(m_hwnd));  // modal
    EXPECT_EQ(WindowText(GetDlgItem(about, IDC_ABOUT_NAME)), "VX7100ISP, Version 2.2.4.0");
    PostMessageA(about, WM_COMMAND, IDOK, 0);
    ASSERT_TRUE(WaitFor([&] { return FindDialog("About VX7100ISP") == nullptr && IsWindowEnabled(m_hwnd); }));
}

TEST_F(Win32DemoTest, DeviceChangeIsAnsweredAndDialogCanBeShortened) {
    ASSERT_NO_FATAL_FAILURE(Start());
    EXPECT_EQ(SendMessageA(m_hwnd, WM_DEVICECHANGE, DBT_DEVNODES_CHANGED, 0), TRUE);
    PostMessageA(m_hwnd, demo::kMsgProgress, 40, 0);
    ASSERT_TRUE(WaitFor([&] { return Pos() == 40; }));

    // Cut the dialog at the top edge of PHY Setting, as the main dialog does.
    demo::CDemoDlg* d = &m_dlg;
    d->Host().Post([d] {
        ui::Rect window = d->Host().WindowRect();
        ui::Rect phy = d->Host().ControlScreenRect(IDC_PHY_SETTING);
        d->Host().SetWindowSize(window.Width(), phy.top - window.top);
    });
    RECT phy{}, before{};
    GetWindowRect(Item(IDC_PHY_SETTING), &phy);
    ASSERT_TRUE(WaitFor([&] {
        GetWindowRect(m_hwnd, &before);
        return before.bottom == phy.top;
    }));
    RECT save{};
    GetWindowRect(Item(IDC_SAVE_CHECKSUM), &save);
    EXPECT_LE(save.bottom, before.bottom);
}

// Counts what a window is asked to paint.
struct PaintCount {
    std::atomic<int> erase{0};
    std::atomic<int> paint{0};
    static LRESULT CALLBACK Proc(HWND h, UINT msg, WPARAM w, LPARAM l, UINT_PTR, DWORD_PTR self) {
        auto* c = reinterpret_cast<PaintCount*>(self);
        if (msg == WM_ERASEBKGND) ++c->erase;
        if (msg == WM_PAINT) ++c->paint;
        return DefSubclassProc(h, msg, w, l);
    }
};

TEST_F(Win32DemoTest, RepaintingTwoControlsLeavesTheDialogBehindThemAlone) {
    ASSERT_NO_FATAL_FAILURE(Start());
    PaintCount dialog, bar;
    std::atomic<bool> watching{false};
    demo::CDemoDlg* d = &m_dlg;
    HWND hwnd = m_hwnd, progress = Item(IDC_PROGRESS);
    d->Host().Post([&, hwnd, progress] {
        SetWindowSubclass(hwnd, PaintCount::Proc, 1, reinterpret_cast<DWORD_PTR>(&dialog));
        SetWindowSubclass(progress, PaintCount::Proc, 1, reinterpret_cast<DWORD_PTR>(&bar));
        watching = true;
    });
    ASSERT_TRUE(WaitFor([&] { return watching.load(); }));
    Sleep(300);  // paints still due from the start
    dialog.erase = dialog.paint = bar.paint = 0;
    CStatusText::Snapshot before, after;
    ASSERT_TRUE(CStatusText::Query(Item(IDC_STATUS), &before));

    std::atomic<int> done{0};
    for (int i = 0; i < 20; ++i) d->Host().Post([&, d] {
        d->Host().RepaintControls({IDC_PROGRESS, IDC_STATUS});
        ++done;
    });
    ASSERT_TRUE(WaitFor([&] { return done.load() == 20; }));
    ASSERT_TRUE(CStatusText::Query(Item(IDC_STATUS), &after));
    EXPECT_GE(after.paints - before.paints, 20);
    EXPECT_GE(bar.paint.load(), 20);
    EXPECT_EQ(dialog.erase.load(), 0);
    EXPECT_EQ(dialog.paint.load(), 0);

    // The whole dialog's repaint does erase it: the count sees it.
    d->Host().Post([d] { d->Host().Redraw(); });
    EXPECT_TRUE(WaitFor([&] { return dialog.erase.load() > 0; }));
    d->Host().Post([&, hwnd, progress] {
        RemoveWindowSubclass(hwnd, PaintCount::Proc, 1);
        RemoveWindowSubclass(progress, PaintCount::Proc, 1);
        watching = false;
    });
    ASSERT_TRUE(WaitFor([&] { return !watching.load(); }));
}

TEST_F(Win32DemoTest, StatusTextAlignsByItsStyleAndKeepsItsGdiObjectsFlat) {
    ASSERT_NO_FATAL_FAILURE(Start());
    demo::CDemoDlg* d = &m_dlg;
    HWND status = Item(IDC_STATUS);
    const LONG base = GetWindowLongA(status, GWL_STYLE) & ~static_cast<LONG>(SS_TYPEMASK | SS_CENTERIMAGE);
    struct Case {
        LONG style;
        UINT format;
    } cases[] = {
        {SS_LEFT, DT_LEFT | DT_WORDBREAK},
        {SS_CENTER, DT_CENTER | DT_WORDBREAK},
        {SS_RIGHT, DT_RIGHT | DT_WORDBREAK},
        {SS_CENTER | SS_CENTERIMAGE, DT_CENTER | DT_SINGLELINE | DT_VCENTER},
    };
    for (const Case& c : cases) {
        CStatusText::Snapshot s;
        ASSERT_TRUE(CStatusText::Query(status, &s));
        const int paints = s.paints;
        d->Host().Post([d, status, base, c] {
            SetWindowLongA(status, GWL_STYLE, base | c.style);
            d->Host().StatusSetTextColor(IDC_STATUS, 0, true);
        });
        ASSERT_TRUE(WaitFor([&] { return CStatusText::Query(status, &s) && s.paints > paints; }));
        EXPECT_EQ(s.format, c.format) << std::hex << c.style;
    }

    // Every style change replaces the control's font or brush; none stays
    // behind.  Where the system counts GDI objects (Windows) the count stays
    // flat; everywhere the slots of the handle table the control's objects
    // take stay few, as they do only when each old object is deleted and its
    // slot reused.
    std::atomic<DWORD> gdiBefore{0}, gdiAfter{0};
    std::atomic<bool> done{false};
    std::set<uintptr_t> slots;
    d->Host().Post([&, d, status] {
        gdiBefore = GetGuiResources(GetCurrentProcess(), GR_GDIOBJECTS);
        for (int i = 0; i < 10000; ++i) {
            const bool redraw = i % 500 == 0;
            switch (i % 4) {
            case 0: d->Host().StatusSetBold(IDC_STATUS, i % 8 == 0, redraw); break;
            case 1: d->Host().StatusSetFont(IDC_STATUS, i % 3 ? "Arial" : "", 9 + i % 7, redraw); break;
            case 2: d->Host().StatusSetBkColor(IDC_STATUS, static_cast<uint32_t>(i * 7919) & 0xFFFFFF, redraw); break;
            default: d->Host().StatusSetTextColor(IDC_STATUS, static_cast<uint32_t>(i), redraw); break;
            }
            CStatusText::Snapshot now;
            if (CStatusText::Query(status, &now)) {
                slots.insert(reinterpret_cast<uintptr_t>(now.fontHandle) & 0xFFFF);
                slots.insert(reinterpret_cast<uintptr_t>(now.brushHandle) & 0xFFFF);
            }
        }
        gdiAfter = GetGuiResources(GetCurrentProcess(), GR_GDIOBJECTS);
        done = true;
    });
    ASSERT_TRUE(WaitFor([&] { return done.load(); }, 60000));
    EXPECT_LE(gdiAfter.load(), gdiBefore.load() + 4) << "before " << gdiBefore.load() << ", after " << gdiAfter.load();
    EXPECT_LE(slots.size(), 64u);
}

TEST_F(Win32DemoTest, ABoxTheEngineRaisesOnAWorkerBelongsToTheDialog) {
    ASSERT_NO_FATAL_FAILURE(Start());
    std::atomic<int> answer{0};
    demo::CDemoDlg* d = &m_dlg;
    d->Host().Post([d, &answer] {
        d->StartWorker([&answer](ui::WorkerLink&) {
            answer = tessaro::Sys().box->Show("Open Device ERROR!", "ISP ERROR", MB_YESNO | MB_ICONERROR);
        });
    });
    HWND box = WaitBox("ISP ERROR");
    ASSERT_NE(box, nullptr);
    EXPECT_EQ(BoxText(box), "Open Device ERROR!");
    EXPECT_EQ(GetWindow(box, GW_OWNER), m_hwnd);
    PostMessageA(box, WM_COMMAND, IDNO, 0);
    EXPECT_TRUE(WaitFor([&] { return answer.load() == IDNO; }));
}

TEST_F(Win32DemoTest, AWorkerRunsInASingleThreadedApartment) {
    ASSERT_NO_FATAL_FAILURE(Start());
    // A thread already in a single-threaded apartment cannot join the
    // multithreaded one: what the shell needs is there.
    std::atomic<long> joined{0};
    std::atomic<bool> done{false};
    demo::CDemoDlg* d = &m_dlg;
    d->Host().Post([d, &joined, &done] {
        d->StartWorker([&joined, &done](ui::WorkerLink&) {
            HRESULT hr = CoInitializeEx(nullptr, COINIT_MULTITHREADED);
            if (SUCCEEDED(hr)) CoUninitialize();
            joined = hr;
            done = true;
        });
    });
    ASSERT_TRUE(WaitFor([&] { return done.load(); }));
    EXPECT_EQ(joined.load(), static_cast<long>(RPC_E_CHANGED_MODE));
}

}  // namespace
