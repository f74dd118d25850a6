// The PHY tuning dialog: start-up, the controls, the three one-shot timers
// and the range checks.  The hub accesses live in CPhyTuneDlg_io.cpp.
#include "ui/CPhyTuneDlg.h"

#include <cctype>
#include <cstdio>

#include "ui/phy_ids.h"
#include "ui/win32/resource.h"

using namespace phytune;

namespace {

constexpr const char* kQuillon = "Quillon";
constexpr uint32_t kErrorBox = ui::kMbIconError | ui::kMbSystemModal;
constexpr uint32_t kWarningBox = ui::kMbIconWarning | ui::kMbSystemModal;
constexpr int kToolTipMs = 5000;

const char* const kVoltages[] = {"0.40V", "0.47V", "0.61V", "0.76V", "0.89V", "1.01V", "1.10V", "1.15V"};
const char* const kDigits[] = {"0", "1", "2", "3", "4", "5", "6", "7"};
const char* const kSelPorts[] = {"V", "W", "X", "Y", "Z"};
const char* const kPorts[] = {"Upstream Port", "Downstream Port 1", "Downstream Port 2", "Downstream Port 3",
                              "Downstream Port 4"};

// The entries of a list, by the control.
void ListEntries(int id, const char* const** items, int* count) {
    switch (id) {
    case IDC_TUNE_SW: *items = kVoltages; *count = 8; break;
    case IDC_TUNE_SELPORT: *items = kSelPorts; *count = 5; break;
    case IDC_TUNE_LFTH:
    case IDC_TUNE_DEM_VALUE: *items = kDigits; *count = 4; break;
    default: *items = kDigits; *count = 8; break;  // RSW, FMIN
    }
}

// The per-port groups and their captions after the address.
struct PortGroup {
    int id;
    const char* reg;
    const char* suffix;
};
const PortGroup kPortGroups[] = {
    {IDC_TUNE_GROUP_C2, "C2", ""},          {IDC_TUNE_GROUP_C3, "C3", ""},
    {IDC_TUNE_GROUP_C4, "C4", ""},          {IDC_TUNE_GROUP_C6, "C6", ": SCDR"},
    {IDC_TUNE_GROUP_C7, "C7", ""},          {IDC_TUNE_GROUP_DD, "DD", ""},
    {IDC_TUNE_GROUP_EQR, "C0", ": EQR"},    {IDC_TUNE_GROUP_RCAL, "C0", ": RCAL"},
    {IDC_TUNE_GROUP_OFD0, "C1", ": OFD0"},
};

}  // namespace

CPhyTuneDlg::CPhyTuneDlg(const Form& form) : Dialog(form.templateId), m_form(form) {
    // The dialog shows its own boxes for every failure.
    m_isp.m_quiet = 1;
}

CPhyTuneDlg::~CPhyTuneDlg() = default;

bool CPhyTuneDlg::OnInitDialog() {
    Host().AttachStatusText(IDC_TUNE_STATUS);
    if (!m_isp.OpenDevice()) {
        m_isp.CloseDevice();
        MessageBox("[ERROR] Detect VX710x hub failed!", kQuillon, kErrorBox);
        EndDialog(ui::kIdCancel);
        return true;
    }
    m_isp.CloseDevice();
    const int type = m_isp.GetChipType(0, 0);
    if (type == CHIP_ID_UNKNOWN || type == CHIP_ID_VX2230_SPI) {
        MessageBox(type == CHIP_ID_UNKNOWN ? "Hub1 type is unknown."
                                           : "[Warning] Hub PHY Tuning Tool does not support VX710x-10 Series.",
                   kQuillon, kWarningBox);
        EndDialog(ui::kIdCancel);
        return true;
    }

    for (int i = 0; i < m_form.fieldCount; ++i) {
        const Field& f = m_form.fields[i];
        if (f.tip) Host().AddToolTip(f.id, f.tip, kToolTipMs);
        if (f.kind == Kind::Edit || f.kind == Kind::ReadOnly) Host().SetLimit(f.id, f.digits);
        if (f.kind == Kind::List) {
            const char* const* items = nullptr;
            int count = 0;
            ListEntries(f.id, &items, &count);
            Host().ClearItems(f.id);
            for (int k = 0; k < count; ++k) Host().AddItem(f.id, items[k]);
            Host().SetSelection(f.id, 0);
        }
    }
    if (m_form.ports) {
        Host().AddToolTip(IDC_TUNE_GROUP_EQR, Vx2210Form().fields[0].tip, kToolTipMs);
        for (const char* p : kPorts) Host().AddItem(IDC_TUNE_PORT, p);
        m_port = 1;
        Host().SetSelection(IDC_TUNE_PORT, m_port);
        RelabelGroups();
    } else {
        m_port = 0;
        Enable(IDC_TUNE_PORT, false);
    }
    StartRead();
    return true;
}

void CPhyTuneDlg::RelabelGroups() {
    if (!m_form.ports) return;
    const std::string port = m_port ? std::to_string(m_port) : std::string();
    for (const PortGroup& g : kPortGroups) SetText(g.id, "0x" + port + g.reg + g.suffix);
}

void CPhyTuneDlg::ShowLook(const std::string& text, Look look) {
    ui::StatusLook l;
    l.textColor = look == Look::Failed ? ui::Rgb(255, 0, 0) : look == Look::Done ? ui::Rgb(0, 128, 0) : 0;
    l.bold = true;
    l.face = "Microsoft Sans Serif";
    l.points = 18;
    ShowStatus(IDC_TUNE_STATUS, text, l);
}

void CPhyTuneDlg::EnableControls(bool enable) {
    for (int i = 0; i < m_form.fieldCount; ++i) Enable(m_form.fields[i].id, enable);
    Enable(IDC_TUNE_REFLASH, enable);
    Enable(IDC_TUNE_SAVE, enable);
    if (m_form.ports) Enable(IDC_TUNE_PORT, enable);
}

void CPhyTuneDlg::Arm(int timer, const char* text) {
    EnableControls(false);
    if (text) ShowLook(text, Look::Busy);
    SetTimer(timer, kDelayMs);
}

int CPhyTuneDlg::FieldIndex(int id) const {
    for (int i = 0; i < m_form.fieldCount; ++i)
        if (m_form.fields[i].id == id) return i;
    return -1;
}

int CPhyTuneDlg::FieldValue(int i) const {
    const Field& f = m_form.fields[i];
    switch (f.kind) {
    case Kind::Check: return GetCheck(f.id) ? 1 : 0;
    case Kind::List: {
        // No selection (a value the list has no item for was read): -1, and
        // the write keeps the bits as they were read.
        return Host().Selection(f.id);
    }
    default: {
        const std::string text = GetText(f.id);
        int v = 0;
        for (char c : text) {
            if (!std::isdigit(static_cast<unsigned char>(c))) return 0;
            v = v * 10 + (c - '0');
            if (v > 0xFFFF) return v;
        }
        return v;
    }
    }
}

void CPhyTuneDlg::ShowField(int i, uint8_t registerValue) {
    const Field& f = m_form.fields[i];
    const int v = (registerValue >> f.shift) & ((1 << f.width) - 1);
    switch (f.kind) {
    case Kind::Check: SetCheck(f.id, v ? ui::kChecked : ui::kUnchecked); break;
    case Kind::List: Host().SetSelection(f.id, v < Host().ItemCount(f.id) ? v : -1); break;
    default: SetText(f.id, std::to_string(v)); break;
    }
}

bool CPhyTuneDlg::Validate(int i) {
    const Field& f = m_form.fields[i];
    if (f.kind != Kind::Edit) return true;
    const std::string text = GetText(f.id);
    bool ok = true;
    for (char c : text) ok = ok && std::isdigit(static_cast<unsigned char>(c));
    if (ok && FieldValue(i) <= f.max) return true;
    // The field is reset first: the focus the box takes away finds a valid
    // value, and the box is shown once.
    SetText(f.id, "0");
    m_boxUp = true;
    MessageBox(RangeWarning(f), "Input ERROR", ui::kMbIconWarning);
    m_boxUp = false;
    return false;
}

void CPhyTuneDlg::OnOK() {
    // Enter in an edit field writes that field's register; the dialog stays.
    const int i = FieldIndex(Host().Focus());
    if (i < 0 || m_form.fields[i].kind != Kind::Edit || !IsEnabled(m_form.fields[i].id)) return;
    if (!Validate(i)) return;
    m_pending = m_form.fields[i].address;
    Arm(kOneTimer, "Writing data...");
}

void CPhyTuneDlg::OnCommand(int id, int code) {
    if (id == IDC_TUNE_REFLASH && code == ui::kBnClicked) return StartRead();
    if (id == IDC_TUNE_SAVE && code == ui::kBnClicked) return Arm(kSaveTimer, "Writing data...");
    if (id == IDC_TUNE_PORT && code == ui::kCbnSelChange) {
        const int sel = Host().Selection(IDC_TUNE_PORT);
        m_port = sel < 0 ? 0 : sel;
        RelabelGroups();
        return StartRead();
    }
    const int i = FieldIndex(id);
    if (i < 0) return;
    const Field& f = m_form.fields[i];
    if (f.kind == Kind::Edit && code == ui::kEnKillFocus) {
        if (!m_boxUp) Validate(i);
        return;
    }
    const bool changed = (f.kind == Kind::Check && code == ui::kBnClicked) ||
                         (f.kind == Kind::List && code == ui::kCbnSelChange);
    if (!changed) return;
    if (f.id == IDC_TUNE_SELPORT) return StartRead();  // the port to show, not a setting
    m_pending = f.address;
    Arm(kOneTimer, nullptr);
}

void CPhyTuneDlg::OnTimer(int id) {
    if (id != kReadTimer && id != kSaveTimer && id != kOneTimer) return;
    KillTimer(id);
    bool readNext = false;
    if (id == kReadTimer) {
        ReadPhyRegisters();
    } else {
        readNext = WritePhyRegisters(id == kSaveTimer ? 0 : m_pending) != 0;
    }
    if (readNext) {
        StartRead();
    } else {
        EnableControls(true);
    }
}

void RunPhyTuning(ui::Dialog& owner, int hubType) {
    const Form* form = FormForHubType(hubType);
    if (!form) return;
    CPhyTuneDlg dlg(*form);
    owner.RunModal(dlg);
}
