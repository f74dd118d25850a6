// `tessaro-cli update` of two hubs, one command each, run again with one
// fault at each request of the pair: no command may report success over a
// store that is not its image, or write a hub it did not identify.
#include <gtest/gtest.h>

#include <cstring>

#include "support/bench_system.h"
#include "support/sweep.h"
#include "tools/cli/cli.h"

using namespace tessaro::test;

namespace {

const char kBench[] =
    "guid sequence 9\n"
    "flash W25\n  size 64K\n  id 9F 1 EF 30 13\n  erase C7\nend\n"
    "hub Lite\n  store eeprom 256\n  put 0x1C text \"EROM\"\n  function pid 0x0B47\nend\n"
    "hub Main\n  store spi W25\n  put 0x1D0 text \"VXI2240\"\n  function pid 0x0B40\nend\n"
    "hub Spare\n  store spi W25\n  fill 3C\n  put 0x1D0 text \"VXI2240\"\n  function pid 0x0B41\nend\n";

TEST(CliSweep, NoFaultMakesAFalseSuccessOrWritesAnotherHub) {
    BenchSystem sys("tessaro-cli.exe");
    SweepImage lite{std::vector<uint8_t>(256), 256, 0x90, 16};
    for (size_t i = 0; i < 256; ++i) lite.bytes[i] = static_cast<uint8_t>(i * 3 + 7);
    std::memcpy(lite.bytes.data() + 0x1C, "EROM", 4);
    SweepImage spi{std::vector<uint8_t>(0x300), 0x5000, 0x1C0, 16};
    for (size_t i = 0; i < spi.bytes.size(); ++i) spi.bytes[i] = static_cast<uint8_t>(i * 11 + 2);
    std::memcpy(spi.bytes.data() + 0x1D0, "VXI2240", 7);
    sys.WriteIni("[FlashInfo]\nW25=9F 03 EF 30 13 C7 80 01 00 00 00 00 00 00 00 00 00 00\n");
    sys.WriteFile("lite.bin", lite.bytes);
    sys.WriteFile("spi.bin", spi.bytes);
    struct Command {
        int hub;
        const SweepImage* image;
        std::string file;
    };
    const Command commands[] = {{0, &lite, sys.Native("lite.bin")}, {1, &spi, sys.Native("spi.bin")}};
    auto run = [&](const std::string& fault) {
        sys.Bench(std::string(kBench) + fault + "\n");
        std::vector<SweepOperation> ops;
        for (const Command& c : commands) {
            SweepOperation op;
            op.from = sys.pc().Log().size();
            int code = cli::Main({"update", "--hub", std::to_string(c.hub), c.file});
            op.to = sys.pc().Log().size();
            op.hubIndexes = {c.hub};
            op.images = {c.image};
            op.succeeded = {code == 0};
            ops.push_back(op);
        }
        return ops;
    };
    std::vector<SweepOperation> clean = run("");
    ASSERT_TRUE(clean[0].succeeded[0] && clean[1].succeeded[0]);
    const std::vector<bench::LogEntry> reference = sys.pc().Requests();
    int failures = 0, successes = 0;
    for (const SweepFault& fault : SweepFaults(reference, {"Lite", "Main"})) {
        std::vector<SweepOperation> ops = run(fault.line);
        std::string violation = CheckSweepRun(sys.pc().Log(), fault, {"Lite", "Main", "Spare"}, ops, sys.pc());
        ASSERT_EQ(violation, "") << fault.line;
        (ops[1].succeeded[0] ? successes : failures)++;
    }
    EXPECT_GT(successes, 0);
    EXPECT_GT(failures, 0);
}

}  // namespace
