// The store primitives: erase with its un-protect sequences, EEPROM erase,
// reads and the software reset.
#include <gtest/gtest.h>

#include "hub/CHubIsp.h"
#include "support/bench_system.h"

using tessaro::test::BenchSystem;
using tessaro::test::TestFlashPart;
using tessaro::test::TestFlashRow;

namespace {

// "bRequest:wValue" of every vendor request, for order checks.
std::vector<std::string> Trail(bench::Pc& pc) {
    std::vector<std::string> out;
    char text[16];
    for (const bench::LogEntry& e : pc.Requests()) {
        std::snprintf(text, sizeof text, "%02X:%04X", e.setup.bRequest, e.setup.wValue);
        out.push_back(text);
    }
    return out;
}

// The requests of the tail that ends with the first request named `last`.
std::vector<std::string> Before(const std::vector<std::string>& trail, const std::string& last, size_t count) {
    for (size_t i = 0; i < trail.size(); ++i) {
        if (trail[i] == last) {
            size_t from = i + 1 >= count ? i + 1 - count : 0;
            return std::vector<std::string>(trail.begin() + static_cast<long>(from), trail.begin() + static_cast<long>(i) + 1);
        }
    }
    return {};
}

class PrimitivesTest : public ::testing::Test {
protected:
    BenchSystem sys;
};

TEST_F(PrimitivesTest, UnprotectCommandsBeforeTheIspEntryWhenBit7IsSet) {
    sys.WriteIniWithLog("[FlashInfo]\np=" + TestFlashRow(64, "50 00 00 02 00 83 06 98 99 00") + "\n");
    sys.Bench(TestFlashPart("W25", "  ewsr 50\n  unprotect 06 98 99 before-isp\n  erase-time 500\n") +
              "hub S\n  store spi W25\n  fill 00\n  function\nend\n");
    CHubIsp isp;
    ProgressByte progress{0};
    ASSERT_EQ(isp.EraseFlash(0, &progress), 1) << isp.m_lasterror;
    EXPECT_EQ(isp.m_lasterror, "XROM data is been erased!");
    EXPECT_EQ(progress.load(), 15);
    std::vector<std::string> expected = {"81:0001", "82:9F01", "83:0606", "83:9806", "83:9906",
                                         "81:0001", "81:5001", "83:C701"};
    EXPECT_EQ(Before(Trail(sys.pc()), "83:C701", expected.size()), expected);
    // Four 200 ms steps, the part's erase delay (2 x 100 ms), then the
    // read-back's identification and its wait before reading.
    auto waits = sys.clock.Waits();
    ASSERT_GE(waits.size(), 8u);
    std::vector<uint32_t> tail(waits.end() - 8, waits.end());
    EXPECT_EQ(tail, (std::vector<uint32_t>{200, 200, 200, 200, 200, 200, 100, 1000}));
    EXPECT_TRUE(sys.debug.Contains("delay 200 ms after erase flash.\n\r\n"));
    for (uint8_t b : sys.Store("S")) ASSERT_EQ(b, 0xFF);
}

TEST_F(PrimitivesTest, UnprotectCommandsBetweenTwoIspEntriesWhenBit7IsClear) {
    sys.WriteIniWithLog("[FlashInfo]\np=" + TestFlashRow(64, "50 00 00 00 00 03 06 98 99 00") + "\n");
    sys.Bench(TestFlashPart("W25", "  ewsr 50\n  unprotect 06 98 99 after-isp\n") +
              "hub S\n  store spi W25\n  fill 00\n  function\nend\n");
    CHubIsp isp;
    ASSERT_EQ(isp.EraseFlash(0, nullptr), 1) << isp.m_lasterror;
    std::vector<std::string> expected = {"81:0001", "82:9F01", "81:0001", "83:0606", "83:9806",
                                         "83:9906", "81:0001", "81:5001", "83:C701"};
    EXPECT_EQ(Before(Trail(sys.pc()), "83:C701", expected.size()), expected);
}

TEST_F(PrimitivesTest, AtMostFourUnprotectCommandsAndNoEwsrWhenColumn8IsZero) {
    sys.WriteIniWithLog("[FlashInfo]\np=" + TestFlashRow(64, "00 00 00 00 00 0F 06 98 99 9A") + "\n");
    sys.Bench(TestFlashPart("W25", "  unprotect 06 98 99 9A after-isp\n") +
              "hub S\n  store spi W25\n  function\nend\n");
    CHubIsp isp;
    ASSERT_EQ(isp.EraseFlash(0, nullptr), 1) << isp.m_lasterror;
    std::vector<std::string> expected = {"81:0001", "83:0606", "83:9806", "83:9906", "83:9A06", "81:0001", "83:C701"};
    EXPECT_EQ(Before(Trail(sys.pc()), "83:C701", expected.size()), expected);
    EXPECT_TRUE(sys.debug.Contains("EWSR = 0\r\n"));
}

TEST_F(PrimitivesTest, AnEraseThePartIgnoresIsFoundByTheBlankCheck) {
    // The row forgets the part's un-protect commands: the erase is ignored.
    sys.WriteIniWithLog("[FlashInfo]\np=" + TestFlashRow() + "\n");
    sys.Bench(TestFlashPart("W25", "  unprotect 06 98 anywhere\n") +
              "hub S\n  store spi W25\n  fill 12\n  function\nend\n");
    CHubIsp isp;
    EXPECT_EQ(isp.EraseFlash(0, nullptr), 0);
    EXPECT_EQ(isp.m_lasterror, "XROM data is not been erased!");
}

TEST_F(PrimitivesTest, EraseFlashRefusesEepromHubs) {
    sys.WriteIniWithLog("");
    sys.Bench("hub E\n  store eeprom 256\n  put 0x1C text \"EROM\"\n  function\nend\n");
    CHubIsp isp;
    EXPECT_EQ(isp.EraseFlash(0, nullptr), 0);
    EXPECT_EQ(isp.m_lasterror, "Undetermined FLASH type!");
    for (const std::string& r : Trail(sys.pc())) EXPECT_NE(r.substr(0, 2), "83");
}

TEST_F(PrimitivesTest, EraseEepromFillsEveryBlock) {
    sys.WriteIniWithLog("");
    sys.Bench("hub E\n  store eeprom 0x8000\n  fill 00\n  put 0xFC text \"XROM\"\n  function\nend\n");
    CHubIsp isp;
    ASSERT_EQ(isp.EraseEeprom(0), 1) << isp.m_lasterror;
    std::vector<bench::LogEntry> writes;
    // Each write finds the EEPROM still in the cycle of the one before and
    // succeeds when it is tried again.
    for (const bench::LogEntry& e : sys.pc().Requests())
        if (e.setup.bRequest == 0x83 && e.ok) writes.push_back(e);
    ASSERT_EQ(writes.size(), 2560u);
    EXPECT_EQ(writes.front().setup.wIndex, 0);
    EXPECT_EQ(writes.back().setup.wIndex, 0x4FF8);
    EXPECT_EQ(writes.back().setup.wValue, 0x0100);
    const std::vector<uint8_t>& store = sys.Store("E");
    for (int i = 0; i < 0x5000; ++i) ASSERT_EQ(store[static_cast<size_t>(i)], 0xFF) << i;
    EXPECT_EQ(store[0x5000], 0x00);
}

TEST_F(PrimitivesTest, ReadDataBlocksAndAddresses) {
    sys.WriteIniWithLog("[FlashInfo]\np=" + TestFlashRow() + "\n");
    sys.Bench(TestFlashPart() + "hub S\n  store spi W25\n  put 0x100 text \"config\"\n  function\nend\n" +
              "hub L\n  store eeprom 256\n  put 0x1C text \"EROM\"\n  function\nend\n");
    CHubIsp isp;
    std::vector<uint8_t> buf(512);
    sys.pc().ClearLog();
    ASSERT_EQ(isp.ReadData(buf.data(), 512, 1, 0), 1);
    EXPECT_EQ(std::string(buf.begin(), buf.begin() + 6), "config");
    std::vector<uint16_t> addresses;
    for (const bench::LogEntry& e : sys.pc().Requests())
        if (e.setup.bRequest == 0x82 && e.setup.wValue == 0 && e.setup.wIndex >= 0x100) addresses.push_back(e.setup.wIndex);
    std::vector<uint16_t> tail(addresses.end() - 8, addresses.end());
    EXPECT_EQ(tail, (std::vector<uint16_t>{0x100, 0x140, 0x180, 0x1C0, 0x200, 0x240, 0x280, 0x2C0}));

    sys.pc().ClearLog();
    ASSERT_EQ(isp.ReadData(buf.data(), 256, 1, 1), 1);
    int reads = 0;
    for (const bench::LogEntry& e : sys.pc().Requests())
        if (e.setup.wValue == 0x0200 && e.setup.wLength == 8) ++reads;
    EXPECT_GE(reads, 32);
    EXPECT_EQ(std::string(buf.begin() + 0x1C, buf.begin() + 0x20), "EROM");

    // 300 bytes are 5 blocks of 64, of which 44 bytes of the last are taken.
    std::vector<uint8_t> part(300, 0xAA);
    part.resize(310, 0xAA);
    ASSERT_EQ(isp.ReadData(part.data(), 300, 0, 0), 1);
    EXPECT_EQ(part[300], 0xAA);

    sys.pc().ClearLog();
    EXPECT_EQ(isp.ReadData(buf.data(), 100, 0, 0), 0);
    EXPECT_EQ(isp.m_lasterror, "Wrong data size! 100");
    EXPECT_TRUE(sys.pc().Log().empty());
    EXPECT_EQ(isp.ReadData(nullptr, 256, 0, 0), 0);
    EXPECT_EQ(isp.m_lasterror, "Null data buffer!");
}

TEST_F(PrimitivesTest, SoftwareResetLeavesIspMode) {
    sys.Bench("hub E\n  store eeprom 256\n  isp yes\n  function\nend\n");
    CHubIsp isp;
    ASSERT_EQ(isp.SoftwareReset(0), 1);
    EXPECT_FALSE(sys.Device("E").Hub()->InIsp());
    EXPECT_EQ(sys.Device("E").Hub()->Resets(), 1);
    sys.clock.Advance(1000);  // the hub is back on the bus
    EXPECT_EQ(isp.SoftwareReset(3), 0);
    EXPECT_EQ(isp.m_lasterror, "Hub index ERROR!\n");
}

}  // namespace
