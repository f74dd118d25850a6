// Loading .eep files for a hub and putting a held block into an image.
#include <gtest/gtest.h>

#include "files/ConfigBlock.h"
#include "files/EepFile.h"
#include "files/FirmwareImage.h"
#include "files_fixture.h"
#include "hub/CHubIsp.h"

using namespace filetest;

namespace {

std::vector<uint8_t> Block(size_t size, uint8_t marker = 0xAA) {
    std::vector<uint8_t> b(size, 0x11);
    b[0] = marker;
    b[0x0E] = 0x99;  // a block's own version bytes must never reach the image
    b[0x0F] = 0x88;
    return b;
}

std::vector<uint8_t> ImageWithVersion(size_t size, uint8_t high, uint8_t low) {
    std::vector<uint8_t> image(size, 0x00);
    if (size > 0x10F) {
        image[0x10E] = low;
        image[0x10F] = high;
    }
    return image;
}

}  // namespace

class LoadEep : public FilesTest {};

TEST_F(LoadEep, SizeFollowsTheHubType) {
    WriteProgramFile("a.eep", Block(144));
    WriteProgramFile("b.eep", Block(512));

    EepLoad r = LoadEepForHub(Program("a.eep"), "a.eep", 3, EepOwner::MainDialog);
    ASSERT_TRUE(r.ok);
    EXPECT_EQ(r.block, Block(144));
    EXPECT_EQ(r.eepNameField, "a.eep");
    EXPECT_EQ(r.report.status, "Load EEP file successfully");
    EXPECT_TRUE(r.report.box.empty());

    EXPECT_TRUE(LoadEepForHub(Program("b.eep"), "b.eep", 1, EepOwner::HubPage).ok);

    EepLoad wrong = LoadEepForHub(Program("b.eep"), "b.eep", 2, EepOwner::MainDialog);
    EXPECT_FALSE(wrong.ok);
    EXPECT_FALSE(wrong.openFailed);
    EXPECT_EQ(wrong.report.box, "Incompatible EEP file format and hub, please consult VX for the support.");
    EXPECT_EQ(wrong.report.status, "Load EEP file failed!");
    EXPECT_TRUE(wrong.block.empty());
}

TEST_F(LoadEep, HubTypesWithoutALoadableBlock) {
    WriteProgramFile("a.eep", Block(256));
    for (int hubType : {4, -1, 0}) {
        EepLoad r = LoadEepForHub(Program("a.eep"), "a.eep", hubType, EepOwner::HubPage);
        EXPECT_FALSE(r.ok) << hubType;
        EXPECT_EQ(r.expectedSize, 0) << hubType;
        EXPECT_EQ(r.report.box, "Chip type ERROR!!") << hubType;
        EXPECT_EQ(r.report.style, StatusStyle::Failure);
    }
    EepLoad console = LoadEepForHub(Program("a.eep"), "a.eep", 4, EepOwner::Console);
    EXPECT_EQ(console.report.message, "Chip type ERROR!!");
    EXPECT_TRUE(console.report.box.empty());
    EXPECT_TRUE(console.report.status.empty());
}

TEST_F(LoadEep, UnreadableFileFailsAsAnOpenFailure) {
    const std::string path = Program("cfg.eep");
    WriteProgramFile("cfg.eep", Block(144));
    faulty.FailRead(path, tessaro::win::kErrHandleEof);
    for (EepOwner owner : {EepOwner::MainDialog, EepOwner::Console, EepOwner::HubPage}) {
        EepLoad r = LoadEepForHub(path, "cfg.eep", 2, owner);
        EXPECT_FALSE(r.ok);
        EXPECT_TRUE(r.openFailed);
        const std::string& text = owner == EepOwner::HubPage ? r.report.box : r.report.message;
        EXPECT_EQ(text, "Couldn't open EEP file!\n\n" + path);
    }
    EXPECT_TRUE(Logged("Couldn't open EEP file: Reached the end of the file."));

    // The open comes first: a missing file is an open failure whatever the hub.
    EepLoad missing = LoadEepForHub(Program("none.eep"), "none.eep", 4, EepOwner::MainDialog);
    EXPECT_TRUE(missing.openFailed);
}

TEST(MergeConfig, KeepsTheImageVersion) {
    std::vector<uint8_t> image = ImageWithVersion(0x5000, 0x12, 0x34);
    const std::vector<uint8_t> block = Block(144);
    MergeConfigIntoImage(image, 2, block.data(), 144, 144);
    EXPECT_EQ(image[0x100], 0xAA);
    EXPECT_EQ(image[0x18F], 0x11);
    EXPECT_EQ(image[0x190], 0x00);
    EXPECT_EQ(image[0x10E], 0x34);
    EXPECT_EQ(image[0x10F], 0x12);
    EXPECT_EQ(image.size(), 0x5000u);
}

TEST(MergeConfig, ShortImagesGrowWithErasedBytes) {
    std::vector<uint8_t> image(0x108, 0x00);  // ends before the version bytes
    const std::vector<uint8_t> block = Block(512);
    MergeConfigIntoImage(image, 1, block.data(), 512, 512);
    ASSERT_EQ(image.size(), 0x300u);
    EXPECT_EQ(image[0x10E], 0xFF) << "a version beyond the image reads as erased store";
    EXPECT_EQ(image[0x10F], 0xFF);
    EXPECT_EQ(image[0x2FF], 0x11);

    // A block smaller than the copy length is copied only as far as it goes.
    std::vector<uint8_t> small(0x10, 0x00);
    MergeConfigIntoImage(small, 2, block.data(), 100, 144);
    ASSERT_EQ(small.size(), 0x190u);
    EXPECT_EQ(small[0x163], 0x11);
    EXPECT_EQ(small[0x164], 0xFF);
}

TEST(MergeConfig, ClassFourGetsNothing) {
    std::vector<uint8_t> image(256, 0x00);
    const std::vector<uint8_t> block = Block(144);
    MergeConfigIntoImage(image, 4, block.data(), 144, 144);
    EXPECT_EQ(image, std::vector<uint8_t>(256, 0x00));
    MergeConfigIntoImage(image, 2, block.data(), 144, 0);
    EXPECT_EQ(image.size(), 256u);
}

class AssignEep : public FilesTest {};

TEST_F(AssignEep, MainDialog) {
    std::vector<uint8_t> image = ImageWithVersion(0x5000, 0x01, 0x02);
    UiReport report;
    EXPECT_FALSE(AssignEepMainDialog(image, 2, 144, nullptr, 0, EepOwner::MainDialog, &report));
    EXPECT_EQ(report.message, "Configuration buffer is null!");
    EXPECT_EQ(report.box, "Configuration buffer is null!");
    EXPECT_TRUE(Logged("Configuration buffer is null!"));

    // Only the console's per-hub update checks the first byte.
    const std::vector<uint8_t> bad = Block(512, 0x00);
    report = UiReport();
    EXPECT_FALSE(AssignEepMainDialog(image, 2, 144, bad.data(), 512, EepOwner::Console, &report));
    EXPECT_EQ(report.message, "invalid EEP data!");
    EXPECT_TRUE(report.box.empty());
    EXPECT_TRUE(AssignEepMainDialog(image, 2, 144, bad.data(), 512, EepOwner::MainDialog, &report));
    EXPECT_EQ(image[0x100], 0x00);
    EXPECT_EQ(image[0x10E], 0x02);

    const std::vector<uint8_t> good = Block(512, 0xAA);
    EXPECT_TRUE(AssignEepMainDialog(image, 2, 144, good.data(), 512, EepOwner::Console, &report));
    EXPECT_EQ(image[0x100], 0xAA);
    EXPECT_EQ(image[0x190], 0x00) << "144 bytes only";
}

TEST_F(AssignEep, HubPage) {
    std::vector<uint8_t> image = ImageWithVersion(0x4000, 0x05, 0x06);
    const std::vector<uint8_t> block = Block(512);
    UiReport report;
    std::vector<uint8_t> none;
    EXPECT_FALSE(AssignEepHubPage(none, false, 1, 1, true, block.data(), 512, &report));
    EXPECT_EQ(report.box, "Data buffer is null!");

    for (int hubType : {4, -1}) {
        report = UiReport();
        EXPECT_FALSE(AssignEepHubPage(image, true, 1, hubType, false, nullptr, 0, &report)) << hubType;
        EXPECT_EQ(report.box, "Chip type ERROR!") << "whether or not a block is loaded";
    }
    report = UiReport();
    EXPECT_FALSE(AssignEepHubPage(image, true, 1, 1, true, nullptr, 0, &report));
    EXPECT_EQ(report.box, "Configuration buffer is null!");

    // Without a loaded block the image goes out unchanged.
    const std::vector<uint8_t> before = image;
    EXPECT_TRUE(AssignEepHubPage(image, true, 1, 1, false, nullptr, 0, &report));
    EXPECT_EQ(image, before);

    EXPECT_TRUE(AssignEepHubPage(image, true, 1, 1, true, block.data(), 512, &report));
    EXPECT_EQ(image[0x2FF], 0x11);
    EXPECT_EQ(image[0x10E], 0x06);
    EXPECT_EQ(image[0x10F], 0x05);
}

class CheckEepFormat : public FilesTest {};

TEST_F(CheckEepFormat, ReasonsGoToTheLogAndTheLastError) {
    CHubIsp isp;
    std::vector<uint8_t> block = Block(144, 0xAA);
    EXPECT_TRUE(isp.CheckEepFormat(block.data(), 144));
    EXPECT_TRUE(isp.m_lasterror.empty());

    EXPECT_FALSE(isp.CheckEepFormat(block.data(), 143));
    EXPECT_TRUE(Logged("eeprom size error! 0x8f\n"));
    EXPECT_EQ(isp.m_lasterror, "Incompatible EEP file with the attached hub, please check.");

    isp.m_lasterror.clear();
    block[0] = 0x56;
    EXPECT_FALSE(isp.CheckEepFormat(block.data(), 144));
    EXPECT_TRUE(Logged("eeprom format error! (first byte)"));
    EXPECT_EQ(isp.m_lasterror, "Incompatible EEP file with the attached hub, please check.");
}
