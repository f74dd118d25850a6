#include "files/StoreFiles.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

#include "files/FilePort.h"
#include "hub/CHubIsp.h"
#include "platform/winconst.h"
#include "settings/DebugLog.h"

namespace {

constexpr uint32_t kErrorBox = tessaro::win::kMbIconError | tessaro::win::kMbSystemModal;
constexpr uint32_t kInfoBox = tessaro::win::kMbIconInformation | tessaro::win::kMbSystemModal;

std::string HubText(const char* format, int hubNumber) {
    char text[64];
    std::snprintf(text, sizeof text, format, hubNumber);
    return text;
}

}  // namespace

uint16_t CalcChecksum(const uint8_t* data, int length) {
    if (!data || length <= 0) return 0;
    unsigned sum = 0;
    for (int i = 0; i < length; ++i) sum += data[i];
    return static_cast<uint16_t>(sum & 0xFFFF);
}

StoreVersion StoreVersionFromBlock(const uint8_t* block, int size) {
    StoreVersion v;
    const uint8_t low = ImageByte(block, size, 14);
    const uint8_t high = ImageByte(block, size, 15);
    v.value = static_cast<uint16_t>(low | high << 8);
    v.masked = v.value == 0xFFFF;
    if (!v.masked) {
        char text[8];
        std::snprintf(text, sizeof text, "%04X", v.value);
        v.text = text;
    }
    return v;
}

UiReport StoreVersionReadFailed(ToolOwner owner, const std::string& lastError) {
    UiReport r;
    switch (owner) {
    case ToolOwner::MainDialog:
        r.box = kReadXromFail;
        r.boxStyle = kErrorBox;
        r.status = kReadXromDataFailed;
        break;
    case ToolOwner::Console:
        r.message = lastError;
        break;
    case ToolOwner::HubPage:
        r.status = kReadXromDataFailed;
        r.style = StatusStyle::Failure;
        break;
    }
    return r;
}

std::string DefaultStoreFileName(uint8_t high, uint8_t low) {
    char text[16];
    std::snprintf(text, sizeof text, ".\\%02X%02X", high, low);
    return text;
}

ImageVersion StoreVersionBytes(const uint8_t* store, int size, int hubType) {
    ImageVersion v;
    const bool eeprom = hubType == 4;
    v.low = ImageByte(store, size, eeprom ? kEepromVersionLow : kFlashVersionLow);
    v.high = ImageByte(store, size, eeprom ? kEepromVersionHigh : kFlashVersionHigh);
    return v;
}

UiReport DumpFailed(ToolOwner owner, int hubNumber) {
    UiReport r;
    r.box = kDumpFailed;
    if (owner == ToolOwner::HubPage) {
        r.boxStyle = kInfoBox;
        r.status = HubText("Hub%d dump failed.", hubNumber);
        r.style = StatusStyle::Failure;
    } else {
        r.boxStyle = kErrorBox;
    }
    return r;
}

bool WriteDumpFile(const std::string& path, const std::vector<uint8_t>& store, ToolOwner owner, int hubNumber,
                   UiReport* report) {
    uint32_t error = 0;
    if (!WriteWholeFile(path, store.data(), store.size(), error)) {
        DebugLog("Couldn't write dump file %s: %s\n", path.c_str(), SystemErrorText(error).c_str());
        if (report) *report = DumpFailed(owner, hubNumber);
        return false;
    }
    if (report) {
        *report = UiReport();
        report->box = kDumpOk;
        report->boxStyle = kInfoBox;
        if (owner == ToolOwner::HubPage) {
            report->status = HubText("Hub%d dump successfully.", hubNumber);
            report->style = StatusStyle::ToolSuccess;
        } else {
            report->status = kDumpOk;
        }
    }
    return true;
}

SumImage BuildSumImage(const uint8_t* image, int length, int imageClass, const uint8_t* config, int configSize,
                       ImageVersion version) {
    SumImage s;
    const int store = StoreSize(imageClass);
    if (store == 0) return s;
    s.bytes.assign(static_cast<size_t>(store), 0xFF);
    if (image && length > 0) std::memcpy(s.bytes.data(), image, static_cast<size_t>(std::min(length, store)));

    const int merge = MergeLength(imageClass);
    if (config && configSize > 0 && imageClass != 4 && merge > 0) {
        std::memcpy(s.bytes.data() + kFlashConfigOffset, config, static_cast<size_t>(std::min(merge, configSize)));
        // Written after the configuration, so the configuration never
        // changes the image's version.
        s.bytes[kFlashVersionLow] = version.low;
        s.bytes[kFlashVersionHigh] = version.high;
    }

    s.checksum = CalcChecksum(s.bytes.data(), store - 2);
    s.bytes[static_cast<size_t>(store - 2)] = static_cast<uint8_t>(s.checksum >> 8);
    s.bytes[static_cast<size_t>(store - 1)] = static_cast<uint8_t>(s.checksum & 0xFF);
    s.reportedSum = CalcChecksum(s.bytes.data(), store);

    char text[48];
    std::snprintf(text, sizeof text, "Save OK! checksum = 0x%04X", s.reportedSum);
    s.okText = text;
    s.defaultName = DefaultStoreFileName(version.high, version.low);
    s.ok = true;
    return s;
}

bool WriteSumFile(const std::string& path, const SumImage& sum, ToolOwner owner, UiReport* report) {
    UiReport r;
    uint32_t error = 0;
    const bool ok = sum.ok && WriteWholeFile(path, sum.bytes.data(), sum.bytes.size(), error);
    if (ok) {
        r.status = sum.okText;
        if (owner == ToolOwner::HubPage) r.style = StatusStyle::ToolSuccess;
    } else {
        const std::string reason = sum.ok ? SystemErrorText(error) : std::string("Undetermined firmware format!");
        DebugLog("Couldn't save checksum file %s: %s\n", path.c_str(), reason.c_str());
        r.box = kSaveSumFailed + path + "\n\n" + reason;
        r.boxStyle = kErrorBox;
        r.status = kSaveSumFailedStatus;
        if (owner == ToolOwner::HubPage) r.style = StatusStyle::Failure;
        if (owner == ToolOwner::Console) {
            r.message = r.box;
            r.box.clear();
            r.status.clear();
        }
    }
    if (report) *report = r;
    return ok;
}
