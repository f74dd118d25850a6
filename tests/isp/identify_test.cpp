// Chip identification, the flash part table and the mask-ROM versions.
#include <gtest/gtest.h>

#include "hub/CHubIsp.h"
#include "support/bench_system.h"

using tessaro::test::BenchSystem;
using tessaro::test::TestFlashPart;
using tessaro::test::TestFlashRow;

namespace {

class IdentifyTest : public ::testing::Test {
protected:
    void Ini(const std::string& extra = "") {
        sys.WriteIniWithLog(extra + "[FlashInfo]\nw25=" + TestFlashRow() + "\n");
    }
    int Identify(const std::string& hubBody, const std::string& extra = "", int enterIsp = 1) {
        sys.Bench(TestFlashPart() + "hub H\n" + hubBody + "  function vid 0x2C7E pid 0x0B40\nend\n" + extra);
        CHubIsp isp;
        int type = isp.GetChipType(0, enterIsp);
        lasterror = isp.m_lasterror;
        maskRom = isp.IsMaskRom(0);
        return type;
    }
    BenchSystem sys;
    std::string lasterror;
    int maskRom = 0;
};

TEST_F(IdentifyTest, TheIniOverrideTouchesNoHardware) {
    Ini("DefaultChipType=2240_EEP\n");
    sys.Bench("driver missing\n");
    CHubIsp isp;
    EXPECT_EQ(isp.GetChipType(0, 1), CHIP_ID_VX2240_EEPROM);
    EXPECT_TRUE(sys.pc().Log().empty());
    Ini("DefaultChipType=2240_EEP_LITE\n");
    EXPECT_EQ(isp.GetChipType(7, 0), CHIP_ID_VX2240_EEPROM_LITE);
    Ini("DefaultChipType=2250_SPI\n");
    EXPECT_EQ(isp.GetChipType(0, 0), CHIP_ID_VX2210_SPI);
    // Written in lower case it is not recognised: the hardware is asked.
    Ini("DefaultChipType=2240_spi\n");
    EXPECT_EQ(isp.GetChipType(0, 0), CHIP_ID_UNKNOWN);
    EXPECT_EQ(isp.m_lasterror, "Open Device ERROR! unknown chip type.");
}

TEST_F(IdentifyTest, SpiFlashRunningItsOwnCodeIsToldByItsMarkers) {
    Ini();
    EXPECT_EQ(Identify("  store spi W25\n  put 0x1D0 text \"abcVXI2260\"\n"), CHIP_ID_VX2240_SPI);
    EXPECT_EQ(maskRom, 0);
    // NUL bytes between the strings do not end the search.
    EXPECT_EQ(Identify("  store spi W25\n  put 0x1D0 hex 00 00 41 00 00\n  put 0x1D5 text \"VXI2250\"\n"),
              CHIP_ID_VX2210_SPI);
    // Both markers: the 2240/2260 ones are tested first.
    EXPECT_EQ(Identify("  store spi W25\n  put 0x1D0 text \"VXI2210 VXI2240\"\n"), CHIP_ID_VX2240_SPI);
    // A marker beyond the 64 bytes of the area does not count.
    EXPECT_EQ(Identify("  store spi W25\n  put 0x20C text \"VXI2240\"\n"), CHIP_ID_VX2230_SPI);
    EXPECT_TRUE(sys.debug.Contains("hub 1 is running external code\n\r\nhub 1 is CHIP_ID_VX2230_SPI\n\r\n"));
    auto requests = sys.pc().Requests();
    ASSERT_FALSE(requests.empty());
    EXPECT_EQ(requests.back().setup.wIndex, 0x0390);
    EXPECT_EQ(requests.back().setup.wLength, 64);
}

TEST_F(IdentifyTest, EepromRunningItsOwnCode) {
    Ini();
    EXPECT_EQ(Identify("  store eeprom 0x8000\n  put 0xFC text \"XROM\"\n"), CHIP_ID_VX2240_EEPROM);
    EXPECT_EQ(Identify("  store eeprom 256\n  put 0x1C text \"EROM\"\n"), CHIP_ID_VX2240_EEPROM_LITE);
    EXPECT_EQ(Identify("  store eeprom 256\n"), CHIP_ID_UNKNOWN);
    EXPECT_EQ(lasterror, "Determine hub part number failed!");
    EXPECT_EQ(sys.box.Texts().back(), "Determine hub part number failed!");
}

TEST_F(IdentifyTest, EepromInMaskRomIsProbedForItsAddressing) {
    Ini();
    EXPECT_EQ(Identify("  store eeprom 0x8000\n  bcd-device 0x0500\n"), CHIP_ID_VX2240_EEPROM_LITE);
    EXPECT_EQ(sys.pc().Requests().size(), 3u) << "store type twice and ISP entry, nothing more";
    EXPECT_EQ(maskRom, 1);
    EXPECT_EQ(Identify("  store eeprom 256\n  bcd-device 0x0400\n  put 0x1C text \"EROM\"\n"),
              CHIP_ID_VX2240_EEPROM_LITE);
    EXPECT_EQ(Identify("  store eeprom 256\n  bcd-device 0x0401\n"), CHIP_ID_VX2240_EEPROM_LITE);
    EXPECT_EQ(Identify("  store eeprom 0x8000\n  bcd-device 0x0402\n"), CHIP_ID_VX2240_EEPROM);
    // The probe writes: outside ISP mode the hub refuses it.
    EXPECT_EQ(Identify("  store eeprom 0x8000\n  bcd-device 0x0402\n", "", 0), CHIP_ID_UNKNOWN);
    EXPECT_TRUE(sys.box.Texts().size() >= 2);
    EXPECT_EQ(sys.box.Texts()[sys.box.Texts().size() - 2], "Write data failed!");
}

TEST_F(IdentifyTest, MaskRomVersionsComeFromTheIniToo) {
    Ini("MaskVersion=0403/0404\n");
    EXPECT_EQ(Identify("  store spi W25\n  bcd-device 0x0404\n"), CHIP_ID_VX2240_SPI);
    EXPECT_EQ(maskRom, 1);
    EXPECT_EQ(Identify("  store spi W25\n  bcd-device 0x0500\n"), CHIP_ID_VX2210_SPI);
    // 0x0301 is the patched VX7100 mask: flagged, but identified as own code.
    EXPECT_EQ(Identify("  store spi W25\n  bcd-device 0x0301\n"), CHIP_ID_VX2230_SPI);
    EXPECT_EQ(maskRom, 1);
    sys.WriteIni("[VX7100]\nMaskVersion=0403/\n");
    CHubIsp isp;
    EXPECT_EQ(isp.LoadMaskVersions(), 1);
    sys.WriteIni("[VX7100]\nMaskVersion=/0403\n");
    EXPECT_EQ(isp.LoadMaskVersions(), 2);
}

TEST_F(IdentifyTest, AnUnknownFlashPartIsAMismatch) {
    sys.WriteIniWithLog("[FlashInfo]\nother=9F 03 C2 20 13 C7 40 01\n");
    EXPECT_EQ(Identify("  store spi W25\n"), CHIP_ID_UNKNOWN);
    EXPECT_TRUE(sys.debug.Contains("Can't find flash index!\r\n"));
    auto boxes = sys.box.Texts();
    ASSERT_GE(boxes.size(), 2u);
    EXPECT_EQ(boxes[boxes.size() - 2], "Mismatched FLASH type!");
}

TEST_F(IdentifyTest, ABlockSizeThatDoesNotDivide256IsRefused) {
    sys.WriteIniWithLog("[FlashInfo]\nodd=" + TestFlashRow(48) + "\n");
    EXPECT_EQ(Identify("  store spi W25\n"), CHIP_ID_UNKNOWN);
    sys.WriteIniWithLog("[FlashInfo]\nzero=" + TestFlashRow(0) + "\n");
    EXPECT_EQ(Identify("  store spi W25\n"), CHIP_ID_UNKNOWN);
}

TEST_F(IdentifyTest, ARetriedReadRecoversAndASecondFailureDoesNot) {
    Ini();
    EXPECT_EQ(Identify("  store eeprom 256\n  put 0x1C text \"EROM\"\n", "fault fail request 0x82 value 4 nth 1\n"),
              CHIP_ID_VX2240_EEPROM_LITE);
    auto waits = sys.clock.Waits();
    ASSERT_GE(waits.size(), 3u);
    EXPECT_EQ(waits[0], 20u);
    EXPECT_EQ(waits[1], 200u);
    EXPECT_EQ(waits[2], 100u);
    EXPECT_EQ(Identify("  store eeprom 256\n", "fault fail request 0x82 value 4 first 2\n"), CHIP_ID_UNKNOWN);
    EXPECT_EQ(lasterror, "Determine hub part number failed!");
    // The repeated store-type read is not retried.
    EXPECT_EQ(Identify("  store eeprom 256\n", "fault fail request 0x82 value 4 nth 2\n"), CHIP_ID_UNKNOWN);
}

TEST_F(IdentifyTest, HubIndexEightIsRefusedBeforeAnyPerHubState) {
    Ini();
    sys.Bench("hub H\n  store eeprom 256\n  function\nend\n");
    CHubIsp isp;
    EXPECT_EQ(isp.GetChipType(8, 1), CHIP_ID_UNKNOWN);
    EXPECT_EQ(isp.GetChipType(-1, 1), CHIP_ID_UNKNOWN);
    EXPECT_EQ(isp.IsMaskRom(8), 0);
    EXPECT_TRUE(sys.pc().Log().empty());
}

TEST_F(IdentifyTest, TheFlashPartTable) {
    sys.WriteIni("[FlashInfo]\na=01 02 03 04 05\nb=  9f 3 0xEF x 1ff\n");
    CHubIsp isp;
    ASSERT_EQ(isp.LoadFlashInfo(), 1);
    EXPECT_EQ(isp.FlashCount(), 2);
    for (int c = 0; c < 5; ++c) EXPECT_EQ(isp.GetFlashInfo(0, static_cast<uint8_t>(c)), c + 1);
    for (int c = 5; c < 18; ++c) EXPECT_EQ(isp.GetFlashInfo(0, static_cast<uint8_t>(c)), 5) << c;
    EXPECT_EQ(isp.GetFlashInfo(1, 0), 0x9F);
    EXPECT_EQ(isp.GetFlashInfo(1, 1), 3);
    EXPECT_EQ(isp.GetFlashInfo(1, 2), 0);  // "0xEF": the digits end at the x
    EXPECT_EQ(isp.GetFlashInfo(1, 3), 0);
    EXPECT_EQ(isp.GetFlashInfo(1, 4), 0xFF);
    EXPECT_EQ(isp.GetFlashInfo(64, 0), 0);
    EXPECT_EQ(isp.GetFlashInfo(0, 18), 0);

    std::string many = "[FlashInfo]\n";
    for (int i = 0; i < 65; ++i) many += "p" + std::to_string(i) + "=9F\n";
    sys.WriteIni(many);
    EXPECT_EQ(isp.LoadFlashInfo(), 0);
    EXPECT_EQ(isp.FlashCount(), 0);
    EXPECT_EQ(isp.m_lasterror, "Too many flash type!");
    EXPECT_EQ(sys.box.Texts().back(), "Too many flash type!");
}

TEST_F(IdentifyTest, ARowWithoutIdentificationBytesMatchesEveryPart) {
    sys.WriteIniWithLog("[FlashInfo]\nany=9F 00 00 00 00 C7 40 01\nw25=" + TestFlashRow() + "\n");
    sys.Bench(TestFlashPart() + "hub H\n  store spi W25\n  function\nend\n");
    CHubIsp isp;
    ASSERT_EQ(isp.GetChipType(0, 1), CHIP_ID_VX2230_SPI);
    EXPECT_TRUE(sys.debug.Contains("flash index = 0\r\n"));
}

}  // namespace
