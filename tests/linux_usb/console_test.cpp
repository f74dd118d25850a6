// The console update mode through libusb on emulated hubs: what it prints,
// its result log and the stores must be those of the bench alone.  The
// bench's instance IDs are the kernel's names of the emulated devices, so
// that the selective suspend keys are the same in both runs.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <memory>

#include "app/CTessaroApp.h"
#include "app/console.h"
#include "linux_usb/emulated_bus.h"
#include "platform/linux/usb_driver.h"
#include "platform/linux/usb_sysfs.h"
#include "platform/winconst.h"
#include "support/bench_system.h"

using tessaro::test::BenchSystem;

namespace {

const char kBench[] =
    "guid sequence 5\n"
    "flash W25\n  size 64K\n  id 9F 1 EF 30 13\n  erase C7\nend\n"
    "hub Spi\n  store spi W25\n  put 0x1D0 text \"VXI2240\"\n"
    "  function vid 0x2C7E pid 0x0B40 bcd-device 0x9035 bcd-usb 0x0210 instance 1-1\n"
    "  enum USB\\VID_2C7E&PID_0B40 selective-suspend 1\nend\n"
    "hub Lite\n  store eeprom 256\n  put 0x1C text \"EROM\"\n  put 0x0E hex 34 12\n"
    "  function vid 0x2C7E pid 0x0B47 bcd-device 0x0105 bcd-usb 0x0210 instance 1-2\n"
    "  enum USB\\VID_2C7E&PID_0B47 selective-suspend 1\nend\n";

struct ConsoleRun {
    std::string output, result;
    std::vector<uint8_t> spi, lite;
    std::vector<std::string> spiControlSeen;  // power/control during the work
    uint32_t spiSuspendAfter = 99;  // EnableSelectiveSuspend at the end
};

ConsoleRun RunConsole(bool libusb, const std::string& suspend = "0") {
    BenchSystem sys;
    sys.WriteIni(
        "[VX7100]\nDbgMode=1\nDisableSelectiveSuspend=" + suspend + "\n"
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
    std::unique_ptr<tessaro::IRegistry> registry;
    std::unique_ptr<tessaro::IDeviceList> devices;
    std::unique_ptr<tessaro::ScopedSystem> port;
    if (libusb) {
        bus = std::make_unique<usbtest::EmulatedBus>(sys.pc(), *sys.pc().Ports().driver);
        EXPECT_TRUE(bus->Ok()) << bus->Error();
        usb = tessaro::MakeLibusbDriver();
        registry = tessaro::MakeSysfsPowerRegistry(*tessaro::Sys().registry);
        devices = tessaro::MakeSysfsDeviceList();
        tessaro::System ports;
        ports.driver = usb.get();
        ports.registry = registry.get();
        ports.devices = devices.get();
        port = std::make_unique<tessaro::ScopedSystem>(ports);
    }
    sys.console.Input("\n");
    {
        CTessaroApp app;
        app.m_programFolder = sys.ProgramFolder();
        RunConsoleMode(app);
    }
    ConsoleRun run{sys.console.Output(), sys.ReadText("desktop/USBHubUpdate.log"), sys.Store("Spi"), sys.Store("Lite"),
                   {}, 99};
    if (bus) run.spiControlSeen = bus->PowerControlSeen("Spi");
    // The hub's value as the engine finds it afterwards: the bench's registry,
    // or power/control through the Linux registry.
    tessaro::IRegistry& reg = *tessaro::Sys().registry;
    tessaro::IRegistry::Key key = 0;
    if (reg.Open(tessaro::win::kHkeyLocalMachine,
                 "SYSTEM\\CurrentControlSet\\Enum\\USB\\VID_2C7E&PID_0B40\\1-1\\Device Parameters",
                 tessaro::win::kKeyRead, &key) == 0) {
        uint32_t type = 0, size = 4;
        reg.QueryValue(key, "EnableSelectiveSuspend", &type, reinterpret_cast<uint8_t*>(&run.spiSuspendAfter), &size);
        reg.Close(key);
    }
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
    EXPECT_EQ(usb.spiControlSeen, std::vector<std::string>{"auto"}) << "DisableSelectiveSuspend=0 leaves it alone";
}

// Per device: the hub is held awake for every request of the work, and what
// the engine leaves at the end is what the bench's registry holds.
TEST(ConsoleThroughLibusb, SelectiveSuspendIsHeldOffForTheWorkAsOnTheBench) {
    const ConsoleRun bench = RunConsole(false, "2");
    const ConsoleRun usb = RunConsole(true, "2");
    EXPECT_EQ(bench.result, "SUCCESS") << bench.output;
    EXPECT_EQ(usb.output, bench.output);
    EXPECT_EQ(usb.result, bench.result);
    EXPECT_TRUE(usb.spi == bench.spi) << "the SPI store differs";
    EXPECT_EQ(usb.spiControlSeen, std::vector<std::string>{"on"}) << "every request went to an awake hub";
    EXPECT_EQ(usb.spiSuspendAfter, bench.spiSuspendAfter);
    EXPECT_EQ(bench.spiSuspendAfter, 0u) << "the console mode leaves the hub awake";
}

}  // namespace
