// Image classes, the hub match, product ID and version, the load steps and
// the console's package search.
#include <gtest/gtest.h>

#include "files/FilePort.h"
#include "files/FirmwareImage.h"
#include "files_fixture.h"
#include "hub/CHubIsp.h"

using namespace filetest;

namespace {

int Classify(const std::vector<uint8_t>& image) {
    return CHubIsp::ClassifyImage(image.data(), static_cast<int>(image.size()));
}

std::vector<uint8_t> FlashWithMarker(size_t size, const std::string& marker, size_t at = 0x1D0) {
    std::vector<uint8_t> image = Filled(size, 0x00);
    PutText(image, at, marker);
    return image;
}

}  // namespace

TEST(ClassifyImage, LengthDecidesEepromOrFlash) {
    std::vector<uint8_t> eeprom = Filled(256, 0x00);
    PutText(eeprom, 0x1C, "EROM");
    EXPECT_EQ(Classify(eeprom), 4);
    eeprom[0x1F] = 'N';
    EXPECT_EQ(Classify(eeprom), -1) << "the marker must be exact";

    // 257 bytes is a flash image: "EROM" no longer counts, no chip marker → 1.
    std::vector<uint8_t> flash = Filled(257, 0x00);
    PutText(flash, 0x1C, "EROM");
    EXPECT_EQ(Classify(flash), 1);

    EXPECT_EQ(CHubIsp::ClassifyImage(nullptr, 100), -1);
    EXPECT_EQ(CHubIsp::ClassifyImage(eeprom.data(), 0), -1);
}

TEST(ClassifyImage, ChipMarkersInTheIdentificationArea) {
    EXPECT_EQ(Classify(FlashWithMarker(0x5000, "VXI2240")), 2);
    EXPECT_EQ(Classify(FlashWithMarker(0x5000, "VXI2260", 0x1F0)), 2);
    EXPECT_EQ(Classify(FlashWithMarker(0x8000, "VXI2210")), 5);
    EXPECT_EQ(Classify(FlashWithMarker(0x8000, "VXI2250", 0x209)), 5) << "a marker ending at 0x20F counts";
    EXPECT_EQ(Classify(FlashWithMarker(0x8000, "VXI2250", 0x20A)), 1) << "one byte past the area does not";
    EXPECT_EQ(Classify(FlashWithMarker(0x8000, "VXI2250", 0x1CF)), 1);
    EXPECT_EQ(Classify(FlashWithMarker(0x4000, "VXI2230")), 1);

    // Class 2 is tested first: an area with both markers is class 2.
    std::vector<uint8_t> both = FlashWithMarker(0x5000, "VXI2210");
    PutText(both, 0x1E0, "VXI2240");
    EXPECT_EQ(Classify(both), 2);
}

TEST(ClassifyImage, NulBytesBeforeAMarkerDoNotEndTheSearch) {
    std::vector<uint8_t> image = Filled(0x8000, 0xFF);
    for (size_t i = 0x1D0; i < 0x1E0; ++i) image[i] = 0x00;
    PutText(image, 0x1E0, "VXI2250");
    EXPECT_EQ(Classify(image), 5);

    // A NUL inside a marker does break that marker.
    std::vector<uint8_t> broken = FlashWithMarker(0x5000, "VXI2240");
    broken[0x1D3] = 0x00;
    EXPECT_EQ(Classify(broken), 1);
}

TEST(ClassifyImage, ShortImagesReadOnlyTheirOwnBytes) {
    // Flash images that end inside or before the identification area: only
    // the loaded part is searched (the rest reads as erased store).
    std::vector<uint8_t> cut = FlashWithMarker(0x5000, "VXI2240");
    cut.resize(0x1D7);
    EXPECT_EQ(Classify(cut), 2) << "marker complete within the loaded bytes";
    cut.resize(0x1D6);
    EXPECT_EQ(Classify(cut), 1) << "marker cut by the end of the file";
    EXPECT_EQ(Classify(Filled(300, 0x00)), 1);

    std::vector<uint8_t> tiny = Filled(0x1F, 0x00);
    PutText(tiny, 0x1C, "ERO");
    EXPECT_EQ(Classify(tiny), -1);
    EXPECT_EQ(Classify(Filled(1, 'E')), -1);
}

TEST(ImageMatch, ClassAgainstHubType) {
    EXPECT_TRUE(ImageFitsHub(1, 1));
    EXPECT_TRUE(ImageFitsHub(2, 2));
    EXPECT_TRUE(ImageFitsHub(2, 3));
    EXPECT_TRUE(ImageFitsHub(4, 4));
    EXPECT_TRUE(ImageFitsHub(5, 5));
    EXPECT_FALSE(ImageFitsHub(1, 2));
    EXPECT_FALSE(ImageFitsHub(5, 3));
    EXPECT_FALSE(ImageFitsHub(5, 2));
    EXPECT_FALSE(ImageFitsHub(2, 5));
    EXPECT_FALSE(ImageFitsHub(3, 2));
    EXPECT_FALSE(ImageFitsHub(-1, -1)) << "an undetermined image never loads, so it fits no hub";
}

TEST(ImageFields, ProductIdModelAndVersion) {
    std::vector<uint8_t> flash = FlashWithMarker(0x5000, "VXI2240");
    flash[0x103] = 0x46;
    flash[0x104] = 0x0B;
    flash[0x10E] = 0x34;
    flash[0x10F] = 0x12;
    flash[0x0E] = 0x99;  // the EEPROM offsets are not read for flash images
    EXPECT_EQ(ImageProductId(flash.data(), static_cast<int>(flash.size()), 2), 0x0B46);
    EXPECT_STREQ(ModelName(0x0B46), "VX7101");
    EXPECT_STREQ(ModelName(0x0B42), "VX7100");
    EXPECT_STREQ(ModelName(0x0B47), "VX7102");
    EXPECT_STREQ(ModelName(0x0B48), "VX71XX");
    ImageVersion v = ReadImageVersion(flash.data(), static_cast<int>(flash.size()));
    EXPECT_EQ(VersionText(v.high, v.low), "1234");

    std::vector<uint8_t> eeprom = Filled(256, 0x00);
    eeprom[0x03] = 0x42;
    eeprom[0x04] = 0x0B;
    eeprom[0x0E] = 0x0A;
    eeprom[0x0F] = 0x00;
    EXPECT_EQ(ImageProductId(eeprom.data(), 256, 4), 0x0B42);
    v = ReadImageVersion(eeprom.data(), 256);
    EXPECT_EQ(VersionText(v.high, v.low), "000A");

    // Beyond the loaded bytes everything reads as erased store.
    std::vector<uint8_t> shortFlash = Filled(0x10F, 0x00);
    v = ReadImageVersion(shortFlash.data(), static_cast<int>(shortFlash.size()));
    EXPECT_EQ(VersionText(v.high, v.low), "FF00");
    EXPECT_EQ(ImageProductId(shortFlash.data(), 0x104, 1), 0xFF00);
    EXPECT_EQ(ImageProductId(nullptr, 0, 4), 0xFFFF);
}

TEST(ImageFields, LoadStatusTexts) {
    EXPECT_EQ(LoadStatusText(2, 0x0B46), "Load VX7101 - 21 bin file OK");
    EXPECT_EQ(LoadStatusText(1, 0x1234), "Load VX71XX - 10 bin file OK");
    EXPECT_EQ(LoadStatusText(4, 0x0B46), "Load VX7103 bin file (256 EEPROM) OK");
    EXPECT_EQ(LoadStatusText(5, 0x0B46), "Load VX7103 bin file OK");
    EXPECT_EQ(LoadStatusText(3, 0x0B46), "Undetermined firmware format!");
    EXPECT_EQ(UpdateOnlySumStatus(5), "Load VX7101 sum file OK");
    EXPECT_EQ(UpdateOnlyBinStatus(1), "Load VX7100 - 10 bin file OK");
    EXPECT_EQ(std::string(HubTypeText(2)), "VX710x-21/22 series hub  (SPI FLASH)");
    EXPECT_EQ(std::string(HubTypeText(0)), "Unknown type!");
}

TEST(StoreGeometry, SizesByTypeAndClass) {
    EXPECT_EQ(StoreSize(-1), 0x4000);
    EXPECT_EQ(StoreSize(3), 0x5000);
    EXPECT_EQ(StoreSize(4), 0x100);
    EXPECT_EQ(StoreSize(5), 0x8000);
    EXPECT_EQ(StoreSize(0), 0);
    EXPECT_EQ(ConfigBlockSize(-1), 512);
    EXPECT_EQ(ConfigBlockSize(4), 256);
    EXPECT_EQ(ConfigBlockSize(3), 144);
    EXPECT_EQ(ConfigBlockSize(0), 0);
    EXPECT_EQ(MergeLength(1), 512);
    EXPECT_EQ(MergeLength(5), 144);
    EXPECT_EQ(MergeLength(4), 0);
}

// --- load steps ------------------------------------------------------------------

class LoadFirmware : public FilesTest {};

TEST_F(LoadFirmware, MainDialogAcceptsAFittingImage) {
    std::vector<uint8_t> image = FlashWithMarker(0x5000, "VXI2240");
    image[0x103] = 0x46;
    image[0x104] = 0x0B;
    image[0x10E] = 0x02;
    image[0x10F] = 0x01;
    WriteProgramFile("fw.bin", image);

    FirmwareLoad r = LoadFirmwareImage(Program("fw.bin"), "fw.bin", LoadOwner::MainDialog, 3);
    ASSERT_TRUE(r.ok);
    EXPECT_TRUE(r.imageRead);
    EXPECT_EQ(r.image, image);
    EXPECT_EQ(r.imageClass, 2);
    EXPECT_EQ(r.versionText, "0102");
    EXPECT_EQ(r.report.status, "Load VX7101 - 21 bin file OK");
    EXPECT_EQ(r.fileNameField, "fw.bin");
    EXPECT_TRUE(r.report.box.empty());
    EXPECT_TRUE(r.report.message.empty());
}

TEST_F(LoadFirmware, OpenFailureTextsByOwner) {
    const std::string path = Program("missing.bin");
    FirmwareLoad main = LoadFirmwareImage(path, "missing.bin", LoadOwner::MainDialog, 2);
    EXPECT_FALSE(main.ok);
    EXPECT_EQ(main.failure, LoadFailure::Open);
    EXPECT_FALSE(main.imageRead);
    EXPECT_EQ(main.report.message, "Couldn't open firmware file!\n\n" + path);
    EXPECT_EQ(main.report.box, main.report.message);
    EXPECT_EQ(main.report.boxStyle, tessaro::win::kMbIconError | tessaro::win::kMbSystemModal);
    EXPECT_EQ(main.report.status, "Load file failed!");
    EXPECT_TRUE(Logged("Couldn't open firmware file: "));

    FirmwareLoad console = LoadFirmwareImage(path, "missing.bin", LoadOwner::Console, 2);
    EXPECT_EQ(console.report.message, main.report.message);
    EXPECT_TRUE(console.report.box.empty());
    EXPECT_TRUE(console.report.status.empty());

    FirmwareLoad page = LoadFirmwareImage(path, "missing.bin", LoadOwner::HubPage, 2);
    EXPECT_EQ(page.report.box, main.report.message);
    EXPECT_EQ(page.report.status, "Open file format ERROR!");
    EXPECT_EQ(page.report.style, StatusStyle::Failure);
}

TEST_F(LoadFirmware, ShortReadFailsLikeAnOpenFailure) {
    const std::string path = Program("torn.bin");
    WriteProgramFile("torn.bin", FlashWithMarker(0x5000, "VXI2240"));
    faulty.FailRead(path, tessaro::win::kErrHandleEof);
    FirmwareLoad r = LoadFirmwareImage(path, "torn.bin", LoadOwner::MainDialog, 2);
    EXPECT_FALSE(r.ok);
    EXPECT_EQ(r.failure, LoadFailure::Open);
    EXPECT_FALSE(r.imageRead) << "no partial image is handed to the dialog";
    EXPECT_TRUE(r.image.empty());
    EXPECT_EQ(r.report.message, "Couldn't open firmware file!\n\n" + path);
    EXPECT_TRUE(Logged("Couldn't open firmware file: Reached the end of the file."));
}

TEST_F(LoadFirmware, UndeterminedImage) {
    std::vector<uint8_t> eeprom = Filled(256, 0x00);  // no "EROM"
    WriteProgramFile("x.bin", eeprom);
    FirmwareLoad main = LoadFirmwareImage(Program("x.bin"), "x.bin", LoadOwner::MainDialog, 4);
    EXPECT_FALSE(main.ok);
    EXPECT_EQ(main.failure, LoadFailure::Unclassified);
    EXPECT_TRUE(main.imageRead) << "the image was read before it was classified";
    EXPECT_EQ(main.imageClass, -1);
    EXPECT_EQ(main.report.box, "Cannot determine hub part number in the binary file!");
    EXPECT_EQ(main.report.status, "Incorrect binary file format!");
    EXPECT_EQ(main.report.message, "Incorrect binary file format!");
    EXPECT_TRUE(Logged("Incorrect binary file format!\n"));

    FirmwareLoad console = LoadFirmwareImage(Program("x.bin"), "x.bin", LoadOwner::Console, 4);
    EXPECT_TRUE(console.report.box.empty());
    EXPECT_EQ(console.report.message, "Incorrect binary file format!");

    FirmwareLoad page = LoadFirmwareImage(Program("x.bin"), "x.bin", LoadOwner::HubPage, 4);
    EXPECT_EQ(page.report.box, "Cannot determine hub part number in the binary file!");
    EXPECT_EQ(page.report.style, StatusStyle::Failure);
}

TEST_F(LoadFirmware, MismatchTextsDifferBetweenMainDialogAndPage) {
    WriteProgramFile("ten.bin", Filled(0x4000, 0x00));  // class 1
    FirmwareLoad main = LoadFirmwareImage(Program("ten.bin"), "ten.bin", LoadOwner::MainDialog, 2);
    EXPECT_EQ(main.failure, LoadFailure::Mismatch);
    EXPECT_EQ(main.report.box, "Mismatched firmware and Hub!");
    EXPECT_TRUE(main.report.status.empty());

    FirmwareLoad page = LoadFirmwareImage(Program("ten.bin"), "ten.bin", LoadOwner::HubPage, 2);
    EXPECT_EQ(page.report.box, "Incorrect binary file!");
    EXPECT_TRUE(Logged("Incorrect binary file!\n"));

    FirmwareLoad console = LoadFirmwareImage(Program("ten.bin"), "ten.bin", LoadOwner::Console, 2);
    EXPECT_TRUE(console.report.box.empty());
    EXPECT_EQ(console.report.message, "Mismatched firmware and Hub!");
}

TEST_F(LoadFirmware, PageWithoutImageCheckAcceptsAnyReadableFile) {
    WriteProgramFile("any.bin", Filled(10, 0x00));
    FirmwareLoad r = LoadFirmwareImage(Program("any.bin"), "any.bin", LoadOwner::HubPage, -1, false);
    ASSERT_TRUE(r.ok);
    EXPECT_EQ(r.imageClass, 1);
    EXPECT_EQ(r.report.status, "Load VX71XX - 10 bin file OK");
    EXPECT_EQ(r.report.style, StatusStyle::LoadSuccess);
}

TEST_F(LoadFirmware, ClassFourImageReportsItsOwnText) {
    std::vector<uint8_t> eeprom = Filled(256, 0x00);
    PutText(eeprom, 0x1C, "EROM");
    eeprom[0x0E] = 0x01;
    WriteProgramFile("lite.bin", eeprom);
    FirmwareLoad r = LoadFirmwareImage(Program("lite.bin"), "lite.bin", LoadOwner::HubPage, 4);
    ASSERT_TRUE(r.ok);
    EXPECT_EQ(r.report.status, "Load VX7103 bin file (256 EEPROM) OK");
    EXPECT_EQ(r.versionText, "0001");
}

// --- the console's package search -----------------------------------------------------

class UpdateFileSearch : public FilesTest {
protected:
    void Package() {
        WriteProgramFile("install.iss", {'x'});
        WriteProgramFile("uninstall.iss", {'x'});
    }
    UpdateFiles Find(const std::vector<int>& sizes = {512}) { return FindUpdateFiles(ProgramFolder(), sizes); }
};

TEST_F(UpdateFileSearch, AnswerFilesMustBeThere) {
    EXPECT_EQ(Find().message, "install.iss not found! Program exits.");
    WriteProgramFile("install.iss", {'x'});
    EXPECT_EQ(Find().message, "uninstall.iss not found! Program exits.");
    WriteProgramFile("uninstall.iss", {'x'});
    UpdateFiles r = Find();
    EXPECT_FALSE(r.ok);
    EXPECT_EQ(r.message, "Bin file is not found! Program exits.");
}

TEST_F(UpdateFileSearch, SumWinsOverBinAndIgnoresEep) {
    Package();
    WriteProgramFile("a.bin", FlashWithMarker(0x5000, "VXI2240"));
    WriteProgramFile("b.sum", FlashWithMarker(0x8000, "VXI2210"));
    WriteProgramFile("c.eep", Filled(512, 0x55));
    UpdateFiles r = Find();
    ASSERT_TRUE(r.ok) << r.message;
    EXPECT_TRUE(r.isSum);
    EXPECT_EQ(r.imageName, "b.sum");
    EXPECT_EQ(r.imageClass, 5);
    EXPECT_FALSE(r.hasEep);
}

TEST_F(UpdateFileSearch, UndeterminedImagesNameTheirKind) {
    Package();
    WriteProgramFile("a.sum", Filled(100, 0x00));
    EXPECT_EQ(Find().message, "Cannot determine hub part number in the sum file!");
    sys.Remove("program/a.sum");
    WriteProgramFile("a.bin", Filled(100, 0x00));
    EXPECT_EQ(Find().message, "Cannot determine hub part number in the binary file!");
}

TEST_F(UpdateFileSearch, BinWithEepOfAnAcceptedSize) {
    Package();
    WriteProgramFile("fw.bin", Filled(0x4000, 0x00));
    UpdateFiles none = Find();
    EXPECT_TRUE(none.ok);
    EXPECT_FALSE(none.hasEep);

    WriteProgramFile("cfg.eep", Filled(512, 0xAA));
    UpdateFiles r = Find();
    ASSERT_TRUE(r.ok);
    EXPECT_TRUE(r.hasEep);
    EXPECT_EQ(r.eep.size(), 512u);

    for (size_t size : {511u, 513u, 144u}) {
        WriteProgramFile("cfg.eep", Filled(size, 0xAA));
        UpdateFiles bad = Find();
        EXPECT_FALSE(bad.ok) << size;
        EXPECT_EQ(bad.message, "Eep file is not found! Program exits.") << size;
    }
    // The widened console accepts the compact block as well.
    EXPECT_TRUE(Find({144, 512}).ok);
}
