// Detection of the main dialog: the hubs found or not, the first hub's type,
// and selective suspend switched off at start and restored at exit.
#include <gtest/gtest.h>

#include "isp_dialog_fixture.h"

using namespace isptest;

namespace {

TEST_F(IspDialogTest, WithoutAHubAdvancedDecidesWhetherTheDialogStays) {
    MemoryDialog& m = Open("", "DisableSelectiveSuspend=1\nAdvanced=0\n");
    ASSERT_EQ(m.Boxes().size(), 1u);
    ExpectBox(m.Boxes()[0], kDetectFailed, ui::kMbIconError);
    EXPECT_TRUE(m.Ended());
    EXPECT_EQ(m.Result(), ui::kIdCancel);

    // Advanced 1: only Configurations and Exit; the full editor still opens.
    Ini("DisableSelectiveSuspend=1\nAdvanced=1\n");
    Reopen();
    ASSERT_TRUE(M().Alive());
    EXPECT_EQ(Status(), "Detect hub failed!");
    EXPECT_EQ(Enabled(), (std::vector<int>{IDC_CONFIGURATIONS, IDC_EXIT}));
    ASSERT_TRUE(M().Click(IDC_CONFIGURATIONS));
    EXPECT_EQ(M().Modals(), (std::vector<int>{IDD_CONFIG_DIALOG}));
    ASSERT_TRUE(M().Click(IDC_EXIT));
    EXPECT_TRUE(M().Ended());
    EXPECT_TRUE(sys.pc().Starts().empty());
}

TEST_F(IspDialogTest, HubsThatDoNotComeBackEndTheDialog) {
    // The second enumeration (the session reopened after the switch-off) fails.
    MemoryDialog& m = Open(std::string(kFlashPart) + SpiHub("A") + "fault ioctl GET_DEVICE_NUM nth 2\n");
    ASSERT_EQ(m.Boxes().size(), 1u);
    ExpectBox(m.Boxes()[0], "Hub is lost after selective suspend is deactivated!", ui::kMbIconError);
    EXPECT_TRUE(m.Ended());
    // One failed comparison is retried after a second.
    Open(std::string(kFlashPart) + SpiHub("A") + "fault ioctl GET_DEVICE_NUM nth 3\n");
    EXPECT_TRUE(M().Alive());
    EXPECT_EQ(Status(), kReady);
    std::vector<uint32_t> waits = sys.clock.Waits();
    EXPECT_NE(std::find(waits.begin(), waits.end(), 1000u), waits.end());
}

TEST_F(IspDialogTest, AnUndeterminedFirstHubLeavesOnlyExit) {
    MemoryDialog& m = Open("hub X\n  store eeprom 256\n  function vid 0x2C7E pid 0x0B40 bcd-usb 0x0210\nend\n",
                           "DisableSelectiveSuspend=0\nInfoLevel=1\n");
    ASSERT_TRUE(m.Alive());
    EXPECT_TRUE(Saw("Hub 1 is unknown type!"));
    EXPECT_EQ(Status(), "Hub1 can't be determined.");
    EXPECT_EQ(Enabled(), std::vector<int>{IDC_EXIT});
    EXPECT_EQ(m.GetText(IDC_HUB_VERSION), "");
}

TEST_F(IspDialogTest, InfoLevelNamesTheFirstHub) {
    struct Case {
        std::string hub;
        const char* status;
    } cases[] = {
        {SpiHub("A"), "Hub 1 is  VX710x-21/22 series hub  (SPI FLASH)"},
        {EepromHub("A"), "Hub 1 is  VX710x-21/22 series hub  (EEPROM)"},
        {SpiHub("A", "VXI2210"), "Hub 1 is  VX7103 hub  (SPI flash)"},
        {SpiHub("A", "none"), "Hub 1 is  VX710x-10 Series  (SPI flash)"},
        {LiteHub("A"), "Hub 1 is  VX7103 series hub  (256 EEPROM)"},
    };
    for (const Case& c : cases) {
        Open(kFlashPart + c.hub, "DisableSelectiveSuspend=0\nInfoLevel=2\n");
        EXPECT_EQ(Status(), c.status);
    }
    // A 256-byte EEPROM hub takes no .eep.
    EXPECT_FALSE(M().IsEnabled(IDC_SELECT_EEP));
    EXPECT_EQ(M().GetText(IDC_HUB_VERSION), "0001");
}

// --- selective suspend ----------------------------------------------------------------

TEST_F(IspDialogTest, PowerPlanIsSwitchedOffAndRestoredOnlyWhenTheRestoreSwitchSaysSo) {
    const std::string bench = std::string("os 6.2.9200\n") + kFlashPart + SpiHub("A");
    struct Case {
        const char* vx;
        bool tick;
        const char* how;  // exit, close, esc, enter
        bool restored;
    } cases[] = {
        {"Advanced=0\n", false, "exit", true},   {"Advanced=0\n", false, "close", true},
        {"Advanced=0\n", false, "esc", false},   {"Advanced=0\n", false, "enter", false},
        {"Advanced=1\n", false, "exit", false},  {"Advanced=1\n", true, "exit", true},
        {"DisableSelectiveSuspend=3\nAdvanced=1\n", true, "close", true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.vx) + c.how);
        MemoryDialog& m = Open(bench, c.vx);
        ASSERT_TRUE(m.Alive());
        EXPECT_TRUE(Saw("Start pre-processing..."));
        EXPECT_EQ(PowerPlanAc(), 0u);
        if (c.tick) {
            ASSERT_TRUE(m.Click(IDC_RESTORE_SUSPEND));
        }
        const std::string how = c.how;
        // Enter ends the dialog only where no button takes it.
        if (how == "enter") {
            ASSERT_TRUE(m.FocusOn(IDC_BIN_FILE));
        }
        ASSERT_TRUE(how == "exit"    ? m.Click(IDC_EXIT)
                    : how == "close" ? m.CloseBox()
                    : how == "esc"   ? m.PressEsc()
                                     : m.PressEnter());
        EXPECT_TRUE(m.Ended());
        EXPECT_EQ(m.Result(), how == "esc" ? ui::kIdCancel : ui::kIdOk);
        EXPECT_EQ(PowerPlanAc(), c.restored ? 1u : 0u);
        if (c.restored) {
            EXPECT_EQ(Status(), "Data processing before exit...");
        }
        // The switch-off started four commands; a restore four more.
        EXPECT_EQ(sys.pc().Starts().size(), c.restored ? 8u : 4u);
    }
}

TEST_F(IspDialogTest, PerHubSwitchOffIsUndoneAtExit) {
    MemoryDialog& m = Open(std::string(kFlashPart) + SuspendHub("A", "7&a&0&1") + SuspendHub("B", "7&b&0&2"), "");
    ASSERT_TRUE(m.Alive());
    EXPECT_TRUE(Saw("Start pre-processing..."));
    uint32_t a = 9, b = 9;
    ASSERT_TRUE(sys.pc().Registry().GetDword(std::string(kEnum) + "7&a&0&1\\Device Parameters", "EnableSelectiveSuspend", a));
    ASSERT_TRUE(sys.pc().Registry().GetDword(std::string(kEnum) + "7&b&0&2\\Device Parameters", "EnableSelectiveSuspend", b));
    EXPECT_EQ(a + b, 0u);
    EXPECT_TRUE(sys.pc().Starts().empty());
    ASSERT_TRUE(m.Click(IDC_EXIT));
    sys.pc().Registry().GetDword(std::string(kEnum) + "7&a&0&1\\Device Parameters", "EnableSelectiveSuspend", a);
    sys.pc().Registry().GetDword(std::string(kEnum) + "7&b&0&2\\Device Parameters", "EnableSelectiveSuspend", b);
    EXPECT_EQ(a + b, 2u);
}

TEST_F(IspDialogTest, AHubTheRestoreLeftDisabledIsEnabledAtExit) {
    // The device list is refused for every enable of the restore (lists 4 to
    // 7; 1 and 2 are the switch-off's, 3 the restore's disable).
    MemoryDialog& m = Open(std::string(kFlashPart) + SuspendHub("A", "7&a&0&1") +
                               "fault devices nth 4\nfault devices nth 5\nfault devices nth 6\nfault devices nth 7\n",
                           "");
    ASSERT_TRUE(m.Alive());
    ASSERT_TRUE(m.Click(IDC_EXIT));
    ASSERT_FALSE(m.Boxes().empty());
    ExpectBox(m.Boxes().back(), "Hub VID_2C7E&PID_0B40&REV_9035 was left disabled and is enabled again.",
              ui::kMbIconInformation);
    EXPECT_TRUE(sys.Device("A").Enabled(0));
}

TEST_F(IspDialogTest, DisableSelectiveSuspendZeroChangesNothingOnAnyWindows) {
    for (const char* os : {"os 6.1.7601 sp 1\n", "os 6.2.9200\n", "os 6.3.9600\n"}) {
        MemoryDialog& m = Open(os + std::string(kFlashPart) + SuspendHub("A", "7&a&0&1"));
        ASSERT_TRUE(m.Alive()) << os;
        EXPECT_FALSE(Saw("Start pre-processing...")) << os;
        ASSERT_TRUE(m.Click(IDC_EXIT));
        uint32_t a = 9;
        sys.pc().Registry().GetDword(std::string(kEnum) + "7&a&0&1\\Device Parameters", "EnableSelectiveSuspend", a);
        EXPECT_EQ(a, 1u) << os;
        EXPECT_TRUE(sys.pc().Starts().empty()) << os;
        EXPECT_EQ(sys.pc().Restarts(), 0) << os;
    }
    // A way that appears in the INI file only after the start restores
    // nothing: this dialog switched nothing off.
    MemoryDialog& m = Open(std::string("os 6.2.9200\n") + kFlashPart + SpiHub("A"));
    Ini("DisableSelectiveSuspend=1\n");
    ASSERT_TRUE(m.Click(IDC_EXIT));
    EXPECT_TRUE(sys.pc().Starts().empty());
    EXPECT_EQ(PowerPlanAc(), 1u);
}

TEST_F(IspDialogTest, AFailedSwitchOffEndsTheDialog) {
    MemoryDialog& m = Open(std::string("os 6.2.9200\n") + kFlashPart + SpiHub("A") + "fault start cmd.exe\n", "");
    // The power code's own box comes from the detection worker, shown by the
    // dialog like the dialog's.
    ASSERT_EQ(m.Boxes().size(), 2u);
    EXPECT_EQ(m.Boxes()[0].text, "Powercfg GETACTIVESCHEME ERROR!");
    EXPECT_TRUE(sys.box.Boxes().empty());
    ExpectBox(m.Boxes()[1], "Selective suspend deactivation failed!", ui::kMbIconError);
    EXPECT_TRUE(Saw("Selective suspend deactivation failed!"));
    EXPECT_TRUE(m.Ended());
}

}  // namespace
