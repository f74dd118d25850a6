// Configuration blocks of any content and length: the format check, the
// .eep load for every hub type, decoding in every format and the text form
// of what was decoded, which must read back as the same configuration.
// The first byte chooses the hub type (-1 to 5); the rest is the block.
#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include "files/ConfigBlock.h"
#include "files/ConfigText.h"
#include "files/EepFile.h"
#include "fuzz_system.h"
#include "hub/CHubIsp.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    fuzz::Bytes in(data, size);
    const int hubType = static_cast<int>(in.U8() % 7) - 1;
    const std::vector<uint8_t> block = in.Rest();
    const int length = static_cast<int>(block.size());

    fuzz::FuzzSystem system;
    CheckEepBlock(block.data(), length);
    {
        CHubIsp isp;
        isp.m_quiet = 1;
        isp.CheckEepFormat(block.data(), length);
    }
    system.files.Put("C:\\tool\\config.eep", block.data(), block.size());
    const EepLoad load = LoadEepForHub("C:\\tool\\config.eep", "config.eep", hubType, EepOwner::Console);
    if (load.ok && load.block.size() != block.size()) std::abort();

    std::vector<ConfigFormat> formats;
    for (int type : {1, 2, 4, -1}) {
        ConfigFormat f;
        if (ConfigFormatForHubType(type, &f)) formats.push_back(f);
        f.form = ConfigForm::Compact;
        formats.push_back(f);
    }
    ConfigFormat bySize;
    if (ConfigFormatForSize(length, &bySize)) formats.push_back(bySize);

    for (const ConfigFormat& f : formats) {
        ConfigDecodeNotes notes;
        const HubConfig model = DecodeConfig(block.data(), length, f, &notes);
        // The text form reads back into a block that encodes to the same bytes.
        const std::string text = ConfigToText(model, f, &notes);
        Description d;
        std::string error;
        if (!ParseDescription(text, &d, &error)) std::abort();
        HubConfig again;
        ConfigFormat format;
        if (!ConfigFromEntries(d.config, f.hubType, &again, &format, &error)) std::abort();
        std::vector<uint8_t> first(static_cast<size_t>(f.size)), second(static_cast<size_t>(format.size));
        EncodeConfig(model, f, first.data(), f.size);
        EncodeConfig(again, format, second.data(), format.size);
        if (first != second) std::abort();
    }
    return 0;
}
