// Configuration (.eep) files: loading one for a hub, and putting a held
// configuration block into a firmware image before programming.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "files/UiReport.h"

// Who loads or assigns a block.
enum class EepOwner {
    MainDialog,  // CIspDlg, shown
    Console,     // CIspDlg serving the console mode: texts go to the message text
    HubPage,     // CHubPage
};

// Result of LoadEepForHub.  The owner sets its EEP-loaded flag to `ok`, also
// on failure; a failed load leaves the owner's previous block in memory.
struct EepLoad {
    bool ok = false;
    bool openFailed = false;
    int expectedSize = 0;          // the size for the hub type; 0 when the type has none
    std::vector<uint8_t> block;    // on success: the whole file, expectedSize bytes
    std::string eepNameField;      // shown in the EEP field on success
    UiReport report;               // texts in the order: box, status
};

// Reads an .eep file for a hub of `hubType`: 512 bytes for type 1, 144 for
// 2, 3 and 5; types 4, -1 (and 0) have no loadable block ("Chip type
// ERROR!!").  No content check is made here.  The caller clears its EEP
// file name display before (the main dialog not in console mode).
EepLoad LoadEepForHub(const std::string& path, const std::string& displayName, int hubType, EepOwner owner);

// Puts `copyLength` bytes of a configuration block into the image at 0x100
// and then writes back the version bytes the image carried at 0x10E/0x10F
// before the copy, so a configuration never changes the image's version.
//   - An image shorter than 0x100 + copyLength is first grown to that size
//     with 0xFF (erased store), so the copy never writes past the image.
//   - Class-4 images (and a copy length of 0) get nothing: the configuration
//     is the whole EEPROM image there.
//   - At most blockSize bytes are taken from the block.
void MergeConfigIntoImage(std::vector<uint8_t>& image, int imageClass, const uint8_t* block, int blockSize,
                          int copyLength);

// AssignEepToImage of the main dialog.  `copyLength` is the configuration
// length the update start chose from the hub types (MergeLength: 512 for
// HubType 1, 144 for 2, 3 and 5, 0 for 4).  With no held block:
// "Configuration buffer is null!" (logged).  Only for the console's per-hub
// update (`owner` Console) a first byte other than 0x55 or 0xAA gives
// "invalid EEP data!".  False means the update is not started; the text is in
// report.message (and report.box unless in console mode).
bool AssignEepMainDialog(std::vector<uint8_t>& image, int imageClass, int copyLength, const uint8_t* block,
                         int blockSize, EepOwner owner, UiReport* report);

// AssignEepToImage of a hub page: no image → "Data buffer is null!"; HubType
// 4 or -1 → "Chip type ERROR!"; with the EEP-loaded flag set and no held
// block → "Configuration buffer is null!"; otherwise the block is merged (no
// first-byte check).  The texts are boxes.
bool AssignEepHubPage(std::vector<uint8_t>& image, bool hasImage, int imageClass, int hubType, bool eepLoaded,
                      const uint8_t* block, int blockSize, UiReport* report);

// Texts of the EEP steps.
constexpr const char* kCouldntOpenEep = "Couldn't open EEP file!\n\n";
constexpr const char* kChipTypeErrorLoad = "Chip type ERROR!!";
constexpr const char* kChipTypeErrorAssign = "Chip type ERROR!";
constexpr const char* kIncompatibleEep = "Incompatible EEP file format and hub, please consult VX for the support.";
constexpr const char* kIncompatibleEepCheck = "Incompatible EEP file with the attached hub, please check.";
constexpr const char* kConfigBufferNull = "Configuration buffer is null!";
constexpr const char* kDataBufferNull = "Data buffer is null!";
constexpr const char* kInvalidEepData = "invalid EEP data!";
constexpr const char* kLoadEepOk = "Load EEP file successfully";
constexpr const char* kLoadEepFailed = "Load EEP file failed!";
