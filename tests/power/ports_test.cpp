// The ports the power and driver operations stand on, against the build's own
// implementations: on the Windows build the system's registry, processes,
// device list and files (run under Wine), natively the in-memory registry and
// the POSIX processes and files.  Device state changes and restarts are left
// to the bench: Wine cannot do them, and a real PC must not.
#include <gtest/gtest.h>

#if defined(_WIN32)
#include <windows.h>
#endif

#include <cstdlib>
#include <fstream>
#include <iterator>
#include <memory>
#include <random>

#include "platform/memory_registry.h"
#include "platform/native.h"
#include "platform/winconst.h"
#include "power/DriverSetup.h"
#include "power/PowerPlan.h"
#include "power/Programs.h"
#include "settings/CRegistry.h"
#include "support/test_system.h"

namespace win = tessaro::win;
using tessaro::Sys;

namespace {

#if defined(_WIN32)
bool UnderWine() {
    HMODULE ntdll = GetModuleHandleA("ntdll.dll");
    return ntdll && GetProcAddress(ntdll, "wine_get_version");
}

void DeleteTree(HKEY parent, const std::string& name) {
    HKEY key = nullptr;
    if (RegOpenKeyExA(parent, name.c_str(), 0, KEY_ALL_ACCESS, &key) != ERROR_SUCCESS) return;
    for (;;) {
        char child[256];
        DWORD size = sizeof child;
        if (RegEnumKeyExA(key, 0, child, &size, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS) break;
        DeleteTree(key, child);
    }
    RegCloseKey(key);
    RegDeleteKeyA(parent, name.c_str());
}
#endif

// A key of the test's own below HKEY_LOCAL_MACHINE\SOFTWARE, in the system's
// registry on Windows and in memory elsewhere, removed at the end.
class RegistryPortTest : public ::testing::Test {
protected:
    void SetUp() override {
        std::random_device rd;
        m_key = "SOFTWARE\\TessaroTest-" + std::to_string(rd() % 1000000000u);
        tessaro::System ports;
#if defined(_WIN32)
        ports.registry = tessaro::NativeSystem().registry;
#else
        ports.registry = &m_memory;
#endif
        m_scope = std::make_unique<tessaro::ScopedSystem>(ports);
        CRegistry probe(win::kKeyAllAccess);
        if (!probe.CreateKey(m_key, win::kKeyAllAccess))
            GTEST_SKIP() << "no write access to HKEY_LOCAL_MACHINE (" << probe.LastResult() << ")";
    }
    void TearDown() override {
#if defined(_WIN32)
        DeleteTree(HKEY_LOCAL_MACHINE, m_key);
#else
        m_memory.DeletePath("HKEY_LOCAL_MACHINE\\" + m_key);
#endif
        m_scope.reset();
    }
    std::string m_key;

private:
    tessaro::MemoryRegistry m_memory;
    std::unique_ptr<tessaro::ScopedSystem> m_scope;
};

TEST_F(RegistryPortTest, TheDriverVersionIsTheFirstSubkey) {
    CRegistry reg(win::kKeyAllAccess);
    EXPECT_EQ(reg.CurrentPath(), "HKEY_LOCAL_MACHINE\\");
    const std::string driver = m_key + "\\Varnel Logic Generic USB Class Filter Driver";
    EXPECT_FALSE(reg.SetPath(driver, win::kKeyAllAccess));
    EXPECT_EQ(reg.LastResult(), static_cast<long>(win::kErrFileNotFound));
    ASSERT_TRUE(reg.CreateKey(driver, win::kKeyAllAccess));
    ASSERT_TRUE(reg.SetPath(driver, win::kKeyAllAccess));
    std::string name = "untouched";
    EXPECT_FALSE(reg.GetFirstSubKey(name)) << "no subkey: no driver installed";
    EXPECT_EQ(name, "untouched");
    ASSERT_TRUE(reg.CreateKey("3.00", win::kKeyAllAccess));
    ASSERT_TRUE(reg.GetFirstSubKey(name));
    EXPECT_EQ(name, "3.00");
}

TEST_F(RegistryPortTest, ValuesKeepTheirTypeAndLength) {
    CRegistry reg(win::kKeyAllAccess);
    ASSERT_TRUE(reg.SetPath(m_key, win::kKeyAllAccess));
    ASSERT_TRUE(reg.SetValue("BuildLabEx", win::kRegSz, "7601.amd64fre"));
    const uint32_t off = 0;
    ASSERT_TRUE(reg.SetValue("EnableSelectiveSuspend", win::kRegDword, &off));
    uint8_t buffer[64] = {};
    uint32_t type = 0, size = sizeof buffer;
    ASSERT_TRUE(reg.QueryValue("BuildLabEx", &type, buffer, &size));
    EXPECT_EQ(type, win::kRegSz);
    EXPECT_EQ(std::string(reinterpret_cast<char*>(buffer), 13), "7601.amd64fre");
    size = 4;
    ASSERT_TRUE(reg.QueryValue("EnableSelectiveSuspend", &type, buffer, &size));
    EXPECT_EQ(type, win::kRegDword);
    EXPECT_EQ(size, 4u);
    // A buffer too small for the value is the registry's own error.
    size = 2;
    EXPECT_FALSE(reg.QueryValue("BuildLabEx", &type, buffer, &size));
    EXPECT_EQ(reg.LastResult(), static_cast<long>(win::kErrMoreData));
}

TEST(ProcessPort, AProgramIsStartedAndWaitedFor) {
#if defined(_WIN32)
    tessaro::ShellStart start;
    start.verb = "open";
    start.file = power::SystemProgram("cmd.exe");
    start.parameters = "/c exit 3";
    start.directory = Sys().process->SystemDirectory();
    ASSERT_FALSE(start.file.empty());
#else
    tessaro::ShellStart start;
    start.verb = "open";
    start.file = "/bin/sh";
    start.parameters = "-c \"exit 3\"";
    start.directory = "/";
#endif
    start.show = win::kSwHide;
    start.mask = win::kSeeMaskNoCloseProcess | win::kSeeMaskFlagDdeWait;
    power::ProgramRun run = power::StartProgram(start, true, 60000, true);
    ASSERT_TRUE(run.started) << run.error;
    EXPECT_GT(run.instApp, 32);
    EXPECT_TRUE(run.hadHandle);
    EXPECT_EQ(run.waited, 0);
    ASSERT_TRUE(run.haveExitCode);
    EXPECT_EQ(run.exitCode, 3u);
}

TEST(ProcessPort, AProgramThatRunsTooLongIsLeftBehindTheBound) {
#if defined(_WIN32)
    tessaro::ShellStart start;
    start.file = power::SystemProgram("cmd.exe");
    start.parameters = "/c ping -n 3 127.0.0.1 >nul";
    start.directory = Sys().process->SystemDirectory();
#else
    tessaro::ShellStart start;
    start.file = "/bin/sh";
    start.parameters = "-c \"sleep 2\"";
#endif
    start.verb = "open";
    start.show = win::kSwHide;
    start.mask = win::kSeeMaskNoCloseProcess;
    power::ProgramRun run = power::StartProgram(start, true, 100, false);
    ASSERT_TRUE(run.started);
    EXPECT_EQ(run.waited, 1);
    EXPECT_EQ(run.error, win::kErrTimeout);
    EXPECT_FALSE(run.haveExitCode);
}

TEST(ProcessPort, AMissingProgramIsNoStart) {
    tessaro::test::TestSystem sys;
    tessaro::System ports;
    ports.process = tessaro::NativeSystem().process;
    sys.Install(ports);
    tessaro::ShellStart start;
    start.verb = "open";
    start.file = tessaro::Sys().files->NativePath(sys.ProgramFolder() + "pwrsusp.exe");
    start.parameters = "0";
    start.show = win::kSwHide;
    // Without a window of its own to own it, the shell's error box for a
    // missing program would wait for a person: the test asks for none.
    start.mask = win::kSeeMaskNoCloseProcess | 0x00000400;  // SEE_MASK_FLAG_NO_UI
    power::ProgramRun run = power::StartProgram(start, true, 1000, false);
    EXPECT_FALSE(run.started);
    EXPECT_LE(run.instApp, 32);
    EXPECT_FALSE(run.hadHandle);
#if !defined(_WIN32)
    // The helper is not there: the launch reports it, nothing else is tried.
    // (On Windows the shell shows its own error box for it first.)
    sys.os.Set(6, 1, 1);
    EXPECT_EQ(LaunchSuspendHelper(0, sys.ProgramFolder()), 0);
#endif
}

TEST(FilePort, FixedPlacesOfDriveCStayInTheTestsFolder) {
    tessaro::test::TestSystem sys;
    tessaro::IFileSystem& files = *Sys().files;
    uint32_t error = 0;
    ASSERT_TRUE(files.WriteAll(kSetupLogFile, "VXI-SUCCESS", 11, error));
    EXPECT_EQ(sys.ReadText("drive_c/difxcmd.log"), "VXI-SUCCESS");
    std::vector<uint8_t> bytes;
    ASSERT_TRUE(files.ReadAll(kSetupLogFile, bytes, error));
    EXPECT_EQ(bytes.size(), 11u);
    ASSERT_TRUE(files.Delete(kSetupLogFile, error));
    // What the operations rely on to tell "nothing to clear" from a failure.
    EXPECT_FALSE(files.Delete(kSetupLogFile, error));
    EXPECT_EQ(error, win::kErrFileNotFound);
    EXPECT_FALSE(files.ReadAll(kPowerPlanFile, bytes, error));
    EXPECT_EQ(error, win::kErrFileNotFound);
    sys.WriteFile("drive_c/a.out/keep", "x");
    EXPECT_FALSE(files.Delete(kPowerPlanFile, error));
    EXPECT_NE(error, win::kErrFileNotFound);
    EXPECT_NE(error, win::kErrPathNotFound);
    // The package search does not mind the case of the name.
    sys.WriteFile("program/vxusbflt_setup_v3.00.exe", "");
    EXPECT_EQ(files.Find(power::JoinPath(sys.ProgramFolder(), "VXUSBFLT_SETUP_V*.exe")),
              std::vector<std::string>{"vxusbflt_setup_v3.00.exe"});
}

TEST(DeviceListPort, ASearchWithoutHubsEndsCleanly) {
    tessaro::test::TestSystem sys;
    sys.WriteIni("[VX7100]\nDbgMode=1\n");
    tessaro::System ports;
    ports.devices = tessaro::NativeSystem().devices;
    sys.Install(ports);
#if defined(_WIN32)
    if (!UnderWine()) GTEST_SKIP() << "a real PC may have a hub of the family attached";
#endif
    std::string vid, pid, revision;
    EXPECT_EQ(FindHubHardwareId(vid, pid, revision), 0);
    EXPECT_TRUE(sys.debug.Contains("SetupDiEnumDeviceInfo ERROR! i=")) << sys.debug.All();
    EXPECT_EQ(sys.console.Output(), "\nERROR!! Can't find USB3.0 Hub!\n");
}

#if defined(_WIN32)
// The whole power plan change through the system's command interpreter, with
// a stand-in POWERCFG first on the PATH that records its command lines.  Only
// inside Wine's own prefix: on a real PC it would change the power plan.
TEST(NativePowerPlan, TheCommandsReachPowercfgThroughTheCommandInterpreter) {
    if (!UnderWine()) GTEST_SKIP() << "changes the real power plan";
    char module[MAX_PATH] = {};
    GetModuleFileNameA(nullptr, module, MAX_PATH);
    std::string folder(module);
    folder = folder.substr(0, folder.find_last_of("\\/"));
    const std::string standins = folder + "\\standins";
    if (GetFileAttributesA((standins + "\\POWERCFG.exe").c_str()) == INVALID_FILE_ATTRIBUTES)
        GTEST_SKIP() << "the POWERCFG stand-in is not built";
    const std::string temp = tessaro::test::MakeTempFolder("power-native");
    const std::string log = temp + "\\powercfg.log";
    char oldPath[32768] = {};
    GetEnvironmentVariableA("PATH", oldPath, sizeof oldPath);
    SetEnvironmentVariableA("PATH", (standins + ";" + oldPath).c_str());
    SetEnvironmentVariableA("POWERCFG_LOG", log.c_str());
    SetEnvironmentVariableA("POWERCFG_ANSWER", nullptr);

    tessaro::test::RecordingBox box;
    tessaro::test::CapturedDebug debug;
    tessaro::System ports;
    ports.box = &box;
    ports.debug = &debug;
    int result = 0;
    {
        tessaro::ScopedSystem scope(ports);
        result = ChangePowerPlanUsbSelectiveSuspend(0, 0);
    }
    SetEnvironmentVariableA("PATH", oldPath);
    SetEnvironmentVariableA("POWERCFG_LOG", nullptr);
    std::ifstream in(log, std::ios::binary);
    const std::string lines((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    in.close();
    tessaro::test::RemoveTree(temp);

    EXPECT_EQ(result, 1) << debug.All();
    EXPECT_TRUE(box.Texts().empty());
    const std::string scheme = "381b4222-f694-41f0-9685-ff5bb260df2e";
    const std::string setting = std::string(" ") + kUsbSettingsSubgroup + " " + kUsbSelectiveSuspendSetting + " 000";
    EXPECT_EQ(lines, "-GETACTIVESCHEME\n-SetAcValueIndex " + scheme + setting + "\n-SETDCVALUEINDEX " + scheme +
                         setting + "\n-SETACTIVE " + scheme + "\n");
}
#endif

}  // namespace
