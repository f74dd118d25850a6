// The driver session and hub enumeration, on the bench.
#include <gtest/gtest.h>

#include "hub/CHubIsp.h"
#include "support/bench_system.h"

using tessaro::test::BenchSystem;

namespace {

std::string Hub(const std::string& name, const std::string& functions) {
    return "hub " + name + "\n  store eeprom 256\n" + functions + "end\n";
}

std::vector<HubRecord> Listed(CHubIsp& isp) {
    std::vector<HubRecord> out;
    unsigned n = 0;
    if (!isp.GetHubNumber(&n)) return out;
    for (unsigned i = 0; i < n; ++i) {
        HubRecord r{};
        EXPECT_TRUE(isp.GetHubInfo(&r, i));
        out.push_back(r);
    }
    return out;
}

class EnumerationTest : public ::testing::Test {
protected:
    BenchSystem sys;
};

TEST_F(EnumerationTest, MissingDriverIsReportedAsNotFound) {
    sys.WriteIniWithLog("");
    sys.Bench("driver missing\n");
    CHubIsp isp;
    EXPECT_EQ(isp.OpenDevice(), 0);
    EXPECT_EQ(isp.m_lasterror, "Device or driver is not found!");
    EXPECT_TRUE(sys.debug.Contains("CreateFile ERROR, 2\r\n"));
    EXPECT_TRUE(sys.debug.Contains("OpenDevice ERROR!\n\r\n"));
    unsigned n = 99;
    EXPECT_EQ(isp.GetHubNumber(&n), 0);
}

TEST_F(EnumerationTest, NoDeviceOrOnlyForeignDevicesFindNothing) {
    sys.Bench("");
    CHubIsp isp;
    EXPECT_EQ(isp.OpenDevice(), 0);
    EXPECT_EQ(isp.m_lasterror, "Device or driver is not found!");

    sys.Bench("device Mouse\n  function type 0 vid 0x046D pid 0xC077\nend\n");
    isp.m_lasterror.clear();
    EXPECT_EQ(isp.OpenDevice(), 0);
    EXPECT_EQ(isp.m_lasterror, "Device or driver is not found!");
    // A failed enumeration leaves a table of no hubs behind.
    unsigned n = 99;
    ASSERT_EQ(isp.GetHubNumber(&n), 1);
    EXPECT_EQ(n, 0u);
}

TEST_F(EnumerationTest, ControlCodeFailuresKeepTheSystemCode) {
    const std::string hub = Hub("A", "  function vid 0x2C7E pid 0x0B40 bcd-usb 0x0210\n");
    sys.WriteIniWithLog("");
    struct Case {
        const char* fault;
        const char* error;
        const char* log;
    } cases[] = {
        {"fault ioctl GET_DEVICE_NUM error 1167\n", "Send VX_IOCTL_GET_DEVICE_NUM ERROR!",
         "Send VX_IOCTL_GET_DEVICE_NUM ERROR!, 1167\n\r\n"},
        {"fault ioctl ENUM_DEVICES error 31\n", "Send VX_IOCTL_ENUM_DEVICES ERROR!",
         "fail to Send VX_IOCTL_ENUM_DEVICES, 31\n\r\n"},
        {"fault ioctl GET_CONTAINER_ID error 87\n", "VX_IOCTL_GET_CONTAINER_ID ERROR! 87",
         "VX_IOCTL_GET_CONTAINER_ID ERROR! 87\r\n"},
    };
    for (const Case& c : cases) {
        sys.Bench(hub + c.fault);
        sys.debug.Clear();
        CHubIsp isp;
        EXPECT_EQ(isp.OpenDevice(), 0) << c.fault;
        EXPECT_EQ(isp.m_lasterror, c.error);
        EXPECT_TRUE(sys.debug.Contains(c.log)) << c.fault << sys.debug.All();
    }
}

TEST_F(EnumerationTest, MaskRomHubIsPatchedAndForeignDevicesSkipped) {
    sys.WriteIniWithLog("");
    sys.Bench("device Mouse\n  function type 0 vid 0x046D pid 0xC077 bcd-device 0x7200\nend\n" +
              Hub("Blank", "  bcd-device 0x0301\n  function type 0 vid 0x2C7E pid 0x0B40 bcd-usb 0x0210\n"));
    CHubIsp isp;
    ASSERT_EQ(isp.OpenDevice(), 1);
    std::vector<HubRecord> hubs = Listed(isp);
    ASSERT_EQ(hubs.size(), 1u);
    EXPECT_EQ(+hubs[0].devType, 1);
    EXPECT_EQ(+hubs[0].bcdDevice, 0x0301);
    EXPECT_TRUE(sys.debug.Contains("#HUB 1 is VX7100 Mask, we need to patch this one.\r\n"));
    EXPECT_TRUE(sys.debug.Contains("Skip HUB 0, VID_046D&PID_C077, bcdDevice 7200\r\n"));
}

TEST_F(EnumerationTest, HighSpeedHubFunctionsNeedSupportUUHub) {
    std::string bench = Hub("A", "  function type 2 vid 0x2C7E pid 0x0B40 bcd-usb 0x0210\n") +
                        Hub("B", "  function type 1 vid 0x2C7E pid 0x0B41 bcd-usb 0x0210\n");
    sys.WriteIniWithLog("SupportUUHub=yes\n");
    sys.Bench(bench);
    {
        CHubIsp isp;
        ASSERT_EQ(isp.OpenDevice(), 1);
        std::vector<HubRecord> hubs = Listed(isp);
        ASSERT_EQ(hubs.size(), 1u);
        EXPECT_EQ(+hubs[0].idProduct, 0x0B41);
        EXPECT_TRUE(sys.debug.Contains("Skip VX HS HUB 0, VID_2C7E&PID_0B40, bcdDevice 0100\r\n"));
    }
    sys.WriteIniWithLog("SupportUUHub=1\n");
    CHubIsp isp;
    ASSERT_EQ(isp.OpenDevice(), 1);
    EXPECT_EQ(Listed(isp).size(), 2u);
}

TEST_F(EnumerationTest, WithoutPairingOnlyHighSpeedFunctionsAreListed) {
    sys.Bench(Hub("A",
                  "  function vid 0x2C7E pid 0x0B42 bcd-usb 0x0300 container {a}\n"
                  "  function vid 0x2C7E pid 0x0B40 bcd-usb 0x0210 container {a}\n") +
              Hub("B", "  function vid 0x2C7E pid 0x0B43 bcd-usb 0x0320\n"));
    CHubIsp isp;
    ASSERT_EQ(isp.OpenDevice(), 1);
    std::vector<HubRecord> hubs = Listed(isp);
    ASSERT_EQ(hubs.size(), 1u);
    EXPECT_EQ(+hubs[0].idProduct, 0x0B40);
}

TEST_F(EnumerationTest, PairingKeepsTheSuperSpeedRecordOfEachHub) {
    sys.WriteIniWithLog("UUUIsp=YES\n");
    // B reports its high-speed function first; the SuperSpeed record wins all the same.
    sys.Bench(Hub("A",
                  "  function vid 0x2C7E pid 0x0B42 bcd-usb 0x0300 container {a}\n"
                  "  function vid 0x2C7E pid 0x0B40 bcd-usb 0x0210 container {a}\n") +
              Hub("B",
                  "  function vid 0x2C7E pid 0x0B46 bcd-usb 0x0210 container {b}\n"
                  "  function vid 0x2C7E pid 0x0B47 bcd-usb 0x0310 container {b}\n"));
    CHubIsp isp;
    ASSERT_EQ(isp.OpenDevice(), 1);
    std::vector<HubRecord> hubs = Listed(isp);
    ASSERT_EQ(hubs.size(), 2u);
    EXPECT_EQ(+hubs[0].idProduct, 0x0B42);
    EXPECT_EQ(+hubs[1].idProduct, 0x0B47);
    EXPECT_TRUE(sys.debug.Contains("Found 3.0 hub, id = {a}\r\n"));
}

TEST_F(EnumerationTest, AHubWithoutContainerIdStopsThePartnerSearch) {
    sys.WriteIniWithLog("UUUIsp=1\n");
    sys.Bench(Hub("A", "  function vid 0x2C7E pid 0x0B42 bcd-usb 0x0300 container {a}\n") +
              Hub("Lone", "  function vid 0x2C7E pid 0x0B45 bcd-usb 0x0210 handle 77\n") +
              Hub("A2", "  function vid 0x2C7E pid 0x0B40 bcd-usb 0x0210 container {a}\n"));
    CHubIsp isp;
    ASSERT_EQ(isp.OpenDevice(), 1);
    std::vector<HubRecord> hubs = Listed(isp);
    ASSERT_EQ(hubs.size(), 3u);
    EXPECT_EQ(+hubs[0].idProduct, 0x0B42);
    EXPECT_EQ(+hubs[1].idProduct, 0x0B45);
    EXPECT_EQ(+hubs[2].idProduct, 0x0B40);
    EXPECT_TRUE(sys.debug.Contains("Found 2.0 hub without container ID.\r\n"));
    EXPECT_TRUE(sys.debug.Contains("Found 2.0 hub, SerialNo = "));
}

TEST_F(EnumerationTest, HubsWithoutContainerIdsAreNeverMergedIntoOne) {
    sys.WriteIniWithLog("UUUIsp=1\n");
    sys.Bench(Hub("A", "  function vid 0x2C7E pid 0x0B42 bcd-usb 0x0300\n") +
              Hub("B", "  function vid 0x2C7E pid 0x0B43 bcd-usb 0x0300\n"));
    CHubIsp isp;
    ASSERT_EQ(isp.OpenDevice(), 1);
    EXPECT_EQ(Listed(isp).size(), 2u);
}

TEST_F(EnumerationTest, AtMost32HubFunctionsAreHeld) {
    std::string bench;
    for (int i = 0; i < 34; ++i)
        bench += Hub("H" + std::to_string(i), "  function vid 0x2C7E pid 0x0B40 bcd-usb 0x0210\n");
    sys.Bench(bench);
    CHubIsp isp;
    ASSERT_EQ(isp.OpenDevice(), 1);
    unsigned n = 0;
    ASSERT_EQ(isp.GetHubNumber(&n), 1);
    EXPECT_EQ(n, 32u);
}

TEST_F(EnumerationTest, HubIndexIsCheckedAgainstTheTable) {
    sys.Bench(Hub("A", "  function vid 0x2C7E pid 0x0B40 bcd-usb 0x0210\n"));
    CHubIsp isp;
    EXPECT_EQ(isp.SetHubIndex(0), 0);
    EXPECT_EQ(isp.m_lasterror, "Device or driver is not found!");
    ASSERT_EQ(isp.OpenDevice(), 1);
    EXPECT_EQ(isp.SetHubIndex(0), 1);
    EXPECT_EQ(isp.SetHubIndex(1), 0);
    EXPECT_EQ(isp.m_lasterror, "Invalid hub index! idx 1 num 1");
    EXPECT_EQ(isp.SetHubIndex(-1), 0);
    HubRecord r{};
    EXPECT_EQ(isp.GetHubInfo(&r, static_cast<unsigned>(-1)), 0);
    EXPECT_EQ(isp.GetHubInfo(nullptr, 0), 0);
    // Boxes with the caption "ISP ERROR" appear only while m_quiet is 0.
    size_t boxes = sys.box.Boxes().size();
    EXPECT_EQ(boxes, 3u);
    EXPECT_EQ(sys.box.Boxes()[1].text, "Invalid hub index! idx 1 num 1");
    EXPECT_EQ(sys.box.Boxes()[1].caption, "ISP ERROR");
    isp.m_quiet = 1;
    EXPECT_EQ(isp.SetHubIndex(5), 0);
    EXPECT_EQ(sys.box.Boxes().size(), boxes);
    isp.CloseDevice();
    isp.CloseDevice();
    unsigned n = 0;
    EXPECT_EQ(isp.GetHubNumber(&n), 0);
}

TEST_F(EnumerationTest, ConstructionReadsItsThreeKeys) {
    {
        CHubIsp isp;
        EXPECT_EQ(isp.m_lasterror, "Ini file doesn't exist, using default setting");
        EXPECT_EQ(isp.IspEntrySelector(), 2);
        EXPECT_EQ(isp.PairingMode(), 0);
    }
    sys.WriteIni("[VX7100]\nUUUIsp=Yes\nSupportUUHub=yes\nEnterIsp=\n");
    {
        CHubIsp isp;
        EXPECT_EQ(isp.PairingMode(), 1);
        EXPECT_EQ(isp.SupportsHighSpeedHub(), 0);
        EXPECT_EQ(isp.IspEntrySelector(), 2);
    }
    sys.WriteIni("[VX7100]\nEnterIsp=abc\nSupportUUHub=1\n");
    CHubIsp isp;
    EXPECT_EQ(isp.IspEntrySelector(), 0);
    EXPECT_EQ(isp.SupportsHighSpeedHub(), 1);
    EXPECT_EQ(isp.m_lasterror, "");
}

}  // namespace
