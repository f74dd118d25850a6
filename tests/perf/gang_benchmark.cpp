// tessaro-cli update --all on 1, 2, 4 and 8 hubs, on the bench's real clock.
//
// BM_Gang/<hubs>: one gang run of class-5 images (32 KB SPI flash, a 1 ms
// delay after every write, 125 us of bus time per vendor request), the
// power plan switched off and on once for the run.  Counters: wall_ms, and
// vs_one, the wall time over that of one hub measured in the same program
// (goal for 8 hubs: at most 1.3).
// BM_GangSequential/8: the same eight hubs with --jobs 1, one after another,
// for comparison.
#include <benchmark/benchmark.h>

#include <fcntl.h>
#include <unistd.h>

#include <chrono>
#include <cstring>
#include <filesystem>

#include "support/bench_system.h"
#include "tools/cli/cli.h"

namespace {

using tessaro::test::BenchSystem;
using tessaro::test::TestFlashPart;
using tessaro::test::TestFlashRow;

double g_oneHubMs = 0;  // BM_Gang/1 runs first

struct GangRig {
    BenchSystem sys{"tessaro-cli.exe"};

    explicit GangRig(int hubs) {
        sys.WriteIni("[VX7100]\nDbgMode=0\n[FlashInfo]\nw25=" + TestFlashRow(64, "00 00 00 00 01 00 00 00 00 00") +
                     "\n");
        namespace fs = std::filesystem;
        fs::last_write_time(sys.Native("program/tessaro.ini"),
                            fs::file_time_type::clock::now() - std::chrono::seconds(60));
        std::string text = "os 6.2.9200\nguid sequence 1\n" + TestFlashPart();
        for (int i = 0; i < hubs; ++i)
            text += "hub H" + std::to_string(i) + "\n  store spi W25\n  put 0x1D0 text \"VXI2210\"\n  function container "
                    "{2c7e0000-0000-4000-8000-0000000000" + std::to_string(10 + i) + "}\nend\n";
        sys.Bench(text);
        std::vector<uint8_t> image(0x8000);
        for (size_t i = 0; i < image.size(); ++i) image[i] = static_cast<uint8_t>(i * 13);
        std::memcpy(image.data() + 0x1D0, "VXI2210", 7);
        sys.WriteFile("gang.bin", image);
        sys.pc().UseClock(nullptr);
        sys.pc().UseRealClock();
        sys.pc().SetLatencyUs(125);
        tessaro::System s;
        s.clock = &sys.pc().Clock();
        sys.Install(s);
    }

    // One run with its table sent to /dev/null; its wall time in ms, or -1.
    double Run(const std::vector<std::string>& extra) {
        std::vector<std::string> words = {"update", "--all", sys.Native("gang.bin")};
        words.insert(words.end(), extra.begin(), extra.end());
        std::fflush(stdout);
        const int saved = dup(1);
        const int null = open("/dev/null", O_WRONLY);
        dup2(null, 1);
        close(null);
        const auto start = std::chrono::steady_clock::now();
        const int code = cli::Main(words);
        const std::chrono::duration<double, std::milli> wall = std::chrono::steady_clock::now() - start;
        std::fflush(stdout);
        dup2(saved, 1);
        close(saved);
        return code == 0 ? wall.count() : -1;
    }
};

void Measure(benchmark::State& state, const std::vector<std::string>& extra) {
    const int hubs = static_cast<int>(state.range(0));
    GangRig rig(hubs);
    double wallMs = 0;
    for (auto _ : state) {
        const double ms = rig.Run(extra);
        if (ms < 0) {
            state.SkipWithError("the gang run failed");
            return;
        }
        wallMs += ms;
        state.SetIterationTime(ms / 1000.0);
    }
    const double n = static_cast<double>(state.iterations() ? state.iterations() : 1);
    state.counters["wall_ms"] = wallMs / n;
    if (hubs == 1 && extra.empty()) g_oneHubMs = wallMs / n;
    state.counters["vs_one"] = g_oneHubMs > 0 ? wallMs / n / g_oneHubMs : 0;
    state.SetLabel(std::to_string(hubs) + " hub(s)" + (extra.empty() ? "" : ", --jobs 1"));
}

void BM_Gang(benchmark::State& state) { Measure(state, {}); }
void BM_GangSequential(benchmark::State& state) { Measure(state, {"--jobs", "1"}); }

// Each run spends its real waits (about 5 s; 40 s one hub after another).
BENCHMARK(BM_Gang)->Arg(1)->Arg(2)->Arg(4)->Arg(8)->Unit(benchmark::kMillisecond)->UseManualTime()->Iterations(2);
BENCHMARK(BM_GangSequential)->Arg(8)->Unit(benchmark::kMillisecond)->UseManualTime()->Iterations(1);

}  // namespace
