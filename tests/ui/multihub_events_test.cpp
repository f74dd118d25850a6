// The multi-hub dialog between updates: hubs that come and go, the rebuild
// and its timers against open boxes and running updates, the placeholder,
// the pages going live, the per-hub and power-plan selective suspend.
#include "multihub_fixture.h"

using namespace mhtest;
using namespace isptest;

namespace {

TEST_F(MultiHubTest, TabsFollowTheHubsAndDropNoEvent) {
    MemoryDialog& m = OpenLive(SpiHub("A") + SpiHub("B") + SpiHub("C"));
    ASSERT_EQ(Pages(), 3);
    // A USB disk is no hub.
    m.DeviceChange(ui::kDbtDeviceArrival, ui::kDbtDevtypVolume);
    EXPECT_TRUE(sys.debug.Contains("skip USB disk event."));
    EXPECT_FALSE(m.TimerActive(multihub::kTimerRebuild));

    ASSERT_TRUE(Load(0, "a.bin", Class2()));
    ASSERT_TRUE(m.IsEnabled(IDC_MH_DO_ISP));
    Unplug("C");
    EXPECT_EQ(Status(), "Process hub creation...");
    EXPECT_EQ(m.TimerPeriod(multihub::kTimerRebuild), 1000u);
    m.Advance(1000);
    EXPECT_EQ(Rebuilds(), 1);
    EXPECT_EQ(TabTexts(), (std::vector<std::string>{"Hub 1", "Hub 2"}));
    EXPECT_FALSE(m.IsEnabled(IDC_MH_DO_ISP));  // the rebuilt pages hold no image
    EXPECT_TRUE(PageEnabled(0).empty());       // until their versions are read
    m.Advance(2000);
    EXPECT_EQ(Status(), "(2) VX 3.0 hub has been detected");
    EXPECT_EQ(PageEnabled(1), kPageTools);

    // An event half a second before Do ISP: no rebuild under the update,
    // exactly one after it.
    ASSERT_TRUE(Load(0, "a.bin", Class2()));
    Plug("C");
    m.Advance(500);
    ASSERT_TRUE(m.Click(IDC_MH_DO_ISP));
    m.Advance(1000);  // the rebuild falls due while the worker runs
    Unplug("B");      // and another event comes meanwhile
    m.Advance(1000);
    EXPECT_EQ(Rebuilds(), 1);
    Settle();
    EXPECT_EQ(Status(), "ISP complete");
    EXPECT_EQ(Rebuilds(), 1);
    EXPECT_EQ(m.TimerPeriod(multihub::kTimerRebuild), 1000u);
    m.Advance(1000);
    EXPECT_EQ(Rebuilds(), 2);
    EXPECT_EQ(TabTexts(), (std::vector<std::string>{"Hub 1", "Hub 2"}));  // A and C
    m.Advance(5000);
    EXPECT_FALSE(m.TimerActive(multihub::kTimerRebuild));
    EXPECT_EQ(Rebuilds(), 2);
}

TEST_F(MultiHubTest, AnEventBeforeThePagesGoLiveIsActedOnAfterwards) {
    MemoryDialog& m = Open(SpiHub("A") + SpiHub("B"));
    EXPECT_EQ(Status(), "Start pre-processing...");
    EXPECT_EQ(m.TimerPeriod(multihub::kTimerEnable), 2000u);
    Unplug("B");
    EXPECT_EQ(Status(), "Start pre-processing...");
    EXPECT_TRUE(sys.debug.Contains("Into OnDeviceChange()!!"));
    EXPECT_FALSE(m.TimerActive(multihub::kTimerRebuild));
    m.Advance(2000);
    EXPECT_TRUE(Dlg().DeviceChangeFlag());
    EXPECT_TRUE(m.TimerActive(multihub::kTimerRebuild));
    m.Advance(1000);
    EXPECT_EQ(Pages(), 1);
}

TEST_F(MultiHubTest, APagesOpenLoopKeepsItsPageThroughAnUnplug) {
    struct Case {
        const char* name;
        int button;
        bool editor;
    };
    for (const Case& c : {Case{"file dialog", IDC_PG_SELECT_BIN, false}, Case{"editor", IDC_PG_CONFIGURATIONS, true},
                          Case{"box", IDC_PG_ERASE, false}}) {
        SCOPED_TRACE(c.name);
        MemoryDialog& m = OpenLive(SpiHub("A") + SpiHub("B"));
        CHubPage* page0 = Tab().Page(0);
        const int rebuilds = Rebuilds();
        int pagesDuring = -1;
        bool pageAliveDuring = false;
        auto meanwhile = [&] {
            Unplug("B");
            m.Advance(5000);
            pagesDuring = Pages();
            pageAliveDuring = Tab().Page(0) == page0 && page0->IsOpen();
        };
        if (c.editor) {
            ui::SetConfigEditorForTests([&](ui::Dialog&, std::vector<uint8_t>&, int, int, int, bool) {
                meanwhile();
                return 0;
            });
        } else {
            m.DuringModal(meanwhile);
            if (c.button == IDC_PG_ERASE) m.AnswerBox(ui::kIdNo);
        }
        ASSERT_TRUE(P(0).Click(c.button));
        EXPECT_EQ(pagesDuring, 2);
        EXPECT_TRUE(pageAliveDuring);
        EXPECT_EQ(Rebuilds(), rebuilds);
        EXPECT_TRUE(m.TimerActive(multihub::kTimerRebuild));
        m.Advance(1000);
        EXPECT_EQ(Pages(), 1);
        ui::SetConfigEditorForTests(nullptr);
    }
}

TEST_F(MultiHubTest, HubCountsBeyondThePagesAndNone) {
    std::string nine;
    for (int i = 1; i <= 9; ++i) nine += SpiHub("H" + std::to_string(i));
    OpenLive(nine);
    EXPECT_EQ(Pages(), 8);
    EXPECT_EQ(TabTexts().back(), "Hub 8");
    EXPECT_TRUE(sys.debug.Contains("Hub 9 is not shown"));

    MemoryDialog& m = OpenLive("");
    EXPECT_TRUE(Tab().IsPlaceholder());
    EXPECT_EQ(Tab().Page(0)->HubIndex(), CHubTab::kPlaceholderIndex);
    EXPECT_EQ(TabTexts(), (std::vector<std::string>{"Hub 1"}));
    EXPECT_EQ(Status(), "Cannot find any SS hub!");
    EXPECT_EQ(StatusLook().BkColor(), 0x0000FFu);
    EXPECT_TRUE(PageEnabled(0).empty());
    EXPECT_FALSE(m.IsEnabled(IDC_MH_SAME_SETTINGS));
    EXPECT_FALSE(m.Click(IDC_MH_DO_ISP));
    m.Message(multihub::kMsgDoIsp, 1);
    EXPECT_FALSE(Dlg().Working());  // even an enabled Do ISP has no page to run
    m.Click(IDC_MH_DO_ISP);
    EXPECT_FALSE(Dlg().Working());

    // Advanced: the editor stays usable on the placeholder.
    OpenLive("", "DisableSelectiveSuspend=0\nAdvanced=1\n");
    EXPECT_EQ(PageEnabled(0), (std::vector<int>{IDC_PG_CONFIGURATIONS}));
    int type = 0;
    ui::SetConfigEditorForTests([&](ui::Dialog&, std::vector<uint8_t>&, int, int, int hubType, bool) {
        type = hubType;
        return 0;
    });
    ASSERT_TRUE(P(0).Click(IDC_PG_CONFIGURATIONS));
    EXPECT_EQ(type, -1);
}

TEST_F(MultiHubTest, ThePagesGoLiveAfterTheirVersionsAreRead) {
    MemoryDialog& m = Open(SpiHub("A") + MaskHub("M"), "DisableSelectiveSuspend=0\nUUUIsp=1\n");
    EXPECT_TRUE(SawBox("Hub is running on Mask ROM mode,\n\nplease alternate INI setting or contact VX for the support."));
    EXPECT_TRUE(Tab().Page(1)->Blocked());
    EXPECT_EQ(Status(), "Start pre-processing...");
    EXPECT_EQ(StatusLook().BkColor(), 0x0EC9FFu);
    EXPECT_EQ(StatusLook().TextColor(), 0x363636u);
    EXPECT_TRUE(PageEnabled(0).empty());
    // The tick from before the reads is kept by them.
    ASSERT_TRUE(m.Enable(IDC_MH_SAME_SETTINGS, true));
    ASSERT_TRUE(m.Click(IDC_MH_SAME_SETTINGS));
    m.Advance(2000);
    EXPECT_TRUE(sys.debug.Contains("Into TIMER_ENABLE_DC"));
    EXPECT_EQ(Status(), "(2) VX 3.0 hub has been detected");
    EXPECT_EQ(StatusLook().BkColor(), 0xFF8000u);
    EXPECT_EQ(StatusLook().Font().height, ui::FontHeight(12, 96));
    EXPECT_EQ(P(1).GetText(IDC_PG_HUB_VERSION), "Mask");
    EXPECT_FALSE(m.IsEnabled(IDC_MH_DO_ISP));
    EXPECT_TRUE(m.IsEnabled(IDC_MH_SAME_SETTINGS));
    EXPECT_EQ(PageEnabled(0), (std::vector<int>{IDC_PG_SELECT_BIN, IDC_PG_SELECT_EEP}));
    EXPECT_FALSE(m.IsEnabled(IDC_MH_TAB));
    ASSERT_TRUE(m.Click(IDC_MH_SAME_SETTINGS));
    EXPECT_EQ(PageEnabled(0), kPageTools);
    EXPECT_TRUE(PageEnabled(1).empty());  // the mask-ROM page stays blocked

    // Tab selection and Esc or Enter on a page.
    ASSERT_TRUE(m.SelectTab(IDC_MH_TAB, 1));
    EXPECT_EQ(Status(), "Hub 2 is selected.");
    EXPECT_TRUE(P(1).IsWindowVisible());
    EXPECT_FALSE(P(0).IsWindowVisible());
    ASSERT_TRUE(m.SelectTab(IDC_MH_TAB, 0));
    P(0).PressEsc();
    P(0).PressEnter();
    EXPECT_TRUE(P(0).IsWindowVisible());
    EXPECT_TRUE(m.Alive());
}

TEST_F(MultiHubTest, ADriverThatIsGoneLeavesThePlaceholder) {
    MemoryDialog& m = OpenLive(SpiHub("A"));
    ASSERT_TRUE(Load(0, "a.bin", Class2()));
    sys.pc().SetDriverInstalled(false);
    Unplug("A");
    EXPECT_EQ(m.TimerPeriod(multihub::kTimerDriverGone), 200u);
    m.Advance(200);
    EXPECT_TRUE(Tab().IsPlaceholder());
    EXPECT_EQ(Status(), "Create VX 3.0 hub ERROR!");
    EXPECT_FALSE(m.IsEnabled(IDC_MH_DO_ISP));
}

TEST_F(MultiHubTest, OnlyNewHubsHaveTheirSelectiveSuspendSwitchedOff) {
    MemoryDialog& m = OpenLive(SuspendHub("A", "5&1") + SuspendHub("B", "5&2"), "DisableSelectiveSuspend=2\n");
    EXPECT_EQ(Tab().SwitchOffs(), 2);
    EXPECT_FALSE(Tab().SlotIds(1).empty());
    Unplug("B");
    m.Advance(1000);
    EXPECT_EQ(Tab().SwitchOffs(), 2);  // A is known
    EXPECT_TRUE(Tab().SlotIds(1).empty());
    m.Advance(2000);
    Plug("B");
    m.Advance(1000);
    EXPECT_EQ(Tab().SwitchOffs(), 3);  // B is new again
    m.Advance(2000);
    // Exit with the restore ticked switches both back on.
    ASSERT_TRUE(m.Click(IDC_RESTORE_SUSPEND));
    ASSERT_TRUE(m.PressEnter());
    EXPECT_TRUE(m.Ended());
    for (const char* instance : {"5&1", "5&2"}) {
        uint32_t value = 9;
        ASSERT_TRUE(sys.pc().Registry().GetDword(std::string(kEnum) + instance + "\\Device Parameters",
                                                 "EnableSelectiveSuspend", value))
            << instance;
        EXPECT_EQ(value, 1u) << instance;
    }
}

TEST_F(MultiHubTest, ThePowerPlanIsRestoredOnlyWhenTheDialogSwitchedItOff) {
    // Ended by an initialisation check: nothing was switched.
    Open("driver installed version 2.00\n" + SpiHub("A"), "DisableSelectiveSuspend=3\n");
    EXPECT_FALSE(opened);
    EXPECT_EQ(sys.pc().SchemeActivations(), 0);

    MemoryDialog& m = OpenLive(SpiHub("A"), "DisableSelectiveSuspend=3\n");
    ASSERT_TRUE(opened);
    EXPECT_TRUE(Dlg().PowerPlanChanged());
    EXPECT_EQ(m.TimerPeriod(multihub::kTimerEnable), 0u);  // 200 ms, already run
    uint32_t ac = 9, dc = 9;
    ASSERT_TRUE(sys.pc().PowerValue(sys.pc().ActiveScheme(), kUsbSettingsSubgroup, kUsbSelectiveSuspendSetting, &ac, &dc));
    EXPECT_EQ(ac, 0u);
    // Esc skips the exit processing, and 1250 is unticked: the plan comes back all the same.
    ASSERT_TRUE(m.PressEsc());
    EXPECT_TRUE(m.Ended());
    ASSERT_TRUE(sys.pc().PowerValue(sys.pc().ActiveScheme(), kUsbSettingsSubgroup, kUsbSelectiveSuspendSetting, &ac, &dc));
    EXPECT_EQ(ac, 1u);
}

}  // namespace

namespace {

TEST_F(MultiHubTest, TheBenchsHotPlugReachesTheDialogAsADeviceNotification) {
    MemoryDialog& m = OpenLive(SpiHub("A") + SpiHub("B"));
    ASSERT_EQ(m.Registrations().size(), 1u);
    EXPECT_EQ(m.Registrations()[0].data1, 0xF18A0E88u);
    sys.pc().OnHubChange([](const std::string&, bool arrival) {
        ui::RaiseDeviceEvent(ui::kUsbHubInterface, arrival ? ui::kDbtDeviceArrival : ui::kDbtDeviceRemoveComplete);
    });
    std::string error;
    ASSERT_TRUE(sys.pc().Control("unplug B", &error)) << error;
    m.Pump();
    EXPECT_TRUE(sys.debug.Contains("Receive device_remove_complete event!"));
    m.Advance(1000);
    EXPECT_EQ(Pages(), 1);
    m.Advance(1000);
    ASSERT_TRUE(sys.pc().Control("plug B", &error)) << error;
    m.Pump();
    m.Advance(1000);
    EXPECT_EQ(Pages(), 2);
    sys.pc().OnHubChange(nullptr);
}

}  // namespace

namespace {

TEST_F(MultiHubTest, AHubPulledUnderAFailedVersionReadWaitsForTheReadsToEnd) {
    MemoryDialog& m = Open(SpiHub("A") + SpiHub("B"));
    // B stops answering before the reads; its box is open when A is pulled.
    sys.pc().Unplug("B");
    m.DuringModal([&] {
        Unplug("A");
        m.Advance(3000);
    });
    m.Advance(2000);
    EXPECT_TRUE(SawBox("(Hub 2) Get firmware version failed!"));
    EXPECT_EQ(Rebuilds(), 0);
    EXPECT_EQ(Status(), "Get F/W ver failed!");
    m.Advance(1000);
    EXPECT_EQ(Rebuilds(), 1);
    EXPECT_TRUE(Tab().IsPlaceholder());
}

}  // namespace

namespace {

TEST_F(MultiHubTest, TheSameSettingsTickLastsWhileTwoPagesRemain) {
    MemoryDialog& m = OpenLive(SpiHub("A") + SpiHub("B") + SpiHub("C"));
    ASSERT_TRUE(m.Click(IDC_MH_SAME_SETTINGS));
    m.Message(multihub::kMsgProgress, 42);
    EXPECT_EQ(m.Pos(IDC_MH_PROGRESS), 42);
    struct Step {
        const char* pull;
        int pages;
        bool ticked;
    };
    for (const Step& s : {Step{"C", 2, true}, Step{"B", 1, false}}) {
        SCOPED_TRACE(s.pull);
        Unplug(s.pull);
        m.Advance(1000);
        EXPECT_FALSE(m.IsEnabled(IDC_MH_SAME_SETTINGS));  // until the reads
        m.Advance(3000);
        ASSERT_EQ(Pages(), s.pages);
        EXPECT_EQ(m.GetCheck(IDC_MH_SAME_SETTINGS) != 0, s.ticked);
        EXPECT_EQ(m.IsEnabled(IDC_MH_SAME_SETTINGS), s.ticked);
        EXPECT_EQ(m.IsEnabled(IDC_MH_TAB), !s.ticked);
        const std::vector<int> fileButtons = {IDC_PG_SELECT_BIN, IDC_PG_SELECT_EEP};
        EXPECT_EQ(PageEnabled(0), s.ticked ? fileButtons : kPageTools);
    }
}

}  // namespace
