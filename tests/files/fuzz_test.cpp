// Files of every length from 0 to 0x8100 bytes with random content go
// through classification, loading, version, merging and decoding.  Run under
// the sanitizers this catches any read or write outside a buffer.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <random>

#include "files/ConfigBlock.h"
#include "files/EepFile.h"
#include "files/FirmwareImage.h"
#include "files/StoreFiles.h"
#include "files_fixture.h"
#include "hub/CHubIsp.h"

using namespace filetest;

namespace {

constexpr size_t kMaxLength = 0x8100;

// Random bytes, with a marker planted now and then so the interesting
// branches of the classification are reached too.
class Bytes {
public:
    Bytes() : m_random(20240601u), m_pool(kMaxLength + 0x400) {
        for (uint8_t& b : m_pool) b = static_cast<uint8_t>(m_random());
    }
    std::vector<uint8_t> Make(size_t length) {
        const size_t start = m_random() % 0x400;
        std::vector<uint8_t> out(m_pool.begin() + static_cast<long>(start),
                                 m_pool.begin() + static_cast<long>(start + length));
        static const char* const kMarkers[] = {"VXI2240", "VXI2260", "VXI2250", "VXI2210", "EROM"};
        if (length > 0 && m_random() % 3 == 0) {
            const char* marker = kMarkers[m_random() % 5];
            const size_t at = (marker[0] == 'E' ? 0x1C : 0x1C8 + m_random() % 0x50);
            for (size_t i = 0; marker[i] && at + i < length; ++i) out[at + i] = static_cast<uint8_t>(marker[i]);
        }
        if (length > 0 && m_random() % 2 == 0) out[0] = m_random() % 2 ? 0x55 : 0xAA;
        return out;
    }

private:
    std::mt19937 m_random;
    std::vector<uint8_t> m_pool;
};

}  // namespace

class FuzzFiles : public ::testing::Test {
protected:
    FuzzFiles() : faulty(sys.files.get()) {
        tessaro::System extra;
        extra.files = &faulty;
        sys.Install(extra);
        faulty.findNothing = true;  // no INI file: the diagnostic log stays silent and cheap
    }
    tessaro::test::TestSystem sys;
    FaultyFiles faulty;
};

TEST_F(FuzzFiles, EveryLengthUpTo0x8100) {
    Bytes bytes;
    const std::string image = "fuzz\\image.bin";
    const std::string eep = "fuzz\\config.eep";
    const LoadOwner owners[] = {LoadOwner::MainDialog, LoadOwner::Console, LoadOwner::HubPage};
    ConfigFormat formats[7];
    int n = 0;
    for (int type : {1, 2, 4, -1}) ConfigFormatForHubType(type, &formats[n++]);
    for (int type : {2, -1, 1}) {
        ConfigFormatForHubType(type, &formats[n]);
        formats[n++].form = ConfigForm::Compact;
    }

    int classes[7] = {};
    for (size_t length = 0; length <= kMaxLength; ++length) {
        const std::vector<uint8_t> data = bytes.Make(length);
        const int size = static_cast<int>(length);

        const int cls = CHubIsp::ClassifyImage(data.data(), size);
        ASSERT_TRUE(cls == -1 || cls == 1 || cls == 2 || cls == 4 || cls == 5) << length;
        classes[cls + 1]++;
        ReadImageVersion(data.data(), size);
        ImageProductId(data.data(), size, cls);

        faulty.Put(image, data);
        const int hubType = static_cast<int>(length % 7) - 1;
        const FirmwareLoad load = LoadFirmwareImage(image, "image.bin", owners[length % 3], hubType);
        ASSERT_EQ(load.imageClass, load.imageRead ? cls : -1) << length;
        ASSERT_EQ(load.image.size(), length);

        for (const ConfigFormat& f : formats) DecodeConfig(data.data(), size, f);
        StoreVersionFromBlock(data.data(), size);

        faulty.Put(eep, data);
        const EepLoad config = LoadEepForHub(eep, "config.eep", hubType, EepOwner::Console);
        if (config.ok) {
            ASSERT_EQ(config.block.size(), length);
            ASSERT_EQ(CheckEepBlock(config.block.data(), size) == EepCheck::Ok, data[0] == 0x55 || data[0] == 0xAA);
        }

        // Merging a block of this length, and a fixed block into an image of
        // this length.
        if (length % 17 == 0) {
            std::vector<uint8_t> target = data;
            MergeConfigIntoImage(target, cls, data.data(), size, 512);
            ASSERT_TRUE(cls == 4 || length == 0 || target.size() >= 0x300) << length;
            const SumImage sum = BuildSumImage(data.data(), size, cls == -1 ? 1 : cls, data.data(), size,
                                               ReadImageVersion(data.data(), size));
            ASSERT_EQ(sum.bytes.size(), static_cast<size_t>(StoreSize(cls == -1 ? 1 : cls)));
        }
    }
    // Each class was reached.
    EXPECT_GT(classes[0], 0);
    EXPECT_GT(classes[2], 0);
    EXPECT_GT(classes[3], 0);
    EXPECT_GT(classes[5], 0);
    EXPECT_GT(classes[6], 0);
}
