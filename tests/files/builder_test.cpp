// The sample builder and the text form of configurations.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

#include "files/ConfigText.h"
#include "files/FirmwareImage.h"
#include "files/ImageBuilder.h"
#include "files/StoreFiles.h"
#include "hub/CHubIsp.h"
#include "platform/ports.h"

namespace {

std::string SamplesFolder() {
    std::string root = tessaro::GetEnv("TESSARO_TEST_SOURCE");
    if (root.empty()) {
        root = __FILE__;
        for (int up = 0; up < 3; ++up) root = root.substr(0, root.find_last_of("\\/"));
    }
    return root + "/tools/image/samples/";
}

std::string SampleText(const std::string& name) {
    std::ifstream in(SamplesFolder() + name, std::ios::binary);
    EXPECT_TRUE(in.good()) << name;
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

SampleFiles Build(const std::string& description) {
    SampleFiles s;
    std::string error;
    EXPECT_TRUE(BuildSample(description, &s, &error)) << error;
    return s;
}

std::string BuildError(const std::string& description) {
    SampleFiles s;
    std::string error;
    EXPECT_FALSE(BuildSample(description, &s, &error));
    return error;
}

}  // namespace

TEST(Samples, EachCommittedSampleIsWhatItClaims) {
    struct Expect {
        const char* file;
        int cls;
        size_t size;
        const char* version;
        uint16_t product;
    } samples[] = {
        {"vx7100-10.desc", 1, 0x4000, "0105", 0x0B42},
        {"vx7101-21.desc", 2, 0x5000, "0210", 0x0B46},
        {"vx7101-21-short.desc", 2, 0x3000, "0211", 0x0B47},
        {"vx7103-spi.desc", 5, 0x8000, "0301", 0x0B46},
        {"vx7103-eeprom.desc", 4, 0x100, "0001", 0x0B46},
    };
    for (const Expect& e : samples) {
        SCOPED_TRACE(e.file);
        const SampleFiles s = Build(SampleText(e.file));
        ASSERT_TRUE(s.hasImage);
        const int length = static_cast<int>(s.image.size());
        EXPECT_EQ(CHubIsp::ClassifyImage(s.image.data(), length), e.cls);
        EXPECT_EQ(s.image.size(), e.size);
        const ImageVersion v = ReadImageVersion(s.image.data(), length);
        EXPECT_EQ(VersionText(v.high, v.low), e.version);
        EXPECT_EQ(ImageProductId(s.image.data(), length, e.cls), e.product);
        if (s.hasConfig && e.cls != 4) {
            // The block at 0x100 is the described configuration (its version
            // word is the image's).
            HubConfig inImage = DecodeConfig(s.image.data() + 0x100, s.format.size, s.format);
            inImage.firmwareVersion = s.model.firmwareVersion;
            if (s.format.layout == ConfigLayout::Compact) {
                EXPECT_EQ(CheckEepBlock(s.image.data() + 0x100, 144), EepCheck::Ok);
            }
            EXPECT_TRUE(inImage == s.model);
        }
    }
    EXPECT_EQ(Build(SampleText("unknown.desc")).imageClass, -1);

    const SampleFiles wide = Build(SampleText("vx7100-10.eep.desc"));
    EXPECT_FALSE(wide.hasImage);
    EXPECT_EQ(wide.config.size(), 512u);
    EXPECT_EQ(wide.config[0x21], 62);
    const SampleFiles compact = Build(SampleText("vx7101-21.eep.desc"));
    EXPECT_EQ(compact.config.size(), 144u);
    EXPECT_EQ(CheckEepBlock(compact.config.data(), 144), EepCheck::Ok);
}

TEST(Samples, EveryConfigurationCarriesTheHubsOwnVendorId) {
    // Every committed description, so a sample added later is checked too:
    // the block it builds (and the copy inside its image) names 0x2C7E.
    int checked = 0;
    for (const auto& entry : std::filesystem::directory_iterator(SamplesFolder())) {
        const std::string name = entry.path().filename().string();
        if (entry.path().extension() != ".desc") continue;
        SCOPED_TRACE(name);
        const SampleFiles s = Build(SampleText(name));
        if (!s.hasConfig) continue;
        struct Copy {
            const std::vector<uint8_t>* bytes;
            size_t at;  // where the block starts
        } copies[] = {{&s.config, 0}, {s.hasImage ? &s.image : nullptr, s.imageClass == 4 ? 0u : 0x100u}};
        for (const Copy& c : copies) {
            if (!c.bytes) continue;
            ASSERT_GT(c.bytes->size(), c.at + 2);
            EXPECT_EQ((*c.bytes)[c.at + 1] | (*c.bytes)[c.at + 2] << 8, 0x2C7E) << "block at " << c.at;
        }
        ++checked;
    }
    EXPECT_GE(checked, 6) << "the samples with a configuration";
}

TEST(Samples, EepromImageWithChecksumIsAReadySum) {
    const SampleFiles s = Build(SampleText("vx7103-eeprom.desc") + "\n[image]\nchecksum = yes\n");
    ASSERT_EQ(s.image.size(), 256u);
    const uint16_t sum = CalcChecksum(s.image.data(), 254);
    EXPECT_EQ(s.image[254], sum >> 8);
    EXPECT_EQ(s.image[255], sum & 0xFF);
    EXPECT_EQ(std::string(s.image.begin() + 0x1C, s.image.begin() + 0x20), "EROM");
}

TEST(Samples, EdgeImagesForTests) {
    // A marker after NUL bytes, placed by raw bytes.
    SampleFiles s = Build("[image]\nclass = 5\nfill = 0\nmarker = VXI2250\nmarker_offset = 0x1F0\n");
    EXPECT_EQ(s.imageClass, 5);
    // check_class = no lets an image contradict its class on purpose.
    s = Build("[image]\nclass = 2\nbytes = 0x1D3 00\ncheck_class = no\n");
    EXPECT_EQ(s.imageClass, 1);
    s = Build("[image]\nclass = 1\nsize = 257\n");
    EXPECT_EQ(s.image.size(), 257u);
    EXPECT_EQ(s.imageClass, 1);
    // An empty or short EEPROM image takes as much of its configuration as fits.
    s = Build("[image]\nclass = 4\nsize = 0\nmarker = none\ncheck_class = no\n[config]\nvid = 0x2C7E\n");
    EXPECT_TRUE(s.image.empty());
    EXPECT_EQ(s.config.size(), 256u);
    s = Build("[image]\nclass = 4\nsize = 2\nmarker = none\ncheck_class = no\n[config]\nvid = 0x2C7E\n");
    EXPECT_EQ(s.image, std::vector<uint8_t>(s.config.begin(), s.config.begin() + 2));
}

TEST(Samples, MistakesAreReportedWithTheirLine) {
    EXPECT_EQ(BuildError("[image]\nclass = 2\nsiez = 10\n"), "line 3: unknown image key siez");
    EXPECT_EQ(BuildError("vid = 0x10000\n"), "line 1: bad value for vid: 0x10000");
    EXPECT_EQ(BuildError("[image]\nclass = 3\n"), "line 2: class must be -1, 1, 2, 4 or 5");
    EXPECT_EQ(BuildError("[image]\nclass = 2\nmarker = none\n"), "the image classifies as 1, not 2");
    EXPECT_EQ(BuildError("[image]\nclass = 2\n[config]\nlayout = wide\n"), "a class-2 image holds a compact configuration");
    EXPECT_EQ(BuildError("[image]\nclass = 1\nsize = 0x200\n[config]\nvid = 1\n"),
              "the image is too short for its configuration block at 0x100");
    EXPECT_EQ(BuildError("[image]\nclass = 2\nbytes = 0x5000 01\n"), "bytes lie outside the image");
    EXPECT_EQ(BuildError("[image]\nclass = 4\nsize = 0\n[config]\nvid = 0x2C7E\n"), "the marker lies outside the image");
    EXPECT_EQ(BuildError("[nonsense]\n"), "line 1: unknown section [nonsense]");
    EXPECT_EQ(BuildError("just words\n"), "line 1: expected key = value");
    EXPECT_EQ(BuildError("# nothing\n"), "the description holds neither an image nor a configuration");
}

TEST(ConfigTextForm, ShowThenMakeGivesTheSameBlock) {
    HubConfig c;
    c.serialStringEnabled = true;
    c.vid = 0xABCD;
    c.usb2Ports = 3;
    c.usb3Ports = 2;
    c.powerGoodMs = 20;
    c.nonRemovable[1] = c.nonRemovable[2] = true;
    c.txSwapUpstream = true;
    c.breathingLed = kBreathingOnUfp;
    c.suspendLed = kSuspendFlickering;
    c.supportBusPower = true;
    c.smartPowerBus = 2;
    c.supportStrap = true;
    c.strapPortNo = true;
    c.vendor = "Quote \" and \\ and # hash";
    c.serial = "tab\there";
    for (int hubType : {1, 2, 4, -1}) {
        for (ConfigForm form : {ConfigForm::Full, ConfigForm::Compact}) {
            ConfigFormat f;
            ASSERT_TRUE(ConfigFormatForHubType(hubType, &f));
            f.form = form;
            std::vector<uint8_t> block(static_cast<size_t>(f.size));
            ASSERT_TRUE(EncodeConfig(c, f, block.data(), f.size));
            const HubConfig shown = DecodeConfig(block.data(), f.size, f);
            const std::string text = ConfigToText(shown, f);

            const SampleFiles made = Build(text);
            EXPECT_EQ(made.format.layout, f.layout);
            EXPECT_EQ(made.format.size, f.size);
            EXPECT_EQ(made.format.form, f.form);
            EXPECT_EQ(made.config, block) << hubType << "\n" << text;
        }
    }
}

TEST(ConfigTextForm, ValueSpellings) {
    const SampleFiles s = Build(
        "layout = eeprom\n"
        "serial_string = yes\n"
        "charging_ports = 1, 4\n"
        "tx_swap = none\n"
        "smart_power_self = 3\n"
        "breathing_led = ON_DFP\n"
        "vendor = bare words kept  # comment\n"
        "hs_product = \"\\x41\\x42\"\n");
    EXPECT_EQ(s.format.layout, ConfigLayout::Eeprom);
    EXPECT_EQ(s.format.hubType, 4);
    EXPECT_TRUE(s.model.serialStringEnabled);
    EXPECT_TRUE(s.model.chargingPort[0] && s.model.chargingPort[3]);
    EXPECT_FALSE(s.model.chargingPort[1]);
    EXPECT_EQ(s.model.smartPowerSelf, 3);
    EXPECT_EQ(s.model.breathingLed, kBreathingOnDfp);
    EXPECT_EQ(s.model.vendor, "bare words kept");
    EXPECT_EQ(s.model.hsProduct, "AB");

    std::string error;
    EXPECT_FALSE(BuildSample("charging_ports = 5\n", nullptr, &error));
    EXPECT_FALSE(BuildSample("vendor = \"open\n", nullptr, &error));
    EXPECT_FALSE(BuildSample("hub_type = 0\n", nullptr, &error));
}
