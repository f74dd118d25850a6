// The firmware update, end to end on the bench: block order, container ID,
// checksum, verification, reporting, and what every single failure does.
#include <gtest/gtest.h>

#include <cstring>

#include "hub/CHubIsp.h"
#include "support/bench_system.h"
#include "update_expect.h"

using tessaro::test::BenchSystem;
using tessaro::test::TestFlashPart;
using tessaro::test::TestFlashRow;

namespace {

using update_expect::Expected;
using update_expect::Pattern;

std::vector<uint16_t> Writes(bench::Pc& pc) {
    std::vector<uint16_t> out;
    for (const bench::LogEntry& e : pc.Requests())
        if (e.setup.bRequest == 0x83 && e.setup.wLength > 0 && e.ok) out.push_back(e.setup.wIndex);
    return out;
}

const char kSpiHub[] = "hub S\n  store spi W25\n  fill 5A\n  put 0x1D0 text \"VXI2240\"\n  function\nend\n";
const char kLiteHub[] = "hub L\n  store eeprom 256\n  isp yes\n  put 0x1C text \"EROM\"\n  function\nend\n";

class UpdateTest : public ::testing::Test {
protected:
    void SpiIni(int datasize = 64, const std::string& extra = "") {
        sys.WriteIni("[VX7100]\n" + extra + "[FlashInfo]\nw25=" + TestFlashRow(datasize) + "\n");
    }
    int Update(CHubIsp& isp, int imageClass, std::vector<uint8_t>& data) {
        status.Set("unchanged");
        return isp.UpdateFirmware(0, imageClass, data.data(), static_cast<int>(data.size()), &progress, &status,
                                  &errorFlag);
    }
    BenchSystem sys;
    ProgressByte progress{77};
    SharedText status;
    ErrorFlag errorFlag{5};
};

TEST_F(UpdateTest, AFullClass2ImageWritesTheChecksumBlockAndBlock3Last) {
    SpiIni();
    sys.Bench(TestFlashPart("W25", "  erase-time 300\n") + kSpiHub);
    std::vector<uint8_t> data = Pattern(0x5000, 3);
    std::memcpy(data.data() + 0x1D0, "VXI2240", 7);
    CHubIsp isp;
    ASSERT_EQ(Update(isp, 2, data), 1) << isp.m_lasterror;
    EXPECT_EQ(status.Get(), "");
    EXPECT_EQ(errorFlag.load(), 0);
    EXPECT_GE(progress.load(), 99);

    std::vector<uint16_t> writes = Writes(sys.pc());
    ASSERT_EQ(writes.size(), 320u);
    std::vector<uint16_t> expected;
    for (int b = 0; b <= 318; ++b)
        if (b != 3) expected.push_back(static_cast<uint16_t>(b * 64));
    expected.push_back(0x4FC0);
    expected.push_back(0x00C0);
    EXPECT_EQ(writes, expected);
    int verifies = 0;
    bool afterLastWrite = false;
    for (const bench::LogEntry& e : sys.pc().Requests()) {
        if (e.setup.bRequest == 0x83 && e.setup.wIndex == 0x00C0 && e.setup.wLength) afterLastWrite = true;
        if (afterLastWrite && e.setup.bRequest == 0x82 && e.setup.wLength == 64) ++verifies;
    }
    EXPECT_EQ(verifies, 320);
    std::vector<uint8_t> store(sys.Store("S").begin(), sys.Store("S").begin() + 0x5000);
    EXPECT_EQ(store, Expected(data, 0x5000, 0x1C0, 16, isp.ContainerId()));
    EXPECT_EQ(std::memcmp(data.data() + 0x1C0, isp.ContainerId(), 16), 0);
}

TEST_F(UpdateTest, AShortImageLeavesTheUnwrittenBlocksErased) {
    SpiIni();
    sys.Bench(TestFlashPart() + kSpiHub);
    std::vector<uint8_t> data = Pattern(0x4000, 9);
    CHubIsp isp;
    ASSERT_EQ(Update(isp, 2, data), 1) << isp.m_lasterror;
    std::vector<uint16_t> writes = Writes(sys.pc());
    ASSERT_EQ(writes.size(), 257u);  // N = 256 + 1 + 1, block 3 not twice
    EXPECT_EQ(writes[writes.size() - 2], 0x4FC0);
    EXPECT_EQ(writes.back(), 0x00C0);
    const std::vector<uint8_t>& store = sys.Store("S");
    for (int i = 0x4000; i < 0x4FFE; ++i) ASSERT_EQ(store[static_cast<size_t>(i)], 0xFF) << std::hex << i;
    std::vector<uint8_t> got(store.begin(), store.begin() + 0x5000);
    EXPECT_EQ(got, Expected(data, 0x5000, 0x1C0, 16, isp.ContainerId()));
}

TEST_F(UpdateTest, A256ByteEepromGets32WritesInAddressOrderWithoutErase) {
    sys.WriteIniWithLog("");
    sys.Bench(kLiteHub);
    std::vector<uint8_t> data = Pattern(256, 1);
    std::memcpy(data.data() + 0x1C, "EROM", 4);
    CHubIsp isp;
    ASSERT_EQ(Update(isp, 4, data), 1) << isp.m_lasterror;
    std::vector<uint16_t> writes = Writes(sys.pc());
    ASSERT_EQ(writes.size(), 32u);
    for (size_t i = 0; i < writes.size(); ++i) EXPECT_EQ(writes[i], i * 8);
    for (const bench::LogEntry& e : sys.pc().Requests()) {
        if (e.setup.bRequest == 0x83) {
            EXPECT_EQ(e.setup.wValue, 0x0200);
        }
    }
    EXPECT_FALSE(sys.debug.Contains("flash type ="));
    EXPECT_EQ(sys.Store("L"), Expected(data, 256, 0x90, 16, isp.ContainerId()));
}

TEST_F(UpdateTest, TwoUpdatesFromOneBufferGiveTwoContainerIds) {
    sys.Bench(kLiteHub);
    std::vector<uint8_t> data = Pattern(256, 2);
    std::memcpy(data.data() + 0x1C, "EROM", 4);
    CHubIsp isp;
    ASSERT_EQ(Update(isp, 4, data), 1);
    std::vector<uint8_t> first(isp.ContainerId(), isp.ContainerId() + 16);
    ASSERT_EQ(Update(isp, 4, data), 1);
    std::vector<uint8_t> second(isp.ContainerId(), isp.ContainerId() + 16);
    EXPECT_NE(first, second);
    EXPECT_TRUE(std::equal(second.begin(), second.end(), sys.Store("L").begin() + 0x90));
}

TEST_F(UpdateTest, TheContainerIdOfClass1IsInterleaved) {
    SpiIni();
    sys.Bench(TestFlashPart() + "hub S\n  store spi W25\n  function\nend\n");
    std::vector<uint8_t> data = Pattern(0x4000, 4);
    CHubIsp isp;
    ASSERT_EQ(Update(isp, 1, data), 1) << isp.m_lasterror;
    const uint8_t* id = isp.ContainerId();
    for (int i = 0; i < 16; ++i) {
        EXPECT_EQ(id[2 * i], 0);
        EXPECT_EQ(data[0x36E + 2 * i], 0);
        EXPECT_EQ(data[0x36E + 2 * i + 1], id[2 * i + 1]);
    }
    uint16_t sum = CalcChecksum(sys.Store("S").data(), 0x3FFE);
    EXPECT_EQ(sys.Store("S")[0x3FFE], sum >> 8);
    EXPECT_EQ(sys.Store("S")[0x3FFF], sum & 0xFF);
}

TEST_F(UpdateTest, AShortImageIsStampedOnlyWithinItsLength) {
    sys.Bench(kLiteHub);
    std::vector<uint8_t> data(0x98, 0x11);
    std::memcpy(data.data() + 0x1C, "EROM", 4);
    std::vector<uint8_t> guard = data;
    CHubIsp isp;
    ASSERT_EQ(Update(isp, 4, data), 1) << isp.m_lasterror;
    EXPECT_TRUE(std::equal(data.begin() + 0x90, data.end(), isp.ContainerId()));
    EXPECT_TRUE(std::equal(isp.ContainerId(), isp.ContainerId() + 16, sys.Store("L").begin() + 0x90));
    EXPECT_EQ(sys.Store("L")[0xA0], 0xFF);
}

TEST_F(UpdateTest, WhatCannotBeWrittenIsRefusedBeforeTheHubIsTouched) {
    sys.Bench(kLiteHub);
    CHubIsp isp;
    isp.m_quiet = 2;  // reporting on, no boxes
    std::vector<uint8_t> data(256, 0);
    EXPECT_EQ(Update(isp, 6, data), 0);
    EXPECT_EQ(isp.m_lasterror, "Unsupported image class 6!");
    EXPECT_EQ(status.Get(), "Unsupported image class 6!");
    EXPECT_EQ(errorFlag.load(), 1);
    std::vector<uint8_t> big(0x101, 0);
    EXPECT_EQ(Update(isp, 4, big), 0);
    EXPECT_EQ(isp.m_lasterror, "Image size 257 does not fit the store of 256 bytes!");
    EXPECT_EQ(isp.UpdateFirmware(0, 4, nullptr, 0, &progress, &status, &errorFlag), 0);
    EXPECT_EQ(isp.m_lasterror, "Data buffer is null!");
    EXPECT_TRUE(sys.pc().Requests().empty());
}

TEST_F(UpdateTest, AnUnknownHubReportsItsIndex) {
    sys.Bench("hub L\n  store eeprom 256\n  function\nend\n");
    CHubIsp isp;
    std::vector<uint8_t> data(256, 0);
    EXPECT_EQ(Update(isp, 4, data), 0);
    EXPECT_EQ(sys.box.Texts(), (std::vector<std::string>{"Determine hub part number failed!",
                                                         "Determine hub part number failed!"}));
    EXPECT_EQ(status.Get(), "Hub 0 is unknown type!");
    EXPECT_EQ(errorFlag.load(), 1);
    EXPECT_TRUE(Writes(sys.pc()).empty());
}

TEST_F(UpdateTest, QuietModeReportsNothingButAnEmptyStatus) {
    sys.Bench("hub L\n  store eeprom 256\n  function\nend\n");
    CHubIsp isp;
    isp.m_quiet = 1;
    std::vector<uint8_t> data(256, 0);
    EXPECT_EQ(Update(isp, 4, data), 0);
    EXPECT_TRUE(sys.box.Boxes().empty());
    EXPECT_EQ(progress.load(), 77);
    EXPECT_EQ(errorFlag.load(), 5);
    EXPECT_EQ(status.Get(), "");
    EXPECT_EQ(isp.m_lasterror, "Hub 0 is unknown type!");
}

TEST_F(UpdateTest, Mode2270SkipsThePartAndWrites64ByteBlocks) {
    sys.WriteIniWithLog("2270_Mode=1\n[FlashInfo]\nw25=" + TestFlashRow(128, "00 00 00 00 00 00 00 00 00 00") + "\n");
    // A blank part: with no erase, only a blank store can take the image.
    sys.Bench(TestFlashPart() + "hub S\n  store spi W25\n  function\nend\n");
    std::vector<uint8_t> data = Pattern(0x4000, 5);
    CHubIsp isp;
    ASSERT_EQ(Update(isp, 1, data), 1) << isp.m_lasterror;
    EXPECT_FALSE(sys.debug.Contains("flash type ="));
    for (const bench::LogEntry& e : sys.pc().Requests()) {
        if (e.setup.bRequest == 0x83) {
            EXPECT_NE(e.setup.wValue & 0xFF, 0x01) << "no erase";
            EXPECT_EQ(e.setup.wLength, 64);
        }
    }
    std::vector<uint16_t> writes = Writes(sys.pc());
    ASSERT_EQ(writes.size(), 256u);
    EXPECT_EQ(writes.back(), 0x00C0);  // the SPI order holds: block 3 last
}

TEST_F(UpdateTest, PartsThatProtectThemselvesGetTheirSequenceBeforeEveryBlock) {
    SpiIni(64);
    sys.WriteIni("[FlashInfo]\np=" + TestFlashRow(64, "00 00 00 00 00 62 06 98 00 00") + "\n");
    sys.Bench(TestFlashPart("W25", "  unprotect 06 98 after-isp\n  reprotect after-program\n") + kSpiHub);
    std::vector<uint8_t> data = Pattern(0x5000, 6);
    CHubIsp isp;
    ASSERT_EQ(Update(isp, 2, data), 1) << isp.m_lasterror;
    std::vector<uint8_t> store(sys.Store("S").begin(), sys.Store("S").begin() + 0x5000);
    EXPECT_EQ(store, Expected(data, 0x5000, 0x1C0, 16, isp.ContainerId()));
}

TEST_F(UpdateTest, EepromHubsNeverReceiveFlashCommands) {
    // Row 0 asks for per-block un-protect commands; an EEPROM hub must not get them.
    sys.WriteIni("[FlashInfo]\np=" + TestFlashRow(64, "00 00 00 00 00 62 06 98 00 00") + "\n");
    sys.Bench(kLiteHub);
    std::vector<uint8_t> data = Pattern(256, 7);
    std::memcpy(data.data() + 0x1C, "EROM", 4);
    CHubIsp isp;
    ASSERT_EQ(Update(isp, 4, data), 1) << isp.m_lasterror;
    for (const bench::LogEntry& e : sys.pc().Requests()) EXPECT_NE(e.setup.wValue & 0xFF, 0x06);
}

TEST_F(UpdateTest, AHubListChangedDuringTheEraseStopsTheUpdateBeforeAnyWrite) {
    SpiIni();
    // Hub B is updated; hub A leaves the bus while B's erase is read back.
    sys.Bench(TestFlashPart() + "hub A\n  store eeprom 256\n  function vid 0x2C7E pid 0x0B41\nend\n" + kSpiHub);
    class Unplugger : public tessaro::IDriver {
    public:
        Unplugger(tessaro::IDriver* inner, bench::Pc* pc) : m_inner(inner), m_pc(pc) {}
        tessaro::Handle Open(const std::string& name) override { return m_inner->Open(name); }
        bool IoControl(tessaro::Handle h, uint32_t code, const void* in, uint32_t inSize, void* out, uint32_t outSize,
                       uint32_t* returned) override {
            bool ok = m_inner->IoControl(h, code, in, inSize, out, outSize, returned);
            UsbRequestHeader header;
            if (code == VX_IOCTL_USB_REQUEST && inSize >= sizeof header) {
                std::memcpy(&header, in, sizeof header);
                // The last block of the blank check after the erase.
                if (header.bRequest == 0x82 && header.wIndex == 0x180) m_pc->Unplug("A");
            }
            return ok;
        }
        void Close(tessaro::Handle h) override { m_inner->Close(h); }

    private:
        tessaro::IDriver* m_inner;
        bench::Pc* m_pc;
    } unplugger(sys.pc().Ports().driver, &sys.pc());
    tessaro::System s;
    s.driver = &unplugger;
    sys.Install(s);
    std::vector<uint8_t> data = Pattern(0x5000, 8);
    CHubIsp isp;
    EXPECT_EQ(isp.UpdateFirmware(1, 2, data.data(), 0x5000, &progress, &status, &errorFlag), 0);
    EXPECT_EQ(isp.m_lasterror, "Hub index ERROR!");
    EXPECT_TRUE(Writes(sys.pc()).empty());
}

// Every single failed request of an update: either the update recovers (the
// request is one that is tried twice) and the store holds the image, or it
// ends in failure with a reason.  Never a success over a wrong store.
void SweepSingleFailures(UpdateTest& t, BenchSystem& sys, const std::string& ini, const std::string& bench,
                         int imageClass, std::vector<uint8_t> data, size_t storeSize, size_t idOffset) {
    sys.WriteIni(ini);
    sys.Bench(bench);
    std::vector<uint8_t> clean = data;
    CHubIsp isp;
    ProgressByte progress{0};
    SharedText status;
    ErrorFlag errorFlag{0};
    ASSERT_EQ(isp.UpdateFirmware(0, imageClass, clean.data(), static_cast<int>(clean.size()), &progress, &status,
                                 &errorFlag),
              1);
    size_t total = sys.pc().Requests().size();
    std::vector<bench::LogEntry> reference = sys.pc().Requests();
    int recovered = 0, failed = 0;
    for (size_t n = 1; n <= total; ++n) {
        // A failed block write or verify read is tried once more and recovered.
        const bench::LogEntry& r = reference[n - 1];
        bool block = (r.setup.bRequest == 0x83 && r.setup.wLength > 0) ||
                     (r.setup.bRequest == 0x82 && r.setup.wLength >= 8 && r.setup.wValue != 0x0004 &&
                      (r.setup.wValue & 0xFF) == 0);
        // Every request that is not one of the many alike blocks, and a
        // sample of those.
        if (block && n % 7 != 0 && n != total) continue;
        sys.Bench(bench + "fault fail nth " + std::to_string(n) + "\n");
        std::vector<uint8_t> copy = data;
        CHubIsp run;
        run.m_quiet = 2;
        errorFlag = 0;
        status.Set("");
        int result = run.UpdateFirmware(0, imageClass, copy.data(), static_cast<int>(copy.size()), &progress, &status,
                                        &errorFlag);
        if (result == 1) {
            ++recovered;
            std::vector<uint8_t> store(sys.Store("H").begin(), sys.Store("H").begin() + static_cast<long>(storeSize));
            uint8_t id[32];
            std::memcpy(id, run.ContainerId(), sizeof id);
            ASSERT_EQ(store, Expected(copy, storeSize, idOffset, 16, id)) << "request " << n;
            EXPECT_EQ(errorFlag.load(), 0);
        } else {
            ++failed;
            EXPECT_FALSE(run.m_lasterror.empty()) << "request " << n;
            EXPECT_EQ(status.Get(), run.m_lasterror) << "request " << n;
            EXPECT_EQ(errorFlag.load(), 1) << "request " << n;
        }
        if (block) {
            EXPECT_EQ(result, 1) << "request " << n << " is tried twice";
        }
    }
    EXPECT_GT(recovered, 0);
    EXPECT_GT(failed, 0);
    (void)t;
}

// The EEPROM here finishes its write cycle at once: with a real cycle every
// block already needs its second attempt, and one more failure ends the update.
TEST_F(UpdateTest, EverySingleFailureOfAnEepromUpdate) {
    std::vector<uint8_t> data = Pattern(256, 11);
    std::memcpy(data.data() + 0x1C, "EROM", 4);
    SweepSingleFailures(*this, sys, "[VX7100]\n",
                        "hub H\n  store eeprom 256 write-time 0\n  isp yes\n  put 0x1C text \"EROM\"\n  function\nend\n", 4, data,
                        256, 0x90);
}

TEST_F(UpdateTest, EverySingleFailureOfASpiUpdate) {
    std::vector<uint8_t> data = Pattern(0x3000, 12);
    std::memcpy(data.data() + 0x1D0, "VXI2240", 7);
    SweepSingleFailures(*this, sys, "[FlashInfo]\nw25=" + TestFlashRow(128, "50 00 00 00 00 00 00 00 00 00") + "\n",
                        TestFlashPart("W25", "  ewsr 50\n") +
                            "hub H\n  store spi W25\n  put 0x1D0 text \"VXI2240\"\n  function\nend\n",
                        2, data, 0x5000, 0x1C0);
}

TEST_F(UpdateTest, ABlockWriteThatFailsTwiceEndsTheUpdate) {
    SpiIni();
    sys.Bench(TestFlashPart() + kSpiHub + "fault fail request 0x83 index 0x0100 first 2\n");
    std::vector<uint8_t> data = Pattern(0x5000, 13);
    CHubIsp isp;
    EXPECT_EQ(Update(isp, 2, data), 0);
    EXPECT_EQ(status.Get(), "Write data failed! address 0100");
    EXPECT_EQ(sys.box.Texts().back(), "Write data failed! address 0100");
}

}  // namespace
