// The way selective suspend is switched, the power plan change through
// POWERCFG and the suspend helper, on the bench.
#include <gtest/gtest.h>

#include "power/PowerPlan.h"
#include "tests/power/power_fixture.h"

using powertest::PowerTest;
namespace win = tessaro::win;

namespace {

const std::string kSystem = "C:\\Windows\\system32";
const std::string kSetting = std::string(" ") + bench::kUsbSubgroup + " " + bench::kUsbSelectiveSuspend;
const std::string kBalanced = bench::kBalancedScheme;

TEST(SuspendMethod, TableOfSettingAndWindowsVersion) {
    using M = SuspendMethod;
    struct Row {
        const char* setting;
        M windows7, windows8;
    } rows[] = {
        {"", M::PerDevice, M::PowerPlan},   {"1", M::PerDevice, M::PowerPlan}, {"2", M::PerDevice, M::PerDevice},
        {"3", M::PowerPlan, M::PowerPlan},  {"0", M::None, M::None},           {"4", M::None, M::None},
        {"01", M::None, M::None},           {"yes", M::None, M::None},
    };
    for (const Row& r : rows) {
        EXPECT_EQ(ChooseSuspendMethod(r.setting, 6, 1), r.windows7) << r.setting;
        EXPECT_EQ(ChooseSuspendMethod(r.setting, 6, 2), r.windows8) << r.setting;
        EXPECT_EQ(ChooseSuspendMethod(r.setting, 6, 3), r.windows8) << r.setting;
        EXPECT_EQ(ChooseSuspendMethod(r.setting, 5, 1), r.windows7) << r.setting;
    }
    // Only major version 6 counts as "Windows 8 or later", as the setting has
    // always been read.
    EXPECT_EQ(ChooseSuspendMethod("1", 10, 0), M::PerDevice);
    EXPECT_EQ(ChooseSuspendMethod("1", 7, 2), M::PerDevice);
}

TEST(SuspendMethod, SchemeGuidsAreCheckedBeforeTheyReachACommandLine) {
    std::string guid;
    EXPECT_TRUE(SchemeGuidFromAnswer("Power Scheme GUID: 381b4222-f694-41f0-9685-ff5bb260df2e  (Balanced)\r\n", guid));
    EXPECT_EQ(guid, kBalanced);
    EXPECT_TRUE(SchemeGuidFromAnswer("GUID: 8C5E7FDA-E8BF-4A96-9A85-A6E23A8C635C", guid));
    EXPECT_EQ(guid, "8C5E7FDA-E8BF-4A96-9A85-A6E23A8C635C");
    guid = "unchanged";
    const char* refused[] = {
        "Power Scheme: 381b4222-f694-41f0-9685-ff5bb260df2e",        // no "GUID:"
        "Power Scheme GUID: 381b4222-f694-41f0-9685-ff5bb260df",     // too short
        "Power Scheme GUID: 381b4222-f694-41f0-9685-ff5bb2&calc.e",  // not hexadecimal
        "Power Scheme GUID: 381b4222f-694-41f0-9685-ff5bb260df2e",   // dash out of place
        "Power Scheme GUID: \"381b4222-f694-41f0-9685-ff5bb260df2",  // quote
    };
    for (const char* answer : refused) EXPECT_FALSE(SchemeGuidFromAnswer(answer, guid)) << answer;
    // Only the first 99 bytes are examined.
    EXPECT_FALSE(SchemeGuidFromAnswer(std::string(60, ' ') + "GUID: " + kBalanced, guid));
    EXPECT_FALSE(SchemeGuidFromAnswer(std::string("GUID:") + '\0' + kBalanced, guid));
    EXPECT_EQ(guid, "unchanged");
    EXPECT_FALSE(IsSchemeGuid(kBalanced + " "));
}

TEST_F(PowerTest, PowerPlanChangeRunsTheFourCommandsInOrder) {
    sys.WriteIniWithLog("");
    Bench("os 6.2.9200\n");
    ASSERT_EQ(ChangePowerPlanUsbSelectiveSuspend(0, 0), 1);
    EXPECT_EQ(Suspend(true), 0u);
    EXPECT_EQ(Suspend(false), 0u);
    EXPECT_EQ(sys.pc().SchemeActivations(), 1);
    EXPECT_EQ(Parameters(), (std::vector<std::string>{
                                "/c POWERCFG -GETACTIVESCHEME > c:\\a.out",
                                "/c POWERCFG -SetAcValueIndex " + kBalanced + kSetting + " 000",
                                "/c POWERCFG -SETDCVALUEINDEX " + kBalanced + kSetting + " 000",
                                "/c POWERCFG -SETACTIVE " + kBalanced,
                            }));
    for (const tessaro::ShellStart& s : process->starts) {
        EXPECT_EQ(s.verb, "open");
        EXPECT_EQ(s.file, kSystem + "\\cmd.exe") << "never a cmd.exe of the current folder";
        EXPECT_EQ(s.directory, kSystem);
        EXPECT_EQ(s.show, win::kSwHide);
        EXPECT_EQ(s.mask, 0x140u);
    }
    // Each command's end is awaited, within a bound, instead of fixed waits.
    EXPECT_EQ(process->waits, std::vector<uint32_t>(4, kPowercfgTimeoutMs));
    EXPECT_EQ(process->closed, 4);
    EXPECT_TRUE(sys.clock.Waits().empty());
    EXPECT_TRUE(sys.box.Texts().empty());

    process->starts.clear();
    ASSERT_EQ(ChangePowerPlanUsbSelectiveSuspend(1, 1), 1);
    EXPECT_EQ(Suspend(true), 1u);
    EXPECT_EQ(Suspend(false), 1u);
    EXPECT_EQ(Parameters()[1], "/c POWERCFG -SetAcValueIndex " + kBalanced + kSetting + " 001");
}

TEST_F(PowerTest, WithoutAProcessToWaitForTheFixedWaitsPaceTheCommands) {
    sys.WriteIniWithLog("");
    Bench("os 6.2.9200\n");
    // The shell gives no process for the settings: their starts are on their own.
    process->swallow = "VALUEINDEX";
    ASSERT_EQ(ChangePowerPlanUsbSelectiveSuspend(0, 1), 1);
    EXPECT_EQ(sys.clock.Waits(), (std::vector<uint32_t>{300, 300}));
    process->swallow = "POWERCFG";
    sys.clock.ClearWaits();
    sys.WriteFile("drive_c/a.out", "Power Scheme GUID: " + kBalanced + "  (Balanced)\r\n");
    ASSERT_EQ(ChangePowerPlanUsbSelectiveSuspend(0, 1), 0) << "a stale answer never chooses the scheme";
    EXPECT_EQ(sys.clock.Waits(), (std::vector<uint32_t>{300, 300, 300, 300}));
}

TEST_F(PowerTest, AnAnswerThatNeverAppearsIsTriedFourTimes) {
    sys.WriteIniWithLog("");
    Bench("os 6.2.9200\n");
    process->erase = "GETACTIVESCHEME";
    EXPECT_EQ(ChangePowerPlanUsbSelectiveSuspend(0, 0), 0);
    EXPECT_EQ(sys.clock.Waits(), (std::vector<uint32_t>{300, 300, 300}));
    const std::string log = sys.debug.All();
    size_t at = 0;
    for (int retry = 1; retry <= 3; ++retry) {
        at = log.find("re-try read power plan file (" + std::to_string(retry) + ")\n\r\n", at);
        EXPECT_NE(at, std::string::npos) << retry;
    }
    EXPECT_TRUE(sys.debug.Contains("Open power plan file ERROR!\n\r\n"));
    ASSERT_EQ(sys.box.Boxes().size(), 1u);
    EXPECT_EQ(sys.box.Boxes()[0].text, "Open power plan file ERROR!");
    EXPECT_EQ(sys.box.Boxes()[0].caption, "Quillon");
    EXPECT_EQ(sys.box.Boxes()[0].style, win::kMbSystemModal | win::kMbIconError);
    EXPECT_EQ(Parameters().size(), 1u);

    sys.box.Clear();
    EXPECT_EQ(ChangePowerPlanUsbSelectiveSuspend(0, 1), 0);
    EXPECT_TRUE(sys.box.Texts().empty()) << "silent";
}

TEST_F(PowerTest, AnAnswerWithoutAGuidChangesNothing) {
    sys.WriteIniWithLog("");
    const char* benches[] = {
        "fault powercfg GETACTIVESCHEME\n",             // POWERCFG's own error text
        "power scheme 381b4222-f694-41f0-9685-ff5bb2&calcx\n",  // not a GUID
    };
    for (const char* b : benches) {
        Bench(std::string("os 6.2.9200\n") + b);
        sys.box.Clear();
        EXPECT_EQ(ChangePowerPlanUsbSelectiveSuspend(0, 0), 0) << b;
        EXPECT_EQ(sys.box.Texts(), std::vector<std::string>{"Power plan file format ERROR!"}) << b;
        EXPECT_EQ(Parameters().size(), 1u) << "no setting command after a bad answer";
        EXPECT_EQ(sys.pc().SchemeActivations(), 0);
    }
    EXPECT_EQ(Suspend(true), 1u);
}

TEST_F(PowerTest, EveryCommandThatFailsNamesItsStep) {
    sys.WriteIniWithLog("");
    struct Case {
        const char* fault;
        const char* error;
        size_t starts;
    } cases[] = {
        {"fault start cmd.exe contains GETACTIVESCHEME", "Powercfg GETACTIVESCHEME ERROR!", 1},
        {"fault start cmd.exe contains SetAcValueIndex", "Powercfg SetAcValueIndex ERROR!", 2},
        {"fault start cmd.exe contains SETDCVALUEINDEX error 5", "Powercfg SetDcValueIndex ERROR!", 3},
        {"fault start cmd.exe contains SETACTIVE", "Powercfg SetActive ERROR!", 4},
        // POWERCFG itself refuses: the command ran, and ended with an error.
        {"fault powercfg SETACVALUEINDEX", "Powercfg SetAcValueIndex ERROR!", 2},
        {"fault powercfg SETACTIVE", "Powercfg SetActive ERROR!", 4},
    };
    for (const Case& c : cases) {
        Bench(std::string("os 6.2.9200\n") + c.fault + "\n");
        sys.box.Clear();
        sys.debug.Clear();
        EXPECT_EQ(ChangePowerPlanUsbSelectiveSuspend(0, 0), 0) << c.fault;
        EXPECT_EQ(sys.box.Texts(), std::vector<std::string>{c.error}) << c.fault;
        EXPECT_TRUE(sys.debug.Contains(std::string(c.error) + "\n\r\n")) << c.fault;
        EXPECT_EQ(Parameters().size(), c.starts) << c.fault;
        EXPECT_EQ(sys.pc().SchemeActivations(), 0);
    }
}

TEST_F(PowerTest, AHungCommandFailsInsteadOfHanging) {
    sys.WriteIniWithLog("");
    Bench("os 6.2.9200\n");
    process->hang = "SETACTIVE";
    EXPECT_EQ(ChangePowerPlanUsbSelectiveSuspend(0, 1), 0);
    EXPECT_EQ(sys.clock.TotalWaited(), kPowercfgTimeoutMs);
    EXPECT_TRUE(sys.debug.Contains("Powercfg SetActive ERROR!\n"));
    EXPECT_TRUE(sys.debug.Contains("did not end within 60000 ms"));
    EXPECT_EQ(process->closed, 4) << "every process handle is closed";
}

TEST_F(PowerTest, AStaleAnswerThatCannotBeRemovedStopsTheChange) {
    sys.WriteIniWithLog("");
    Bench("os 6.2.9200\n");
    // A folder in the place of the answer file: it cannot be deleted.
    sys.WriteFile("drive_c/a.out/keep", "x");
    EXPECT_EQ(ChangePowerPlanUsbSelectiveSuspend(0, 1), 0);
    EXPECT_TRUE(sys.debug.Contains("Powercfg GETACTIVESCHEME ERROR!\n"));
    EXPECT_TRUE(Parameters().empty());
}

TEST_F(PowerTest, SuspendHelperStartsFromTheProgramFolderInTheSystemFolderOnWindowsSixOnly) {
    sys.WriteIniWithLog("");
    struct Case {
        const char* os;
        int value;
        bool started;
        const char* parameter;
    } cases[] = {
        {"os 5.1.2600 sp 3", 0, false, ""}, {"os 6.1.7601 sp 1", 0, true, "0"}, {"os 6.2.9200", 1, true, "1"},
        {"os 6.3.9600", 257, true, "1"},    {"os 10.0.19045", 0, false, ""},
    };
    for (const Case& c : cases) {
        Bench(std::string(c.os) + "\n");
        EXPECT_EQ(LaunchSuspendHelper(c.value, sys.ProgramFolder()), 1) << c.os;
        ASSERT_EQ(process->starts.size(), c.started ? 1u : 0u) << c.os;
        if (!c.started) continue;
        const tessaro::ShellStart& s = process->starts[0];
        EXPECT_EQ(s.file, sys.ProgramFolder() + "pwrsusp.exe");
        EXPECT_EQ(s.parameters, c.parameter);
        EXPECT_EQ(s.directory, kSystem) << "nothing of the program folder is found by a bare name";
        EXPECT_EQ(s.show, win::kSwHide);
        EXPECT_EQ(s.mask, 0x140u);
        EXPECT_TRUE(process->waits.empty()) << "nobody waits for the helper";
        EXPECT_EQ(Suspend(true), c.value & 1u);
    }
    Bench("os 6.1.7601 sp 1\nfault start pwrsusp.exe\n");
    EXPECT_EQ(LaunchSuspendHelper(0, sys.ProgramFolder()), 0);
}

}  // namespace
