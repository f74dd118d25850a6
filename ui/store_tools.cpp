#include "ui/store_tools.h"

#include <cctype>

#include "files/FirmwareImage.h"
#include "files/StoreFiles.h"

namespace ui {

FileRequest ImageOpenRequest() {
    FileRequest request;
    request.filter = "Binary File (*.bin)|*.bin|Rom File (*.rom)|*.rom|Sum File (*.sum)|*.sum||";
    return request;
}

bool ImageCarriesConfig(const std::string& ext) {
    std::string lower = ext;
    for (char& c : lower) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return lower == "sum" || lower == "rom";
}

bool ReadStoreForDump(CHubIsp& isp, int hubType, int hubIndex, std::vector<uint8_t>& store) {
    isp.LoadFlashInfo();
    const int size = StoreSize(hubType);
    store.assign(static_cast<size_t>(size > 0 ? size : 0x4000), 0);
    return isp.ReadData(store.data(), static_cast<int>(store.size()), 0, static_cast<unsigned>(hubIndex)) != 0;
}

FileRequest DumpFileRequest(const std::vector<uint8_t>& store, int hubType) {
    const ImageVersion v = StoreVersionBytes(store.data(), static_cast<int>(store.size()), hubType);
    FileRequest request;
    request.save = true;
    request.defaultExt = "ROM";
    request.fileName = DefaultStoreFileName(v.high, v.low);
    request.filter = "ROM Files (*.rom)|*.rom||";
    return request;
}

}  // namespace ui
