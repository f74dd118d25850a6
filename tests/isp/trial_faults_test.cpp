// What an update must never do, whatever the hubs and the driver do meanwhile:
// write a hub it did not identify, write an image into a hub of another
// kind, leave the container ID of a short image unwritten, or take bytes a
// short read never delivered for the store's contents.
#include <gtest/gtest.h>

#include <cstring>
#include <functional>

#include "hub/CHubIsp.h"
#include "support/bench_system.h"
#include "update_expect.h"

using tessaro::test::BenchSystem;
using tessaro::test::TestFlashPart;
using tessaro::test::TestFlashRow;

namespace {

// A driver between the tool and the bench that lets a test act after each
// vendor request: unplug a hub, shorten a read.
class Interposer : public tessaro::IDriver {
public:
    using Hook = std::function<void(const UsbRequestHeader&, const uint8_t* sent, uint8_t* out, uint32_t* returned)>;
    Interposer(tessaro::IDriver* inner, Hook hook) : m_inner(inner), m_hook(std::move(hook)) {}
    tessaro::Handle Open(const std::string& name) override { return m_inner->Open(name); }
    bool IoControl(tessaro::Handle h, uint32_t code, const void* in, uint32_t inSize, void* out, uint32_t outSize,
                   uint32_t* returned) override {
        std::vector<uint8_t> sent(static_cast<const uint8_t*>(in), static_cast<const uint8_t*>(in) + inSize);
        bool ok = m_inner->IoControl(h, code, in, inSize, out, outSize, returned);
        UsbRequestHeader header;
        if (ok && code == VX_IOCTL_USB_REQUEST && inSize >= sizeof header) {
            std::memcpy(&header, sent.data(), sizeof header);
            m_hook(header, sent.data(), static_cast<uint8_t*>(out), returned);
        }
        return ok;
    }
    void Close(tessaro::Handle h) override { m_inner->Close(h); }

private:
    tessaro::IDriver* m_inner;
    Hook m_hook;
};

using update_expect::Expected;
using update_expect::Pattern;

int WritesTo(bench::Pc& pc, const std::string& device) {
    int n = 0;
    for (const bench::LogEntry& e : pc.Requests())
        if (e.device == device && e.setup.bRequest == 0x83 && e.ok) ++n;
    return n;
}

std::string SpiHub(const std::string& name, const std::string& marker, const std::string& pid) {
    std::string put = marker.empty() ? "" : "  put 0x1D0 text \"" + marker + "\"\n";
    return "hub " + name + "\n  store spi W25\n  fill 5A\n" + put + "  function pid " + pid + "\nend\n";
}

class TrialFaultsTest : public ::testing::Test {
protected:
    int Update(CHubIsp& isp, int hub, int imageClass, std::vector<uint8_t>& data) {
        return isp.UpdateFirmware(hub, imageClass, data.data(), static_cast<int>(data.size()), &progress, &status,
                                  &errorFlag);
    }
    void Interpose(Interposer::Hook hook) {
        m_interposer = std::make_unique<Interposer>(sys.pc().Ports().driver, std::move(hook));
        tessaro::System s;
        s.driver = m_interposer.get();
        sys.Install(s);
    }
    BenchSystem sys;
    ProgressByte progress{0};
    SharedText status;
    ErrorFlag errorFlag{0};
    std::unique_ptr<Interposer> m_interposer;
};

// Hub A leaves the bus while hub B, the second of three, is worked on: the
// driver then lists C where B was.  Wherever that happens, C is never
// written and the update fails with the reason.
TEST_F(TrialFaultsTest, AHubThatMovedIntoTheIndexIsNeverWritten) {
    struct Case {
        const char* when;
        std::function<bool(const UsbRequestHeader&)> trigger;
    };
    const Case cases[] = {
        {"at the erase command", [](const UsbRequestHeader& h) { return h.bRequest == 0x83 && (h.wValue & 0xFF) == 1; }},
        {"at the erase's blank check", [](const UsbRequestHeader& h) { return h.bRequest == 0x82 && h.wIndex == 0x180; }},
        {"at the flash status enable", [](const UsbRequestHeader& h) { return h.bRequest == 0x81 && (h.wValue >> 8) == 0x50; }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.when);
        sys.WriteIni("[FlashInfo]\nw25=" + TestFlashRow(64, "50 00 00 00 00 00 00 00 00 00") + "\n");
        sys.Bench(TestFlashPart("W25", "  ewsr 50\n") + "hub A\n  store eeprom 256\n  function pid 0x0B41\nend\n" +
                  SpiHub("B", "VXI2240", "0x0B42") + SpiHub("C", "VXI2240", "0x0B43"));
        std::vector<uint8_t> before = sys.Store("C");
        bool unplugged = false;
        Interpose([&](const UsbRequestHeader& h, const uint8_t*, uint8_t*, uint32_t*) {
            if (!unplugged && c.trigger(h)) {
                sys.pc().Unplug("A");
                unplugged = true;
            }
        });
        std::vector<uint8_t> data = Pattern(0x5000, 1);
        CHubIsp isp;
        isp.m_quiet = 2;
        EXPECT_EQ(Update(isp, 1, 2, data), 0);
        EXPECT_TRUE(unplugged);
        EXPECT_NE(isp.m_lasterror.find("Hub 2 has changed!"), std::string::npos) << isp.m_lasterror;
        EXPECT_EQ(WritesTo(sys.pc(), "C"), 0);
        EXPECT_EQ(sys.Store("C"), before);
        EXPECT_EQ(errorFlag.load(), 1);
    }
}

// The same hub found again in every session of one update is no change.
TEST_F(TrialFaultsTest, TheSameHubInEverySessionPasses) {
    sys.WriteIni("[FlashInfo]\nw25=" + TestFlashRow() + "\n");
    sys.Bench(TestFlashPart() + SpiHub("A", "VXI2240", "0x0B41") + SpiHub("B", "VXI2240", "0x0B42"));
    std::vector<uint8_t> data = Pattern(0x5000, 2);
    std::memcpy(data.data() + 0x1D0, "VXI2240", 7);
    CHubIsp isp;
    ASSERT_EQ(Update(isp, 1, 2, data), 1) << isp.m_lasterror;
    EXPECT_EQ(WritesTo(sys.pc(), "A"), 0);
    // A later operation starts afresh: the hub now at index 0 is its hub.
    sys.pc().Unplug("A");
    std::vector<uint8_t> again = Pattern(0x5000, 3);
    std::memcpy(again.data() + 0x1D0, "VXI2240", 7);
    EXPECT_EQ(Update(isp, 0, 2, again), 1) << isp.m_lasterror;
}

// The class must suit the hub the update has just identified, whatever the
// caller believed; the pairings a technician may choose stay allowed.
TEST_F(TrialFaultsTest, AnImageOfAnotherKindIsRefusedBeforeAnyWrite) {
    struct Case {
        const char* marker;  // what the store says the hub is
        int imageClass;
        size_t length;
        bool allowed;
    };
    const Case cases[] = {
        {"", 2, 0x5000, false},         // VX710x-10 hub, class-2 image
        {"", 5, 0x5000, false},
        {"", 1, 0x4000, true},
        {"VXI2240", 1, 0x4000, false},  // VX710x-21/22 hub
        {"VXI2240", 5, 0x6000, true},
        {"VXI2240", 2, 0x5000, true},
        {"VXI2210", 2, 0x5000, true},   // VX7103 with SPI flash
        {"VXI2210", 1, 0x4000, false},
        {"VXI2210", 4, 0x100, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.marker) + " class " + std::to_string(c.imageClass));
        sys.WriteIni("[FlashInfo]\nw25=" + TestFlashRow(128) + "\n");
        sys.Bench(TestFlashPart() + SpiHub("H", c.marker, "0x0B41"));
        std::vector<uint8_t> data = Pattern(c.length, 4);
        CHubIsp isp;
        isp.m_quiet = 2;
        int result = Update(isp, 0, c.imageClass, data);
        if (c.allowed) {
            EXPECT_EQ(result, 1) << isp.m_lasterror;
        } else {
            EXPECT_EQ(result, 0);
            EXPECT_NE(isp.m_lasterror.find("Mismatched firmware and Hub!"), std::string::npos) << isp.m_lasterror;
            EXPECT_EQ(WritesTo(sys.pc(), "H"), 0);
        }
    }
}

// Every image length from just past the configuration to four blocks of
// 256: the container ID, which may lie beyond the image, reaches the store.
TEST_F(TrialFaultsTest, EveryShortImageLengthUpdates) {
    struct Case {
        int imageClass;
        const char* marker;
        size_t store;
        size_t idOffset;
        size_t idLength;
    };
    const Case cases[] = {
        {1, "", 0x4000, 0x36E, 32},
        {2, "VXI2240", 0x5000, 0x1C0, 16},
        {5, "VXI2210", 0x8000, 0x1C0, 16},
    };
    sys.WriteIni("[FlashInfo]\nw25=" + TestFlashRow(128) + "\n");
    for (const Case& c : cases) {
        for (size_t length = 0x101; length <= 0x400; ++length) {
            // A fresh hub each time: what it is depends on its store.
            sys.Bench(TestFlashPart() + SpiHub("H", c.marker, "0x0B41"));
            CHubIsp isp;
            isp.m_quiet = 1;
            std::vector<uint8_t> data = Pattern(length, static_cast<uint8_t>(length));
            ASSERT_EQ(Update(isp, 0, c.imageClass, data), 1)
                << "class " << c.imageClass << " length " << std::hex << length << ": " << isp.m_lasterror;
            uint8_t id[32];
            std::memcpy(id, isp.ContainerId(), sizeof id);
            std::vector<uint8_t> store(sys.Store("H").begin(), sys.Store("H").begin() + static_cast<long>(c.store));
            ASSERT_EQ(store, Expected(data, c.store, c.idOffset, c.idLength, id))
                << "class " << c.imageClass << " length " << std::hex << length;
        }
    }
}

// A read the driver completes short delivers only part of a block; the rest
// of the record still holds the previous block.  A short read is a failed
// read: tried once more, and never compared as if it had been read.
TEST_F(TrialFaultsTest, AShortReadIsAFailedRead) {
    struct Case {
        const char* what;
        int shortReads;  // how many reads of the block come back short
        bool corrupt;    // the block in the store differs from the image
        int result;
    };
    const Case cases[] = {
        {"one short read is tried again", 1, false, 1},
        {"a block that stays short fails the update", 100, false, 0},
        {"a corrupted block hidden by short reads is found", 100, true, 0},
        {"a corrupted block read in full is found", 0, true, 0},
    };
    const uint16_t block = 0x4F00;  // padding: its neighbour reads the same
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        sys.WriteIni("[FlashInfo]\nw25=" + TestFlashRow(64) + "\n");
        sys.Bench(TestFlashPart() + SpiHub("H", "VXI2240", "0x0B41"));
        int shortLeft = c.shortReads;
        bool verifying = false;
        Interpose([&](const UsbRequestHeader& h, const uint8_t* sent, uint8_t* out, uint32_t* returned) {
            if (h.bRequest == 0x83 && h.wIndex == 0x00C0 && h.wLength) {  // the last write
                verifying = true;
                if (c.corrupt) sys.Store("H")[block + 5] = 0x00;
            }
            if (!verifying || h.bRequest != 0x82 || h.wIndex != block) return;
            if (shortLeft > 0) {
                --shortLeft;
                std::memcpy(out + 16, sent + 16, h.wLength);  // nothing delivered
                *returned = 16;
            }
        });
        std::vector<uint8_t> data = Pattern(0x4000, 5);
        CHubIsp isp;
        isp.m_quiet = 2;
        EXPECT_EQ(Update(isp, 0, 2, data), c.result) << isp.m_lasterror;
        if (c.result == 0) {
            EXPECT_NE(isp.m_lasterror.find("4f00"), std::string::npos) << isp.m_lasterror;
        }
    }
}

}  // namespace
