// Host time of a full firmware update on the bench, per image class, with the
// diagnostic log off and on.  The bench runs on a virtual clock with no
// latency, so what is measured is the engine's own work (and the bench's).
#include <benchmark/benchmark.h>

#include <cstring>

#include "hub/CHubIsp.h"
#include "support/bench_system.h"

namespace {

using tessaro::test::BenchSystem;
using tessaro::test::TestFlashPart;
using tessaro::test::TestFlashRow;

class NullDebug : public tessaro::IDebugOutput {
public:
    void Output(const char*) override {}
};

struct Case {
    int imageClass;
    int length;
    const char* hub;
    const char* marker;
    int markerAt;
};

const Case kCases[] = {
    {1, 0x4000, "hub H\n  store spi W25\n  function\nend\n", nullptr, 0},
    {2, 0x5000, "hub H\n  store spi W25\n  put 0x1D0 text \"VXI2240\"\n  function\nend\n", "VXI2240", 0x1D0},
    {4, 0x100, "hub H\n  store eeprom 256\n  isp yes\n  put 0x1C text \"EROM\"\n  function\nend\n", "EROM", 0x1C},
    {5, 0x8000, "hub H\n  store spi W25\n  put 0x1D0 text \"VXI2210\"\n  function\nend\n", "VXI2210", 0x1D0},
};

void BM_Update(benchmark::State& state) {
    const Case& c = kCases[state.range(0)];
    const bool log = state.range(1) != 0;
    BenchSystem sys;
    NullDebug sink;
    tessaro::System s;
    s.debug = &sink;
    sys.WriteIni(std::string("[VX7100]\nDbgMode=") + (log ? "1" : "0") + "\n[FlashInfo]\nw25=" + TestFlashRow(64) + "\n");
    sys.Bench("guid sequence 1\n" + TestFlashPart() + c.hub);
    sys.Install(s);
    std::vector<uint8_t> image(static_cast<size_t>(c.length));
    for (size_t i = 0; i < image.size(); ++i) image[i] = static_cast<uint8_t>(i * 13);
    if (c.marker) std::memcpy(image.data() + c.markerAt, c.marker, std::strlen(c.marker));
    CHubIsp isp;
    isp.m_quiet = 1;
    for (auto _ : state) {
        std::vector<uint8_t> data = image;
        if (!isp.UpdateFirmware(0, c.imageClass, data.data(), c.length, nullptr, nullptr, nullptr)) {
            state.SkipWithError(isp.m_lasterror.c_str());
            break;
        }
    }
    state.SetLabel(std::string("class ") + std::to_string(c.imageClass) + (log ? ", DbgMode 1" : ", DbgMode 0"));
    state.SetItemsProcessed(state.iterations() * c.length);
}

BENCHMARK(BM_Update)->ArgsProduct({{0, 1, 2, 3}, {0, 1}})->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
