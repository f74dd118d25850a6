// The main dialog's start-up and its ways out: the start checks, the INI
// switches that shape it, its caption and system menu, the merge switch kept
// in the registry, and the About box and the buttons not built yet.
#include <gtest/gtest.h>

#include "isp_dialog_fixture.h"

using namespace isptest;

namespace {

TEST_F(IspDialogTest, DetectsTheHubsAndWaitsForAnImage) {
    Ini("DisableSelectiveSuspend=0\n");
    sys.Bench(std::string(kFlashPart) + SpiHub("A") + EepromHub("B"));
    s = std::make_unique<Session>();
    MemoryDialog& m = M();
    ASSERT_TRUE(m.Open());
    EXPECT_EQ(m.Caption(), "Varnellogic USB3.0 Hub FW ISP Tool v2.2.4.0");
    EXPECT_EQ(m.Icon(), IDR_MAINFRAME);
    ASSERT_EQ(m.SystemMenu().size(), 3u);  // Close, separator, About
    EXPECT_EQ(m.SystemMenu()[2].command, 0x10u);
    EXPECT_EQ(m.SystemMenu()[2].text, "&About VX7100ISP...");
    EXPECT_EQ(m.Control(IDC_PROGRESS)->low, 0);
    EXPECT_EQ(m.Control(IDC_PROGRESS)->high, 100);
    EXPECT_EQ(m.Control(IDC_PROGRESS)->step, 1);
    // Until detection is done every control is off and the dialog cannot be left.
    EXPECT_TRUE(Dlg().Working());
    EXPECT_TRUE(Enabled().empty());
    m.PressEsc();
    m.CloseBox();
    Run();
    EXPECT_TRUE(m.Alive());
    EXPECT_EQ(statuses, (std::vector<std::string>{"", "Open device...", kReady}));
    EXPECT_EQ(Dlg().HubCount(), 2u);
    EXPECT_EQ(Dlg().HubType(0), CHIP_ID_VX2240_SPI);
    EXPECT_EQ(Dlg().HubType(1), CHIP_ID_VX2240_EEPROM);
    EXPECT_EQ(m.GetText(IDC_HUB_VERSION), "1234");  // hub 1's stored version, read once at the end
    EXPECT_EQ(Enabled(), kReadyControls);           // no image: no Do ISP, no Save with Checksum
    EXPECT_TRUE(m.Boxes().empty());
    EXPECT_TRUE(sys.box.Boxes().empty());
    EXPECT_TRUE(sys.pc().Starts().empty());
    // Advanced 0: the settings are always restored and the box is not offered.
    EXPECT_FALSE(m.IsVisible(IDC_RESTORE_SUSPEND));
    // No PHY access: the dialog ends at the top edge of PHY Setting.
    EXPECT_EQ(m.WindowRect().bottom, m.ControlScreenRect(IDC_PHY_SETTING).top);
    // Detection touched nothing in the stores.
    EXPECT_EQ(Writes("A") + Writes("B"), 0u);
    EXPECT_EQ(m.DeviceChange(ui::kDbtDevNodesChanged), 1);
}

TEST_F(IspDialogTest, IniSwitchesShapeTheDialog) {
    struct Case {
        const char* vx;
        bool restoreBox, configurations, storeTools, selectEep, fullHeight;
    } cases[] = {
        {"Advanced=0\nCustomer=1\nPhyAccess=0\n", false, true, true, true, false},
        {"Advanced=1\nCustomer=1\nPhyAccess=2\n", true, true, true, true, true},
        {"Advanced=2\nCustomer=0\nEepOption=1\nPhyAccess=1\n", true, false, false, true, false},
        {"Customer=0\nEepOption=0\nPhyAccess=3\n", false, false, false, false, false},
        {"Customer=x\nPhyAccess=02\n", false, false, false, false, true},
    };
    sys.Bench(std::string(kFlashPart) + SpiHub("A"));
    int width = -1;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.vx);
        Ini(std::string("DisableSelectiveSuspend=0\n") + c.vx);
        MemoryDialog& m = Reopen();
        ASSERT_TRUE(opened && m.Alive());
        EXPECT_EQ(m.IsVisible(IDC_RESTORE_SUSPEND), c.restoreBox);
        if (c.restoreBox) {
            EXPECT_EQ(m.GetCheck(IDC_RESTORE_SUSPEND), 0);
        }
        EXPECT_EQ(m.IsVisible(IDC_CONFIGURATIONS), c.configurations);
        for (int id : {IDC_DUMP, IDC_ERASE, IDC_SAVE_CHECKSUM}) EXPECT_EQ(m.IsVisible(id), c.storeTools) << id;
        EXPECT_EQ(m.IsVisible(IDC_SELECT_EEP), c.selectEep);
        EXPECT_EQ(m.IsVisible(IDC_EEP_FILE), c.selectEep);
        EXPECT_TRUE(m.IsVisible(IDC_READ_VERSION));
        ui::Rect window = m.WindowRect(), phy = m.ControlScreenRect(IDC_PHY_SETTING);
        if (width < 0) width = window.Width();
        EXPECT_EQ(window.Width(), width);  // only the height is cut
        if (c.fullHeight) {
            EXPECT_GT(window.bottom, phy.bottom);
        } else {
            EXPECT_EQ(window.bottom, phy.top);
            EXPECT_LE(m.ControlScreenRect(IDC_EXIT).bottom, window.bottom);
        }
    }
}

TEST_F(IspDialogTest, StartChecksEndTheDialogAfterTheirBox) {
    struct Case {
        const char* bench;
        const char* box;
        uint32_t icon;
    } cases[] = {
        {"os fail\n", "Retrieve OS information failed!", ui::kMbIconError},
        {"os 5.0.2195 sp 4\n", "Quillon does not support Windows 2000 or earlier OS version.", ui::kMbIconInformation},
        {"os 4.0\n", "Quillon does not support Windows 2000 or earlier OS version.", ui::kMbIconInformation},
        {"os 6.1.7600\n", "Please install latest Windows Service Pack before running this program.", ui::kMbIconError},
        {"os 5.1.2600 sp 2\n", "Please install Windows XP Service Pack 3 before running this program.",
         ui::kMbIconError},
        {"driver missing\n", "Cannot identify filter driver version!", ui::kMbIconError},
        {"driver installed version 2.99.1\n",
         "Please update driver to latest version before running this program.\n\nCurrent installed driver version is "
         "v2.990000",
         ui::kMbIconError},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.bench);
        MemoryDialog& m = Open(std::string(c.bench) + kFlashPart + SpiHub("A"));
        EXPECT_FALSE(opened);
        EXPECT_TRUE(m.Ended());
        EXPECT_EQ(m.Result(), ui::kIdCancel);
        ASSERT_EQ(m.Boxes().size(), 1u);
        ExpectBox(m.Boxes()[0], c.box, c.icon);
        EXPECT_TRUE(sys.pc().Requests().empty()) << "no hub is touched";
    }
    // Without an INI file nothing else is checked.
    sys.Remove("program/tessaro.ini");
    s = std::make_unique<Session>();
    EXPECT_FALSE(M().Open());
    ASSERT_EQ(M().Boxes().size(), 1u);
    ExpectBox(M().Boxes()[0], "Cannot find INI file for ISP tool! Check if it is placed with the tool.",
              ui::kMbIconError);
}

TEST_F(IspDialogTest, WindowsXpWithServicePack3GetsAHintAndGoesOn) {
    MemoryDialog& m = Open(std::string("os 5.1.2600 sp 3\n") + kFlashPart + SpiHub("A"));
    ASSERT_TRUE(m.Alive());
    ASSERT_EQ(m.Boxes().size(), 1u);
    ExpectBox(m.Boxes()[0],
              "Please attach a device to any of the hub's downstream port if the hub is connected to EHCI/OCHI host.",
              ui::kMbIconInformation);
    EXPECT_EQ(Status(), kReady);
}

TEST_F(IspDialogTest, MergeConfigIsCreatedReadAndWrittenBackAtTheEnd) {
    uint32_t value = 7;
    // Missing: created with 1.
    Open(std::string(kFlashPart) + SpiHub("A"));
    tessaro::MemoryRegistry& reg = sys.pc().Registry();
    ASSERT_TRUE(sys.pc().Registry().GetDword(kMergeKey, "MergeConfig", value));
    EXPECT_EQ(value, 1u);
    s.reset();
    // Present: read at start (any non-zero value is 1), written back at the end,
    // whatever was put there meanwhile.
    Ini("DisableSelectiveSuspend=0\n");
    sys.pc().Registry().SetDword(kMergeKey, "MergeConfig", 0);
    Reopen();
    sys.pc().Registry().SetDword(kMergeKey, "MergeConfig", 5);
    ASSERT_TRUE(M().PressEsc());
    ASSERT_TRUE(sys.pc().Registry().GetDword(kMergeKey, "MergeConfig", value));
    EXPECT_EQ(value, 0u);
    sys.pc().Registry().SetDword(kMergeKey, "MergeConfig", 9);
    Reopen();
    sys.pc().Registry().SetDword(kMergeKey, "MergeConfig", 0);
    s.reset();
    ASSERT_TRUE(sys.pc().Registry().GetDword(kMergeKey, "MergeConfig", value));
    EXPECT_EQ(value, 1u);
    // A dialog that ended before reading the value leaves it alone.
    sys.Remove("program/tessaro.ini");
    sys.pc().Registry().SetDword(kMergeKey, "MergeConfig", 3);
    s = std::make_unique<Session>();
    EXPECT_FALSE(M().Open());
    s.reset();
    ASSERT_TRUE(reg.GetDword(kMergeKey, "MergeConfig", value));
    EXPECT_EQ(value, 3u);
}

TEST_F(IspDialogTest, AboutBoxPhySettingAndConfigurations) {
    MemoryDialog& m = Open(std::string(kFlashPart) + SpiHub("A"), "DisableSelectiveSuspend=0\nPhyAccess=2\n");
    ASSERT_TRUE(m.SysCommand(0x10));
    EXPECT_EQ(m.Modals(), std::vector<int>{IDD_ABOUTBOX});
    EXPECT_TRUE(m.Alive());
    ASSERT_TRUE(m.Click(IDC_PHY_SETTING));
    EXPECT_EQ(m.Modals(), (std::vector<int>{IDD_ABOUTBOX, IDD_PHY_TUNE_2240}));
    // Hub 1's chip picks the tuning form; a VX710x-10 hub has none.
    const struct {
        std::string hub;
        std::vector<int> modals;
    } forms[] = {
        {SpiHub("A", "VXI2210"), {IDD_PHY_TUNE_2210}},
        {isptest::EepromHub("A"), {IDD_PHY_TUNE_2240}},
        {isptest::LiteHub("A"), {IDD_PHY_TUNE_2240}},
        {SpiHub("A", "none"), {}},
    };
    for (const auto& f : forms) {
        Open(std::string(kFlashPart) + f.hub, "DisableSelectiveSuspend=0\nPhyAccess=2\n");
        ASSERT_TRUE(M().Click(IDC_PHY_SETTING));
        EXPECT_TRUE(M().Boxes().empty()) << M().Boxes().front().text;
        EXPECT_EQ(M().Modals(), f.modals) << f.hub;
    }
}

TEST_F(IspDialogTest, TheBenchIsNamedInTheCaption) {
    ScopedEnv env("TESSARO_BENCH", "two.bench");
    MemoryDialog& m = Open(std::string(kFlashPart) + SpiHub("A"));
    EXPECT_EQ(m.Caption(), "Varnellogic USB3.0 Hub FW ISP Tool v2.2.4.0 [bench]");
}

}  // namespace
