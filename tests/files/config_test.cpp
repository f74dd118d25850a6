// The configuration block: encoding and decoding in the three layouts and
// the two editor forms, and the format check.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "files/ConfigBlock.h"
#include "files/ConfigText.h"

// Readable failures: a configuration prints as its text form.
void PrintTo(const HubConfig& c, std::ostream* os) {
    ConfigFormat f;
    f.hubType = 2;
    *os << "\n" << ConfigToText(c, f);
}

namespace {

ConfigFormat Format(int hubType, ConfigForm form = ConfigForm::Full) {
    ConfigFormat f;
    EXPECT_TRUE(ConfigFormatForHubType(hubType, &f));
    f.form = form;
    return f;
}

std::vector<uint8_t> Encode(const HubConfig& c, const ConfigFormat& f) {
    std::vector<uint8_t> block(static_cast<size_t>(f.size), 0xEE);
    EXPECT_TRUE(EncodeConfig(c, f, block.data(), f.size));
    return block;
}

HubConfig Decode(const std::vector<uint8_t>& block, const ConfigFormat& f, ConfigDecodeNotes* notes = nullptr) {
    return DecodeConfig(block.data(), static_cast<int>(block.size()), f, notes);
}

// A configuration using every field, consistent the way the editor keeps it
// (polyfuse with a zero power-good time, strap bits under SUPPORT_STRAP, the
// bus-power selection under "Support Bus Power", a suspend LED mode the
// breathing mode allows).
HubConfig Rich() {
    HubConfig c;
    c.serialStringEnabled = true;
    c.vid = 0x2C7E;
    c.ssPid = 0x0817;
    c.hsPid = 0x2817;
    c.usb3Lpm = true;
    c.separatedLed = false;
    c.remoteWakeup = true;
    c.powerSwitchHigh = true;
    c.polyfuse = true;
    c.nonRemovable[0] = c.nonRemovable[3] = true;
    c.usb2Ports = 4;
    c.usb3Ports = 3;
    c.ssMaxPowerMa = 896;
    c.hsMaxPowerMa = 500;
    c.portIndicator = true;
    c.chargingPort[1] = true;
    c.firmwareVersion = 0x1234;
    c.powerGoodMs = 0;
    c.pwrswReset = true;
    c.supportBusPower = true;
    c.supportStrap = true;
    c.breathingLed = kBreathingOnDfp;
    c.ledPwmFs = true;
    c.vx2280Port[2] = true;
    c.txSwapUpstream = true;
    c.txSwap[3] = true;
    c.strapCharge = true;
    c.strapPswHl = true;
    c.ovcurWithoutVbus = true;
    c.suspendLed = kSuspendBreathing;
    c.dcp = true;
    c.smartCdp = false;
    c.appleSamsung = true;
    c.renesasPatch = false;
    c.smartPowerSelf = 2;
    c.smartPowerBus = 3;
    c.cdp = true;
    c.vendor = "Varnellogic Test Devices Inc.";
    c.hsProduct = "USB2.0 Hub";
    c.ssProduct = "USB3.0 Hub";
    c.serial = "SN0000000042";
    return c;
}

}  // namespace

TEST(ConfigRoundTrip, EveryLayoutGivesBackTheSameConfiguration) {
    for (int hubType : {1, 2, 3, 4, 5, -1}) {
        SCOPED_TRACE(hubType);
        HubConfig c = Rich();
        if (hubType == 1) c.appleSamsung = c.renesasPatch = false;  // not carried for HubType 1
        const ConfigFormat f = Format(hubType);
        ConfigDecodeNotes notes;
        EXPECT_EQ(Decode(Encode(c, f), f, &notes), c);
        EXPECT_TRUE(notes.markerValid);
        EXPECT_FALSE(notes.usb2PortsRestored || notes.usb3PortsRestored);
    }
}

TEST(ConfigRoundTrip, LongestStringsOfEachLayoutSurvive) {
    HubConfig c = Rich();
    c.vendor = std::string(31, 'V');
    c.hsProduct = std::string(31, 'H');
    c.ssProduct = std::string(31, 'S');
    c.serial = std::string(15, '9');
    EXPECT_EQ(Decode(Encode(c, Format(2)), Format(2)), c);
    EXPECT_EQ(Decode(Encode(c, Format(4)), Format(4)), c);
    c.serial = std::string(23, '9');
    c.appleSamsung = c.renesasPatch = false;
    EXPECT_EQ(Decode(Encode(c, Format(1)), Format(1)), c);

    // Longer strings are cut to what the layout holds, never into the next slot.
    c.vendor = std::string(40, 'V');
    c.serial = std::string(40, '9');
    const std::vector<uint8_t> compact = Encode(c, Format(2));
    EXPECT_EQ(compact[0x20], 64);      // 31 characters
    EXPECT_EQ(compact[0x40], 64);      // the HS product slot's own length byte
    EXPECT_EQ(compact[0x80], 32);      // 15 serial characters up to 0x8F
    const HubConfig back = Decode(compact, Format(2));
    EXPECT_EQ(back.vendor, std::string(31, 'V'));
    EXPECT_EQ(back.serial, std::string(15, '9'));
}

TEST(ConfigRoundTrip, CompactFormStoresSmartPowerReversed) {
    HubConfig c;
    c.usb2Ports = 2;
    c.usb3Ports = 2;
    c.powerGoodMs = 100;
    c.supportBusPower = true;
    c.smartPowerSelf = 1;
    c.smartPowerBus = 3;
    const std::vector<uint8_t> full = Encode(c, Format(-1));
    const std::vector<uint8_t> page = Encode(c, Format(-1, ConfigForm::Compact));
    EXPECT_EQ(full[0x1A], 0x31);
    EXPECT_EQ(page[0x1A], 0x13);
    EXPECT_EQ(Decode(page, Format(-1, ConfigForm::Compact)), c);
    EXPECT_EQ(Decode(full, Format(-1)), c);
    // Read with the other form's rule, the two selections swap.
    HubConfig swapped = Decode(page, Format(-1));
    EXPECT_EQ(swapped.smartPowerSelf, 3);
    EXPECT_EQ(swapped.smartPowerBus, 1);
}

TEST(ConfigEncode, PowerValuesInTheirUnits) {
    HubConfig c = Rich();
    c.hsMaxPowerMa = 500;
    c.ssMaxPowerMa = 900;
    c.powerGoodMs = 101;
    c.polyfuse = false;
    const std::vector<uint8_t> b = Encode(c, Format(2));
    EXPECT_EQ(b[0x0B], 0xFA);
    EXPECT_EQ(b[0x0A], 112);
    EXPECT_EQ(b[0x10], 50);
    const HubConfig back = Decode(b, Format(2));
    EXPECT_EQ(back.hsMaxPowerMa, 500);
    EXPECT_EQ(back.ssMaxPowerMa, 896);
    EXPECT_EQ(back.powerGoodMs, 100);

    // Three digits can exceed a byte: the shifted value keeps its low 8 bits.
    c.hsMaxPowerMa = 999;
    EXPECT_EQ(Encode(c, Format(2))[0x0B], (999 >> 1) & 0xFF);
}

TEST(ConfigEncode, StringLengthBytes) {
    HubConfig c = Rich();
    c.vendor = std::string(30, 'v');
    c.serial = "";
    const std::vector<uint8_t> compact = Encode(c, Format(2));
    EXPECT_EQ(compact[0x20], 62);
    EXPECT_EQ(compact[0x80], 2) << "an empty string still gets a descriptor length";

    for (const std::string& vendor : {std::string(), std::string("V"), std::string(31, 'v')}) {
        c.vendor = vendor;
        const std::vector<uint8_t> wide = Encode(c, Format(1));
        EXPECT_EQ(wide[0x21], 62);
        EXPECT_EQ(wide[0x23], 3);
        EXPECT_EQ(wide[0xA1], 62);
        EXPECT_EQ(wide[0x121], 64);
        EXPECT_EQ(wide[0x1A1], 48);
        EXPECT_EQ(wide[0x20], 0);
    }
    c.vendor = "AB";
    const std::vector<uint8_t> wide = Encode(c, Format(1));
    EXPECT_EQ(wide[0x25], 'A');
    EXPECT_EQ(wide[0x26], 0);
    EXPECT_EQ(wide[0x29], 'B');
    EXPECT_EQ(wide[0x2D], 0);
}

TEST(ConfigEncode, EepromLayoutHasItsMarkerAndAQuietTail) {
    HubConfig c = Rich();
    c.serial = std::string(20, 'S');
    const std::vector<uint8_t> b = Encode(c, Format(4));
    EXPECT_EQ(std::string(b.begin() + 0x1C, b.begin() + 0x20), "EROM");
    for (size_t i = 0x90; i < 0x100; ++i) EXPECT_EQ(b[i], 0) << i;
    EXPECT_EQ(Decode(b, Format(4)).serial, std::string(15, 'S'));
}

TEST(ConfigEncode, HeaderBits) {
    HubConfig c;
    c.chargingPort[0] = true;
    c.smartPowerSelf = 1;
    c.breathingLed = kBreathingOnUfp;
    c.supportStrap = false;
    c.strapCharge = true;  // not written without SUPPORT_STRAP
    c.cdp = false;
    c.portIndicator = false;
    std::vector<uint8_t> b = Encode(c, Format(2));
    EXPECT_EQ(b[0x00], 0x55);
    EXPECT_EQ(b[0x07], 0x80) << "bit 7 follows the smart-power selections";
    EXPECT_EQ(b[0x0C], 0xFE);
    EXPECT_EQ(b[0x0D], 0x81);
    EXPECT_EQ(b[0x12], 0x60);
    EXPECT_EQ(b[0x18], 0x00);
    EXPECT_EQ(b[0x19], 0xF0) << "every inverted feature off sets its bit";
    EXPECT_EQ(b[0x1B], 0x80);

    // HubType 1 neither writes nor reads bits 6 and 7 of byte 0x19.
    b = Encode(c, Format(1));
    EXPECT_EQ(b[0x19], 0x30);
    b[0x19] = 0xC0;
    const HubConfig back = Decode(b, Format(1));
    EXPECT_FALSE(back.appleSamsung);
    EXPECT_FALSE(back.renesasPatch);
    EXPECT_TRUE(back.dcp);
}

TEST(ConfigEncode, CompactFormLeavesItsMissingFieldsZero) {
    HubConfig c;
    c.pwrswGand = c.pwrswReset = c.dcpHiSpeed = c.supportStrap = c.ledPwmFs = true;
    c.strapCharge = true;
    c.ovcurWithoutVbus = true;
    c.cdp = false;
    c.dcp = c.smartCdp = c.appleSamsung = c.renesasPatch = true;
    const std::vector<uint8_t> b = Encode(c, Format(-1, ConfigForm::Compact));
    EXPECT_EQ(b[0x12], 0x00);
    EXPECT_EQ(b[0x18], 0x00);
    EXPECT_EQ(b[0x19], 0x00);
    EXPECT_EQ(b[0x1B], 0x00);

    // Its bus-power box, or a bus-power selection, sets bit 2.
    HubConfig bus;
    bus.smartPowerBus = 2;
    EXPECT_EQ(Encode(bus, Format(-1, ConfigForm::Compact))[0x12], 0x04);
}

TEST(ConfigDecode, RulesOfTheEditor) {
    std::vector<uint8_t> b(144, 0);
    b[0x00] = 0x12;  // anything but 0x55 counts as serial enabled
    b[0x07] = 0x40;  // polyfuse bit is not read back
    b[0x0C] = 0xFE;
    b[0x0D] = 0x0F;  // charging bits without bit 7
    b[0x10] = 5;
    b[0x12] = 0x20;  // bit 5 alone: breathing disabled
    b[0x19] = 0x04;
    b[0x1A] = 0x23;  // bus selection 2, but "Support Bus Power" is clear
    ConfigDecodeNotes notes;
    HubConfig c = Decode(b, Format(2), &notes);
    EXPECT_FALSE(notes.markerValid);
    EXPECT_TRUE(c.serialStringEnabled);
    EXPECT_FALSE(c.polyfuse);
    EXPECT_FALSE(c.portIndicator);
    for (bool port : c.chargingPort) EXPECT_FALSE(port);
    EXPECT_EQ(c.breathingLed, kBreathingDisabled);
    EXPECT_EQ(c.suspendLed, kSuspendBreathing);
    EXPECT_EQ(c.smartPowerSelf, 3);
    EXPECT_EQ(c.smartPowerBus, kSmartPowerDisabled);

    b[0x0C] = 0xFF;
    b[0x10] = 0;
    EXPECT_TRUE(Decode(b, Format(2)).portIndicator);
    EXPECT_TRUE(Decode(b, Format(2)).polyfuse) << "polyfuse means a power-good time of 0";
}

TEST(ConfigDecode, SuspendLedFollowsTheBreathingMode) {
    struct Case {
        uint8_t b12, b19;
        int breathing, suspend;
    } cases[] = {
        {0x60, 0x04, kBreathingOnUfp, kSuspendFlickering},  // "on UFP" always flickers
        {0x40, 0x04, kBreathingOnDfp, kSuspendBreathing},
        {0x40, 0x00, kBreathingOnDfp, kSuspendFlickering},
        {0x00, 0x00, kBreathingDisabled, kSuspendLedOff},
        {0x00, 0x04, kBreathingDisabled, kSuspendBreathing},
    };
    for (const Case& k : cases) {
        std::vector<uint8_t> b(144, 0);
        b[0x12] = k.b12;
        b[0x19] = k.b19;
        const HubConfig c = Decode(b, Format(2));
        EXPECT_EQ(c.breathingLed, k.breathing) << int(k.b12);
        EXPECT_EQ(c.suspendLed, k.suspend) << int(k.b12) << " " << int(k.b19);
    }
}

TEST(ConfigDecode, ZeroPortCountsByForm) {
    std::vector<uint8_t> b(144, 0);
    b[0x00] = 0x55;
    ConfigDecodeNotes notes;
    HubConfig c = Decode(b, Format(2), &notes);
    EXPECT_EQ(c.usb2Ports, 4);
    EXPECT_EQ(c.usb3Ports, 4);
    EXPECT_TRUE(notes.usb2PortsRestored);
    EXPECT_TRUE(notes.usb3PortsRestored);

    c = Decode(b, Format(-1, ConfigForm::Compact), &notes);
    EXPECT_EQ(c.usb2Ports, 0);
    EXPECT_EQ(c.usb3Ports, 0);
    EXPECT_FALSE(notes.usb2PortsRestored || notes.usb3PortsRestored);

    b[0x09] = 7;  // kept as it is: the editor selects no radio button
    EXPECT_EQ(Decode(b, Format(2)).usb2Ports, 7);
}

TEST(ConfigDecode, StringsStopAtNulAndAtTheBlockEnd) {
    std::vector<uint8_t> b(144, 0);
    const std::string text = "ABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789";
    for (size_t i = 0; i < 0x1F; ++i) b[0x21 + i] = static_cast<uint8_t>(text[i]);
    for (size_t i = 0; i < 0x0F; ++i) b[0x81 + i] = static_cast<uint8_t>('a' + i);
    b[0x41] = 'x';
    b[0x42] = 0;
    b[0x43] = 'y';
    const HubConfig c = Decode(b, Format(2));
    EXPECT_EQ(c.vendor, text.substr(0, 31));
    EXPECT_EQ(c.hsProduct, "x");
    EXPECT_EQ(c.serial, "abcdefghijklmno") << "the 144-byte block ends after 15 serial characters";

    // A block cut short decodes what it has and nothing beyond.
    const std::vector<uint8_t> cut(b.begin(), b.begin() + 0x25);
    EXPECT_EQ(Decode(cut, Format(2)).vendor, "ABCD");
}

TEST(ConfigFormats, ByHubTypeAndSize) {
    ConfigFormat f;
    ASSERT_TRUE(ConfigFormatForHubType(-1, &f));
    EXPECT_EQ(f.layout, ConfigLayout::Compact);
    EXPECT_EQ(f.size, 512);
    ASSERT_TRUE(ConfigFormatForSize(256, &f));
    EXPECT_EQ(f.layout, ConfigLayout::Eeprom);
    EXPECT_EQ(f.hubType, 4);
    EXPECT_FALSE(ConfigFormatForHubType(0, &f));
    EXPECT_FALSE(ConfigFormatForSize(145, &f));
    EXPECT_EQ(EditorStringLimit(1, ConfigString::Serial), 23);
    EXPECT_EQ(EditorStringLimit(2, ConfigString::Vendor), 30);

    uint8_t small[31] = {};
    EXPECT_FALSE(EncodeConfig(HubConfig(), Format(2), small, sizeof small));
}

TEST(EepCheck, SizeAndMarker) {
    std::vector<uint8_t> b(144, 0);
    b[0] = 0xAA;
    EXPECT_EQ(CheckEepBlock(b.data(), 144), EepCheck::Ok);
    b[0] = 0x55;
    EXPECT_EQ(CheckEepBlock(b.data(), 144), EepCheck::Ok);
    b[0] = 0x54;
    EXPECT_EQ(CheckEepBlock(b.data(), 144), EepCheck::BadMarker);
    b[0] = 0xAA;
    EXPECT_EQ(CheckEepBlock(b.data(), 143), EepCheck::BadSize);
    EXPECT_EQ(CheckEepBlock(nullptr, 512), EepCheck::BadMarker);
}
