// Selective suspend and the hub's restart on Linux: the registry value and
// the device list's disable and enable reach the emulated hub's sysfs
// attributes (power/control, authorized).
#include <gtest/gtest.h>

#include <cstdio>
#include <memory>

#include "linux_usb/emulated_bus.h"
#include "platform/linux/usb_driver.h"
#include "platform/linux/usb_sysfs.h"
#include "support/bench_system.h"
#include "tools/cli/cli.h"

using tessaro::test::BenchSystem;

namespace {

TEST(SysfsPower, OnlyAHubsDeviceParametersKeyReachesSysfs) {
    const std::pair<const char*, const char*> cases[] = {
        {"SYSTEM\\CurrentControlSet\\Enum\\USB\\VID_2C7E&PID_0B40\\1-2\\Device Parameters", "1-2"},
        {"system\\currentcontrolset\\enum\\usb\\vid_2c7e&pid_0b40\\3-1.4.2\\device parameters", "3-1.4.2"},
        {"SYSTEM\\CurrentControlSet\\Enum\\USB\\VID_2C7E&PID_0B40\\6&1a2b&0&3\\Device Parameters", ""},
        {"SYSTEM\\CurrentControlSet\\Enum\\USB\\VID_2C7E&PID_0B40\\..\\Device Parameters", ""},
        {"SYSTEM\\CurrentControlSet\\Enum\\USB\\VID_2C7E&PID_0B40\\1-2/../..\\Device Parameters", ""},
        {"SYSTEM\\CurrentControlSet\\Enum\\USB\\VID_2C7E&PID_0B40\\\\Device Parameters", ""},
        {"SYSTEM\\CurrentControlSet\\Enum\\VUSB\\VID_2C7E&PID_0B40\\1-2\\Device Parameters", ""},
        {"SYSTEM\\CurrentControlSet\\Enum\\USB\\VID_2C7E&PID_0B40\\1-2", ""},
        {"SOFTWARE\\Tessaro", ""},
    };
    for (const auto& c : cases) EXPECT_EQ(tessaro::SysfsNameOfKey(c.first), c.second) << c.first;
}

std::string Attribute(const std::string& device, const std::string& name) {
    std::string text;
    if (std::FILE* f = std::fopen((std::string(tessaro::kSysfsUsbDevices) + "/" + device + "/" + name).c_str(), "r")) {
        char buf[32] = {};
        text.assign(buf, std::fread(buf, 1, sizeof buf - 1, f));
        std::fclose(f);
    }
    while (!text.empty() && text.back() == '\n') text.pop_back();
    return text;
}

TEST(SysfsPower, SuspendOffHoldsPowerControlOnAndRestartsTheHub) {
    BenchSystem sys("tessaro-cli.exe");
    sys.WriteIni("[VX7100]\nDisableSelectiveSuspend=2\nDbgMode=1\n");
    sys.Bench("hub Lite\n  store eeprom 256\n  function pid 0x0B47 bcd-usb 0x0210\nend\n"
              "device Mouse\n  function type 0 vid 0x046D pid 0xC077 bcd-usb 0x0200\nend\n");
    usbtest::EmulatedBus bus(sys.pc(), *sys.pc().Ports().driver);
    ASSERT_TRUE(bus.Ok()) << bus.Error();
    std::unique_ptr<tessaro::IDriver> usb = tessaro::MakeLibusbDriver();
    std::unique_ptr<tessaro::IRegistry> registry = tessaro::MakeSysfsPowerRegistry(*tessaro::Sys().registry);
    std::unique_ptr<tessaro::IDeviceList> devices = tessaro::MakeSysfsDeviceList();
    tessaro::System ports;
    ports.driver = usb.get();
    ports.registry = registry.get();
    ports.devices = devices.get();
    tessaro::ScopedSystem port(ports);
    // The hub's node sits at port 1 of bus 1, the mouse at port 2.
    ASSERT_EQ(Attribute("1-1", "power/control"), "auto");

    testing::internal::CaptureStdout();
    testing::internal::CaptureStderr();
    const int off = cli::Main({"suspend", "off", "--hub", "0"});
    const std::string offOut = testing::internal::GetCapturedStdout();
    const std::string offErr = testing::internal::GetCapturedStderr();
    EXPECT_EQ(off, 0) << offOut << offErr;
    EXPECT_NE(offOut.find("hub 0: EnableSelectiveSuspend 0"), std::string::npos) << offOut;
    EXPECT_EQ(Attribute("1-1", "power/control"), "on");
    EXPECT_EQ(Attribute("1-1", "authorized"), "1") << "the hub is enabled again after its restart";
    EXPECT_EQ(Attribute("1-2", "power/control"), "auto") << "other devices keep their setting";
    EXPECT_TRUE(sys.debug.Contains("Hub ID: USB\\VID_2C7E&PID_0B47&REV_0100")) << "restarted through the device list";

    testing::internal::CaptureStdout();
    const int on = cli::Main({"suspend", "on", "--hub", "0"});
    const std::string onOut = testing::internal::GetCapturedStdout();
    EXPECT_EQ(on, 0) << onOut;
    EXPECT_EQ(Attribute("1-1", "power/control"), "auto") << "put back";
}

}  // namespace
