#include "files/FirmwareImage.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

#include "files/EepFile.h"
#include "files/FilePort.h"
#include "hub/CHubIsp.h"
#include "platform/winconst.h"
#include "settings/DebugLog.h"

namespace {

constexpr uint32_t kErrorBox = tessaro::win::kMbIconError | tessaro::win::kMbSystemModal;

bool AreaHolds(const uint8_t* area, int size, const char* marker) {
    const int n = static_cast<int>(std::strlen(marker));
    for (int i = 0; i + n <= size; ++i)
        if (std::memcmp(area + i, marker, static_cast<size_t>(n)) == 0) return true;
    return false;
}

}  // namespace

const char* HubTypeText(int hubType) {
    switch (hubType) {
    case 1: return "VX710x-10 Series  (SPI flash)";
    case 2: return "VX710x-21/22 series hub  (SPI FLASH)";
    case 3: return "VX710x-21/22 series hub  (EEPROM)";
    case 4: return "VX7103 series hub  (256 EEPROM)";
    case 5: return "VX7103 hub  (SPI flash)";
    default: return "Unknown type!";
    }
}

int StoreSize(int typeOrClass) {
    switch (typeOrClass) {
    case -1:
    case 1: return 0x4000;
    case 2:
    case 3: return 0x5000;
    case 4: return 0x100;
    case 5: return 0x8000;
    default: return 0;
    }
}

int ConfigBlockSize(int hubType) {
    switch (hubType) {
    case -1:
    case 1: return 512;
    case 2:
    case 3:
    case 5: return 144;
    case 4: return 256;
    default: return 0;
    }
}

int MergeLength(int typeOrClass) {
    switch (typeOrClass) {
    case -1:
    case 1: return 512;
    case 2:
    case 3:
    case 5: return 144;
    default: return 0;
    }
}

bool ImageFitsHub(int imageClass, int hubType) {
    if (imageClass == -1) return false;  // refused before any match: fits no hub
    return imageClass == hubType || (imageClass == 2 && hubType == 3);
}

bool ImageServesHub(int imageClass, int hubType) {
    if (ImageFitsHub(imageClass, hubType)) return true;
    if (imageClass == 5) return hubType == CHIP_ID_VX2240_SPI || hubType == CHIP_ID_VX2240_EEPROM;
    if (imageClass == 2) return hubType == CHIP_ID_VX2210_SPI;
    return false;
}

uint8_t ImageByte(const uint8_t* data, int length, int offset) {
    if (!data || offset < 0 || offset >= length) return 0xFF;
    return data[offset];
}

int CHubIsp::ClassifyImage(const uint8_t* data, int length) {
    if (!data || length <= 0) return -1;
    if (length <= kEepromImageMax) {
        static const char kErom[4] = {'E', 'R', 'O', 'M'};
        for (int i = 0; i < 4; ++i)
            if (ImageByte(data, length, kEepromMarkerOffset + i) != static_cast<uint8_t>(kErom[i])) return -1;
        return 4;
    }
    // NUL bytes between the strings of the identification area must not end
    // the search, so they are replaced before searching.
    uint8_t area[kIdAreaSize];
    for (int i = 0; i < kIdAreaSize; ++i) {
        uint8_t b = ImageByte(data, length, kIdAreaOffset + i);
        area[i] = b == 0 ? 0xFF : b;
    }
    if (AreaHolds(area, kIdAreaSize, "VXI2240") || AreaHolds(area, kIdAreaSize, "VXI2260")) return 2;
    if (AreaHolds(area, kIdAreaSize, "VXI2250") || AreaHolds(area, kIdAreaSize, "VXI2210")) return 5;
    return 1;
}

uint16_t ImageProductId(const uint8_t* data, int length, int imageClass) {
    const int at = imageClass == 4 ? kEepromProductOffset : kFlashProductOffset;
    return static_cast<uint16_t>(ImageByte(data, length, at) | (ImageByte(data, length, at + 1) << 8));
}

const char* ModelName(uint16_t productId) {
    switch (productId) {
    case 0x0B42: return "VX7100";
    case 0x0B46: return "VX7101";
    case 0x0B47: return "VX7102";
    default: return "VX71XX";
    }
}

ImageVersion ReadImageVersion(const uint8_t* data, int length) {
    ImageVersion v;
    const bool eeprom = length <= kEepromImageMax;
    v.low = ImageByte(data, length, eeprom ? kEepromVersionLow : kFlashVersionLow);
    v.high = ImageByte(data, length, eeprom ? kEepromVersionHigh : kFlashVersionHigh);
    return v;
}

std::string VersionText(uint8_t high, uint8_t low) {
    char text[8];
    std::snprintf(text, sizeof text, "%02X%02X", high, low);
    return text;
}

std::string LoadStatusText(int imageClass, uint16_t productId) {
    switch (imageClass) {
    case 1: return std::string("Load ") + ModelName(productId) + " - 10 bin file OK";
    case 2: return std::string("Load ") + ModelName(productId) + " - 21 bin file OK";
    case 4: return "Load VX7103 bin file (256 EEPROM) OK";
    case 5: return "Load VX7103 bin file OK";
    default: return "Undetermined firmware format!";
    }
}

std::string UpdateOnlySumStatus(int imageClass) {
    switch (imageClass) {
    case 1: return "Load VX7100 sum file OK";
    case 2:
    case 5: return "Load VX7101 sum file OK";
    default: return "Undetermined firmware format!";
    }
}

std::string UpdateOnlyBinStatus(int imageClass) {
    switch (imageClass) {
    case 1: return "Load VX7100 - 10 bin file OK";
    case 2: return "Load VX7101 - 21 bin file OK";
    case 4: return "Load VX7103 bin file (256 EEPROM) OK";
    case 5: return "Load VX7103 bin file OK";
    default: return "Undetermined firmware format!";
    }
}

FirmwareLoad LoadFirmwareImage(const std::string& path, const std::string& fileName, LoadOwner owner,
                               int hubType, bool checkImage, int uncheckedClass) {
    FirmwareLoad r;
    const bool page = owner == LoadOwner::HubPage;
    const bool shown = owner != LoadOwner::Console;

    // A file that cannot be read whole is reported exactly like one that
    // cannot be opened, so a short read never leaves uninitialised bytes in
    // an image that might be programmed.
    uint32_t error = 0;
    std::vector<uint8_t> bytes;
    if (!ReadWholeFile(path, bytes, error)) {
        const std::string text = kCouldntOpenFirmware + path;
        DebugLog("Couldn't open firmware file: %s\n", SystemErrorText(error).c_str());
        r.failure = LoadFailure::Open;
        if (page) {
            r.report.box = text;
            r.report.boxStyle = kErrorBox;
            r.report.status = kOpenFileFormatError;
            r.report.style = StatusStyle::Failure;
        } else {
            r.report.message = text;
            if (shown) {
                r.report.box = text;
                r.report.boxStyle = kErrorBox;
                r.report.status = kLoadFileFailed;
            }
        }
        return r;
    }

    r.imageRead = true;
    r.image.swap(bytes);
    const uint8_t* data = r.image.data();
    const int length = static_cast<int>(std::min<size_t>(r.image.size(), 0x7FFFFFFF));
    r.version = ReadImageVersion(data, length);
    r.versionText = VersionText(r.version.high, r.version.low);

    if (page && !checkImage) {
        r.imageClass = uncheckedClass;
    } else {
        r.imageClass = CHubIsp::ClassifyImage(data, length);
        if (r.imageClass == -1) {
            r.failure = LoadFailure::Unclassified;
            if (shown) {
                r.report.box = kCannotDetermineBin;
                r.report.boxStyle = kErrorBox;
                r.report.status = kIncorrectBinaryFormat;
            }
            if (page) {
                r.report.style = StatusStyle::Failure;
            } else {
                r.report.message = kIncorrectBinaryFormat;
                DebugLog("%s\n", kIncorrectBinaryFormat);
            }
            return r;
        }
        if (!ImageFitsHub(r.imageClass, hubType)) {
            r.failure = LoadFailure::Mismatch;
            const char* text = page ? kIncorrectBinaryFile : kMismatchedFirmware;
            if (shown) {
                r.report.box = text;
                r.report.boxStyle = kErrorBox;
            }
            if (page)
                DebugLog("%s\n", text);
            else
                r.report.message = text;  // the console prints the reason from here
            return r;
        }
    }

    r.ok = true;
    r.productId = ImageProductId(data, length, r.imageClass);
    r.modelName = ModelName(r.productId);
    if (shown) {
        r.report.status = LoadStatusText(r.imageClass, r.productId);
        if (page) r.report.style = StatusStyle::LoadSuccess;
        r.fileNameField = fileName;
    }
    return r;
}

UpdateFiles FindUpdateFiles(const std::string& programFolder, const std::vector<int>& eepSizes) {
    UpdateFiles r;
    tessaro::IFileSystem* files = tessaro::Sys().files;
    if (!files || !files->Exists(programFolder + "\\install.iss")) {
        r.message = kInstallIssMissing;
        return r;
    }
    if (!files->Exists(programFolder + "\\uninstall.iss")) {
        r.message = kUninstallIssMissing;
        return r;
    }

    std::string name = FirstMatch(programFolder + "\\*.sum");
    r.isSum = !name.empty();
    if (!r.isSum) name = FirstMatch(programFolder + "\\*.bin");
    if (name.empty()) {
        r.message = kBinNotFound;
        return r;
    }

    r.imageName = name;
    r.imagePath = programFolder + "\\" + name;
    uint32_t error = 0;
    if (!ReadWholeFile(r.imagePath, r.image, error)) {
        // Found but unreadable: the same text as the interactive load.
        r.message = kCouldntOpenFirmware + r.imagePath;
        DebugLog("Couldn't open firmware file: %s\n", SystemErrorText(error).c_str());
        return r;
    }
    const int length = static_cast<int>(std::min<size_t>(r.image.size(), 0x7FFFFFFF));
    r.imageClass = CHubIsp::ClassifyImage(r.image.data(), length);
    r.version = ReadImageVersion(r.image.data(), length);
    if (r.imageClass == -1) {
        r.message = r.isSum ? kCannotDetermineSum : kCannotDetermineBin;
        return r;
    }
    if (r.isSum) {  // a .sum already carries its configuration
        r.ok = true;
        return r;
    }

    const std::string eep = FirstMatch(programFolder + "\\*.eep");
    if (eep.empty()) {
        r.ok = true;
        return r;
    }
    r.eepName = eep;
    r.eepPath = programFolder + "\\" + eep;
    if (!ReadWholeFile(r.eepPath, r.eep, error)) {
        r.message = kCouldntOpenEep + r.eepPath;
        DebugLog("Couldn't open EEP file: %s\n", SystemErrorText(error).c_str());
        r.eep.clear();
        return r;
    }
    if (std::find(eepSizes.begin(), eepSizes.end(), static_cast<int>(r.eep.size())) == eepSizes.end()) {
        r.message = kEepNotFound;
        r.eep.clear();
        return r;
    }
    r.hasEep = true;
    r.ok = true;
    return r;
}
