// The controls of a dialog window in the Win32 backend: texts, states,
// lists and combo boxes, progress bars, edits, status lines, tool tips and
// tabs, each through the messages of its window class.
#include <windows.h>

#include <commctrl.h>

#include "ui/win32/Win32Host.h"

#include <cstring>
#include <string>
#include <vector>

namespace ui {
namespace win32 {

ControlKind Win32Host::Kind(int id) const {
    std::string cls = ClassOf(id);
    if (lstrcmpiA(cls.c_str(), "Button") == 0) {
        LONG type = GetWindowLongA(Item(id), GWL_STYLE) & BS_TYPEMASK;
        if (type == BS_CHECKBOX || type == BS_AUTOCHECKBOX || type == BS_3STATE || type == BS_AUTO3STATE)
            return ControlKind::CheckBox;
        if (type == BS_RADIOBUTTON || type == BS_AUTORADIOBUTTON) return ControlKind::RadioButton;
        if (type == BS_GROUPBOX) return ControlKind::GroupBox;
        return ControlKind::Button;
    }
    if (lstrcmpiA(cls.c_str(), "Static") == 0) return ControlKind::Static;
    if (lstrcmpiA(cls.c_str(), "Edit") == 0) return ControlKind::Edit;
    if (lstrcmpiA(cls.c_str(), "ListBox") == 0) return ControlKind::ListBox;
    if (lstrcmpiA(cls.c_str(), "ComboBox") == 0) return ControlKind::ComboBox;
    if (lstrcmpiA(cls.c_str(), PROGRESS_CLASSA) == 0) return ControlKind::Progress;
    if (lstrcmpiA(cls.c_str(), WC_TABCONTROLA) == 0) return ControlKind::Tab;
    return ControlKind::Other;
}

bool Win32Host::SetText(int id, const std::string& text) {
    if (CStatusText* s = StatusOf(id)) {
        s->SetText(text);
        return true;
    }
    return SetDlgItemTextA(m_hwnd, id, text.c_str()) != FALSE;
}

std::string Win32Host::GetText(int id) const {
    if (CStatusText* s = StatusOf(id)) return s->State().Text();
    HWND h = Item(id);
    if (!h) return std::string();
    int n = GetWindowTextLengthA(h);
    std::vector<char> buf(static_cast<size_t>(n) + 1);
    GetWindowTextA(h, buf.data(), n + 1);
    return buf.data();
}

bool Win32Host::Enable(int id, bool enable) {
    HWND h = Item(id);
    if (h) ::EnableWindow(h, enable);
    return h != nullptr;
}

bool Win32Host::IsEnabled(int id) const {
    HWND h = Item(id);
    return h && ::IsWindowEnabled(h);
}

bool Win32Host::Show(int id, bool show) {
    HWND h = Item(id);
    if (h) ::ShowWindow(h, show ? SW_SHOW : SW_HIDE);
    return h != nullptr;
}

bool Win32Host::IsVisible(int id) const {
    HWND h = Item(id);
    return h && (GetWindowLongA(h, GWL_STYLE) & WS_VISIBLE);
}

bool Win32Host::SetCheck(int id, int state) { return CheckDlgButton(m_hwnd, id, static_cast<UINT>(state)) != FALSE; }

int Win32Host::GetCheck(int id) const { return static_cast<int>(IsDlgButtonChecked(m_hwnd, id)); }

bool Win32Host::CheckRadio(int first, int last, int id) { return CheckRadioButton(m_hwnd, first, last, id) != FALSE; }

bool Win32Host::SetFocus(int id) {
    HWND h = Item(id);
    if (!h) return false;
    SendMessageA(m_hwnd, WM_NEXTDLGCTL, reinterpret_cast<WPARAM>(h), TRUE);
    return true;
}

int Win32Host::Focus() const {
    HWND f = GetFocus();
    while (f && GetParent(f) != m_hwnd) f = GetParent(f);
    return f ? GetDlgCtrlID(f) : 0;
}

int Win32Host::AddItem(int id, const std::string& text) {
    UINT msg = IsCombo(id) ? CB_ADDSTRING : LB_ADDSTRING;
    LRESULT r = SendDlgItemMessageA(m_hwnd, id, msg, 0, reinterpret_cast<LPARAM>(text.c_str()));
    return r < 0 ? -1 : static_cast<int>(r);
}

bool Win32Host::ClearItems(int id) {
    if (!Item(id)) return false;
    SendDlgItemMessageA(m_hwnd, id, IsCombo(id) ? CB_RESETCONTENT : LB_RESETCONTENT, 0, 0);
    return true;
}

int Win32Host::ItemCount(int id) const {
    LRESULT r = SendDlgItemMessageA(m_hwnd, id, IsCombo(id) ? CB_GETCOUNT : LB_GETCOUNT, 0, 0);
    return r < 0 ? 0 : static_cast<int>(r);
}

std::string Win32Host::ItemText(int id, int index) const {
    bool combo = IsCombo(id);
    LRESULT n = SendDlgItemMessageA(m_hwnd, id, combo ? CB_GETLBTEXTLEN : LB_GETTEXTLEN, index, 0);
    if (n < 0) return std::string();
    std::vector<char> buf(static_cast<size_t>(n) + 1);
    SendDlgItemMessageA(m_hwnd, id, combo ? CB_GETLBTEXT : LB_GETTEXT, index, reinterpret_cast<LPARAM>(buf.data()));
    return buf.data();
}

bool Win32Host::SetSelection(int id, int index) {
    LRESULT r = SendDlgItemMessageA(m_hwnd, id, IsCombo(id) ? CB_SETCURSEL : LB_SETCURSEL, index, 0);
    return index == -1 || r != -1;
}

int Win32Host::Selection(int id) const {
    return static_cast<int>(SendDlgItemMessageA(m_hwnd, id, IsCombo(id) ? CB_GETCURSEL : LB_GETCURSEL, 0, 0));
}

bool Win32Host::SetRange(int id, int low, int high) {
    if (!Item(id)) return false;
    SendDlgItemMessageA(m_hwnd, id, PBM_SETRANGE32, low, high);
    return true;
}

bool Win32Host::SetPos(int id, int pos) {
    if (!Item(id)) return false;
    SendDlgItemMessageA(m_hwnd, id, PBM_SETPOS, pos, 0);
    return true;
}

bool Win32Host::SetStep(int id, int step) {
    if (!Item(id)) return false;
    SendDlgItemMessageA(m_hwnd, id, PBM_SETSTEP, step, 0);
    return true;
}

bool Win32Host::StepIt(int id) {
    if (!Item(id)) return false;
    SendDlgItemMessageA(m_hwnd, id, PBM_STEPIT, 0, 0);
    return true;
}

int Win32Host::Pos(int id) const { return static_cast<int>(SendDlgItemMessageA(m_hwnd, id, PBM_GETPOS, 0, 0)); }

bool Win32Host::SetLimit(int id, int chars) {
    if (!Item(id)) return false;
    SendDlgItemMessageA(m_hwnd, id, EM_LIMITTEXT, chars, 0);
    return true;
}

int Win32Host::Limit(int id) const { return static_cast<int>(SendDlgItemMessageA(m_hwnd, id, EM_GETLIMITTEXT, 0, 0)); }

bool Win32Host::SetModified(int id, bool modified) {
    if (!Item(id)) return false;
    SendDlgItemMessageA(m_hwnd, id, EM_SETMODIFY, modified, 0);
    return true;
}

bool Win32Host::IsModified(int id) const { return SendDlgItemMessageA(m_hwnd, id, EM_GETMODIFY, 0, 0) != 0; }

bool Win32Host::SetReadOnly(int id, bool readOnly) {
    return Item(id) && SendDlgItemMessageA(m_hwnd, id, EM_SETREADONLY, readOnly, 0);
}

bool Win32Host::IsReadOnly(int id) const {
    HWND h = Item(id);
    return h && (GetWindowLongA(h, GWL_STYLE) & ES_READONLY);
}

bool Win32Host::AttachStatusText(int id) {
    if (StatusOf(id)) return true;
    auto s = std::make_unique<CStatusText>();
    if (!s->SubclassDlgItem(id, m_hwnd)) return false;
    m_status[id] = std::move(s);
    return true;
}

bool Win32Host::StatusSetTextColor(int id, uint32_t colour, bool redraw) {
    CStatusText* s = StatusOf(id);
    if (s) s->SetTextColor(colour, redraw);
    return s != nullptr;
}

bool Win32Host::StatusSetBkColor(int id, uint32_t colour, bool redraw) {
    CStatusText* s = StatusOf(id);
    if (s) s->SetBkColor(colour, redraw);
    return s != nullptr;
}

bool Win32Host::StatusSetBold(int id, bool bold, bool redraw) {
    CStatusText* s = StatusOf(id);
    if (s) s->SetBold(bold, redraw);
    return s != nullptr;
}

bool Win32Host::StatusSetFont(int id, const std::string& face, int points, bool redraw) {
    CStatusText* s = StatusOf(id);
    if (s) s->SetFont(face.c_str(), points, redraw);
    return s != nullptr;
}

bool Win32Host::StatusState(int id, StatusTextModel& out) const {
    CStatusText* s = StatusOf(id);
    if (s) out = s->State();
    return s != nullptr;
}

bool Win32Host::AddToolTip(int id, const std::string& text, int showMs) {
    HWND h = Item(id);
    if (!h) return false;
    if (!m_toolTip) {
        m_toolTip = CreateWindowExA(0, TOOLTIPS_CLASSA, nullptr, WS_POPUP | TTS_ALWAYSTIP, CW_USEDEFAULT,
                                    CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, m_hwnd, nullptr, m_instance, nullptr);
        if (!m_toolTip) return false;
    }
    m_tipTexts.push_back(text);
    TTTOOLINFOA ti;
    std::memset(&ti, 0, sizeof ti);
    ti.cbSize = TTTOOLINFOA_V2_SIZE;
    ti.uFlags = TTF_IDISHWND | TTF_SUBCLASS;
    ti.hwnd = m_hwnd;
    ti.uId = reinterpret_cast<UINT_PTR>(h);
    ti.lpszText = const_cast<char*>(m_tipTexts.back().c_str());
    bool ok = SendMessageA(m_toolTip, TTM_ADDTOOLA, 0, reinterpret_cast<LPARAM>(&ti)) != 0;
    SendMessageA(m_toolTip, TTM_SETDELAYTIME, TTDT_AUTOPOP, MAKELPARAM(showMs, 0));
    return ok;
}

int Win32Host::TabInsert(int id, int index, const std::string& text) {
    TCITEMA item;
    std::memset(&item, 0, sizeof item);
    item.mask = TCIF_TEXT;
    item.pszText = const_cast<char*>(text.c_str());
    return static_cast<int>(SendDlgItemMessageA(m_hwnd, id, TCM_INSERTITEMA, index, reinterpret_cast<LPARAM>(&item)));
}

bool Win32Host::TabDeleteAll(int id) { return SendDlgItemMessageA(m_hwnd, id, TCM_DELETEALLITEMS, 0, 0) != 0; }

int Win32Host::TabCount(int id) const {
    return static_cast<int>(SendDlgItemMessageA(m_hwnd, id, TCM_GETITEMCOUNT, 0, 0));
}

std::string Win32Host::TabText(int id, int index) const {
    char buf[256] = "";
    TCITEMA item;
    std::memset(&item, 0, sizeof item);
    item.mask = TCIF_TEXT;
    item.pszText = buf;
    item.cchTextMax = sizeof buf;
    SendDlgItemMessageA(m_hwnd, id, TCM_GETITEMA, index, reinterpret_cast<LPARAM>(&item));
    return buf;
}

bool Win32Host::TabSelect(int id, int index) { return SendDlgItemMessageA(m_hwnd, id, TCM_SETCURSEL, index, 0) != -1; }

int Win32Host::TabSelection(int id) const {
    return static_cast<int>(SendDlgItemMessageA(m_hwnd, id, TCM_GETCURSEL, 0, 0));
}

Rect Win32Host::TabDisplayRect(int id) const {
    HWND h = Item(id);
    RECT r{};
    if (!h) return Rect();
    GetWindowRect(h, &r);
    MapWindowPoints(nullptr, m_hwnd, reinterpret_cast<POINT*>(&r), 2);
    SendMessageA(h, TCM_ADJUSTRECT, FALSE, reinterpret_cast<LPARAM>(&r));
    return FromRect(r);
}

}  // namespace win32
}  // namespace ui
