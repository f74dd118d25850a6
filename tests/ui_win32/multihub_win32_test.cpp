// The real multi-hub dialog on the Win32 backend over a simulated PC with
// three hubs: a tab per hub, an image picked per page in the Open dialog,
// Do ISP over all three, then a hub pulled from the bench and the tabs
// rebuilt.  Needs a display (under Wine: Xvfb and DISPLAY); skipped without.
#include <windows.h>

#include <commctrl.h>
#include <gtest/gtest.h>

#include <atomic>
#include <cstring>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "ui/win32/Win32Dialog.h"  // first: it keeps the toolkit's names free of the A/W macros
#include "support/bench_system.h"
#include "tests/ui_win32/window_driving.h"
#include "ui/CMultiHubDlg.h"
#include "ui/toolkit/device_events.h"
#include "ui/win32/resource.h"

namespace {

using windrive::WaitFor;
using windrive::WindowText;

std::string Hub(const char* name, const char* marker) {
    return std::string("hub ") + name + "\n  store spi W25\n  put 0x1D0 text \"" + marker +
           "\"\n  put 0x10E hex 34 12\n  function vid 0x2C7E pid 0x0B40 bcd-device 0x9035 bcd-usb 0x0210\nend\n";
}

std::vector<uint8_t> Image(size_t size, const char* marker, uint8_t seed) {
    std::vector<uint8_t> image(size);
    for (size_t i = 0; i < size; ++i) image[i] = static_cast<uint8_t>(i * 3 + seed + (i >> 9));
    std::memset(image.data() + 0x1D0, 0, 64);
    std::memcpy(image.data() + 0x1D0, marker, std::strlen(marker));
    image[0x10E] = 0x78;
    image[0x10F] = 0x56;
    return image;
}

// The page the tab shows: the visible child dialog.
HWND VisiblePage(HWND dialog) {
    struct Find {
        HWND found = nullptr;
    } f;
    EnumChildWindows(
        dialog,
        [](HWND child, LPARAM p) -> BOOL {
            char cls[16] = {};
            GetClassNameA(child, cls, sizeof cls);
            if (std::strcmp(cls, "#32770") == 0 && IsWindowVisible(child)) {
                reinterpret_cast<Find*>(p)->found = child;
                return FALSE;
            }
            return TRUE;
        },
        reinterpret_cast<LPARAM>(&f));
    return f.found;
}

class MultiHubWin32Test : public ::testing::Test {
protected:
    void SetUp() override {
        if (!windrive::DisplayAvailable()) GTEST_SKIP() << "no window system (under Wine: run Xvfb and set DISPLAY)";
        ui::win32::Install(GetModuleHandleA(nullptr));
    }
    void TearDown() override {
        if (sys_ready) sys.pc().OnHubChange(nullptr);
        windrive::WindDown(m_thread, m_ended, [&] {
            if (HWND box = windrive::FindDialog("Quillon")) PostMessageA(box, WM_COMMAND, IDOK, 0);
            if (HWND open = windrive::FindDialog("Open")) PostMessageA(open, WM_COMMAND, IDCANCEL, 0);
            if (!m_ended && m_hwnd) PostMessageA(m_hwnd, WM_COMMAND, IDCANCEL, 0);
        });
    }
    std::string Status() const { return WindowText(GetDlgItem(m_hwnd, IDC_MH_STATUS)); }
    HWND Tab() const { return GetDlgItem(m_hwnd, IDC_MH_TAB); }
    int Tabs() const { return static_cast<int>(SendMessageA(Tab(), TCM_GETITEMCOUNT, 0, 0)); }
    // What a click on tab i does: the selection, then its notification.
    void SelectTab(int i) {
        SendMessageA(Tab(), TCM_SETCURSEL, static_cast<WPARAM>(i), 0);
        NMHDR hdr{Tab(), static_cast<UINT_PTR>(IDC_MH_TAB), static_cast<UINT>(TCN_SELCHANGE)};
        SendMessageA(m_hwnd, WM_NOTIFY, IDC_MH_TAB, reinterpret_cast<LPARAM>(&hdr));
    }

    tessaro::test::BenchSystem sys;
    bool sys_ready = false;
    std::unique_ptr<CMultiHubDlg> m_dlg;
    std::thread m_thread;
    std::atomic<bool> m_ended{false};
    HWND m_hwnd = nullptr;
};

TEST_F(MultiHubWin32Test, ThreeTabsUpdatedThenOneHubPulled) {
    sys.WriteIni("[VX7100]\nMultiMode=1\nDisableSelectiveSuspend=0\n[FlashInfo]\n"
                 "W25=9F 03 EF 30 13 C7 40 01 00 00 00 00 00 00 00 00 00 00\n");
    const std::vector<std::vector<uint8_t>> images = {Image(0x5000, "VXI2240", 1), Image(0x8000, "VXI2210", 2),
                                                      Image(0x5000, "VXI2240", 3)};
    for (size_t i = 0; i < images.size(); ++i) sys.WriteFile("program/fw" + std::to_string(i) + ".bin", images[i]);
    sys.Bench("os 6.2.9200\nguid sequence 5\nflash W25\n  size 64K\n  id 9F 1 EF 30 13\n  erase C7\n"
              "  erase-time 300\nend\n" + Hub("A", "VXI2240") + Hub("B", "VXI2210") + Hub("C", "VXI2240"));
    sys_ready = true;
    // The bench announces a pulled hub as Windows would.
    sys.pc().OnHubChange([](const std::string&, bool arrival) {
        ui::RaiseDeviceEvent(ui::kUsbHubInterface, arrival ? ui::kDbtDeviceArrival : ui::kDbtDeviceRemoveComplete);
    });

    m_dlg = std::make_unique<CMultiHubDlg>();
    m_thread = std::thread([this] {
        ui::DoModal(*m_dlg);
        m_ended = true;
    });
    ASSERT_TRUE(WaitFor([&] { return (m_hwnd = ui::win32::WindowOf(*m_dlg)) != nullptr; }));
    EXPECT_EQ(WindowText(m_hwnd), "Varnellogic USB3.0 Hub FW ISP Tool v2.2.4.0");
    ASSERT_TRUE(WaitFor([&] { return Status() == "(3) VX 3.0 hub has been detected"; }, 30000)) << Status();
    EXPECT_EQ(Tabs(), 3);
    EXPECT_FALSE(windrive::Enabled(m_hwnd, IDC_MH_DO_ISP));

    for (int i = 0; i < 3; ++i) {
        SCOPED_TRACE(i);
        SelectTab(i);
        ASSERT_TRUE(WaitFor([&] { return Status() == "Hub " + std::to_string(i + 1) + " is selected."; }));
        HWND page = VisiblePage(m_hwnd);
        ASSERT_NE(page, nullptr);
        windrive::Click(page, IDC_PG_SELECT_BIN);
        HWND open = windrive::WaitDialog("Open");
        ASSERT_NE(open, nullptr);
        ASSERT_TRUE(windrive::FillFileDialog(open, sys.Native("program/fw" + std::to_string(i) + ".bin")));
        ASSERT_TRUE(WaitFor([&] { return WindowText(GetDlgItem(page, IDC_PG_IMAGE_FILE)) == "fw" + std::to_string(i) + ".bin"; }))
            << Status();
    }
    ASSERT_TRUE(windrive::Enabled(m_hwnd, IDC_MH_DO_ISP));
    windrive::Click(m_hwnd, IDC_MH_DO_ISP);
    HWND box = windrive::WaitDialog("Quillon", false, 60000);
    ASSERT_NE(box, nullptr) << Status();
    EXPECT_EQ(windrive::BoxText(box), "Firmware update successfully!\nPlease re-plug the updated hub.");
    PostMessageA(box, WM_COMMAND, IDOK, 0);
    ASSERT_TRUE(WaitFor([&] { return Status() == "ISP complete"; })) << Status();
    const char* names[] = {"A", "B", "C"};
    for (int i = 0; i < 3; ++i) {
        SCOPED_TRACE(names[i]);
        std::vector<uint8_t>& store = sys.Store(names[i]);
        std::vector<uint8_t> expected = images[static_cast<size_t>(i)];
        std::memcpy(expected.data() + 0x1C0, store.data() + 0x1C0, 16);
        uint16_t sum = CalcChecksum(expected.data(), static_cast<int>(expected.size()) - 2);
        expected[expected.size() - 2] = static_cast<uint8_t>(sum >> 8);
        expected[expected.size() - 1] = static_cast<uint8_t>(sum);
        ASSERT_GE(store.size(), expected.size());
        EXPECT_TRUE(std::equal(expected.begin(), expected.end(), store.begin()));
    }

    // A hub pulled: the tabs follow it.
    sys.pc().Unplug("C");
    ASSERT_TRUE(WaitFor([&] { return Tabs() == 2 && Status() == "(2) VX 3.0 hub has been detected"; }, 30000))
        << Status();

    windrive::Click(m_hwnd, IDOK);
    ASSERT_TRUE(WaitFor([&] { return m_ended.load(); }));
    m_thread.join();
}

}  // namespace
