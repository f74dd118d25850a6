// The data side of the store tools: the firmware version held in a hub's
// configuration block, the .rom dump of a whole store, and the checksummed
// .sum image.  The hub reads (ReadData) are CHubIsp's; these steps take the
// bytes read and return what to write and what to show.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "files/FirmwareImage.h"
#include "files/UiReport.h"

// --- Read XRom FW Version -------------------------------------------------------

// The firmware version of a configuration block read from the hub: the
// little-endian word at offset 14.  0xFFFF (no firmware: the hub runs its
// mask ROM) shows "Mask" and sets the hub's masked flag; any other value
// shows as "%04X".  A byte beyond the block reads as 0xFF.
struct StoreVersion {
    uint16_t value = 0xFFFF;
    bool masked = true;
    std::string text = "Mask";
};
StoreVersion StoreVersionFromBlock(const uint8_t* block, int size);

// What a failed configuration read shows: main dialog box "Read XROM Fail!"
// (console: `lastError` becomes the message text) and status "Read XROM data
// failed!"; hub page only the status, in the failure style.
enum class ToolOwner { MainDialog, Console, HubPage };
UiReport StoreVersionReadFailed(ToolOwner owner, const std::string& lastError);

// --- Dump XRom -------------------------------------------------------------------

// Default file name of a dump or a .sum: ".\%02X%02X", high byte first.
std::string DefaultStoreFileName(uint8_t high, uint8_t low);

// The version bytes of a store read from a hub of this type: 0x0F/0x0E for
// HubType 4, 0x10F/0x10E otherwise (0xFF when the store is shorter).
ImageVersion StoreVersionBytes(const uint8_t* store, int size, int hubType);

// What a failed store read shows: box "XROM data is dumped failed." (main
// dialog: error icon; hub page: information icon and the status "Hub%d dump
// failed." with `hubNumber` counted from 1).
UiReport DumpFailed(ToolOwner owner, int hubNumber);

// Writes the dumped store (create or truncate, write, close; every step is
// checked).  Success: box "XROM data is dumped successfully." and, in the
// main dialog, the same status; on a hub page the status "Hub%d dump
// successfully.".  Any failure reports like a failed read (DumpFailed) and
// logs the path with the system's text.
bool WriteDumpFile(const std::string& path, const std::vector<uint8_t>& store, ToolOwner owner, int hubNumber,
                   UiReport* report);

// --- Save with Checksum -------------------------------------------------------------

// A checksummed image of exactly the store size of its class: the image
// (at most store size bytes) over 0xFF padding; for every class but 4, a
// held configuration at 0x100 (512 bytes for classes 1 and -1, 144 for 2 and
// 5) followed by the image's version bytes at 0x10E/0x10F; the checksum of
// bytes 0 .. store size - 3 in the last two bytes, high byte first.
struct SumImage {
    bool ok = false;              // false: the class has no store size
    std::vector<uint8_t> bytes;   // store size bytes
    uint16_t checksum = 0;        // stored at store size - 2 (high) and - 1 (low)
    uint16_t reportedSum = 0;     // byte sum of the whole store, checksum bytes included
    std::string okText;           // "Save OK! checksum = 0x%04X" with reportedSum
    std::string defaultName;      // ".\%02X%02X" with the image's version bytes
};
// `config` may be null (no configuration loaded); `configSize` bytes are held
// there and at most the class's merge length is taken.  `version` is the
// image's remembered version (ShowImageVersion).
SumImage BuildSumImage(const uint8_t* image, int length, int imageClass, const uint8_t* config, int configSize,
                       ImageVersion version);

// Writes a .sum image.  Success: the status "Save OK! checksum = 0x%04X" (hub
// page: tool success style).  Failure: box "Couldn't save checksum file!\n\n"
// + path + "\n\n" + the system's text (error icon) and the status "Save with
// checksum failed!" (hub page: failure style); the failure is logged.
bool WriteSumFile(const std::string& path, const SumImage& sum, ToolOwner owner, UiReport* report);

// Texts of the store tools.
constexpr const char* kReadXromFail = "Read XROM Fail!";
constexpr const char* kReadXromDataFailed = "Read XROM data failed!";
constexpr const char* kDumpFailed = "XROM data is dumped failed.";
constexpr const char* kDumpOk = "XROM data is dumped successfully.";
constexpr const char* kSaveSumFailed = "Couldn't save checksum file!\n\n";
constexpr const char* kSaveSumFailedStatus = "Save with checksum failed!";
