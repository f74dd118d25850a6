// What real hubs and their driver do that a kind bench would not: short
// reads, re-enumeration after a reset, hubs leaving while another is busy,
// requests the controller refuses, and the EEPROM's write cycle.
#include <gtest/gtest.h>

#include "bench/pc.h"
#include "platform/winconst.h"
#include "tests/bench/bench_client.h"

using namespace benchtest;

namespace {

const char* kThreeHubs = R"(
hub A
  store eeprom 256
  put 0 text "AAAAAAAA"
  function pid 0x0B41 container {aaaaaaaa-0000-4000-8000-000000000001}
end
hub B
  store eeprom 256
  put 0 text "BBBBBBBB"
  function pid 0x0B42
end
hub C
  store eeprom 256
  put 0 text "CCCCCCCC"
  function pid 0x0B43
end
)";

// The raw record of one 8-byte read of address 0, prefilled with 0xAA.
struct RawRead {
    bool ok = false;
    uint32_t returned = 0;
    std::vector<uint8_t> data;
};
RawRead ReadRaw(Client& c, uint32_t handle, uint16_t length = 8) {
    std::vector<uint8_t> rec(16 + length, 0xAA);
    const uint8_t header[16] = {0, 0, 0, 0, static_cast<uint8_t>(handle), 0, 0, 0, 0xC0, 0x82, 0x00, 0x02, 0, 0,
                                static_cast<uint8_t>(length), static_cast<uint8_t>(length >> 8)};
    std::copy(header, header + 16, rec.begin());
    RawRead r;
    r.ok = c.Control(kUsbRequest, rec, &r.returned);
    r.data.assign(rec.begin() + 16, rec.end());
    return r;
}

uint16_t Pid(const std::vector<uint8_t>& record) { return Le16(record.data() + 8); }

std::vector<uint16_t> Pids(Client& c) {
    std::vector<uint16_t> out;
    for (const auto& r : c.Records()) out.push_back(Pid(r));
    return out;
}

TEST(ShortReads, DeliverFewerBytesAndLeaveTheRestOfTheRecord) {
    struct Case {
        const char* fault;
        int reads;                    // reads sent to the hub named
        const char* hub;
        std::vector<uint32_t> given;  // data bytes each read delivers
    } cases[] = {
        {"fault short deliver 3", 2, "A", {3, 3}},
        {"fault short hub B from 2 count 2 deliver 0", 4, "B", {8, 0, 0, 8}},
        {"fault short hub B from 2 count 2 deliver 0", 3, "A", {8, 8, 8}},
        {"fault short from 3 deliver 5", 4, "C", {8, 8, 5, 5}},
        {"fault short nth 1 deliver 8", 1, "A", {8}},  // not fewer than asked: a full read
        {"fault short value 0x0100 deliver 1", 1, "A", {8}},
    };
    for (const Case& k : cases) {
        auto pc = Bench(std::string(kThreeHubs) + k.fault + "\n");
        Client c(*pc);
        const size_t index = k.hub[0] - 'A';
        for (int i = 0; i < k.reads; ++i) {
            RawRead r = ReadRaw(c, c.HandleOf(index));
            const uint32_t given = k.given[i];
            ASSERT_TRUE(r.ok) << k.fault;
            EXPECT_EQ(r.returned, 16 + given) << k.fault << " read " << i + 1;
            for (uint32_t b = 0; b < 8; ++b)
                EXPECT_EQ(r.data[b], b < given ? static_cast<uint8_t>(k.hub[0]) : 0xAA)
                    << k.fault << " read " << i + 1 << " byte " << b;
            const bench::LogEntry last = pc->Requests().back();
            EXPECT_EQ(last.data.size(), given);
            EXPECT_EQ(last.note.find("short read") != std::string::npos, given < 8) << last.note;
        }
    }
    auto pc = Bench(std::string(kThreeHubs) + "fault short deliver 2\n");
    Client c(*pc);
    ReadRaw(c, c.HandleOf(0));
    EXPECT_NE(bench::FormatLogEntry(pc->Requests().back()).find("data 41 41 ; short read: delivered 2 of 8 bytes"),
              std::string::npos);
}

TEST(ReEnumeration, AResetHubLeavesAndComesBackAsANewDevice) {
    struct Case {
        const char* setting;  // global line, or a line for hub A
        bool global;
        uint32_t backMs;      // 0: never leaves
    } cases[] = {
        {"", true, 1000},
        {"re-enumerate 300", true, 300},
        {"after-reset re-enumerate 50", false, 50},
        {"after-reset stays", false, 0},
        {"re-enumerate 0", true, 0},
    };
    for (const Case& k : cases) {
        std::string text = kThreeHubs;
        if (k.global)
            text = std::string(k.setting) + "\n" + text;
        else
            text.replace(text.find("  store eeprom 256\n"), 0, std::string("  ") + k.setting + "\n");
        auto pc = Bench(text);
        Client c(*pc);
        const uint32_t old = c.HandleOf(0);
        ASSERT_TRUE(c.Command(old, 0x81, 0x0003)) << k.setting;
        if (!k.backMs) {
            EXPECT_EQ(Pids(c), (std::vector<uint16_t>{0x0B41, 0x0B42, 0x0B43})) << k.setting;
            EXPECT_EQ(c.HandleOf(0), old);
            continue;
        }
        // The reset is answered first, then the hub leaves.
        EXPECT_EQ(pc->Log().back().note, "A left the bus (software reset), back in " + std::to_string(k.backMs) + " ms");
        EXPECT_EQ(Pids(c), (std::vector<uint16_t>{0x0B42, 0x0B43})) << k.setting;
        EXPECT_FALSE(pc->FindDevice("A")->Plugged());
        pc->Virtual()->Advance(k.backMs - 1);
        EXPECT_EQ(c.Records().size(), 2u) << k.setting;
        pc->Virtual()->Advance(1);
        // Back at the end of the list, under a new handle, with its container ID.
        EXPECT_EQ(Pids(c), (std::vector<uint16_t>{0x0B42, 0x0B43, 0x0B41})) << k.setting;
        const uint32_t now = c.HandleOf(2);
        EXPECT_NE(now, old);
        std::vector<uint8_t> rec(52, 0);
        rec[4] = static_cast<uint8_t>(now);
        rec[8] = 40;
        ASSERT_TRUE(c.Control(kGetContainerId, rec));
        EXPECT_STREQ(reinterpret_cast<const char*>(rec.data() + 12), "{aaaaaaaa-0000-4000-8000-000000000001}");
        // The old handle names nothing any more.
        EXPECT_FALSE(c.Command(old, 0x81, 0x0001, 1));
        EXPECT_EQ(c.Error(), tessaro::win::kErrDeviceNotConnected);
        EXPECT_NE(c.Note().find("stale handle"), std::string::npos);
        EXPECT_TRUE(c.Command(now, 0x81, 0x0001, 1));
        EXPECT_EQ(pc->Events().back(), "A is back on the bus with handle " + std::to_string(now));
    }
}

TEST(UnplugFault, AnyHubLeavesAtTheNthRequestOfTheBus) {
    struct Case {
        const char* fault;
        const char* target;            // the hub the requests go to (by name)
        int requests;
        int failsAt;                   // the request that fails (0: none)
        std::vector<uint16_t> after;   // the list afterwards
        uint32_t wait;                 // then this long
        std::vector<uint16_t> later;   // and the list then
    } cases[] = {
        // A leaves while B is busy; B goes on, and index 1 now names C.
        {"fault unplug A at 3", "B", 5, 0, {0x0B42, 0x0B43}, 0, {0x0B42, 0x0B43}},
        {"fault unplug A at 3 replug", "B", 5, 0, {0x0B42, 0x0B43, 0x0B41}, 0, {0x0B42, 0x0B43, 0x0B41}},
        {"fault unplug A at 3 replug 500", "B", 5, 0, {0x0B42, 0x0B43}, 500, {0x0B42, 0x0B43, 0x0B41}},
        // The request that strikes is the leaving hub's own: it fails.
        {"fault unplug B at 2", "B", 3, 2, {0x0B41, 0x0B43}, 0, {0x0B41, 0x0B43}},
        // Counted per hub, as before, and back at the end.
        {"fault unplug B after 1 replug", "B", 1, 0, {0x0B41, 0x0B42, 0x0B43}, 0, {0x0B41, 0x0B42, 0x0B43}},
        {"fault unplug B after 1 replug", "B", 2, 2, {0x0B41, 0x0B43, 0x0B42}, 0, {0x0B41, 0x0B43, 0x0B42}},
        // At a request that matches, to any device: A leaves when B gets its second ISP entry.
        {"fault unplug A on device B request 0x81 nth 2 replug 10", "B", 3, 0, {0x0B42, 0x0B43}, 10,
         {0x0B42, 0x0B43, 0x0B41}},
        {"fault unplug A on device C request 0x81", "B", 3, 0, {0x0B41, 0x0B42, 0x0B43}, 0,
         {0x0B41, 0x0B42, 0x0B43}},
    };
    for (const Case& k : cases) {
        auto pc = Bench(std::string(kThreeHubs) + k.fault + "\n");
        Client c(*pc);
        const uint32_t handle = c.HandleOf(k.target[0] - 'A');
        for (int i = 1; i <= k.requests; ++i) {
            const bool ok = c.Command(handle, 0x81, 0x0001, 1);
            if (i == k.failsAt) {
                EXPECT_FALSE(ok) << k.fault << " request " << i;
                EXPECT_EQ(c.Error(), tessaro::win::kErrDeviceNotConnected);
                break;
            }
            EXPECT_TRUE(ok) << k.fault << " request " << i;
        }
        EXPECT_EQ(Pids(c), k.after) << k.fault;
        pc->Virtual()->Advance(k.wait);
        EXPECT_EQ(Pids(c), k.later) << k.fault;
    }
    auto pc = Bench(std::string(kThreeHubs) + "fault unplug A at 1 replug 20\n");
    Client c(*pc);
    c.Command(c.HandleOf(2), 0x81, 0x0001, 1);
    const auto events = pc->Events();
    ASSERT_FALSE(events.empty());
    EXPECT_EQ(events.back(), "A left the bus (unplugged at request 1 of the bus), back in 20 ms");
}

TEST(StrictController, RequestsTheChipRefuses) {
    struct Case {
        const char* hubExtra;
        uint8_t type;
        uint8_t request;
        uint16_t value;
        uint16_t index;
        uint16_t length;
        bool ok;
        const char* note;  // part of the log note of a refused request
    } cases[] = {
        {"", 0xC0, 0x82, 0x0004, 0, 1, true, ""},
        {"", 0xC0, 0x82, 0x0004, 1, 1, false, "store-type read with wIndex 0001"},
        {"", 0xC0, 0x82, 0x0004, 0, 4, false, "store-type read of 4 bytes"},
        {"", 0xC0, 0x82, 0x0004, 0, 0, false, "store-type read of 0 bytes"},
        {"", 0xC0, 0x82, 0x0000, 0, 256, true, ""},
        {"", 0xC0, 0x82, 0x0000, 0, 257, false, "data stage of 257 bytes"},
        {"", 0x40, 0x83, 0x0000, 0, 512, false, "the controller takes at most 256"},
        {"  max-transfer 64\n", 0xC0, 0x82, 0x0000, 0x1D0, 64, true, ""},
        {"  max-transfer 64\n", 0xC0, 0x82, 0x0000, 0, 128, false, "at most 64"},
        {"  max-transfer 64\n", 0xC0, 0x72, 0x0201, 0, 1, true, ""},
    };
    for (const Case& k : cases) {
        auto pc = Bench(std::string("flash P\n  id 9F 1 EF 30 13\nend\nhub H\n  store spi P\n  isp yes\n") + k.hubExtra +
                        "  function\nend\n");
        Client c(*pc);
        std::vector<uint8_t> data(k.length, 0);
        const bool ok = c.Request(c.HandleOf(0), k.type, k.request, k.value, k.index, data);
        EXPECT_EQ(ok, k.ok) << k.value << " " << k.index << " " << k.length;
        if (!k.ok) {
            EXPECT_EQ(c.Error(), tessaro::win::kErrGenFailure);
            EXPECT_NE(c.Note().find(k.note), std::string::npos) << c.Note();
        }
    }
}

TEST(EepromWriteCycle, TheNextAccessFailsUntilTheCycleEnds) {
    struct Case {
        const char* option;  // of "store eeprom 256"
        uint32_t cycleMs;
    } cases[] = {{"", 5}, {" write-time 10", 10}, {" write-time 0", 0}};
    for (const Case& k : cases) {
        auto pc = Bench(std::string("hub E\n  store eeprom 256") + k.option + "\n  isp yes\n  function\nend\n");
        Client c(*pc);
        const uint32_t h = c.HandleOf(0);
        ASSERT_TRUE(c.Write(h, 0x0200, 0, Text("12345678")));
        bool ok = false;
        c.Read(h, 0x0200, 0, 8, &ok);
        EXPECT_EQ(ok, k.cycleMs == 0) << k.option;
        if (k.cycleMs) {
            EXPECT_NE(c.Note().find("no EEPROM acknowledges"), std::string::npos);
            // The controller itself still answers.
            EXPECT_TRUE(c.Command(h, 0x81, 0x0001, 1));
            pc->Virtual()->Advance(k.cycleMs - 1);
            EXPECT_FALSE(c.Write(h, 0x0200, 8, Text("abcdefgh")));
            pc->Virtual()->Advance(1);
        }
        EXPECT_EQ(c.Read(h, 0x0200, 0, 8, &ok), Text("12345678")) << k.option;
        EXPECT_TRUE(ok);
    }
}

TEST(BenchFile, SelectionsThatContradictThemselvesAreRefused) {
    const char* bad[][2] = {
        {"fault short nth 1 from 2", "nth, first and from exclude each other"},
        {"fault short count 2", "count goes with from"},
        {"fault unplug A at 0", "requests are counted from 1"},
        {"fault unplug A on device Ghost", "fault names the unknown device Ghost"},
    };
    for (const auto& b : bad) {
        std::string error;
        EXPECT_FALSE(bench::Pc::FromText(std::string(kThreeHubs) + b[0] + "\n", ".", &error, "t")) << b[0];
        EXPECT_NE(error.find(b[1]), std::string::npos) << b[0] << ": " << error;
    }
}

}  // namespace
