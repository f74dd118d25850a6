// The real main dialog on the Win32 backend over a simulated PC with two hubs,
// played from outside as a technician would: detection, the image picked in
// the common Open dialog, Do ISP, the success box, Exit.  Needs a display
// (under Wine: Xvfb and DISPLAY); skipped without one.
#include <windows.h>

#include <commctrl.h>
#include <gtest/gtest.h>

#include <atomic>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "ui/win32/Win32Dialog.h"  // first: it keeps the toolkit's names free of the A/W macros
#include "power/PowerPlan.h"
#include "support/bench_system.h"
#include "tests/ui_win32/window_driving.h"
#include "ui/CIspDlg.h"
#include "ui/win32/resource.h"

namespace {

using windrive::WaitFor;
using windrive::WindowText;

const char kBench[] =
    "os 6.2.9200\n"
    "guid sequence 11\n"
    "flash W25\n  size 64K\n  id 9F 1 EF 30 13\n  erase C7\n  erase-time 300\nend\n"
    "hub A\n  store spi W25\n  put 0x1D0 text \"VXI2240\"\n  put 0x10E hex 34 12\n"
    "  function vid 0x2C7E pid 0x0B40 bcd-device 0x9035 bcd-usb 0x0210\nend\n"
    "hub B\n  store eeprom 0x8000\n  put 0xFC text \"XROM\"\n"
    "  function vid 0x2C7E pid 0x0B40 bcd-device 0x9036 bcd-usb 0x0210\nend\n";

std::vector<uint8_t> Image() {
    std::vector<uint8_t> image(0x5000);
    for (size_t i = 0; i < image.size(); ++i) image[i] = static_cast<uint8_t>(i * 3 + 1 + (i >> 9));
    std::memset(image.data() + 0x1D0, 0, 64);
    std::memcpy(image.data() + 0x1D0, "VXI2240", 7);
    image[0x10E] = 0x78;
    image[0x10F] = 0x56;
    return image;
}

class IspDialogWin32Test : public ::testing::Test {
protected:
    void SetUp() override {
        if (!windrive::DisplayAvailable()) GTEST_SKIP() << "no window system (under Wine: run Xvfb and set DISPLAY)";
        ui::win32::Install(GetModuleHandleA(nullptr));
        _putenv_s("TESSARO_BENCH", "two-hubs.bench");
    }
    void TearDown() override {
        _putenv_s("TESSARO_BENCH", "");
        windrive::WindDown(m_thread, m_ended, [&] {
            if (HWND box = windrive::FindDialog("Quillon")) PostMessageA(box, WM_COMMAND, IDOK, 0);
            if (HWND open = windrive::FindDialog("Open")) PostMessageA(open, WM_COMMAND, IDCANCEL, 0);
            if (!m_ended && m_hwnd) PostMessageA(m_hwnd, WM_COMMAND, IDCANCEL, 0);
        });
    }
    HWND Item(int id) const { return GetDlgItem(m_hwnd, id); }
    std::string Text(int id) const { return WindowText(Item(id)); }
    bool On(int id) const { return IsWindowEnabled(Item(id)) != FALSE; }
    // What the engine said in its own boxes, for a failure message.
    std::string Engine() {
        std::string all;
        for (const std::string& t : sys.box.Texts()) all += "engine box: " + t + "\n";
        return all;
    }
    int Pos() const { return static_cast<int>(SendMessageA(Item(IDC_PROGRESS), PBM_GETPOS, 0, 0)); }

    tessaro::test::BenchSystem sys;
    std::unique_ptr<CIspDlg> m_dlg;  // made once its INI file is there, as in Tessaro.exe
    std::thread m_thread;
    std::atomic<bool> m_ended{false};
    int m_result = 0;
    HWND m_hwnd = nullptr;
};

TEST_F(IspDialogWin32Test, TwoHubsAreDetectedAndUpdatedFromAnImagePickedInTheOpenDialog) {
    sys.WriteIni("[VX7100]\nInfoLevel=0\nCustomer=1\nPhyAccess=2\n[FlashInfo]\n"
                 "W25=9F 03 EF 30 13 C7 40 01 00 00 00 00 00 00 00 00 00 00\n");
    sys.WriteFile("program/hub-fw.bin", Image());
    sys.Bench(kBench);

    m_dlg = std::make_unique<CIspDlg>();
    m_thread = std::thread([this] {
        m_result = ui::DoModal(*m_dlg);
        m_ended = true;
    });
    ASSERT_TRUE(WaitFor([&] { return (m_hwnd = ui::win32::WindowOf(*m_dlg)) != nullptr; }));
    EXPECT_EQ(WindowText(m_hwnd), "Varnellogic USB3.0 Hub FW ISP Tool v2.2.4.0 [bench]");
    ASSERT_TRUE(WaitFor([&] { return Text(IDC_STATUS) == "ISP Tool is ready." && On(IDC_EXIT); }, 30000))
        << Text(IDC_STATUS) << "\n" << Engine();
    EXPECT_FALSE(On(IDC_DO_ISP));
    EXPECT_FALSE(On(IDC_SAVE_CHECKSUM));
    EXPECT_EQ(Text(IDC_HUB_VERSION), "1234");
    EXPECT_TRUE(IsWindowVisible(Item(IDC_PHY_SETTING)));

    // The image, typed into the real Open dialog.
    windrive::Click(m_hwnd, IDC_SELECT_BIN);
    HWND open = windrive::WaitDialog("Open");
    ASSERT_NE(open, nullptr);
    EXPECT_EQ(GetWindow(open, GW_OWNER), m_hwnd);
    ASSERT_TRUE(windrive::FillFileDialog(open, sys.Native("program/hub-fw.bin")));
    ASSERT_TRUE(WaitFor([&] { return On(IDC_DO_ISP); })) << Text(IDC_STATUS);
    EXPECT_EQ(Text(IDC_BIN_FILE), "hub-fw.bin");
    EXPECT_EQ(Text(IDC_BIN_VERSION), "5678");
    EXPECT_EQ(Text(IDC_STATUS), "Load VX71XX - 21 bin file OK");

    windrive::Click(m_hwnd, IDC_DO_ISP);
    HWND box = windrive::WaitDialog("Quillon", false, 60000);
    ASSERT_NE(box, nullptr);
    EXPECT_EQ(windrive::BoxText(box), "Firmware update successfully!\nPlease re-plug the updated hub.");
    // The worker waits for the answer: the bar is full, nothing can be pressed.
    EXPECT_EQ(Pos(), 100);
    EXPECT_FALSE(On(IDC_EXIT));
    PostMessageA(m_hwnd, WM_COMMAND, IDCANCEL, 0);
    PostMessageA(box, WM_COMMAND, IDOK, 0);
    ASSERT_TRUE(WaitFor([&] { return On(IDC_EXIT); }));
    EXPECT_FALSE(m_ended.load()) << "Esc during the update is ignored";
    EXPECT_EQ(Text(IDC_STATUS), "ISP complete");
    EXPECT_EQ(Pos(), 100);
    EXPECT_TRUE(On(IDC_DO_ISP));

    // Exit restores the power plan the detection switched off.
    windrive::Click(m_hwnd, IDC_EXIT);
    ASSERT_TRUE(WaitFor([&] { return m_ended.load(); }));
    m_thread.join();
    EXPECT_EQ(m_result, IDOK);
    uint32_t ac = 9, dc = 9;
    ASSERT_TRUE(sys.pc().PowerValue(sys.pc().ActiveScheme(), kUsbSettingsSubgroup, kUsbSelectiveSuspendSetting, &ac, &dc));
    EXPECT_EQ(ac + dc, 2u);
    EXPECT_TRUE(sys.box.Boxes().empty());

    // Both stores hold the image with its own container ID and the checksum.
    for (const char* hub : {"A", "B"}) {
        SCOPED_TRACE(hub);
        std::vector<uint8_t>& store = sys.Store(hub);
        std::vector<uint8_t> expected = Image();
        std::memcpy(expected.data() + 0x1C0, store.data() + 0x1C0, 16);
        uint16_t sum = CalcChecksum(expected.data(), 0x4FFE);
        expected[0x4FFE] = static_cast<uint8_t>(sum >> 8);
        expected[0x4FFF] = static_cast<uint8_t>(sum);
        ASSERT_GE(store.size(), expected.size());
        EXPECT_TRUE(std::equal(expected.begin(), expected.end(), store.begin()));
        EXPECT_NE(std::vector<uint8_t>(store.begin() + 0x1C0, store.begin() + 0x1D0), std::vector<uint8_t>(16, 0xFF));
    }
}

}  // namespace
