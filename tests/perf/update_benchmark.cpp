// The host's cost of a firmware update on the bench, per image class.
//
// BM_HostCpu/<case>/<DbgMode>: the process's CPU time for one update, on a
// virtual clock (no wait is spent, so nothing but work is counted), with the
// diagnostic switch as shipped (0) and on (1, lines to a null sink).
//
// BM_WallToFloor/<case>/<latency in us>: one update on the bench's real
// clock, every vendor request spending the given bus time.  The floor is
// what the update cannot go below: the tool's own waits plus the bus time of
// its requests, both taken from a run of the same update on a virtual clock.
// The ratio wall / floor is what the host's work and the waits' overshoot
// add on top.
//
// The INI file is made older than the INI reader's settle time, as the file
// beside an installed tool is; a freshly written one is read again while it
// is young and would be measured instead.
#include <benchmark/benchmark.h>

#include <time.h>

#include <chrono>
#include <cstring>
#include <filesystem>
#include <memory>

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

double ProcessCpuMs() {
    timespec t{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
    return static_cast<double>(t.tv_sec) * 1e3 + static_cast<double>(t.tv_nsec) / 1e6;
}

// A bench with one hub for the case, an old INI and the tool's ports.
struct Rig {
    BenchSystem sys;
    NullDebug sink;
    std::vector<uint8_t> image;
    std::unique_ptr<CHubIsp> isp;  // made once the ports are in place

    Rig(const Case& c, bool log) {
        // The flash part asks for a 1 ms delay after every write, as parts in
        // the field do.
        sys.WriteIni(std::string("[VX7100]\nDbgMode=") + (log ? "1" : "0") + "\n[FlashInfo]\nw25=" +
                     TestFlashRow(64, "00 00 00 00 01 00 00 00 00 00") + "\n");
        namespace fs = std::filesystem;
        fs::last_write_time(sys.Native("program/tessaro.ini"),
                            fs::file_time_type::clock::now() - std::chrono::seconds(60));
        sys.Bench("guid sequence 1\n" + TestFlashPart() + c.hub);
        tessaro::System s;
        s.debug = &sink;
        sys.Install(s);
        image.resize(static_cast<size_t>(c.length));
        for (size_t i = 0; i < image.size(); ++i) image[i] = static_cast<uint8_t>(i * 13);
        if (c.marker) std::memcpy(image.data() + c.markerAt, c.marker, std::strlen(c.marker));
        isp = std::make_unique<CHubIsp>();
        isp->m_quiet = 1;
    }

    bool Update(const Case& c) {
        std::vector<uint8_t> data = image;
        return isp->UpdateFirmware(0, c.imageClass, data.data(), c.length, nullptr, nullptr, nullptr) != 0;
    }
};

void BM_HostCpu(benchmark::State& state) {
    const Case& c = kCases[state.range(0)];
    const bool log = state.range(1) != 0;
    Rig rig(c, log);
    double cpuMs = 0;
    for (auto _ : state) {
        state.PauseTiming();
        rig.sys.pc().ClearLog();  // the bench's in-memory request log, not the tool's work
        state.ResumeTiming();
        const double before = ProcessCpuMs();
        const bool ok = rig.Update(c);
        cpuMs += ProcessCpuMs() - before;
        if (!ok) {
            state.SkipWithError(rig.isp->m_lasterror.c_str());
            break;
        }
    }
    state.counters["cpu_ms"] = benchmark::Counter(cpuMs, benchmark::Counter::kAvgIterations);
    state.SetLabel("class " + std::to_string(c.imageClass) + (log ? ", DbgMode 1" : ", DbgMode 0"));
}

void BM_WallToFloor(benchmark::State& state) {
    const Case& c = kCases[state.range(0)];
    const uint32_t latencyUs = static_cast<uint32_t>(state.range(1));
    Rig rig(c, false);
    // The floor, from the same update on the virtual clock.
    rig.sys.clock.ClearWaits();
    rig.sys.pc().ClearLog();
    if (!rig.Update(c)) {
        state.SkipWithError(rig.isp->m_lasterror.c_str());
        return;
    }
    const double waitsMs = static_cast<double>(rig.sys.clock.TotalWaited());
    const double requests = static_cast<double>(rig.sys.pc().Requests().size());
    const double floorMs = waitsMs + requests * latencyUs / 1000.0;

    // Now on wall time.
    rig.sys.pc().UseClock(nullptr);
    rig.sys.pc().UseRealClock();
    rig.sys.pc().SetLatencyUs(latencyUs);
    tessaro::System s;
    s.clock = &rig.sys.pc().Clock();
    rig.sys.Install(s);
    double wallMs = 0, cpuMs = 0;
    for (auto _ : state) {
        rig.sys.pc().ClearLog();
        const double cpuBefore = ProcessCpuMs();
        const auto start = std::chrono::steady_clock::now();
        const bool ok = rig.Update(c);
        const std::chrono::duration<double, std::milli> wall = std::chrono::steady_clock::now() - start;
        cpuMs += ProcessCpuMs() - cpuBefore;
        if (!ok) {
            state.SkipWithError(rig.isp->m_lasterror.c_str());
            break;
        }
        wallMs += wall.count();
        state.SetIterationTime(wall.count() / 1000.0);
    }
    const double n = static_cast<double>(state.iterations() ? state.iterations() : 1);
    state.counters["floor_ms"] = floorMs;
    state.counters["waits_ms"] = waitsMs;
    state.counters["requests"] = requests;
    state.counters["wall_ms"] = wallMs / n;
    state.counters["cpu_ms"] = cpuMs / n;  // with the cost of the sleeps and wake-ups themselves
    state.counters["ratio"] = floorMs > 0 ? wallMs / n / floorMs : 0;
    state.SetLabel("class " + std::to_string(c.imageClass) + ", latency " + std::to_string(latencyUs) + " us");
}

BENCHMARK(BM_HostCpu)->ArgsProduct({{0, 1, 2, 3}, {0, 1}})->Unit(benchmark::kMillisecond)->MeasureProcessCPUTime();
// Each of these spends the update's real waits (1 to 4.5 s): two iterations.
BENCHMARK(BM_WallToFloor)
    ->ArgsProduct({{0, 1, 2, 3}, {125, 1000}})
    ->Unit(benchmark::kMillisecond)
    ->UseManualTime()
    ->Iterations(2);

}  // namespace

BENCHMARK_MAIN();
