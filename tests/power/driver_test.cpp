// The filter driver: its version, the setup package beside the tool, a
// silent install or removal with its log, the hub found before the driver
// exists, and the restart; on the bench.
#include <gtest/gtest.h>

#include <set>

#include "power/DriverSetup.h"
#include "settings/CIniFile.h"
#include "tests/power/power_fixture.h"

using powertest::PowerTest;
using powertest::RecordingDialog;
namespace win = tessaro::win;

namespace {

const std::string kSystem = "C:\\Windows\\system32";
const std::string kFinished = "Filter driver installation finished! Preparing for FW update";

// The file port of the test, whose deletes of one file can be made to fail.
class DeleteFailingFiles : public tessaro::IFileSystem {
public:
    explicit DeleteFailingFiles(tessaro::IFileSystem& inner) : m_inner(inner) {}
    std::string ModuleFileName() override { return m_inner.ModuleFileName(); }
    std::vector<std::string> Find(const std::string& p) override { return m_inner.Find(p); }
    bool Exists(const std::string& p) override { return m_inner.Exists(p); }
    bool ReadAll(const std::string& p, std::vector<uint8_t>& o, uint32_t& e) override { return m_inner.ReadAll(p, o, e); }
    bool WriteAll(const std::string& p, const void* d, size_t s, uint32_t& e) override {
        return m_inner.WriteAll(p, d, s, e);
    }
    bool Delete(const std::string& p, uint32_t& e) override {
        if (p == failPath && failing.count(++m_deletes)) {
            e = win::kErrSharingViolation;
            tessaro::SetLastError(e);
            return false;
        }
        return m_inner.Delete(p, e);
    }
    bool Rename(const std::string& f, const std::string& t, uint32_t& e) override { return m_inner.Rename(f, t, e); }
    std::string NativePath(const std::string& p) override { return m_inner.NativePath(p); }
    std::string failPath;
    std::set<int> failing;  // which deletes of that file fail, counted from 1

private:
    tessaro::IFileSystem& m_inner;
    int m_deletes = 0;
};

class DriverTest : public PowerTest {
protected:
    // Package files in the program folder.
    void Package(const std::string& setup = "VXUSBFLT_SETUP_V3.00.exe") {
        sys.WriteFile("program/" + setup, "");
        sys.WriteFile("program/install.iss", "[InstallShield Silent]\r\n");
        sys.WriteFile("program/uninstall.iss", "[InstallShield Silent]\r\n");
    }
    DriverSetupState State() {
        return DriverSetupState{installed, setupFile, direction, ready, sys.ProgramFolder()};
    }
    std::string Console() const { return sys.console.Output(); }
    std::string ResultLog() const { return sys.ReadText("desktop/USBHubUpdate.log"); }
    std::vector<tessaro::ShellStart> StartsOf(const std::string& program) const {
        std::vector<tessaro::ShellStart> out;
        for (const tessaro::ShellStart& s : process->starts)
            if (s.file.size() >= program.size() && s.file.substr(s.file.size() - program.size()) == program)
                out.push_back(s);
        return out;
    }
    std::string Dots() const { return std::string(19, '.') + ".\n"; }

    std::string installed = "unset", setupFile;
    int direction = kSetupInstall, ready = 0;
};

TEST_F(DriverTest, SixtyFourBitWindowsAndTheDriverKeyItChooses) {
    Bench("machine 64-bit\n");
    EXPECT_TRUE(Is64BitOs());
    Bench("machine 32-bit\n");
    EXPECT_FALSE(Is64BitOs());
    Bench("machine 64-bit\nregistry fail CurrentVersion\n");
    EXPECT_FALSE(Is64BitOs()) << "an unreadable build text counts as 32-bit";
    EXPECT_EQ(FilterDriverKey(true),
              "SOFTWARE\\Wow6432Node\\Varnel Logic\\Varnel Logic Generic USB Class Filter Driver");
    EXPECT_EQ(FilterDriverKey(false), "SOFTWARE\\Varnel Logic\\Varnel Logic Generic USB Class Filter Driver");
}

TEST_F(DriverTest, InstalledVersionForTheDialogs) {
    sys.WriteIniWithLog("");
    struct Case {
        const char* bench;
        long result;
        float version;
    } cases[] = {
        {"driver installed version 3.00\n", 0, 3.0f},
        {"machine 32-bit\ndriver installed version 3.10\n", 0, 3.1f},
        {"driver installed version 2.99.1\n", 0, 2.99f},
        {"driver installed key empty\n", win::kErrNoMoreItems, -1},
        {"driver missing\n", win::kErrFileNotFound, -1},
        {"registry fail Filter error 5\n", win::kErrAccessDenied, -1},
        {"driver installed version 3.00-build-000000000001\n", win::kErrMoreData, -1},
    };
    for (const Case& c : cases) {
        Bench(c.bench);
        sys.box.Clear();
        sys.debug.Clear();
        tessaro::SetLastError(1234);  // what the thread saw last must not be reported
        float version = -1;
        EXPECT_EQ(GetFilterDriverVersion(&version, 1), c.result) << c.bench;
        EXPECT_FLOAT_EQ(version, c.version) << c.bench;
        if (c.result == 0) {
            EXPECT_TRUE(sys.box.Texts().empty());
            EXPECT_TRUE(sys.debug.Contains("achKey ")) << c.bench;
            continue;
        }
        const std::string reason = tessaro::Sys().errors->Text(static_cast<uint32_t>(c.result));
        ASSERT_EQ(sys.box.Boxes().size(), 1u) << c.bench;
        EXPECT_EQ(sys.box.Boxes()[0].text, reason);
        EXPECT_EQ(sys.box.Boxes()[0].caption, "Error");
        EXPECT_EQ(sys.box.Boxes()[0].style, win::kMbSystemModal | win::kMbIconError);
        EXPECT_TRUE(sys.debug.Contains("GetFilterDriverVersion, " + reason)) << c.bench;
        sys.box.Clear();
        GetFilterDriverVersion(&version, 0);
        EXPECT_TRUE(sys.box.Texts().empty());
    }
}

TEST_F(DriverTest, TheDialogsNeedVersionThreeOrLater) {
    sys.WriteIniWithLog("");
    std::string failure;
    Bench("driver installed version 3.00\n");
    EXPECT_EQ(RequireFilterDriverVersion(failure), 1);
    Bench("driver installed version 2.99.1\n");
    EXPECT_EQ(RequireFilterDriverVersion(failure), 0);
    EXPECT_EQ(failure,
              "Please update driver to latest version before running this program.\n\nCurrent installed driver "
              "version is v2.990000");
    EXPECT_TRUE(sys.debug.Contains("current driver ver 2.990000, threshold version 3.000000."));
    Bench("driver missing\n");
    EXPECT_EQ(RequireFilterDriverVersion(failure), 0);
    EXPECT_EQ(failure, "Cannot identify filter driver version!");
}

TEST(DriverNumbers, InstalledAndPackageVersionTexts) {
    EXPECT_FLOAT_EQ(InstalledDriverNumber("3.00"), 3.0f);
    EXPECT_FLOAT_EQ(InstalledDriverNumber("1.0008"), 1.008f);  // last four 0008 > 0: the fifth character goes
    EXPECT_FLOAT_EQ(InstalledDriverNumber("1.0.8"), 1.0f);     // last four .0.8 is 0: taken as it is
    EXPECT_FLOAT_EQ(InstalledDriverNumber("2.99.1"), 2.991f);
    EXPECT_FLOAT_EQ(InstalledDriverNumber("3"), 3.0f);         // shorter than four: the whole text
    EXPECT_FLOAT_EQ(InstalledDriverNumber("12"), 12.0f);
    float n = 0;
    ASSERT_TRUE(PackageDriverNumber("VXUSBFLT_SETUP_V1.08", n));
    EXPECT_FLOAT_EQ(n, 1.08f);
    ASSERT_TRUE(PackageDriverNumber("VXUSBFLT_SETUP_V1.0.8", n));
    EXPECT_FLOAT_EQ(n, 1.0008f);
    ASSERT_TRUE(PackageDriverNumber("VXUSBFLT_SETUP_V2.1.12", n));
    EXPECT_FLOAT_EQ(n, 2.10012f);
    ASSERT_TRUE(PackageDriverNumber("vxusbflt_setup_v3.0.0 (beta)", n));
    EXPECT_FLOAT_EQ(n, 3.0f);
    ASSERT_TRUE(PackageDriverNumber("VXUSBFLT_SETUP_V30000", n));  // no dot: the plain number
    EXPECT_FLOAT_EQ(n, 30000.0f);
    EXPECT_FALSE(PackageDriverNumber("VXUSBFLT-SETUP-3.00", n));
}

TEST_F(DriverTest, VersionCheckAgainstThePackage) {
    sys.WriteIniWithLog("");
    struct Case {
        const char* bench;
        const char* package;
        int result;
    } cases[] = {
        {"driver installed key empty\n", "VXUSBFLT_SETUP_V3.00.exe", kDriverNotInstalled},
        {"driver missing\n", "VXUSBFLT_SETUP_V3.00.exe", kDriverNotInstalled},
        {"driver installed version 3.00\n", "VXUSBFLT_SETUP_V3.00.exe", kDriverCurrent},
        {"driver installed version 3.10\n", "VXUSBFLT_SETUP_V3.00.exe", kDriverCurrent},
        {"driver installed version 2.99\n", "VXUSBFLT_SETUP_V3.00.exe", kDriverOlder},
        {"driver installed version 1.08\n", "VXUSBFLT_SETUP_V1.08.exe", kDriverCurrent},
        {"driver installed version 1.0008\n", "VXUSBFLT_SETUP_V1.0.8.exe", kDriverCurrent},
        {"driver installed version 1.0.8\n", "VXUSBFLT_SETUP_V1.0.8.exe", kDriverOlder},
        {"driver installed version 3\n", "VXUSBFLT_SETUP_V3.00.exe", kDriverCurrent},
        {"machine 32-bit\ndriver installed version 2.00\n", "vxusbflt_setup_v2.10.exe", kDriverOlder},
    };
    for (const Case& c : cases) {
        tessaro::test::RemoveTree(sys.Native("program"));
        Package(c.package);
        sys.WriteIniWithLog("");
        Bench(c.bench);
        DriverSetupState state = State();
        EXPECT_EQ(CheckDriverVersion(state), c.result) << c.bench << c.package;
        EXPECT_EQ(setupFile, sys.ProgramFolder() + c.package);
        if (c.result == kDriverNotInstalled) {
            EXPECT_EQ(installed, "");
        }
        EXPECT_EQ(Console(), "");
    }
    EXPECT_TRUE(sys.debug.Contains("iRegDriverVersion = 2.000000.\n\r\niExeDriverVersion = 2.100000.\n"));
    EXPECT_TRUE(sys.debug.Contains("32 bit OS.\n"));
}

TEST_F(DriverTest, TheFirstOfTwoPackagesIsUsed) {
    Package("VXUSBFLT_SETUP_V3.10.exe");
    Package("VXUSBFLT_SETUP_V2.00.exe");
    Bench("driver installed version 3.00\n");
    DriverSetupState state = State();
    EXPECT_EQ(CheckDriverVersion(state), kDriverCurrent);
    EXPECT_EQ(setupFile, sys.ProgramFolder() + "VXUSBFLT_SETUP_V2.00.exe");
    EXPECT_EQ(installed, "3.00");
}

TEST_F(DriverTest, AMissingPackageStopsEitherFrontEnd) {
    sys.WriteIniWithLog("");
    Bench("driver missing\n");
    DriverSetupState state = State();
    EXPECT_EQ(CheckDriverVersion(state), kDriverPackageMissing);
    EXPECT_EQ(Console(), "ERROR! driver file is missing!\n");
    EXPECT_EQ(ResultLog(), "FAIL");
    EXPECT_TRUE(sys.debug.Contains("Couldn't find driver package!\n\r\n"));
    RecordingDialog dialog;
    EXPECT_EQ(CheckDriverVersion(state, dialog), kDriverPackageMissing);
    EXPECT_EQ(dialog.calls, (std::vector<std::string>{"box ERROR: driver file is missing! (error)", "close"}));
}

TEST_F(DriverTest, ConsoleInstallRunsTheSetupQuietlyAndCleansUp) {
    Package();
    Bench("driver missing\nsetup install ok\nsetup time 15000\n");
    DriverSetupState state = State();
    ASSERT_EQ(CheckDriverVersion(state), kDriverNotInstalled);
    RunDriverSetup(state);
    EXPECT_EQ(ready, 1);
    EXPECT_TRUE(sys.pc().DriverInstalled());
    EXPECT_EQ(Console(), "Installing filter driver, please wait...\n" + kFinished + ".\n" + Dots());
    EXPECT_FALSE(sys.Exists("drive_c/difxcmd.log")) << "a successful run's log is deleted";
    const std::vector<tessaro::ShellStart> setups = StartsOf("VXUSBFLT_SETUP_V3.00.exe");
    ASSERT_EQ(setups.size(), 1u);
    EXPECT_EQ(setups[0].file, sys.ProgramFolder() + "VXUSBFLT_SETUP_V3.00.exe");
    // The folder as held (with its backslash), one more backslash, the file.
    EXPECT_EQ(setups[0].parameters, "/w /s /f1\"" + sys.ProgramFolder() + "\\install.iss\"");
    EXPECT_EQ(setups[0].directory, sys.ProgramFolder());
    EXPECT_EQ(setups[0].show, win::kSwHide);
    EXPECT_EQ(setups[0].mask, win::kSeeMaskNoCloseProcess);
    EXPECT_EQ(process->waits, std::vector<uint32_t>{kSetupTimeoutMs});
    EXPECT_EQ(process->pumped, std::vector<bool>{true});
    std::vector<uint32_t> waits = sys.clock.Waits();
    ASSERT_EQ(waits.size(), 21u);
    EXPECT_EQ(waits[0], 15000u) << "the setup program's own time";
    EXPECT_EQ(std::vector<uint32_t>(waits.begin() + 1, waits.end()), std::vector<uint32_t>(20, 1000));
    EXPECT_FALSE(sys.Exists("desktop/USBHubUpdate.log"));

    // And the removal afterwards.
    sys.console.Input("");
    direction = kSetupUninstall;
    RunDriverSetup(state);
    EXPECT_EQ(ready, 1);
    EXPECT_FALSE(sys.pc().DriverInstalled());
    EXPECT_NE(Console().find("Uninstalling filter driver, please wait...\nFilter driver is uninstalled!\n" + Dots()),
              std::string::npos);
    EXPECT_EQ(StartsOf("VXUSBFLT_SETUP_V3.00.exe").back().parameters,
              "/w /s /f1\"" + sys.ProgramFolder() + "\\uninstall.iss\"");
}

TEST(DriverFolders, AProgramFolderWithBlanksIsQuoted) {
    tessaro::test::BenchSystem spaced("Varnel Tools/Tessaro.exe");
    spaced.WriteFile("program/Varnel Tools/VXUSBFLT_SETUP_V3.00.exe", "");
    spaced.WriteFile("program/Varnel Tools/install.iss", "");
    spaced.WriteFile("program/Varnel Tools/uninstall.iss", "");
    spaced.Bench("driver missing\n");
    std::string installed, setupFile;
    int direction = kSetupInstall, ready = 0;
    DriverSetupState state{installed, setupFile, direction, ready, CIniFile::ProgramFolder()};
    ASSERT_NE(state.programFolder.find("Varnel Tools"), std::string::npos);
    ASSERT_EQ(CheckDriverVersion(state), kDriverNotInstalled);
    RunDriverSetup(state);
    EXPECT_EQ(ready, 1) << spaced.console.Output();
    EXPECT_TRUE(spaced.pc().DriverInstalled());
}

TEST_F(DriverTest, ConsoleFailuresPrintRecordAndShowTheLog) {
    struct Case {
        const char* bench;
        const char* stale;  // content of a log left by an earlier run ("" none)
        const char* line;
        bool notepad;
    } cases[] = {
        {"setup install fail\n", "", "ERROR!! install filter driver failed!", true},
        {"setup install ok log \"DIFXCMD: done\"\n", "", "ERROR!! install filter driver failed!", true},
        {"setup install ok no-log\n", "", "Process driver data fail!\n\nPlease restart your PC and try again.", false},
        // Nothing written this time: the success of an earlier run must not count.
        {"setup install fail no-log\n", "VXI-SUCCESS\r\n", "Process driver data fail!\n\nPlease restart your PC and try again.",
         false},
        {"fault start VXUSBFLT_SETUP_V*.exe\n", "", "ERROR!! install filter driver failed!", false},
    };
    for (const Case& c : cases) {
        sys.WriteIniWithLog("");
        Package();
        if (*c.stale) sys.WriteFile("drive_c/difxcmd.log", c.stale);
        Bench(std::string("driver missing\n") + c.bench);
        sys.Remove("desktop/USBHubUpdate.log");
        const size_t printed = Console().size();
        DriverSetupState state = State();
        ASSERT_EQ(CheckDriverVersion(state), kDriverNotInstalled);
        ready = 1;
        RunDriverSetup(state);
        EXPECT_EQ(ready, 0) << c.bench;
        EXPECT_EQ(Console().substr(printed), "Installing filter driver, please wait...\n" + std::string(c.line) + "\n")
            << c.bench;
        EXPECT_EQ(ResultLog(), "FAIL") << c.bench;
        const std::vector<tessaro::ShellStart> notepad = StartsOf("notepad.exe");
        ASSERT_EQ(notepad.size(), c.notepad ? 1u : 0u) << c.bench;
        if (c.notepad) {
            EXPECT_EQ(notepad[0].file, kSystem + "\\notepad.exe");
            EXPECT_EQ(notepad[0].parameters, "c:\\difxcmd.log");
            EXPECT_EQ(notepad[0].directory, kSystem);
            EXPECT_EQ(notepad[0].show, win::kSwShowNormal);
            EXPECT_TRUE(sys.Exists("drive_c/difxcmd.log")) << "a failed run's log stays for the user";
        }
        if (std::string(c.bench).find("fault start") != std::string::npos) {
            EXPECT_TRUE(process->waits.empty()) << "no wait for a program that never started";
        }
        sys.Remove("drive_c/difxcmd.log");
    }
    EXPECT_TRUE(sys.debug.Contains("find no difxcmd.log\n\r\n"));
}

TEST_F(DriverTest, ASetupThatNeverEndsIsAFailure) {
    Package();
    Bench("driver missing\n");
    process->hang = "install.iss";
    DriverSetupState state = State();
    ASSERT_EQ(CheckDriverVersion(state), kDriverNotInstalled);
    RunDriverSetup(state);
    EXPECT_EQ(ready, 0);
    EXPECT_EQ(sys.clock.TotalWaited(), kSetupTimeoutMs);
    EXPECT_NE(Console().find("ERROR!! install filter driver failed!\n"), std::string::npos);
    EXPECT_EQ(ResultLog(), "FAIL");
    EXPECT_EQ(process->closed, 1);
}

TEST_F(DriverTest, ALogThatCannotBeDeletedNeverStopsAnUnattendedRun) {
    Package();
    Bench("driver missing\n");
    DeleteFailingFiles files(*sys.files);
    files.failPath = "c:\\difxcmd.log";
    files.failing = {2, 4};  // the clean-ups before the runs work, the ones after them do not
    tessaro::System ports;
    ports.files = &files;
    sys.Install(ports);
    DriverSetupState state = State();
    ASSERT_EQ(CheckDriverVersion(state), kDriverNotInstalled);
    RunDriverSetup(state);
    EXPECT_EQ(ready, 1);
    EXPECT_TRUE(sys.box.Texts().empty());
    EXPECT_NE(Console().find("Cannot delete c:\\difxcmd.log: "), std::string::npos) << Console();

    RecordingDialog dialog;
    RunDriverSetup(state, dialog);
    ASSERT_EQ(sys.box.Boxes().size(), 1u);
    EXPECT_EQ(sys.box.Boxes()[0].caption, "Error");
    EXPECT_EQ(sys.box.Boxes()[0].text, tessaro::Sys().errors->Text(win::kErrSharingViolation));
}

TEST_F(DriverTest, DialogInstallGoesOnToTheUpdate) {
    Package();
    Bench("driver missing\n");
    DriverSetupState state = State();
    RecordingDialog dialog;
    ASSERT_EQ(CheckDriverVersion(state, dialog), kDriverNotInstalled);
    RunDriverSetup(state, dialog);
    EXPECT_EQ(dialog.calls, (std::vector<std::string>{
                                "status Install filter driver, it will take a while...",
                                "stop timer",
                                "progress 100",
                                "status " + kFinished + ".",
                                "status " + kFinished + "...",
                                "status " + kFinished + ".....",
                                "start update",
                            }));
    EXPECT_EQ(sys.clock.Waits(), (std::vector<uint32_t>{1000, 1000, 1000}));
    EXPECT_EQ(Console(), "");
    EXPECT_TRUE(sys.pc().DriverInstalled());
}

TEST_F(DriverTest, DialogRemovalRestartsWindows) {
    const std::string restart =
        "box USB3.0 Hub Update Tool: Your computer will be restarted after uninstall driver.\nPlease unplug USB cable & "
        "Power Adapter,\nand re-plug them to hub device after restart.";
    for (const char* fault : {"", "fault shutdown\n"}) {
        Package();
        Bench(std::string("driver installed\n") + fault);
        DriverSetupState state = State();
        RecordingDialog dialog;
        ASSERT_EQ(CheckDriverVersion(state, dialog), kDriverCurrent);
        direction = kSetupUninstall;
        RunDriverSetup(state, dialog);
        std::vector<std::string> expected = {"status Uninstall filter driver, it will take a while...", "stop timer",
                                             "progress 100", "status Filter driver is uninstalled!", restart};
        if (*fault) expected.push_back("box USB3.0 Hub Update Tool: System shutdown ERROR! (error)");
        expected.push_back("restart ending");
        expected.push_back("close");
        EXPECT_EQ(dialog.calls, expected) << fault;
        EXPECT_EQ(sys.pc().Restarts(), *fault ? 0 : 1);
        EXPECT_FALSE(sys.pc().DriverInstalled());
    }
}

TEST_F(DriverTest, DialogFailuresCloseTheDialog) {
    struct Case {
        const char* bench;
        std::vector<std::string> calls;
    } cases[] = {
        {"fault start VXUSBFLT_SETUP_V*.exe\n",
         {"box USB3.0 Hub Update Tool: Filter driver install failed!\nCannot launch driver package. (error)",
          "status Install filter driver fail!", "close"}},
        {"setup install fail\n",
         {"stop timer", "progress 100", "box USB3.0 Hub Update Tool: Install Filter driver fail! (error)",
          "status Install filter driver fail!", "stop timer", "progress 100", "close"}},
        {"setup install ok no-log\n",
         {"stop timer", "progress 100",
          "box USB3.0 Hub Update Tool: Process driver data fail!\n\nPlease restart your PC and try again. (error)",
          "status Process driver data fail!", "close"}},
    };
    for (const Case& c : cases) {
        Package();
        Bench(std::string("driver missing\n") + c.bench);
        DriverSetupState state = State();
        RecordingDialog dialog;
        ASSERT_EQ(CheckDriverVersion(state, dialog), kDriverNotInstalled);
        RunDriverSetup(state, dialog);
        std::vector<std::string> expected = {"status Install filter driver, it will take a while..."};
        expected.insert(expected.end(), c.calls.begin(), c.calls.end());
        EXPECT_EQ(dialog.calls, expected) << c.bench;
        EXPECT_EQ(Console(), "");
        EXPECT_FALSE(sys.Exists("desktop/USBHubUpdate.log")) << "the dialog keeps no result log";
        sys.Remove("drive_c/difxcmd.log");
    }
}

TEST_F(DriverTest, ConsoleFindsTheHubByItsHardwareId) {
    sys.WriteIniWithLog("");
    Bench(
        "device Mouse\n  function type 0 vid 0x046D pid 0xC077 bcd-device 0x7200\nend\n"
        "device Broken\n  function hwid-fails\nend\n"
        "hub HighSpeed\n  store eeprom 256\n  bcd-device 0x3298\n  function vid 0x2C7E pid 0x0B40\nend\n"
        "hub Main\n  store eeprom 256\n  bcd-device 0x9223\n  function vid 0x2C7E pid 0x0B42\nend\n");
    std::string vid = "x", pid = "x", rev = "x";
    ASSERT_EQ(FindHubHardwareId(vid, pid, rev), 1);
    EXPECT_EQ(vid, "2c7e");
    EXPECT_EQ(pid, "0b42");
    EXPECT_EQ(rev, "9223");
    EXPECT_EQ(Console(), "\nUSB3.0 Hub is found.\n");
    EXPECT_TRUE(sys.debug.Contains("SetupDiGetDeviceRegistryProperty ERROR! 13\n"));
    EXPECT_TRUE(sys.debug.Contains("skip 2.0 hub: usb\\vid_2c7e&pid_0b40&rev_3298\n"));
    EXPECT_TRUE(sys.debug.Contains("Hub is found! Hardware ID: usb\\vid_2c7e&pid_0b42&rev_9223\n"));
}

TEST_F(DriverTest, WhichHubsEachVariantFinds) {
    struct Case {
        const char* function;
        bool console, dialog;
        const char* rev;
    } cases[] = {
        {"vid 0x2C7E pid 0x0B40", true, true, "0100"},
        {"vid 0x2C7E pid 0x0B47", true, false, "0100"},
        {"vid 0x8564 pid 0x4000", true, true, "0100"},
        {"vid 0x2C7E pid 0x0B41", false, false, ""},
        {"vid 0x2C7E pid 0x0B40 hwid USB\\VID_2C7E&PID_0B40", true, true, ""},
        {"vid 0x2C7E pid 0x0B40 absent", false, false, ""},
        {"vid 0x2C7E pid 0x0B40 class HIDClass", false, false, ""},
    };
    for (const Case& c : cases) {
        Bench(std::string("hub H\n  store eeprom 256\n  function ") + c.function + "\nend\n");
        std::string vid, pid, rev = "stale";
        EXPECT_EQ(FindHubHardwareId(vid, pid, rev), c.console ? 1 : 0) << c.function;
        EXPECT_EQ(rev, c.console ? c.rev : "") << c.function;
        RecordingDialog dialog;
        EXPECT_EQ(FindHubHardwareId(dialog), c.dialog ? 1 : 0) << c.function;
        if (c.dialog && *c.rev)
            EXPECT_EQ(dialog.calls, std::vector<std::string>{std::string("version ") + c.rev}) << c.function;
        else
            EXPECT_TRUE(dialog.calls.empty()) << c.function;
    }
    const std::string output = Console();
    EXPECT_NE(output.find("\nERROR!! Can't find USB3.0 Hub!\n"), std::string::npos);
}

TEST_F(DriverTest, NoHubOrNoDeviceListIsNotFound) {
    sys.WriteIniWithLog("");
    Bench("device Mouse\n  function type 0 vid 0x046D pid 0xC077\nend\n");
    std::string vid, pid, rev;
    EXPECT_EQ(FindHubHardwareId(vid, pid, rev), 0);
    EXPECT_TRUE(sys.debug.Contains("SetupDiEnumDeviceInfo ERROR! i=1, (259)\n"));
    EXPECT_EQ(Console(), "\nERROR!! Can't find USB3.0 Hub!\n");
    Bench("fault devices error 13\n");
    EXPECT_EQ(FindHubHardwareId(vid, pid, rev), 0);
    EXPECT_TRUE(sys.debug.Contains("SetupDiEnumDeviceInfo ERROR! i=0, (13)\n"));
}

TEST_F(DriverTest, RestartNeedsThePrivilegeAndGivesItBack) {
    Bench("");
    ASSERT_EQ(RebootSystem(), 1);
    EXPECT_EQ(sys.pc().Restarts(), 1);
    std::vector<std::string> events = sys.pc().Events();
    EXPECT_EQ(events, (std::vector<std::string>{"shutdown privilege enabled", "restart requested in 5 s",
                                                "shutdown privilege disabled"}));
    Bench("fault privilege nth 1\n");
    EXPECT_EQ(RebootSystem(), 0);
    EXPECT_EQ(sys.pc().Restarts(), 0);
    Bench("fault shutdown error 1115\n");
    EXPECT_EQ(RebootSystem(), 0);
    EXPECT_EQ(tessaro::LastError(), 1115u);
    EXPECT_EQ(sys.pc().Events().back(), "shutdown privilege disabled");
}

}  // namespace
