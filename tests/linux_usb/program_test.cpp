// The tessaro-cli program itself, with its own native ports and no bench:
// it finds the emulated hubs through libusb, in a process of its own that
// reaches this test's emulated bus through umockdev.
#include <gtest/gtest.h>

#include "linux_usb/emulated_bus.h"
#include "support/bench_system.h"
#include "support/programs.h"

using tessaro::test::BenchSystem;
using tessaro::test::BuildProgram;
using tessaro::test::RunProgram;

namespace {

TEST(LibusbProgram, TessaroCliFindsAndReadsTheHubsWithoutABench) {
    BenchSystem sys("tessaro-cli.exe");
    sys.WriteFile("t.ini", "[VX7100]\nUUUIsp=1\n");
    sys.Bench("flash W25\n  size 64K\n  id 9F 1 EF 30 13\n  erase C7\nend\n"
              "hub Lite\n  store spi W25\n  put 0 hex 01 02 03 04 05 06 07 08 09\n"
              "  function pid 0x0B47 bcd-device 0x0105 bcd-usb 0x0210\nend\n"
              "hub Main\n  store eeprom 256\n"
              "  function type 1 pid 0x0B42 bcd-usb 0x0300 container {7d2a4c1e-90b3-4f55-8e1a-2b6c9d0e3f41}\n"
              "  function type 2 pid 0x0B40 bcd-usb 0x0210 container {7d2a4c1e-90b3-4f55-8e1a-2b6c9d0e3f41}\nend\n");
    sys.pc().UseRealClock();
    usbtest::EmulatedBus bus(sys.pc(), *sys.pc().Ports().driver);
    ASSERT_TRUE(bus.Ok()) << bus.Error();
    const std::string cli = BuildProgram("tools/tessaro-cli");
    const std::string ini = "--ini \"" + sys.Native("t.ini") + "\" ";

    auto list = RunProgram(cli, ini + "list", {{"TESSARO_BENCH", ""}}, sys.Root());
    EXPECT_EQ(list.exitCode, 0) << list.err;
    EXPECT_EQ(list.out,
              "2 hub(s)\n"
              "hub 0: handle 3, type 1, VID 2C7E, PID 0B47, bcdDevice 0105, bcdUSB 0210\n"
              "hub 1: handle 5, type 1, VID 2C7E, PID 0B42, bcdDevice 0100, bcdUSB 0300\n")
        << "numbered in port order after the root hubs (usb1, usb2); the 3.0 hub's halves paired";

    auto read = RunProgram(cli, ini + "request --hub 0 --type 0xC0 --request 0x82 --value 0 --index 0 --length 9",
                           {{"TESSARO_BENCH", ""}}, sys.Root());
    EXPECT_EQ(read.exitCode, 0) << read.err;
    EXPECT_EQ(read.out, "01 02 03 04 05 06 07 08 09\n");
}

}  // namespace
