// Do ISP of the main dialog: every hub written while the timer mirrors the
// run, images checked against every hub, a failing hub, the limit of eight
// hubs, and the workers on threads of their own.
#include <gtest/gtest.h>

#include "isp_dialog_fixture.h"

using namespace isptest;

namespace {

TEST_F(IspDialogTest, DoIspUpdatesEveryHubWhileTheTimerMirrorsTheRun) {
    // A millisecond after every write: the update waits while it writes too.
    Ini("DisableSelectiveSuspend=0\n", kWriteDelayRow);
    sys.Bench(std::string(kFlashPart) + SpiHub("A") + EepromHub("B"));
    MemoryDialog& m = Reopen();
    YieldingClock yielding(sys.clock);
    tessaro::System clock;
    clock.clock = &yielding;
    sys.Install(clock);

    ASSERT_TRUE(Load("program/fw.bin", Class2()));
    EXPECT_EQ(Status(), "Load VX7101 - 21 bin file OK");
    EXPECT_EQ(m.GetText(IDC_BIN_FILE), "fw.bin");
    EXPECT_EQ(m.GetText(IDC_BIN_VERSION), "5678");
    const ui::FileRequest& open = m.FileDialogs().back().request;
    EXPECT_FALSE(open.save);
    EXPECT_EQ(open.filter, "Binary File (*.bin)|*.bin|Rom File (*.rom)|*.rom|Sum File (*.sum)|*.sum||");
    EXPECT_TRUE(m.IsEnabled(IDC_DO_ISP));
    EXPECT_TRUE(m.IsEnabled(IDC_SAVE_CHECKSUM));

    ASSERT_TRUE(m.Click(IDC_DO_ISP));
    EXPECT_TRUE(Enabled().empty());
    EXPECT_TRUE(Dlg().Working());
    // Step into the flash erase of hub 1, ticking the timer at every wait.
    do {
        ASSERT_TRUE(m.StepWorker());
        m.Pump();
    } while (!m.TimerActive(2));
    EXPECT_EQ(m.TimerPeriod(2), 30u);
    while (m.Pos(IDC_PROGRESS) == 0) {
        ASSERT_TRUE(m.StepWorker());
        m.Pump();
        ASSERT_TRUE(m.Tick(2));
    }
    EXPECT_GT(m.Pos(IDC_PROGRESS), 0);
    EXPECT_LT(m.Pos(IDC_PROGRESS), 100);
    EXPECT_EQ(Status(), "Initializing...");
    // Nothing leaves the dialog while the update runs.
    EXPECT_FALSE(m.Click(IDC_EXIT));
    m.PressEsc();
    m.PressEnter();
    m.CloseBox();
    EXPECT_TRUE(m.Alive());
    bool sawWriting = false;
    while (m.StepWorker() || m.Pump()) {
        m.Pump();
        if (m.TimerActive(2)) m.Tick(2);
        sawWriting = sawWriting || Status() == "Updating firmware...";
    }
    EXPECT_TRUE(sawWriting);
    ASSERT_FALSE(m.Boxes().empty());
    ExpectBox(LastBox(), kSuccess, ui::kMbIconInformation);
    EXPECT_EQ(Status(), "ISP complete");
    EXPECT_EQ(m.Pos(IDC_PROGRESS), 100);
    EXPECT_FALSE(m.TimerActive(2));
    EXPECT_FALSE(Dlg().Working());
    EXPECT_EQ(Enabled(), (std::vector<int>{IDC_SELECT_BIN, IDC_SELECT_EEP, IDC_CONFIGURATIONS, IDC_DO_ISP,
                                           IDC_READ_VERSION, IDC_DUMP, IDC_ERASE, IDC_SAVE_CHECKSUM, IDC_PHY_SETTING,
                                           IDC_RESTORE_SUSPEND, IDC_EXIT}));
    EXPECT_TRUE(Holds(sys.Store("A"), Programmed(Class2(), sys.Store("A"), 0x5000, 0x1C0)));
    EXPECT_TRUE(Holds(sys.Store("B"), Programmed(Class2(), sys.Store("B"), 0x5000, 0x1C0)));
    // Each hub got its own container ID.
    EXPECT_FALSE(std::equal(sys.Store("A").begin() + 0x1C0, sys.Store("A").begin() + 0x1D0, sys.Store("B").begin() + 0x1C0));
    // The loaded image is unchanged: a second run stamps anew.
    EXPECT_EQ(Dlg().Image(), Class2());
    // Enter in the file name field ends the dialog at once.
    ASSERT_TRUE(m.FocusOn(IDC_BIN_FILE));
    ASSERT_TRUE(m.PressEnter());
    EXPECT_TRUE(m.Ended());
}

TEST_F(IspDialogTest, ImagesAreMatchedAtLoadAndAgainstEveryHubAtDoIsp) {
    const std::string types2And3 = std::string(kFlashPart) + SpiHub("A") + EepromHub("B");
    // Class 5 on hubs of types 2 and 3: refused by the load whatever InfoLevel says.
    for (const char* info : {"InfoLevel=0\n", "InfoLevel=1\n"}) {
        SCOPED_TRACE(info);
        MemoryDialog& m = Open(types2And3, std::string("DisableSelectiveSuspend=0\n") + info);
        ASSERT_TRUE(Load("program/good.bin", Class2()));
        ASSERT_TRUE(Load("program/c5.bin", Class5()));
        ExpectBox(LastBox(), "Mismatched firmware and Hub!", ui::kMbIconError);
        EXPECT_FALSE(m.IsEnabled(IDC_DO_ISP));
        EXPECT_FALSE(m.IsEnabled(IDC_SAVE_CHECKSUM));
        EXPECT_EQ(m.GetText(IDC_BIN_FILE), "");
        EXPECT_EQ(m.GetText(IDC_BIN_VERSION), "");
        EXPECT_FALSE(Dlg().ImageLoaded());
    }
    // Hub 1 of type 5 takes the class-5 image; hub 2 (type 2) is checked at Do ISP.
    const std::string type5And2 = std::string(kFlashPart) + SpiHub("A", "VXI2210") + SpiHub("B");
    Open(type5And2, "DisableSelectiveSuspend=0\nInfoLevel=0\n");
    ASSERT_TRUE(Load("program/c5.bin", Class5()));
    ASSERT_TRUE(DoIsp());
    ExpectBox(LastBox(), "Mismatched firmware and Hub!", ui::kMbIconError);
    EXPECT_EQ(Dlg().MessageText(), "Mismatched firmware and Hub!");
    EXPECT_EQ(Writes("A") + Writes("B"), 0u);
    EXPECT_TRUE(M().IsEnabled(IDC_DO_ISP));
    // InfoLevel 1 lets a class-5 image onto VX710x-21/22 hubs.
    Open(type5And2, "DisableSelectiveSuspend=0\nInfoLevel=1\n");
    ASSERT_TRUE(Load("program/c5.bin", Class5()));
    ASSERT_TRUE(DoIsp());
    ExpectBox(LastBox(), kSuccess, ui::kMbIconInformation);
    EXPECT_TRUE(Holds(sys.Store("B"), Programmed(Class5(), sys.Store("B"), 0x8000, 0x1C0)));

    // A 256-byte EEPROM hub behind a VX710x-21/22 hub.
    const std::string type2And4 = std::string(kFlashPart) + SpiHub("A") + LiteHub("B");
    Open(type2And4, "DisableSelectiveSuspend=0\nInfoLevel=1\n");
    ASSERT_TRUE(Load("program/fw.bin", Class2()));
    ASSERT_TRUE(DoIsp());
    ExpectBox(LastBox(), "Hub 2 is VX7103 hub  (256 EEPROM), Do ISP canceled!", ui::kMbIconInformation);
    EXPECT_EQ(Status(), "Mismatched binary file!");
    EXPECT_EQ(Writes("A") + Writes("B"), 0u);
    Open(type2And4, "DisableSelectiveSuspend=0\nInfoLevel=0\n");
    ASSERT_TRUE(Load("program/fw.bin", Class2()));
    ASSERT_TRUE(DoIsp());
    ExpectBox(LastBox(), "Mismatched firmware and Hub!", ui::kMbIconError);
    EXPECT_EQ(Writes("A") + Writes("B"), 0u);
}

TEST_F(IspDialogTest, AFailingHubStopsTheRunWithItsReason) {
    MemoryDialog& m = Open(std::string(kFlashPart) + SpiHub("A") + SpiHub("B") +
                           "fault fail device A request 0x83 index 0x40 first 2\n");
    std::vector<uint8_t> before = sys.Store("B");
    ASSERT_TRUE(Load("program/fw.bin", Class2()));
    ASSERT_TRUE(DoIsp());
    ExpectBox(LastBox(), "ISP ERROR!", ui::kMbIconError);
    EXPECT_EQ(Status(), "Write data failed! address 0040");
    EXPECT_EQ(m.Pos(IDC_PROGRESS), 100);
    EXPECT_EQ(sys.Store("B"), before);
    EXPECT_TRUE(m.IsEnabled(IDC_DO_ISP));
}

// A hub that cannot be identified is never written, so a run over such hubs
// alone updated nothing and must not say it did.  The dialog offers neither
// Select Bin nor Do ISP then: the image comes from the console's package
// check and Do ISP as a command.
TEST_F(IspDialogTest, NoHubIdentifiedIsAnErrorNotASuccess) {
    const std::string unknownHub = "hub X\n  store eeprom 256\n  function vid 0x2C7E pid 0x0B40 bcd-usb 0x0210\nend\n";
    sys.WriteFile("program/install.iss", std::vector<uint8_t>{'x'});
    sys.WriteFile("program/uninstall.iss", std::vector<uint8_t>{'x'});
    sys.WriteFile("program/fw.bin", Class2());
    for (const char* info : {"InfoLevel=0\n", "InfoLevel=1\n"}) {
        SCOPED_TRACE(info);
        MemoryDialog& m = Open(unknownHub, std::string("DisableSelectiveSuspend=0\n") + info);
        ASSERT_TRUE(m.Alive());
        ASSERT_EQ(Dlg().HubType(0), CHIP_ID_UNKNOWN);
        ASSERT_TRUE(Dlg().FindUpdateFiles());
        size_t boxes = m.Boxes().size();
        s->dlg.Command(IDC_DO_ISP);
        Run();
        ASSERT_EQ(m.Boxes().size(), boxes + 1);
        ExpectBox(LastBox(), "ISP ERROR!", ui::kMbIconError);
        EXPECT_EQ(Status(), "No hub was updated: none of the attached hubs could be identified.");
        EXPECT_EQ(m.Pos(IDC_PROGRESS), 100);
        EXPECT_EQ(Writes("X"), 0u);
    }
}

TEST_F(IspDialogTest, PerHubLoopsStopAtEightHubs) {
    std::string bench;
    for (int i = 1; i <= 9; ++i) bench += LiteHub("L" + std::to_string(i));
    MemoryDialog& m = Open(bench);
    ASSERT_TRUE(m.Alive());
    EXPECT_EQ(Dlg().HubCount(), 9u);
    ASSERT_TRUE(Load("program/lite.bin", Class4()));
    std::vector<uint8_t> ninth = sys.Store("L9");
    ASSERT_TRUE(DoIsp());
    ExpectBox(LastBox(), kSuccess, ui::kMbIconInformation);
    for (int i = 1; i <= 8; ++i)
        EXPECT_TRUE(Holds(sys.Store("L" + std::to_string(i)), Programmed(Class4(), sys.Store("L" + std::to_string(i)), 256, 0x90))) << i;
    EXPECT_EQ(sys.Store("L9"), ninth);
    ASSERT_TRUE(m.Click(IDC_EXIT));
}

// Workers on threads of their own, the timer ticking while the update writes
// (the ThreadSanitizer build runs this).
TEST_F(IspDialogTest, ThreadsModeRunsDetectionAndUpdateCleanly) {
    Ini("DisableSelectiveSuspend=0\n", kWriteDelayRow);
    sys.Bench(std::string(kFlashPart) + SpiHub("A") + EepromHub("B"));
    YieldingClock pausing(sys.clock);
    tessaro::System clock;
    clock.clock = &pausing;
    sys.Install(clock);
    s = std::make_unique<Session>(ui::WorkerMode::Threads);
    MemoryDialog& m = M();
    ASSERT_TRUE(m.Open());
    ASSERT_TRUE(m.WaitWorkers());
    ASSERT_EQ(Status(), kReady);
    ASSERT_TRUE(Load("program/fw.bin", Class2()));
    ASSERT_TRUE(m.Click(IDC_DO_ISP));
    int ticks = 0;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(60);
    while ((m.UnfinishedWorkers() || Dlg().Working()) && std::chrono::steady_clock::now() < deadline) {
        m.Pump();
        if (m.TimerActive(2) && m.Tick(2)) ++ticks;
    }
    ASSERT_TRUE(m.WaitWorkers());
    EXPECT_GT(ticks, 0);
    EXPECT_EQ(Status(), "ISP complete");
    EXPECT_TRUE(Holds(sys.Store("B"), Programmed(Class2(), sys.Store("B"), 0x5000, 0x1C0)));
}

}  // namespace
