// The real update-only dialog on the Win32 backend over a PC without the
// filter driver, played as an end user would: the one button installs the
// driver, updates the hub, removes the driver and asks for the restart.
// Needs a display (under Wine: Xvfb and DISPLAY); skipped without one.
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
#include "ui/CUpdateDlg.h"
#include "ui/update_ids.h"

namespace {

using windrive::WaitFor;
using windrive::WindowText;

const char kBench[] =
    "os 6.2.9200\n"
    "driver missing\n"
    "flash W25\n  size 64K\n  id 9F 1 EF 30 13\n  erase C7\nend\n"
    "hub A\n  store spi W25\n  put 0x1D0 text \"VXI2240\"\n  put 0x10E hex 34 12\n"
    "  function vid 0x2C7E pid 0x0B40 bcd-device 0x9035 bcd-usb 0x0210\nend\n";

std::vector<uint8_t> Image() {
    std::vector<uint8_t> image(0x5000);
    for (size_t i = 0; i < image.size(); ++i) image[i] = static_cast<uint8_t>(i * 5 + 2 + (i >> 9));
    std::memset(image.data() + 0x1D0, 0, 64);
    std::memcpy(image.data() + 0x1D0, "VXI2240", 7);
    image[0x10E] = 0x78;
    image[0x10F] = 0x56;
    return image;
}

TEST(UpdateDialogWin32Test, OneButtonInstallsUpdatesRemovesAndAsksForTheRestart) {
    if (!windrive::DisplayAvailable()) GTEST_SKIP() << "no window system (under Wine: run Xvfb and set DISPLAY)";
    ui::win32::Install(GetModuleHandleA(nullptr));
    _putenv_s("TESSARO_BENCH", "update.bench");
    tessaro::test::BenchSystem sys;
    sys.WriteIni("[VX7100]\nEUserMode=1\nDisableSelectiveSuspend=0\n[FlashInfo]\n"
                 "W25=9F 03 EF 30 13 C7 40 01 00 00 00 00 00 00 00 00 00 00\n");
    sys.WriteFile("program/hub-fw.bin", Image());
    sys.WriteFile("program/install.iss", std::string("[install]"));
    sys.WriteFile("program/uninstall.iss", std::string("[uninstall]"));
    sys.WriteFile("program/VXUSBFLT_SETUP_V3.00.exe", std::string("setup"));
    sys.Bench(kBench);

    CUpdateDlg dlg;
    std::atomic<bool> ended{false};
    std::thread thread([&] {
        ui::DoModal(dlg);
        ended = true;
    });
    HWND hwnd = nullptr;
    ASSERT_TRUE(WaitFor([&] { return (hwnd = ui::win32::WindowOf(dlg)) != nullptr; }));
    auto text = [&](int id) { return WindowText(GetDlgItem(hwnd, id)); };
    EXPECT_EQ(WindowText(hwnd), "USB3.0 Hub Update Tool v2.03 [bench]");
    ASSERT_TRUE(WaitFor([&] { return text(IDC_UPD_STATUS) == "Ready for FW update"; })) << text(IDC_UPD_STATUS);
    EXPECT_EQ(text(IDC_UPD_FW_FILE), "hub-fw.bin");
    EXPECT_EQ(text(IDC_UPD_FW_VERSION), "9035");
    EXPECT_FALSE(IsWindowVisible(GetDlgItem(hwnd, IDC_UPD_UNINSTALL)));

    windrive::Click(hwnd, IDC_UPD_UPDATE);
    HWND box = windrive::WaitDialog("USB3.0 Hub Update Tool", false, 60000);
    ASSERT_NE(box, nullptr) << text(IDC_UPD_STATUS);
    EXPECT_EQ(windrive::BoxText(box),
              "Your computer will be restarted after uninstall driver.\nPlease unplug USB cable & Power Adapter,\n"
              "and re-plug them to hub device after restart.");
    EXPECT_EQ(text(IDC_UPD_STATUS), "Filter driver is uninstalled!");
    EXPECT_EQ(text(IDC_UPD_FW_VERSION), "5678");
    EXPECT_FALSE(windrive::Enabled(hwnd, IDC_UPD_UPDATE));
    EXPECT_EQ(sys.pc().Restarts(), 0);
    PostMessageA(box, WM_COMMAND, IDOK, 0);
    ASSERT_TRUE(WaitFor([&] { return ended.load(); }));
    thread.join();
    _putenv_s("TESSARO_BENCH", "");

    EXPECT_EQ(sys.pc().Restarts(), 1);
    EXPECT_FALSE(sys.pc().DriverInstalled());
    EXPECT_TRUE(dlg.EndingForRestart());
    const std::vector<uint8_t>& store = sys.Store("A");
    const std::vector<uint8_t> image = Image();
    ASSERT_GE(store.size(), image.size());
    EXPECT_TRUE(std::equal(image.begin(), image.begin() + 0x1C0, store.begin()));
}

}  // namespace
