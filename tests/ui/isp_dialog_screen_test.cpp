// The main dialog as the technician sees it: what is repainted while an
// update runs and before an erase blocks the dialog, where the focus goes,
// one update per Do ISP however often it is clicked, how detection failures
// after the switch-off end, and the threads the workers run programs and
// boxes on.
#include <gtest/gtest.h>

#include "isp_dialog_fixture.h"

using namespace isptest;

namespace {

// A late WM_TIMER, delivered after the run that set the timer has ended.
class TimedIspDlg : public CommandedIspDlg {
public:
    void LateTick(int id) { OnTimer(id); }
};

// Runs the engine's waits through a stand-in that notes what the status line
// shows on screen whenever the dialog's own thread waits (an erase).
class WatchingClock : public tessaro::IClock {
public:
    WatchingClock(tessaro::IClock& inner, std::function<void()> onDialogThread)
        : m_inner(inner), m_watch(std::move(onDialogThread)) {}
    void Sleep(uint32_t ms) override {
        if (!ui::OnSteppedWorker()) m_watch();
        m_inner.Sleep(ms);
    }
    uint64_t NowMs() override { return m_inner.NowMs(); }

private:
    tessaro::IClock& m_inner;
    std::function<void()> m_watch;
};

// The bench's process port, noting for each program started whether its
// thread had been readied for the shell.
class ThreadCheckingProcess : public tessaro::IProcess {
public:
    explicit ThreadCheckingProcess(tessaro::IProcess& inner) : m_inner(inner) {}
    bool InitThread() override { return ++Depth() > 0; }
    void EndThread() override { --Depth(); }
    bool ShellExecute(const tessaro::ShellStart& start, intptr_t* instApp, Proc* proc) override {
        std::lock_guard<std::mutex> lock(m_mutex);
        readied.push_back(Depth() > 0);
        return m_inner.ShellExecute(start, instApp, proc);
    }
    int Wait(Proc proc, uint32_t timeoutMs, bool pump) override { return m_inner.Wait(proc, timeoutMs, pump); }
    bool ExitCode(Proc proc, uint32_t* code) override { return m_inner.ExitCode(proc, code); }
    void CloseProcess(Proc proc) override { m_inner.CloseProcess(proc); }
    std::string SystemDirectory() override { return m_inner.SystemDirectory(); }

    std::vector<bool> readied;

private:
    static int& Depth() {
        thread_local int depth = 0;
        return depth;
    }
    tessaro::IProcess& m_inner;
    std::mutex m_mutex;
};

TEST_F(IspDialogTest, TheUpdateTimerRepaintsOnlyTheBarAndTheStatusAndALateTickChangesNothing) {
    Ini("DisableSelectiveSuspend=0\n", kWriteDelayRow);
    sys.Bench(std::string(kFlashPart) + SpiHub("A") + EepromHub("B"));
    // A dialog of its own, so that a tick can come after the run.
    TimedIspDlg dlg;
    MemoryDialog m(dlg);
    ASSERT_TRUE(m.Open());
    m.Settle();
    YieldingClock yielding(sys.clock);
    tessaro::System clock;
    clock.clock = &yielding;
    sys.Install(clock);
    sys.WriteFile("program/fw.bin", Class2());
    m.AnswerFile(sys.Native("program/fw.bin"));
    ASSERT_TRUE(m.Click(IDC_SELECT_BIN));
    ASSERT_TRUE(m.Click(IDC_DO_ISP));

    int ticks = 0, redrawsAtTimer = -1;
    while (m.StepWorker() || m.Pump()) {
        m.Pump();
        if (!m.TimerActive(2)) continue;
        if (redrawsAtTimer < 0) redrawsAtTimer = m.Redraws();
        size_t before = m.Repaints().size();
        ASSERT_TRUE(m.Tick(2));
        ++ticks;
        ASSERT_EQ(m.Repaints().size(), before + 1);
        EXPECT_EQ(m.Repaints().back(), (std::vector<int>{IDC_PROGRESS, IDC_STATUS}));
        EXPECT_EQ(m.PaintedText(IDC_STATUS), m.GetText(IDC_STATUS));
        EXPECT_EQ(m.Redraws(), redrawsAtTimer) << "the timer repainted the whole dialog";
    }
    EXPECT_GT(ticks, 3);
    ASSERT_EQ(m.GetText(IDC_STATUS), "ISP complete");

    // The timer of the finished run fires once more.
    const size_t repaints = m.Repaints().size();
    const int redraws = m.Redraws();
    dlg.LateTick(2);
    EXPECT_EQ(m.GetText(IDC_STATUS), "ISP complete");
    EXPECT_EQ(m.Pos(IDC_PROGRESS), 100);
    EXPECT_EQ(m.Repaints().size(), repaints);
    EXPECT_EQ(m.Redraws(), redraws);
    EXPECT_TRUE(m.Violations().empty());
}

TEST_F(IspDialogTest, DoIspClickedTwiceStartsOneUpdate) {
    struct Case {
        const char* how;
        bool viaCommand;  // a second BN_CLICKED already queued behind the first
    } cases[] = {{"two clicks", false}, {"two commands", true}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.how);
        MemoryDialog& m = Open(std::string(kFlashPart) + SpiHub("A") + EepromHub("B"));
        ASSERT_TRUE(Load("program/fw.bin", Class2()));
        if (c.viaCommand) {
            s->dlg.Command(IDC_DO_ISP);
            s->dlg.Command(IDC_DO_ISP);
        } else {
            ASSERT_TRUE(m.Click(IDC_DO_ISP));
            EXPECT_FALSE(m.Click(IDC_DO_ISP));
        }
        EXPECT_EQ(m.UnfinishedWorkers(), 1u);
        Run();
        size_t successes = 0;
        for (const ui::BoxRecord& b : m.Boxes()) successes += b.text == kSuccess;
        EXPECT_EQ(successes, 1u);
        EXPECT_EQ(Status(), "ISP complete");
    }
}

TEST_F(IspDialogTest, ErasingIsOnScreenBeforeTheEraseBlocksTheDialog) {
    MemoryDialog& m = Open(std::string(kFlashPart) + SpiHub("A"));
    std::vector<std::string> shown;
    WatchingClock watching(sys.clock, [&] { shown.push_back(m.PaintedText(IDC_STATUS)); });
    tessaro::System clock;
    clock.clock = &watching;
    sys.Install(clock);
    m.AnswerBox(ui::kIdYes);
    ASSERT_TRUE(m.Click(IDC_ERASE));
    ASSERT_FALSE(shown.empty()) << "the erase never waited";
    for (const std::string& text : shown) EXPECT_EQ(text, "Erasing...");
    EXPECT_TRUE(m.Ended());
}

TEST_F(IspDialogTest, TheFocusLeavesTheFileNameFieldOnceDetectionEnds) {
    struct Case {
        const char* what;
        std::string bench;
        std::string vx;
        int focus;
    } cases[] = {
        {"hubs found", std::string(kFlashPart) + SpiHub("A"), "DisableSelectiveSuspend=0\n", IDC_SELECT_BIN},
        {"hub 1 undetermined", "hub X\n  store eeprom 256\n  function vid 0x2C7E pid 0x0B40 bcd-usb 0x0210\nend\n",
         "DisableSelectiveSuspend=0\n", IDC_EXIT},
        {"no hub, Advanced", "", "DisableSelectiveSuspend=0\nAdvanced=1\n", IDC_EXIT},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        MemoryDialog& m = Open(c.bench, c.vx);
        ASSERT_TRUE(m.Alive());
        EXPECT_EQ(m.Focus(), c.focus);
        // Enter goes to the focused button, never to the dialog's end.
        size_t files = m.FileDialogs().size();
        ASSERT_TRUE(m.PressEnter());
        Run();
        if (c.focus == IDC_EXIT) {
            EXPECT_TRUE(m.Ended());
            EXPECT_EQ(m.Result(), ui::kIdOk);
        } else {
            EXPECT_TRUE(m.Alive());
            EXPECT_EQ(m.FileDialogs().size(), files + 1);
        }
    }
    // After an update the focus is back on Do ISP.
    MemoryDialog& m = Open(std::string(kFlashPart) + SpiHub("A"));
    ASSERT_TRUE(Load("program/fw.bin", Class2()));
    ASSERT_TRUE(DoIsp());
    EXPECT_EQ(Status(), "ISP complete");
    EXPECT_EQ(m.Focus(), IDC_DO_ISP);
}

TEST_F(IspDialogTest, AFatalDetectionFailureAfterTheSwitchOffRestoresWhatWasSwitchedOff) {
    // The session reopened after the switch-off counts no hub (the per-hub
    // way asks once more for the hubs' registry paths).
    const std::string lost = "fault ioctl GET_DEVICE_NUM nth 2\n";
    struct Case {
        const char* way;
        std::string bench;
        std::string vx;
    } cases[] = {
        {"power plan", std::string("os 6.2.9200\n") + kFlashPart + SpiHub("A") + lost, "Advanced=0\n"},
        {"per hub", std::string(kFlashPart) + SuspendHub("A", "7&a&0&1") + "fault ioctl GET_DEVICE_NUM nth 3\n",
         "Advanced=0\nDisableSelectiveSuspend=2\n"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.way);
        MemoryDialog& m = Open(c.bench, c.vx);
        ASSERT_FALSE(m.Boxes().empty());
        ExpectBox(m.Boxes()[0], "Hub is lost after selective suspend is deactivated!", ui::kMbIconError);
        EXPECT_TRUE(Saw("Start pre-processing..."));
        EXPECT_TRUE(m.Ended());
        EXPECT_EQ(m.Result(), ui::kIdCancel);
        EXPECT_EQ(Status(), "Data processing before exit...");
        if (std::string(c.way) == "power plan") {
            EXPECT_EQ(PowerPlanAc(), 1u);
        } else {
            uint32_t a = 9;
            ASSERT_TRUE(sys.pc().Registry().GetDword(std::string(kEnum) + "7&a&0&1\\Device Parameters",
                                                     "EnableSelectiveSuspend", a));
            EXPECT_EQ(a, 1u);
        }
    }
}

TEST_F(IspDialogTest, WorkersStartProgramsOnAThreadReadiedForTheShell) {
    Ini("Advanced=0\n");
    sys.Bench(std::string("os 6.2.9200\n") + kFlashPart + SpiHub("A"));
    ThreadCheckingProcess process(*tessaro::Sys().process);
    tessaro::System ports;
    ports.process = &process;
    sys.Install(ports);
    MemoryDialog& m = Reopen(ui::WorkerMode::Threads);
    m.WaitWorkers();
    ASSERT_TRUE(m.Alive());
    EXPECT_EQ(PowerPlanAc(), 0u);
    ASSERT_FALSE(process.readied.empty());
    for (bool readied : process.readied) EXPECT_TRUE(readied);
}

TEST_F(IspDialogTest, BoxesTheEngineRaisesOnAWorkerAreShownByTheDialog) {
    // More parts than the flash table holds: the engine says so in a box of
    // its own while the detection worker reads hub 1.
    std::string table = "[FlashInfo]\n";
    for (int i = 0; i <= kMaxFlashParts; ++i)
        table += "P" + std::to_string(i) + "=9F 03 EF 30 13 C7 40 01 00 00 00 00 00 00 00 00 00 00\n";
    Ini("DisableSelectiveSuspend=0\n", table);
    sys.Bench(std::string(kFlashPart) + SpiHub("A"));
    MemoryDialog& m = Reopen();
    bool shown = false;
    for (const ui::BoxRecord& b : m.Boxes()) shown = shown || b.text == "Too many flash type!";
    EXPECT_TRUE(shown);
    EXPECT_TRUE(sys.box.Boxes().empty()) << sys.box.Boxes()[0].text;
}

}  // namespace
