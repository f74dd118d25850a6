// The main dialog's store tools: read version, dump, save with checksum and
// erase.
#include <gtest/gtest.h>

#include <cstdio>

#include "isp_dialog_fixture.h"

using namespace isptest;

namespace {

TEST_F(IspDialogTest, ReadVersionAndDumpShowWhatTheHubHolds) {
    MemoryDialog& m = Open(std::string(kFlashPart) + SpiHub("A"));
    sys.Store("A")[0x10E] = 0xFF;
    sys.Store("A")[0x10F] = 0xFF;
    ASSERT_TRUE(m.Click(IDC_READ_VERSION));
    EXPECT_EQ(m.GetText(IDC_HUB_VERSION), "Mask");
    EXPECT_TRUE(m.IsWindowEnabled());
    sys.Store("A")[0x10E] = 0x0D;
    sys.Store("A")[0x10F] = 0x0C;

    m.AnswerFile(sys.Native("desktop/hub.rom"));
    ASSERT_TRUE(m.Click(IDC_DUMP));
    const ui::FileRequest& save = m.FileDialogs().back().request;
    EXPECT_TRUE(save.save);
    EXPECT_EQ(save.defaultExt, "ROM");
    EXPECT_EQ(save.fileName, ".\\0C0D");
    EXPECT_EQ(save.filter, "ROM Files (*.rom)|*.rom||");
    EXPECT_EQ(save.flags, ui::kOfnHideReadOnly | ui::kOfnOverwritePrompt);
    ExpectBox(LastBox(), "XROM data is dumped successfully.", ui::kMbIconInformation);
    EXPECT_EQ(Status(), "XROM data is dumped successfully.");
    std::vector<uint8_t> dumped;
    ASSERT_TRUE(sys.ReadFile("desktop/hub.rom", dumped));
    EXPECT_EQ(dumped, std::vector<uint8_t>(sys.Store("A").begin(), sys.Store("A").begin() + 0x5000));
    EXPECT_TRUE(m.IsWindowEnabled());

    // A file that cannot be written is an error, never the success text.
    m.SetText(IDC_STATUS, "");
    m.AnswerFile(sys.Native("nowhere/hub.rom"));
    ASSERT_TRUE(m.Click(IDC_DUMP));
    ExpectBox(LastBox(), "XROM data is dumped failed.", ui::kMbIconError);
    EXPECT_EQ(Status(), "");
    // Cancelled: nothing.
    size_t boxes = m.Boxes().size();
    ASSERT_TRUE(m.Click(IDC_DUMP));
    EXPECT_EQ(m.Boxes().size(), boxes);

    // A hub that went away.
    sys.pc().Unplug("A");
    size_t dialogs = m.FileDialogs().size();
    ASSERT_TRUE(m.Click(IDC_DUMP));
    ExpectBox(LastBox(), "XROM data is dumped failed.", ui::kMbIconError);
    EXPECT_EQ(m.FileDialogs().size(), dialogs);
    ASSERT_TRUE(m.Click(IDC_READ_VERSION));
    ExpectBox(LastBox(), "Read XROM Fail!", ui::kMbIconError);
    EXPECT_EQ(Status(), "Read XROM data failed!");
    EXPECT_EQ(m.GetText(IDC_HUB_VERSION), "");
    EXPECT_TRUE(m.IsWindowEnabled());
}

TEST_F(IspDialogTest, SaveWithChecksumWritesThePaddedImageOrSaysWhyNot) {
    MemoryDialog& m = Open(std::string(kFlashPart) + SpiHub("A"));
    std::vector<uint8_t> shortImage = Class2();
    shortImage.resize(0x3000);
    ASSERT_TRUE(Load("program/short.bin", shortImage));
    ASSERT_TRUE(LoadEep("program/cfg.eep", Eep(144, 0x33)));
    m.AnswerFile(sys.Native("desktop/out.sum"));
    ASSERT_TRUE(m.Click(IDC_SAVE_CHECKSUM));
    const ui::FileRequest& save = m.FileDialogs().back().request;
    EXPECT_TRUE(save.save);
    EXPECT_EQ(save.defaultExt, "SUM");
    EXPECT_EQ(save.fileName, ".\\5678");
    EXPECT_EQ(save.filter, "SUM Files (*.sum)|*.sum||");
    std::vector<uint8_t> sum;
    ASSERT_TRUE(sys.ReadFile("desktop/out.sum", sum));
    ASSERT_EQ(sum.size(), 0x5000u);
    std::vector<uint8_t> expected = shortImage;
    expected.resize(0x5000, 0xFF);
    std::vector<uint8_t> eep = Eep(144, 0x33);
    std::memcpy(expected.data() + 0x100, eep.data(), 144);
    expected[0x10E] = 0x78;
    expected[0x10F] = 0x56;
    uint16_t checksum = CalcChecksum(expected.data(), 0x4FFE);
    expected[0x4FFE] = static_cast<uint8_t>(checksum >> 8);
    expected[0x4FFF] = static_cast<uint8_t>(checksum);
    EXPECT_EQ(sum, expected);
    char text[64];
    std::snprintf(text, sizeof text, "Save OK! checksum = 0x%04X", CalcChecksum(expected.data(), 0x5000));
    EXPECT_EQ(Status(), text);
    EXPECT_TRUE(m.Boxes().empty());

    m.SetText(IDC_STATUS, "");
    m.AnswerFile(sys.Native("nowhere/out.sum"));
    ASSERT_TRUE(m.Click(IDC_SAVE_CHECKSUM));
    EXPECT_EQ(LastBox().text.rfind("Couldn't save checksum file!\n\n" + sys.Native("nowhere/out.sum") + "\n\n", 0), 0u);
    EXPECT_EQ(Status(), "Save with checksum failed!");
    EXPECT_TRUE(m.IsWindowEnabled());
}

TEST_F(IspDialogTest, EraseAsksFirstAndClosesTheDialogAfterwards) {
    MemoryDialog& m = Open(std::string(kFlashPart) + SpiHub("A"));
    m.AnswerBox(ui::kIdNo);
    ASSERT_TRUE(m.Click(IDC_ERASE));
    ExpectBox(LastBox(), "Confirm XROM data will be erased?", ui::kMbIconWarning, "ISP WARNING");
    EXPECT_EQ(LastBox().style & ui::kMbTypeMask, ui::kMbYesNo);
    EXPECT_EQ(Writes("A"), 0u);
    EXPECT_TRUE(m.Alive());

    m.AnswerBox(ui::kIdYes);
    ASSERT_TRUE(m.Click(IDC_ERASE));
    ExpectBox(LastBox(),
              "Erase XROM complete!\n\nISP Tool will be closed now.\nPlease re-plug the erased hub then open ISP Tool.",
              ui::kMbIconWarning);
    EXPECT_TRUE(m.Ended());
    EXPECT_EQ(m.GetText(IDC_HUB_VERSION), "Mask");
    EXPECT_EQ(Status(), "Erase XROM complete.");
    EXPECT_EQ(sys.Store("A")[0x1D0], 0xFF);
}

}  // namespace
