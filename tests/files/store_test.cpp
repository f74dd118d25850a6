// The store tools' data: the version held in a hub, .rom dumps, .sum images.
#include <gtest/gtest.h>

#include <functional>

#include "files/FilePort.h"
#include "files/StoreFiles.h"
#include "files_fixture.h"
#include "hub/CHubIsp.h"

using namespace filetest;

TEST(Checksum, ByteSumModulo16Bits) {
    const uint8_t abc[] = {'a', 'b', 'c'};
    EXPECT_EQ(CalcChecksum(abc, 3), 0x0126);
    const std::vector<uint8_t> ff(0x10000, 0xFF);
    EXPECT_EQ(CalcChecksum(ff.data(), 0x10000), static_cast<uint16_t>(0x10000u * 0xFF));
    EXPECT_EQ(CalcChecksum(nullptr, 10), 0);
    EXPECT_EQ(CalcChecksum(abc, 0), 0);
}

TEST(SumImage, AllErasedEepromImage) {
    const std::vector<uint8_t> image(256, 0xFF);
    SumImage s = BuildSumImage(image.data(), 256, 4, nullptr, 0, ImageVersion{0xFF, 0xFF});
    ASSERT_TRUE(s.ok);
    ASSERT_EQ(s.bytes.size(), 256u);
    EXPECT_EQ(s.bytes[0xFE], 0xFD);
    EXPECT_EQ(s.bytes[0xFF], 0x02);
    EXPECT_EQ(s.okText, "Save OK! checksum = 0xFE01");
    EXPECT_EQ(s.defaultName, ".\\FFFF");
}

TEST(SumImage, AllErasedClassOneImage) {
    const std::vector<uint8_t> image(0x4000, 0xFF);
    SumImage s = BuildSumImage(image.data(), 0x4000, 1, nullptr, 0, ImageVersion{});
    ASSERT_TRUE(s.ok);
    EXPECT_EQ(s.checksum, 0xBE02);
    EXPECT_EQ(s.bytes[0x3FFE], 0xBE);
    EXPECT_EQ(s.bytes[0x3FFF], 0x02);
    EXPECT_EQ(s.reportedSum, 0xBEC2);
}

TEST(SumImage, ShortImageIsPaddedToTheStoreSize) {
    std::vector<uint8_t> image(0x1234, 0x00);
    SumImage s = BuildSumImage(image.data(), 0x1234, 2, nullptr, 0, ImageVersion{});
    ASSERT_EQ(s.bytes.size(), 0x5000u);
    EXPECT_EQ(s.bytes[0x1233], 0x00);
    EXPECT_EQ(s.bytes[0x1234], 0xFF);
    EXPECT_EQ(s.bytes[0x4FFD], 0xFF);
    EXPECT_EQ(CalcChecksum(s.bytes.data(), 0x4FFE), s.checksum);

    // A longer image is cut at the store size.
    std::vector<uint8_t> longer(0x9000, 0x01);
    EXPECT_EQ(BuildSumImage(longer.data(), 0x9000, 5, nullptr, 0, ImageVersion{}).bytes.size(), 0x8000u);
}

TEST(SumImage, ConfigurationKeepsTheImageVersion) {
    std::vector<uint8_t> image(0x5000, 0x00);
    image[0x10E] = 0x34;
    image[0x10F] = 0x12;
    std::vector<uint8_t> config(512, 0x77);  // the main dialog's 512-byte buffer
    SumImage s = BuildSumImage(image.data(), 0x5000, 2, config.data(), 512, ImageVersion{0x12, 0x34});
    EXPECT_EQ(s.bytes[0x100], 0x77);
    EXPECT_EQ(s.bytes[0x18F], 0x77);
    EXPECT_EQ(s.bytes[0x190], 0x00) << "144 bytes for class 2";
    EXPECT_EQ(s.bytes[0x10E], 0x34);
    EXPECT_EQ(s.bytes[0x10F], 0x12);
    EXPECT_EQ(s.defaultName, ".\\1234");

    // Class 4 takes no configuration and gets no version bytes written.
    std::vector<uint8_t> lite(256, 0x00);
    SumImage e = BuildSumImage(lite.data(), 256, 4, config.data(), 512, ImageVersion{0x12, 0x34});
    EXPECT_EQ(e.bytes[0x00], 0x00);
    EXPECT_EQ(e.bytes.size(), 256u);

    EXPECT_FALSE(BuildSumImage(image.data(), 0x5000, 0, nullptr, 0, ImageVersion{}).ok);
}

TEST(StoreVersion, MaskOrFourDigits) {
    std::vector<uint8_t> block(144, 0x00);
    block[14] = 0xFF;
    block[15] = 0xFF;
    StoreVersion v = StoreVersionFromBlock(block.data(), 144);
    EXPECT_TRUE(v.masked);
    EXPECT_EQ(v.text, "Mask");
    block[14] = 0x0A;
    block[15] = 0x01;
    v = StoreVersionFromBlock(block.data(), 144);
    EXPECT_FALSE(v.masked);
    EXPECT_EQ(v.text, "010A");
    EXPECT_EQ(StoreVersionFromBlock(block.data(), 15).text, "FF0A");
    EXPECT_TRUE(StoreVersionFromBlock(block.data(), 14).masked);

    UiReport main = StoreVersionReadFailed(ToolOwner::MainDialog, "why");
    EXPECT_EQ(main.box, "Read XROM Fail!");
    EXPECT_EQ(main.status, "Read XROM data failed!");
    UiReport console = StoreVersionReadFailed(ToolOwner::Console, "why");
    EXPECT_EQ(console.message, "why");
    EXPECT_TRUE(console.box.empty());
    UiReport page = StoreVersionReadFailed(ToolOwner::HubPage, "why");
    EXPECT_TRUE(page.box.empty());
    EXPECT_EQ(page.style, StatusStyle::Failure);
}

TEST(Dump, DefaultNamesFromTheStoredVersion) {
    std::vector<uint8_t> eeprom(256, 0x00);
    eeprom[0x0E] = 0x34;
    eeprom[0x0F] = 0x12;
    ImageVersion v = StoreVersionBytes(eeprom.data(), 256, 4);
    EXPECT_EQ(DefaultStoreFileName(v.high, v.low), ".\\1234");
    std::vector<uint8_t> flash(0x5000, 0x00);
    flash[0x10E] = 0xCD;
    flash[0x10F] = 0xAB;
    v = StoreVersionBytes(flash.data(), 0x5000, 3);
    EXPECT_EQ(DefaultStoreFileName(v.high, v.low), ".\\ABCD");
}

class WriteStoreFiles : public FilesTest {};

TEST_F(WriteStoreFiles, DumpReportsSuccessAndFailure) {
    const std::vector<uint8_t> store(0x5000, 0x5A);
    const std::string path = Program("1234.rom");
    UiReport r;
    ASSERT_TRUE(WriteDumpFile(path, store, ToolOwner::MainDialog, 1, &r));
    ASSERT_NE(faulty.Get(path), nullptr);
    EXPECT_EQ(*faulty.Get(path), store);
    EXPECT_EQ(r.box, "XROM data is dumped successfully.");
    EXPECT_EQ(r.status, "XROM data is dumped successfully.");

    ASSERT_TRUE(WriteDumpFile(path, store, ToolOwner::HubPage, 3, &r));
    EXPECT_EQ(r.status, "Hub3 dump successfully.");
    EXPECT_EQ(r.style, StatusStyle::ToolSuccess);

    faulty.FailWrite(SaveTemporaryName(path), tessaro::win::kErrDiskFull);
    EXPECT_FALSE(WriteDumpFile(path, store, ToolOwner::MainDialog, 1, &r));
    EXPECT_EQ(r.box, "XROM data is dumped failed.");
    EXPECT_EQ(r.boxStyle, tessaro::win::kMbIconError | tessaro::win::kMbSystemModal);
    EXPECT_TRUE(r.status.empty()) << "never the success text";
    EXPECT_TRUE(Logged("There is not enough space on the disk."));

    EXPECT_FALSE(WriteDumpFile(path, store, ToolOwner::HubPage, 2, &r));
    EXPECT_EQ(r.box, "XROM data is dumped failed.");
    EXPECT_EQ(r.boxStyle, tessaro::win::kMbIconInformation | tessaro::win::kMbSystemModal);
    EXPECT_EQ(r.status, "Hub2 dump failed.");
    EXPECT_EQ(r.style, StatusStyle::Failure);
}

TEST_F(WriteStoreFiles, SumReportsSuccessAndFailure) {
    const std::vector<uint8_t> image(256, 0xFF);
    const SumImage sum = BuildSumImage(image.data(), 256, 4, nullptr, 0, ImageVersion{});
    const std::string path = Program("FFFF.sum");
    UiReport r;
    ASSERT_TRUE(WriteSumFile(path, sum, ToolOwner::HubPage, &r));
    EXPECT_EQ(*faulty.Get(path), sum.bytes);
    EXPECT_EQ(r.status, "Save OK! checksum = 0xFE01");
    EXPECT_EQ(r.style, StatusStyle::ToolSuccess);
    EXPECT_TRUE(r.box.empty());

    faulty.FailWrite(SaveTemporaryName(path), tessaro::win::kErrDiskFull);
    EXPECT_FALSE(WriteSumFile(path, sum, ToolOwner::MainDialog, &r));
    EXPECT_EQ(r.box, "Couldn't save checksum file!\n\n" + path + "\n\nThere is not enough space on the disk.");
    EXPECT_EQ(r.status, "Save with checksum failed!");
    EXPECT_EQ(r.status.find("Save OK"), std::string::npos);
}

TEST_F(WriteStoreFiles, AFailedSaveLeavesTheOldFileAndNoPartialOne) {
    // Each kind of save, each way a save can fail half-way: the file of the
    // name stays byte for byte what it was (or stays absent), and nothing
    // half-written is left beside it for a later package run to pick up.
    const std::vector<uint8_t> image(256, 0xFF);
    const SumImage sum = BuildSumImage(image.data(), 256, 4, nullptr, 0, ImageVersion{});
    const std::vector<uint8_t> store(0x5000, 0x5A);
    const std::vector<uint8_t> eep(144, 0x55);
    using Save = std::function<bool(const std::string&)>;
    struct Kind {
        const char* name;
        size_t size;
        Save save;
    } kinds[] = {
        {"0102.sum", sum.bytes.size(), [&](const std::string& p) { return WriteSumFile(p, sum, ToolOwner::MainDialog, nullptr); }},
        {"0102.rom", store.size(), [&](const std::string& p) { return WriteDumpFile(p, store, ToolOwner::HubPage, 1, nullptr); }},
        {"hub.eep", eep.size(), [&](const std::string& p) {
             uint32_t error = 0;
             return WriteWholeFile(p, eep.data(), eep.size(), error);
         }},
    };
    enum Fault { CannotCreate, MidWrite, Close, Rename };
    int n = 0;
    for (const Kind& kind : kinds) {
        for (Fault fault : {CannotCreate, MidWrite, Close, Rename}) {
            for (bool hadOld : {true, false}) {
                SCOPED_TRACE(std::string(kind.name) + " fault " + std::to_string(fault) + (hadOld ? " over an old file" : ""));
                // A name of its own for every case: the injected faults stay with their case.
                const std::string path = Program(std::to_string(++n) + "-" + kind.name);
                const std::string temporary = SaveTemporaryName(path);
                const std::vector<uint8_t> old = {'o', 'l', 'd'};
                if (hadOld) faulty.Put(path, old);
                if (fault == Rename)
                    faulty.FailRename(path, tessaro::win::kErrAccessDenied);
                else
                    faulty.FailWrite(temporary, tessaro::win::kErrDiskFull,
                                     fault == CannotCreate ? -1 : fault == MidWrite ? 100 : static_cast<long>(kind.size));
                EXPECT_FALSE(kind.save(path));
                if (hadOld) {
                    ASSERT_NE(faulty.Get(path), nullptr);
                    EXPECT_EQ(*faulty.Get(path), old);
                } else {
                    EXPECT_FALSE(faulty.Exists(path));
                }
                EXPECT_FALSE(faulty.Exists(temporary));
            }
        }
    }
}
