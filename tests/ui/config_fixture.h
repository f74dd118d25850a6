// What the configurations editor's tests share: a bench PC with the tool's
// INI file, a sample configuration and its blocks, and one editor on the
// in-memory backend over an owner's buffer.
#pragma once

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "files/ConfigBlock.h"
#include "support/bench_system.h"
#include "ui/CConfigDlg.h"
#include "ui/CConfigPage.h"
#include "ui/config_ids.h"
#include "ui/toolkit/memory.h"
#include "ui/win32/resource.h"

namespace cfgtest {

inline constexpr char kFlashRow[] = "[FlashInfo]\nW25=9F 03 EF 30 13 C7 40 01 00 00 00 00 00 00 00 00 00 00\n";
inline constexpr char kFlashPart[] = "flash W25\n  size 64K\n  id 9F 1 EF 30 13\n  erase C7\n  erase-time 400\nend\n";
inline constexpr char kSpiHub[] =
    "hub A\n  store spi W25\n  put 0x1D0 text \"VXI2240\"\n"
    "  function vid 0x2C7E pid 0x0B40 bcd-device 0x9035 bcd-usb 0x0210\nend\n";

inline HubConfig Sample() {
    HubConfig c;
    c.serialStringEnabled = true;
    c.vid = 0x2C7E;
    c.hsPid = 0x0B40;
    c.ssPid = 0x0B41;
    c.usb2Ports = 4;
    c.usb3Ports = 4;
    c.hsMaxPowerMa = 500;
    c.ssMaxPowerMa = 896;
    c.powerGoodMs = 100;
    c.chargingPort[0] = true;
    c.dcp = true;
    c.smartCdp = true;
    c.txSwap[1] = true;
    c.ssc = true;
    c.vendor = "Varnellogic";
    c.hsProduct = "USB2 Hub";
    c.ssProduct = "USB3 Hub";
    c.serial = "0001";
    return c;
}

inline std::vector<uint8_t> Block(const HubConfig& c, int hubType, ConfigForm form = ConfigForm::Full) {
    ConfigFormat f;
    ConfigFormatForHubType(hubType, &f);
    f.form = form;
    std::vector<uint8_t> b(static_cast<size_t>(f.size));
    EncodeConfig(c, f, b.data(), f.size);
    return b;
}

class ConfigEditorTest : public ::testing::Test {
protected:
    void SetUp() override { Ini("Advanced=1\n"); }
    void Ini(const std::string& vx) { sys.WriteIni("[VX7100]\n" + vx + kFlashRow); }
    // Opens the editor; a non-empty block is the owner's loaded block.
    ui::MemoryDialog& Open(int hubType, std::vector<uint8_t> block = {}, bool page = false, bool maskRom = false) {
        m.reset();
        dlg.reset();
        const int loaded = block.empty() ? 0 : 1;
        owner = std::move(block);
        if (page)
            dlg = std::make_unique<CConfigPage>(owner, loaded, 0, hubType, maskRom, true);
        else
            dlg = std::make_unique<CConfigDlg>(owner, loaded, 0, hubType, maskRom);
        m = std::make_unique<ui::MemoryDialog>(*dlg);
        m->Open();
        return *m;
    }
    std::vector<std::string> BoxTexts() const {
        std::vector<std::string> out;
        for (const auto& b : m->Boxes()) out.push_back(b.text);
        return out;
    }
    std::string LastBox() const { return m->Boxes().empty() ? "(no box)" : m->Boxes().back().text; }
    bool Checked(int id) const { return m->GetCheck(id) == ui::kChecked; }

    tessaro::test::BenchSystem sys;
    std::vector<uint8_t> owner;
    std::unique_ptr<CConfigDlg> dlg;
    std::unique_ptr<ui::MemoryDialog> m;
};

}  // namespace cfgtest
