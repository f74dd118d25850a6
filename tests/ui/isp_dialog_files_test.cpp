// Images and configurations of the main dialog: failed and refused loads, and
// a configuration merged into the image an update writes.
#include <gtest/gtest.h>

#include "isp_dialog_fixture.h"

using namespace isptest;

namespace {

TEST_F(IspDialogTest, AFailedOrRefusedLoadLeavesNothingToProgram) {
    MemoryDialog& m = Open(std::string(kFlashPart) + SpiHub("A") + "fault fail device A request 0x83 value 0xC701\n");
    ASSERT_TRUE(Load("program/fw.bin", Class2()));
    ASSERT_TRUE(m.IsEnabled(IDC_DO_ISP));
    // A file that cannot be read.
    m.AnswerFile(sys.Native("program/missing.bin"));
    ASSERT_TRUE(m.Click(IDC_SELECT_BIN));
    ExpectBox(LastBox(), "Couldn't open firmware file!\n\n" + sys.Native("program/missing.bin"), ui::kMbIconError);
    EXPECT_EQ(Status(), "Load file failed!");
    EXPECT_FALSE(m.IsEnabled(IDC_DO_ISP));
    EXPECT_FALSE(m.IsEnabled(IDC_SAVE_CHECKSUM));
    EXPECT_EQ(m.GetText(IDC_BIN_FILE), "");
    // A file without a hub marker of its size.
    std::vector<uint8_t> unmarked(256, 0x11);
    ASSERT_TRUE(Load("program/bad.bin", unmarked));
    ExpectBox(LastBox(), "Cannot determine hub part number in the binary file!", ui::kMbIconError);
    EXPECT_EQ(Status(), "Incorrect binary file format!");
    // A cancelled file dialog changes nothing.
    size_t boxes = m.Boxes().size();
    ASSERT_TRUE(m.Click(IDC_SELECT_BIN));
    EXPECT_EQ(m.Boxes().size(), boxes);
    // A blanket enable (after a failed erase) keeps them off.
    m.AnswerBox(ui::kIdYes);
    ASSERT_TRUE(m.Click(IDC_ERASE));
    EXPECT_EQ(Status(), "Erase XROM data fail!");
    EXPECT_TRUE(m.IsEnabled(IDC_EXIT));
    EXPECT_FALSE(m.IsEnabled(IDC_DO_ISP));
    EXPECT_FALSE(m.IsEnabled(IDC_SAVE_CHECKSUM));
    EXPECT_FALSE(m.Click(IDC_DO_ISP));
}

TEST_F(IspDialogTest, AConfigurationIsMergedIntoACopyAndDroppedByASum) {
    MemoryDialog& m = Open(std::string(kFlashPart) + SpiHub("A"));
    ASSERT_TRUE(Load("program/fw.bin", Class2()));
    ASSERT_TRUE(LoadEep("program/cfg.eep", Eep(144, 0x33)));
    EXPECT_EQ(Status(), "Load EEP file successfully");
    EXPECT_EQ(m.GetText(IDC_EEP_FILE), "cfg.eep");
    EXPECT_EQ(m.FileDialogs().back().request.filter, "EEP File (*.eep)|*.eep||");
    ASSERT_TRUE(DoIsp());
    ExpectBox(LastBox(), kSuccess, ui::kMbIconInformation);
    std::vector<uint8_t> merged = Class2();
    std::vector<uint8_t> eep = Eep(144, 0x33);
    std::memcpy(merged.data() + 0x100, eep.data(), 144);
    merged[0x10E] = 0x78;  // the image's own version stays
    merged[0x10F] = 0x56;
    EXPECT_TRUE(Holds(sys.Store("A"), Programmed(merged, sys.Store("A"), 0x5000, 0x1C0)));

    // A refused .eep drops the loaded state; the image itself never held the merge.
    ASSERT_TRUE(LoadEep("program/wide.eep", Eep(512, 0x44)));
    ExpectBox(LastBox(), "Incompatible EEP file format and hub, please consult VX for the support.", ui::kMbIconError);
    EXPECT_EQ(Status(), "Load EEP file failed!");
    EXPECT_EQ(m.GetText(IDC_EEP_FILE), "");
    EXPECT_FALSE(Dlg().EepLoaded());
    ASSERT_TRUE(DoIsp());
    EXPECT_TRUE(Holds(sys.Store("A"), Programmed(Class2(), sys.Store("A"), 0x5000, 0x1C0)));

    // A .sum after a loaded configuration: the configuration is dropped.
    ASSERT_TRUE(LoadEep("program/cfg.eep", Eep(144, 0x33)));
    ASSERT_TRUE(Dlg().EepLoaded());
    std::vector<uint8_t> sum = Class2();
    sum[0x120] = 0x99;
    ASSERT_TRUE(Load("program/fw.sum", sum));
    EXPECT_EQ(m.GetText(IDC_EEP_FILE), "");
    EXPECT_FALSE(Dlg().EepLoaded());
    EXPECT_FALSE(m.IsEnabled(IDC_SELECT_EEP));
    EXPECT_FALSE(m.IsEnabled(IDC_SAVE_CHECKSUM));
    ASSERT_TRUE(DoIsp());
    EXPECT_TRUE(Holds(sys.Store("A"), Programmed(sum, sys.Store("A"), 0x5000, 0x1C0)));
    // The run's blanket enable does not offer them again for this image.
    EXPECT_TRUE(m.IsEnabled(IDC_DO_ISP));
    EXPECT_FALSE(m.IsEnabled(IDC_SELECT_EEP));
    EXPECT_FALSE(m.IsEnabled(IDC_SAVE_CHECKSUM));
    // A .bin brings them back.
    ASSERT_TRUE(Load("program/fw.bin", Class2()));
    EXPECT_TRUE(m.IsEnabled(IDC_SELECT_EEP));
    EXPECT_TRUE(m.IsEnabled(IDC_SAVE_CHECKSUM));
}

}  // namespace
