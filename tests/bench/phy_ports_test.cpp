// The tuning registers per port: each port's copy of a register is its own,
// and every PHY access lands in the request log with its data.
#include <gtest/gtest.h>

#include "bench/pc.h"
#include "tests/bench/bench_client.h"

using namespace benchtest;

namespace {

TEST(PhyPorts, EachPortHoldsItsOwnRegisterAndTheLogKeepsTheData) {
    auto pc = Bench("hub A\n  store eeprom 256\n  phy 0x0201 0x01C4 0xA5\n  function handle 1\nend\n");
    Client c(*pc);
    struct Step {
        bool write;
        uint16_t wIndex;
        uint8_t value;  // written, or expected back
    } steps[] = {
        {false, 0x01C4, 0xA5}, {false, 0x02C4, 0x00}, {true, 0x02C4, 0x3C},
        {false, 0x01C4, 0xA5}, {false, 0x02C4, 0x3C}, {false, 0x00C4, 0x00},
    };
    for (const Step& s : steps) {
        std::vector<uint8_t> v(1, s.write ? s.value : 0xEE);
        ASSERT_TRUE(c.Request(1, s.write ? 0x40 : 0xC0, s.write ? 0x73 : 0x72, 0x0201, s.wIndex, v));
        if (!s.write) {
            EXPECT_EQ(v[0], s.value) << std::hex << s.wIndex;
        }
    }
    const auto log = pc->Requests();
    ASSERT_EQ(log.size(), 6u);
    for (size_t i = 0; i < log.size(); ++i) {
        EXPECT_EQ(log[i].device, "A");
        EXPECT_EQ(log[i].setup.wIndex, steps[i].wIndex);
        ASSERT_EQ(log[i].data.size(), 1u);
        EXPECT_EQ(log[i].data[0], steps[i].value);
        EXPECT_TRUE(log[i].ok);
    }
}

}  // namespace
