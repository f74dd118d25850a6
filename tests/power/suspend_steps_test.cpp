// Switching selective suspend off before the hubs are touched and back on at
// the end, by the way the INI file and Windows choose, on the bench.
#include <gtest/gtest.h>

#include "power/SuspendSteps.h"
#include "tests/power/power_fixture.h"

using powertest::PowerTest;
namespace win = tessaro::win;

namespace {

const std::string kEnum = "HKEY_LOCAL_MACHINE\\SYSTEM\\CurrentControlSet\\Enum\\USB\\VID_2C7E&PID_0B40\\";

std::string Hub(const std::string& name, const std::string& instance, int stored, const std::string& bcd) {
    return "hub " + name + "\n  store eeprom 256\n  bcd-device " + bcd +
           "\n  function vid 0x2C7E pid 0x0B40 instance " + instance + "\n  enum USB\\VID_2C7E&PID_0B40" +
           (stored >= 0 ? " selective-suspend " + std::to_string(stored) : std::string()) + "\nend\n";
}

class SuspendStepsTest : public PowerTest {
protected:
    unsigned Open(CHubIsp& isp) {
        unsigned n = 0;
        EXPECT_EQ(isp.OpenDevice(), 1) << isp.m_lasterror;
        EXPECT_EQ(isp.GetHubNumber(&n), 1);
        isp.CloseDevice();
        return n;
    }
    uint32_t Stored(const std::string& instance) {
        uint32_t v = 99;
        EXPECT_TRUE(sys.pc().Registry().GetDword(kEnum + instance + "\\Device Parameters", "EnableSelectiveSuspend", v));
        return v;
    }
    int Restarts() {
        int n = 0;
        for (const std::string& e : sys.pc().Events()) n += e.rfind("disabled ", 0) == 0;
        return n;
    }
};

TEST_F(SuspendStepsTest, TheWayFollowsTheSettingAndWindowsAndTheRestoreUndoesIt) {
    struct Case {
        const char* ini;  // the [VX7100] lines
        const char* os;
        SuspendMethod way;
    } cases[] = {
        {"", "6.1.7601 sp 1", SuspendMethod::PerDevice},
        {"", "6.2.9200", SuspendMethod::PowerPlan},
        {"DisableSelectiveSuspend=\n", "6.2.9200", SuspendMethod::PowerPlan},
        {"DisableSelectiveSuspend=1\n", "6.1.7601 sp 1", SuspendMethod::PerDevice},
        {"DisableSelectiveSuspend=1\n", "6.3.9600", SuspendMethod::PowerPlan},
        {"DisableSelectiveSuspend=2\n", "6.1.7601 sp 1", SuspendMethod::PerDevice},
        {"DisableSelectiveSuspend=2\n", "6.2.9200", SuspendMethod::PerDevice},
        {"DisableSelectiveSuspend=3\n", "6.1.7601 sp 1", SuspendMethod::PowerPlan},
        {"DisableSelectiveSuspend=3\n", "6.2.9200", SuspendMethod::PowerPlan},
        {"DisableSelectiveSuspend=0\n", "6.1.7601 sp 1", SuspendMethod::None},
        {"DisableSelectiveSuspend=0\n", "6.2.9200", SuspendMethod::None},
        {"DisableSelectiveSuspend=off\n", "6.2.9200", SuspendMethod::None},
    };
    for (const Case& c : cases) {
        const std::string what = std::string(c.ini) + c.os;
        sys.WriteIni(std::string("[VX7100]\n") + c.ini);
        Bench(std::string("os ") + c.os + "\n" + Hub("Main", "7&a&0&1", 1, "0x9223"));
        CHubIsp isp;
        isp.m_quiet = 1;
        const unsigned hubs = Open(isp);
        SuspendBookkeeping book;
        std::string failure;
        sys.clock.ClearWaits();
        ASSERT_EQ(SwitchSelectiveSuspendOff(isp, hubs, book, failure), 1) << what << failure;
        EXPECT_EQ(book.method, c.way) << what;
        const bool plan = c.way == SuspendMethod::PowerPlan, device = c.way == SuspendMethod::PerDevice;
        EXPECT_EQ(Suspend(true), plan ? 0u : 1u) << what;
        EXPECT_EQ(Suspend(false), plan ? 0u : 1u) << what;
        EXPECT_EQ(Stored("7&a&0&1"), device ? 0u : 1u) << what;
        EXPECT_EQ(Restarts(), device ? 1 : 0) << what;
        const std::vector<uint32_t> waits = plan ? std::vector<uint32_t>{1500}
                                            : device ? std::vector<uint32_t>{3000, 500}
                                                     : std::vector<uint32_t>();
        EXPECT_EQ(sys.clock.Waits(), waits) << what;
        EXPECT_EQ(book.Changed(), c.way != SuspendMethod::None) << what;

        EXPECT_EQ(RestoreSelectiveSuspend(isp, book), 1) << what;
        EXPECT_EQ(Suspend(true), 1u) << what;
        EXPECT_EQ(Stored("7&a&0&1"), 1u) << what;
        EXPECT_EQ(Restarts(), device ? 2 : 0) << what;
        EXPECT_FALSE(book.Changed()) << what;
        EXPECT_EQ(process->starts.size(), plan ? 8u : 0u) << what;
    }
}

TEST_F(SuspendStepsTest, AHubAlreadySwitchedOffByItsOwnerStaysOff) {
    sys.WriteIniWithLog("DisableSelectiveSuspend=2\n");
    Bench(Hub("A", "7&a&0&1", 1, "0x9223") + Hub("B", "7&b&0&2", 0, "0x9224"));
    CHubIsp isp;
    SuspendBookkeeping book;
    std::string failure;
    ASSERT_EQ(SwitchSelectiveSuspendOff(isp, Open(isp), book, failure), 1) << failure;
    EXPECT_EQ(book.hubChanged[0], 1);
    EXPECT_EQ(book.hubChanged[1], 0);
    EXPECT_EQ(Restarts(), 1);
    EXPECT_EQ(book.paths[1].size(), 6u);
    ASSERT_EQ(RestoreSelectiveSuspend(isp, book), 1);
    EXPECT_EQ(Stored("7&a&0&1"), 1u);
    EXPECT_EQ(Stored("7&b&0&2"), 0u);
}

TEST_F(SuspendStepsTest, SwitchOffFailuresGiveTheCallersTexts) {
    struct Case {
        const char* ini;
        const char* bench;
        int quiet;
        const char* failure;
        size_t boxes;
    } cases[] = {
        {"DisableSelectiveSuspend=3\n", "fault start cmd.exe\n", 0, kSuspendOffFailed, 1},
        {"DisableSelectiveSuspend=3\n", "fault start cmd.exe\n", 1, kSuspendOffFailed, 0},
        {"DisableSelectiveSuspend=2\n", "fault ioctl GET_INSTANCE_ID\n", 1, kInstanceIdFailed, 0},
        {"DisableSelectiveSuspend=2\n", "registry fail VID_2C7E&PID_0B40\\7&a\n", 1, kDeactivateFailed, 0},
    };
    for (const Case& c : cases) {
        sys.WriteIni(std::string("[VX7100]\n") + c.ini);
        Bench(Hub("Main", "7&a&0&1", 1, "0x9223") + c.bench);
        sys.box.Clear();
        CHubIsp isp;
        const unsigned hubs = Open(isp);
        isp.m_quiet = c.quiet;
        SuspendBookkeeping book;
        std::string failure;
        sys.clock.ClearWaits();
        EXPECT_EQ(SwitchSelectiveSuspendOff(isp, hubs, book, failure), 0) << c.bench;
        EXPECT_EQ(failure, c.failure) << c.bench;
        EXPECT_EQ(sys.box.Texts().size(), c.boxes) << c.bench;
        EXPECT_FALSE(book.Changed());
        for (uint32_t w : sys.clock.Waits()) EXPECT_NE(w, 1500u) << "no settling after a failure";
    }
}

TEST_F(SuspendStepsTest, ConsoleIdentifiesEachHubRightAfterItsSwitch) {
    sys.WriteIni("[VX7100]\nDisableSelectiveSuspend=2\n");
    Bench(Hub("A", "7&a&0&1", 1, "0x9223") + Hub("B", "7&b&0&2", 1, "0x9224"));
    CHubIsp isp;
    isp.m_quiet = 1;
    const unsigned hubs = Open(isp);
    std::vector<std::string> order;
    SwitchOffOptions options;
    options.status = [&](const std::string& text) { order.push_back("status " + text); };
    options.afterHub = [&](int hub, std::string& failure) {
        order.push_back("identify " + std::to_string(hub) + " after " + std::to_string(Restarts()) + " restarts");
        if (hub == 1) {
            failure = "Undetermined Hub2 type!";
            return 0;
        }
        return 1;
    };
    SuspendBookkeeping book;
    std::string failure;
    EXPECT_EQ(SwitchSelectiveSuspendOff(isp, hubs, book, failure, options), 0);
    EXPECT_EQ(failure, "Undetermined Hub2 type!");
    EXPECT_EQ(order, (std::vector<std::string>{"status Start pre-processing...", "identify 0 after 1 restarts",
                                               "identify 1 after 2 restarts"}));
    EXPECT_EQ(sys.clock.Waits(), (std::vector<uint32_t>{3000, 500, 3000, 500}));
}

TEST_F(SuspendStepsTest, UpdateDialogReadsEveryHubButSwitchesTheFirst) {
    sys.WriteIni("[VX7100]\nDisableSelectiveSuspend=2\n");
    Bench(Hub("A", "7&a&0&1", 1, "0x9223") + Hub("B", "7&b&0&2", 1, "0x9224"));
    CHubIsp isp;
    const unsigned hubs = Open(isp);
    SwitchOffOptions options;
    options.firstHubOnly = true;
    options.perHubWaitMs = 0;  // the dialog waits on its own afterwards
    options.perDeviceStatus = "Deactivating selective suspend, please wait...";
    std::vector<std::string> status;
    options.status = [&](const std::string& text) { status.push_back(text); };
    SuspendBookkeeping book;
    std::string failure;
    sys.clock.ClearWaits();
    ASSERT_EQ(SwitchSelectiveSuspendOff(isp, hubs, book, failure, options), 1) << failure;
    EXPECT_EQ(status, std::vector<std::string>{"Deactivating selective suspend, please wait..."});
    EXPECT_EQ(book.paths[1].size(), 6u);
    EXPECT_EQ(Stored("7&a&0&1"), 0u);
    EXPECT_EQ(Stored("7&b&0&2"), 1u);
    EXPECT_EQ(sys.clock.Waits(), std::vector<uint32_t>{3000});
}

TEST_F(SuspendStepsTest, RestoreGoesOnPastAFailingHubAndReportsIt) {
    sys.WriteIniWithLog("DisableSelectiveSuspend=2\n");
    Bench(Hub("A", "7&a&0&1", 1, "0x9223") + Hub("B", "7&b&0&2", 1, "0x9224"));
    CHubIsp isp;
    SuspendBookkeeping book;
    std::string failure;
    ASSERT_EQ(SwitchSelectiveSuspendOff(isp, Open(isp), book, failure), 1) << failure;
    sys.pc().Registry().FailAccess("PID_0B40\\7&a&0&1", win::kErrAccessDenied);
    std::vector<std::string> reported;
    RestoreOptions options;
    options.perDeviceFailure = [&](int hub, const std::string& text) {
        reported.push_back(std::to_string(hub) + " " + text);
    };
    EXPECT_EQ(RestoreSelectiveSuspend(isp, book, options), 0);
    EXPECT_EQ(reported, std::vector<std::string>{"0 Activate selective suspend failed!"});
    EXPECT_EQ(Stored("7&b&0&2"), 1u);
    EXPECT_EQ(book.hubChanged[0], 1) << "still owed";
    EXPECT_EQ(book.hubChanged[1], 0);
}

TEST_F(SuspendStepsTest, PowerPlanRestoreIsSilentAndLogsTheCallersLine) {
    sys.WriteIniWithLog("DisableSelectiveSuspend=3\n");
    Bench("fault start cmd.exe contains SETACTIVE\n");
    CHubIsp isp;
    SuspendBookkeeping book;
    RestoreOptions options;
    options.powerPlanDiagnostic = "ChangePowerPlanUsbSelectiveSuspend ERROR\n";
    EXPECT_EQ(RestoreSelectiveSuspend(isp, book, options), 0);
    EXPECT_TRUE(sys.box.Texts().empty());
    EXPECT_TRUE(sys.debug.Contains("ChangePowerPlanUsbSelectiveSuspend ERROR\n\r\n"));
}

TEST_F(SuspendStepsTest, TheRestoreReadsTheWayAgain) {
    sys.WriteIni("[VX7100]\nDisableSelectiveSuspend=2\n");
    Bench(Hub("Main", "7&a&0&1", 1, "0x9223"));
    CHubIsp isp;
    SuspendBookkeeping book;
    std::string failure;
    ASSERT_EQ(SwitchSelectiveSuspendOff(isp, Open(isp), book, failure), 1);
    sys.WriteIni("[VX7100]\nDisableSelectiveSuspend=0\n");
    EXPECT_EQ(RestoreSelectiveSuspend(isp, book), 1);
    EXPECT_EQ(Stored("7&a&0&1"), 0u);
    EXPECT_TRUE(process->starts.empty());
}

}  // namespace
