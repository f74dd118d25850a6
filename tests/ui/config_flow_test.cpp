// The configurations editor's hub and file flows on the bench: the read after
// start on each of its paths, Load EEP From XRom, loading and saving files,
// and the compact form's own rules.
#include <cstring>

#include "config_fixture.h"

using namespace cfgtest;

namespace {

constexpr char kNoHub[] = "No hub is attached on the platform,\n\nthe manipulation in the configurations will be limited.";
constexpr char kMaskRom[] =
    "Hub is now running MASK ROM mode,\n\nto load EEP file before alternating configurations is recommended.";

std::vector<int> EnabledButtons(const ui::MemoryDialog& d) {
    std::vector<int> out;
    for (int id : {IDC_CFG_LOAD_XROM, IDC_CFG_LOAD_FILE, IDC_CFG_SAVE_FILE, IDC_CFG_SAVE_EXIT, IDC_CFG_EXIT})
        if (d.IsEnabled(id)) out.push_back(id);
    return out;
}

}  // namespace

TEST_F(ConfigEditorTest, TheHubReadAfterStartTakesEachOfItsPaths) {
    struct Case {
        const char* name;
        std::string bench;
        bool maskFlag;
        std::vector<std::string> boxes;
        std::vector<int> buttons;
        bool decoded;
    };
    const std::vector<int> all = {IDC_CFG_LOAD_XROM, IDC_CFG_LOAD_FILE, IDC_CFG_SAVE_FILE, IDC_CFG_SAVE_EXIT,
                                  IDC_CFG_EXIT};
    const std::vector<int> limited = {IDC_CFG_LOAD_FILE, IDC_CFG_EXIT};
    const std::vector<Case> cases = {
        {"no driver or hub", "", false, {kNoHub}, limited, false},
        {"mask-ROM flag", std::string(kFlashPart) + kSpiHub, true, {kMaskRom}, limited, false},
        {"read fails", std::string(kFlashPart) + kSpiHub + "fault fail request 0x82 index 0x140\n", false,
         {"Read configurations failed!"}, all, false},
        {"read", std::string(kFlashPart) + kSpiHub, false, {}, all, true},
    };
    const std::vector<uint8_t> block = Block(Sample(), 2);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        sys.Bench(c.bench);
        if (!c.bench.empty()) std::memcpy(sys.Store("A").data() + 0x100, block.data(), block.size());
        ui::MemoryDialog& d = Open(2, {}, false, c.maskFlag);
        EXPECT_EQ(d.TimerPeriod(1), 1200u);
        EXPECT_TRUE(EnabledButtons(d).empty());
        EXPECT_FALSE(d.IsEnabled(IDC_CFG_VID));
        d.Advance(1200);
        EXPECT_FALSE(d.TimerActive(1));
        EXPECT_EQ(BoxTexts(), c.boxes);
        EXPECT_EQ(EnabledButtons(d), c.buttons);
        EXPECT_EQ(d.GetText(IDC_CFG_VENDOR), c.decoded ? "Varnellogic" : "");
        EXPECT_EQ(d.IsEnabled(IDC_CFG_VID), c.decoded);
    }
    // Load EEP From XRom reads the block again.
    std::memcpy(sys.Store("A").data() + 0x100 + 0x21, "Other", 5);
    ASSERT_TRUE(m->Click(IDC_CFG_LOAD_XROM));
    EXPECT_EQ(LastBox(), "Read configuration successfully!");
    EXPECT_EQ(m->GetText(IDC_CFG_VENDOR), "Otherllogic");
}

TEST_F(ConfigEditorTest, LoadFileTakesOnlyTheBlockSizeOfTheTypeAndAValidMarker) {
    sys.Bench("");
    const std::vector<uint8_t> good = Block(Sample(), 2);
    std::vector<uint8_t> longer = good;
    longer.push_back(0);
    std::vector<uint8_t> badMarker = good;
    badMarker[0] = 0x12;
    struct Case {
        std::vector<uint8_t> bytes;
        const char* box;
    };
    for (const Case& c : {Case{longer, "Invalid EEP file size!"}, Case{Block(Sample(), 1), "Invalid EEP file size!"},
                          Case{badMarker, "Invalid EEP file format!"}, Case{good, nullptr}}) {
        ui::MemoryDialog& d = Open(2);
        d.Advance(1200);
        sys.WriteFile("in.eep", c.bytes);
        d.AnswerFile(sys.Native("in.eep"));
        ASSERT_TRUE(d.Click(IDC_CFG_LOAD_FILE));
        EXPECT_EQ(d.FileDialogs().back().request.filter, "EEP File (*.eep)|*.eep||");
        EXPECT_EQ(LastBox(), c.box ? c.box : kNoHub);
        EXPECT_EQ(d.GetText(IDC_CFG_VENDOR), c.box ? "" : "Varnellogic");
        EXPECT_EQ(d.IsEnabled(IDC_CFG_SAVE_FILE), c.box == nullptr);
        EXPECT_EQ(d.IsEnabled(IDC_CFG_APPLE), c.box == nullptr);
    }
}

TEST_F(ConfigEditorTest, TheFirstFileFixesAnUnknownHubType) {
    sys.Bench("");
    ui::MemoryDialog& d = Open(-1);
    d.Advance(1200);
    sys.WriteFile("lite.bin", Block(Sample(), 4));
    d.AnswerFile(sys.Native("lite.bin"));
    ASSERT_TRUE(d.Click(IDC_CFG_LOAD_FILE));
    EXPECT_EQ(dlg->HubType(), 4);
    EXPECT_FALSE(d.IsEnabled(IDC_CFG_APPLE));  // only a 144-byte file offers it
    d.AnswerFile(sys.Native("out.bin"));
    ASSERT_TRUE(d.Click(IDC_CFG_SAVE_FILE));
    EXPECT_EQ(d.FileDialogs().back().request.filter, "VX7101 EEP File (*.bin)|*.bin||");
    EXPECT_EQ(d.FileDialogs().back().request.defaultExt, "BIN");
    std::vector<uint8_t> saved;
    ASSERT_TRUE(sys.ReadFile("out.bin", saved));
    EXPECT_EQ(saved, Block(Sample(), 4));
    // A 144-byte file no longer decides anything: the type stays 4.
    sys.WriteFile("compact.eep", Block(Sample(), 2));
    d.AnswerFile(sys.Native("compact.eep"));
    ASSERT_TRUE(d.Click(IDC_CFG_LOAD_FILE));
    EXPECT_EQ(LastBox(), "Invalid EEP file size!");
    EXPECT_EQ(dlg->HubType(), 4);
}

TEST_F(ConfigEditorTest, AFailedSaveNamesThePathAndLeavesNoFile) {
    ui::MemoryDialog& d = Open(2, Block(Sample(), 2));
    const std::string path = sys.Native("missing-folder/out.eep");
    d.AnswerFile(path);
    ASSERT_TRUE(d.Click(IDC_CFG_SAVE_FILE));
    EXPECT_EQ(LastBox().rfind("Couldn't save EEP file!\n\n" + path, 0), 0u);
    EXPECT_EQ(d.Boxes().back().caption, "Configurations");
    EXPECT_FALSE(sys.Exists("missing-folder/out.eep"));
    EXPECT_TRUE(d.Alive());
}

TEST_F(ConfigEditorTest, TheCompactFormReversesNibblesDrivesBusPowerAndLoadsOnly512Bytes) {
    HubConfig c = Sample();
    c.supportStrap = true;  // not carried by the compact form
    c.strapCharge = true;
    c.ovcurWithoutVbus = true;
    c.cdp = false;
    std::vector<uint8_t> block = Block(c, 1, ConfigForm::Full);
    block[0x1A] = 0x21;  // high nibble: self-power in the compact form
    block[0x12] &= static_cast<uint8_t>(~0x04);
    ui::MemoryDialog& d = Open(1, block, true);
    EXPECT_EQ(d.Template().id, IDD_CONFIG_PAGE);
    EXPECT_EQ(d.Selection(IDC_CFG_SELF), 2);
    EXPECT_EQ(d.Selection(IDC_CFG_BUS), 0);  // bit 2 clear: no bus-power selection
    EXPECT_FALSE(d.HasControl(IDC_CFG_CDP));
    EXPECT_FALSE(d.IsVisible(IDC_CFG_SSC));
    EXPECT_TRUE(d.IsVisible(IDC_CFG_SAVE_EXIT));  // shown by the editor entry
    ASSERT_TRUE(d.Click(IDC_CFG_BUSPOWER_ONLY));
    EXPECT_EQ(d.Selection(IDC_CFG_SELF), 0);
    EXPECT_FALSE(d.IsEnabled(IDC_CFG_SELF));
    ASSERT_TRUE(d.Click(IDC_CFG_SAVE_EXIT));
    EXPECT_EQ(owner[0x12] & 0x1F, 0x04);  // bus power only; bits 0, 1, 3, 4 are not carried
    EXPECT_EQ(owner[0x18], 0);
    EXPECT_EQ(owner[0x19] & 0x01, 0);
    EXPECT_EQ(owner[0x1B], 0);
    EXPECT_EQ(owner[0x1A], 0);

    // Decoding bit 2 checks the box and greys both lists.
    block[0x12] |= 0x04;
    Open(1, block, true);
    EXPECT_TRUE(Checked(IDC_CFG_BUSPOWER_ONLY));
    EXPECT_FALSE(m->IsEnabled(IDC_CFG_BUS));
    // Only 512-byte files; a wrong one changes nothing.
    sys.WriteFile("c.eep", Block(Sample(), 2));
    m->AnswerFile(sys.Native("c.eep"));
    ASSERT_TRUE(m->Click(IDC_CFG_LOAD_FILE));
    EXPECT_EQ(LastBox(), "Wrong file!");
    EXPECT_EQ(m->GetText(IDC_CFG_VENDOR), "Varnellogic");
}
