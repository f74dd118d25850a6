// The vendor request transport: the trace, the hub index checks and the wait
// after writes.
#include <gtest/gtest.h>

#include "hub/CHubIsp.h"
#include "support/bench_system.h"

using tessaro::test::BenchSystem;

namespace {

const char kTwoHubs[] =
    "hub A\n  store eeprom 256\n  put 0 hex 01 02 03 04 05 06 07 08 09\n  isp yes\n"
    "  function vid 0x2C7E pid 0x0B40 bcd-usb 0x0210 handle 7\nend\n"
    "hub B\n  store eeprom 256\n  function vid 0x2C7E pid 0x0B41 bcd-usb 0x0210\nend\n";

class TransportTest : public ::testing::Test {
protected:
    BenchSystem sys;
};

TEST_F(TransportTest, ANineByteReadLeavesTheEightLineTrace) {
    sys.WriteIniWithLog("");
    sys.Bench(kTwoHubs);
    CHubIsp isp;
    ASSERT_EQ(isp.OpenDevice(), 1);
    ASSERT_EQ(isp.SetHubIndex(0), 1);
    RequestRecord rec(16 + 9);
    rec.Set(0xC0, 0x82, 0x0200, 0, 9);
    sys.debug.Clear();
    ASSERT_EQ(isp.SendUsbRequest(rec), 1);
    EXPECT_EQ(sys.debug.All(),
              "Found 2 Device(s)\r\n"
              "\t\t#handle   0007\r\n"
              "\t\t#SerialNo 0000\r\n"
              "\t\t#Type     00c0\r\n"
              "\t\t#Request  0082\r\n"
              "\t\t#Value    0200\r\n"
              "\t\t#Index    0000\r\n"
              "\t\t#Length   0009\r\n"
              "\t\t01 02 03 04 05 06 07 08 \n\t\t09 \n\r\n");
}

TEST_F(TransportTest, AFailedCallStillLeavesTheTraceWithTheDataAsSent) {
    sys.WriteIniWithLog("");
    sys.Bench(std::string(kTwoHubs) + "fault fail request 0x83 error 121\n");
    CHubIsp isp;
    ASSERT_EQ(isp.OpenDevice(), 1);
    ASSERT_EQ(isp.SetHubIndex(0), 1);
    RequestRecord rec(16 + 2);
    rec.Set(0x40, 0x83, 0x0200, 0, 2);
    rec.Data()[0] = 0xAB;
    rec.Data()[1] = 0xCD;
    sys.debug.Clear();
    EXPECT_EQ(isp.SendUsbRequest(rec), 0);
    EXPECT_EQ(isp.m_lasterror, "Send VX_IOCTL_USB_REQUEST ERROR! 121");
    EXPECT_TRUE(sys.debug.Contains("Send VX_IOCTL_USB_REQUEST ERROR! 121\r\n\t\t#handle   0007\r\n"));
    EXPECT_TRUE(sys.debug.Contains("\t\t#Length   0002\r\n\t\tab cd \n\r\n"));
    EXPECT_TRUE(sys.clock.Waits().empty());
}

TEST_F(TransportTest, HubIndexEightIsRefusedBeforeTheDriver) {
    sys.Bench(kTwoHubs);
    CHubIsp isp;
    ASSERT_EQ(isp.OpenDevice(), 1);
    ASSERT_EQ(isp.SetHubIndex(1), 1);
    RequestRecord rec(16);
    rec.Set(0x40, 0x81, 0x0003, 0, 0);
    // Selecting index 8 is only possible with more hubs than the per-hub
    // members hold; the transport refuses it whatever the table says.
    size_t before = sys.pc().Requests().size();
    HubRecord r{};
    EXPECT_EQ(isp.GetHubInfo(&r, 8), 0);
    EXPECT_EQ(isp.SetHubIndex(8), 0);
    EXPECT_EQ(isp.SendUsbRequest(rec), 1);  // hub 1 is still selected
    EXPECT_EQ(sys.pc().Requests().size(), before + 1);
}

TEST_F(TransportTest, AnIndexNoLongerInTheTableIsRefused) {
    sys.Bench(kTwoHubs);
    CHubIsp isp;
    ASSERT_EQ(isp.OpenDevice(), 1);
    ASSERT_EQ(isp.SetHubIndex(1), 1);
    sys.pc().Unplug("B");
    ASSERT_EQ(isp.EnumerateHubs(), 1);
    size_t before = sys.pc().Requests().size();
    RequestRecord rec(16);
    rec.Set(0x40, 0x81, 0x0003, 0, 0);
    EXPECT_EQ(isp.SendUsbRequest(rec), 0);
    EXPECT_EQ(isp.m_lasterror, "Invalid hub index! idx 1 num 1");
    EXPECT_EQ(sys.pc().Requests().size(), before);
}

TEST_F(TransportTest, WritesWaitTheWriteDelayOfTheIdentifiedPart) {
    using tessaro::test::TestFlashPart;
    using tessaro::test::TestFlashRow;
    sys.WriteIni("[FlashInfo]\nw25=" + TestFlashRow(64, "00 00 00 00 05 00 00 00 00 00") + "\n");
    sys.Bench(TestFlashPart() +
              "hub S\n  store spi W25\n  bcd-device 0x0400\n  function vid 0x2C7E pid 0x0B40\nend\n");
    CHubIsp isp;
    ASSERT_EQ(isp.GetChipType(0, 1), CHIP_ID_VX2240_SPI);
    EXPECT_EQ(isp.WriteDelay(), 5);
    ASSERT_EQ(isp.OpenDevice(), 1);
    ASSERT_EQ(isp.SetHubIndex(0), 1);
    sys.clock.ClearWaits();
    RequestRecord write(16);
    write.Set(0x40, 0x83, 0x9806, 0, 0);
    ASSERT_EQ(isp.SendUsbRequest(write), 1);
    EXPECT_EQ(sys.clock.Waits(), std::vector<uint32_t>{5});
    RequestRecord read(17);
    read.Set(0xC0, 0x82, 0x0000, 0, 1);
    ASSERT_EQ(isp.SendUsbRequest(read), 1);
    RequestRecord stall(16);
    stall.Set(0x40, 0x83, 0x0100, 0, 0);
    EXPECT_EQ(isp.SendUsbRequest(stall), 0);
    EXPECT_EQ(sys.clock.Waits(), std::vector<uint32_t>{5});
}

}  // namespace
