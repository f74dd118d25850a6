// The hub's configuration block ("EEP data") as a typed model, and its three
// byte layouts:
//   - compact (144 bytes; hub types 2, 3, 5), strings as length byte + 8-bit
//     characters in four 32-byte slots;
//   - EEPROM (256 bytes; hub type 4), the compact layout with "EROM" at 0x1C
//     and zeros from 0x90 on;
//   - wide (512 bytes; hub type 1), strings as USB string descriptors whose
//     bytes stand in the high byte of 16-bit words.
// The first 32 bytes (the header) are the same in all three.
//
// Field values are kept in the units the editors show: powers in mA and ms,
// port counts as numbers, the check boxes as bools.  A check box of an
// inverted bit (DCP, Smart CDP, Apple / Samsung, Renesas Patch, CDP) is true
// when the feature is on, which is when its bit is clear.
//
// Decoding never reads outside the block: a byte beyond the given size reads
// as 0, and the strings stop at the block's end.
#pragma once

#include <cstdint>
#include <string>

enum class ConfigLayout { Compact, Eeprom, Wide };

// Which editor form's rules apply.
enum class ConfigForm {
    Full,     // CConfigDlg
    Compact,  // CConfigPage: reversed smart-power nibbles, fewer fields carried
};

struct ConfigFormat {
    ConfigLayout layout = ConfigLayout::Compact;
    int size = 144;       // bytes of the block
    int hubType = 2;      // HubType 1: bits 6 and 7 of byte 0x19 are neither written nor read
    ConfigForm form = ConfigForm::Full;
};

// Block size of a layout: 144, 256 or 512.
int LayoutSize(ConfigLayout layout);
const char* LayoutName(ConfigLayout layout);  // "compact", "eeprom", "wide"

// The format of a hub type: 1 → wide 512; 2, 3, 5 → compact 144; 4 → EEPROM
// 256; -1 → compact layout in a 512-byte block (the editor before a loaded
// file decides the type).  False for 0 and every other value.
bool ConfigFormatForHubType(int hubType, ConfigFormat* format);

// The format a file length decides (as the editor does for an unknown hub):
// 144 → compact (type 2), 256 → EEPROM (type 4), 512 → wide (type 1).
bool ConfigFormatForSize(int size, ConfigFormat* format);

// Entries of the lists, in list order.
enum : int { kBreathingDisabled = 0, kBreathingOnUfp = 1, kBreathingOnDfp = 2 };
enum : int { kSuspendLedOff = 0, kSuspendBreathing = 1, kSuspendFlickering = 2 };
enum : int { kSmartPowerDisabled = 0 };  // 1..3: "Max 1 SS port" .. "Max 3 SS ports"

struct HubConfig {
    // 0x00
    bool serialStringEnabled = false;  // 0xAA enabled, 0x55 disabled
    // 0x01, 0x03, 0x05
    uint16_t vid = 0;
    uint16_t ssPid = 0;
    uint16_t hsPid = 0;
    // 0x07 (bit 7 follows the smart-power selections)
    bool usb3Lpm = false;          // bit 0
    bool ssc = false;              // bit 1
    bool separatedLed = false;     // bit 2 "Separated LED for USB2/USB3"
    bool remoteWakeup = false;     // bit 3
    bool usb2Lpm = false;          // bit 4
    bool powerSwitchHigh = false;  // bit 5
    bool polyfuse = false;         // bit 6 written; decoded as "power-good time is 0"
    // 0x08 bits 1-4
    bool nonRemovable[4] = {};
    // 0x09: 1-4; 0 is restored to 4 by the full form's decoding
    int usb2Ports = 0;
    // 0x0A (mA / 8), 0x0B (mA / 2)
    int ssMaxPowerMa = 0;
    int hsMaxPowerMa = 0;
    // 0x0C: 0xFF on, 0xFE off
    bool portIndicator = false;
    // 0x0D bits 0-3 (bit 7 set when any is set)
    bool chargingPort[4] = {};
    // 0x0E, little-endian; not edited (the editors leave it 0)
    uint16_t firmwareVersion = 0;
    // 0x10 (ms / 2)
    int powerGoodMs = 0;
    // 0x12
    bool pwrswGand = false;        // bit 0 (also the hidden "Power Switch Port3")
    bool pwrswReset = false;       // bit 1
    bool supportBusPower = false;  // bit 2 (compact form: "Enable Bus-Power, without Smart Power")
    bool dcpHiSpeed = false;       // bit 3
    bool supportStrap = false;     // bit 4
    int breathingLed = kBreathingDisabled;  // bits 5-6
    bool ledPwmFs = false;         // bit 7
    // 0x13 bits 1-4
    bool vx2280Port[4] = {};
    // 0x14: bit 0 upstream, bits 1-4 ports 1-4
    bool txSwapUpstream = false;
    bool txSwap[4] = {};
    // 0x15: 1-4, 0 when no count is chosen
    int usb3Ports = 0;
    // 0x18, written only while supportStrap is set
    bool strapCharge = false;      // bit 0
    bool strapPortNo = false;      // bit 1
    bool strapPswPoly = false;     // bit 2
    bool strapPortNonRemv = false; // bit 3
    bool strapPswHl = false;       // bit 4
    // 0x19
    bool ovcurWithoutVbus = false; // bit 0
    int suspendLed = kSuspendLedOff;  // bit 2 = Breathing; the others follow the breathing mode
    bool dcp = false;              // bit 4, inverted
    bool smartCdp = false;         // bit 5, inverted
    bool appleSamsung = false;     // bit 6, inverted (not for HubType 1)
    bool renesasPatch = false;     // bit 7, inverted (not for HubType 1)
    // 0x1A nibbles: 0 "Disabled", 1-3 "Max n SS port(s)"
    int smartPowerSelf = kSmartPowerDisabled;
    int smartPowerBus = kSmartPowerDisabled;
    // 0x1B bit 7, inverted
    bool cdp = false;
    // string area
    std::string vendor;
    std::string hsProduct;
    std::string ssProduct;
    std::string serial;

    bool operator==(const HubConfig& other) const;
    bool operator!=(const HubConfig& other) const { return !(*this == other); }
};

// "Smart Power Control" as the editor shows it: either selection is not
// "Disabled" (also bit 7 of byte 0x07).
inline bool SmartPowerControl(const HubConfig& c) {
    return c.smartPowerSelf != kSmartPowerDisabled || c.smartPowerBus != kSmartPowerDisabled;
}

// The hidden "Operating mode" (bit 6 of byte 0x12) and "Operating mode on
// Power LED" (bit 5) boxes of the full editor are another view of the
// breathing-LED mode: both set is "on UFP", bit 6 alone "on DFP".
inline bool OperatingMode(const HubConfig& c) { return c.breathingLed != kBreathingDisabled; }
inline bool OperatingModeOnPowerLed(const HubConfig& c) { return c.breathingLed == kBreathingOnUfp; }
inline void SetOperatingModeBoxes(HubConfig& c, bool operatingMode, bool onPowerLed) {
    c.breathingLed = !operatingMode ? kBreathingDisabled : onPowerLed ? kBreathingOnUfp : kBreathingOnDfp;
}

// Characters encoding writes for each string (longer strings are cut):
// compact and EEPROM 31, 31, 31 and 15 for the serial (its slot ends at 0x8F,
// so bytes 0x90 on stay zero); wide 31, 31, 31, 23.  Decoding reads up to 31,
// 31, 31 and 23 characters, never past the block's end, so every string
// within these capacities comes back unchanged.
enum class ConfigString { Vendor, HsProduct, SsProduct, Serial };
int StringCapacity(ConfigLayout layout, ConfigString which);

// Editor limits (characters typed): HubType 1: 31, 30, 31, 23; otherwise 30,
// 30, 30, 14.
int EditorStringLimit(int hubType, ConfigString which);

// Encodes into block[0..size): the block is zero-filled first, then every
// field of the format's form is written.  False (nothing written) when the
// block is missing or shorter than the 32-byte header.  Strings longer than
// their capacity are cut; power values are truncated to 8 bits after the
// division.
bool EncodeConfig(const HubConfig& config, const ConfigFormat& format, uint8_t* block, int size);

// What decoding found that the editor reports rather than shows.
struct ConfigDecodeNotes {
    bool markerValid = false;       // byte 0 is 0x55 or 0xAA
    bool usb2PortsRestored = false; // byte 0x09 was 0 and 4 is used (full form)
    bool usb3PortsRestored = false; // byte 0x15 was 0 and 4 is used (full form)
};
constexpr const char* kHsPortsInvalidText = "HighSpeed port number is invalid!\n\nRestore it to 4 by default.";
constexpr const char* kSsPortsInvalidText = "SuperSpeed port number is invalid!\n\nRestore it to 4 by default.";

// Decodes block[0..size) in the given format into a fresh model.  Fields the
// format does not carry keep their defaults.  Never reads outside the block.
HubConfig DecodeConfig(const uint8_t* block, int size, const ConfigFormat& format,
                       ConfigDecodeNotes* notes = nullptr);

// The format check of a block (CHubIsp::CheckEepFormat without its side
// effects).
enum class EepCheck { Ok, BadSize, BadMarker };
EepCheck CheckEepBlock(const uint8_t* data, int size);
