// The toolkit driven through the in-memory backend with the demonstration
// dialog: the order of worker effects, the close guard, the update timer,
// boxes and file dialogs, messages, timers and child dialogs.
#include <gtest/gtest.h>

#include <algorithm>

#include "ui/demo_dialog.h"
#include "ui/toolkit/memory.h"

namespace {

using demo::CDemoDlg;
using ui::MemoryDialog;

bool Has(const std::vector<std::string>& v, const std::string& s) { return std::find(v.begin(), v.end(), s) != v.end(); }

class DemoTest : public ::testing::Test {
protected:
    void TearDown() override { EXPECT_TRUE(m.Violations().empty()) << m.Violations().front(); }
    // Opens and lets the detection worker finish.
    void OpenReady() {
        ASSERT_TRUE(m.Open());
        m.Settle();
        ASSERT_TRUE(m.IsEnabled(IDC_EXIT));
    }
    void LoadImage(const std::string& path = "c:\\fw\\hub.bin") {
        m.AnswerFile(path);
        ASSERT_TRUE(m.Click(IDC_SELECT_BIN));
    }
    std::string Status() const { return m.Status(IDC_STATUS) ? m.Status(IDC_STATUS)->Text() : "?"; }

    CDemoDlg dlg;
    MemoryDialog m{dlg};
};

TEST_F(DemoTest, ControlsComeFromTheTemplate) {
    EXPECT_EQ(m.Caption(), "Varnellogic USB3.0 Hub FW ISP Tool v2.2.4.0");
    EXPECT_EQ(m.GetText(IDC_SELECT_BIN), "Select\nBin / Rom / Sum");
    EXPECT_EQ(m.Kind(IDC_PROGRESS), ui::ControlKind::Progress);
    EXPECT_FALSE(m.IsVisible(IDC_WRITE_FLASH));
    EXPECT_TRUE(m.IsReadOnly(IDC_BIN_FILE));
    EXPECT_FALSE(m.HasControl(4711));
}

TEST_F(DemoTest, InitialisationDisablesEverythingUntilTheDetectionWorkerIsDone) {
    ASSERT_TRUE(m.Open());
    EXPECT_EQ(m.Icon(), IDR_MAINFRAME);
    ASSERT_EQ(m.SystemMenu().size(), 3u);  // Close, separator, About
    EXPECT_EQ(m.SystemMenu()[2].command, static_cast<uint32_t>(IDM_ABOUTBOX));
    EXPECT_EQ(m.SystemMenu()[2].text, "&About VX7100ISP...");
    EXPECT_FALSE(m.IsEnabled(IDC_EXIT));
    EXPECT_FALSE(m.IsEnabled(IDC_SELECT_BIN));
    EXPECT_TRUE(dlg.Working());
    // Nothing happens before the worker is stepped.
    EXPECT_EQ(m.Pump(), 0u);
    EXPECT_FALSE(m.Status(IDC_STATUS)->HasText());

    // One effect per step, in the worker's order.
    ASSERT_TRUE(m.StepWorker());
    m.Pump();
    EXPECT_EQ(Status(), "Open device...");
    ASSERT_TRUE(m.StepWorker());
    m.Pump();
    EXPECT_EQ(Status(), "ISP Tool is ready.");
    EXPECT_FALSE(m.IsEnabled(IDC_EXIT));
    m.Settle();
    EXPECT_FALSE(dlg.Working());
    EXPECT_TRUE(Has(dlg.m_events, "done 1"));
    EXPECT_TRUE(m.IsEnabled(IDC_EXIT));
    EXPECT_TRUE(m.IsEnabled(IDC_SELECT_BIN));
    EXPECT_FALSE(m.IsEnabled(IDC_DO_ISP));
    EXPECT_FALSE(m.IsEnabled(IDC_SAVE_CHECKSUM));
    EXPECT_GE(m.Redraws(), 2);
}

TEST_F(DemoTest, StatusLookIsAppliedInTheUsualSequence) {
    OpenReady();
    const ui::StatusTextModel* s = m.Status(IDC_STATUS);
    ASSERT_NE(s, nullptr);
    EXPECT_EQ(s->TextColor(), 0xFFFF80u);
    EXPECT_EQ(s->BkColor(), 0xFF8000u);
    EXPECT_TRUE(s->Bold());
    EXPECT_EQ(s->Font(), (ui::FontSpec{"Microsoft Sans Serif", -16, 700}));
    EXPECT_EQ(m.Control(IDC_STATUS)->statusRedraws, 4);  // colours, weight, font: each at once
}

TEST_F(DemoTest, CloseGuardHoldsWhileTheDetectionWorkerRuns) {
    ASSERT_TRUE(m.Open());
    EXPECT_TRUE(m.PressEsc());
    EXPECT_TRUE(m.PressEnter());
    EXPECT_TRUE(m.CloseBox());
    EXPECT_TRUE(m.SysCommand(ui::kScClose));
    EXPECT_TRUE(m.Alive());
    EXPECT_FALSE(Has(dlg.m_events, "cancel"));
    EXPECT_FALSE(Has(dlg.m_events, "ok"));
    m.Settle();
    // Once done, Esc ends the dialog directly.
    EXPECT_TRUE(m.PressEsc());
    EXPECT_TRUE(m.Ended());
    EXPECT_EQ(m.Result(), ui::kIdCancel);
}

TEST_F(DemoTest, FileDialogRequestAndAnswer) {
    OpenReady();
    LoadImage("c:\\fw\\Hub.ROM");
    ASSERT_EQ(m.FileDialogs().size(), 1u);
    const ui::FileRecord& f = m.FileDialogs()[0];
    EXPECT_FALSE(f.request.save);
    EXPECT_EQ(f.request.filter, "Binary File (*.bin)|*.bin|Rom File (*.rom)|*.rom|Sum File (*.sum)|*.sum||");
    EXPECT_EQ(f.result.name, "Hub.ROM");
    EXPECT_EQ(m.GetText(IDC_BIN_FILE), "Hub.ROM");
    EXPECT_FALSE(m.IsEnabled(IDC_SELECT_EEP));  // a .rom image carries its configuration
    EXPECT_TRUE(m.IsEnabled(IDC_DO_ISP));

    // Cancelled: nothing changes.
    m.CancelFile();
    ASSERT_TRUE(m.Click(IDC_SELECT_BIN));
    EXPECT_EQ(m.GetText(IDC_BIN_FILE), "Hub.ROM");
    // No answer queued: cancelled as well.
    ASSERT_TRUE(m.Click(IDC_SELECT_BIN));
    EXPECT_EQ(m.FileDialogs().size(), 3u);
    EXPECT_FALSE(m.FileDialogs()[2].result.ok);
}

TEST_F(DemoTest, SaveDialogAddsTheDefaultExtension) {
    OpenReady();
    LoadImage();
    m.AnswerFile("c:\\out\\image");
    ASSERT_TRUE(m.Click(IDC_SAVE_CHECKSUM));
    const ui::FileRecord& f = m.FileDialogs().back();
    EXPECT_TRUE(f.request.save);
    EXPECT_EQ(f.request.fileName, "image.sum");
    EXPECT_TRUE(f.request.flags & ui::kOfnOverwritePrompt);
    EXPECT_EQ(f.result.path, "c:\\out\\image.sum");
    EXPECT_EQ(Status(), "Saved c:\\out\\image.sum");
}

TEST_F(DemoTest, FileDialogRefusesAPathLongerThanItsBuffer) {
    ui::FileRequest r;
    r.bufferSize = 10;
    ASSERT_TRUE(m.Open());
    m.AnswerFile("c:\\a\\b\\c\\d.bin");
    EXPECT_FALSE(m.FileDialog(r).ok);
}

TEST_F(DemoTest, UpdateShowsProgressOnlyThroughTheTimerAndEndsInOrder) {
    OpenReady();
    LoadImage();
    dlg.m_blocks = 4;
    ASSERT_TRUE(m.Click(IDC_DO_ISP));
    EXPECT_TRUE(dlg.Working());
    EXPECT_FALSE(m.IsEnabled(IDC_DO_ISP));
    EXPECT_FALSE(m.IsEnabled(IDC_EXIT));
    EXPECT_FALSE(m.TimerActive(demo::kUpdateTimer));  // started on the dialog's thread, by the worker's post

    ASSERT_TRUE(m.StepWorker());  // posts the timer start
    m.Pump();
    ASSERT_TRUE(m.TimerActive(demo::kUpdateTimer));
    EXPECT_EQ(m.TimerPeriod(demo::kUpdateTimer), 30u);

    // Hold the worker after block 2 and let the timer show it.
    dlg.m_afterBlock = [](int) { ui::YieldPoint(); };
    ASSERT_TRUE(m.StepWorker());  // block 1
    ASSERT_TRUE(m.StepWorker());  // block 2
    ASSERT_TRUE(m.Tick(demo::kUpdateTimer));
    EXPECT_EQ(m.Pos(IDC_PROGRESS), 50);
    EXPECT_EQ(Status(), "Writing block 2...");

    m.Settle();
    EXPECT_FALSE(m.TimerActive(demo::kUpdateTimer));
    EXPECT_EQ(m.Pos(IDC_PROGRESS), 100);
    ASSERT_EQ(m.Boxes().size(), 1u);
    EXPECT_EQ(m.Boxes()[0].text, "Firmware update successfully!\nPlease re-plug the updated hub.");
    EXPECT_EQ(m.Boxes()[0].caption, "Quillon");
    EXPECT_EQ(m.Boxes()[0].style, ui::kMbIconInformation | ui::kMbSystemModal);
    EXPECT_EQ(Status(), "ISP complete");
    EXPECT_TRUE(m.IsEnabled(IDC_EXIT));
    EXPECT_FALSE(dlg.Working());
}

TEST_F(DemoTest, TimerIgnoresAFinishedRun) {
    OpenReady();
    LoadImage();
    ASSERT_TRUE(m.Click(IDC_DO_ISP));
    // Run the worker up to (and including) its kill of the timer, without
    // handling the kill: the timer still ticks but must not show anything.
    ASSERT_TRUE(m.StepWorker());  // SetTimer posted
    m.Pump();
    ASSERT_TRUE(m.StepWorker());  // blocks written, run finished, KillTimer posted
    ASSERT_TRUE(dlg.m_run.Finished());
    int shown = dlg.m_ticksShown;
    ASSERT_TRUE(m.Tick(demo::kUpdateTimer));
    EXPECT_EQ(dlg.m_ticksShown, shown);
    m.Settle();
}

TEST_F(DemoTest, FailedUpdateShowsItsTextAndTheErrorBox) {
    OpenReady();
    LoadImage();
    dlg.m_failAtBlock = 3;
    ASSERT_TRUE(m.Click(IDC_DO_ISP));
    m.Settle();
    ASSERT_EQ(m.Boxes().size(), 1u);
    EXPECT_EQ(m.Boxes()[0].text, "ISP ERROR!");
    EXPECT_EQ(m.Boxes()[0].style, ui::kMbIconError | ui::kMbSystemModal);
    EXPECT_EQ(Status(), "Write block 3 failed!");
    EXPECT_EQ(m.Status(IDC_STATUS)->BkColor(), 0x0000FFu);
}

TEST_F(DemoTest, RunStateIsResetAtEveryStart) {
    OpenReady();
    LoadImage();
    dlg.m_failAtBlock = 1;
    ASSERT_TRUE(m.Click(IDC_DO_ISP));
    m.Settle();
    ASSERT_EQ(dlg.m_run.error.load(), 1);
    dlg.m_failAtBlock = -1;
    dlg.m_afterBlock = [](int) { ui::YieldPoint(); };
    ASSERT_TRUE(m.Click(IDC_DO_ISP));
    EXPECT_EQ(dlg.m_run.error.load(), 0);
    EXPECT_EQ(dlg.m_run.progress.load(), 0);
    EXPECT_FALSE(dlg.m_run.Finished());
    m.Settle();
}

TEST_F(DemoTest, NothingEndsOrRestartsTheDialogWhileItWorks) {
    OpenReady();
    LoadImage();
    ASSERT_TRUE(m.Click(IDC_DO_ISP));
    // Disabled controls cannot be clicked at all.
    EXPECT_FALSE(m.Click(IDC_EXIT));
    EXPECT_FALSE(m.Click(IDC_DO_ISP));
    // Even enabled, the guarded commands do nothing while the worker runs.
    m.Enable(IDC_EXIT, true);
    m.Enable(IDC_DO_ISP, true);
    EXPECT_TRUE(m.Click(IDC_EXIT));
    EXPECT_TRUE(m.Click(IDC_DO_ISP));
    EXPECT_FALSE(Has(dlg.m_events, "command 1045"));
    EXPECT_TRUE(m.PressEnter());
    EXPECT_TRUE(m.PressEsc());
    EXPECT_TRUE(m.CloseBox());
    EXPECT_TRUE(m.Alive());
    m.Settle();
    EXPECT_EQ(m.UnfinishedWorkers(), 0u);
    EXPECT_EQ(std::count(dlg.m_events.begin(), dlg.m_events.end(), "done 2"), 1);
    // Afterwards Exit works.
    ASSERT_TRUE(m.Click(IDC_EXIT));
    EXPECT_TRUE(m.Ended());
    EXPECT_EQ(m.Result(), ui::kIdOk);
    EXPECT_EQ(Status(), "Data processing before exit...");
}

TEST_F(DemoTest, AStartRefusesASecondWorker) {
    OpenReady();
    ASSERT_TRUE(dlg.StartWorker([](ui::WorkerLink&) {}));
    EXPECT_FALSE(dlg.StartWorker([](ui::WorkerLink&) {}));
    m.Settle();
    EXPECT_TRUE(dlg.StartWorker([](ui::WorkerLink&) {}));
    m.Settle();
}

TEST_F(DemoTest, WorkerBoxWaitsForItsAnswer) {
    OpenReady();
    m.AnswerBox(ui::kIdYes);
    ASSERT_TRUE(m.Click(IDC_READ_VERSION));
    ASSERT_TRUE(m.StepWorker());  // posts the box and waits
    EXPECT_EQ(m.Boxes().size(), 0u);
    EXPECT_FALSE(m.StepWorker());  // cannot go on before the box is answered
    m.Pump();
    ASSERT_EQ(m.Boxes().size(), 1u);
    EXPECT_EQ(m.Boxes()[0].style, ui::kMbYesNo | ui::kMbIconWarning | ui::kMbSystemModal);
    m.Settle();
    EXPECT_EQ(m.GetText(IDC_HUB_VERSION), "0A12");
    EXPECT_TRUE(m.Alive());
}

TEST_F(DemoTest, AnEndAskedByAWorkerComesAfterItsDone) {
    OpenReady();
    m.OnBox([](const ui::BoxRecord& b) { return b.text.find("firmware version") != std::string::npos ? ui::kIdNo : ui::kIdOk; });
    ASSERT_TRUE(m.Click(IDC_READ_VERSION));
    m.Settle();
    EXPECT_TRUE(m.Ended());
    EXPECT_EQ(m.Result(), ui::kIdAbort);
    // The effect posted after the request still landed, and the done was handled.
    EXPECT_EQ(Status(), "Closing...");
    EXPECT_TRUE(Has(dlg.m_events, "done 3"));
    EXPECT_EQ(m.GetText(IDC_HUB_VERSION), "");
}

TEST_F(DemoTest, UnscriptedBoxesGetTheirFirstButton) {
    ASSERT_TRUE(m.Open());
    EXPECT_EQ(m.MessageBox("a", "c", ui::kMbOk), ui::kIdOk);
    EXPECT_EQ(m.MessageBox("a", "c", ui::kMbYesNo), ui::kIdYes);
    EXPECT_EQ(m.MessageBox("a", "c", ui::kMbRetryCancel), ui::kIdRetry);
    m.AnswerBox(ui::kIdNo);
    EXPECT_EQ(m.MessageBox("a", "c", ui::kMbYesNo), ui::kIdNo);
    m.Settle();
}

TEST_F(DemoTest, PrivateMessagesFromAWorkerArriveInOrder) {
    OpenReady();
    ASSERT_TRUE(m.Click(IDC_CONFIGURATIONS));
    m.Settle();
    auto progress = std::find(dlg.m_events.begin(), dlg.m_events.end(), "progress 40");
    auto enable = std::find(dlg.m_events.begin(), dlg.m_events.end(), "enable isp 1");
    auto done = std::find(dlg.m_events.begin(), dlg.m_events.end(), "done 4");
    ASSERT_NE(done, dlg.m_events.end());
    EXPECT_LT(progress, enable);
    EXPECT_LT(enable, done);
    EXPECT_EQ(m.Pos(IDC_PROGRESS), 40);
    EXPECT_TRUE(m.IsEnabled(IDC_DO_ISP));
    // Sent from the dialog's own thread, a message is handled at once.
    EXPECT_EQ(m.Message(demo::kMsgEnableIsp, 0), 0);
    EXPECT_FALSE(m.IsEnabled(IDC_DO_ISP));
}

TEST_F(DemoTest, TimersOfSeveralIdsFireInTimeOrder) {
    OpenReady();
    ASSERT_TRUE(m.Click(IDC_PHY_SETTING));
    EXPECT_EQ(m.ActiveTimers(), (std::vector<int>{1, 3}));
    m.Advance(199);
    EXPECT_FALSE(Has(dlg.m_events, "timer 3"));
    m.Advance(1000);
    auto t3 = std::find(dlg.m_events.begin(), dlg.m_events.end(), "timer 3");
    auto t1 = std::find(dlg.m_events.begin(), dlg.m_events.end(), "timer 1");
    ASSERT_NE(t1, dlg.m_events.end());
    EXPECT_LT(t3, t1);
    EXPECT_TRUE(m.ActiveTimers().empty());
    EXPECT_FALSE(m.Tick(1));  // killed
}

TEST_F(DemoTest, DeviceChangeIsAnsweredTrue) {
    OpenReady();
    EXPECT_EQ(m.DeviceChange(ui::kDbtDeviceArrival, ui::kDbtDevtypVolume), 1);
    EXPECT_TRUE(Has(dlg.m_events, "device 32768 2"));
}

TEST_F(DemoTest, AboutBoxRunsAsAModalChild) {
    OpenReady();
    std::string name;
    m.OnModal([&](MemoryDialog& about) {
        name = about.GetText(IDC_ABOUT_NAME);
        EXPECT_TRUE(about.PressEnter());  // its default button is OK
    });
    ASSERT_TRUE(m.SysCommand(IDM_ABOUTBOX));
    EXPECT_EQ(m.Modals(), (std::vector<int>{IDD_ABOUTBOX}));
    EXPECT_EQ(name, "VX7100ISP, Version 2.2.4.0");
    EXPECT_EQ(dlg.m_aboutResult, ui::kIdOk);
    // Without a driver the child is cancelled.
    ASSERT_TRUE(m.SysCommand(IDM_ABOUTBOX));
    EXPECT_EQ(dlg.m_aboutResult, ui::kIdCancel);
    EXPECT_TRUE(m.Alive());
}

TEST_F(DemoTest, ShorteningToThePhyRowCutsOffTheBottomRow) {
    OpenReady();
    ui::Rect window = m.WindowRect();
    ui::Rect phy = m.ControlScreenRect(IDC_PHY_SETTING);
    ASSERT_TRUE(m.SetWindowSize(window.Width(), phy.top - window.top));
    ui::Rect cut = m.WindowRect();
    EXPECT_EQ(cut.Width(), window.Width());
    EXPECT_EQ(cut.bottom, phy.top);
    EXPECT_LE(m.ControlScreenRect(IDC_EXIT).bottom, cut.bottom);
    EXPECT_LE(m.ControlScreenRect(IDC_SAVE_CHECKSUM).bottom, cut.bottom);
}

TEST_F(DemoTest, PersonCannotUseADisabledWindowOrHiddenControl) {
    OpenReady();
    EXPECT_FALSE(m.Click(IDC_WRITE_FLASH));  // hidden
    m.EnableWindow(false);
    EXPECT_FALSE(m.Click(IDC_SELECT_BIN));
    EXPECT_FALSE(m.CloseBox());
    m.EnableWindow(true);
    m.EnableSystemMenuItem(ui::kScClose, false);
    EXPECT_FALSE(m.CloseBox());
}

TEST_F(DemoTest, CheckBoxAndEditBehaveAsTheUserSeesThem) {
    OpenReady();
    EXPECT_EQ(m.GetCheck(IDC_RESTORE_SUSPEND), 0);
    ASSERT_TRUE(m.Click(IDC_RESTORE_SUSPEND));
    EXPECT_EQ(m.GetCheck(IDC_RESTORE_SUSPEND), 1);
    ASSERT_TRUE(m.Click(IDC_RESTORE_SUSPEND));
    EXPECT_EQ(m.GetCheck(IDC_RESTORE_SUSPEND), 0);

    EXPECT_FALSE(m.Type(IDC_BIN_FILE, "x"));  // read-only
    m.SetReadOnly(IDC_BIN_FILE, false);
    m.SetLimit(IDC_BIN_FILE, 4);
    ASSERT_TRUE(m.Type(IDC_BIN_FILE, "123456"));
    EXPECT_EQ(m.GetText(IDC_BIN_FILE), "1234");
    EXPECT_TRUE(m.IsModified(IDC_BIN_FILE));
    EXPECT_EQ(m.Focus(), IDC_BIN_FILE);
    m.SetText(IDC_BIN_FILE, "abcdefgh");  // the program's own text passes the limit and clears the flag
    EXPECT_EQ(m.GetText(IDC_BIN_FILE), "abcdefgh");
    EXPECT_FALSE(m.IsModified(IDC_BIN_FILE));
}

TEST_F(DemoTest, EnterGoesToTheFocusedButton) {
    OpenReady();
    ASSERT_TRUE(m.FocusOn(IDC_PHY_SETTING));
    ASSERT_TRUE(m.PressEnter());
    EXPECT_TRUE(Has(dlg.m_events, "command 1046"));
    // Disabling the focused button takes the focus away; Enter is IDOK again.
    m.Enable(IDC_PHY_SETTING, false);
    EXPECT_EQ(m.Focus(), 0);
    ASSERT_TRUE(m.PressEnter());
    EXPECT_TRUE(Has(dlg.m_events, "ok"));
    EXPECT_TRUE(m.Ended());
}

TEST_F(DemoTest, DestroyingAnOpenDialogLetsItsWorkersRunOut) {
    auto inner = std::make_unique<CDemoDlg>();
    {
        MemoryDialog mm(*inner);
        ASSERT_TRUE(mm.Open());
        mm.Settle();
        mm.AnswerFile("c:\\a.bin");
        ASSERT_TRUE(mm.Click(IDC_SELECT_BIN));
        ASSERT_TRUE(mm.Click(IDC_DO_ISP));
        ASSERT_TRUE(mm.StepWorker());
        // mm goes out of scope with the worker half-way.
    }
    EXPECT_FALSE(inner->IsOpen());
    ASSERT_TRUE(m.Open());
    m.Settle();
}

// ---------------------------------------------------------------------------
// Window calls made by a worker itself are caught.
class CRogueDlg : public ui::Dialog {
public:
    CRogueDlg() : Dialog(IDD_ISP_DIALOG) {}

protected:
    bool OnInitDialog() override {
        StartWorker([this](ui::WorkerLink&) { Host().SetText(IDC_STATUS, "from the worker"); });
        return true;
    }
};

TEST(MemoryDialogDiscipline, WindowCallsOffTheDialogThreadAreRecorded) {
    CRogueDlg rogue;
    MemoryDialog m(rogue);
    ASSERT_TRUE(m.Open());
    m.Settle();
    ASSERT_EQ(m.Violations().size(), 1u);
    EXPECT_EQ(m.Violations()[0], "SetText called off the dialog's thread");
}

// ---------------------------------------------------------------------------
// With real threads: the timer reads the run state while the worker writes it
// (this is the case ThreadSanitizer watches).
TEST(MemoryDialogThreads, UpdateRunsConcurrentlyWithTheTimer) {
    CDemoDlg dlg;
    dlg.m_blocks = 200;
    MemoryDialog m(dlg, ui::WorkerMode::Threads);
    ASSERT_TRUE(m.Open());
    ASSERT_TRUE(m.WaitWorkers());
    m.AnswerFile("c:\\fw\\hub.bin");
    ASSERT_TRUE(m.Click(IDC_SELECT_BIN));
    ASSERT_TRUE(m.Click(IDC_DO_ISP));
    for (int i = 0; i < 2000; ++i) {
        m.Pump();  // the only place the done can arrive
        if (!dlg.Working()) break;
        m.Tick(demo::kUpdateTimer);
        m.PressEsc();  // refused while working
    }
    ASSERT_TRUE(m.WaitWorkers());
    EXPECT_FALSE(dlg.Working());
    EXPECT_TRUE(m.Alive());
    EXPECT_EQ(m.Pos(IDC_PROGRESS), 100);
    EXPECT_EQ(m.Status(IDC_STATUS)->Text(), "ISP complete");
    EXPECT_FALSE(m.TimerActive(demo::kUpdateTimer));
    EXPECT_TRUE(m.Violations().empty());
}

TEST(MemoryDialogThreads, ClosingWhileAWorkerWaitsForABoxReleasesIt) {
    CDemoDlg dlg;
    MemoryDialog m(dlg, ui::WorkerMode::Threads);
    ASSERT_TRUE(m.Open());
    ASSERT_TRUE(m.WaitWorkers());
    ASSERT_TRUE(m.Click(IDC_READ_VERSION));
    // The worker now waits for its box; the dialog is ended under it.
    m.EndDialog(ui::kIdCancel);
    EXPECT_TRUE(m.Ended());
    // ~MemoryDialog joins the worker: it must not hang.
}

}  // namespace
