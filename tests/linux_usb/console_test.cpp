// The console update mode through libusb on emulated hubs: what it prints,
// its result log and the stores must be those of the bench alone.
#include <gtest/gtest.h>

#include <cstring>
#include <memory>

#include "app/CTessaroApp.h"
#include "app/console.h"
#include "linux_usb/emulated_bus.h"
#include "platform/linux/usb_driver.h"
#include "support/bench_system.h"

using tessaro::test::BenchSystem;

namespace {

const char kBench[] =
    "guid sequence 5\n"
    "flash W25\n  size 64K\n  id 9F 1 EF 30 13\n  erase C7\nend\n"
    "hub Spi\n  store spi W25\n  put 0x1D0 text \"VXI2240\"\n"
    "  function vid 0x2C7E pid 0x0B40 bcd-device 0x9035 bcd-usb 0x0210\nend\n"
    "hub Lite\n  store eeprom 256\n  put 0x1C text \"EROM\"\n  put 0x0E hex 34 12\n"
    "  function vid 0x2C7E pid 0x0B47 bcd-device 0x0105 bcd-usb 0x0210\nend\n";

struct ConsoleRun {
    std::string output, result;
    std::vector<uint8_t> spi, lite;
};

ConsoleRun RunConsole(bool libusb) {
    BenchSystem sys;
    sys.WriteIni(
        "[VX7100]\nDisableSelectiveSuspend=0\n"
        "[FlashInfo]\nW25=9F 03 EF 30 13 C7 40 01 00 00 00 00 00 00 00 00 00 00\n"
        "[MPOption]\nConsoleMode=1\nHubNum=2\n[Hub1]\nBinFile=spi.bin\nEepFile=spi.eep\n[Hub2]\nBinFile=lite.bin\n");
    std::vector<uint8_t> spi(0x5000), lite(256), eep(144, 0x22);
    for (size_t i = 0; i < spi.size(); ++i) spi[i] = static_cast<uint8_t>(i * 5 + 1);
    std::memcpy(spi.data() + 0x1D0, "VXI2240", 7);
    for (size_t i = 0; i < lite.size(); ++i) lite[i] = static_cast<uint8_t>(i ^ 0x5A);
    std::memcpy(lite.data() + 0x1C, "EROM", 4);
    eep[0] = 0x55;
    sys.WriteFile("program/spi.bin", spi);
    sys.WriteFile("program/lite.bin", lite);
    sys.WriteFile("program/spi.eep", eep);
    sys.Bench(kBench);

    std::unique_ptr<usbtest::EmulatedBus> bus;
    std::unique_ptr<tessaro::IDriver> usb;
    std::unique_ptr<tessaro::ScopedSystem> port;
    if (libusb) {
        bus = std::make_unique<usbtest::EmulatedBus>(sys.pc(), *sys.pc().Ports().driver);
        EXPECT_TRUE(bus->Ok()) << bus->Error();
        usb = tessaro::MakeLibusbDriver();
        tessaro::System ports;
        ports.driver = usb.get();
        port = std::make_unique<tessaro::ScopedSystem>(ports);
    }
    sys.console.Input("\n");
    {
        CTessaroApp app;
        app.m_programFolder = sys.ProgramFolder();
        RunConsoleMode(app);
    }
    ConsoleRun run{sys.console.Output(), sys.ReadText("desktop/USBHubUpdate.log"), sys.Store("Spi"), sys.Store("Lite")};
    port.reset();
    usb.reset();
    bus.reset();
    return run;
}

TEST(ConsoleThroughLibusb, UpdatesBothHubsAsTheBenchDoes) {
    const ConsoleRun bench = RunConsole(false);
    const ConsoleRun usb = RunConsole(true);
    EXPECT_EQ(bench.result, "SUCCESS") << bench.output;
    EXPECT_EQ(usb.output, bench.output);
    EXPECT_EQ(usb.result, bench.result);
    EXPECT_TRUE(usb.spi == bench.spi) << "the SPI store differs";
    EXPECT_TRUE(usb.lite == bench.lite) << "the EEPROM store differs";
}

}  // namespace
