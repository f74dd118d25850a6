// The configurations editor: start-up, the INI gating of its groups, the
// compact layout, and the buttons that end it.
#include "ui/CConfigDlg.h"

#include <algorithm>
#include <cctype>

#include "settings/CIniFile.h"
#include "ui/config_ids.h"
#include "ui/win32/resource.h"

namespace {

constexpr int kReadTimer = 1;
constexpr unsigned kReadDelayMs = 1200;     // the full form waits for the owner's window to settle
constexpr unsigned kPageReadDelayMs = 20;
constexpr const char* kAppTitle = "Tessaro";
constexpr const char* kForbidden =
    "[Warning] All function of Configurations is forbidden!\n\nPlease change INI setting or contact VX for further "
    "support.";

std::string Lower(std::string s) {
    for (char& ch : s) ch = static_cast<char>(std::tolower(static_cast<unsigned char>(ch)));
    return s;
}

}  // namespace

CConfigDlg::CConfigDlg(std::vector<uint8_t>& block, int eepLoaded, int hubIndex, int hubType, bool maskRom)
    : Dialog(IDD_CONFIG_DIALOG),
      m_block(block),
      m_eepLoaded(eepLoaded),
      m_hubIndex(hubIndex),
      m_hubType(hubType),
      m_maskRom(maskRom),
      m_page(false),
      m_showButtons(true) {}

CConfigDlg::CConfigDlg(PageForm, std::vector<uint8_t>& block, int eepLoaded, int hubIndex, int hubType, bool maskRom,
                       bool showButtons)
    : Dialog(IDD_CONFIG_PAGE),
      m_block(block),
      m_eepLoaded(eepLoaded),
      m_hubIndex(hubIndex),
      m_hubType(hubType),
      m_maskRom(maskRom),
      m_page(true),
      m_showButtons(showButtons) {}

CConfigDlg::~CConfigDlg() { m_isp.CloseDevice(); }

void CConfigDlg::PrepareControls() {
    Host().EnableSystemMenuItem(ui::kScClose, false);
    if (m_page && m_showButtons)
        for (int id : {IDC_CFG_LOAD_XROM, IDC_CFG_LOAD_FILE, IDC_CFG_SAVE_FILE, IDC_CFG_SAVE_EXIT, IDC_CFG_EXIT})
            Show(id, true);
    On(IDC_CFG_SERIAL, Ticked(IDC_CFG_SERIAL_EN));
    for (int id : {IDC_CFG_VID, IDC_CFG_HSPID, IDC_CFG_SSPID}) Host().SetLimit(id, 4);
    for (int id : {IDC_CFG_HSPOWER, IDC_CFG_SSPOWER, IDC_CFG_PGOOD}) Host().SetLimit(id, 3);
    Host().SetLimit(IDC_CFG_VENDOR, EditorStringLimit(m_hubType, ConfigString::Vendor));
    Host().SetLimit(IDC_CFG_HSPROD, EditorStringLimit(m_hubType, ConfigString::HsProduct));
    Host().SetLimit(IDC_CFG_SSPROD, EditorStringLimit(m_hubType, ConfigString::SsProduct));
    Host().SetLimit(IDC_CFG_SERIAL, EditorStringLimit(m_hubType, ConfigString::Serial));
    for (const char* text : {"disabled", "on UFP", "on DFP"}) Host().AddItem(IDC_CFG_BREATH, text);
    for (int id : {IDC_CFG_SELF, IDC_CFG_BUS})
        for (const char* text : {"Disabled", "Max 1 SS port", "Max 2 SS ports", "Max 3 SS ports"})
            Host().AddItem(id, text);
    for (int id : {IDC_CFG_BREATH, IDC_CFG_SELF, IDC_CFG_BUS}) Host().SetSelection(id, 0);
    m_unknownType = m_hubType == -1;
}

bool CConfigDlg::OnInitDialog() {
    PrepareControls();
    CIniFile ini;
    std::string iniPath;
    if (!ini.FindIniFile(iniPath)) {
        MessageBox("Ini file doesn't exist", kAppTitle, ui::kMbSystemModal);
        return true;
    }
    if (!m_page) {
        ini.SetFileName(iniPath);
        if (CIniFile::ToInt(ini.GetString("Advanced", "VX7100")) == 0) {
            const std::string configUi = Lower(ini.GetString("ConfigUI", "VX7100"));
            if (configUi.empty() || configUi == "0") {
                CompactLayout();
            } else if (configUi != "fullfunc" && !ApplyConfigUi(configUi)) {
                MessageBox(kForbidden, "Quillon", ui::kMbSystemModal | ui::kMbIconWarning);
                Exit();
                return true;
            }
        }
    }
    if (m_eepLoaded) {
        if (m_hubType != 1 && m_hubType != -1) {
            On(IDC_CFG_RENESAS, true);
            On(IDC_CFG_APPLE, true);
        }
        Enable(IDC_CFG_SAVE_FILE, true);
        // The owner's buffer may be shorter than this type's block: decoding
        // never reads past what is there.
        DecodeBlock(m_block.data(), std::min(static_cast<int>(m_block.size()), BlockSize()));
        return true;
    }
    EnableConfigControls(2);
    for (int id : {IDC_CFG_SAVE_FILE, IDC_CFG_LOAD_XROM, IDC_CFG_LOAD_FILE, IDC_CFG_EXIT, IDC_CFG_SAVE_EXIT})
        Enable(id, false);
    SetTimer(kReadTimer, m_page ? kPageReadDelayMs : kReadDelayMs);
    return true;
}

bool CConfigDlg::ApplyConfigUi(const std::string& lower) {
    for (const ConfigField& f : ConfigFields())
        if (!ConfigGateOpen(f.gate, lower) || !ConfigGateOpen(f.gate2, lower)) Show(f.id, false);
    static const char* const kKeywords[] = {"basicfunc", "hubid", "hubpower", "hubstring", "others",   "portnum",
                                            "charging",  "tx",    "led",      "smartpower", "special", "strapping",
                                            "2280port"};
    bool found = false;
    for (const char* k : kKeywords) found = found || lower.find(k) != std::string::npos;
    if (lower.find("strapping") == std::string::npos && lower.find("special") == std::string::npos &&
        lower.find("2280port") == std::string::npos)
        CompactLayout();
    return found;
}

void CConfigDlg::CompactLayout() {
    // Cut the right-hand column: the dialog ends 20 pixels beyond the smart
    // power group.
    const ui::Rect smart = Host().ControlRect(IDC_CFG_GRP_SMART);
    const int clientWidth = smart.right + 20;
    const ui::Rect window = Host().WindowRect();
    const ui::Rect client = Host().ClientRect();
    Host().SetWindowSize(clientWidth + (window.Width() - client.Width()), window.Height());
    ui::Rect line = Host().ControlRect(IDC_CFG_SEPARATOR);
    line.right = smart.right;
    Host().MoveControl(IDC_CFG_SEPARATOR, line);
    for (int id : {IDC_CFG_RWU, IDC_CFG_USB2LPM, IDC_CFG_USB3LPM}) Show(id, false);
    // The five buttons, evenly spaced from the left edge to the line's end.
    const int buttons[] = {IDC_CFG_LOAD_XROM, IDC_CFG_LOAD_FILE, IDC_CFG_SAVE_FILE, IDC_CFG_SAVE_EXIT, IDC_CFG_EXIT};
    // What lies in the cut-off column is hidden too, so no edge of it shows
    // in the margin.
    for (const ConfigField& f : ConfigFields())
        if (Host().ControlRect(f.id).left > smart.right) Show(f.id, false);
    const ui::Rect first = Host().ControlRect(buttons[0]);
    const int width = first.Width();
    const int gap = std::max(0, (line.right - line.left - 5 * width) / 4);
    for (int i = 0; i < 5; ++i) {
        ui::Rect r = Host().ControlRect(buttons[i]);
        const int left = line.left + i * (width + gap);
        Host().MoveControl(buttons[i], ui::Rect{left, r.top, left + width, r.bottom});
    }
}

void CConfigDlg::OnCommand(int id, int code) {
    if (code == ui::kEnChange) {
        if (id == IDC_CFG_VID || id == IDC_CFG_HSPID || id == IDC_CFG_SSPID || id == IDC_CFG_VENDOR ||
            id == IDC_CFG_HSPROD || id == IDC_CFG_SSPROD || id == IDC_CFG_SERIAL)
            LiveCheck(id);
        return;
    }
    if (code == ui::kEnKillFocus) {
        if (id == IDC_CFG_PGOOD) PowerGoodLostFocus();
        return;
    }
    if (code == ui::kCbnSelChange && (id == IDC_CFG_BREATH || id == IDC_CFG_SELF || id == IDC_CFG_BUS)) {
        OnListChanged(id);
        return;
    }
    if (code != ui::kBnClicked) return;
    switch (id) {
        case IDC_CFG_LOAD_XROM: LoadFromXrom(); break;
        case IDC_CFG_LOAD_FILE: m_page ? LoadPageFile() : LoadFromFile(); break;
        case IDC_CFG_SAVE_FILE: SaveToFile(); break;
        case IDC_CFG_SAVE_EXIT: SaveAndExit(); break;
        case IDC_CFG_EXIT: Exit(); break;
        default: OnClicked(id); break;
    }
}

void CConfigDlg::OnTimer(int id) {
    if (id != kReadTimer) return;
    KillTimer(kReadTimer);
    ReadHubAfterStart();
}

void CConfigDlg::SaveAndExit() {
    const int size = BlockSize();
    if (size == 0) {
        MessageBox("This hub type has no configuration block.", "Configurations",
                   ui::kMbSystemModal | ui::kMbIconError);
        return;
    }
    HubConfig c;
    if (!GatherConfig(c)) return;
    std::vector<uint8_t> encoded(static_cast<size_t>(size), 0);
    if (!EncodeConfig(c, Format(), encoded.data(), size)) return;
    m_block = encoded;
    MessageBox("EEP settings have been modified.", "Configurations", ui::kMbSystemModal | ui::kMbIconInformation);
    m_saved = 1;
    EndDialog(ui::kIdOk);
}

void CConfigDlg::Exit() { EndDialog(ui::kIdCancel); }

// Enter never ends the editor: a technician confirming a field must not
// leave it without saving.
void CConfigDlg::OnOK() {}

// Esc is Exit, but only while Exit may be pressed (not while the hub read is
// pending).
void CConfigDlg::OnCancel() {
    if (IsEnabled(IDC_CFG_EXIT) && IsVisible(IDC_CFG_EXIT)) Exit();
}

void CConfigDlg::OnClose() { OnCancel(); }

void CConfigDlg::OnDestroy() { m_isp.CloseDevice(); }
