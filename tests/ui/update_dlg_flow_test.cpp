// The update-only dialog from start to end on the bench: the driver
// installed, the hub updated and reset, the driver removed and the restart
// asked for; and what stops the flow on the way.
#include "update_dlg_fixture.h"

using namespace updtest;

namespace {

TEST_F(UpdateDialogTest, InstallsUpdatesRemovesAndRestartsWithoutADriver) {
    Package();
    sys.WriteFile("program/fw.bin", Class2());
    MemoryDialog& m = Open(NoDriver(SpiHub("A")));
    ASSERT_TRUE(opened);
    EXPECT_EQ(m.Caption(), "USB3.0 Hub Update Tool v2.03");
    EXPECT_EQ(Status(), "Ready for FW update");
    EXPECT_EQ(m.GetText(IDC_UPD_FW_FILE), "fw.bin");
    EXPECT_EQ(m.GetText(IDC_UPD_FW_VERSION), "9035");  // the hardware ID's revision
    EXPECT_EQ(m.GetText(IDC_UPD_EEP_FILE), "None");
    EXPECT_FALSE(m.IsVisible(IDC_UPD_UNINSTALL));
    EXPECT_FALSE(m.IsVisible(IDC_UPD_NOTES));
    EXPECT_EQ(m.GetCheck(IDC_UPD_AUTO_UNINSTALL), 1);

    ASSERT_TRUE(m.Click(IDC_UPD_UPDATE));
    EXPECT_TRUE(m.TimerActive(3));
    EXPECT_EQ(m.TimerPeriod(3), 500u);
    EXPECT_FALSE(m.IsEnabled(IDC_UPD_UPDATE));
    // The running setup: timer 3 moves the bar and wraps from 100 to 0.
    m.Pump();
    for (int i = 0; i < 101; ++i) ASSERT_TRUE(m.Tick(3));
    EXPECT_EQ(m.Pos(IDC_UPD_PROGRESS), 0);
    ASSERT_TRUE(m.Tick(3));
    EXPECT_EQ(m.Pos(IDC_UPD_PROGRESS), 1);
    // Nothing closes the dialog while the setup runs.
    m.CloseBox();
    m.PressEsc();
    EXPECT_TRUE(m.Alive());

    ASSERT_TRUE(StepUntil("Filter driver installation finished! Preparing for FW update."));
    const uint64_t finished = sys.clock.NowMs();
    EXPECT_FALSE(m.TimerActive(3));
    ASSERT_TRUE(StepUntil("Filter driver installation finished! Preparing for FW update....."));
    EXPECT_EQ(sys.clock.NowMs() - finished, 2000u);
    // The update waits 20 s after the start message; closing is refused.
    ASSERT_TRUE(m.StepWorker());
    m.Pump();
    EXPECT_TRUE(Dlg().Working());
    m.CloseBox();
    m.PressEsc();
    EXPECT_TRUE(m.Alive());
    ASSERT_TRUE(StepUntil("Resetting Hub 1...")) << ::testing::PrintToString(statuses);
    EXPECT_GE(sys.clock.NowMs() - finished, 3000u + 20000u + 500u + 3000u);
    // The restart notice is answered before Windows is asked to restart.
    int restartsAtNotice = -1;
    m.OnBox([&](const ui::BoxRecord& b) {
        if (b.text.find("Your computer will be restarted") == 0) restartsAtNotice = sys.pc().Restarts();
        return ui::kIdOk;
    });
    // From the final status to the end of the removal, no button and no close.
    ASSERT_TRUE(StepUntil("FW Update Complete."));
    EXPECT_FALSE(m.IsEnabled(IDC_UPD_UPDATE));
    ASSERT_TRUE(StepUntil("Preparing for uninstall driver."));
    EXPECT_EQ(m.GetText(IDC_UPD_FW_VERSION), "5678");  // read after the final status
    const uint64_t preparing = sys.clock.NowMs();
    ASSERT_TRUE(StepUntil("Preparing for uninstall driver....."));
    EXPECT_EQ(sys.clock.NowMs() - preparing, 2000u);
    ASSERT_TRUE(StepUntil("Uninstall filter driver, it will take a while..."));
    EXPECT_EQ(m.TimerPeriod(3), 300u);
    EXPECT_FALSE(m.IsEnabled(IDC_UPD_UPDATE));
    EXPECT_FALSE(m.CloseBox());
    m.PressEsc();
    EXPECT_TRUE(m.Alive());
    Run();
    EXPECT_EQ(restartsAtNotice, 0);
    EXPECT_TRUE(Saw("FW Update Complete."));
    EXPECT_TRUE(Saw("Resetting Hub 1..."));
    EXPECT_TRUE(Saw("Preparing for uninstall driver....."));
    EXPECT_TRUE(Saw("Filter driver is uninstalled!"));
    EXPECT_TRUE(isptest::Holds(sys.Store("A"), isptest::Programmed(Class2(), sys.Store("A"), 0x5000, 0x1C0)));
    EXPECT_EQ(SetupStarts(), 2u);
    EXPECT_FALSE(sys.pc().DriverInstalled());
    EXPECT_EQ(sys.pc().Restarts(), 1);
    ASSERT_FALSE(m.Boxes().empty());
    EXPECT_EQ(m.Boxes().back().text,
              "Your computer will be restarted after uninstall driver.\nPlease unplug USB cable & Power Adapter,\n"
              "and re-plug them to hub device after restart.");
    EXPECT_TRUE(m.Ended());
    EXPECT_TRUE(Dlg().EndingForRestart());
    EXPECT_EQ(Dlg().Result(), 1);
}

TEST_F(UpdateDialogTest, AMissingPackageClosesTheDialogAndNeverStartsTheUpdate) {
    Package();
    sys.WriteFile("program/fw.bin", Class2());
    sys.Remove("program/VXUSBFLT_SETUP_V3.00.exe");
    MemoryDialog& m = Open(NoDriver(SpiHub("A")));
    ASSERT_TRUE(opened);
    ASSERT_TRUE(m.Click(IDC_UPD_UPDATE));
    Run();
    EXPECT_EQ(BoxTexts(), std::vector<std::string>{"driver file is missing!"});
    EXPECT_TRUE(m.Ended());
    EXPECT_EQ(m.UnfinishedWorkers(), 0u);
    EXPECT_EQ(Writes("A"), 0u);
    EXPECT_EQ(SetupStarts(), 0u);
}

// After a failed update the driver stays for the retry (even with the
// automatic removal on), and the button and the close box work again.
TEST_F(UpdateDialogTest, AFailedUpdateKeepsTheDriverForTheRetry) {
    Package();
    sys.WriteFile("program/fw.bin", Class2());
    MemoryDialog& m = Open(std::string(kFlashPart) + SpiHub("A", "VXI2230"));
    ASSERT_TRUE(m.Click(IDC_UPD_UPDATE));
    Run();
    EXPECT_EQ(Status(), "FW Update ERROR!");
    EXPECT_TRUE(SawBox("Mismatched firmware and Hub!"));
    EXPECT_FALSE(Saw("Preparing for uninstall driver."));
    EXPECT_EQ(SetupStarts(), 0u);
    EXPECT_TRUE(sys.pc().DriverInstalled());
    EXPECT_TRUE(m.IsEnabled(IDC_UPD_UPDATE));
    EXPECT_TRUE(m.CloseBox());
    EXPECT_TRUE(m.Ended());
}

}  // namespace

namespace {

// The setup program's failures: its texts, the log shown in Notepad (by the
// system folder's full path), the dialog closed, no update.
TEST_F(UpdateDialogTest, AFailedSetupShowsItsLogAndNeverUpdates) {
    struct Case {
        const char* name;
        bool succeeds, writesLog, staleLog;
        const char* box;
        bool notepad;
    } cases[] = {
        {"no marker", false, true, false, "Install Filter driver fail!", true},
        // A success marker left by an earlier run never passes for this one.
        {"stale log", true, false, true, "Process driver data fail!\n\nPlease restart your PC and try again.",
         false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Package();
        sys.WriteFile("program/fw.bin", Class2());
        if (c.staleLog) sys.WriteFile("drive-c/difxcmd.log", std::string("VXI-SUCCESS"));
        MemoryDialog& m = Open(NoDriver(SpiHub("A")));
        bench::SetupOutcome outcome;
        outcome.succeeds = c.succeeds;
        outcome.writesLog = c.writesLog;
        sys.pc().SetSetup(true, outcome);
        ASSERT_TRUE(m.Click(IDC_UPD_UPDATE));
        Run();
        EXPECT_TRUE(SawBox(c.box)) << ::testing::PrintToString(BoxTexts());
        EXPECT_TRUE(m.Ended());
        EXPECT_EQ(Writes("A"), 0u);
        bool notepad = false;
        for (const auto& start : sys.pc().Starts()) {
            if (start.start.file.find("notepad.exe") == std::string::npos) continue;
            notepad = true;
            EXPECT_NE(start.start.file, "notepad.exe");
            EXPECT_NE(start.start.file.find(":\\"), std::string::npos) << start.start.file;
            EXPECT_EQ(start.start.parameters, "c:\\difxcmd.log");
        }
        EXPECT_EQ(notepad, c.notepad);
        s.reset();
        sys.Remove("drive-c/difxcmd.log");
    }
}

}  // namespace
