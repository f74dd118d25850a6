#include "ui/win32/CStatusText.h"

#include <commctrl.h>

#include <cstring>

static_assert(ui::kSsCenter == SS_CENTER && ui::kSsRight == SS_RIGHT && ui::kSsTypeMask == SS_TYPEMASK &&
                  ui::kSsCenterImage == SS_CENTERIMAGE,
              "static styles");
static_assert(ui::kDtLeft == DT_LEFT && ui::kDtCenter == DT_CENTER && ui::kDtRight == DT_RIGHT &&
                  ui::kDtVCenter == DT_VCENTER && ui::kDtWordBreak == DT_WORDBREAK && ui::kDtSingleLine == DT_SINGLELINE,
              "DrawText formats");

namespace {
// Asks a status control for its Snapshot (lParam).
const UINT kQuerySnapshot = WM_APP + 0x3F1;

std::wstring Wide(const std::string& s) {
    if (s.empty()) return std::wstring();
    int n = MultiByteToWideChar(CP_ACP, 0, s.data(), static_cast<int>(s.size()), nullptr, 0);
    std::wstring w(static_cast<size_t>(n), L'\0');
    MultiByteToWideChar(CP_ACP, 0, s.data(), static_cast<int>(s.size()), &w[0], n);
    return w;
}
}  // namespace

CStatusText::CStatusText() : m_model(GetSysColor(COLOR_BTNTEXT), GetSysColor(COLOR_BTNFACE)) {
    m_brush = CreateSolidBrush(m_model.BkColor());
}

CStatusText::~CStatusText() {
    if (m_hwnd) RemoveWindowSubclass(m_hwnd, Proc, 0);
    if (m_font) DeleteObject(m_font);
    if (m_brush) DeleteObject(m_brush);
}

ui::FontSpec CStatusText::Spec(const LOGFONTA& lf) {
    ui::FontSpec f;
    f.face = lf.lfFaceName;
    f.height = lf.lfHeight;
    f.weight = lf.lfWeight;
    return f;
}

bool CStatusText::DialogFont(LOGFONTA& lf) const {
    // The font the window reports is the dialog's: this control never hands
    // its own font to the window.
    HFONT font = m_hwnd ? reinterpret_cast<HFONT>(SendMessageA(m_hwnd, WM_GETFONT, 0, 0)) : nullptr;
    if (!font) font = static_cast<HFONT>(GetStockObject(DEFAULT_GUI_FONT));
    if (!font) font = static_cast<HFONT>(GetStockObject(ANSI_VAR_FONT));
    std::memset(&lf, 0, sizeof lf);
    return font && GetObjectA(font, sizeof lf, &lf) != 0;
}

void CStatusText::ReplaceFont(const LOGFONTA& lf) {
    HFONT font = CreateFontIndirectA(&lf);
    if (!font) return;
    if (m_font) DeleteObject(m_font);
    m_font = font;
}

BOOL CStatusText::SubclassDlgItem(int id, HWND dialog) {
    HWND h = GetDlgItem(dialog, id);
    if (!h || m_hwnd) return FALSE;
    if (!SetWindowSubclass(h, Proc, 0, reinterpret_cast<DWORD_PTR>(this))) return FALSE;
    m_hwnd = h;
    LOGFONTA lf;
    if (DialogFont(lf)) {
        ReplaceFont(lf);
        m_model.Attach(Spec(lf));
    }
    return TRUE;
}

void CStatusText::Redraw(BOOL redraw) {
    if (redraw && m_hwnd) RedrawWindow(m_hwnd, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_UPDATENOW);
}

void CStatusText::SetText(const std::string& text) { m_model.SetText(text); }

void CStatusText::SetTextColor(COLORREF colour, BOOL redraw) {
    m_model.SetTextColor(colour);
    Redraw(redraw);
}

void CStatusText::SetBkColor(COLORREF colour, BOOL redraw) {
    m_model.SetBkColor(colour);
    HBRUSH brush = CreateSolidBrush(colour);
    if (brush) {
        if (m_brush) DeleteObject(m_brush);
        m_brush = brush;
    }
    Redraw(redraw);
}

void CStatusText::SetBold(BOOL bold, BOOL redraw) {
    LOGFONTA lf;
    DialogFont(lf);
    m_model.SetBold(bold != FALSE, Spec(lf));
    lf.lfWeight = bold ? FW_BOLD : FW_NORMAL;
    ReplaceFont(lf);
    Redraw(redraw);
}

void CStatusText::SetFont(const char* face, int points, BOOL redraw) {
    LOGFONTA dialogFont;
    DialogFont(dialogFont);
    HDC dc = GetDC(m_hwnd);
    int dpi = dc ? GetDeviceCaps(dc, LOGPIXELSY) : 96;
    if (dc) ReleaseDC(m_hwnd, dc);
    std::string name = face ? face : "";
    m_model.SetFont(name, points, dpi, Spec(dialogFont));

    LOGFONTA lf;
    if (name.empty()) {
        lf = dialogFont;
    } else {
        std::memset(&lf, 0, sizeof lf);
        std::strncpy(lf.lfFaceName, m_model.Font().face.c_str(), LF_FACESIZE - 1);
    }
    lf.lfHeight = m_model.Font().height;
    lf.lfWeight = m_model.Font().weight;
    ReplaceFont(lf);
    Redraw(redraw);
}

void CStatusText::Paint() {
    PAINTSTRUCT ps;
    HDC dc = BeginPaint(m_hwnd, &ps);
    int saved = SaveDC(dc);
    ::SetTextColor(dc, m_model.TextColor());
    ::SetBkColor(dc, m_model.BkColor());
    SetBkMode(dc, OPAQUE);
    SelectObject(dc, m_brush);
    RECT rc;
    GetClientRect(m_hwnd, &rc);
    if (m_font) SelectObject(dc, m_font);
    m_format = ui::StatusTextFormat(static_cast<uint32_t>(GetWindowLongA(m_hwnd, GWL_STYLE)));
    if (m_model.HasText()) DrawTextA(dc, m_model.Text().c_str(), -1, &rc, m_format);
    RestoreDC(dc, saved);
    EndPaint(m_hwnd, &ps);
    ++m_paints;
}

LRESULT CALLBACK CStatusText::Proc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam, UINT_PTR, DWORD_PTR selfPtr) {
    auto* self = reinterpret_cast<CStatusText*>(selfPtr);
    switch (msg) {
    case WM_PAINT:
        self->Paint();
        return 0;
    case WM_ERASEBKGND: {
        RECT rc;
        GetClientRect(hwnd, &rc);
        FillRect(reinterpret_cast<HDC>(wParam), &rc, self->m_brush);
        return TRUE;
    }
    // Reading the control gives what it shows, not its template caption.
    // (The control is a Unicode window: these arrive in UTF-16 then.)
    case WM_GETTEXTLENGTH:
        if (IsWindowUnicode(hwnd)) return static_cast<LRESULT>(Wide(self->m_model.Text()).size());
        return static_cast<LRESULT>(self->m_model.Text().size());
    case WM_GETTEXT: {
        if (wParam == 0) return 0;
        if (IsWindowUnicode(hwnd)) {
            std::wstring w = Wide(self->m_model.Text());
            size_t n = w.copy(reinterpret_cast<wchar_t*>(lParam), wParam - 1);
            reinterpret_cast<wchar_t*>(lParam)[n] = L'\0';
            return static_cast<LRESULT>(n);
        }
        size_t n = self->m_model.Text().copy(reinterpret_cast<char*>(lParam), wParam - 1);
        reinterpret_cast<char*>(lParam)[n] = '\0';
        return static_cast<LRESULT>(n);
    }
    case WM_NCDESTROY:
        RemoveWindowSubclass(hwnd, Proc, 0);
        self->m_hwnd = nullptr;
        break;
    default:
        if (msg == kQuerySnapshot) {
            auto* out = reinterpret_cast<Snapshot*>(lParam);
            out->model = self->m_model;
            std::memset(&out->font, 0, sizeof out->font);
            if (self->m_font) GetObjectA(self->m_font, sizeof out->font, &out->font);
            out->paints = self->m_paints;
            out->format = self->m_format;
            out->fontHandle = self->m_font;
            out->brushHandle = self->m_brush;
            return TRUE;
        }
        break;
    }
    return DefSubclassProc(hwnd, msg, wParam, lParam);
}

BOOL CStatusText::Query(HWND control, Snapshot* out) {
    return SendMessageA(control, kQuerySnapshot, 0, reinterpret_cast<LPARAM>(out)) == TRUE;
}
