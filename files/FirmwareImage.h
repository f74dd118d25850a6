// Firmware image files (.bin, .rom, .sum): the image class, the match of an
// image against a hub, the product ID and version an image carries, and the
// load steps the dialogs and the console mode run on an image file.
//
// Short images.  Every reader here treats a byte beyond the loaded bytes as
// 0xFF, the value of erased store and of the padding that programming and
// "Save with Checksum" add behind an image.  Nothing is ever read past the
// loaded length, and a short image reads exactly like the padded image that
// would be programmed from it:
//   - a flash image (more than 256 bytes) shorter than 0x210 is searched for
//     its markers only in the identification bytes it has; without a marker
//     it is class 1;
//   - an EEPROM image (256 bytes or less) shorter than 0x20 has no "EROM"
//     marker and is class -1;
//   - a product ID or version byte that lies beyond the image reads 0xFF
//     (product 0xFFFF, "VX71XX"; version text "FFFF").
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "files/UiReport.h"

// Images of this many bytes or fewer are EEPROM images; longer ones are flash
// images.
constexpr int kEepromImageMax = 256;

// Offsets of the fields an image carries.
constexpr int kFlashConfigOffset = 0x100;   // configuration block
constexpr int kFlashProductOffset = 0x103;  // product ID, little-endian
constexpr int kFlashVersionLow = 0x10E;
constexpr int kFlashVersionHigh = 0x10F;
constexpr int kIdAreaOffset = 0x1D0;        // identification area searched for markers
constexpr int kIdAreaSize = 64;
constexpr int kEepromProductOffset = 0x03;
constexpr int kEepromVersionLow = 0x0E;
constexpr int kEepromVersionHigh = 0x0F;
constexpr int kEepromMarkerOffset = 0x1C;   // "EROM"

// The hub type's display text ("VX710x-10 Series  (SPI flash)", ...;
// "Unknown type!" for -1 and any value without a text).
const char* HubTypeText(int hubType);

// Store size of a hub type or image class: 0x4000 for 1 and -1, 0x5000 for 2
// and 3, 0x100 for 4, 0x8000 for 5; 0 for any other value.
int StoreSize(int typeOrClass);

// Size of the configuration block a hub of this type holds and the editor
// works on: 512 for 1 and -1, 144 for 2, 3 and 5, 256 for 4; 0 otherwise.
int ConfigBlockSize(int hubType);

// Bytes of configuration merged at image offset 0x100 for a hub type or image
// class: 512 for 1 and -1, 144 for 2, 3 and 5; 0 for 4 (the configuration is
// the whole image) and any other value.
int MergeLength(int typeOrClass);

// The compatibility rule: an image fits a hub when its class equals the hub's
// type, or when the class is 2 and the hub is of type 3.  An undetermined
// image (class -1) fits no hub, not even an undetermined one.
bool ImageFitsHub(int imageClass, int hubType);

// What an update may write into a hub it has just identified: an image that
// fits it, or one of the pairings the dialogs let a technician choose (a
// class-5 image on a VX710x-21/22 hub, a class-2 image on a VX7103 hub with
// SPI flash).  Anything else would be written with another store's size and
// checksum place.
bool ImageServesHub(int imageClass, int hubType);

// Byte of an image at an offset; 0xFF beyond the loaded bytes.
uint8_t ImageByte(const uint8_t* data, int length, int offset);

// Product ID of an image of this class (offset 0x03 for class 4, else 0x103).
uint16_t ImageProductId(const uint8_t* data, int length, int imageClass);

// Model name of a product ID: "VX7100", "VX7101", "VX7102" or "VX71XX".
const char* ModelName(uint16_t productId);

// Firmware version bytes of an image: offsets 0x0F/0x0E for an image of 256
// bytes or less, 0x10F/0x10E otherwise.
struct ImageVersion {
    uint8_t high = 0xFF;
    uint8_t low = 0xFF;
};
ImageVersion ReadImageVersion(const uint8_t* data, int length);

// "%02X%02X", high byte first.
std::string VersionText(uint8_t high, uint8_t low);

// Status text of a successful load by image class: "Load %s - 10 bin file OK",
// "Load %s - 21 bin file OK" (model name of the product ID), "Load VX7103 bin
// file (256 EEPROM) OK", "Load VX7103 bin file OK", "Undetermined firmware
// format!".
std::string LoadStatusText(int imageClass, uint16_t productId);

// Status texts of the update-only dialog's file search for a .sum and a .bin.
std::string UpdateOnlySumStatus(int imageClass);
std::string UpdateOnlyBinStatus(int imageClass);

// Who loads an image: the texts and what is shown differ.
enum class LoadOwner {
    MainDialog,  // CIspDlg, shown
    Console,     // CIspDlg serving the console mode: no box, no status
    HubPage,     // CHubPage of the multi-hub dialog
};

enum class LoadFailure {
    None,
    Open,          // the file could not be opened or read whole
    Unclassified,  // image class -1
    Mismatch,      // the image does not fit the hub
};

// Result of reading and checking one image file.
struct FirmwareLoad {
    bool ok = false;                  // read, classified and accepted
    LoadFailure failure = LoadFailure::None;
    bool imageRead = false;           // the file was read: the owner's image is replaced by `image`
    std::vector<uint8_t> image;       // the file's bytes, exactly its length
    int imageClass = -1;
    ImageVersion version;             // remembered by the owner (ShowImageVersion)
    std::string versionText;          // "%02X%02X" for the image-version field
    uint16_t productId = 0xFFFF;
    std::string modelName;
    std::string fileNameField;        // shown in the image-file field on success; empty otherwise
    UiReport report;                  // texts in the order: box, status
};

// Reads the image file at `path` and runs the load steps of the owner:
// classification and the match against `hubType` (the main dialog's first
// hub, or the page's hub).  A hub page created without image checking
// (`checkImage` false) accepts any readable file unchanged and reports it as
// `uncheckedClass`.  Diagnostic lines are written here.
FirmwareLoad LoadFirmwareImage(const std::string& path, const std::string& fileName, LoadOwner owner,
                               int hubType, bool checkImage = true, int uncheckedClass = 1);

// The console mode's package check in the program folder: install.iss,
// uninstall.iss, then the first *.sum, else the first *.bin with the first
// *.eep whose length is one of `eepSizes`.
struct UpdateFiles {
    bool ok = false;
    std::string message;            // the reason when ok is false
    std::string imagePath;          // folder\name of the chosen image
    std::string imageName;
    std::vector<uint8_t> image;
    int imageClass = -1;
    ImageVersion version;
    bool isSum = false;
    bool hasEep = false;            // a configuration is to be merged
    std::string eepPath;
    std::string eepName;
    std::vector<uint8_t> eep;       // the whole .eep file (one of eepSizes bytes)
};
UpdateFiles FindUpdateFiles(const std::string& programFolder, const std::vector<int>& eepSizes = {512});

// Texts of the image steps.
constexpr const char* kCouldntOpenFirmware = "Couldn't open firmware file!\n\n";
constexpr const char* kLoadFileFailed = "Load file failed!";
constexpr const char* kOpenFileFormatError = "Open file format ERROR!";
constexpr const char* kCannotDetermineBin = "Cannot determine hub part number in the binary file!";
constexpr const char* kCannotDetermineSum = "Cannot determine hub part number in the sum file!";
constexpr const char* kIncorrectBinaryFormat = "Incorrect binary file format!";
constexpr const char* kMismatchedFirmware = "Mismatched firmware and Hub!";
constexpr const char* kIncorrectBinaryFile = "Incorrect binary file!";
constexpr const char* kInstallIssMissing = "install.iss not found! Program exits.";
constexpr const char* kUninstallIssMissing = "uninstall.iss not found! Program exits.";
constexpr const char* kEepNotFound = "Eep file is not found! Program exits.";
constexpr const char* kBinNotFound = "Bin file is not found! Program exits.";
