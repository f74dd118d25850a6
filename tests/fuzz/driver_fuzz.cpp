// The filter driver's answers as the engine reads them: the device count,
// the enumeration records, the container and instance ID records and the
// answers of vendor requests, all taken from the fuzzer's bytes.  Each
// answer may fail, be short, or claim more bytes than were asked for.
//
// Input: a settings byte (bit 0 UUUIsp, bit 1 SupportUUHub, bit 2 EnterIsp 1
// instead of 2, bits 5-7 the hub index), then per driver call a byte H:
//   H & 0x0F == 0   the call fails (as does every call once the input ends);
//   H & 0x10        the answer fills the whole output buffer, else a 16-bit
//                   length follows;
//   then up to 64 bytes, repeated over the answer's length;
//   H & 0x20        a count is written at offset 4 (the device count field):
//                   one byte when H & 0x40, else 32 bits;
//   H & 0x80        a 32-bit "bytes returned" follows, else it is the length.
#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "fuzz_system.h"
#include "hub/CHubIsp.h"

namespace {

class FuzzedDriver : public tessaro::IDriver {
public:
    explicit FuzzedDriver(fuzz::Bytes& in) : m_in(in) {}

    tessaro::Handle Open(const std::string&) override {
        if (m_in.Empty()) {
            tessaro::SetLastError(2);
            return tessaro::kInvalidHandle;
        }
        return 7;
    }

    bool IoControl(tessaro::Handle, uint32_t, const void*, uint32_t, void* out, uint32_t outSize,
                   uint32_t* returned) override {
        const uint8_t how = m_in.U8();
        if (m_in.Empty() || (how & 0x0F) == 0) {
            tessaro::SetLastError(31);
            return false;
        }
        // A count first, so that enumerations of many devices are reached
        // without inputs of many bytes: the count field of the answer is
        // written from it and the records repeat the bytes that follow.
        const uint32_t length = std::min<uint32_t>(outSize, how & 0x10 ? 0xFFFFu : m_in.U16());
        const std::vector<uint8_t> bytes = m_in.Take(std::min<uint32_t>(length, 64));
        uint8_t* dst = static_cast<uint8_t*>(out);
        for (uint32_t i = 0; i < length && !bytes.empty(); ++i) dst[i] = bytes[i % bytes.size()];
        if ((how & 0x20) && outSize >= 8) {
            const uint32_t count = how & 0x40 ? m_in.U8() : m_in.U32();
            std::memcpy(dst + 4, &count, 4);
        }
        if (returned) *returned = how & 0x80 ? m_in.U32() : length;
        return true;
    }

    void Close(tessaro::Handle) override {}

private:
    fuzz::Bytes& m_in;
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    fuzz::Bytes in(data, size);
    const uint8_t settings = in.U8();
    fuzz::FuzzSystem system;
    system.ini.Set("VX7100", "DbgMode", "1");
    system.ini.Set("VX7100", "UUUIsp", settings & 1 ? "yes" : "no");
    system.ini.Set("VX7100", "SupportUUHub", settings & 2 ? "1" : "0");
    system.ini.Set("VX7100", "EnterIsp", settings & 4 ? "1" : "2");
    system.ini.AddLine("FlashInfo", "W25X40=9F 03 EF 30 13 C7 40 01 50 00 00 02 00 00 00 00 00 00");
    system.ini.AddLine("FlashInfo", "MX25L=9F 03 C2 20 13 C7 20 01 50 00 00 02 00 00 00 00 00 00");
    FuzzedDriver driver(in);
    tessaro::System ports;
    ports.driver = &driver;
    system.Install(ports);

    CHubIsp isp;
    isp.m_quiet = 1;
    const int hub = settings >> 5;
    if (isp.OpenDevice()) {
        // A table that was built (it may list no hub: every function was
        // dropped) holds the maker's hubs only, and every hub it counts can
        // be read.
        unsigned hubs = 0;
        if (!isp.GetHubNumber(&hubs) || hubs > static_cast<unsigned>(kMaxCandidates)) std::abort();
        for (unsigned i = 0; i <= hubs && i < 9; ++i) {
            HubRecord record{};
            const int read = isp.GetHubInfo(&record, i);
            if (i < hubs && (!read || record.devType == 0)) std::abort();
            if (i == hubs && read) std::abort();
        }
        isp.SetHubIndex(hub);
        isp.CloseDevice();
    }
    std::vector<std::string> paths;
    isp.GetHubRegistryPaths(hub, &paths);
    isp.GetChipType(hub, isp.IspEntrySelector());
    return 0;
}
