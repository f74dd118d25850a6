// Do ISP of the multi-hub dialog: every page's own image into its own hub,
// the dialog standing still meanwhile, the same settings for all hubs, and
// the runs that must not claim success.
#include "multihub_fixture.h"

using namespace mhtest;
using namespace isptest;

namespace {

TEST_F(MultiHubTest, ThreeHubsOfTwoTypesGetTheirOwnImages) {
    MemoryDialog& m = OpenLive(SpiHub("A") + Vx7103("B") + SpiHub("C"));
    ASSERT_TRUE(opened);
    EXPECT_EQ(TabTexts(), (std::vector<std::string>{"Hub 1", "Hub 2", "Hub 3"}));
    EXPECT_EQ(Status(), "(3) VX 3.0 hub has been detected");
    EXPECT_EQ(P(1).GetText(IDC_PG_HUB_TYPE), HubTypeText(CHIP_ID_VX2210_SPI));
    EXPECT_FALSE(m.IsEnabled(IDC_MH_DO_ISP));

    std::vector<uint8_t> a = Class2(), c = FlashImage(0x5000, "VXI2240", 9);
    ASSERT_TRUE(Load(0, "a.bin", a));
    ASSERT_TRUE(Load(1, "b.bin", Class5()));
    ASSERT_TRUE(Load(2, "c.bin", c));
    EXPECT_TRUE(m.IsEnabled(IDC_MH_DO_ISP));
    EXPECT_EQ(P(2).GetText(IDC_PG_IMAGE_FILE), "c.bin");
    EXPECT_EQ(P(2).GetText(IDC_PG_IMAGE_VERSION), "5678");

    ASSERT_TRUE(m.Click(IDC_MH_DO_ISP));
    // Nothing else is live while the worker runs, and a second click is no click.
    EXPECT_FALSE(m.IsEnabled(IDC_MH_DO_ISP));
    EXPECT_FALSE(m.IsEnabled(IDC_MH_SAME_SETTINGS));
    EXPECT_FALSE(m.IsEnabled(IDC_MH_TAB));
    for (int i = 0; i < 3; ++i) EXPECT_TRUE(PageEnabled(i).empty()) << i;
    EXPECT_FALSE(m.Click(IDC_MH_DO_ISP));
    // A page's load telling the dialog to enable Do ISP does not, now.
    m.Message(multihub::kMsgDoIsp, 1);
    EXPECT_FALSE(m.IsEnabled(IDC_MH_DO_ISP));
    m.PressEsc();
    m.CloseBox();
    EXPECT_TRUE(m.Alive());
    Settle();

    EXPECT_EQ(LastBox(), "Firmware update successfully!\nPlease re-plug the updated hub.");
    EXPECT_EQ(Status(), "ISP complete");
    EXPECT_EQ(m.Pos(IDC_MH_PROGRESS), 100);
    EXPECT_EQ(m.TabSelection(IDC_MH_TAB), 2);  // the last page, and no step beyond it
    EXPECT_TRUE(Holds(sys.Store("A"), Programmed(a, sys.Store("A"), 0x5000, 0x1C0)));
    EXPECT_TRUE(Holds(sys.Store("B"), Programmed(Class5(), sys.Store("B"), 0x8000, 0x1C0)));
    EXPECT_TRUE(Holds(sys.Store("C"), Programmed(c, sys.Store("C"), 0x5000, 0x1C0)));
    // Pages come back by their rules; Do ISP waits for the next load.
    EXPECT_FALSE(m.IsEnabled(IDC_MH_DO_ISP));
    EXPECT_TRUE(m.IsEnabled(IDC_MH_TAB));
    EXPECT_TRUE(m.IsEnabled(IDC_MH_SAME_SETTINGS));
    EXPECT_EQ(PageEnabled(1), kPageTools);
    EXPECT_FALSE(Dlg().IspRunning());
}

TEST_F(MultiHubTest, RunsThatWriteNothingNeverClaimSuccess) {
    struct Case {
        const char* name;
        std::string hubs;
        std::function<void(MultiHubTest&)> prepare;
        std::vector<std::string> boxes;  // in order
        std::string status;
    };
    const std::vector<Case> cases = {
        {"every page skipped", SpiHub("A") + SpiHub("B"),
         [](MultiHubTest& t) { t.M().Message(multihub::kMsgDoIsp, 1); }, {}, "Hub 2 is skipped"},
        {"same settings, hub 2 of another type", SpiHub("A") + Vx7103("B"),
         [](MultiHubTest& t) {
             ASSERT_TRUE(t.M().Click(IDC_MH_SAME_SETTINGS));
             ASSERT_TRUE(t.Load(0, "a.bin", Class2()));
         },
         {"Incorrect binary file!", "ERROR occurred at Hub 2\nStop ISP"}, ""},
        {"a 256-byte EEPROM hub edited into an image", LiteHub("L"),
         [](MultiHubTest& t) {
             ui::SetConfigEditorForTests([](ui::Dialog&, std::vector<uint8_t>& block, int, int, int, bool) {
                 block = Class4();
                 return 1;
             });
             ASSERT_TRUE(t.P(0).Click(IDC_PG_CONFIGURATIONS));
             EXPECT_TRUE(t.M().IsEnabled(IDC_MH_DO_ISP));
         },
         {"Chip type ERROR!", "ISP ERROR!"}, "Chip type ERROR!"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        OpenLive(c.hubs);
        c.prepare(*this);
        size_t before = M().Boxes().size();
        ASSERT_TRUE(DoIsp());
        std::vector<std::string> boxes;
        for (size_t i = before; i < M().Boxes().size(); ++i) boxes.push_back(M().Boxes()[i].text);
        EXPECT_EQ(boxes, c.boxes);
        if (!c.status.empty()) {
            EXPECT_EQ(Status(), c.status);
        }
        for (const std::string& name : sys.pc().DeviceNames()) EXPECT_EQ(Writes(name), 0u) << name;
        EXPECT_FALSE(Dlg().IspRunning());
        EXPECT_FALSE(M().IsEnabled(IDC_MH_DO_ISP));
        ui::SetConfigEditorForTests(nullptr);
    }
}

TEST_F(MultiHubTest, SameSettingsTakePageZerosFilesAndNoOtherConfiguration) {
    MemoryDialog& m = OpenLive(SpiHub("A") + SpiHub("B"));
    // Page 2 had its own configuration before the tick.
    ASSERT_TRUE(LoadEep(1, "b.eep", Eep(144, 0x11)));
    EXPECT_EQ(P(1).GetText(IDC_PG_EEP_FILE), "b.eep");
    ASSERT_TRUE(m.Click(IDC_MH_SAME_SETTINGS));
    EXPECT_EQ(m.TabSelection(IDC_MH_TAB), 0);
    EXPECT_FALSE(m.IsEnabled(IDC_MH_TAB));
    EXPECT_EQ(PageEnabled(0), (std::vector<int>{IDC_PG_SELECT_BIN, IDC_PG_SELECT_EEP}));
    EXPECT_TRUE(PageEnabled(1).empty());
    ASSERT_TRUE(Load(0, "a.bin", Class2()));
    ASSERT_TRUE(DoIsp());
    EXPECT_EQ(LastBox(), "Firmware update successfully!\nPlease re-plug the updated hub.");
    EXPECT_EQ(P(1).GetText(IDC_PG_EEP_FILE), "");
    EXPECT_FALSE(Tab().Page(1)->EepLoaded());
    // Both hubs hold page 0's image as it is: no configuration went in.
    EXPECT_TRUE(Holds(sys.Store("A"), Programmed(Class2(), sys.Store("A"), 0x5000, 0x1C0)));
    EXPECT_TRUE(Holds(sys.Store("B"), Programmed(Class2(), sys.Store("B"), 0x5000, 0x1C0)));
    // Page 2's load during the run told the dialog to enable Do ISP: it did not.
    EXPECT_FALSE(m.IsEnabled(IDC_MH_DO_ISP));
    // The tick holds after the run: page 0's files only.
    EXPECT_FALSE(m.IsEnabled(IDC_MH_TAB));
    EXPECT_TRUE(PageEnabled(1).empty());
    ASSERT_TRUE(m.Click(IDC_MH_SAME_SETTINGS));
    EXPECT_TRUE(m.IsEnabled(IDC_MH_TAB));
    EXPECT_EQ(PageEnabled(1), kPageTools);
}

TEST_F(MultiHubTest, EachRunStartsFromAClearedRunState) {
    MemoryDialog& m = OpenLive(SpiHub("A"));
    ASSERT_TRUE(Load(0, "a.bin", Class2()));
    // What a failed run left behind.
    Dlg().Run().error.store(1);
    Dlg().Run().text.Set("Write data failed!");
    ASSERT_TRUE(m.Click(IDC_MH_DO_ISP));
    EXPECT_EQ(Dlg().Run().error.load(), 0);
    EXPECT_EQ(Dlg().Run().text.Get(), "");
    EXPECT_EQ(m.Pos(IDC_MH_PROGRESS), 0);
    // The mirror shows the run in the success look.
    while (!m.TimerActive(multihub::kTimerProgress)) {
        ASSERT_TRUE(m.StepWorker());
        m.Pump();
    }
    m.Tick(multihub::kTimerProgress);
    EXPECT_EQ(StatusLook().BkColor(), 0xFF8000u);
    Settle();
    EXPECT_EQ(Status(), "ISP complete");
}

TEST_F(MultiHubTest, TheUpdateOnAThreadOfItsOwnWhileTheTimerMirrorsIt) {
    Open(SpiHub("A") + SpiHub("B"), "DisableSelectiveSuspend=0\n", ui::WorkerMode::Threads);
    MemoryDialog& m = M();
    m.Advance(2000);
    ASSERT_TRUE(Load(0, "a.bin", Class2()));
    ASSERT_TRUE(Load(1, "b.bin", Class2()));
    ASSERT_TRUE(m.Click(IDC_MH_DO_ISP));
    for (int i = 0; i < 200 && Dlg().Working(); ++i) {
        m.WaitWorkers(5);
        m.Advance(30);
    }
    ASSERT_TRUE(m.WaitWorkers());
    EXPECT_EQ(Status(), "ISP complete");
    EXPECT_TRUE(Holds(sys.Store("B"), Programmed(Class2(), sys.Store("B"), 0x5000, 0x1C0)));
}

}  // namespace
