#include "files/EepFile.h"

#include <algorithm>
#include <cstring>

#include "files/ConfigBlock.h"
#include "files/FilePort.h"
#include "files/FirmwareImage.h"
#include "hub/CHubIsp.h"
#include "platform/winconst.h"
#include "settings/DebugLog.h"

namespace {

constexpr uint32_t kErrorBox = tessaro::win::kMbIconError | tessaro::win::kMbSystemModal;

// Loadable block size for a hub type: the sizes the hub keeps at 0x100.
int LoadableSize(int hubType) {
    switch (hubType) {
    case 1: return 512;
    case 2:
    case 3:
    case 5: return 144;
    default: return 0;  // 4: edited in its own 256-byte buffer; -1 and 0: no block
    }
}

void Report(UiReport* report, EepOwner owner, const std::string& text) {
    if (!report) return;
    if (owner == EepOwner::Console) {
        report->message = text;
        return;
    }
    if (owner == EepOwner::MainDialog) report->message = text;
    report->box = text;
    report->boxStyle = kErrorBox;
}

}  // namespace

bool CHubIsp::CheckEepFormat(const uint8_t* data, int size) {
    switch (CheckEepBlock(data, size)) {
    case EepCheck::Ok:
        return true;
    case EepCheck::BadSize:
        DebugLog("eeprom size error! 0x%x\n", static_cast<unsigned>(size));
        break;
    case EepCheck::BadMarker:
        DebugLog("eeprom format error! (first byte)");
        break;
    }
    m_lasterror = kIncompatibleEepCheck;
    return false;
}

EepLoad LoadEepForHub(const std::string& path, const std::string& displayName, int hubType, EepOwner owner) {
    EepLoad r;
    const bool shown = owner != EepOwner::Console;
    auto fail = [&](const std::string& text) {
        Report(&r.report, owner, text);
        if (shown) {
            r.report.status = kLoadEepFailed;
            if (owner == EepOwner::HubPage) r.report.style = StatusStyle::Failure;
            DebugLog("%s\n", kLoadEepFailed);
        }
        return r;
    };

    // A file that cannot be read whole fails like one that cannot be opened.
    uint32_t error = 0;
    std::vector<uint8_t> bytes;
    if (!ReadWholeFile(path, bytes, error)) {
        DebugLog("Couldn't open EEP file: %s\n", SystemErrorText(error).c_str());
        r.openFailed = true;
        return fail(kCouldntOpenEep + path);
    }
    r.expectedSize = LoadableSize(hubType);
    if (r.expectedSize == 0) return fail(kChipTypeErrorLoad);
    if (bytes.size() != static_cast<size_t>(r.expectedSize)) return fail(kIncompatibleEep);

    r.ok = true;
    r.block.swap(bytes);
    if (shown) {
        r.eepNameField = displayName;
        r.report.status = kLoadEepOk;
        if (owner == EepOwner::HubPage) r.report.style = StatusStyle::LoadSuccess;
    }
    return r;
}

void MergeConfigIntoImage(std::vector<uint8_t>& image, int imageClass, const uint8_t* block, int blockSize,
                          int copyLength) {
    if (imageClass == 4 || copyLength <= 0 || !block || blockSize <= 0) return;
    const size_t end = static_cast<size_t>(kFlashConfigOffset) + static_cast<size_t>(copyLength);
    if (image.size() < end) image.resize(end, 0xFF);
    // The version bytes belong to the firmware, not to the configuration.
    const uint8_t low = image[kFlashVersionLow];
    const uint8_t high = image[kFlashVersionHigh];
    const size_t n = static_cast<size_t>(std::min(copyLength, blockSize));
    std::memcpy(image.data() + kFlashConfigOffset, block, n);
    image[kFlashVersionLow] = low;
    image[kFlashVersionHigh] = high;
}

bool AssignEepMainDialog(std::vector<uint8_t>& image, int imageClass, int copyLength, const uint8_t* block,
                         int blockSize, EepOwner owner, UiReport* report) {
    if (!block || blockSize <= 0) {
        DebugLog("%s\n", kConfigBufferNull);
        Report(report, owner, kConfigBufferNull);
        return false;
    }
    if (owner == EepOwner::Console && block[0] != 0x55 && block[0] != 0xAA) {
        Report(report, owner, kInvalidEepData);
        return false;
    }
    MergeConfigIntoImage(image, imageClass, block, blockSize, copyLength);
    return true;
}

bool AssignEepHubPage(std::vector<uint8_t>& image, bool hasImage, int imageClass, int hubType, bool eepLoaded,
                      const uint8_t* block, int blockSize, UiReport* report) {
    if (!hasImage || image.empty()) {
        DebugLog("%s\n", kDataBufferNull);
        Report(report, EepOwner::HubPage, kDataBufferNull);
        return false;
    }
    if (hubType == 4 || hubType == -1 || MergeLength(hubType) == 0) {
        Report(report, EepOwner::HubPage, kChipTypeErrorAssign);
        return false;
    }
    if (!eepLoaded) return true;
    if (!block || blockSize <= 0) {
        DebugLog("%s\n", kConfigBufferNull);
        Report(report, EepOwner::HubPage, kConfigBufferNull);
        return false;
    }
    MergeConfigIntoImage(image, imageClass, block, blockSize, MergeLength(hubType));
    return true;
}
