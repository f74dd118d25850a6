// The main dialog on the in-memory backend over a simulated PC: detection,
// the INI switches, image and configuration loads, Do ISP with its worker and
// timer, the store tools, the selective-suspend switch-off and restore, and
// every way out of the dialog.
#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <thread>
#include <vector>

#include "files/FirmwareImage.h"
#include "power/PowerPlan.h"
#include "support/bench_system.h"
#include "ui/CIspDlg.h"
#include "ui/toolkit/executor.h"
#include "ui/toolkit/memory.h"
#include "ui/win32/resource.h"

using tessaro::test::BenchSystem;
using ui::MemoryDialog;

namespace {

const char kFlashRow[] = "[FlashInfo]\nW25=9F 03 EF 30 13 C7 40 01 00 00 00 00 00 00 00 00 00 00\n";
const char kFlashPart[] = "flash W25\n  size 64K\n  id 9F 1 EF 30 13\n  erase C7\n  erase-time 400\nend\n";
const char kMergeKey[] = "HKEY_LOCAL_MACHINE\\SOFTWARE\\Varnellogic\\VX7100";
const char kReady[] = "ISP Tool is ready.";
const char kSuccess[] = "Firmware update successfully!\nPlease re-plug the updated hub.";
const char kDetectFailed[] =
    "Detect VX710x hub failed!\n\nPlease make sure VX710x hub is plugged into the host and try to rerun ISP tool.";
const char kEnum[] = "HKEY_LOCAL_MACHINE\\SYSTEM\\CurrentControlSet\\Enum\\USB\\VID_2C7E&PID_0B40\\";

// A hub whose store holds version 0x1234 in its configuration block.
std::string SpiHub(const std::string& name, const std::string& marker = "VXI2240", const std::string& extra = "") {
    return "hub " + name + "\n  store spi W25\n  put 0x1D0 text \"" + marker + "\"\n  put 0x10E hex 34 12\n" + extra +
           "  function vid 0x2C7E pid 0x0B40 bcd-device 0x9035 bcd-usb 0x0210\nend\n";
}
std::string EepromHub(const std::string& name) {  // VX710x-21/22 with EEPROM (type 3)
    return "hub " + name + "\n  store eeprom 0x8000\n  put 0xFC text \"XROM\"\n  put 0x10E hex 02 01\n"
           "  function vid 0x2C7E pid 0x0B40 bcd-device 0x9036 bcd-usb 0x0210\nend\n";
}
std::string LiteHub(const std::string& name) {  // 256-byte EEPROM (type 4)
    return "hub " + name + "\n  store eeprom 256\n  put 0x1C text \"EROM\"\n  put 0x0E hex 01 00\n"
           "  function vid 0x2C7E pid 0x0B47 bcd-device 0x0105 bcd-usb 0x0210\nend\n";
}
// The per-device way needs the hub's instance and its selective-suspend value.
std::string SuspendHub(const std::string& name, const std::string& instance) {
    return "hub " + name + "\n  store spi W25\n  put 0x1D0 text \"VXI2240\"\n"
           "  function vid 0x2C7E pid 0x0B40 bcd-device 0x9035 bcd-usb 0x0210 instance " + instance +
           "\n  enum USB\\VID_2C7E&PID_0B40 selective-suspend 1\nend\n";
}

std::vector<uint8_t> FlashImage(size_t size, const char* marker, uint8_t seed) {
    std::vector<uint8_t> image(size);
    for (size_t i = 0; i < size; ++i) image[i] = static_cast<uint8_t>(i * 3 + seed + (i >> 9));
    std::memset(image.data() + 0x1D0, 0, 64);
    std::memcpy(image.data() + 0x1D0, marker, std::strlen(marker));
    image[0x103] = 0x46;  // product 0x0B46: "VX7101"
    image[0x104] = 0x0B;
    image[0x10E] = 0x78;  // version 5678
    image[0x10F] = 0x56;
    return image;
}
std::vector<uint8_t> Class2() { return FlashImage(0x5000, "VXI2240", 1); }
std::vector<uint8_t> Class5() { return FlashImage(0x8000, "VXI2210", 2); }
std::vector<uint8_t> Class4() {
    std::vector<uint8_t> image(256);
    for (size_t i = 0; i < image.size(); ++i) image[i] = static_cast<uint8_t>(i ^ 0x5A);
    std::memcpy(image.data() + 0x1C, "EROM", 4);
    return image;
}
std::vector<uint8_t> Eep(size_t size, uint8_t fill) {
    std::vector<uint8_t> eep(size, fill);
    eep[0] = 0xAA;
    return eep;
}

// What a store holds after an update of `image`: its own container ID,
// 0xFF padding and the checksum, high byte first.
std::vector<uint8_t> Programmed(std::vector<uint8_t> image, const std::vector<uint8_t>& store, size_t size,
                                size_t idOffset) {
    image.resize(size, 0xFF);
    std::memcpy(image.data() + idOffset, store.data() + idOffset, 16);
    uint16_t sum = CalcChecksum(image.data(), static_cast<int>(size - 2));
    image[size - 2] = static_cast<uint8_t>(sum >> 8);
    image[size - 1] = static_cast<uint8_t>(sum);
    return image;
}
bool Holds(const std::vector<uint8_t>& store, const std::vector<uint8_t>& expected) {
    return store.size() >= expected.size() && std::equal(expected.begin(), expected.end(), store.begin());
}

// Every wait of the engine is a step point of a stepped worker, so a test can
// tick the update timer while the flash is busy; on a worker thread of its
// own it also takes a real millisecond, so that the timer meets the worker.
class YieldingClock : public tessaro::IClock {
public:
    explicit YieldingClock(tessaro::IClock& inner) : m_inner(inner) {}
    void Sleep(uint32_t ms) override {
        m_inner.Sleep(ms);
        if (ui::OnSteppedWorker()) {
            ui::YieldPoint();
        } else {
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
    }
    uint64_t NowMs() override { return m_inner.NowMs(); }

private:
    tessaro::IClock& m_inner;
};

const char kWriteDelayRow[] = "[FlashInfo]\nW25=9F 03 EF 30 13 C7 40 01 00 00 00 00 01 00 00 00 00 00\n";

class ScopedEnv {
public:
    ScopedEnv(const char* name, const char* value) : m_name(name) { Set(value); }
    ~ScopedEnv() { Set(""); }

private:
    void Set(const char* value) {
#if defined(_WIN32)
        _putenv_s(m_name, value);
#else
        if (*value) setenv(m_name, value, 1); else unsetenv(m_name);
#endif
    }
    const char* m_name;
};

// One dialog and its window.
struct Session {
    explicit Session(ui::WorkerMode mode = ui::WorkerMode::Stepped) : m(dlg, mode) {}
    ~Session() {
        std::vector<std::string> v = m.Violations();
        EXPECT_TRUE(v.empty()) << v.front();
    }
    CIspDlg dlg;
    MemoryDialog m;
};

class IspDialogTest : public ::testing::Test {
protected:
    // The [VX7100] lines (the store tools and Select Eep are offered unless
    // they say otherwise) and the flash table.
    void Ini(const std::string& vx, const std::string& flashTable = kFlashRow) {
        const bool customer = vx.find("Customer=") != std::string::npos;
        sys.WriteIni("[VX7100]\n" + vx + (customer ? "" : "Customer=1\n") + flashTable);
    }
    // A new dialog on the bench, opened; detection runs out.  The statuses
    // the dialog showed on the way are kept in `statuses`.
    MemoryDialog& Open(const std::string& bench, const std::string& vx = "DisableSelectiveSuspend=0\n") {
        Ini(vx);
        sys.Bench(bench);
        return Reopen();
    }
    MemoryDialog& Reopen(ui::WorkerMode mode = ui::WorkerMode::Stepped) {
        s.reset();
        s = std::make_unique<Session>(mode);
        statuses.clear();
        opened = s->m.Open();
        Run();
        return s->m;
    }
    // Pumps and steps until nothing can go on, noting each new status text.
    void Run() {
        MemoryDialog& m = s->m;
        do {
            m.Pump();
            if (!m.Alive()) break;
            std::string now = m.GetText(IDC_STATUS);
            if (statuses.empty() || statuses.back() != now) statuses.push_back(now);
        } while (m.StepWorker() || m.Pump());
    }
    MemoryDialog& M() { return s->m; }
    CIspDlg& Dlg() { return s->dlg; }
    std::string Status() { return M().GetText(IDC_STATUS); }
    bool Saw(const std::string& status) const {
        return std::find(statuses.begin(), statuses.end(), status) != statuses.end();
    }
    const ui::BoxRecord& LastBox() {
        static const ui::BoxRecord none{"(no box)", "", 0, 0};
        return M().Boxes().empty() ? none : M().Boxes().back();
    }
    void ExpectBox(const ui::BoxRecord& b, const std::string& text, uint32_t icon, const char* caption = "Quillon") {
        EXPECT_EQ(b.text, text);
        EXPECT_EQ(b.caption, caption);
        EXPECT_EQ(b.style & (ui::kMbIconError | ui::kMbIconWarning | ui::kMbIconInformation), icon) << b.text;
        EXPECT_TRUE(b.style & ui::kMbSystemModal) << b.text;
    }
    // Picks a file in the Select Bin/Rom/Sum dialog.
    bool Load(const std::string& relative, const std::vector<uint8_t>& bytes) {
        sys.WriteFile(relative, bytes);
        M().AnswerFile(sys.Native(relative));
        return M().Click(IDC_SELECT_BIN);
    }
    bool LoadEep(const std::string& relative, const std::vector<uint8_t>& bytes) {
        sys.WriteFile(relative, bytes);
        M().AnswerFile(sys.Native(relative));
        return M().Click(IDC_SELECT_EEP);
    }
    // Do ISP to its end, the success or error box answered.
    bool DoIsp() {
        if (!M().Click(IDC_DO_ISP)) return false;
        Run();
        return true;
    }
    std::vector<int> Enabled() {
        std::vector<int> ids;
        for (int id : {IDC_SELECT_BIN, IDC_SELECT_EEP, IDC_CONFIGURATIONS, IDC_DO_ISP, IDC_READ_VERSION, IDC_DUMP,
                       IDC_ERASE, IDC_SAVE_CHECKSUM, IDC_PHY_SETTING, IDC_RESTORE_SUSPEND, IDC_EXIT})
            if (M().IsEnabled(id)) ids.push_back(id);
        return ids;
    }
    size_t Writes(const std::string& device) {
        size_t n = 0;
        for (const bench::LogEntry& e : sys.pc().Requests())
            n += e.device == device && e.setup.bRequest == 0x83 && e.setup.wLength && e.ok;
        return n;
    }
    uint32_t PowerPlanAc() {
        uint32_t ac = 99, dc = 99;
        EXPECT_TRUE(sys.pc().PowerValue(sys.pc().ActiveScheme(), kUsbSettingsSubgroup, kUsbSelectiveSuspendSetting, &ac,
                                        &dc));
        EXPECT_EQ(ac, dc);
        return ac;
    }

    BenchSystem sys;
    std::unique_ptr<Session> s;
    std::vector<std::string> statuses;
    bool opened = false;
};

const std::vector<int> kReadyControls = {IDC_SELECT_BIN,  IDC_SELECT_EEP, IDC_CONFIGURATIONS,  IDC_READ_VERSION,
                                         IDC_DUMP,        IDC_ERASE,      IDC_PHY_SETTING,     IDC_RESTORE_SUSPEND,
                                         IDC_EXIT};

// --- start-up ------------------------------------------------------------------------

TEST_F(IspDialogTest, DetectsTheHubsAndWaitsForAnImage) {
    Ini("DisableSelectiveSuspend=0\n");
    sys.Bench(std::string(kFlashPart) + SpiHub("A") + EepromHub("B"));
    s = std::make_unique<Session>();
    MemoryDialog& m = M();
    ASSERT_TRUE(m.Open());
    EXPECT_EQ(m.Caption(), "Varnellogic USB3.0 Hub FW ISP Tool v2.2.4.0");
    EXPECT_EQ(m.Icon(), IDR_MAINFRAME);
    ASSERT_EQ(m.SystemMenu().size(), 3u);  // Close, separator, About
    EXPECT_EQ(m.SystemMenu()[2].command, 0x10u);
    EXPECT_EQ(m.SystemMenu()[2].text, "&About VX7100ISP...");
    EXPECT_EQ(m.Control(IDC_PROGRESS)->low, 0);
    EXPECT_EQ(m.Control(IDC_PROGRESS)->high, 100);
    EXPECT_EQ(m.Control(IDC_PROGRESS)->step, 1);
    // Until detection is done every control is off and the dialog cannot be left.
    EXPECT_TRUE(Dlg().Working());
    EXPECT_TRUE(Enabled().empty());
    m.PressEsc();
    m.CloseBox();
    Run();
    EXPECT_TRUE(m.Alive());
    EXPECT_EQ(statuses, (std::vector<std::string>{"", "Open device...", kReady}));
    EXPECT_EQ(Dlg().HubCount(), 2u);
    EXPECT_EQ(Dlg().HubType(0), CHIP_ID_VX2240_SPI);
    EXPECT_EQ(Dlg().HubType(1), CHIP_ID_VX2240_EEPROM);
    EXPECT_EQ(m.GetText(IDC_HUB_VERSION), "1234");  // hub 1's stored version, read once at the end
    EXPECT_EQ(Enabled(), kReadyControls);           // no image: no Do ISP, no Save with Checksum
    EXPECT_TRUE(m.Boxes().empty());
    EXPECT_TRUE(sys.box.Boxes().empty());
    EXPECT_TRUE(sys.pc().Starts().empty());
    // Advanced 0: the settings are always restored and the box is not offered.
    EXPECT_FALSE(m.IsVisible(IDC_RESTORE_SUSPEND));
    // No PHY access: the dialog ends at the top edge of PHY Setting.
    EXPECT_EQ(m.WindowRect().bottom, m.ControlScreenRect(IDC_PHY_SETTING).top);
    // Detection touched nothing in the stores.
    EXPECT_EQ(Writes("A") + Writes("B"), 0u);
    EXPECT_EQ(m.DeviceChange(ui::kDbtDevNodesChanged), 1);
}

TEST_F(IspDialogTest, IniSwitchesShapeTheDialog) {
    struct Case {
        const char* vx;
        bool restoreBox, configurations, storeTools, selectEep, fullHeight;
    } cases[] = {
        {"Advanced=0\nCustomer=1\nPhyAccess=0\n", false, true, true, true, false},
        {"Advanced=1\nCustomer=1\nPhyAccess=2\n", true, true, true, true, true},
        {"Advanced=2\nCustomer=0\nEepOption=1\nPhyAccess=1\n", true, false, false, true, false},
        {"Customer=0\nEepOption=0\nPhyAccess=3\n", false, false, false, false, false},
        {"Customer=x\nPhyAccess=02\n", false, false, false, false, true},
    };
    sys.Bench(std::string(kFlashPart) + SpiHub("A"));
    int width = -1;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.vx);
        Ini(std::string("DisableSelectiveSuspend=0\n") + c.vx);
        MemoryDialog& m = Reopen();
        ASSERT_TRUE(opened && m.Alive());
        EXPECT_EQ(m.IsVisible(IDC_RESTORE_SUSPEND), c.restoreBox);
        if (c.restoreBox) {
            EXPECT_EQ(m.GetCheck(IDC_RESTORE_SUSPEND), 0);
        }
        EXPECT_EQ(m.IsVisible(IDC_CONFIGURATIONS), c.configurations);
        for (int id : {IDC_DUMP, IDC_ERASE, IDC_SAVE_CHECKSUM}) EXPECT_EQ(m.IsVisible(id), c.storeTools) << id;
        EXPECT_EQ(m.IsVisible(IDC_SELECT_EEP), c.selectEep);
        EXPECT_EQ(m.IsVisible(IDC_EEP_FILE), c.selectEep);
        EXPECT_TRUE(m.IsVisible(IDC_READ_VERSION));
        ui::Rect window = m.WindowRect(), phy = m.ControlScreenRect(IDC_PHY_SETTING);
        if (width < 0) width = window.Width();
        EXPECT_EQ(window.Width(), width);  // only the height is cut
        if (c.fullHeight) {
            EXPECT_GT(window.bottom, phy.bottom);
        } else {
            EXPECT_EQ(window.bottom, phy.top);
            EXPECT_LE(m.ControlScreenRect(IDC_EXIT).bottom, window.bottom);
        }
    }
}

TEST_F(IspDialogTest, StartChecksEndTheDialogAfterTheirBox) {
    struct Case {
        const char* bench;
        const char* box;
        uint32_t icon;
    } cases[] = {
        {"os fail\n", "Retrieve OS information failed!", ui::kMbIconError},
        {"os 5.0.2195 sp 4\n", "Quillon does not support Windows 2000 or earlier OS version.", ui::kMbIconInformation},
        {"os 4.0\n", "Quillon does not support Windows 2000 or earlier OS version.", ui::kMbIconInformation},
        {"os 6.1.7600\n", "Please install latest Windows Service Pack before running this program.", ui::kMbIconError},
        {"os 5.1.2600 sp 2\n", "Please install Windows XP Service Pack 3 before running this program.",
         ui::kMbIconError},
        {"driver missing\n", "Cannot identify filter driver version!", ui::kMbIconError},
        {"driver installed version 2.99.1\n",
         "Please update driver to latest version before running this program.\n\nCurrent installed driver version is "
         "v2.990000",
         ui::kMbIconError},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.bench);
        MemoryDialog& m = Open(std::string(c.bench) + kFlashPart + SpiHub("A"));
        EXPECT_FALSE(opened);
        EXPECT_TRUE(m.Ended());
        EXPECT_EQ(m.Result(), ui::kIdCancel);
        ASSERT_EQ(m.Boxes().size(), 1u);
        ExpectBox(m.Boxes()[0], c.box, c.icon);
        EXPECT_TRUE(sys.pc().Requests().empty()) << "no hub is touched";
    }
    // Without an INI file nothing else is checked.
    sys.Remove("program/tessaro.ini");
    s = std::make_unique<Session>();
    EXPECT_FALSE(M().Open());
    ASSERT_EQ(M().Boxes().size(), 1u);
    ExpectBox(M().Boxes()[0], "Cannot find INI file for ISP tool! Check if it is placed with the tool.",
              ui::kMbIconError);
}

TEST_F(IspDialogTest, WindowsXpWithServicePack3GetsAHintAndGoesOn) {
    MemoryDialog& m = Open(std::string("os 5.1.2600 sp 3\n") + kFlashPart + SpiHub("A"));
    ASSERT_TRUE(m.Alive());
    ASSERT_EQ(m.Boxes().size(), 1u);
    ExpectBox(m.Boxes()[0],
              "Please attach a device to any of the hub's downstream port if the hub is connected to EHCI/OCHI host.",
              ui::kMbIconInformation);
    EXPECT_EQ(Status(), kReady);
}

TEST_F(IspDialogTest, MergeConfigIsCreatedReadAndWrittenBackAtTheEnd) {
    uint32_t value = 7;
    // Missing: created with 1.
    Open(std::string(kFlashPart) + SpiHub("A"));
    tessaro::MemoryRegistry& reg = sys.pc().Registry();
    ASSERT_TRUE(sys.pc().Registry().GetDword(kMergeKey, "MergeConfig", value));
    EXPECT_EQ(value, 1u);
    s.reset();
    // Present: read at start (any non-zero value is 1), written back at the end,
    // whatever was put there meanwhile.
    Ini("DisableSelectiveSuspend=0\n");
    sys.pc().Registry().SetDword(kMergeKey, "MergeConfig", 0);
    Reopen();
    sys.pc().Registry().SetDword(kMergeKey, "MergeConfig", 5);
    ASSERT_TRUE(M().PressEsc());
    ASSERT_TRUE(sys.pc().Registry().GetDword(kMergeKey, "MergeConfig", value));
    EXPECT_EQ(value, 0u);
    sys.pc().Registry().SetDword(kMergeKey, "MergeConfig", 9);
    Reopen();
    sys.pc().Registry().SetDword(kMergeKey, "MergeConfig", 0);
    s.reset();
    ASSERT_TRUE(sys.pc().Registry().GetDword(kMergeKey, "MergeConfig", value));
    EXPECT_EQ(value, 1u);
    // A dialog that ended before reading the value leaves it alone.
    sys.Remove("program/tessaro.ini");
    sys.pc().Registry().SetDword(kMergeKey, "MergeConfig", 3);
    s = std::make_unique<Session>();
    EXPECT_FALSE(M().Open());
    s.reset();
    ASSERT_TRUE(reg.GetDword(kMergeKey, "MergeConfig", value));
    EXPECT_EQ(value, 3u);
}

// --- detection ------------------------------------------------------------------------

TEST_F(IspDialogTest, WithoutAHubAdvancedDecidesWhetherTheDialogStays) {
    MemoryDialog& m = Open("", "DisableSelectiveSuspend=1\nAdvanced=0\n");
    ASSERT_EQ(m.Boxes().size(), 1u);
    ExpectBox(m.Boxes()[0], kDetectFailed, ui::kMbIconError);
    EXPECT_TRUE(m.Ended());
    EXPECT_EQ(m.Result(), ui::kIdCancel);

    // Advanced 1: only Configurations and Exit; the editor is not here yet.
    Ini("DisableSelectiveSuspend=1\nAdvanced=1\n");
    Reopen();
    ASSERT_TRUE(M().Alive());
    EXPECT_EQ(Status(), "Detect hub failed!");
    EXPECT_EQ(Enabled(), (std::vector<int>{IDC_CONFIGURATIONS, IDC_EXIT}));
    ASSERT_TRUE(M().Click(IDC_CONFIGURATIONS));
    ExpectBox(LastBox(), "The configurations editor is not available in this build of the tool yet.",
              ui::kMbIconInformation);
    EXPECT_TRUE(M().Modals().empty());
    ASSERT_TRUE(M().Click(IDC_EXIT));
    EXPECT_TRUE(M().Ended());
    EXPECT_TRUE(sys.pc().Starts().empty());
}

TEST_F(IspDialogTest, HubsThatDoNotComeBackEndTheDialog) {
    // The second enumeration (the session reopened after the switch-off) fails.
    MemoryDialog& m = Open(std::string(kFlashPart) + SpiHub("A") + "fault ioctl GET_DEVICE_NUM nth 2\n");
    ASSERT_EQ(m.Boxes().size(), 1u);
    ExpectBox(m.Boxes()[0], "Hub is lost after selective suspend is deactivated!", ui::kMbIconError);
    EXPECT_TRUE(m.Ended());
    // One failed comparison is retried after a second.
    Open(std::string(kFlashPart) + SpiHub("A") + "fault ioctl GET_DEVICE_NUM nth 3\n");
    EXPECT_TRUE(M().Alive());
    EXPECT_EQ(Status(), kReady);
    std::vector<uint32_t> waits = sys.clock.Waits();
    EXPECT_NE(std::find(waits.begin(), waits.end(), 1000u), waits.end());
}

TEST_F(IspDialogTest, AnUndeterminedFirstHubLeavesOnlyExit) {
    MemoryDialog& m = Open("hub X\n  store eeprom 256\n  function vid 0x2C7E pid 0x0B40 bcd-usb 0x0210\nend\n",
                           "DisableSelectiveSuspend=0\nInfoLevel=1\n");
    ASSERT_TRUE(m.Alive());
    EXPECT_TRUE(Saw("Hub 1 is unknown type!"));
    EXPECT_EQ(Status(), "Hub1 can't be determined.");
    EXPECT_EQ(Enabled(), std::vector<int>{IDC_EXIT});
    EXPECT_EQ(m.GetText(IDC_HUB_VERSION), "");
}

TEST_F(IspDialogTest, InfoLevelNamesTheFirstHub) {
    struct Case {
        std::string hub;
        const char* status;
    } cases[] = {
        {SpiHub("A"), "Hub 1 is  VX710x-21/22 series hub  (SPI FLASH)"},
        {EepromHub("A"), "Hub 1 is  VX710x-21/22 series hub  (EEPROM)"},
        {SpiHub("A", "VXI2210"), "Hub 1 is  VX7103 hub  (SPI flash)"},
        {SpiHub("A", "none"), "Hub 1 is  VX710x-10 Series  (SPI flash)"},
        {LiteHub("A"), "Hub 1 is  VX7103 series hub  (256 EEPROM)"},
    };
    for (const Case& c : cases) {
        Open(kFlashPart + c.hub, "DisableSelectiveSuspend=0\nInfoLevel=2\n");
        EXPECT_EQ(Status(), c.status);
    }
    // A 256-byte EEPROM hub takes no .eep.
    EXPECT_FALSE(M().IsEnabled(IDC_SELECT_EEP));
    EXPECT_EQ(M().GetText(IDC_HUB_VERSION), "0001");
}

// --- selective suspend ----------------------------------------------------------------

TEST_F(IspDialogTest, PowerPlanIsSwitchedOffAndRestoredOnlyWhenTheRestoreSwitchSaysSo) {
    const std::string bench = std::string("os 6.2.9200\n") + kFlashPart + SpiHub("A");
    struct Case {
        const char* vx;
        bool tick;
        const char* how;  // exit, close, esc, enter
        bool restored;
    } cases[] = {
        {"Advanced=0\n", false, "exit", true},   {"Advanced=0\n", false, "close", true},
        {"Advanced=0\n", false, "esc", false},   {"Advanced=0\n", false, "enter", false},
        {"Advanced=1\n", false, "exit", false},  {"Advanced=1\n", true, "exit", true},
        {"DisableSelectiveSuspend=3\nAdvanced=1\n", true, "close", true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.vx) + c.how);
        MemoryDialog& m = Open(bench, c.vx);
        ASSERT_TRUE(m.Alive());
        EXPECT_TRUE(Saw("Start pre-processing..."));
        EXPECT_EQ(PowerPlanAc(), 0u);
        if (c.tick) {
            ASSERT_TRUE(m.Click(IDC_RESTORE_SUSPEND));
        }
        const std::string how = c.how;
        ASSERT_TRUE(how == "exit"    ? m.Click(IDC_EXIT)
                    : how == "close" ? m.CloseBox()
                    : how == "esc"   ? m.PressEsc()
                                     : m.PressEnter());
        EXPECT_TRUE(m.Ended());
        EXPECT_EQ(m.Result(), how == "esc" ? ui::kIdCancel : ui::kIdOk);
        EXPECT_EQ(PowerPlanAc(), c.restored ? 1u : 0u);
        if (c.restored) {
            EXPECT_EQ(Status(), "Data processing before exit...");
        }
        // The switch-off started four commands; a restore four more.
        EXPECT_EQ(sys.pc().Starts().size(), c.restored ? 8u : 4u);
    }
}

TEST_F(IspDialogTest, PerHubSwitchOffIsUndoneAtExit) {
    MemoryDialog& m = Open(std::string(kFlashPart) + SuspendHub("A", "7&a&0&1") + SuspendHub("B", "7&b&0&2"), "");
    ASSERT_TRUE(m.Alive());
    EXPECT_TRUE(Saw("Start pre-processing..."));
    uint32_t a = 9, b = 9;
    ASSERT_TRUE(sys.pc().Registry().GetDword(std::string(kEnum) + "7&a&0&1\\Device Parameters", "EnableSelectiveSuspend", a));
    ASSERT_TRUE(sys.pc().Registry().GetDword(std::string(kEnum) + "7&b&0&2\\Device Parameters", "EnableSelectiveSuspend", b));
    EXPECT_EQ(a + b, 0u);
    EXPECT_TRUE(sys.pc().Starts().empty());
    ASSERT_TRUE(m.Click(IDC_EXIT));
    sys.pc().Registry().GetDword(std::string(kEnum) + "7&a&0&1\\Device Parameters", "EnableSelectiveSuspend", a);
    sys.pc().Registry().GetDword(std::string(kEnum) + "7&b&0&2\\Device Parameters", "EnableSelectiveSuspend", b);
    EXPECT_EQ(a + b, 2u);
}

TEST_F(IspDialogTest, AHubTheRestoreLeftDisabledIsEnabledAtExit) {
    // The device list is refused for every enable of the restore (lists 4 to
    // 7; 1 and 2 are the switch-off's, 3 the restore's disable).
    MemoryDialog& m = Open(std::string(kFlashPart) + SuspendHub("A", "7&a&0&1") +
                               "fault devices nth 4\nfault devices nth 5\nfault devices nth 6\nfault devices nth 7\n",
                           "");
    ASSERT_TRUE(m.Alive());
    ASSERT_TRUE(m.Click(IDC_EXIT));
    ASSERT_FALSE(m.Boxes().empty());
    ExpectBox(m.Boxes().back(), "Hub VID_2C7E&PID_0B40&REV_9035 was left disabled and is enabled again.",
              ui::kMbIconInformation);
    EXPECT_TRUE(sys.Device("A").Enabled(0));
}

TEST_F(IspDialogTest, DisableSelectiveSuspendZeroChangesNothingOnAnyWindows) {
    for (const char* os : {"os 6.1.7601 sp 1\n", "os 6.2.9200\n", "os 6.3.9600\n"}) {
        MemoryDialog& m = Open(os + std::string(kFlashPart) + SuspendHub("A", "7&a&0&1"));
        ASSERT_TRUE(m.Alive()) << os;
        EXPECT_FALSE(Saw("Start pre-processing...")) << os;
        ASSERT_TRUE(m.Click(IDC_EXIT));
        uint32_t a = 9;
        sys.pc().Registry().GetDword(std::string(kEnum) + "7&a&0&1\\Device Parameters", "EnableSelectiveSuspend", a);
        EXPECT_EQ(a, 1u) << os;
        EXPECT_TRUE(sys.pc().Starts().empty()) << os;
        EXPECT_EQ(sys.pc().Restarts(), 0) << os;
    }
    // A way that appears in the INI file only after the start restores
    // nothing: this dialog switched nothing off.
    MemoryDialog& m = Open(std::string("os 6.2.9200\n") + kFlashPart + SpiHub("A"));
    Ini("DisableSelectiveSuspend=1\n");
    ASSERT_TRUE(m.Click(IDC_EXIT));
    EXPECT_TRUE(sys.pc().Starts().empty());
    EXPECT_EQ(PowerPlanAc(), 1u);
}

TEST_F(IspDialogTest, AFailedSwitchOffEndsTheDialog) {
    MemoryDialog& m = Open(std::string("os 6.2.9200\n") + kFlashPart + SpiHub("A") + "fault start cmd.exe\n", "");
    ASSERT_EQ(m.Boxes().size(), 1u);
    ExpectBox(m.Boxes()[0], "Selective suspend deactivation failed!", ui::kMbIconError);
    EXPECT_EQ(Status(), "Selective suspend deactivation failed!");
    EXPECT_TRUE(m.Ended());
}

// --- images, configurations and Do ISP ----------------------------------------------------

TEST_F(IspDialogTest, DoIspUpdatesEveryHubWhileTheTimerMirrorsTheRun) {
    // A millisecond after every write: the update waits while it writes too.
    Ini("DisableSelectiveSuspend=0\n", kWriteDelayRow);
    sys.Bench(std::string(kFlashPart) + SpiHub("A") + EepromHub("B"));
    MemoryDialog& m = Reopen();
    YieldingClock yielding(sys.clock);
    tessaro::System clock;
    clock.clock = &yielding;
    sys.Install(clock);

    ASSERT_TRUE(Load("program/fw.bin", Class2()));
    EXPECT_EQ(Status(), "Load VX7101 - 21 bin file OK");
    EXPECT_EQ(m.GetText(IDC_BIN_FILE), "fw.bin");
    EXPECT_EQ(m.GetText(IDC_BIN_VERSION), "5678");
    const ui::FileRequest& open = m.FileDialogs().back().request;
    EXPECT_FALSE(open.save);
    EXPECT_EQ(open.filter, "Binary File (*.bin)|*.bin|Rom File (*.rom)|*.rom|Sum File (*.sum)|*.sum||");
    EXPECT_TRUE(m.IsEnabled(IDC_DO_ISP));
    EXPECT_TRUE(m.IsEnabled(IDC_SAVE_CHECKSUM));

    ASSERT_TRUE(m.Click(IDC_DO_ISP));
    EXPECT_TRUE(Enabled().empty());
    EXPECT_TRUE(Dlg().Working());
    // Step into the flash erase of hub 1, ticking the timer at every wait.
    do {
        ASSERT_TRUE(m.StepWorker());
        m.Pump();
    } while (!m.TimerActive(2));
    EXPECT_EQ(m.TimerPeriod(2), 30u);
    while (m.Pos(IDC_PROGRESS) == 0) {
        ASSERT_TRUE(m.StepWorker());
        m.Pump();
        ASSERT_TRUE(m.Tick(2));
    }
    EXPECT_GT(m.Pos(IDC_PROGRESS), 0);
    EXPECT_LT(m.Pos(IDC_PROGRESS), 100);
    EXPECT_EQ(Status(), "Initializing...");
    // Nothing leaves the dialog while the update runs.
    EXPECT_FALSE(m.Click(IDC_EXIT));
    m.PressEsc();
    m.PressEnter();
    m.CloseBox();
    EXPECT_TRUE(m.Alive());
    bool sawWriting = false;
    while (m.StepWorker() || m.Pump()) {
        m.Pump();
        if (m.TimerActive(2)) m.Tick(2);
        sawWriting = sawWriting || Status() == "Updating firmware...";
    }
    EXPECT_TRUE(sawWriting);
    ASSERT_FALSE(m.Boxes().empty());
    ExpectBox(LastBox(), kSuccess, ui::kMbIconInformation);
    EXPECT_EQ(Status(), "ISP complete");
    EXPECT_EQ(m.Pos(IDC_PROGRESS), 100);
    EXPECT_FALSE(m.TimerActive(2));
    EXPECT_FALSE(Dlg().Working());
    EXPECT_EQ(Enabled(), (std::vector<int>{IDC_SELECT_BIN, IDC_SELECT_EEP, IDC_CONFIGURATIONS, IDC_DO_ISP,
                                           IDC_READ_VERSION, IDC_DUMP, IDC_ERASE, IDC_SAVE_CHECKSUM, IDC_PHY_SETTING,
                                           IDC_RESTORE_SUSPEND, IDC_EXIT}));
    EXPECT_TRUE(Holds(sys.Store("A"), Programmed(Class2(), sys.Store("A"), 0x5000, 0x1C0)));
    EXPECT_TRUE(Holds(sys.Store("B"), Programmed(Class2(), sys.Store("B"), 0x5000, 0x1C0)));
    // Each hub got its own container ID.
    EXPECT_FALSE(std::equal(sys.Store("A").begin() + 0x1C0, sys.Store("A").begin() + 0x1D0, sys.Store("B").begin() + 0x1C0));
    // The loaded image is unchanged: a second run stamps anew.
    EXPECT_EQ(Dlg().Image(), Class2());
    // Enter, with no button focused, ends the dialog at once.
    ASSERT_TRUE(m.PressEnter());
    EXPECT_TRUE(m.Ended());
}

TEST_F(IspDialogTest, ImagesAreMatchedAtLoadAndAgainstEveryHubAtDoIsp) {
    const std::string types2And3 = std::string(kFlashPart) + SpiHub("A") + EepromHub("B");
    // Class 5 on hubs of types 2 and 3: refused by the load whatever InfoLevel says.
    for (const char* info : {"InfoLevel=0\n", "InfoLevel=1\n"}) {
        SCOPED_TRACE(info);
        MemoryDialog& m = Open(types2And3, std::string("DisableSelectiveSuspend=0\n") + info);
        ASSERT_TRUE(Load("program/good.bin", Class2()));
        ASSERT_TRUE(Load("program/c5.bin", Class5()));
        ExpectBox(LastBox(), "Mismatched firmware and Hub!", ui::kMbIconError);
        EXPECT_FALSE(m.IsEnabled(IDC_DO_ISP));
        EXPECT_FALSE(m.IsEnabled(IDC_SAVE_CHECKSUM));
        EXPECT_EQ(m.GetText(IDC_BIN_FILE), "");
        EXPECT_EQ(m.GetText(IDC_BIN_VERSION), "");
        EXPECT_FALSE(Dlg().ImageLoaded());
    }
    // Hub 1 of type 5 takes the class-5 image; hub 2 (type 2) is checked at Do ISP.
    const std::string type5And2 = std::string(kFlashPart) + SpiHub("A", "VXI2210") + SpiHub("B");
    Open(type5And2, "DisableSelectiveSuspend=0\nInfoLevel=0\n");
    ASSERT_TRUE(Load("program/c5.bin", Class5()));
    ASSERT_TRUE(DoIsp());
    ExpectBox(LastBox(), "Mismatched firmware and Hub!", ui::kMbIconError);
    EXPECT_EQ(Dlg().MessageText(), "Mismatched firmware and Hub!");
    EXPECT_EQ(Writes("A") + Writes("B"), 0u);
    EXPECT_TRUE(M().IsEnabled(IDC_DO_ISP));
    // InfoLevel 1 lets a class-5 image onto VX710x-21/22 hubs.
    Open(type5And2, "DisableSelectiveSuspend=0\nInfoLevel=1\n");
    ASSERT_TRUE(Load("program/c5.bin", Class5()));
    ASSERT_TRUE(DoIsp());
    ExpectBox(LastBox(), kSuccess, ui::kMbIconInformation);
    EXPECT_TRUE(Holds(sys.Store("B"), Programmed(Class5(), sys.Store("B"), 0x8000, 0x1C0)));

    // A 256-byte EEPROM hub behind a VX710x-21/22 hub.
    const std::string type2And4 = std::string(kFlashPart) + SpiHub("A") + LiteHub("B");
    Open(type2And4, "DisableSelectiveSuspend=0\nInfoLevel=1\n");
    ASSERT_TRUE(Load("program/fw.bin", Class2()));
    ASSERT_TRUE(DoIsp());
    ExpectBox(LastBox(), "Hub 2 is VX7103 hub  (256 EEPROM), Do ISP canceled!", ui::kMbIconInformation);
    EXPECT_EQ(Status(), "Mismatched binary file!");
    EXPECT_EQ(Writes("A") + Writes("B"), 0u);
    Open(type2And4, "DisableSelectiveSuspend=0\nInfoLevel=0\n");
    ASSERT_TRUE(Load("program/fw.bin", Class2()));
    ASSERT_TRUE(DoIsp());
    ExpectBox(LastBox(), "Mismatched firmware and Hub!", ui::kMbIconError);
    EXPECT_EQ(Writes("A") + Writes("B"), 0u);
}

TEST_F(IspDialogTest, AFailedOrRefusedLoadLeavesNothingToProgram) {
    MemoryDialog& m = Open(std::string(kFlashPart) + SpiHub("A") + "fault fail device A request 0x83 value 0xC701\n");
    ASSERT_TRUE(Load("program/fw.bin", Class2()));
    ASSERT_TRUE(m.IsEnabled(IDC_DO_ISP));
    // A file that cannot be read.
    m.AnswerFile(sys.Native("program/missing.bin"));
    ASSERT_TRUE(m.Click(IDC_SELECT_BIN));
    ExpectBox(LastBox(), "Couldn't open firmware file!\n\n" + sys.Native("program/missing.bin"), ui::kMbIconError);
    EXPECT_EQ(Status(), "Load file failed!");
    EXPECT_FALSE(m.IsEnabled(IDC_DO_ISP));
    EXPECT_FALSE(m.IsEnabled(IDC_SAVE_CHECKSUM));
    EXPECT_EQ(m.GetText(IDC_BIN_FILE), "");
    // A file without a hub marker of its size.
    std::vector<uint8_t> unmarked(256, 0x11);
    ASSERT_TRUE(Load("program/bad.bin", unmarked));
    ExpectBox(LastBox(), "Cannot determine hub part number in the binary file!", ui::kMbIconError);
    EXPECT_EQ(Status(), "Incorrect binary file format!");
    // A cancelled file dialog changes nothing.
    size_t boxes = m.Boxes().size();
    ASSERT_TRUE(m.Click(IDC_SELECT_BIN));
    EXPECT_EQ(m.Boxes().size(), boxes);
    // A blanket enable (after a failed erase) keeps them off.
    m.AnswerBox(ui::kIdYes);
    ASSERT_TRUE(m.Click(IDC_ERASE));
    EXPECT_EQ(Status(), "Erase XROM data fail!");
    EXPECT_TRUE(m.IsEnabled(IDC_EXIT));
    EXPECT_FALSE(m.IsEnabled(IDC_DO_ISP));
    EXPECT_FALSE(m.IsEnabled(IDC_SAVE_CHECKSUM));
    EXPECT_FALSE(m.Click(IDC_DO_ISP));
}

TEST_F(IspDialogTest, AConfigurationIsMergedIntoACopyAndDroppedByASum) {
    MemoryDialog& m = Open(std::string(kFlashPart) + SpiHub("A"));
    ASSERT_TRUE(Load("program/fw.bin", Class2()));
    ASSERT_TRUE(LoadEep("program/cfg.eep", Eep(144, 0x33)));
    EXPECT_EQ(Status(), "Load EEP file successfully");
    EXPECT_EQ(m.GetText(IDC_EEP_FILE), "cfg.eep");
    EXPECT_EQ(m.FileDialogs().back().request.filter, "EEP File (*.eep)|*.eep||");
    ASSERT_TRUE(DoIsp());
    ExpectBox(LastBox(), kSuccess, ui::kMbIconInformation);
    std::vector<uint8_t> merged = Class2();
    std::vector<uint8_t> eep = Eep(144, 0x33);
    std::memcpy(merged.data() + 0x100, eep.data(), 144);
    merged[0x10E] = 0x78;  // the image's own version stays
    merged[0x10F] = 0x56;
    EXPECT_TRUE(Holds(sys.Store("A"), Programmed(merged, sys.Store("A"), 0x5000, 0x1C0)));

    // A refused .eep drops the loaded state; the image itself never held the merge.
    ASSERT_TRUE(LoadEep("program/wide.eep", Eep(512, 0x44)));
    ExpectBox(LastBox(), "Incompatible EEP file format and hub, please consult VX for the support.", ui::kMbIconError);
    EXPECT_EQ(Status(), "Load EEP file failed!");
    EXPECT_EQ(m.GetText(IDC_EEP_FILE), "");
    EXPECT_FALSE(Dlg().EepLoaded());
    ASSERT_TRUE(DoIsp());
    EXPECT_TRUE(Holds(sys.Store("A"), Programmed(Class2(), sys.Store("A"), 0x5000, 0x1C0)));

    // A .sum after a loaded configuration: the configuration is dropped.
    ASSERT_TRUE(LoadEep("program/cfg.eep", Eep(144, 0x33)));
    ASSERT_TRUE(Dlg().EepLoaded());
    std::vector<uint8_t> sum = Class2();
    sum[0x120] = 0x99;
    ASSERT_TRUE(Load("program/fw.sum", sum));
    EXPECT_EQ(m.GetText(IDC_EEP_FILE), "");
    EXPECT_FALSE(Dlg().EepLoaded());
    EXPECT_FALSE(m.IsEnabled(IDC_SELECT_EEP));
    EXPECT_FALSE(m.IsEnabled(IDC_SAVE_CHECKSUM));
    ASSERT_TRUE(DoIsp());
    EXPECT_TRUE(Holds(sys.Store("A"), Programmed(sum, sys.Store("A"), 0x5000, 0x1C0)));
    // The run's blanket enable does not offer them again for this image.
    EXPECT_TRUE(m.IsEnabled(IDC_DO_ISP));
    EXPECT_FALSE(m.IsEnabled(IDC_SELECT_EEP));
    EXPECT_FALSE(m.IsEnabled(IDC_SAVE_CHECKSUM));
    // A .bin brings them back.
    ASSERT_TRUE(Load("program/fw.bin", Class2()));
    EXPECT_TRUE(m.IsEnabled(IDC_SELECT_EEP));
    EXPECT_TRUE(m.IsEnabled(IDC_SAVE_CHECKSUM));
}

TEST_F(IspDialogTest, AFailingHubStopsTheRunWithItsReason) {
    MemoryDialog& m = Open(std::string(kFlashPart) + SpiHub("A") + SpiHub("B") +
                           "fault fail device A request 0x83 index 0x40 first 2\n");
    std::vector<uint8_t> before = sys.Store("B");
    ASSERT_TRUE(Load("program/fw.bin", Class2()));
    ASSERT_TRUE(DoIsp());
    ExpectBox(LastBox(), "ISP ERROR!", ui::kMbIconError);
    EXPECT_EQ(Status(), "Write data failed! address 0040");
    EXPECT_EQ(m.Pos(IDC_PROGRESS), 100);
    EXPECT_EQ(sys.Store("B"), before);
    EXPECT_TRUE(m.IsEnabled(IDC_DO_ISP));
}

TEST_F(IspDialogTest, PerHubLoopsStopAtEightHubs) {
    std::string bench;
    for (int i = 1; i <= 9; ++i) bench += LiteHub("L" + std::to_string(i));
    MemoryDialog& m = Open(bench);
    ASSERT_TRUE(m.Alive());
    EXPECT_EQ(Dlg().HubCount(), 9u);
    ASSERT_TRUE(Load("program/lite.bin", Class4()));
    std::vector<uint8_t> ninth = sys.Store("L9");
    ASSERT_TRUE(DoIsp());
    ExpectBox(LastBox(), kSuccess, ui::kMbIconInformation);
    for (int i = 1; i <= 8; ++i)
        EXPECT_TRUE(Holds(sys.Store("L" + std::to_string(i)), Programmed(Class4(), sys.Store("L" + std::to_string(i)), 256, 0x90))) << i;
    EXPECT_EQ(sys.Store("L9"), ninth);
    ASSERT_TRUE(m.Click(IDC_EXIT));
}

// --- store tools --------------------------------------------------------------------------

TEST_F(IspDialogTest, ReadVersionAndDumpShowWhatTheHubHolds) {
    MemoryDialog& m = Open(std::string(kFlashPart) + SpiHub("A"));
    sys.Store("A")[0x10E] = 0xFF;
    sys.Store("A")[0x10F] = 0xFF;
    ASSERT_TRUE(m.Click(IDC_READ_VERSION));
    EXPECT_EQ(m.GetText(IDC_HUB_VERSION), "Mask");
    EXPECT_TRUE(m.IsWindowEnabled());
    sys.Store("A")[0x10E] = 0x0D;
    sys.Store("A")[0x10F] = 0x0C;

    m.AnswerFile(sys.Native("desktop/hub.rom"));
    ASSERT_TRUE(m.Click(IDC_DUMP));
    const ui::FileRequest& save = m.FileDialogs().back().request;
    EXPECT_TRUE(save.save);
    EXPECT_EQ(save.defaultExt, "ROM");
    EXPECT_EQ(save.fileName, ".\\0C0D");
    EXPECT_EQ(save.filter, "ROM Files (*.rom)|*.rom||");
    EXPECT_EQ(save.flags, ui::kOfnHideReadOnly | ui::kOfnOverwritePrompt);
    ExpectBox(LastBox(), "XROM data is dumped successfully.", ui::kMbIconInformation);
    EXPECT_EQ(Status(), "XROM data is dumped successfully.");
    std::vector<uint8_t> dumped;
    ASSERT_TRUE(sys.ReadFile("desktop/hub.rom", dumped));
    EXPECT_EQ(dumped, std::vector<uint8_t>(sys.Store("A").begin(), sys.Store("A").begin() + 0x5000));
    EXPECT_TRUE(m.IsWindowEnabled());

    // A file that cannot be written is an error, never the success text.
    m.SetText(IDC_STATUS, "");
    m.AnswerFile(sys.Native("nowhere/hub.rom"));
    ASSERT_TRUE(m.Click(IDC_DUMP));
    ExpectBox(LastBox(), "XROM data is dumped failed.", ui::kMbIconError);
    EXPECT_EQ(Status(), "");
    // Cancelled: nothing.
    size_t boxes = m.Boxes().size();
    ASSERT_TRUE(m.Click(IDC_DUMP));
    EXPECT_EQ(m.Boxes().size(), boxes);

    // A hub that went away.
    sys.pc().Unplug("A");
    size_t dialogs = m.FileDialogs().size();
    ASSERT_TRUE(m.Click(IDC_DUMP));
    ExpectBox(LastBox(), "XROM data is dumped failed.", ui::kMbIconError);
    EXPECT_EQ(m.FileDialogs().size(), dialogs);
    ASSERT_TRUE(m.Click(IDC_READ_VERSION));
    ExpectBox(LastBox(), "Read XROM Fail!", ui::kMbIconError);
    EXPECT_EQ(Status(), "Read XROM data failed!");
    EXPECT_EQ(m.GetText(IDC_HUB_VERSION), "");
    EXPECT_TRUE(m.IsWindowEnabled());
}

TEST_F(IspDialogTest, SaveWithChecksumWritesThePaddedImageOrSaysWhyNot) {
    MemoryDialog& m = Open(std::string(kFlashPart) + SpiHub("A"));
    std::vector<uint8_t> shortImage = Class2();
    shortImage.resize(0x3000);
    ASSERT_TRUE(Load("program/short.bin", shortImage));
    ASSERT_TRUE(LoadEep("program/cfg.eep", Eep(144, 0x33)));
    m.AnswerFile(sys.Native("desktop/out.sum"));
    ASSERT_TRUE(m.Click(IDC_SAVE_CHECKSUM));
    const ui::FileRequest& save = m.FileDialogs().back().request;
    EXPECT_TRUE(save.save);
    EXPECT_EQ(save.defaultExt, "SUM");
    EXPECT_EQ(save.fileName, ".\\5678");
    EXPECT_EQ(save.filter, "SUM Files (*.sum)|*.sum||");
    std::vector<uint8_t> sum;
    ASSERT_TRUE(sys.ReadFile("desktop/out.sum", sum));
    ASSERT_EQ(sum.size(), 0x5000u);
    std::vector<uint8_t> expected = shortImage;
    expected.resize(0x5000, 0xFF);
    std::vector<uint8_t> eep = Eep(144, 0x33);
    std::memcpy(expected.data() + 0x100, eep.data(), 144);
    expected[0x10E] = 0x78;
    expected[0x10F] = 0x56;
    uint16_t checksum = CalcChecksum(expected.data(), 0x4FFE);
    expected[0x4FFE] = static_cast<uint8_t>(checksum >> 8);
    expected[0x4FFF] = static_cast<uint8_t>(checksum);
    EXPECT_EQ(sum, expected);
    char text[64];
    std::snprintf(text, sizeof text, "Save OK! checksum = 0x%04X", CalcChecksum(expected.data(), 0x5000));
    EXPECT_EQ(Status(), text);
    EXPECT_TRUE(m.Boxes().empty());

    m.SetText(IDC_STATUS, "");
    m.AnswerFile(sys.Native("nowhere/out.sum"));
    ASSERT_TRUE(m.Click(IDC_SAVE_CHECKSUM));
    EXPECT_EQ(LastBox().text.rfind("Couldn't save checksum file!\n\n" + sys.Native("nowhere/out.sum") + "\n\n", 0), 0u);
    EXPECT_EQ(Status(), "Save with checksum failed!");
    EXPECT_TRUE(m.IsWindowEnabled());
}

TEST_F(IspDialogTest, EraseAsksFirstAndClosesTheDialogAfterwards) {
    MemoryDialog& m = Open(std::string(kFlashPart) + SpiHub("A"));
    m.AnswerBox(ui::kIdNo);
    ASSERT_TRUE(m.Click(IDC_ERASE));
    ExpectBox(LastBox(), "Confirm XROM data will be erased?", ui::kMbIconWarning, "ISP WARNING");
    EXPECT_EQ(LastBox().style & ui::kMbTypeMask, ui::kMbYesNo);
    EXPECT_EQ(Writes("A"), 0u);
    EXPECT_TRUE(m.Alive());

    m.AnswerBox(ui::kIdYes);
    ASSERT_TRUE(m.Click(IDC_ERASE));
    ExpectBox(LastBox(),
              "Erase XROM complete!\n\nISP Tool will be closed now.\nPlease re-plug the erased hub then open ISP Tool.",
              ui::kMbIconWarning);
    EXPECT_TRUE(m.Ended());
    EXPECT_EQ(m.GetText(IDC_HUB_VERSION), "Mask");
    EXPECT_EQ(Status(), "Erase XROM complete.");
    EXPECT_EQ(sys.Store("A")[0x1D0], 0xFF);
}

TEST_F(IspDialogTest, AboutBoxPhySettingAndConfigurations) {
    MemoryDialog& m = Open(std::string(kFlashPart) + SpiHub("A"), "DisableSelectiveSuspend=0\nPhyAccess=2\n");
    ASSERT_TRUE(m.SysCommand(0x10));
    EXPECT_EQ(m.Modals(), std::vector<int>{IDD_ABOUTBOX});
    EXPECT_TRUE(m.Alive());
    ASSERT_TRUE(m.Click(IDC_PHY_SETTING));
    ExpectBox(LastBox(), "The PHY tuning dialog is not available in this build of the tool yet.",
              ui::kMbIconInformation);
    // A VX710x-10 hub has no PHY dialog.
    Open(std::string(kFlashPart) + SpiHub("A", "none"), "DisableSelectiveSuspend=0\nPhyAccess=2\n");
    ASSERT_TRUE(M().Click(IDC_PHY_SETTING));
    EXPECT_TRUE(M().Boxes().empty());
}

TEST_F(IspDialogTest, TheBenchIsNamedInTheCaption) {
    ScopedEnv env("TESSARO_BENCH", "two.bench");
    MemoryDialog& m = Open(std::string(kFlashPart) + SpiHub("A"));
    EXPECT_EQ(m.Caption(), "Varnellogic USB3.0 Hub FW ISP Tool v2.2.4.0 [bench]");
}

// Workers on threads of their own, the timer ticking while the update writes
// (the ThreadSanitizer build runs this).
TEST_F(IspDialogTest, ThreadsModeRunsDetectionAndUpdateCleanly) {
    Ini("DisableSelectiveSuspend=0\n", kWriteDelayRow);
    sys.Bench(std::string(kFlashPart) + SpiHub("A") + EepromHub("B"));
    YieldingClock pausing(sys.clock);
    tessaro::System clock;
    clock.clock = &pausing;
    sys.Install(clock);
    s = std::make_unique<Session>(ui::WorkerMode::Threads);
    MemoryDialog& m = M();
    ASSERT_TRUE(m.Open());
    ASSERT_TRUE(m.WaitWorkers());
    ASSERT_EQ(Status(), kReady);
    ASSERT_TRUE(Load("program/fw.bin", Class2()));
    ASSERT_TRUE(m.Click(IDC_DO_ISP));
    int ticks = 0;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(60);
    while ((m.UnfinishedWorkers() || Dlg().Working()) && std::chrono::steady_clock::now() < deadline) {
        m.Pump();
        if (m.TimerActive(2) && m.Tick(2)) ++ticks;
    }
    ASSERT_TRUE(m.WaitWorkers());
    EXPECT_GT(ticks, 0);
    EXPECT_EQ(Status(), "ISP complete");
    EXPECT_TRUE(Holds(sys.Store("B"), Programmed(Class2(), sys.Store("B"), 0x5000, 0x1C0)));
}

}  // namespace
