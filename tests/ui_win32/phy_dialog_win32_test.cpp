// The real PHY settings dialog and the VX2240 tuning dialog on the Win32
// backend over a simulated hub, played from outside: a field typed and
// written reads back changed, a list choice reaches the hub's register.
// Needs a display (under Wine: Xvfb and DISPLAY); skipped without one.
#include <windows.h>

#include <gtest/gtest.h>

#include <atomic>
#include <memory>
#include <string>
#include <thread>

#include "ui/win32/Win32Dialog.h"  // first: it keeps the toolkit's names free of the A/W macros
#include "support/bench_system.h"
#include "tests/ui_win32/window_driving.h"
#include "ui/CPhyDlg.h"
#include "ui/CPhyTuneDlg.h"
#include "ui/phy_ids.h"
#include "ui/win32/resource.h"

namespace {

using windrive::WaitFor;
using windrive::WindowText;

const char kBench[] =
    "os 10.0.19045\n"
    "flash W25\n  size 64K\n  id 9F 1 EF 30 13\n  erase C7\nend\n"
    "hub A\n  store spi W25\n  put 0x1D0 text \"VXI2240\"\n"
    "  phy 0x0101 0x0027 0x3C\n  phy 0x0201 0x0006 0x98\n"
    "  function vid 0x2C7E pid 0x0B40 bcd-device 0x9035 bcd-usb 0x0210\nend\n";

// The focus in the foreground window's thread (GetFocus answers for the
// calling thread only).
HWND ForegroundFocus() {
    GUITHREADINFO info;
    info.cbSize = sizeof info;
    return GetGUIThreadInfo(0, &info) ? info.hwndFocus : nullptr;
}

class PhyDialogWin32Test : public ::testing::Test {
protected:
    void SetUp() override {
        if (!windrive::DisplayAvailable()) GTEST_SKIP() << "no window system (under Wine: run Xvfb and set DISPLAY)";
        ui::win32::Install(GetModuleHandleA(nullptr));
        sys.WriteIni("[VX7100]\nPhyAccess=1\n[FlashInfo]\nW25=9F 03 EF 30 13 C7 40 01 00 00 00 00 00 00 00 00 00 00\n");
        sys.Bench(kBench);
    }
    void TearDown() override {
        windrive::WindDown(m_thread, m_ended, [&] {
            if (HWND box = windrive::FindDialog("Quillon")) PostMessageA(box, WM_COMMAND, IDOK, 0);
            if (!m_ended && m_hwnd) PostMessageA(m_hwnd, WM_COMMAND, IDCANCEL, 0);
        });
    }
    void Run(ui::Dialog& dlg) {
        m_thread = std::thread([this, &dlg] {
            ui::DoModal(dlg);
            m_ended = true;
        });
        ASSERT_TRUE(WaitFor([&] { return (m_hwnd = ui::win32::WindowOf(dlg)) != nullptr; }));
    }
    HWND Item(int id) const { return GetDlgItem(m_hwnd, id); }
    std::string Text(int id) const { return WindowText(Item(id)); }
    uint8_t Reg(uint16_t space, uint16_t index) { return sys.pc().FindDevice("A")->Hub()->Phy(space, index); }

    tessaro::test::BenchSystem sys;
    std::thread m_thread;
    std::atomic<bool> m_ended{false};
    HWND m_hwnd = nullptr;
};

TEST_F(PhyDialogWin32Test, AFieldTypedAndWrittenReadsBackChanged) {
    CPhyDlg dlg;
    Run(dlg);
    EXPECT_EQ(WindowText(m_hwnd), "Varnellogic USB3.0 Hub Phy setting");
    ASSERT_TRUE(WaitFor([&] { return Text(IDC_PHY_STATUS) == "Finish reading USB2 PHY value."; }))
        << Text(IDC_PHY_STATUS);
    EXPECT_EQ(Text(IDC_PHY_FIELD8), "3c");
    EXPECT_FALSE(IsWindowVisible(Item(IDC_PHY_FIELD13)));

    // Typed as keys: the edit control itself marks the field modified.
    HWND edit = Item(IDC_PHY_FIELD8);
    SendMessageA(edit, EM_SETSEL, 0, -1);
    for (char c : std::string("5A")) SendMessageA(edit, WM_CHAR, static_cast<WPARAM>(c), 0);
    EXPECT_EQ(Text(IDC_PHY_FIELD8), "5A");
    windrive::Click(m_hwnd, IDC_PHY_WRITE);
    ASSERT_TRUE(WaitFor([&] { return Text(IDC_PHY_STATUS) == "Finish writing USB2 PHY value."; }))
        << Text(IDC_PHY_STATUS);
    EXPECT_EQ(Reg(0x0101, 0x0027), 0x5A);
    EXPECT_EQ(Reg(0x0101, 0x0026), 0x00) << "an untouched field is not written";
    windrive::Click(m_hwnd, IDC_PHY_READ);
    ASSERT_TRUE(WaitFor([&] { return Text(IDC_PHY_STATUS) == "Finish reading USB2 PHY value."; }));
    EXPECT_EQ(Text(IDC_PHY_FIELD8), "5a");
}

TEST_F(PhyDialogWin32Test, AListChoiceInTheTuningDialogReachesTheRegister) {
    CPhyTuneDlg dlg(phytune::Vx2240Form());
    Run(dlg);
    EXPECT_EQ(WindowText(m_hwnd), "VX2240 PHY Tuning");
    ASSERT_TRUE(WaitFor([&] { return Text(IDC_TUNE_STATUS) == "Read data OK"; })) << Text(IDC_TUNE_STATUS);
    EXPECT_FALSE(IsWindowEnabled(Item(IDC_TUNE_PORT)));

    HWND lfth = Item(IDC_TUNE_LFTH);
    SendMessageA(lfth, CB_SETCURSEL, 2, 0);
    PostMessageA(m_hwnd, WM_COMMAND, MAKEWPARAM(IDC_TUNE_LFTH, CBN_SELCHANGE), reinterpret_cast<LPARAM>(lfth));
    ASSERT_TRUE(WaitFor([&] { return !IsWindowEnabled(Item(IDC_TUNE_SAVE)); }));
    ASSERT_TRUE(WaitFor([&] { return Reg(0x0201, 0x0006) == 0xD8; }));
    ASSERT_TRUE(WaitFor([&] { return IsWindowEnabled(Item(IDC_TUNE_SAVE)) != FALSE; }));
    EXPECT_EQ(Text(IDC_TUNE_STATUS), "Read data OK");
    EXPECT_EQ(SendMessageA(lfth, CB_GETCURSEL, 0, 0), 2);

    // Enter in an edit field, as the keyboard gives it: that field's register
    // is written and the dialog stays open.
    HWND eqrm = Item(IDC_TUNE_EQRM);
    PostMessageA(m_hwnd, WM_NEXTDLGCTL, reinterpret_cast<WPARAM>(eqrm), TRUE);
    ASSERT_TRUE(WaitFor([&] { return ForegroundFocus() == eqrm; }));
    SendMessageA(eqrm, EM_SETSEL, 0, -1);
    for (char c : std::string("x7")) SendMessageA(eqrm, WM_CHAR, static_cast<WPARAM>(c), 0);
    EXPECT_EQ(Text(IDC_TUNE_EQRM), "7") << "a digit-only field";
    PostMessageA(eqrm, WM_KEYDOWN, VK_RETURN, 0);
    PostMessageA(eqrm, WM_KEYUP, VK_RETURN, 0);
    ASSERT_TRUE(WaitFor([&] { return Reg(0x0201, 0x0001) == 0x87; })) << Text(IDC_TUNE_STATUS);
    ASSERT_TRUE(WaitFor([&] { return IsWindowEnabled(Item(IDC_TUNE_SAVE)) != FALSE; }));
    EXPECT_FALSE(m_ended.load());
}

}  // namespace
