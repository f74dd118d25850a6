// The configurations editor: keyword gating, live checks, ValidateConfig and
// the round trip of a block through the controls.
#include "config_fixture.h"

using namespace cfgtest;

namespace {

struct GatingCase {
    const char* ini;
    std::vector<int> shown;
    std::vector<int> hidden;
    bool narrowed;
};

}  // namespace

TEST_F(ConfigEditorTest, IniKeywordsDecideWhichGroupsShowAndWhetherTheDialogIsNarrowed) {
    const std::vector<GatingCase> cases = {
        {"Advanced=1\nConfigUI=hubid\n", {IDC_CFG_VID, IDC_CFG_GAND, IDC_CFG_2280_1, IDC_CFG_RWU, IDC_CFG_STRAP}, {},
         false},
        {"Advanced=0\nConfigUI=fullfunc\n", {IDC_CFG_VID, IDC_CFG_GAND, IDC_CFG_RWU}, {}, false},
        {"Advanced=0\nConfigUI=\n", {IDC_CFG_VID, IDC_CFG_HSPOWER, IDC_CFG_SELF},
         {IDC_CFG_RWU, IDC_CFG_USB3LPM, IDC_CFG_GAND}, true},
        {"Advanced=0\nConfigUI=HubID,PortNum\n",
         {IDC_CFG_VID, IDC_CFG_LBL_SSPID, IDC_CFG_PORT2_1, IDC_CFG_NONREM_4},
         {IDC_CFG_HSPOWER, IDC_CFG_VENDOR, IDC_CFG_CHARGE_1, IDC_CFG_SEPLED, IDC_CFG_GRP_SPECIAL, IDC_CFG_SELF},
         true},
        {"Advanced=0\nConfigUI=basicfunc\n",
         {IDC_CFG_VID, IDC_CFG_POLYFUSE, IDC_CFG_SERIAL_EN, IDC_CFG_PWRSW_HIGH, IDC_CFG_SEPLED, IDC_CFG_TX_UP},
         {IDC_CFG_RWU, IDC_CFG_GAND, IDC_CFG_STRAP, IDC_CFG_2280_1},
         true},
        {"Advanced=0\nConfigUI=others special\n", {IDC_CFG_RWU, IDC_CFG_PWRSW_HIGH, IDC_CFG_GAND},
         {IDC_CFG_VID, IDC_CFG_SEPLED, IDC_CFG_STRAP, IDC_CFG_BREATH}, false},
    };
    const std::vector<uint8_t> block = Block(Sample(), 2);
    for (const GatingCase& c : cases) {
        SCOPED_TRACE(c.ini);
        Ini(c.ini);
        ui::MemoryDialog& d = Open(2, block);
        ASSERT_TRUE(d.Alive());
        for (int id : c.shown) EXPECT_TRUE(d.IsVisible(id)) << id;
        for (int id : c.hidden) EXPECT_FALSE(d.IsVisible(id)) << id;
        const int edge = d.ControlRect(IDC_CFG_GRP_SMART).right;
        if (c.narrowed) {
            EXPECT_EQ(d.ClientRect().Width(), edge + 20);
            EXPECT_EQ(d.ControlRect(IDC_CFG_SEPARATOR).right, edge);
            // The five buttons stay in order inside the narrowed dialog.
            EXPECT_LT(d.ControlRect(IDC_CFG_SAVE_FILE).right, d.ControlRect(IDC_CFG_SAVE_EXIT).left);
            EXPECT_LE(d.ControlRect(IDC_CFG_EXIT).right, edge);
        } else {
            EXPECT_GT(d.ClientRect().Width(), edge + 20);
        }
    }
}

TEST_F(ConfigEditorTest, NoKnownKeywordWarnsAndClosesAsExit) {
    Ini("Advanced=0\nConfigUI=nothing here\n");
    ui::MemoryDialog& d = Open(2, Block(Sample(), 2));
    EXPECT_TRUE(d.Ended());
    EXPECT_EQ(d.Result(), ui::kIdCancel);
    ASSERT_EQ(d.Boxes().size(), 1u);
    EXPECT_EQ(d.Boxes()[0].caption, "Quillon");
    EXPECT_EQ(d.Boxes()[0].text.rfind("[Warning] All function of Configurations is forbidden!", 0), 0u);
    EXPECT_EQ(dlg->Saved(), 0);
}

TEST_F(ConfigEditorTest, LiveChecksRefuseOnlyWhatTheUserTypesWithOneBoxEach) {
    HubConfig c = Sample();
    c.vendor = std::string("Bad") + '\x01' + "Name";  // a byte the check would refuse
    ui::MemoryDialog& d = Open(2, Block(c, 2));
    // Decoding showed the string as it stands and raised no box.
    EXPECT_TRUE(d.Boxes().empty());
    EXPECT_EQ(d.GetText(IDC_CFG_VENDOR), c.vendor);

    EXPECT_TRUE(d.Type(IDC_CFG_VID, "2c7e"));
    ASSERT_EQ(d.Boxes().size(), 1u);
    EXPECT_EQ(d.Boxes()[0].text.rfind("VID contains invalid character!", 0), 0u);
    EXPECT_EQ(d.GetText(IDC_CFG_VID), "2C7E");

    // A partial text is kept but is not the one put back.
    EXPECT_TRUE(d.Type(IDC_CFG_HSPID, "0B"));
    EXPECT_TRUE(d.Type(IDC_CFG_HSPID, "0BX"));
    EXPECT_EQ(d.Boxes().size(), 2u);
    EXPECT_EQ(LastBox().rfind("PID contains invalid character!", 0), 0u);
    EXPECT_EQ(d.GetText(IDC_CFG_HSPID), "0B40");

    // The decoded vendor string is the last accepted one: it comes back, and
    // putting it back raises no second box.
    EXPECT_TRUE(d.Type(IDC_CFG_VENDOR, "Good\x7F"));
    EXPECT_EQ(d.Boxes().size(), 3u);
    EXPECT_EQ(LastBox(), "Vendor string includes invalid character!\n\nThe string shall be alphanumeric format.");
    EXPECT_EQ(d.GetText(IDC_CFG_VENDOR), c.vendor);
    EXPECT_TRUE(d.Type(IDC_CFG_SERIAL, "A\tB"));
    EXPECT_EQ(LastBox().rfind("Serial string includes", 0), 0u);
    EXPECT_EQ(d.GetText(IDC_CFG_SERIAL), "0001");
    EXPECT_EQ(d.Boxes().size(), 4u);
}

TEST_F(ConfigEditorTest, ValidateConfigRefusesInOrderWithFocusAndLeavesTheOwnerUntouched) {
    struct Case {
        int id;
        const char* text;
        const char* message;
    };
    const std::vector<Case> cases = {
        {IDC_CFG_VID, "2C7", "Wrong VID string length! Must fit 4-byte long."},
        {IDC_CFG_HSPID, "B4", "Wrong PID string length! Must fit 4-byte long."},
        {IDC_CFG_SSPID, "", "Wrong SSPID string length! Must fit 4-byte long."},
        {IDC_CFG_SERIAL, "", "Please input Serial String or disable it."},
        {IDC_CFG_HSPOWER, "600", "HS Max Power must be 0 to 511 mA: the hub stores half of it in one byte."},
        {IDC_CFG_PGOOD, "512", "Power Good Time must be 0 to 511 ms: the hub stores half of it in one byte."},
    };
    const std::vector<uint8_t> block = Block(Sample(), 2);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.message);
        ui::MemoryDialog& d = Open(2, block);
        ASSERT_TRUE(d.Type(c.id, c.text));
        ASSERT_TRUE(d.Click(IDC_CFG_SAVE_EXIT));
        ASSERT_FALSE(d.Boxes().empty());
        EXPECT_EQ(LastBox(), c.message);
        EXPECT_EQ(d.Boxes().back().caption, "Configurations");
        EXPECT_EQ(d.Focus(), c.id);
        EXPECT_TRUE(d.Alive());
        EXPECT_EQ(owner, block);
        EXPECT_EQ(dlg->Saved(), 0);
    }
    // SS Max Power always fits: three digits divided by 8.
    ui::MemoryDialog& d = Open(2, block);
    d.Type(IDC_CFG_SSPOWER, "999");
    d.Click(IDC_CFG_SAVE_EXIT);
    EXPECT_EQ(dlg->Saved(), 1);
    EXPECT_EQ(owner[0x0A], 999 >> 3);
}

TEST_F(ConfigEditorTest, SaveAndExitWritesWhatTheModelEncodesForEveryLayoutAndExitWritesNothing) {
    struct Case {
        int hubType;
        bool page;
    };
    for (Case c : {Case{2, false}, Case{4, false}, Case{1, false}, Case{5, false}, Case{1, true}}) {
        SCOPED_TRACE(testing::Message() << "type " << c.hubType << (c.page ? " page" : ""));
        const ConfigForm form = c.page ? ConfigForm::Compact : ConfigForm::Full;
        HubConfig sample = Sample();
        sample.smartPowerSelf = 2;
        sample.supportBusPower = !c.page;
        sample.smartPowerBus = c.page ? 0 : 1;
        const std::vector<uint8_t> block = Block(sample, c.hubType, form);
        ConfigFormat f;
        ConfigFormatForHubType(c.hubType, &f);
        f.form = form;
        const std::vector<uint8_t> expected = Block(DecodeConfig(block.data(), f.size, f), c.hubType, form);

        ui::MemoryDialog& d = Open(c.hubType, block, c.page);
        ASSERT_TRUE(d.Click(IDC_CFG_SAVE_EXIT));
        EXPECT_EQ(dlg->Saved(), 1);
        EXPECT_EQ(d.Result(), ui::kIdOk);
        EXPECT_EQ(LastBox(), "EEP settings have been modified.");
        EXPECT_EQ(owner, expected);

        Open(c.hubType, block, c.page);
        m->Type(IDC_CFG_SSPID, "0B42");
        ASSERT_TRUE(m->Click(IDC_CFG_EXIT));
        EXPECT_EQ(dlg->Saved(), 0);
        EXPECT_EQ(owner, block);
    }
}

TEST_F(ConfigEditorTest, EnterNeverEndsTheEditorAndEscOnlyWhileExitIsEnabled) {
    sys.Bench("");
    ui::MemoryDialog& d = Open(2);
    EXPECT_TRUE(d.PressEnter());
    EXPECT_TRUE(d.PressEsc());
    EXPECT_TRUE(d.Alive());  // Exit is greyed until the hub read
    EXPECT_FALSE(d.CloseBox());
    d.Tick(1);
    EXPECT_TRUE(d.PressEnter());
    EXPECT_TRUE(d.Alive());
    d.PressEsc();
    EXPECT_TRUE(d.Ended());
    EXPECT_EQ(d.Result(), ui::kIdCancel);
}
