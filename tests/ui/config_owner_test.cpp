// The main dialog's Configurations button: which editor opens, what the
// dialog takes over afterwards, and the 256-byte EEPROM hub whose whole
// store the editor writes through Do ISP.
#include <cstring>

#include "config_fixture.h"
#include "isp_dialog_fixture.h"
#include "ui/config_editor.h"

using namespace isptest;

TEST_F(IspDialogTest, TheEepromHubsBlockBecomesTheImageOnlyOnSaveAndExitAndDoIspWritesIt) {
    MemoryDialog& m = Open(std::string(kFlashPart) + LiteHub("L"), "DisableSelectiveSuspend=0\nInfoLevel=1\n");
    ASSERT_TRUE(m.Alive());
    const std::vector<uint8_t> before = cfgtest::Block(cfgtest::Sample(), 4);
    std::memcpy(sys.Store("L").data(), before.data(), before.size());

    // Exit keeps the dialog as it was: no image, Do ISP greyed.
    m.OnModal([](MemoryDialog& e) {
        e.Advance(1200);
        e.Click(IDC_CFG_EXIT);
    });
    ASSERT_TRUE(m.Click(IDC_CONFIGURATIONS));
    EXPECT_EQ(m.Modals(), (std::vector<int>{IDD_CONFIG_DIALOG}));
    EXPECT_FALSE(Dlg().ImageLoaded());
    EXPECT_FALSE(m.IsEnabled(IDC_DO_ISP));

    // Save && Exit: the editor's buffer is the class-4 image.
    m.OnModal([](MemoryDialog& e) {
        e.Advance(1200);
        EXPECT_EQ(e.GetText(IDC_CFG_VENDOR), "Varnellogic");
        e.Type(IDC_CFG_SSPID, "0B47");
        e.Click(IDC_CFG_SAVE_EXIT);
    });
    ASSERT_TRUE(m.Click(IDC_CONFIGURATIONS));
    EXPECT_TRUE(Dlg().ImageLoaded());
    EXPECT_EQ(Dlg().ImageClass(), 4);
    EXPECT_FALSE(Dlg().EepLoaded());
    EXPECT_TRUE(m.IsEnabled(IDC_DO_ISP));
    HubConfig edited = cfgtest::Sample();
    edited.ssPid = 0x0B47;
    const std::vector<uint8_t> expected = cfgtest::Block(edited, 4);
    EXPECT_EQ(Dlg().Image(), expected);

    ASSERT_TRUE(DoIsp());
    EXPECT_EQ(LastBox().text, kSuccess);
    const std::vector<uint8_t>& store = sys.Store("L");
    ASSERT_GE(store.size(), 256u);
    // The update stamps its container ID at 0x90 and the checksum at 0xFE.
    for (size_t i = 0; i < 0xFE; ++i) {
        if (i >= 0x90 && i < 0xA0) continue;
        EXPECT_EQ(store[i], expected[i]) << i;
    }
}

TEST_F(IspDialogTest, ConfigurationsOpensTheFormTheIniAndHubTypeAskForAndAdoptsTheSavedBlock) {
    struct Case {
        const char* vx;
        std::string bench;
        int form;
    };
    const std::string spi = std::string(kFlashPart) + SpiHub("A");
    const std::vector<Case> cases = {
        {"Advanced=1\n", "", IDD_CONFIG_DIALOG},
        {"Advanced=2\n", "", IDD_CONFIG_PAGE},
        {"Advanced=0\nConfigUI=hubid\n", spi, IDD_CONFIG_DIALOG},
        {"Advanced=2\n", spi, IDD_CONFIG_DIALOG},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.vx + c.bench);
        MemoryDialog& m = Open(c.bench, std::string("DisableSelectiveSuspend=0\n") + c.vx);
        ASSERT_TRUE(m.Alive());
        m.OnModal([](MemoryDialog& e) { e.Click(IDC_CFG_EXIT); });
        ASSERT_TRUE(m.Click(IDC_CONFIGURATIONS));
        EXPECT_EQ(m.Modals(), (std::vector<int>{c.form}));
    }
    // A type-2 hub adopts the saved block as its loaded configuration.
    EXPECT_FALSE(Dlg().EepLoaded());
    std::vector<uint8_t> seen;
    ui::SetConfigEditorForTests([&](ui::Dialog&, std::vector<uint8_t>& block, int loaded, int, int type, bool) {
        EXPECT_EQ(type, 2);
        EXPECT_EQ(loaded, 0);
        block = cfgtest::Block(cfgtest::Sample(), 2);
        return 1;
    });
    ASSERT_TRUE(M().Click(IDC_CONFIGURATIONS));
    ui::SetConfigEditorForTests(nullptr);
    EXPECT_TRUE(Dlg().EepLoaded());
}
