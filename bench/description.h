// What a simulated PC is made of, as the bench file or a test describes it:
// flash parts, hubs and other USB devices, and the faults to inject.  These
// are plain descriptions; bench::Pc turns them into the working machine.
#pragma once

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

namespace bench {

// Where a flash part wants its un-protect commands relative to the
// controller's ISP entry (0x81, wValue 0x0001).
enum class UnprotectAt {
    Anywhere,   // the commands take effect as soon as the last one arrives
    BeforeIsp,  // they take effect only when an enter-ISP request follows them at once
    AfterIsp,   // they count only when the first of them comes right after an enter-ISP request
};

// One identification command a flash part answers.  mode is the low byte of
// wValue of the identification read: 1 sends the opcode and reads, 2 sends
// the opcode and three address bytes of 0 before reading.
struct FlashIdCommand {
    uint8_t opcode = 0x9F;
    uint8_t mode = 1;
    std::vector<uint8_t> bytes;
};

// An SPI flash part: what it answers and what it needs before it erases or
// programs.
struct FlashPart {
    std::string name;
    uint32_t size = 0x80000;
    uint32_t pageSize = 256;                 // a program wraps inside its page
    std::vector<FlashIdCommand> ids;
    std::vector<uint8_t> eraseOpcodes{0xC7};  // chip erase opcodes it accepts
    int ewsrOpcode = -1;                     // -1: erase needs no status-register enable
    std::vector<uint16_t> programValues{0x0000};  // wValues of data writes it accepts
    std::vector<uint8_t> unprotect;          // commands that lift the protection, in order
    UnprotectAt unprotectAt = UnprotectAt::Anywhere;
    bool startsProtected = true;             // only with un-protect commands
    bool reprotectAfterProgram = false;      // protects itself again after every program
    uint32_t eraseTimeMs = 0;
    uint32_t programTimeMs = 0;
    uint8_t busyByte = 0xFF;                 // what a read gives while the part is busy
};

// An I2C EEPROM: 1 address byte (up to 2 KiB, block bits in the device
// address) or 2 address bytes.
struct EepromPart {
    uint32_t size = 256;
    int addressBytes = 1;
    uint32_t pageSize = 8;
    bool writeProtected = false;  // WP pin tied high: writes are acknowledged and dropped
    uint32_t writeTimeMs = 5;     // internal write cycle; the part acknowledges nothing meanwhile
};

// The usual EEPROM of a size: up to 2 KiB one address byte and 8-byte pages
// (16 above 256 bytes), beyond that two address bytes and 64-byte pages.
EepromPart DefaultEeprom(uint32_t size);

enum class StoreKind { Spi, Eeprom };

struct PhyRegister {
    uint16_t wValue = 0x0201;  // register space: 0x0101 or 0x0201
    uint16_t wIndex = 0;       // register, port in the high byte
    uint8_t value = 0;
    bool readOnly = false;
};

// A registry key of a device node under
// HKLM\SYSTEM\CurrentControlSet\Enum\<enumerator>\<instance>\Device Parameters.
struct EnumKey {
    std::string enumerator;     // e.g. "USB\\VID_2C7E&PID_0B40"
    std::string instance;       // empty: the function's instance ID
    int selectiveSuspend = -1;  // EnableSelectiveSuspend; -1: no value
};

// One USB function of a physical device, as the filter driver reports it.
struct FunctionSpec {
    uint32_t handle = 0;       // 0: the next free handle
    uint16_t devType = 1;      // 0 not the maker's, 1 hub, 2 high-speed hub function
    uint16_t vid = 0x2C7E;
    uint16_t pid = 0x0B40;
    int bcdDevice = -1;        // -1: the device's bcdDevice
    uint16_t bcdUsb = 0x0210;
    uint8_t reserved = 0;
    std::string containerId;   // empty: no container ID
    std::string instanceId;    // empty: made up from the handle
    std::vector<std::string> hardwareIds;  // empty: USB\VID_&PID_&REV_ and USB\VID_&PID_
    std::string deviceClass = "usb";  // setup class of its device node
    bool present = true;       // false: known to Windows but not attached
    bool enabled = true;
    bool hardwareIdFails = false;          // reading its hardware ID fails
    uint32_t hardwareIdError = 13;         // ERROR_INVALID_DATA
    std::vector<EnumKey> registry;
};

// A physical USB device: a hub of the family with its controller and store,
// or (hub false) any other device, which STALLs every vendor request.
struct DeviceSpec {
    std::string name;
    bool hub = true;
    StoreKind store = StoreKind::Spi;
    std::string flashPart;          // name of a FlashPart, for an SPI store
    EepromPart eeprom;
    uint16_t bcdDevice = 0x0100;    // what its functions report
    int resetBcdDevice = -1;        // bcdDevice after a software reset; -1: unchanged
    // After a software reset the hub leaves the bus and is listed again, with
    // new handles, this many ms later; 0: it stays listed with its handles;
    // -1: the PC's default.
    int reEnumerateMs = -1;
    // Largest data stage of a store read or write the controller takes (its
    // page buffer); a longer one is STALLed.
    uint32_t maxTransfer = 256;
    bool maskRom = false;           // runs its mask ROM (descriptive; bcdDevice shows it)
    bool startsInIsp = false;
    uint8_t spiStoreTypeByte = 0x00;  // store type answer of an SPI hub (EEPROM hubs answer 1)
    uint8_t fill = 0xFF;
    std::string contentFile;        // initial store content (absolute or relative to the bench)
    std::vector<std::pair<uint32_t, std::vector<uint8_t>>> puts;  // bytes over the content
    std::string saveFile;           // the store is written here at exit
    uint8_t phyDefault = 0x00;      // registers not listed read this
    std::vector<PhyRegister> phy;
    std::vector<FunctionSpec> functions;
    bool plugged = true;
};

// A fault to inject.
enum class FaultKind {
    FailRequest,  // vendor requests fail with error
    FlipBit,      // one bit of the data a read returns is flipped
    Unplug,       // the device leaves after `after` vendor requests
    FailIoctl,    // a control code fails with error
    FailOpen,     // opening the driver fails with error
    FailGuid,     // CoCreateGuid fails
    ShortRead,    // a read completes with fewer data bytes than asked
};

struct Fault {
    FaultKind kind = FaultKind::FailRequest;
    // Which calls match; unset fields (-1, empty) match anything.
    std::string device;
    int bmRequestType = -1;
    int bRequest = -1;
    int wValue = -1;
    int wIndex = -1;
    uint32_t ioctl = 0;    // FailIoctl: the control code
    // Of the matching calls: only the nth (1-based), the first `first`, or
    // from the `from`-th on (`count` of them, 0: all); all 0: every one.
    uint32_t nth = 0;
    uint32_t first = 0;
    uint32_t from = 0;
    uint32_t count = 0;
    uint32_t error = 31;   // ERROR_GEN_FAILURE
    bool applied = false;  // FailRequest: the device acts, the transfer still fails
    uint32_t after = 0;    // Unplug: vendor requests the device still answers
    uint32_t at = 0;       // Unplug: instead, leave at this vendor request of the bus (1-based)
    bool on = false;       // Unplug: instead, leave at the requests the fields select, to any device
    std::string onDevice;  // Unplug with on: the device those requests go to (empty: any)
    int replugMs = -1;     // Unplug: back at the end of the list this many ms later; -1: never
    uint32_t deliver = 0;  // ShortRead: data bytes the read delivers
    uint32_t byteIndex = 0;
    uint32_t bit = 0;
};

}  // namespace bench
