// What the main dialog's tests share: a simulated PC with the tool's INI file,
// hubs and images made for it, one dialog on the in-memory backend, and the
// fixture that opens it, runs its workers out and reads what it shows.
#pragma once

#include <gtest/gtest.h>

#include <algorithm>
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

namespace isptest {

using tessaro::test::BenchSystem;
using ui::MemoryDialog;

inline constexpr char kFlashRow[] = "[FlashInfo]\nW25=9F 03 EF 30 13 C7 40 01 00 00 00 00 00 00 00 00 00 00\n";
inline constexpr char kFlashPart[] = "flash W25\n  size 64K\n  id 9F 1 EF 30 13\n  erase C7\n  erase-time 400\nend\n";
inline constexpr char kMergeKey[] = "HKEY_LOCAL_MACHINE\\SOFTWARE\\Varnellogic\\VX7100";
inline constexpr char kReady[] = "ISP Tool is ready.";
inline constexpr char kSuccess[] = "Firmware update successfully!\nPlease re-plug the updated hub.";
inline constexpr char kDetectFailed[] =
    "Detect VX710x hub failed!\n\nPlease make sure VX710x hub is plugged into the host and try to rerun ISP tool.";
inline constexpr char kEnum[] = "HKEY_LOCAL_MACHINE\\SYSTEM\\CurrentControlSet\\Enum\\USB\\VID_2C7E&PID_0B40\\";

// A hub whose store holds version 0x1234 in its configuration block.
inline std::string SpiHub(const std::string& name, const std::string& marker = "VXI2240",
                          const std::string& extra = "") {
    return "hub " + name + "\n  store spi W25\n  put 0x1D0 text \"" + marker + "\"\n  put 0x10E hex 34 12\n" + extra +
           "  function vid 0x2C7E pid 0x0B40 bcd-device 0x9035 bcd-usb 0x0210\nend\n";
}
inline std::string EepromHub(const std::string& name) {  // VX710x-21/22 with EEPROM (type 3)
    return "hub " + name + "\n  store eeprom 0x8000\n  put 0xFC text \"XROM\"\n  put 0x10E hex 02 01\n"
           "  function vid 0x2C7E pid 0x0B40 bcd-device 0x9036 bcd-usb 0x0210\nend\n";
}
inline std::string LiteHub(const std::string& name) {  // 256-byte EEPROM (type 4)
    return "hub " + name + "\n  store eeprom 256\n  put 0x1C text \"EROM\"\n  put 0x0E hex 01 00\n"
           "  function vid 0x2C7E pid 0x0B47 bcd-device 0x0105 bcd-usb 0x0210\nend\n";
}
// The per-device way needs the hub's instance and its selective-suspend value.
inline std::string SuspendHub(const std::string& name, const std::string& instance) {
    return "hub " + name + "\n  store spi W25\n  put 0x1D0 text \"VXI2240\"\n"
           "  function vid 0x2C7E pid 0x0B40 bcd-device 0x9035 bcd-usb 0x0210 instance " + instance +
           "\n  enum USB\\VID_2C7E&PID_0B40 selective-suspend 1\nend\n";
}

inline std::vector<uint8_t> FlashImage(size_t size, const char* marker, uint8_t seed) {
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
inline std::vector<uint8_t> Class2() { return FlashImage(0x5000, "VXI2240", 1); }
inline std::vector<uint8_t> Class5() { return FlashImage(0x8000, "VXI2210", 2); }
inline std::vector<uint8_t> Class4() {
    std::vector<uint8_t> image(256);
    for (size_t i = 0; i < image.size(); ++i) image[i] = static_cast<uint8_t>(i ^ 0x5A);
    std::memcpy(image.data() + 0x1C, "EROM", 4);
    return image;
}
inline std::vector<uint8_t> Eep(size_t size, uint8_t fill) {
    std::vector<uint8_t> eep(size, fill);
    eep[0] = 0xAA;
    return eep;
}

// What a store holds after an update of `image`: its own container ID,
// 0xFF padding and the checksum, high byte first.
inline std::vector<uint8_t> Programmed(std::vector<uint8_t> image, const std::vector<uint8_t>& store, size_t size,
                                       size_t idOffset) {
    image.resize(size, 0xFF);
    std::memcpy(image.data() + idOffset, store.data() + idOffset, 16);
    uint16_t sum = CalcChecksum(image.data(), static_cast<int>(size - 2));
    image[size - 2] = static_cast<uint8_t>(sum >> 8);
    image[size - 1] = static_cast<uint8_t>(sum);
    return image;
}
inline bool Holds(const std::vector<uint8_t>& store, const std::vector<uint8_t>& expected) {
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

inline constexpr char kWriteDelayRow[] = "[FlashInfo]\nW25=9F 03 EF 30 13 C7 40 01 00 00 00 00 01 00 00 00 00 00\n";

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

// The main dialog, which also takes a command whatever state its button is
// in, as it does from a WM_COMMAND another program sends.
class CommandedIspDlg : public CIspDlg {
public:
    void Command(int id) { OnCommand(id, ui::kBnClicked); }
};

// One dialog and its window.
struct Session {
    explicit Session(ui::WorkerMode mode = ui::WorkerMode::Stepped) : m(dlg, mode) {}
    ~Session() {
        std::vector<std::string> v = m.Violations();
        EXPECT_TRUE(v.empty()) << v.front();
    }
    CommandedIspDlg dlg;
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

inline const std::vector<int> kReadyControls = {IDC_SELECT_BIN,  IDC_SELECT_EEP, IDC_CONFIGURATIONS,  IDC_READ_VERSION,
                                         IDC_DUMP,        IDC_ERASE,      IDC_PHY_SETTING,     IDC_RESTORE_SUSPEND,
                                         IDC_EXIT};

}  // namespace isptest
