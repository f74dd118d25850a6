// The real configurations editor on the Win32 backend, opened from the main
// dialog over a simulated PC with one VX7101 hub and played from outside as a
// technician would: the editor reads the hub's block, a typed VID is checked
// as it is typed, "Save && Exit" hands the block over, and Do ISP leaves it
// in the hub's store.  Needs a display (under Wine: Xvfb and DISPLAY).
#include <windows.h>

#include <gtest/gtest.h>

#include <atomic>
#include <cstring>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "ui/win32/Win32Dialog.h"  // first: it keeps the toolkit's names free of the A/W macros
#include "files/ConfigBlock.h"
#include "support/bench_system.h"
#include "tests/ui_win32/window_driving.h"
#include "ui/CIspDlg.h"
#include "ui/win32/resource.h"

namespace {

using windrive::WaitFor;
using windrive::WindowText;

const char kBench[] =
    "os 6.2.9200\n"
    "flash W25\n  size 64K\n  id 9F 1 EF 30 13\n  erase C7\n  erase-time 300\nend\n"
    "hub A\n  store spi W25\n  put 0x1D0 text \"VXI2240\"\n  put 0x10E hex 34 12\n"
    "  function vid 0x2C7E pid 0x0B40 bcd-device 0x9035 bcd-usb 0x0210\nend\n";

std::vector<uint8_t> Image() {
    std::vector<uint8_t> image(0x5000);
    for (size_t i = 0; i < image.size(); ++i) image[i] = static_cast<uint8_t>(i * 5 + 3);
    std::memset(image.data() + 0x1D0, 0, 64);
    std::memcpy(image.data() + 0x1D0, "VXI2240", 7);
    return image;
}

// A fresh block: no VID yet.
std::vector<uint8_t> FreshBlock() {
    HubConfig c;
    c.hsPid = 0x0B40;
    c.ssPid = 0x0B41;
    c.usb2Ports = 4;
    c.usb3Ports = 4;
    c.vendor = "Varnellogic";
    ConfigFormat f;
    ConfigFormatForHubType(2, &f);
    std::vector<uint8_t> block(static_cast<size_t>(f.size));
    EncodeConfig(c, f, block.data(), f.size);
    return block;
}

// The message box captioned "Configurations" (not the editor, which has the
// same caption).
HWND ConfigurationsBox() {
    HWND found = nullptr;
    EnumWindows(
        [](HWND h, LPARAM p) -> BOOL {
            if (windrive::ClassOf(h) != "#32770" || !IsWindowVisible(h) || WindowText(h) != "Configurations" ||
                GetDlgItem(h, IDC_CFG_VID))
                return TRUE;
            *reinterpret_cast<HWND*>(p) = h;
            return FALSE;
        },
        reinterpret_cast<LPARAM>(&found));
    return found;
}

// Keys as the user types them: the selection is replaced character by
// character, so the edit sets its modified flag and reports each change.
void TypeInto(HWND edit, const std::string& text) {
    SendMessageA(edit, EM_SETSEL, 0, -1);
    for (char ch : text) PostMessageA(edit, WM_CHAR, static_cast<WPARAM>(static_cast<unsigned char>(ch)), 1);
}

class ConfigDialogWin32Test : public ::testing::Test {
protected:
    void SetUp() override {
        if (!windrive::DisplayAvailable()) GTEST_SKIP() << "no window system (under Wine: run Xvfb and set DISPLAY)";
        ui::win32::Install(GetModuleHandleA(nullptr));
        _putenv_s("TESSARO_BENCH", "one-hub.bench");
    }
    void TearDown() override {
        _putenv_s("TESSARO_BENCH", "");
        windrive::WindDown(m_thread, m_ended, [&] {
            for (const char* caption : {"Quillon", "Open"})
                if (HWND box = windrive::FindDialog(caption)) PostMessageA(box, WM_COMMAND, IDCANCEL, 0);
            if (HWND box = ConfigurationsBox()) PostMessageA(box, WM_COMMAND, IDOK, 0);
            if (HWND editor = windrive::FindDialog("Configurations"))
                PostMessageA(editor, WM_COMMAND, MAKEWPARAM(IDC_CFG_EXIT, BN_CLICKED), 0);
            if (!m_ended && m_hwnd) PostMessageA(m_hwnd, WM_COMMAND, IDCANCEL, 0);
        });
    }

    tessaro::test::BenchSystem sys;
    std::unique_ptr<CIspDlg> m_dlg;
    std::thread m_thread;
    std::atomic<bool> m_ended{false};
    HWND m_hwnd = nullptr;
};

TEST_F(ConfigDialogWin32Test, TheEditorReadsTheHubAndItsSavedVidReachesTheStoreThroughDoIsp) {
    sys.WriteIni("[VX7100]\nAdvanced=1\nInfoLevel=0\nCustomer=1\nPhyAccess=2\n[FlashInfo]\n"
                 "W25=9F 03 EF 30 13 C7 40 01 00 00 00 00 00 00 00 00 00 00\n");
    sys.WriteFile("program/hub-fw.bin", Image());
    sys.Bench(kBench);
    const std::vector<uint8_t> fresh = FreshBlock();
    std::memcpy(sys.Store("A").data() + 0x100, fresh.data(), fresh.size());

    m_dlg = std::make_unique<CIspDlg>();
    m_thread = std::thread([this] {
        ui::DoModal(*m_dlg);
        m_ended = true;
    });
    ASSERT_TRUE(WaitFor([&] { return (m_hwnd = ui::win32::WindowOf(*m_dlg)) != nullptr; }));
    ASSERT_TRUE(WaitFor([&] { return WindowText(GetDlgItem(m_hwnd, IDC_STATUS)) == "ISP Tool is ready."; }, 30000));

    windrive::Click(m_hwnd, IDC_CONFIGURATIONS);
    HWND editor = windrive::WaitDialog("Configurations");
    ASSERT_NE(editor, nullptr);
    ASSERT_NE(GetDlgItem(editor, IDC_CFG_VID), nullptr);
    HWND vid = GetDlgItem(editor, IDC_CFG_VID);
    // The hub's block arrives after the read delay.
    ASSERT_TRUE(WaitFor([&] { return WindowText(GetDlgItem(editor, IDC_CFG_VENDOR)) == "Varnellogic"; }));
    EXPECT_EQ(WindowText(vid), "0000");
    EXPECT_TRUE(windrive::Enabled(editor, IDC_CFG_SAVE_EXIT));
    EXPECT_FALSE(windrive::Enabled(editor, IDC_CFG_LED_FLICKER));

    TypeInto(vid, "2C7E");
    ASSERT_TRUE(WaitFor([&] { return WindowText(vid) == "2C7E"; }));
    // A character that is no hexadecimal digit: one box, then the text comes back.
    TypeInto(vid, "x");
    HWND box = windrive::WaitDialog("Quillon");
    ASSERT_NE(box, nullptr);
    EXPECT_EQ(windrive::BoxText(box).rfind("VID contains invalid character!", 0), 0u);
    PostMessageA(box, WM_COMMAND, IDOK, 0);
    ASSERT_TRUE(WaitFor([&] { return WindowText(vid) == "2C7E"; }));
    EXPECT_EQ(windrive::FindDialog("Quillon"), nullptr);

    windrive::Click(editor, IDC_CFG_SAVE_EXIT);
    HWND saved = nullptr;
    ASSERT_TRUE(WaitFor([&] { return (saved = ConfigurationsBox()) != nullptr; }));
    EXPECT_EQ(windrive::BoxText(saved), "EEP settings have been modified.");
    PostMessageA(saved, WM_COMMAND, IDOK, 0);
    ASSERT_TRUE(WaitFor([&] { return !IsWindow(editor); }));

    windrive::Click(m_hwnd, IDC_SELECT_BIN);
    HWND open = windrive::WaitDialog("Open");
    ASSERT_NE(open, nullptr);
    ASSERT_TRUE(windrive::FillFileDialog(open, sys.Native("program/hub-fw.bin")));
    ASSERT_TRUE(WaitFor([&] { return windrive::Enabled(m_hwnd, IDC_DO_ISP); }));
    windrive::Click(m_hwnd, IDC_DO_ISP);
    HWND done = windrive::WaitDialog("Quillon", false, 60000);
    ASSERT_NE(done, nullptr);
    EXPECT_EQ(windrive::BoxText(done), "Firmware update successfully!\nPlease re-plug the updated hub.");
    PostMessageA(done, WM_COMMAND, IDOK, 0);
    ASSERT_TRUE(WaitFor([&] { return windrive::Enabled(m_hwnd, IDC_EXIT); }));
    windrive::Click(m_hwnd, IDC_EXIT);
    ASSERT_TRUE(WaitFor([&] { return m_ended.load(); }));
    m_thread.join();

    const std::vector<uint8_t>& store = sys.Store("A");
    EXPECT_EQ(store[0x101], 0x7E);
    EXPECT_EQ(store[0x102], 0x2C);
    EXPECT_EQ(store[0x121], 'V');
}

}  // namespace
