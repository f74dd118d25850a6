// The PHY tuning dialog's hub accesses: every operation opens the driver,
// selects hub 0, sends one-byte requests and closes the driver again.
#include "settings/DebugLog.h"
#include "ui/CPhyTuneDlg.h"
#include "ui/phy_ids.h"
#include "ui/phy_request.h"

using namespace phytune;

namespace {

constexpr uint16_t kSpace = 0x0201;
constexpr uint8_t kReadType = 0xC0;
constexpr uint32_t kErrorBox = ui::kMbIconError | ui::kMbSystemModal;

}  // namespace

void CPhyTuneDlg::Fail(const std::string& text) {
    MessageBox(text, "Quillon", kErrorBox);
    DebugLog("%s!", text.c_str());
    ShowLook(text, Look::Failed);
}

bool CPhyTuneDlg::Prepare() {
    if (!m_isp.OpenDevice()) {
        m_isp.CloseDevice();
        MessageBox("[ERROR] Cannot open device!", "Quillon", kErrorBox);
        ShowLook("Open Device ERROR!", Look::Failed);
        return false;
    }
    if (!m_isp.SetHubIndex(0)) {
        m_isp.CloseDevice();
        MessageBox("[ERROR] Cannot set hub index!", "Quillon", kErrorBox);
        DebugLog("Hub index ERROR!!");
        ShowLook("Hub index ERROR!", Look::Failed);
        return false;
    }
    return true;
}

uint16_t CPhyTuneDlg::Index(const Register& r) const {
    return static_cast<uint16_t>(r.perPort && m_form.ports ? m_port * 0x100 + r.address : r.address);
}

const Register* CPhyTuneDlg::FindRegister(int address) const {
    for (int k = 0; k < m_form.registerCount; ++k)
        if (m_form.registers[k].address == address) return &m_form.registers[k];
    return nullptr;
}

bool CPhyTuneDlg::Transfer(bool write, uint16_t wIndex, uint8_t& value) {
    return ui::PhyRegisterTransfer(m_isp, kReadType, write, kSpace, wIndex, value);
}

int CPhyTuneDlg::ReadPhyRegisters() {
    if (!Prepare()) return 0;
    const bool upstream = m_form.ports && m_port == 0;
    for (int k = 0; k < m_form.registerCount; ++k) {
        const Register& r = m_form.registers[k];
        if (upstream && r.downstreamOnly) continue;
        uint8_t value = 0;
        if (!Transfer(false, Index(r), value)) {
            Fail(std::string("Read ") + r.name + " ERROR!");
            m_isp.CloseDevice();
            return 0;
        }
        m_last[r.perPort ? m_port : 0][r.address] = value;
        for (int i = 0; i < m_form.fieldCount; ++i)
            if (m_form.fields[i].address == r.address) ShowField(i, value);
    }
    if (upstream)
        for (int id : {IDC_TUNE_EQR, IDC_TUNE_RCAL, IDC_TUNE_OFD0}) SetText(id, "NA");
    m_isp.CloseDevice();
    ShowLook("Read data OK", Look::Done);
    return 1;
}

bool CPhyTuneDlg::WriteOne(const Register& r) {
    uint8_t fresh = 0;
    if (r.fresh && !Transfer(false, Index(r), fresh)) {
        Fail(std::string("Read ") + r.name + " ERROR!");
        return false;
    }
    const uint8_t last = m_last[r.perPort ? m_port : 0][r.address];
    int values[64] = {};
    for (int i = 0; i < m_form.fieldCount && i < 64; ++i) {
        values[i] = FieldValue(i);
        const Field& f = m_form.fields[i];
        if (values[i] < 0) values[i] = (last >> f.shift) & ((1 << f.width) - 1);
    }
    uint8_t value = Pack(m_form, r, values, last, fresh);
    if (!Transfer(true, Index(r), value)) {
        Fail(std::string("Write ") + r.name + " ERROR!");
        return false;
    }
    return true;
}

int CPhyTuneDlg::WritePhyRegisters(int address) {
    if (address && (!FindRegister(address) || FindRegister(address)->readOnly)) return 0;
    if (!Prepare()) return 0;
    for (int k = 0; k < m_form.registerCount; ++k) {
        const Register& r = m_form.registers[k];
        if (r.readOnly || (address && r.address != address)) continue;
        if (!WriteOne(r)) {
            m_isp.CloseDevice();
            return 0;
        }
    }
    m_isp.CloseDevice();
    return 1;
}
