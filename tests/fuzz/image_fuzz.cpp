// Firmware images of any content and length: classification, version and
// product ID, the load steps of every owner against every hub type, the
// merge of a configuration block and the checksummed image.  The first
// bytes choose the hub type and the owner; the rest is the file.
#include <cstdint>
#include <cstdlib>
#include <vector>

#include "files/EepFile.h"
#include "files/FirmwareImage.h"
#include "files/StoreFiles.h"
#include "fuzz_system.h"
#include "hub/CHubIsp.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    fuzz::Bytes in(data, size);
    const int hubType = static_cast<int>(in.U8() % 7) - 1;
    const uint8_t choice = in.U8();
    const std::vector<uint8_t> image = in.Rest();
    const int length = static_cast<int>(image.size());

    fuzz::FuzzSystem system;
    system.ini.Set("VX7100", "DbgMode", choice & 1 ? "1" : "0");

    const int cls = CHubIsp::ClassifyImage(image.data(), length);
    if (cls != -1 && cls != 1 && cls != 2 && cls != 4 && cls != 5) std::abort();
    ReadImageVersion(image.data(), length);
    ImageProductId(image.data(), length, cls);
    LoadStatusText(cls, ImageProductId(image.data(), length, cls));
    StoreVersionBytes(image.data(), length, hubType);

    system.files.Put("C:\\tool\\image.bin", image.data(), image.size());
    static const LoadOwner kOwners[] = {LoadOwner::MainDialog, LoadOwner::Console, LoadOwner::HubPage};
    const FirmwareLoad load =
        LoadFirmwareImage("C:\\tool\\image.bin", "image.bin", kOwners[(choice >> 1) % 3], hubType, choice & 8);
    if (load.image.size() != image.size()) std::abort();

    // The image's own bytes as the configuration block of a merge, and the
    // .sum that "Save with Checksum" would write.
    std::vector<uint8_t> merged = image;
    MergeConfigIntoImage(merged, cls, image.data(), length, MergeLength(hubType));
    if (cls != 4 && length > 0 && MergeLength(hubType) > 0 && merged.size() < static_cast<size_t>(0x100 + MergeLength(hubType)))
        std::abort();
    const int sumClass = cls == -1 ? 1 : cls;
    const SumImage sum =
        BuildSumImage(image.data(), length, sumClass, choice & 16 ? image.data() : nullptr, length,
                      ReadImageVersion(image.data(), length));
    if (sum.ok && sum.bytes.size() != static_cast<size_t>(StoreSize(sumClass))) std::abort();
    return 0;
}
