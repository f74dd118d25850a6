// The console update of two hubs, run again with one fault at each of its
// requests: a failed request, a short read, a flipped bit, a hub leaving the
// bus and coming back at the end of the list.  No run may report success
// over a store that is not its image, or write a hub it did not identify.
#include <gtest/gtest.h>

#include <cstring>

#include "app/CTessaroApp.h"
#include "app/console.h"
#include "support/bench_system.h"
#include "support/sweep.h"

using namespace tessaro::test;

namespace {

// Lite and Main are updated; Spare, of Main's kind, waits behind them and
// moves up when a hub before it leaves.
const char kBench[] =
    "guid sequence 5\n"
    "flash W25\n  size 64K\n  id 9F 1 EF 30 13\n  erase C7\nend\n"
    "hub Lite\n  store eeprom 256\n  put 0x1C text \"EROM\"\n  function pid 0x0B47\nend\n"
    "hub Main\n  store spi W25\n  put 0x1D0 text \"VXI2240\"\n  function pid 0x0B40\nend\n"
    "hub Spare\n  store spi W25\n  fill 3C\n  put 0x1D0 text \"VXI2240\"\n  function pid 0x0B41\nend\n";

SweepImage LiteImage() {
    SweepImage image{std::vector<uint8_t>(256), 256, 0x90, 16};
    for (size_t i = 0; i < 256; ++i) image.bytes[i] = static_cast<uint8_t>(i ^ 0x5A);
    std::memcpy(image.bytes.data() + 0x1C, "EROM", 4);
    return image;
}

SweepImage SpiImage() {
    SweepImage image{std::vector<uint8_t>(0x400), 0x5000, 0x1C0, 16};
    for (size_t i = 0; i < image.bytes.size(); ++i) image.bytes[i] = static_cast<uint8_t>(i * 5 + 1);
    std::memcpy(image.bytes.data() + 0x1D0, "VXI2240", 7);
    return image;
}

TEST(ConsoleSweep, NoFaultMakesAFalseSuccessOrWritesAnotherHub) {
    BenchSystem sys;
    const SweepImage lite = LiteImage(), spi = SpiImage();
    sys.WriteIni("[VX7100]\nDisableSelectiveSuspend=0\n[FlashInfo]\n"
                 "W25=9F 03 EF 30 13 C7 80 01 00 00 00 00 00 00 00 00 00 00\n"
                 "[MPOption]\nConsoleMode=1\nHubNum=2\n[Hub1]\nBinFile=lite.bin\n[Hub2]\nBinFile=spi.bin\n");
    sys.WriteFile("program/lite.bin", lite.bytes);
    sys.WriteFile("program/spi.bin", spi.bytes);
    auto run = [&](const std::string& fault) {
        sys.Bench(std::string(kBench) + fault + "\n");
        sys.console.Reset();
        sys.console.Input("\n");
        CTessaroApp app;
        app.m_programFolder = sys.ProgramFolder();
        RunConsoleMode(app);
        SweepOperation op;
        op.to = sys.pc().Log().size();
        op.hubIndexes = {0, 1};
        op.images = {&lite, &spi};
        std::string out = sys.console.Output();
        size_t done = 0;
        for (size_t at = out.find("done!"); at != std::string::npos; at = out.find("done!", at + 1)) ++done;
        op.succeeded = {done >= 1, done >= 2};
        bool success = sys.ReadText("desktop/USBHubUpdate.log") == "SUCCESS";
        EXPECT_EQ(success, done == 2) << fault;
        return op;
    };
    SweepOperation clean = run("");
    ASSERT_EQ(clean.succeeded, (std::vector<bool>{true, true}));
    const std::vector<bench::LogEntry> reference = sys.pc().Requests();
    int failures = 0, successes = 0;
    for (const SweepFault& fault : SweepFaults(reference, {"Lite", "Main"})) {
        SweepOperation op = run(fault.line);
        std::string violation = CheckSweepRun(sys.pc().Log(), fault, {"Lite", "Main", "Spare"}, {op}, sys.pc());
        ASSERT_EQ(violation, "") << fault.line;
        (op.succeeded[1] ? successes : failures)++;
    }
    // The sweep reached both ends: runs that recovered and runs that failed.
    EXPECT_GT(successes, 0);
    EXPECT_GT(failures, 0);
}

}  // namespace
