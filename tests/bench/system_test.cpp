// The system around the driver: registry, device manager, POWERCFG, the
// suspend helper, the driver setup program, restarts, desktop and drive C.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>

#include "bench/pc.h"
#include "platform/native.h"
#include "platform/winconst.h"
#include "tests/bench/bench_client.h"

using namespace benchtest;

namespace {

const std::string kHklm = "HKEY_LOCAL_MACHINE\\";
// Where the driver's setup keeps its version, on 64-bit and 32-bit Windows.
const std::string kKey64 = "SOFTWARE\\Wow6432Node\\Varnel Logic\\Varnel Logic Generic USB Class Filter Driver";
const std::string kKey32 = "SOFTWARE\\Varnel Logic\\Varnel Logic Generic USB Class Filter Driver";
const std::string kSuspend = std::string(bench::kUsbSubgroup) + " " + bench::kUsbSelectiveSuspend;

// A bench in its own fresh folder, with program and drive C inside it.
struct Machine {
    explicit Machine(const std::string& text, const char* name = "machine") {
        folder = ::testing::TempDir() + "bench_" + name;
        std::filesystem::remove_all(folder);
        std::filesystem::create_directories(folder + "/program");
        std::string error;
        pc = bench::Pc::FromText("box quiet\nprogram program/Tessaro.exe\n" + text, folder, &error);
        if (!pc) throw std::runtime_error(error);
        ports = pc->Ports();
    }
    ~Machine() {
        pc.reset();
        std::filesystem::remove_all(folder);
    }
    std::string Read(const std::string& relative) const {
        std::ifstream f(folder + "/" + relative, std::ios::binary);
        return std::string(std::istreambuf_iterator<char>(f), std::istreambuf_iterator<char>());
    }
    bool Run(const std::string& file, const std::string& parameters, uint32_t* exitCode = nullptr,
             intptr_t* instApp = nullptr) {
        tessaro::ShellStart s;
        s.verb = "open";
        s.file = file;
        s.parameters = parameters;
        s.mask = tessaro::win::kSeeMaskNoCloseProcess;
        intptr_t inst = 0;
        tessaro::IProcess::Proc proc = 0;
        const bool ok = ports.process->ShellExecute(s, &inst, &proc);
        if (instApp) *instApp = inst;
        if (ok && exitCode) {
            EXPECT_EQ(ports.process->Wait(proc, 0xFFFFFFFF, true), 0);
            EXPECT_TRUE(ports.process->ExitCode(proc, exitCode));
        }
        if (proc) ports.process->CloseProcess(proc);
        return ok;
    }
    uint32_t Suspend(bool ac) {
        uint32_t a = 99, d = 99;
        EXPECT_TRUE(pc->PowerValue(pc->ActiveScheme(), bench::kUsbSubgroup, bench::kUsbSelectiveSuspend, &a, &d));
        return ac ? a : d;
    }
    std::string folder;
    std::unique_ptr<bench::Pc> pc;
    tessaro::System ports;
};

TEST(Registry, DeviceParametersAndTheDriverKey) {
    Machine m(R"(
hub H
  store eeprom 256
  function vid 0x2C7E pid 0x0B40 instance 6&1f2e&0&3
  enum USB\VID_2C7E&PID_0B40 selective-suspend 1
  enum USB\VID_2C7E&PID_0B40&TIUSBD_Hub instance 7&aa&0&1
end
registry dword HKEY_LOCAL_MACHINE\SOFTWARE\Varnellogic\VX7100 MergeConfig 1
)");
    tessaro::MemoryRegistry& r = m.pc->Registry();
    uint32_t v = 0;
    ASSERT_TRUE(r.GetDword(kHklm + "SYSTEM\\CurrentControlSet\\Enum\\USB\\VID_2C7E&PID_0B40\\6&1f2e&0&3\\Device Parameters",
                           "EnableSelectiveSuspend", v));
    EXPECT_EQ(v, 1u);
    EXPECT_TRUE(r.KeyExists(kHklm + "SYSTEM\\CurrentControlSet\\Enum\\USB\\VID_2C7E&PID_0B40&TIUSBD_Hub\\7&aa&0&1\\Device Parameters"));
    EXPECT_TRUE(r.KeyExists(kHklm + kKey64 + "\\3.00")) << "64-bit by default";
    EXPECT_FALSE(r.KeyExists(kHklm + kKey32));
    std::string lab;
    ASSERT_TRUE(r.GetString(kHklm + "SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion", "BuildLabEx", lab));
    EXPECT_NE(lab.find("amd64"), std::string::npos);
    ASSERT_TRUE(r.GetDword(kHklm + "SOFTWARE\\Varnellogic\\VX7100", "MergeConfig", v));
    EXPECT_EQ(m.ports.registry, &r);

    // Through the port, as the tool reads the version: the first subkey.
    tessaro::IRegistry::Key key = 0;
    ASSERT_EQ(r.Open(tessaro::win::kHkeyLocalMachine, kKey64,
                     tessaro::win::kKeyAllAccess, &key), 0);
    char name[20];
    uint32_t size = sizeof name;
    ASSERT_EQ(r.EnumKey(key, 0, name, &size), 0);
    EXPECT_STREQ(name, "3.00");
    r.Close(key);
}

TEST(Registry, ThirtyTwoBitMachineAndDriverKeyVariants) {
    Machine a("machine 32-bit\ndriver installed version 2.99.1\n", "a");
    tessaro::MemoryRegistry& r = a.pc->Registry();
    EXPECT_TRUE(r.KeyExists(kHklm + kKey32 + "\\2.99.1"));
    std::string lab;
    r.GetString(kHklm + "SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion", "BuildLabEx", lab);
    EXPECT_EQ(lab.find("amd64"), std::string::npos);

    Machine b("machine 32-bit\ndriver installed key empty\n", "b");
    EXPECT_TRUE(b.pc->Registry().KeyExists(kHklm + kKey32));
    uint32_t subKeys = 9;
    tessaro::IRegistry::Key key = 0;
    b.pc->Registry().Open(tessaro::win::kHkeyLocalMachine, kKey32, tessaro::win::kKeyRead, &key);
    b.pc->Registry().QueryInfo(key, &subKeys);
    EXPECT_EQ(subKeys, 0u);

    Machine c("driver missing\n", "c");
    EXPECT_FALSE(c.pc->Registry().KeyExists(kHklm + kKey64));
}

TEST(Registry, PathsMustNameTheirRoot) {
    std::string error;
    EXPECT_FALSE(bench::Pc::FromText("\nregistry key SOFTWARE\\X\n", ".", &error, "r"));
    EXPECT_EQ(error, "r:2: a registry path starts with its root, as in HKEY_LOCAL_MACHINE\\SOFTWARE");
}

const char* kHubAndMouse = R"(
hub H
  store eeprom 256
  function handle 1 hwid USB\VID_2C7E&PID_0B40&REV_9223 hwid USB\VID_2C7E&PID_0B40
  function handle 2 bcd-usb 0x0300 absent
end
device Mouse
  function type 0 vid 0x046D pid 0xC077 class HIDClass
end
device Odd
  function type 0 vid 0x1234 pid 0x5678 hwid-fails 13
end
)";

TEST(DeviceManager, ListsTheUsbClassWithPresenceAndHardwareIds) {
    Machine m(kHubAndMouse);
    tessaro::IDeviceList* d = m.ports.devices;
    const auto all = d->Open("usb", false);
    ASSERT_NE(all, 0u);
    EXPECT_TRUE(d->Enum(all, 2));
    EXPECT_FALSE(d->Enum(all, 3)) << "the mouse is in another class";
    std::string id;
    ASSERT_TRUE(d->HardwareId(all, 0, id, 256));
    EXPECT_EQ(id, "USB\\VID_2C7E&PID_0B40&REV_9223");
    EXPECT_FALSE(d->HardwareId(all, 0, id, 40)) << "the whole list of IDs must fit";
    EXPECT_EQ(tessaro::LastError(), tessaro::win::kErrInsufficientBuffer);
    EXPECT_FALSE(d->HardwareId(all, 2, id, 256));
    EXPECT_EQ(tessaro::LastError(), 13u);
    ASSERT_TRUE(d->HardwareId(all, 1, id, 256));
    EXPECT_EQ(id, "USB\\VID_2C7E&PID_0B40&REV_0100") << "made up from VID, PID and bcdDevice when not given";
    d->Close(all);

    const auto present = d->Open("USB", true);
    EXPECT_TRUE(d->Enum(present, 1));
    EXPECT_FALSE(d->Enum(present, 2)) << "the absent function is left out";
    EXPECT_EQ(tessaro::LastError(), tessaro::win::kErrNoMoreItems);
    d->Close(present);
    m.pc->Unplug("H");
    const auto after = d->Open("usb", true);
    EXPECT_TRUE(d->Enum(after, 0));
    EXPECT_FALSE(d->Enum(after, 1));
    d->Close(after);
}

TEST(DeviceManager, DisabledHubLeavesTheDriverListUntilEnabled) {
    Machine m(kHubAndMouse);
    Client c(*m.pc);
    ASSERT_EQ(c.Records().size(), 3u);
    tessaro::IDeviceList* d = m.ports.devices;
    const auto list = d->Open("usb", false);
    EXPECT_FALSE(d->ChangeState(list, 0)) << "no state change was set";
    ASSERT_TRUE(d->SetInstallParams(list, 0, false));
    ASSERT_TRUE(d->ChangeState(list, 0));
    auto records = c.Records();
    ASSERT_EQ(records.size(), 2u);
    EXPECT_EQ(Le16(records[0].data() + 6), 0x046D);
    EXPECT_FALSE(c.Command(1, 0x81, 0x0001, 1));
    EXPECT_EQ(c.Error(), tessaro::win::kErrDeviceNotConnected);
    ASSERT_TRUE(d->SetInstallParams(list, 0, true));
    ASSERT_TRUE(d->ChangeState(list, 0));
    EXPECT_EQ(c.Records().size(), 3u);
    d->Close(list);
    const auto events = m.pc->Events();
    ASSERT_EQ(events.size(), 2u);
    EXPECT_EQ(events[0], "disabled H USB\\VID_2C7E&PID_0B40&REV_9223");
}

TEST(DeviceManager, ListCanBeRefused) {
    Machine m("fault devices nth 1 error 5\n");
    EXPECT_EQ(m.ports.devices->Open("usb", true), 0u);
    EXPECT_EQ(tessaro::LastError(), 5u);
    EXPECT_NE(m.ports.devices->Open("usb", true), 0u);
}

TEST(Powercfg, ActiveSchemeQueryGoesToDriveC) {
    Machine m("power scheme 8c5e7fda-e8bf-4a96-9a85-a6e23a8c635c \"High performance\"\n");
    uint32_t code = 9;
    ASSERT_TRUE(m.Run("cmd.exe", "/c POWERCFG -GETACTIVESCHEME > c:\\a.out", &code));
    EXPECT_EQ(code, 0u);
    EXPECT_EQ(m.Read("drive-c/a.out"),
              "Power Scheme GUID: 8c5e7fda-e8bf-4a96-9a85-a6e23a8c635c  (High performance)\r\n");
    std::vector<uint8_t> viaPort;
    uint32_t error = 0;
    EXPECT_TRUE(m.ports.files->ReadAll("c:\\a.out", viaPort, error));
}

TEST(Powercfg, ValueIndexAndSetActiveChangeTheScheme) {
    Machine m("");
    const std::string scheme = bench::kBalancedScheme;
    uint32_t code = 9;
    EXPECT_EQ(m.Suspend(true), 1u);
    ASSERT_TRUE(m.Run("C:\\Windows\\system32\\cmd.exe", "/c POWERCFG -SetAcValueIndex " + scheme + " " + kSuspend + " 000", &code));
    EXPECT_EQ(code, 0u);
    ASSERT_TRUE(m.Run("cmd.exe", "/c POWERCFG -SETDCVALUEINDEX " + scheme + " " + kSuspend + " 000", &code));
    EXPECT_EQ(m.Suspend(true), 0u);
    EXPECT_EQ(m.Suspend(false), 0u);
    EXPECT_EQ(m.pc->SchemeActivations(), 0);
    ASSERT_TRUE(m.Run("cmd.exe", "/c POWERCFG -SETACTIVE " + scheme, &code));
    EXPECT_EQ(m.pc->SchemeActivations(), 1);

    // A scheme or setting POWERCFG does not know: exit code 1, nothing changed.
    m.Run("cmd.exe", "/c POWERCFG -SETACVALUEINDEX 00000000-0000-0000-0000-000000000000 " + kSuspend + " 1", &code);
    EXPECT_EQ(code, 1u);
    m.Run("cmd.exe", "/c POWERCFG -SETACVALUEINDEX " + scheme + " " + bench::kUsbSubgroup + " 48e6b7a6-0000-0000-0000-53bb8f07e226 1", &code);
    EXPECT_EQ(code, 1u);
    m.Run("cmd.exe", "/c POWERCFG -SETACVALUEINDEX " + scheme + " " + kSuspend + " one", &code);
    EXPECT_EQ(code, 1u);
    EXPECT_EQ(m.Suspend(true), 0u);
}

TEST(Powercfg, FailuresAsTold) {
    Machine m("fault powercfg GETACTIVESCHEME nth 1\nfault start cmd.exe contains SETACTIVE error 5\n");
    uint32_t code = 0;
    ASSERT_TRUE(m.Run("cmd.exe", "/c POWERCFG -GETACTIVESCHEME > c:\\a.out", &code));
    EXPECT_NE(code, 0u);
    EXPECT_EQ(m.Read("drive-c/a.out").find("GUID:"), std::string::npos);
    intptr_t inst = 99;
    EXPECT_FALSE(m.Run("cmd.exe", std::string("/c POWERCFG -SETACTIVE ") + bench::kBalancedScheme, nullptr, &inst));
    EXPECT_LE(inst, 32);
    EXPECT_EQ(m.pc->SchemeActivations(), 0);
    EXPECT_TRUE(m.Run("cmd.exe", "/c POWERCFG -GETACTIVESCHEME > c:\\a.out"));
    EXPECT_NE(m.Read("drive-c/a.out").find("GUID:"), std::string::npos);
}

TEST(SuspendHelper, SetsBothValuesAndActivates) {
    Machine m("");
    uint32_t code = 9;
    ASSERT_TRUE(m.Run("pwrsusp.exe", "0", &code));
    EXPECT_EQ(code, 0u);
    EXPECT_EQ(m.Suspend(true), 0u);
    EXPECT_EQ(m.Suspend(false), 0u);
    EXPECT_EQ(m.pc->SchemeActivations(), 1);
    ASSERT_TRUE(m.Run("pwrsusp.exe", "0 1", &code));
    EXPECT_EQ(code, 0xFFFFFFFFu);
    Machine broken("fault powercfg getactivescheme\n", "broken");
    broken.Run("pwrsusp.exe", "1", &code);
    EXPECT_EQ(code, 0xFFFFFFFFu) << "no scheme GUID in the query";
}

TEST(SuspendHelper, PowercfgRunsForItsTime) {
    // One POWERCFG command runs for "powercfg time"; the helper runs four.
    struct Case {
        const char* file;
        const char* parameters;
        uint64_t ms;
    } cases[] = {
        {"cmd.exe", "/c POWERCFG -GETACTIVESCHEME > c:\\a.out", 300},
        {"cmd.exe", "/c powercfg.exe -SETACTIVE 381b4222-f694-41f0-9685-ff5bb260df2e", 300},
        {"pwrsusp.exe", "0", 1200},
        {"cmd.exe", "/c dir", 0},
        {"notepad.exe", "c:\\difxcmd.log", 0},
    };
    for (const Case& c : cases) {
        Machine m("powercfg time 300\n");
        tessaro::ShellStart s;
        s.file = c.file;
        s.parameters = c.parameters;
        s.mask = tessaro::win::kSeeMaskNoCloseProcess;
        intptr_t inst = 0;
        tessaro::IProcess::Proc proc = 0;
        ASSERT_TRUE(m.ports.process->ShellExecute(s, &inst, &proc)) << c.file;
        uint32_t code = 0;
        ASSERT_TRUE(m.ports.process->ExitCode(proc, &code));
        EXPECT_EQ(code == 259u, c.ms > 0) << c.parameters << ": still running";
        if (c.ms > 0) {
            EXPECT_EQ(m.ports.process->Wait(proc, 100, false), 1) << c.parameters << ": time-out";
        }
        EXPECT_EQ(m.ports.process->Wait(proc, 0xFFFFFFFF, false), 0);
        EXPECT_EQ(m.pc->Clock().NowMs(), c.ms) << c.parameters;
        m.ports.process->CloseProcess(proc);
    }
}

TEST(DriverSetup, InstallAndUninstallChangeDriverAndRegistry) {
    Machine m("driver missing\nsetup package VXUSBFLT_SETUP_V3.02.exe\nsetup time 4000\n");
    const std::string program = m.folder + "/program/";
    EXPECT_TRUE(std::filesystem::exists(program + "VXUSBFLT_SETUP_V3.02.exe"));
    EXPECT_TRUE(std::filesystem::exists(program + "install.iss"));
    EXPECT_EQ(m.ports.driver->Open("\\\\.\\vxusbflt"), tessaro::kInvalidHandle);

    const std::string folder = m.ports.files->ModuleFileName().substr(0, m.ports.files->ModuleFileName().size() - 11);
    tessaro::ShellStart s;
    s.file = folder + "VXUSBFLT_SETUP_V3.02.exe";
    s.parameters = "/w /s /f1\"" + folder + "\\install.iss\"";
    s.mask = tessaro::win::kSeeMaskNoCloseProcess;
    intptr_t inst = 0;
    tessaro::IProcess::Proc proc = 0;
    ASSERT_TRUE(m.ports.process->ShellExecute(s, &inst, &proc));
    EXPECT_GT(inst, 32);
    uint32_t code = 0;
    ASSERT_TRUE(m.ports.process->ExitCode(proc, &code));
    EXPECT_EQ(code, 259u) << "still running";
    EXPECT_EQ(m.ports.process->Wait(proc, 1000, true), 1);
    EXPECT_EQ(m.ports.process->Wait(proc, 0xFFFFFFFF, true), 0);
    EXPECT_EQ(m.pc->Clock().NowMs(), 4000u);
    ASSERT_TRUE(m.ports.process->ExitCode(proc, &code));
    EXPECT_EQ(code, 0u);
    m.ports.process->CloseProcess(proc);

    EXPECT_NE(m.Read("drive-c/difxcmd.log").find("VXI-SUCCESS"), std::string::npos);
    EXPECT_TRUE(m.pc->DriverInstalled());
    EXPECT_TRUE(m.pc->Registry().KeyExists(kHklm + kKey64 + "\\3.02"));
    const tessaro::Handle h = m.ports.driver->Open("\\\\.\\vxusbflt");
    EXPECT_NE(h, tessaro::kInvalidHandle);
    m.ports.driver->Close(h);

    s.parameters = "/w /s /f1\"" + folder + "\\uninstall.iss\"";
    ASSERT_TRUE(m.ports.process->ShellExecute(s, &inst, &proc));
    EXPECT_FALSE(m.pc->DriverInstalled());
    EXPECT_FALSE(m.pc->Registry().KeyExists(kHklm + kKey64));
}

TEST(DriverSetup, FailuresShowInTheLogOrItsAbsence) {
    Machine m("driver missing\nsetup package VXUSBFLT_SETUP_V3.00.exe\nsetup install fail\nsetup uninstall ok no-log\n");
    const std::string folder = m.pc->BaseFolder() + "/program";
    uint32_t code = 0;
    ASSERT_TRUE(m.Run(folder + "/VXUSBFLT_SETUP_V3.00.exe", "/w /s /f1\"" + folder + "\\install.iss\"", &code));
    const std::string log = m.Read("drive-c/difxcmd.log");
    EXPECT_FALSE(log.empty());
    EXPECT_EQ(log.find("VXI-SUCCESS"), std::string::npos);
    EXPECT_FALSE(m.pc->DriverInstalled());

    std::filesystem::remove(m.folder + "/drive-c/difxcmd.log");
    ASSERT_TRUE(m.Run(folder + "/VXUSBFLT_SETUP_V3.00.exe", "/w /s /f1\"" + folder + "\\uninstall.iss\"", &code));
    EXPECT_FALSE(std::filesystem::exists(m.folder + "/drive-c/difxcmd.log"));

    ASSERT_TRUE(m.Run(folder + "/VXUSBFLT_SETUP_V3.00.exe", "/s /f1\"" + folder + "\\install.iss\"", &code));
    EXPECT_EQ(code, 1u) << "not the silent command line";
    ASSERT_TRUE(m.Run(folder + "/VXUSBFLT_SETUP_V3.00.exe", "/w /s /f1\"" + folder + "\\nowhere\\install.iss\"", &code));
    EXPECT_EQ(code, 0xFFFFFFFDu) << "response file missing";
    EXPECT_FALSE(std::filesystem::exists(m.folder + "/drive-c/difxcmd.log"));
}

TEST(Programs, NotepadIsRecordedAndUnknownProgramsFail) {
    Machine m("");
    tessaro::ShellStart s;
    s.verb = "open";
    s.file = "notepad.exe";
    s.parameters = "c:\\difxcmd.log";
    s.show = tessaro::win::kSwShowNormal;
    intptr_t inst = 0;
    tessaro::IProcess::Proc proc = 77;
    ASSERT_TRUE(m.ports.process->ShellExecute(s, &inst, &proc));
    EXPECT_EQ(proc, 0u) << "no process handle was asked for";
    s.file = "regedit.exe";
    EXPECT_FALSE(m.ports.process->ShellExecute(s, &inst, &proc));
    EXPECT_EQ(inst, 2);
    const auto starts = m.pc->Starts();
    ASSERT_EQ(starts.size(), 2u);
    EXPECT_EQ(starts[0].start.parameters, "c:\\difxcmd.log");
    EXPECT_EQ(starts[0].start.show, 1);
    EXPECT_TRUE(starts[0].ok);
    EXPECT_FALSE(starts[1].ok);
    EXPECT_EQ(m.ports.process->SystemDirectory(), "C:\\Windows\\system32");
    EXPECT_EQ(m.ports.process->Wait(12345, 0, false), -1);
}

TEST(Restart, NeedsThePrivilegeAndCanBeRefused) {
    Machine m("");
    EXPECT_FALSE(m.ports.shutdown->InitiateShutdown(nullptr, 5, false, true));
    EXPECT_EQ(tessaro::LastError(), tessaro::win::kErrPrivilegeNotHeld);
    ASSERT_TRUE(m.ports.shutdown->AdjustShutdownPrivilege(true));
    ASSERT_TRUE(m.ports.shutdown->InitiateShutdown(nullptr, 5, false, true));
    EXPECT_EQ(m.pc->Restarts(), 1);
    EXPECT_EQ(m.pc->Events().back(), "restart requested in 5 s");

    Machine refused("fault privilege\nfault shutdown error 1115\n", "refused");
    EXPECT_FALSE(refused.ports.shutdown->AdjustShutdownPrivilege(true));
    EXPECT_EQ(tessaro::LastError(), tessaro::win::kErrNotAllAssigned);
    EXPECT_FALSE(refused.ports.shutdown->InitiateShutdown(nullptr, 5, false, true));
    EXPECT_EQ(refused.pc->Restarts(), 0);
}

TEST(Folders, DesktopProgramAndDriveC) {
    Machine m("desktop Users/tech/Desktop\ndrive-c c-root\n");
    std::string desktop;
    ASSERT_TRUE(m.ports.shell->DesktopFolder(desktop));
    EXPECT_EQ(desktop, m.pc->ResolvePath("Users/tech/Desktop"));
    EXPECT_TRUE(std::filesystem::is_directory(desktop));
    EXPECT_EQ(m.ports.files->ModuleFileName(), m.pc->ResolvePath("program/Tessaro.exe"));
    uint32_t error = 0;
    ASSERT_TRUE(m.ports.files->WriteAll("c:\\x.txt", "x", 1, error));
    EXPECT_EQ(m.Read("c-root/x.txt"), "x");

    Machine failing("desktop fail\n", "failing");
    EXPECT_FALSE(failing.ports.shell->DesktopFolder(desktop));
}

}  // namespace

namespace {

TEST(Folders, ProgramsWriteThroughAFilePortGivenFromOutside) {
    Machine m("");
    const std::string other = m.folder + "/other-c";
    tessaro::FileSystemOptions options;
    options.driveCRoot = other;
    std::unique_ptr<tessaro::IFileSystem> files = tessaro::MakeFileSystem(options);
    m.pc->UseFiles(files.get());
    EXPECT_EQ(m.pc->Ports().files, files.get());
    ASSERT_TRUE(m.Run("cmd.exe", "/c POWERCFG -GETACTIVESCHEME > c:\\a.out"));
    EXPECT_NE(m.Read("other-c/a.out").find("GUID:"), std::string::npos);
    EXPECT_TRUE(m.Read("drive-c/a.out").empty());
    m.pc->UseFiles(nullptr);
}

}  // namespace
