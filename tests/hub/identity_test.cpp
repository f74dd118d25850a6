// The hub's instance ID and registry paths, its EnableSelectiveSuspend value
// and its restart through the device manager, on the bench.
#include <gtest/gtest.h>

#include <algorithm>

#include "hub/CHubIsp.h"
#include "platform/winconst.h"
#include "support/bench_system.h"

using tessaro::test::BenchSystem;
namespace win = tessaro::win;

namespace {

const std::string kEnum = "HKEY_LOCAL_MACHINE\\SYSTEM\\CurrentControlSet\\Enum\\";
const std::string kInstance = "6&2b1c33d&0&4";

std::string Params(const std::string& enumerator) {
    return kEnum + enumerator + "\\" + kInstance + "\\Device Parameters";
}

// One hub, 2C7E:0B40 revision 9223, with the given enum lines.
std::string MainHub(const std::string& enums, const std::string& extra = "") {
    return "hub Main\n  store eeprom 256\n  bcd-device 0x9223\n  function vid 0x2C7E pid 0x0B40 instance " +
           kInstance + extra + "\n" + enums + "end\n";
}

// The registry of the bench, whose value writes can be made to fail.
class WriteFailingRegistry : public tessaro::IRegistry {
public:
    explicit WriteFailingRegistry(tessaro::IRegistry& inner) : m_inner(inner) {}
    long Open(Key p, const std::string& s, uint32_t a, Key* o) override { return m_inner.Open(p, s, a, o); }
    long Create(Key p, const std::string& s, uint32_t a, Key* o, uint32_t* d) override {
        return m_inner.Create(p, s, a, o, d);
    }
    long QueryValue(Key k, const std::string& n, uint32_t* t, uint8_t* d, uint32_t* s) override {
        return m_inner.QueryValue(k, n, t, d, s);
    }
    long SetValue(Key k, const std::string& n, uint32_t t, const uint8_t* d, uint32_t s) override {
        if (writeError) return writeError;
        return m_inner.SetValue(k, n, t, d, s);
    }
    long QueryInfo(Key k, uint32_t* n) override { return m_inner.QueryInfo(k, n); }
    long EnumKey(Key k, uint32_t i, char* n, uint32_t* s) override { return m_inner.EnumKey(k, i, n, s); }
    long Close(Key k) override { return m_inner.Close(k); }
    long writeError = 0;

private:
    tessaro::IRegistry& m_inner;
};

// The bench's device list, whose state changes can be made to fail.
class StateFailingDevices : public tessaro::IDeviceList {
public:
    explicit StateFailingDevices(tessaro::IDeviceList& inner) : m_inner(inner) {}
    List Open(const std::string& c, bool p) override { return m_inner.Open(c, p); }
    bool Enum(List l, uint32_t i) override { return m_inner.Enum(l, i); }
    bool HardwareId(List l, uint32_t i, std::string& id, uint32_t m) override {
        return m_inner.HardwareId(l, i, id, m);
    }
    bool SetInstallParams(List l, uint32_t i, bool enable) override {
        if (failParams) {
            tessaro::SetLastError(win::kErrAccessDenied);
            return false;
        }
        m_enable = enable;
        return m_inner.SetInstallParams(l, i, enable);
    }
    bool ChangeState(List l, uint32_t i) override {
        if ((m_enable && failEnable) || (!m_enable && failDisable)) {
            tessaro::SetLastError(win::kErrNotSupported);
            return false;
        }
        return m_inner.ChangeState(l, i);
    }
    void Close(List l) override { m_inner.Close(l); }
    bool failParams = false, failEnable = false, failDisable = false;

private:
    tessaro::IDeviceList& m_inner;
    bool m_enable = false;
};

class IdentityTest : public ::testing::Test {
protected:
    unsigned Hubs() {
        CHubIsp probe;
        probe.m_quiet = 1;
        unsigned n = 0;
        if (!probe.OpenDevice()) return 0;
        probe.GetHubNumber(&n);
        probe.CloseDevice();
        return n;
    }
    std::vector<std::string> StateEvents() {
        std::vector<std::string> out;
        for (const std::string& e : sys.pc().Events())
            if (e.rfind("disabled ", 0) == 0 || e.rfind("enabled ", 0) == 0) out.push_back(e);
        return out;
    }
    uint32_t Stored(const std::string& enumerator) {
        uint32_t v = 99;
        EXPECT_TRUE(sys.pc().Registry().GetDword(Params(enumerator), "EnableSelectiveSuspend", v));
        return v;
    }
    // Paths read through the engine, as every caller does first.
    std::vector<std::string> PathsOf(CHubIsp& isp, int hub = 0) {
        std::vector<std::string> paths;
        EXPECT_EQ(isp.GetHubRegistryPaths(hub, &paths), 1) << isp.m_lasterror;
        return paths;
    }
    BenchSystem sys;
};

TEST_F(IdentityTest, RegistryPathsNameEveryEnumeratorInOrderAndRefreshTheRecord) {
    sys.WriteIniWithLog("");
    sys.Bench(MainHub(""));
    CHubIsp isp;
    std::vector<std::string> paths{"left over"};
    ASSERT_EQ(isp.GetHubRegistryPaths(0, &paths), 1);
    const std::string tail = "\\" + kInstance + "\\Device Parameters";
    const std::vector<std::string> expected = {
        "SYSTEM\\CurrentControlSet\\Enum\\USB\\VID_2C7E&PID_0B40" + tail,
        "SYSTEM\\CurrentControlSet\\Enum\\USB\\VID_2C7E&PID_0B40&ASMEDIAUSBD_Hub" + tail,
        "SYSTEM\\CurrentControlSet\\Enum\\USB\\VID_2C7E&PID_0B40&TIUSBD_Hub" + tail,
        "SYSTEM\\CurrentControlSet\\Enum\\VUSB\\VID_2C7E&PID_0B40" + tail,
        "SYSTEM\\CurrentControlSet\\Enum\\ENUSB3\\Vid_2C7E&Pid_0B40" + tail,
        "SYSTEM\\CurrentControlSet\\Enum\\FLUSB\\Vid_2C7E&Pid_0B40" + tail,
    };
    EXPECT_EQ(paths, expected);
    EXPECT_EQ(+isp.HubRecordCopy(0).idVendor, 0x2C7E);
    EXPECT_EQ(+isp.HubRecordCopy(0).bcdDevice, 0x9223);
    EXPECT_TRUE(sys.debug.Contains("Get Instance ID: " + kInstance + "\r\n"));
    // The session is the operation's own.
    int opens = 0, closes = 0;
    for (const bench::LogEntry& e : sys.pc().Log()) {
        opens += e.kind == bench::LogEntry::Kind::Open && e.ok;
        closes += e.kind == bench::LogEntry::Kind::Close;
    }
    EXPECT_EQ(opens, closes);
}

TEST_F(IdentityTest, RegistryPathFailuresLeaveTheListAndCloseTheSession) {
    sys.WriteIniWithLog("");
    struct Case {
        const char* bench;
        int hub;
        int quiet;
        const char* error;
        size_t boxes;
    } cases[] = {
        {"driver missing\n", 0, 0, "Open Device ERROR!", 1},
        {"driver missing\n", 0, 1, "Open Device ERROR!", 0},
        {"", 1, 1, "Hub index ERROR!", 0},
        {"", 8, 0, "Hub index ERROR!", 1},
        {"fault ioctl GET_INSTANCE_ID error 31\n", 0, 0, "Send VX_IOCTL_GET_INSTANCE_ID ERROR! 31", 0},
    };
    for (const Case& c : cases) {
        sys.Bench(MainHub("") + c.bench);
        sys.box.Clear();
        CHubIsp isp;
        isp.m_quiet = c.quiet;
        std::vector<std::string> paths{"kept"};
        EXPECT_EQ(isp.GetHubRegistryPaths(c.hub, &paths), 0) << c.bench << c.hub;
        EXPECT_EQ(isp.m_lasterror, c.error);
        EXPECT_EQ(paths, std::vector<std::string>{"kept"});
        const std::vector<std::string> boxes = sys.box.Texts();
        if (c.boxes == 0) {
            EXPECT_TRUE(boxes.empty()) << boxes.size();
        } else {
            ASSERT_FALSE(boxes.empty());
            EXPECT_EQ(boxes.back(), c.error);
        }
        int opens = 0, closes = 0;
        for (const bench::LogEntry& e : sys.pc().Log()) {
            opens += e.kind == bench::LogEntry::Kind::Open && e.ok;
            closes += e.kind == bench::LogEntry::Kind::Close;
        }
        EXPECT_EQ(opens, closes) << c.bench;
    }
}

TEST_F(IdentityTest, TheFirstPathThatOpensIsUsedAndTheHubRestarted) {
    sys.WriteIniWithLog("");
    sys.Bench(MainHub("  enum USB\\VID_2C7E&PID_0B40 selective-suspend 1\n"
                      "  enum USB\\VID_2C7E&PID_0B40&TIUSBD_Hub selective-suspend 1\n"));
    CHubIsp isp;
    std::vector<std::string> paths = PathsOf(isp);
    sys.debug.Clear();
    sys.clock.ClearWaits();
    ASSERT_EQ(isp.SetSelectiveSuspend(0, &paths, 0), 1) << isp.m_lasterror;
    EXPECT_EQ(Stored("USB\\VID_2C7E&PID_0B40"), 0u);
    EXPECT_EQ(Stored("USB\\VID_2C7E&PID_0B40&TIUSBD_Hub"), 1u) << "later paths are never tried";
    EXPECT_FALSE(sys.debug.Contains("RegOpenKeyEx ERROR!"));
    EXPECT_TRUE(sys.debug.Contains("RegOpenKeyEx OK!\n" + paths[0] + "\r\n"));
    EXPECT_EQ(StateEvents(), (std::vector<std::string>{"disabled Main USB\\VID_2C7E&PID_0B40&REV_9223",
                                                        "enabled Main USB\\VID_2C7E&PID_0B40&REV_9223"}));
    EXPECT_EQ(sys.clock.Waits(), std::vector<uint32_t>{3000});
    EXPECT_EQ(Hubs(), 1u) << "the hub is back in the driver's list";
}

TEST_F(IdentityTest, AKeyOnlyUnderALaterEnumeratorIsFound) {
    sys.WriteIniWithLog("");
    sys.Bench(MainHub("  enum USB\\VID_2C7E&PID_0B40&ASMEDIAUSBD_Hub selective-suspend 1\n"));
    CHubIsp isp;
    std::vector<std::string> paths = PathsOf(isp);
    ASSERT_EQ(isp.SetSelectiveSuspend(0, &paths, 0), 1) << isp.m_lasterror;
    EXPECT_TRUE(sys.debug.Contains("RegOpenKeyEx ERROR! 2!\n" + paths[0] + "\r\n"));
    EXPECT_TRUE(sys.debug.Contains("RegOpenKeyEx OK!\n" + paths[1] + "\r\n"));
    EXPECT_FALSE(sys.debug.Contains(paths[2]));
    EXPECT_EQ(Stored("USB\\VID_2C7E&PID_0B40&ASMEDIAUSBD_Hub"), 0u);
}

TEST_F(IdentityTest, StoredAndRequestedValuesDecideTheRestart) {
    sys.WriteIniWithLog("");
    struct Case {
        const char* stored;  // selective-suspend field of the enum line ("" no value)
        uint32_t value;
        bool restarted;
        uint32_t after;
    } cases[] = {
        {" selective-suspend 0", 0, false, 0},
        {" selective-suspend 1", 0, true, 0},
        {" selective-suspend 0", 1, true, 1},
        {"", 0, true, 0},
    };
    for (const Case& c : cases) {
        sys.Bench(MainHub(std::string("  enum USB\\VID_2C7E&PID_0B40") + c.stored + "\n"));
        sys.debug.Clear();
        CHubIsp isp;
        std::vector<std::string> paths = PathsOf(isp);
        sys.clock.ClearWaits();
        ASSERT_EQ(isp.SetSelectiveSuspend(0, &paths, c.value), 1) << c.stored << " " << isp.m_lasterror;
        EXPECT_EQ(sys.debug.Contains("already disable SS, exit\n\r\n"), !c.restarted) << c.stored;
        EXPECT_EQ(StateEvents().size(), c.restarted ? 2u : 0u) << c.stored << c.value;
        EXPECT_EQ(sys.clock.TotalWaited(), c.restarted ? 3000u : 0u);
        EXPECT_EQ(Stored("USB\\VID_2C7E&PID_0B40"), c.after);
        EXPECT_EQ(sys.debug.Contains("RegGetValue fail for EnableSelectiveSuspend"), std::string(c.stored).empty());
    }
}

TEST_F(IdentityTest, NoPathOrNoKeyIsARegistryError) {
    sys.Bench(MainHub(""));
    CHubIsp isp;
    std::vector<std::string> none;
    EXPECT_EQ(isp.SetSelectiveSuspend(0, &none, 0), 0);
    EXPECT_EQ(isp.m_lasterror.rfind("RegOpenKeyEx ERROR! ", 0), 0u);
    EXPECT_EQ(isp.SetSelectiveSuspend(0, nullptr, 0), 0);

    std::vector<std::string> paths = PathsOf(isp);
    EXPECT_EQ(isp.SetSelectiveSuspend(0, &paths, 0), 0);
    EXPECT_EQ(isp.m_lasterror, "RegOpenKeyEx ERROR! 2\n") << "the code the registry gave";
    EXPECT_TRUE(StateEvents().empty());

    sys.pc().Registry().FailAccess("PID_0B40\\" + kInstance, win::kErrAccessDenied);
    sys.pc().Registry().CreatePath(Params("USB\\VID_2C7E&PID_0B40"));
    EXPECT_EQ(isp.SetSelectiveSuspend(0, &paths, 0), 0);
    EXPECT_EQ(isp.m_lasterror, "RegOpenKeyEx ERROR! 2\n") << "the last path's code";
}

TEST_F(IdentityTest, AFailedWriteBringsTheHubBack) {
    sys.WriteIniWithLog("");
    sys.Bench(MainHub("  enum USB\\VID_2C7E&PID_0B40 selective-suspend 1\n"));
    WriteFailingRegistry registry(sys.pc().Registry());
    registry.writeError = win::kErrAccessDenied;
    tessaro::System ports;
    ports.registry = &registry;
    sys.Install(ports);
    CHubIsp isp;
    std::vector<std::string> paths = PathsOf(isp);
    EXPECT_EQ(isp.SetSelectiveSuspend(0, &paths, 0), 0);
    EXPECT_EQ(isp.m_lasterror, "Set EnableSelectiveSuspend ERROR! 5");
    EXPECT_TRUE(sys.debug.Contains("Set Capabilities ERROR! 5\n"));
    EXPECT_EQ(Stored("USB\\VID_2C7E&PID_0B40"), 1u);
    EXPECT_EQ(StateEvents(), (std::vector<std::string>{"disabled Main USB\\VID_2C7E&PID_0B40&REV_9223",
                                                        "enabled Main USB\\VID_2C7E&PID_0B40&REV_9223"}));
    EXPECT_TRUE(sys.Device("Main").Enabled(0));
    EXPECT_EQ(Hubs(), 1u);
}

TEST_F(IdentityTest, DisableAndEnableFailuresAreReported) {
    sys.WriteIniWithLog("");
    sys.Bench(MainHub("  enum USB\\VID_2C7E&PID_0B40 selective-suspend 1\n"));
    // No identity read yet: the record copy has no VID, nothing can be matched.
    {
        CHubIsp fresh;
        std::vector<std::string> paths = {Params("USB\\VID_2C7E&PID_0B40").substr(19)};
        EXPECT_EQ(fresh.EnableHub(0, 0), 0);
        EXPECT_EQ(fresh.SetSelectiveSuspend(0, &paths, 0), 0);
        EXPECT_EQ(fresh.m_lasterror.rfind("Disable Hub ERROR! ", 0), 0u) << fresh.m_lasterror;
        EXPECT_EQ(Stored("USB\\VID_2C7E&PID_0B40"), 1u) << "nothing written without the restart";
    }
    StateFailingDevices devices(*sys.pc().Ports().devices);
    tessaro::System ports;
    ports.devices = &devices;
    sys.Install(ports);
    CHubIsp isp;
    std::vector<std::string> paths = PathsOf(isp);
    devices.failEnable = true;
    EXPECT_EQ(isp.SetSelectiveSuspend(0, &paths, 0), 0);
    EXPECT_EQ(isp.m_lasterror, "Enable Hub ERROR! 50\n");
    EXPECT_TRUE(sys.debug.Contains("Enable Hub ERROR! 50\r\n"));
}

TEST_F(IdentityTest, EveryMatchingDeviceIsSwitchedAndComesBack) {
    // Two hubs that Windows shows with the same hardware ID, one behind an
    // ASMedia controller, one whose ID Windows gives in lower case, and a hub
    // of another revision that must stay as it is.
    sys.Bench(MainHub("") +
              "hub Twin\n  store eeprom 256\n  bcd-device 0x9223\n"
              "  function vid 0x2C7E pid 0x0B40 hwid USB\\ASMEDIAUSBD_HUB&VID_2C7E&PID_0B40&REV_9223\nend\n"
              "hub Lower\n  store eeprom 256\n  bcd-device 0x9223\n"
              "  function vid 0x2C7E pid 0x0B40 hwid usb\\vid_2c7e&pid_0b40&rev_9223\nend\n"
              "hub Other\n  store eeprom 256\n  bcd-device 0x9224\n  function vid 0x2C7E pid 0x0B40\nend\n");
    CHubIsp isp;
    PathsOf(isp);
    ASSERT_EQ(Hubs(), 4u);
    ASSERT_EQ(isp.EnableHub(0, 0), 1);
    EXPECT_FALSE(sys.Device("Main").Enabled(0));
    EXPECT_FALSE(sys.Device("Twin").Enabled(0));
    EXPECT_FALSE(sys.Device("Lower").Enabled(0));
    EXPECT_TRUE(sys.Device("Other").Enabled(0));
    EXPECT_EQ(Hubs(), 1u) << "disabled hubs leave the driver's list";
    ASSERT_EQ(isp.EnableHub(0, 1), 1);
    EXPECT_EQ(Hubs(), 4u);
}

TEST_F(IdentityTest, AnUnreadableHardwareIdNeverBorrowsThePreviousOne) {
    // The matching hub comes first; the next device's ID cannot be read.
    sys.Bench(MainHub("") + "device Mouse\n  function type 0 vid 0x046D pid 0xC077 hwid-fails\nend\n");
    CHubIsp isp;
    PathsOf(isp);
    ASSERT_EQ(isp.EnableHub(0, 0), 1);
    EXPECT_FALSE(sys.Device("Main").Enabled(0));
    EXPECT_TRUE(sys.Device("Mouse").Enabled(0));
    EXPECT_EQ(StateEvents().size(), 1u);
}

TEST_F(IdentityTest, ADeviceCountsOnlyWhenItsStateReallyChanged) {
    sys.Bench(MainHub(""));
    StateFailingDevices devices(*sys.pc().Ports().devices);
    tessaro::System ports;
    ports.devices = &devices;
    sys.Install(ports);
    CHubIsp isp;
    PathsOf(isp);
    devices.failParams = true;
    EXPECT_EQ(isp.EnableHub(0, 0), 0);
    EXPECT_EQ(tessaro::LastError(), win::kErrAccessDenied);
    devices.failParams = false;
    devices.failDisable = true;
    EXPECT_EQ(isp.EnableHub(0, 0), 0);
    EXPECT_EQ(tessaro::LastError(), win::kErrNotSupported);
    EXPECT_TRUE(sys.Device("Main").Enabled(0));

    sys.Bench(MainHub("") + "fault devices error 13\n");
    CHubIsp other;
    PathsOf(other);
    EXPECT_EQ(other.EnableHub(0, 0), 0);
    EXPECT_EQ(other.EnableHub(8, 0), 0);
}

TEST_F(IdentityTest, AFailedEnableIsRetriedAndAHubLeftDisabledComesBackAtTheEnd) {
    // The device list is refused for the enables that follow the disable (the
    // first list of the change); the disable is kept per configuration, so a
    // hub left so would stay disabled across restarts.
    auto refused = [](int from, int to) {
        std::string faults;
        for (int n = from; n <= to; ++n) faults += "fault devices nth " + std::to_string(n) + "\n";
        return faults;
    };
    struct Case {
        std::string faults;
        int result;
        std::vector<uint32_t> waits;  // of the change itself
        bool leftDisabled;            // after the change
        const char* endLine;          // of the enable at the end of the run ("" none)
        bool enabledAtEnd;
    } cases[] = {
        {refused(2, 2), 1, {3000, 1000}, false, "", true},
        {refused(2, 5), 0, {3000, 1000, 1000, 1000}, true,
         "Hub VID_2C7E&PID_0B40&REV_9223 was left disabled and is enabled again.", true},
        {refused(2, 9), 0, {3000, 1000, 1000, 1000}, true,
         "Hub VID_2C7E&PID_0B40&REV_9223 is still disabled! Please enable it in the Device Manager.", false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.faults);
        sys.WriteIniWithLog("");
        sys.Bench(MainHub("  enum USB\\VID_2C7E&PID_0B40 selective-suspend 1\n") + c.faults);
        CHubIsp isp;
        isp.m_quiet = 1;
        std::vector<std::string> paths = PathsOf(isp);
        sys.clock.ClearWaits();
        EXPECT_EQ(isp.SetSelectiveSuspend(0, &paths, 0), c.result);
        EXPECT_EQ(sys.clock.Waits(), c.waits);
        EXPECT_EQ(Stored("USB\\VID_2C7E&PID_0B40"), 0u);
        EXPECT_EQ(isp.m_leftDisabled.size(), c.leftDisabled ? 1u : 0u);
        if (c.result == 0) {
            EXPECT_EQ(isp.m_lasterror, "Enable Hub ERROR! 13\n");
        }
        EXPECT_EQ(sys.Device("Main").Enabled(0), !c.leftDisabled);

        std::vector<std::string> report;
        EXPECT_EQ(isp.EnableLeftDisabled(&report), c.enabledAtEnd ? 1 : 0);
        EXPECT_EQ(report, std::string(c.endLine).empty() ? std::vector<std::string>{}
                                                          : std::vector<std::string>{c.endLine});
        if (!report.empty()) {
            EXPECT_TRUE(sys.debug.Contains(report[0]));
        }
        EXPECT_EQ(sys.Device("Main").Enabled(0), c.enabledAtEnd);
        EXPECT_EQ(Hubs(), c.enabledAtEnd ? 1u : 0u);
    }
}

}  // namespace
