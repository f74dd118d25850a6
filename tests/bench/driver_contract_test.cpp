// The filter driver's control codes, byte for byte, and the ways it fails.
#include <gtest/gtest.h>

#include "bench/pc.h"
#include "platform/winconst.h"
#include "tests/bench/bench_client.h"

using namespace benchtest;

namespace {

const char* kTwoFunctionHub = R"(
flash P
  id 9F 1 EF 30 13
end
hub Big
  store spi P
  bcd-device 0x9223
  function type 1 vid 0x2C7E pid 0x0B41 bcd-usb 0x0300 container {11111111-2222-3333-4444-555555555555} handle 7 instance 6&abc&0&1
  function type 2 vid 0x2C7E pid 0x0B40 bcd-usb 0x0210 reserved 0x5A container {11111111-2222-3333-4444-555555555555} handle 9
end
device Mouse
  function type 0 vid 0x046D pid 0xC077 bcd-device 0x7200 bcd-usb 0x0200
end
hub Mask
  store eeprom 256
  function type 0 vid 0x2C7E pid 0x0B40 bcd-device 0x0301 bcd-usb 0x0200
end
)";

TEST(DriverContract, DeviceCountAndRecordsLaidOutAsTheDriverDoes) {
    auto pc = Bench(std::string("driver installed serial 0x01020304\n") + kTwoFunctionHub);
    Client c(*pc);
    ASSERT_NE(c.File(), tessaro::kInvalidHandle);

    std::vector<uint8_t> num(23, 0xEE);
    uint32_t returned = 0;
    ASSERT_TRUE(c.Control(kGetDeviceNum, num, &returned));
    EXPECT_EQ(Le32(num.data()), 0x01020304u);
    EXPECT_EQ(Le32(num.data() + 4), 4u);
    EXPECT_EQ(num[8], 0xEE) << "only SerialNo and DevNum are written";

    std::vector<uint8_t> all(8 + 15 * 4, 0);
    ASSERT_TRUE(c.Control(kEnumDevices, all, &returned));
    EXPECT_EQ(returned, 68u);
    EXPECT_EQ(Le32(all.data()), 0x01020304u);
    EXPECT_EQ(Le32(all.data() + 4), 4u);
    const uint8_t superSpeed[15] = {7, 0, 0, 0, 1, 0, 0x7E, 0x2C, 0x41, 0x0B, 0x23, 0x92, 0x00, 0x03, 0};
    const uint8_t highSpeed[15] = {9, 0, 0, 0, 2, 0, 0x7E, 0x2C, 0x40, 0x0B, 0x23, 0x92, 0x10, 0x02, 0x5A};
    EXPECT_EQ(0, std::memcmp(all.data() + 8, superSpeed, 15));
    EXPECT_EQ(0, std::memcmp(all.data() + 23, highSpeed, 15));
    // The mouse and the hub in mask ROM: device type 0, their own IDs.
    EXPECT_EQ(Le16(all.data() + 38 + 4), 0);
    EXPECT_EQ(Le16(all.data() + 38 + 8), 0xC077);
    EXPECT_EQ(Le16(all.data() + 53 + 4), 0);
    EXPECT_EQ(Le16(all.data() + 53 + 6), 0x2C7E);
    EXPECT_EQ(Le16(all.data() + 53 + 8), 0x0B40);
    EXPECT_EQ(Le16(all.data() + 53 + 10), 0x0301);
}

TEST(DriverContract, TooSmallBuffersAreRefused) {
    auto pc = Bench(kTwoFunctionHub);
    Client c(*pc);
    std::vector<uint8_t> small(22, 0);
    EXPECT_FALSE(c.Control(kGetDeviceNum, small));
    EXPECT_EQ(c.Error(), tessaro::win::kErrInsufficientBuffer);
    std::vector<uint8_t> room(8 + 15 * 3, 0);  // one record short
    EXPECT_FALSE(c.Control(kEnumDevices, room));
    EXPECT_EQ(c.Error(), tessaro::win::kErrInsufficientBuffer);
    EXPECT_EQ(tessaro::LastError(), tessaro::win::kErrInsufficientBuffer);
}

TEST(DriverContract, OpenFailsLikeAMissingFile) {
    auto missing = Bench("driver missing\n");
    tessaro::IDriver* d = missing->Ports().driver;
    EXPECT_EQ(d->Open("\\\\.\\vxusbflt"), tessaro::kInvalidHandle);
    EXPECT_EQ(missing->Log().back().error, tessaro::win::kErrFileNotFound);

    auto pc = Bench("");
    d = pc->Ports().driver;
    EXPECT_EQ(d->Open("\\\\.\\otherdev"), tessaro::kInvalidHandle);
    const tessaro::Handle h = d->Open("\\\\.\\VXUSBFLT");
    EXPECT_NE(h, tessaro::kInvalidHandle) << "device names are not case-sensitive";
    d->Close(h);
    std::vector<uint8_t> num(23, 0);
    uint32_t r = 0;
    EXPECT_FALSE(d->IoControl(h, kGetDeviceNum, nullptr, 0, num.data(), 23, &r));
    EXPECT_EQ(pc->Log().back().error, tessaro::win::kErrInvalidHandle);
}

TEST(DriverContract, UnknownControlCodeIsAnInvalidFunction) {
    auto pc = Bench(kTwoFunctionHub);
    Client c(*pc);
    std::vector<uint8_t> buffer(64, 0);
    EXPECT_FALSE(c.Control(0x00222010, buffer));
    EXPECT_EQ(c.Error(), tessaro::win::kErrInvalidFunction);
}

TEST(DriverContract, IdentityRecordsCarryTheTextsInPlace) {
    auto pc = Bench(kTwoFunctionHub);
    Client c(*pc);
    std::vector<uint8_t> rec(524, 0);
    rec[4] = 7;
    rec[8] = 0x00;
    rec[9] = 0x02;  // 512
    uint32_t returned = 0;
    ASSERT_TRUE(c.Control(kGetInstanceId, rec, &returned));
    EXPECT_EQ(returned, 524u);
    EXPECT_EQ(Le32(rec.data()), 0u);
    EXPECT_EQ(Le32(rec.data() + 4), 7u);
    EXPECT_EQ(Le32(rec.data() + 8), 512u);
    EXPECT_STREQ(reinterpret_cast<const char*>(rec.data() + 12), "6&abc&0&1");

    std::vector<uint8_t> container(52, 0xCC);
    std::memset(container.data(), 0, 12);
    container[4] = 9;
    container[8] = 40;
    ASSERT_TRUE(c.Control(kGetContainerId, container, &returned));
    EXPECT_EQ(returned, 52u);
    EXPECT_STREQ(reinterpret_cast<const char*>(container.data() + 12), "{11111111-2222-3333-4444-555555555555}");
    EXPECT_EQ(container[51], 0) << "the rest of the field is cleared";

    // A function without container ID answers an empty text.
    const uint32_t mouse = c.HandleOf(2);
    std::vector<uint8_t> none(52, 0xCC);
    std::memset(none.data(), 0, 12);
    none[4] = static_cast<uint8_t>(mouse);
    none[8] = 40;
    ASSERT_TRUE(c.Control(kGetContainerId, none));
    EXPECT_EQ(none[12], 0);
}

TEST(DriverContract, BadIdentityRecordsAreRefused) {
    auto pc = Bench(kTwoFunctionHub);
    Client c(*pc);
    std::vector<uint8_t> rec(52, 0);
    rec[4] = 99;  // no such device
    rec[8] = 40;
    EXPECT_FALSE(c.Control(kGetContainerId, rec));
    EXPECT_EQ(c.Error(), tessaro::win::kErrInvalidParameter);

    rec[4] = 7;
    rec[8] = 60;  // claims more room than the buffer has
    EXPECT_FALSE(c.Control(kGetContainerId, rec));
    EXPECT_EQ(c.Error(), tessaro::win::kErrInvalidParameter);

    rec[8] = 20;  // the container ID does not fit
    EXPECT_FALSE(c.Control(kGetContainerId, rec));
    EXPECT_EQ(c.Error(), tessaro::win::kErrInsufficientBuffer);
}

TEST(DriverContract, RequestRecordIsAnsweredInPlace) {
    auto pc = Bench(kTwoFunctionHub);
    Client c(*pc);
    std::vector<uint8_t> rec(80, 0xAB);  // callers often pass a larger record
    std::memset(rec.data(), 0, 16);
    rec[4] = 7;
    rec[8] = 0xC0;
    rec[9] = 0x82;
    rec[10] = 0x04;
    rec[14] = 1;
    uint32_t returned = 0;
    ASSERT_TRUE(c.Control(kUsbRequest, rec, &returned));
    EXPECT_EQ(returned, 17u);
    EXPECT_EQ(rec[16], 0x00) << "SPI store";
    EXPECT_EQ(rec[8], 0xC0) << "the header comes back unchanged";
    EXPECT_EQ(rec[17], 0xAB) << "nothing beyond wLength is touched";

    std::vector<uint8_t> tooShort(16 + 3, 0);
    tooShort[4] = 7;
    tooShort[8] = 0xC0;
    tooShort[9] = 0x82;
    tooShort[14] = 4;  // wLength 4 in a record with room for 3
    EXPECT_FALSE(c.Control(kUsbRequest, tooShort));
    EXPECT_EQ(c.Error(), tessaro::win::kErrInsufficientBuffer);

    std::vector<uint8_t> header(12, 0);
    EXPECT_FALSE(c.Control(kUsbRequest, header));
    EXPECT_EQ(c.Error(), tessaro::win::kErrInvalidParameter);
}

TEST(DriverContract, BothFunctionsOfAHubReachOneController) {
    auto pc = Bench(kTwoFunctionHub);
    Client c(*pc);
    ASSERT_TRUE(c.Command(7, 0x81, 0x0001));
    EXPECT_TRUE(pc->FindDevice("Big")->Hub()->InIsp());
    ASSERT_TRUE(c.Command(9, 0x81, 0x0003)) << "reset through the high-speed function";
    EXPECT_FALSE(pc->FindDevice("Big")->Hub()->InIsp());
    EXPECT_EQ(pc->FindDevice("Big")->Hub()->Resets(), 1);
    EXPECT_EQ(pc->FindDevice("Big")->Requests(), 2u);
}

TEST(DriverContract, DevicesOutsideTheFamilyStallEveryVendorRequest) {
    auto pc = Bench(kTwoFunctionHub);
    Client c(*pc);
    bool ok = true;
    c.Read(c.HandleOf(2), 0x0004, 0, 1, &ok);
    EXPECT_FALSE(ok);
    EXPECT_EQ(c.Error(), tessaro::win::kErrGenFailure);
    // The hub in mask ROM is listed with type 0 but has its controller.
    const auto type = c.Read(c.HandleOf(3), 0x0004, 0, 1, &ok);
    ASSERT_TRUE(ok);
    EXPECT_EQ(type[0], 1) << "EEPROM store";
}

TEST(DriverContract, UnpluggedDeviceLeavesTheListAndItsHandleFails) {
    auto pc = Bench(kTwoFunctionHub);
    Client c(*pc);
    const uint32_t serial = pc->SerialNo();
    pc->Unplug("Big");
    auto records = c.Records();
    ASSERT_EQ(records.size(), 2u);
    EXPECT_EQ(Le16(records[0].data() + 8), 0xC077);
    EXPECT_NE(pc->SerialNo(), serial) << "a change of devices shows in SerialNo";
    EXPECT_FALSE(c.Command(7, 0x81, 0x0001));
    EXPECT_EQ(c.Error(), tessaro::win::kErrDeviceNotConnected);
    std::vector<uint8_t> rec(52, 0);
    rec[4] = 7;
    rec[8] = 40;
    EXPECT_FALSE(c.Control(kGetContainerId, rec));
    EXPECT_EQ(c.Error(), tessaro::win::kErrDeviceNotConnected);
    pc->Plug("Big");
    EXPECT_EQ(c.Records().size(), 4u);
    EXPECT_TRUE(c.Command(7, 0x81, 0x0001));
}

TEST(DriverContract, AbsentAndDisabledFunctionsAreNotListed) {
    auto pc = Bench(R"(
device A
  function vid 0x1111 absent
  function vid 0x2222 disabled
  function vid 0x3333
end
)");
    Client c(*pc);
    auto records = c.Records();
    ASSERT_EQ(records.size(), 1u);
    EXPECT_EQ(Le16(records[0].data() + 6), 0x3333);
}

TEST(DriverContract, ResetCanBringUpAnotherBcdDevice) {
    auto pc = Bench(R"(
hub H
  store eeprom 256
  bcd-device 0x0400
  after-reset bcd-device 0x1234
  function
end
)");
    Client c(*pc);
    EXPECT_EQ(Le16(c.Records()[0].data() + 10), 0x0400);
    ASSERT_TRUE(c.Command(c.HandleOf(0), 0x81, 0x0003));
    pc->Virtual()->Advance(1000);  // off the bus while it restarts
    EXPECT_EQ(Le16(c.Records()[0].data() + 10), 0x1234);
}

}  // namespace
