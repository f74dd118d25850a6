// EEPROM hubs: I2C addressing as the parts take it, so that the tool's
// "2240" probe tells a 256-byte part from a large one; page writes; ISP.
#include <gtest/gtest.h>

#include "bench/pc.h"
#include "platform/winconst.h"
#include "tests/bench/bench_client.h"

using namespace benchtest;

namespace {

struct Eeprom {
    explicit Eeprom(const std::string& store) {
        // Addressing tests: without the part's write cycle unless one is asked for.
        const std::string cycle = store.find("write-time") == std::string::npos ? " write-time 0" : "";
        pc = Bench("hub E\n  store eeprom " + store + cycle + "\n  isp yes\n  function\nend\n");
        client = std::make_unique<Client>(*pc);
        h = client->HandleOf(0);
    }
    std::vector<uint8_t>& Store() { return pc->FindDevice("E")->Store(); }
    std::unique_ptr<bench::Pc> pc;
    std::unique_ptr<Client> client;
    uint32_t h = 0;
};

// The probe of the identification: write "2240" with two address bytes at 0,
// read back with one address byte at 1, then with two at 0.
struct Probe {
    bool lite = false;
    bool large = false;
};
Probe RunProbe(Eeprom& e) {
    EXPECT_TRUE(e.client->Write(e.h, 0x0100, 0, Text("2240")));
    Probe p;
    p.lite = e.client->Read(e.h, 0x0200, 0x0001, 4) == Text("2240");
    p.large = e.client->Read(e.h, 0x0100, 0x0000, 4) == Text("2240");
    return p;
}

TEST(EepromTest, ProbeTellsTheSmallPartFromTheLargeOne) {
    Eeprom small("256");
    Probe p = RunProbe(small);
    EXPECT_TRUE(p.lite);
    EXPECT_EQ(small.Store()[0], 0x00) << "the low address byte became the first data byte";
    EXPECT_EQ(small.Store()[1], '2');

    Eeprom large("0x8000");
    p = RunProbe(large);
    EXPECT_FALSE(p.lite);
    EXPECT_TRUE(p.large);
    EXPECT_EQ(large.Store()[0], '2');
}

TEST(EepromTest, OneAddressByteToALargePartLatchesOnlyTheHighByte) {
    Eeprom large("0x8000");
    large.Store()[0x0104] = 0x77;
    large.Store()[0x0300] = 0x66;
    large.client->Write(large.h, 0x0100, 0x0000, Text("2240"));  // counter now 4
    EXPECT_EQ(large.client->Read(large.h, 0x0200, 0x0001, 1)[0], 0x77);
    // A one-address-byte write: the first data byte is the low address byte.
    large.client->Write(large.h, 0x0200, 0x0003, {0x00, 0x99});
    EXPECT_EQ(large.Store()[0x0300], 0x99);
}

TEST(EepromTest, TwoAddressBytesToASmallPartReadFromTheNextAddress) {
    Eeprom small("256");
    for (int i = 0; i < 16; ++i) small.Store()[i] = static_cast<uint8_t>(i);
    // High byte 0x00 is the word address; 0x05 went to the page buffer.
    EXPECT_EQ(small.client->Read(small.h, 0x0100, 0x0005, 2), (std::vector<uint8_t>{0x01, 0x02}));
    EXPECT_EQ(small.client->Read(small.h, 0x0200, 0x0007, 2), (std::vector<uint8_t>{0x07, 0x08}))
        << "reads run on past the page";
}

TEST(EepromTest, PageWriteWrapsInsideThePage) {
    Eeprom small("256");
    ASSERT_TRUE(small.client->Write(small.h, 0x0200, 0x0006, {1, 2, 3, 4}));
    EXPECT_EQ(small.Store()[6], 1);
    EXPECT_EQ(small.Store()[7], 2);
    EXPECT_EQ(small.Store()[0], 3);
    EXPECT_EQ(small.Store()[1], 4);
    EXPECT_EQ(small.Store()[8], 0xFF);

    Eeprom large("0x8000");
    std::vector<uint8_t> block(64, 0x00);
    ASSERT_TRUE(large.client->Write(large.h, 0x0100, 0x4FC0, block));
    EXPECT_EQ(std::count(large.Store().begin(), large.Store().end(), 0x00), 64);
    EXPECT_EQ(large.Store()[0x4FFF], 0x00);
}

TEST(EepromTest, BlockBitsBeyondThePartAreNotAcknowledged) {
    Eeprom small("256");
    bool ok = true;
    small.client->Read(small.h, 0x0200, 0x0100, 1, &ok);
    EXPECT_FALSE(ok);
    EXPECT_EQ(small.client->Error(), tessaro::win::kErrGenFailure);
    Eeprom mid("2048");
    mid.Store()[0x7F0] = 0x42;
    EXPECT_EQ(mid.client->Read(mid.h, 0x0200, 0x07F0, 1, &ok)[0], 0x42);
}

TEST(EepromTest, WritesNeedIspAndAWriteProtectedPartDropsThem) {
    auto pc = Bench("hub E\n  store eeprom 256 write-protected\n  function\nend\n");
    Client c(*pc);
    const uint32_t h = c.HandleOf(0);
    EXPECT_FALSE(c.Write(h, 0x0200, 0, {0}));
    EXPECT_TRUE(c.Command(h, 0x81, 0x0001, 1));
    EXPECT_FALSE(c.Command(h, 0x81, 0x0001, 0)) << "ISP entry for an SPI store";
    EXPECT_TRUE(c.Write(h, 0x0200, 0, {0}));
    EXPECT_EQ(pc->FindDevice("E")->Store()[0], 0xFF);
    EXPECT_EQ(c.Read(h, 0x0004, 0, 1)[0], 1);
    bool ok = true;
    c.Read(h, 0x0000, 0, 4, &ok);
    EXPECT_FALSE(ok) << "SPI flash read on an EEPROM hub";
    c.Read(h, 0x9F01, 0, 3, &ok);
    EXPECT_FALSE(ok);
    EXPECT_FALSE(c.Command(h, 0x83, 0xC701));
}

}  // namespace

namespace {

TEST(EepromTest, WriteCycleRefusesTheBusUntilItEnds) {
    auto pc = Bench("hub E\n  store eeprom 256 write-time 5\n  isp yes\n  function\nend\n");
    Client c(*pc);
    const uint32_t h = c.HandleOf(0);
    ASSERT_TRUE(c.Write(h, 0x0200, 0x00, {1}));
    EXPECT_FALSE(c.Write(h, 0x0200, 0x08, {2}));
    EXPECT_EQ(c.Error(), tessaro::win::kErrGenFailure);
    pc->Virtual()->Sleep(20);
    EXPECT_TRUE(c.Write(h, 0x0200, 0x08, {2}));
    pc->Virtual()->Sleep(5);
    EXPECT_EQ(c.Read(h, 0x0200, 0x00, 1)[0], 1) << "reads after the cycle";
}

// The same hub built with the C++ API instead of a bench file.
TEST(EepromTest, BuiltProgrammatically) {
    bench::Pc pc;
    pc.Boxes().SetQuiet(true);
    bench::DeviceSpec hub;
    hub.name = "Api";
    hub.store = bench::StoreKind::Eeprom;
    hub.eeprom = bench::DefaultEeprom(0x8000);
    hub.startsInIsp = true;
    hub.puts.push_back({0xFC, Text("XROM")});
    bench::FunctionSpec f;
    f.handle = 5;
    hub.functions.push_back(f);
    std::string error;
    ASSERT_TRUE(pc.AddDevice(hub, &error)) << error;
    bench::Fault fault;
    fault.kind = bench::FaultKind::FailRequest;
    fault.wIndex = 0x00FC;
    fault.nth = 1;
    ASSERT_TRUE(pc.AddFault(fault, &error)) << error;
    Client c(pc);
    bool ok = true;
    c.Read(5, 0x0100, 0x00FC, 4, &ok);
    EXPECT_FALSE(ok);
    EXPECT_EQ(c.Read(5, 0x0100, 0x00FC, 4), Text("XROM"));
    EXPECT_EQ(pc.FindDevice("Api")->Hub()->Eeprom()->Part().pageSize, 64u);
}

}  // namespace
