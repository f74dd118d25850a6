// The SPI flash behind the controller behaves like the chip: erase to 0xFF,
// program clears bits, protection and busy time make it ignore requests.
#include <gtest/gtest.h>

#include "bench/pc.h"
#include "platform/winconst.h"
#include "tests/bench/bench_client.h"

using namespace benchtest;

namespace {

constexpr uint16_t kIsp = 0x0001;

// A part that needs EWSR 50, erases with C7/60, programs with wValue 0 or
// AD01, takes un-protect commands 98 then 06 anywhere.
std::string Part(const std::string& extra) {
    return "flash Part\n  size 0x10000\n  id 9F 1 EF 40 13\n  id 90 2 EF 12\n  erase C7 60\n  ewsr 50\n"
           "  program 0x0000 0xAD01\n  erase-time 500\n" +
           extra + "end\nhub H\n  store spi Part\n  fill 5A\n  function\nend\n";
}

class FlashTest : public ::testing::Test {
protected:
    void Make(const std::string& extra) {
        client.reset();
        pc = Bench(Part(extra));
        client = std::make_unique<Client>(*pc);
        h = client->HandleOf(0);
    }
    std::vector<uint8_t>& Store() { return pc->FindDevice("H")->Store(); }
    bool Erase() { return client->Command(h, 0x83, 0xC701) && client->Command(h, 0x83, 0xC701); }
    void Wait(uint32_t ms) { pc->Virtual()->Sleep(ms); }

    std::unique_ptr<bench::Pc> pc;
    std::unique_ptr<Client> client;
    uint32_t h = 0;
};

TEST_F(FlashTest, EraseNeedsIspEwsrAndTakesItsTime) {
    Make("");
    EXPECT_FALSE(client->Command(h, 0x81, 0x5001)) << "EWSR outside ISP mode";
    EXPECT_FALSE(client->Command(h, 0x83, 0xC701)) << "erase outside ISP mode";
    EXPECT_EQ(client->Error(), tessaro::win::kErrGenFailure);
    ASSERT_TRUE(client->Command(h, 0x81, kIsp));
    ASSERT_TRUE(client->Command(h, 0x83, 0xC701)) << "the part ignores it, the request completes";
    EXPECT_EQ(Store()[0], 0x5A);
    ASSERT_TRUE(client->Command(h, 0x81, 0x5001));
    ASSERT_TRUE(client->Command(h, 0x83, 0xC701));
    EXPECT_EQ(client->Read(h, 0, 0, 4), std::vector<uint8_t>(4, 0xFF)) << "busy reads float high";
    EXPECT_TRUE(pc->FindDevice("H")->Hub()->Flash()->Busy());
    Wait(499);
    EXPECT_TRUE(pc->FindDevice("H")->Hub()->Flash()->Busy());
    Wait(1);
    EXPECT_FALSE(pc->FindDevice("H")->Hub()->Flash()->Busy());
    EXPECT_EQ(std::count(Store().begin(), Store().end(), 0xFF), 0x10000);
}

TEST_F(FlashTest, WrongEraseOpcodeOrAnEnterIspBetweenEwsrAndEraseIsIgnored) {
    Make("");
    client->Command(h, 0x81, kIsp);
    client->Command(h, 0x81, 0x5001);
    ASSERT_TRUE(client->Command(h, 0x83, 0x2001));
    EXPECT_EQ(Store()[0], 0x5A);
    EXPECT_NE(client->Note().find("unknown"), std::string::npos);
    client->Command(h, 0x81, 0x5001);
    client->Command(h, 0x81, kIsp);
    client->Command(h, 0x83, 0x6001);
    EXPECT_EQ(Store()[0], 0x5A) << "ISP entry drops the status-register enable";
    client->Command(h, 0x81, 0x5001);
    client->Command(h, 0x83, 0x6001);
    EXPECT_EQ(Store()[0], 0xFF);
}

TEST_F(FlashTest, ProgramOnlyClearsBitsAndWrapsInItsPage) {
    Make("  page 16\n");
    client->Command(h, 0x81, kIsp);
    ASSERT_TRUE(client->Write(h, 0x0000, 0x10, {0x0F, 0xF0}));
    EXPECT_EQ(Store()[0x10], 0x0A);
    EXPECT_EQ(Store()[0x11], 0x50);
    client->Write(h, 0xAD01, 0x1E, {0x00, 0x00, 0x00});
    EXPECT_EQ(Store()[0x1E], 0x00);
    EXPECT_EQ(Store()[0x1F], 0x00);
    EXPECT_EQ(Store()[0x10], 0x00) << "the third byte wrapped to the page start";
    EXPECT_EQ(Store()[0x20], 0x5A);
    ASSERT_TRUE(client->Write(h, 0x0201, 0x40, {0x00}));
    EXPECT_EQ(Store()[0x40], 0x5A) << "a program wValue the part does not know is ignored";
}

TEST_F(FlashTest, ProgramOutsideIspFailsAndReadsWorkAnyTime) {
    Make("");
    EXPECT_FALSE(client->Write(h, 0, 0, {0}));
    EXPECT_EQ(client->Read(h, 0, 0xFFFE, 4), std::vector<uint8_t>(4, 0x5A));
    Store()[0] = 0x11;
    EXPECT_EQ(client->Read(h, 0, 0xFFFF, 2)[1], 0x11) << "addresses wrap at the part's size";
}

TEST_F(FlashTest, IdentificationAnswersPerOpcodeAndMode) {
    Make("");
    EXPECT_EQ(client->Read(h, 0x9F01, 0, 3), (std::vector<uint8_t>{0xEF, 0x40, 0x13}));
    EXPECT_EQ(client->Read(h, 0x9002, 0, 4), (std::vector<uint8_t>{0xEF, 0x12, 0xEF, 0x12}));
    EXPECT_EQ(client->Read(h, 0xAB01, 0, 2), (std::vector<uint8_t>{0xFF, 0xFF})) << "unknown opcode";
    // 9F with address bytes: the first three ID bytes went by during the address.
    EXPECT_EQ(client->Read(h, 0x9F02, 0, 2), (std::vector<uint8_t>{0xEF, 0x40}));
    // 90 without address bytes: the part is still taking its address.
    EXPECT_EQ(client->Read(h, 0x9001, 0, 5), (std::vector<uint8_t>{0xFF, 0xFF, 0xFF, 0xEF, 0x12}));
    bool ok = true;
    client->Read(h, 0x9F03, 0, 3, &ok);
    EXPECT_FALSE(ok) << "mode 3 is no identification read";
}

TEST_F(FlashTest, StoreTypeAndEepromRequestsOnAnSpiHub) {
    Make("");
    EXPECT_EQ(client->Read(h, 0x0004, 0, 1), std::vector<uint8_t>{0x00});
    bool ok = true;
    client->Read(h, 0x0100, 0, 4, &ok);
    EXPECT_FALSE(ok);
    client->Command(h, 0x81, kIsp);
    EXPECT_FALSE(client->Write(h, 0x0200, 0, {1}));
    EXPECT_FALSE(client->Command(h, 0x81, 0x0001, 1)) << "ISP entry for an EEPROM store";
    EXPECT_FALSE(client->Command(h, 0x81, 0x0002));
    std::vector<uint8_t> data(1, 0);
    EXPECT_FALSE(client->Request(h, 0x40, 0x82, 0x0004, 0, data)) << "wrong direction";
}

TEST_F(FlashTest, ProtectedPartIgnoresEraseAndProgramUntilUnprotected) {
    Make("  unprotect 98 06\n");
    client->Command(h, 0x81, kIsp);
    client->Command(h, 0x81, 0x5001);
    client->Command(h, 0x83, 0xC701);
    EXPECT_EQ(Store()[0], 0x5A);
    EXPECT_NE(client->Note().find("protected"), std::string::npos);
    client->Write(h, 0, 0, {0});
    EXPECT_EQ(Store()[0], 0x5A);
    // Out of order, or broken by another request: nothing.
    client->Command(h, 0x83, 0x0606);
    client->Command(h, 0x83, 0x9806);
    client->Write(h, 0, 0, {0});
    client->Command(h, 0x83, 0x0606);
    client->Write(h, 0, 0, {0});
    EXPECT_EQ(Store()[0], 0x5A);
    client->Command(h, 0x83, 0x0606);
    client->Command(h, 0x83, 0x9806);
    client->Command(h, 0x83, 0x0606);
    client->Write(h, 0, 0, {0});
    EXPECT_EQ(Store()[0], 0x00);
    EXPECT_FALSE(pc->FindDevice("H")->Hub()->Flash()->Protected());
    // A reset brings the protection back.
    client->Command(h, 0x81, 0x0003);
    EXPECT_TRUE(pc->FindDevice("H")->Hub()->Flash()->Protected());
}

TEST_F(FlashTest, UnprotectBeforeIspNeedsTheIspEntryRightAfter) {
    Make("  unprotect 98 before-isp\n");
    client->Command(h, 0x81, kIsp);
    client->Command(h, 0x83, 0x9806);
    EXPECT_TRUE(pc->FindDevice("H")->Hub()->Flash()->Protected());
    client->Read(h, 0x9F01, 0, 3);
    client->Command(h, 0x81, kIsp);
    EXPECT_TRUE(pc->FindDevice("H")->Hub()->Flash()->Protected()) << "a request came between";
    client->Command(h, 0x83, 0x9806);
    client->Command(h, 0x81, kIsp);
    EXPECT_FALSE(pc->FindDevice("H")->Hub()->Flash()->Protected());
}

TEST_F(FlashTest, UnprotectAfterIspMustStartRightAfterTheIspEntry) {
    Make("  unprotect 98 06 after-isp\n");
    // The order of a part with column 13 bit 7 set: enter ISP, identification, commands.
    client->Command(h, 0x81, kIsp);
    client->Read(h, 0x9F01, 0, 3);
    client->Command(h, 0x83, 0x9806);
    client->Command(h, 0x83, 0x0606);
    EXPECT_TRUE(pc->FindDevice("H")->Hub()->Flash()->Protected());
    // With bit 7 clear the tool enters ISP again first.
    client->Command(h, 0x81, kIsp);
    client->Command(h, 0x83, 0x9806);
    client->Command(h, 0x83, 0x0606);
    EXPECT_FALSE(pc->FindDevice("H")->Hub()->Flash()->Protected());
}

TEST_F(FlashTest, FullEraseSequenceOfTheToolWorksForBothPlacements) {
    for (const char* at : {"before-isp", "after-isp"}) {
        Make(std::string("  unprotect 98 06 ") + at + "\n");
        // Enter ISP, identification, enter ISP, commands, enter ISP, EWSR, erase.
        client->Command(h, 0x81, kIsp);
        client->Read(h, 0x9F01, 0, 3);
        client->Command(h, 0x81, kIsp);
        client->Command(h, 0x83, 0x9806);
        client->Command(h, 0x83, 0x0606);
        client->Command(h, 0x81, kIsp);
        client->Command(h, 0x81, 0x5001);
        client->Command(h, 0x83, 0xC701);
        EXPECT_EQ(Store()[0], 0xFF) << at;
    }
}

TEST_F(FlashTest, PartThatReprotectsNeedsItsSequenceBeforeEveryBlock) {
    Make("  unprotect 98 before-isp\n  reprotect after-program\n");
    auto unprotect = [&] {
        client->Command(h, 0x81, kIsp);
        client->Command(h, 0x83, 0x9806);
        client->Command(h, 0x81, kIsp);
    };
    unprotect();
    client->Write(h, 0, 0, {0x00});
    client->Write(h, 0, 1, {0x00});
    EXPECT_EQ(Store()[0], 0x00);
    EXPECT_EQ(Store()[1], 0x5A) << "protected again after the first block";
    unprotect();
    client->Write(h, 0, 1, {0x00});
    EXPECT_EQ(Store()[1], 0x00);
}

TEST_F(FlashTest, WritesWhileBusyAreLost) {
    Make("  program-time 2\n");
    client->Command(h, 0x81, kIsp);
    client->Write(h, 0, 0, {0x00});
    client->Write(h, 0, 1, {0x00});
    EXPECT_EQ(Store()[1], 0x5A);
    EXPECT_NE(client->Note().find("busy"), std::string::npos);
    Wait(2);
    client->Write(h, 0, 1, {0x00});
    EXPECT_EQ(Store()[1], 0x00);
}

}  // namespace
