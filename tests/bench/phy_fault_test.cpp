// PHY registers, injected faults, latency and the request log.
#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <sstream>

#include "bench/pc.h"
#include "platform/winconst.h"
#include "tests/bench/bench_client.h"

using namespace benchtest;

namespace {

const char* kHubs = R"(
hub A
  store eeprom 256 write-time 0   # back-to-back writes: the fault tests count them
  isp yes
  phy-default 0x11
  phy 0x0201 0x0005 0x44
  phy 0x0201 0x0011 0x1A read-only
  phy 0x0101 0x01DD 0x07
  function handle 1
end
hub B
  store eeprom 256
  function handle 2
end
)";

std::vector<uint8_t> One(uint8_t v) { return std::vector<uint8_t>{v}; }

TEST(PhyRegisters, ReadWriteAndReadOnly) {
    auto pc = Bench(kHubs);
    Client c(*pc);
    std::vector<uint8_t> v(1, 0);
    ASSERT_TRUE(c.Request(1, 0xC0, 0x72, 0x0201, 0x0005, v));
    EXPECT_EQ(v[0], 0x44);
    ASSERT_TRUE(c.Request(1, 0xC3, 0x72, 0x0101, 0x01DD, v));
    EXPECT_EQ(v[0], 0x07);
    ASSERT_TRUE(c.Request(1, 0xC3, 0x72, 0x0101, 0x02DD, v));
    EXPECT_EQ(v[0], 0x11) << "registers not described read the default";

    auto w = One(0xD8);
    ASSERT_TRUE(c.Request(1, 0x40, 0x73, 0x0201, 0x0006, w));
    EXPECT_EQ(pc->FindDevice("A")->Hub()->Phy(0x0201, 0x0006), 0xD8);
    EXPECT_EQ(pc->FindDevice("A")->Hub()->Phy(0x0101, 0x0006), 0x11) << "the two spaces are separate";
    w = One(0x00);
    ASSERT_TRUE(c.Request(1, 0x43, 0x73, 0x0201, 0x0011, w));
    EXPECT_EQ(pc->FindDevice("A")->Hub()->Phy(0x0201, 0x0011), 0x1A);
}

TEST(PhyRegisters, MalformedAccessStalls) {
    auto pc = Bench(kHubs);
    Client c(*pc);
    std::vector<uint8_t> two(2, 0), one(1, 0);
    EXPECT_FALSE(c.Request(1, 0xC0, 0x72, 0x0201, 0x0005, two));
    EXPECT_FALSE(c.Request(1, 0xC0, 0x72, 0x0301, 0x0005, one));
    EXPECT_FALSE(c.Request(1, 0x40, 0x72, 0x0201, 0x0005, one)) << "read with a host-to-device type";
    EXPECT_FALSE(c.Request(1, 0xC1, 0x72, 0x0201, 0x0005, one));
    EXPECT_FALSE(c.Request(1, 0xC0, 0x7F, 0, 0, one)) << "unknown request";
    EXPECT_EQ(c.Error(), tessaro::win::kErrGenFailure);
}

TEST(Faults, NthRequestGloballyAndPerDevice) {
    auto pc = Bench(std::string(kHubs) + "fault fail nth 3 error 121\nfault fail device B nth 2\n");
    Client c(*pc);
    EXPECT_TRUE(c.Command(1, 0x81, 0x0001, 1));
    EXPECT_TRUE(c.Command(2, 0x81, 0x0001, 1));
    EXPECT_FALSE(c.Command(1, 0x81, 0x0001, 1));
    EXPECT_EQ(c.Error(), 121u);
    EXPECT_FALSE(c.Command(2, 0x81, 0x0001, 1));
    EXPECT_EQ(c.Error(), 31u);
    EXPECT_TRUE(c.Command(2, 0x81, 0x0001, 1));
    EXPECT_TRUE(c.Command(1, 0x81, 0x0001, 1));
}

TEST(Faults, MatchingRequestsFirstKOrEvery) {
    auto pc = Bench(std::string(kHubs) + "fault fail request 0x83 value 0x0200 index 0x08 first 2 error 5\n");
    Client c(*pc);
    EXPECT_FALSE(c.Write(1, 0x0200, 0x08, {1}));
    EXPECT_EQ(c.Error(), 5u);
    EXPECT_TRUE(c.Write(1, 0x0200, 0x10, {1})) << "other wIndex";
    EXPECT_FALSE(c.Write(1, 0x0200, 0x08, {1}));
    EXPECT_TRUE(c.Write(1, 0x0200, 0x08, {1}));
    EXPECT_EQ(pc->FindDevice("A")->Store()[8], 1);

    auto every = Bench(std::string(kHubs) + "fault fail request 0x81\n");
    Client e(*every);
    EXPECT_FALSE(e.Command(1, 0x81, 0x0001, 1));
    EXPECT_FALSE(e.Command(2, 0x81, 0x0003));
    EXPECT_FALSE(every->FindDevice("B")->Hub()->Resets());
}

TEST(Faults, AppliedFaultLetsTheDeviceActButReportsFailure) {
    auto pc = Bench(std::string(kHubs) + "fault fail value 0x0200 nth 1 applied\n");
    Client c(*pc);
    EXPECT_FALSE(c.Write(1, 0x0200, 0x00, {0x12}));
    EXPECT_EQ(pc->FindDevice("A")->Store()[0], 0x12);
}

TEST(Faults, UnplugAfterNRequestsTakesTheWholeDevice) {
    auto pc = Bench(R"(
hub U
  store eeprom 256
  function handle 1 bcd-usb 0x0300
  function handle 2
end
fault unplug U after 2
)");
    Client c(*pc);
    EXPECT_TRUE(c.Command(1, 0x81, 0x0001, 1));
    EXPECT_TRUE(c.Command(2, 0x81, 0x0001, 1));
    EXPECT_FALSE(c.Command(1, 0x81, 0x0001, 1));
    EXPECT_EQ(c.Error(), tessaro::win::kErrDeviceNotConnected);
    EXPECT_FALSE(c.Command(2, 0x81, 0x0003));
    EXPECT_EQ(c.Error(), tessaro::win::kErrDeviceNotConnected);
    EXPECT_TRUE(c.Records().empty());
}

TEST(Faults, FlipABitOfTheNthOrAMatchingRead) {
    auto pc = Bench(std::string(kHubs) + "fault flip nth 2 byte 1 bit 7\nfault flip value 0x0004 byte 0 bit 1\n");
    Client c(*pc);
    EXPECT_EQ(c.Read(1, 0x0200, 0, 2), (std::vector<uint8_t>{0xFF, 0xFF}));
    EXPECT_EQ(c.Read(1, 0x0200, 0, 2), (std::vector<uint8_t>{0xFF, 0x7F}));
    EXPECT_EQ(c.Read(1, 0x0200, 0, 2), (std::vector<uint8_t>{0xFF, 0xFF}));
    EXPECT_EQ(c.Read(1, 0x0004, 0, 1)[0], 3) << "EEPROM type 1 with bit 1 flipped";
    EXPECT_EQ(pc->FindDevice("A")->Store()[1], 0xFF) << "the store itself is intact";
}

TEST(Faults, ControlCodeOpenAndGuidFailures) {
    auto pc = Bench(std::string(kHubs) +
                    "fault ioctl GET_DEVICE_NUM nth 1 error 1167\nfault open nth 1 error 5\nfault guid first 1\n");
    tessaro::IDriver* d = pc->Ports().driver;
    EXPECT_EQ(d->Open("\\\\.\\vxusbflt"), tessaro::kInvalidHandle);
    EXPECT_EQ(pc->Log().back().error, 5u);
    Client c(*pc);
    std::vector<uint8_t> num(23, 0);
    EXPECT_FALSE(c.Control(kGetDeviceNum, num));
    EXPECT_EQ(c.Error(), 1167u);
    EXPECT_TRUE(c.Control(kGetDeviceNum, num));

    tessaro::Guid g{};
    EXPECT_FALSE(pc->Ports().guid->Create(&g));
    EXPECT_TRUE(pc->Ports().guid->Create(&g));
}

TEST(Latency, EachTransferSpendsVirtualTimeWithoutAWait) {
    // Bus time below a millisecond adds up on the millisecond clock: nothing
    // is lost and nothing is rounded up per request.
    struct Case {
        const char* latency;
        int requests;
        uint64_t ms;
    } cases[] = {
        {"3", 2, 6},  {"3ms", 2, 6}, {"3000us", 2, 6}, {"125us", 7, 0},
        {"125us", 8, 1}, {"125US", 17, 2}, {"600us", 3, 1}, {"0", 5, 0},
    };
    for (const Case& k : cases) {
        auto pc = Bench(std::string("latency ") + k.latency + "\n" + kHubs);
        Client c(*pc);
        const uint64_t start = pc->Clock().NowMs();
        for (int i = 0; i < k.requests; ++i) c.Read(1, 0x0200, 0, 8);
        EXPECT_EQ(pc->Clock().NowMs() - start, k.ms) << k.latency << " x" << k.requests;
        EXPECT_TRUE(pc->Virtual()->Waits().empty()) << "device time is no wait of the tool";
    }
    auto pc = Bench(std::string("latency 3\n") + kHubs);
    Client c(*pc);
    c.Command(1, 0x81, 0x0001, 1);
    c.Read(1, 0x0200, 0, 8);
    auto log = pc->Requests();
    ASSERT_EQ(log.size(), 2u);
    EXPECT_EQ(log[1].timeMs - log[0].timeMs, 3u);
}

TEST(RequestLog, RecordsEveryCallInMemoryAndInItsFile) {
    const std::string path = ::testing::TempDir() + "bench_requests.log";
    std::remove(path.c_str());
    {
        auto pc = Bench("log bench_requests.log\n" + std::string(kHubs), ::testing::TempDir());
        Client c(*pc);
        c.Records();
        c.Write(1, 0x0200, 0x10, {0xAA, 0xBB});
        c.Command(2, 0x83, 0xC701);  // no ISP: STALL
        auto log = pc->Log();
        ASSERT_EQ(log.size(), 5u);
        EXPECT_EQ(log[0].kind, bench::LogEntry::Kind::Open);
        EXPECT_EQ(log[1].code, kGetDeviceNum);
        const bench::LogEntry& w = log[3];
        EXPECT_TRUE(w.vendor && w.ok);
        EXPECT_EQ(w.device, "A");
        EXPECT_EQ(w.setup.bRequest, 0x83);
        EXPECT_EQ(w.setup.wIndex, 0x10);
        EXPECT_EQ(w.data, (std::vector<uint8_t>{0xAA, 0xBB}));
        EXPECT_FALSE(log[4].ok);
        EXPECT_EQ(log[4].error, 31u);
        EXPECT_NE(log[4].note.find("STALL"), std::string::npos);
    }
    std::ifstream file(path);
    std::stringstream text;
    text << file.rdbuf();
    EXPECT_NE(text.str().find("USB_REQUEST in=18 out=18 handle=1 (A) 40 83 0200 0010 0002 -> ok returned=18 data AA BB"),
              std::string::npos)
        << text.str();
    EXPECT_NE(text.str().find("-> error 31"), std::string::npos);
    std::remove(path.c_str());
}

}  // namespace

namespace {

TEST(Latency, DeviceTimeFollowsAClockGivenFromOutside) {
    auto pc = Bench(R"(
latency 2
flash F
  size 4K
  erase-time 100
end
hub H
  store spi F
  isp yes
  function handle 1
end
)");
    tessaro::VirtualClock outside;
    pc->UseClock(&outside);
    EXPECT_EQ(pc->Ports().clock, &outside);
    Client c(*pc);
    c.Command(1, 0x83, 0xC701);
    EXPECT_EQ(outside.NowMs(), 2u);
    EXPECT_TRUE(pc->FindDevice("H")->Hub()->Flash()->Busy());
    outside.Sleep(100);
    EXPECT_FALSE(pc->FindDevice("H")->Hub()->Flash()->Busy());
    EXPECT_EQ(outside.Waits(), std::vector<uint32_t>{100});
}

}  // namespace
