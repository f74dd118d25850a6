#include "files/ConfigBlock.h"

#include <algorithm>
#include <cstring>

namespace {

constexpr int kHeaderSize = 0x20;

// Compact and EEPROM string slots: length byte at the base, characters after.
constexpr int kSlotBase[4] = {0x20, 0x40, 0x60, 0x80};
// Wide layout: descriptor bases and the bLength each gets.
constexpr int kWideBase[4] = {0x20, 0xA0, 0x120, 0x1A0};
constexpr uint8_t kWideLength[4] = {62, 62, 64, 48};
constexpr int kWideDecodeLimit[4] = {31, 31, 31, 23};
constexpr int kCompactDecodeLimit[4] = {31, 31, 31, 23};

// Reads a block without ever leaving it: bytes beyond the size read as 0.
class BlockReader {
public:
    BlockReader(const uint8_t* data, int size) : m_data(data), m_size(data ? std::max(size, 0) : 0) {}
    uint8_t At(int offset) const { return offset >= 0 && offset < m_size ? m_data[offset] : 0; }
    bool Bit(int offset, int bit) const { return (At(offset) >> bit) & 1; }
    uint16_t Word(int offset) const { return static_cast<uint16_t>(At(offset) | (At(offset + 1) << 8)); }
    int Size() const { return m_size; }

private:
    const uint8_t* m_data;
    int m_size;
};

// Writes a block without ever leaving it.
class BlockWriter {
public:
    BlockWriter(uint8_t* data, int size) : m_data(data), m_size(size) {}
    void Set(int offset, uint8_t value) {
        if (offset >= 0 && offset < m_size) m_data[offset] = value;
    }
    void Word(int offset, uint16_t value) {
        Set(offset, static_cast<uint8_t>(value & 0xFF));
        Set(offset + 1, static_cast<uint8_t>(value >> 8));
    }
    void Clear(int from, int to) {  // [from, to)
        for (int i = std::max(from, 0); i < std::min(to, m_size); ++i) m_data[i] = 0;
    }
    int Size() const { return m_size; }

private:
    uint8_t* m_data;
    int m_size;
};

uint8_t Bits4(const bool ports[4], int firstBit) {
    uint8_t value = 0;
    for (int i = 0; i < 4; ++i)
        if (ports[i]) value = static_cast<uint8_t>(value | (1u << (firstBit + i)));
    return value;
}

void ReadBits4(const BlockReader& r, int offset, int firstBit, bool ports[4]) {
    for (int i = 0; i < 4; ++i) ports[i] = r.Bit(offset, firstBit + i);
}

uint8_t Low8(int value) { return static_cast<uint8_t>(static_cast<unsigned>(value) & 0xFF); }

// The characters up to the first NUL.
std::string UpToNul(const std::string& text) {
    size_t nul = text.find('\0');
    return nul == std::string::npos ? text : text.substr(0, nul);
}

const std::string& StringOf(const HubConfig& c, int which) {
    switch (which) {
    case 0: return c.vendor;
    case 1: return c.hsProduct;
    case 2: return c.ssProduct;
    default: return c.serial;
    }
}

std::string& StringOf(HubConfig& c, int which) {
    switch (which) {
    case 0: return c.vendor;
    case 1: return c.hsProduct;
    case 2: return c.ssProduct;
    default: return c.serial;
    }
}

void EncodeCompactStrings(const HubConfig& c, ConfigLayout layout, BlockWriter& w) {
    w.Clear(kHeaderSize, w.Size());
    for (int s = 0; s < 4; ++s) {
        const std::string text = UpToNul(StringOf(c, s));
        const int room = std::min(StringCapacity(layout, static_cast<ConfigString>(s)),
                                  w.Size() - (kSlotBase[s] + 1));
        const int n = std::max(0, std::min(static_cast<int>(text.size()), room));
        // The USB string descriptor length the string will have, kept to 8 bits.
        w.Set(kSlotBase[s], Low8(2 * (n + 1)));
        for (int i = 0; i < n; ++i) w.Set(kSlotBase[s] + 1 + i, static_cast<uint8_t>(text[static_cast<size_t>(i)]));
    }
}

void EncodeWideStrings(const HubConfig& c, BlockWriter& w) {
    w.Clear(kHeaderSize, 0x200);
    for (int s = 0; s < 4; ++s) {
        const std::string text = UpToNul(StringOf(c, s));
        const int base = kWideBase[s];
        // bLength is fixed whatever the string's length.
        w.Set(base + 1, kWideLength[s]);
        w.Set(base + 3, 3);
        const int n = std::min(static_cast<int>(text.size()),
                               StringCapacity(ConfigLayout::Wide, static_cast<ConfigString>(s)));
        for (int i = 0; i < n; ++i) w.Set(base + 5 + 4 * i, static_cast<uint8_t>(text[static_cast<size_t>(i)]));
    }
}

void DecodeCompactStrings(const BlockReader& r, HubConfig& c) {
    for (int s = 0; s < 4; ++s) {
        std::string text;
        for (int i = 0; i < kCompactDecodeLimit[s]; ++i) {
            const int at = kSlotBase[s] + 1 + i;
            if (at >= r.Size()) break;
            const uint8_t ch = r.At(at);
            if (ch == 0) break;
            text.push_back(static_cast<char>(ch));
        }
        StringOf(c, s) = text;
    }
}

void DecodeWideStrings(const BlockReader& r, HubConfig& c) {
    for (int s = 0; s < 4; ++s) {
        std::string text;
        for (int i = 0; i < kWideDecodeLimit[s]; ++i) {
            const int at = kWideBase[s] + 5 + 4 * i;
            if (at >= r.Size()) break;
            const uint8_t ch = r.At(at);
            if (ch == 0) break;
            text.push_back(static_cast<char>(ch));
        }
        StringOf(c, s) = text;
    }
}

}  // namespace

bool HubConfig::operator==(const HubConfig& o) const {
    auto same4 = [](const bool a[4], const bool b[4]) { return std::equal(a, a + 4, b); };
    return serialStringEnabled == o.serialStringEnabled && vid == o.vid && ssPid == o.ssPid && hsPid == o.hsPid &&
           usb3Lpm == o.usb3Lpm && ssc == o.ssc && separatedLed == o.separatedLed &&
           remoteWakeup == o.remoteWakeup && usb2Lpm == o.usb2Lpm && powerSwitchHigh == o.powerSwitchHigh &&
           polyfuse == o.polyfuse && same4(nonRemovable, o.nonRemovable) && usb2Ports == o.usb2Ports &&
           ssMaxPowerMa == o.ssMaxPowerMa && hsMaxPowerMa == o.hsMaxPowerMa && portIndicator == o.portIndicator &&
           same4(chargingPort, o.chargingPort) && firmwareVersion == o.firmwareVersion &&
           powerGoodMs == o.powerGoodMs && pwrswGand == o.pwrswGand && pwrswReset == o.pwrswReset &&
           supportBusPower == o.supportBusPower && dcpHiSpeed == o.dcpHiSpeed && supportStrap == o.supportStrap &&
           breathingLed == o.breathingLed && ledPwmFs == o.ledPwmFs && same4(vx2280Port, o.vx2280Port) &&
           txSwapUpstream == o.txSwapUpstream && same4(txSwap, o.txSwap) && usb3Ports == o.usb3Ports &&
           strapCharge == o.strapCharge && strapPortNo == o.strapPortNo && strapPswPoly == o.strapPswPoly &&
           strapPortNonRemv == o.strapPortNonRemv && strapPswHl == o.strapPswHl &&
           ovcurWithoutVbus == o.ovcurWithoutVbus && suspendLed == o.suspendLed && dcp == o.dcp &&
           smartCdp == o.smartCdp && appleSamsung == o.appleSamsung && renesasPatch == o.renesasPatch &&
           smartPowerSelf == o.smartPowerSelf && smartPowerBus == o.smartPowerBus && cdp == o.cdp &&
           vendor == o.vendor && hsProduct == o.hsProduct && ssProduct == o.ssProduct && serial == o.serial;
}

int LayoutSize(ConfigLayout layout) {
    switch (layout) {
    case ConfigLayout::Compact: return 144;
    case ConfigLayout::Eeprom: return 256;
    case ConfigLayout::Wide: return 512;
    }
    return 0;
}

const char* LayoutName(ConfigLayout layout) {
    switch (layout) {
    case ConfigLayout::Compact: return "compact";
    case ConfigLayout::Eeprom: return "eeprom";
    case ConfigLayout::Wide: return "wide";
    }
    return "";
}

bool ConfigFormatForHubType(int hubType, ConfigFormat* format) {
    ConfigFormat f;
    f.hubType = hubType;
    switch (hubType) {
    case 1:
        f.layout = ConfigLayout::Wide;
        f.size = 512;
        break;
    case 2:
    case 3:
    case 5:
        f.layout = ConfigLayout::Compact;
        f.size = 144;
        break;
    case 4:
        f.layout = ConfigLayout::Eeprom;
        f.size = 256;
        break;
    case -1:
        f.layout = ConfigLayout::Compact;
        f.size = 512;
        break;
    default:
        return false;
    }
    if (format) *format = f;
    return true;
}

bool ConfigFormatForSize(int size, ConfigFormat* format) {
    switch (size) {
    case 144: return ConfigFormatForHubType(2, format);
    case 256: return ConfigFormatForHubType(4, format);
    case 512: return ConfigFormatForHubType(1, format);
    default: return false;
    }
}

int StringCapacity(ConfigLayout layout, ConfigString which) {
    if (which != ConfigString::Serial) return 31;
    return layout == ConfigLayout::Wide ? 23 : 15;
}

int EditorStringLimit(int hubType, ConfigString which) {
    if (hubType == 1) {
        switch (which) {
        case ConfigString::Vendor: return 31;
        case ConfigString::HsProduct: return 30;
        case ConfigString::SsProduct: return 31;
        case ConfigString::Serial: return 23;
        }
    }
    return which == ConfigString::Serial ? 14 : 30;
}

bool EncodeConfig(const HubConfig& c, const ConfigFormat& f, uint8_t* block, int size) {
    if (!block || size < kHeaderSize) return false;
    std::memset(block, 0, static_cast<size_t>(size));
    BlockWriter w(block, size);
    const bool full = f.form == ConfigForm::Full;

    w.Set(0x00, c.serialStringEnabled ? 0xAA : 0x55);
    w.Word(0x01, c.vid);
    w.Word(0x03, c.ssPid);
    w.Word(0x05, c.hsPid);
    w.Set(0x07, static_cast<uint8_t>(c.usb3Lpm << 0 | c.ssc << 1 | c.separatedLed << 2 | c.remoteWakeup << 3 |
                                     c.usb2Lpm << 4 | c.powerSwitchHigh << 5 | c.polyfuse << 6 |
                                     SmartPowerControl(c) << 7));
    w.Set(0x08, Bits4(c.nonRemovable, 1));
    w.Set(0x09, Low8(c.usb2Ports));
    w.Set(0x0A, Low8(static_cast<int>(static_cast<unsigned>(c.ssMaxPowerMa) >> 3)));
    w.Set(0x0B, Low8(static_cast<int>(static_cast<unsigned>(c.hsMaxPowerMa) >> 1)));
    w.Set(0x0C, c.portIndicator ? 0xFF : 0xFE);
    const uint8_t charging = Bits4(c.chargingPort, 0);
    w.Set(0x0D, static_cast<uint8_t>(charging | (charging ? 0x80 : 0)));
    w.Word(0x0E, c.firmwareVersion);
    w.Set(0x10, Low8(static_cast<int>(static_cast<unsigned>(c.powerGoodMs) >> 1)));

    uint8_t b12 = 0;
    if (c.breathingLed == kBreathingOnUfp) b12 |= 0x60;
    if (c.breathingLed == kBreathingOnDfp) b12 |= 0x40;
    if (full) {
        b12 = static_cast<uint8_t>(b12 | c.pwrswGand << 0 | c.pwrswReset << 1 | c.supportBusPower << 2 |
                                   c.dcpHiSpeed << 3 | c.supportStrap << 4 | c.ledPwmFs << 7);
    } else if (c.supportBusPower || c.smartPowerBus != kSmartPowerDisabled) {
        b12 |= 0x04;
    }
    w.Set(0x12, b12);
    w.Set(0x13, Bits4(c.vx2280Port, 1));
    w.Set(0x14, static_cast<uint8_t>(Bits4(c.txSwap, 1) | (c.txSwapUpstream ? 1 : 0)));
    w.Set(0x15, Low8(c.usb3Ports));
    if (full && c.supportStrap) {
        w.Set(0x18, static_cast<uint8_t>(c.strapCharge << 0 | c.strapPortNo << 1 | c.strapPswPoly << 2 |
                                         c.strapPortNonRemv << 3 | c.strapPswHl << 4));
    }

    uint8_t b19 = static_cast<uint8_t>((c.suspendLed == kSuspendBreathing) << 2 | (!c.dcp) << 4 | (!c.smartCdp) << 5);
    if (full && c.ovcurWithoutVbus) b19 |= 0x01;
    if (f.hubType != 1) b19 = static_cast<uint8_t>(b19 | (!c.appleSamsung) << 6 | (!c.renesasPatch) << 7);
    w.Set(0x19, b19);

    const unsigned self = static_cast<unsigned>(c.smartPowerSelf) & 0x0F;
    const unsigned bus = static_cast<unsigned>(c.smartPowerBus) & 0x0F;
    w.Set(0x1A, static_cast<uint8_t>(full ? (self | bus << 4) : (self << 4 | bus)));
    if (full) w.Set(0x1B, c.cdp ? 0x00 : 0x80);

    if (f.layout == ConfigLayout::Wide) {
        EncodeWideStrings(c, w);
    } else {
        EncodeCompactStrings(c, f.layout, w);
        if (f.layout == ConfigLayout::Eeprom) {
            w.Set(0x1C, 'E');
            w.Set(0x1D, 'R');
            w.Set(0x1E, 'O');
            w.Set(0x1F, 'M');
        }
    }
    return true;
}

HubConfig DecodeConfig(const uint8_t* block, int size, const ConfigFormat& f, ConfigDecodeNotes* notes) {
    HubConfig c;
    ConfigDecodeNotes n;
    const BlockReader r(block, size);
    const bool full = f.form == ConfigForm::Full;

    const uint8_t marker = r.At(0x00);
    n.markerValid = r.Size() > 0 && (marker == 0x55 || marker == 0xAA);
    c.serialStringEnabled = marker != 0x55;
    c.vid = r.Word(0x01);
    c.ssPid = r.Word(0x03);
    c.hsPid = r.Word(0x05);
    c.usb3Lpm = r.Bit(0x07, 0);
    c.ssc = r.Bit(0x07, 1);
    c.separatedLed = r.Bit(0x07, 2);
    c.remoteWakeup = r.Bit(0x07, 3);
    c.usb2Lpm = r.Bit(0x07, 4);
    c.powerSwitchHigh = r.Bit(0x07, 5);
    ReadBits4(r, 0x08, 1, c.nonRemovable);

    c.usb2Ports = r.At(0x09);
    if (c.usb2Ports == 0 && full) {
        c.usb2Ports = 4;
        n.usb2PortsRestored = true;
    }
    c.ssMaxPowerMa = r.At(0x0A) * 8;
    c.hsMaxPowerMa = r.At(0x0B) * 2;
    c.portIndicator = r.At(0x0C) == 0xFF;
    // The charging port bits count only while bit 7 says some port charges.
    if (r.Bit(0x0D, 7)) ReadBits4(r, 0x0D, 0, c.chargingPort);
    c.firmwareVersion = r.Word(0x0E);
    c.powerGoodMs = r.At(0x10) * 2;
    c.polyfuse = r.At(0x10) == 0;  // bit 6 of 0x07 is not read back

    const uint8_t b12 = r.At(0x12);
    if ((b12 & 0x60) == 0x60)
        c.breathingLed = kBreathingOnUfp;
    else if (b12 & 0x40)
        c.breathingLed = kBreathingOnDfp;
    else
        c.breathingLed = kBreathingDisabled;
    c.supportBusPower = b12 & 0x04;
    if (full) {
        c.pwrswGand = b12 & 0x01;
        c.pwrswReset = b12 & 0x02;
        c.dcpHiSpeed = b12 & 0x08;
        c.supportStrap = b12 & 0x10;
        c.ledPwmFs = b12 & 0x80;
    }
    ReadBits4(r, 0x13, 1, c.vx2280Port);
    c.txSwapUpstream = r.Bit(0x14, 0);
    ReadBits4(r, 0x14, 1, c.txSwap);
    c.usb3Ports = r.At(0x15);
    if (c.usb3Ports == 0 && full) {
        c.usb3Ports = 4;
        n.usb3PortsRestored = true;
    }
    if (full) {
        c.strapCharge = r.Bit(0x18, 0);
        c.strapPortNo = r.Bit(0x18, 1);
        c.strapPswPoly = r.Bit(0x18, 2);
        c.strapPortNonRemv = r.Bit(0x18, 3);
        c.strapPswHl = r.Bit(0x18, 4);
        c.ovcurWithoutVbus = r.Bit(0x19, 0);
    }
    // "on UFP" always shows Flickering; otherwise bit 2 picks Breathing, and
    // without it "on DFP" shows Flickering and "disabled" LED off.
    if (c.breathingLed == kBreathingOnUfp)
        c.suspendLed = kSuspendFlickering;
    else if (r.Bit(0x19, 2))
        c.suspendLed = kSuspendBreathing;
    else if (c.breathingLed == kBreathingOnDfp)
        c.suspendLed = kSuspendFlickering;
    else
        c.suspendLed = kSuspendLedOff;
    c.dcp = !r.Bit(0x19, 4);
    c.smartCdp = !r.Bit(0x19, 5);
    if (f.hubType != 1) {
        c.appleSamsung = !r.Bit(0x19, 6);
        c.renesasPatch = !r.Bit(0x19, 7);
    }

    const uint8_t b1a = r.At(0x1A);
    c.smartPowerSelf = full ? (b1a & 0x0F) : (b1a >> 4);
    c.smartPowerBus = full ? (b1a >> 4) : (b1a & 0x0F);
    if (!c.supportBusPower) c.smartPowerBus = kSmartPowerDisabled;
    if (full) c.cdp = !r.Bit(0x1B, 7);

    if (f.layout == ConfigLayout::Wide)
        DecodeWideStrings(r, c);
    else
        DecodeCompactStrings(r, c);

    if (notes) *notes = n;
    return c;
}

EepCheck CheckEepBlock(const uint8_t* data, int size) {
    if (size != 144 && size != 256 && size != 512) return EepCheck::BadSize;
    if (!data || (data[0] != 0x55 && data[0] != 0xAA)) return EepCheck::BadMarker;
    return EepCheck::Ok;
}
