#include <windows.h>

#include <commctrl.h>
#include <commdlg.h>
#include <dbt.h>

#include "ui/win32/Win32Dialog.h"

#include <cstring>
#include <deque>
#include <map>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

#include "ui/toolkit/device_events.h"
#include "ui/toolkit/executor.h"
#include "ui/win32/CStatusText.h"

// The mirrored values dialog code uses must be the system's.
static_assert(ui::kIdOk == IDOK && ui::kIdCancel == IDCANCEL && ui::kIdYes == IDYES && ui::kIdNo == IDNO, "ids");
static_assert(ui::kMbYesNo == MB_YESNO && ui::kMbIconError == MB_ICONERROR && ui::kMbSystemModal == MB_SYSTEMMODAL &&
                  ui::kMbIconInformation == MB_ICONINFORMATION && ui::kMbIconWarning == MB_ICONWARNING &&
                  ui::kMbTypeMask == MB_TYPEMASK,
              "message box styles");
static_assert(ui::kEnChange == EN_CHANGE && ui::kEnKillFocus == EN_KILLFOCUS && ui::kCbnSelChange == CBN_SELCHANGE &&
                  ui::kLbnSelChange == LBN_SELCHANGE && ui::kBnClicked == BN_CLICKED,
              "notification codes");
static_assert(ui::kTcnSelChange == static_cast<int>(TCN_SELCHANGE), "tab notification");
static_assert(ui::kWmUser == WM_USER && ui::kScClose == SC_CLOSE, "messages");
static_assert(ui::kDbtDeviceArrival == DBT_DEVICEARRIVAL && ui::kDbtDeviceRemoveComplete == DBT_DEVICEREMOVECOMPLETE &&
                  ui::kDbtDevNodesChanged == DBT_DEVNODES_CHANGED && ui::kDbtDevtypVolume == DBT_DEVTYP_VOLUME &&
                  ui::kDbtDevtypDeviceInterface == DBT_DEVTYP_DEVICEINTERFACE,
              "device change");
static_assert(ui::kOfnOverwritePrompt == OFN_OVERWRITEPROMPT && ui::kOfnHideReadOnly == OFN_HIDEREADONLY &&
                  ui::kOfnFileMustExist == OFN_FILEMUSTEXIST && ui::kOfnPathMustExist == OFN_PATHMUSTEXIST,
              "file dialog flags");

namespace ui {
namespace win32 {

namespace {

// Runs the next piece of work posted to the dialog's thread.
const UINT kRunPosted = WM_APP + 0x3F0;
// A device notification raised inside the process (the bench's hot plug):
// wParam the event, lParam the device type.
const UINT kDeviceEventPosted = WM_APP + 0x3F1;
// Private messages handed to the dialog: WM_USER + 16 up to WM_APP (below
// are the dialog manager's own DM_* messages).
const UINT kPrivateFirst = WM_USER + 16;

class Win32Host;
INT_PTR CALLBACK DlgProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam);

std::mutex g_windowsMutex;
std::map<const Dialog*, HWND> g_windows;

class Win32Host : public DialogHost {
public:
    Win32Host(HINSTANCE instance, Dialog& dialog, Win32Host* parent, Executor& executor)
        : m_instance(instance), m_dialog(dialog), m_parent(parent), m_executor(executor),
          m_thread(std::this_thread::get_id()) {}

    ~Win32Host() override {
        if (m_hwnd && IsWindow(m_hwnd)) DestroyWindow(m_hwnd);
    }

    HWND m_hwnd = nullptr;
    HINSTANCE m_instance;
    Dialog& m_dialog;
    Win32Host* m_parent;
    Executor& m_executor;
    std::thread::id m_thread;
    std::map<int, std::unique_ptr<CStatusText>> m_status;
    std::vector<std::unique_ptr<Win32Host>> m_pages;
    std::vector<std::string> m_tipTexts;
    HWND m_toolTip = nullptr;
    HDEVNOTIFY m_notify = nullptr;
    int m_deviceEvents = 0;
    std::mutex m_queueMutex;
    std::deque<std::function<void()>> m_queue;
    bool m_closed = false;

    HWND Item(int id) const { return m_hwnd ? GetDlgItem(m_hwnd, id) : nullptr; }
    CStatusText* StatusOf(int id) const {
        auto it = m_status.find(id);
        return it == m_status.end() ? nullptr : it->second.get();
    }
    std::string ClassOf(int id) const {
        char name[64] = "";
        HWND h = Item(id);
        if (h) GetClassNameA(h, name, sizeof name);
        return name;
    }

    void Created(HWND hwnd) {
        m_hwnd = hwnd;
        std::lock_guard<std::mutex> lock(g_windowsMutex);
        g_windows[&m_dialog] = hwnd;
    }

    void RunPosted() {
        std::function<void()> fn;
        {
            std::lock_guard<std::mutex> lock(m_queueMutex);
            if (m_queue.empty()) return;
            fn = std::move(m_queue.front());
            m_queue.pop_front();
        }
        fn();
    }

    void Destroyed() {
        for (auto& p : m_pages)
            if (p->m_hwnd && IsWindow(p->m_hwnd)) DestroyWindow(p->m_hwnd);
        m_dialog.DispatchDestroy();
        {
            std::lock_guard<std::mutex> lock(m_queueMutex);
            m_closed = true;
            m_queue.clear();
        }
        if (m_notify) UnregisterDeviceNotification(m_notify);
        m_notify = nullptr;
        if (m_deviceEvents) UnsubscribeDeviceEvents(m_deviceEvents);
        m_deviceEvents = 0;
        if (m_toolTip) DestroyWindow(m_toolTip);
        m_toolTip = nullptr;
        std::lock_guard<std::mutex> lock(g_windowsMutex);
        g_windows.erase(&m_dialog);
    }

    // --- DialogHost -----------------------------------------------------------
    int TemplateId() const override { return m_dialog.TemplateId(); }
    bool HasControl(int id) const override { return Item(id) != nullptr; }

    ControlKind Kind(int id) const override {
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

    void SetCaption(const std::string& text) override { SetWindowTextA(m_hwnd, text.c_str()); }
    std::string Caption() const override {
        char buf[512] = "";
        GetWindowTextA(m_hwnd, buf, sizeof buf);
        return buf;
    }
    void EnableWindow(bool enable) override { ::EnableWindow(m_hwnd, enable); }
    bool IsWindowEnabled() const override { return ::IsWindowEnabled(m_hwnd) != FALSE; }
    void ShowWindow(bool show) override { ::ShowWindow(m_hwnd, show ? SW_SHOW : SW_HIDE); }
    bool IsWindowVisible() const override { return (GetWindowLongA(m_hwnd, GWL_STYLE) & WS_VISIBLE) != 0; }
    void Redraw() override {
        RedrawWindow(m_hwnd, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_UPDATENOW | RDW_ALLCHILDREN);
    }
    void RepaintControls(const std::vector<int>& ids) override {
        // Each control erases and paints itself; the dialog behind stays.
        for (int id : ids) {
            HWND h = Item(id);
            if (h) RedrawWindow(h, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_UPDATENOW);
        }
    }

    static Rect FromRect(const RECT& r) { return Rect{r.left, r.top, r.right, r.bottom}; }
    Rect WindowRect() const override {
        RECT r{};
        GetWindowRect(m_hwnd, &r);
        if (m_parent) MapWindowPoints(nullptr, m_parent->m_hwnd, reinterpret_cast<POINT*>(&r), 2);
        return FromRect(r);
    }
    Rect ClientRect() const override {
        RECT r{};
        GetClientRect(m_hwnd, &r);
        return FromRect(r);
    }
    bool SetWindowSize(int width, int height) override {
        return SetWindowPos(m_hwnd, nullptr, 0, 0, width, height, SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE) != FALSE;
    }
    bool MoveWindow(const Rect& r) override {
        return ::MoveWindow(m_hwnd, r.left, r.top, r.Width(), r.Height(), TRUE) != FALSE;
    }
    Rect ControlRect(int id) const override {
        HWND h = Item(id);
        RECT r{};
        if (!h) return Rect();
        GetWindowRect(h, &r);
        MapWindowPoints(nullptr, m_hwnd, reinterpret_cast<POINT*>(&r), 2);
        return FromRect(r);
    }
    Rect ControlScreenRect(int id) const override {
        HWND h = Item(id);
        RECT r{};
        if (h) GetWindowRect(h, &r);
        return FromRect(r);
    }
    bool MoveControl(int id, const Rect& r) override {
        HWND h = Item(id);
        return h && ::MoveWindow(h, r.left, r.top, r.Width(), r.Height(), TRUE);
    }
    void SetIcon(int resourceId) override {
        HICON big = static_cast<HICON>(LoadImageA(m_instance, MAKEINTRESOURCEA(resourceId), IMAGE_ICON,
                                                  GetSystemMetrics(SM_CXICON), GetSystemMetrics(SM_CYICON), 0));
        HICON small = static_cast<HICON>(LoadImageA(m_instance, MAKEINTRESOURCEA(resourceId), IMAGE_ICON,
                                                    GetSystemMetrics(SM_CXSMICON), GetSystemMetrics(SM_CYSMICON), 0));
        if (big) SendMessageA(m_hwnd, WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(big));
        if (small) SendMessageA(m_hwnd, WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(small));
    }
    bool AppendSystemMenu(uint32_t command, const std::string& text) override {
        HMENU menu = GetSystemMenu(m_hwnd, FALSE);
        return menu && AppendMenuA(menu, MF_SEPARATOR, 0, nullptr) && AppendMenuA(menu, MF_STRING, command, text.c_str());
    }
    bool EnableSystemMenuItem(uint32_t command, bool enable) override {
        HMENU menu = GetSystemMenu(m_hwnd, FALSE);
        return menu && EnableMenuItem(menu, command, MF_BYCOMMAND | (enable ? MF_ENABLED : MF_GRAYED)) != -1;
    }

    bool SetText(int id, const std::string& text) override {
        if (CStatusText* s = StatusOf(id)) {
            s->SetText(text);
            return true;
        }
        return SetDlgItemTextA(m_hwnd, id, text.c_str()) != FALSE;
    }
    std::string GetText(int id) const override {
        if (CStatusText* s = StatusOf(id)) return s->State().Text();
        HWND h = Item(id);
        if (!h) return std::string();
        int n = GetWindowTextLengthA(h);
        std::vector<char> buf(static_cast<size_t>(n) + 1);
        GetWindowTextA(h, buf.data(), n + 1);
        return buf.data();
    }
    bool Enable(int id, bool enable) override {
        HWND h = Item(id);
        if (h) ::EnableWindow(h, enable);
        return h != nullptr;
    }
    bool IsEnabled(int id) const override {
        HWND h = Item(id);
        return h && ::IsWindowEnabled(h);
    }
    bool Show(int id, bool show) override {
        HWND h = Item(id);
        if (h) ::ShowWindow(h, show ? SW_SHOW : SW_HIDE);
        return h != nullptr;
    }
    bool IsVisible(int id) const override {
        HWND h = Item(id);
        return h && (GetWindowLongA(h, GWL_STYLE) & WS_VISIBLE);
    }
    bool SetCheck(int id, int state) override { return CheckDlgButton(m_hwnd, id, static_cast<UINT>(state)) != FALSE; }
    int GetCheck(int id) const override { return static_cast<int>(IsDlgButtonChecked(m_hwnd, id)); }
    bool CheckRadio(int first, int last, int id) override { return CheckRadioButton(m_hwnd, first, last, id) != FALSE; }
    bool SetFocus(int id) override {
        HWND h = Item(id);
        if (!h) return false;
        SendMessageA(m_hwnd, WM_NEXTDLGCTL, reinterpret_cast<WPARAM>(h), TRUE);
        return true;
    }
    int Focus() const override {
        HWND f = GetFocus();
        while (f && GetParent(f) != m_hwnd) f = GetParent(f);
        return f ? GetDlgCtrlID(f) : 0;
    }

    bool IsCombo(int id) const { return Kind(id) == ControlKind::ComboBox; }
    int AddItem(int id, const std::string& text) override {
        UINT msg = IsCombo(id) ? CB_ADDSTRING : LB_ADDSTRING;
        LRESULT r = SendDlgItemMessageA(m_hwnd, id, msg, 0, reinterpret_cast<LPARAM>(text.c_str()));
        return r < 0 ? -1 : static_cast<int>(r);
    }
    bool ClearItems(int id) override {
        if (!Item(id)) return false;
        SendDlgItemMessageA(m_hwnd, id, IsCombo(id) ? CB_RESETCONTENT : LB_RESETCONTENT, 0, 0);
        return true;
    }
    int ItemCount(int id) const override {
        LRESULT r = SendDlgItemMessageA(m_hwnd, id, IsCombo(id) ? CB_GETCOUNT : LB_GETCOUNT, 0, 0);
        return r < 0 ? 0 : static_cast<int>(r);
    }
    std::string ItemText(int id, int index) const override {
        bool combo = IsCombo(id);
        LRESULT n = SendDlgItemMessageA(m_hwnd, id, combo ? CB_GETLBTEXTLEN : LB_GETTEXTLEN, index, 0);
        if (n < 0) return std::string();
        std::vector<char> buf(static_cast<size_t>(n) + 1);
        SendDlgItemMessageA(m_hwnd, id, combo ? CB_GETLBTEXT : LB_GETTEXT, index, reinterpret_cast<LPARAM>(buf.data()));
        return buf.data();
    }
    bool SetSelection(int id, int index) override {
        LRESULT r = SendDlgItemMessageA(m_hwnd, id, IsCombo(id) ? CB_SETCURSEL : LB_SETCURSEL, index, 0);
        return index == -1 || r != -1;
    }
    int Selection(int id) const override {
        return static_cast<int>(SendDlgItemMessageA(m_hwnd, id, IsCombo(id) ? CB_GETCURSEL : LB_GETCURSEL, 0, 0));
    }

    bool SetRange(int id, int low, int high) override {
        if (!Item(id)) return false;
        SendDlgItemMessageA(m_hwnd, id, PBM_SETRANGE32, low, high);
        return true;
    }
    bool SetPos(int id, int pos) override {
        if (!Item(id)) return false;
        SendDlgItemMessageA(m_hwnd, id, PBM_SETPOS, pos, 0);
        return true;
    }
    bool SetStep(int id, int step) override {
        if (!Item(id)) return false;
        SendDlgItemMessageA(m_hwnd, id, PBM_SETSTEP, step, 0);
        return true;
    }
    bool StepIt(int id) override {
        if (!Item(id)) return false;
        SendDlgItemMessageA(m_hwnd, id, PBM_STEPIT, 0, 0);
        return true;
    }
    int Pos(int id) const override { return static_cast<int>(SendDlgItemMessageA(m_hwnd, id, PBM_GETPOS, 0, 0)); }

    bool SetLimit(int id, int chars) override {
        if (!Item(id)) return false;
        SendDlgItemMessageA(m_hwnd, id, EM_LIMITTEXT, chars, 0);
        return true;
    }
    int Limit(int id) const override { return static_cast<int>(SendDlgItemMessageA(m_hwnd, id, EM_GETLIMITTEXT, 0, 0)); }
    bool SetModified(int id, bool modified) override {
        if (!Item(id)) return false;
        SendDlgItemMessageA(m_hwnd, id, EM_SETMODIFY, modified, 0);
        return true;
    }
    bool IsModified(int id) const override { return SendDlgItemMessageA(m_hwnd, id, EM_GETMODIFY, 0, 0) != 0; }
    bool SetReadOnly(int id, bool readOnly) override {
        return Item(id) && SendDlgItemMessageA(m_hwnd, id, EM_SETREADONLY, readOnly, 0);
    }
    bool IsReadOnly(int id) const override {
        HWND h = Item(id);
        return h && (GetWindowLongA(h, GWL_STYLE) & ES_READONLY);
    }

    bool AttachStatusText(int id) override {
        if (StatusOf(id)) return true;
        auto s = std::make_unique<CStatusText>();
        if (!s->SubclassDlgItem(id, m_hwnd)) return false;
        m_status[id] = std::move(s);
        return true;
    }
    bool StatusSetTextColor(int id, uint32_t colour, bool redraw) override {
        CStatusText* s = StatusOf(id);
        if (s) s->SetTextColor(colour, redraw);
        return s != nullptr;
    }
    bool StatusSetBkColor(int id, uint32_t colour, bool redraw) override {
        CStatusText* s = StatusOf(id);
        if (s) s->SetBkColor(colour, redraw);
        return s != nullptr;
    }
    bool StatusSetBold(int id, bool bold, bool redraw) override {
        CStatusText* s = StatusOf(id);
        if (s) s->SetBold(bold, redraw);
        return s != nullptr;
    }
    bool StatusSetFont(int id, const std::string& face, int points, bool redraw) override {
        CStatusText* s = StatusOf(id);
        if (s) s->SetFont(face.c_str(), points, redraw);
        return s != nullptr;
    }
    bool StatusState(int id, StatusTextModel& out) const override {
        CStatusText* s = StatusOf(id);
        if (s) out = s->State();
        return s != nullptr;
    }

    bool AddToolTip(int id, const std::string& text, int showMs) override {
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

    int TabInsert(int id, int index, const std::string& text) override {
        TCITEMA item;
        std::memset(&item, 0, sizeof item);
        item.mask = TCIF_TEXT;
        item.pszText = const_cast<char*>(text.c_str());
        return static_cast<int>(SendDlgItemMessageA(m_hwnd, id, TCM_INSERTITEMA, index, reinterpret_cast<LPARAM>(&item)));
    }
    bool TabDeleteAll(int id) override { return SendDlgItemMessageA(m_hwnd, id, TCM_DELETEALLITEMS, 0, 0) != 0; }
    int TabCount(int id) const override { return static_cast<int>(SendDlgItemMessageA(m_hwnd, id, TCM_GETITEMCOUNT, 0, 0)); }
    std::string TabText(int id, int index) const override {
        char buf[256] = "";
        TCITEMA item;
        std::memset(&item, 0, sizeof item);
        item.mask = TCIF_TEXT;
        item.pszText = buf;
        item.cchTextMax = sizeof buf;
        SendDlgItemMessageA(m_hwnd, id, TCM_GETITEMA, index, reinterpret_cast<LPARAM>(&item));
        return buf;
    }
    bool TabSelect(int id, int index) override { return SendDlgItemMessageA(m_hwnd, id, TCM_SETCURSEL, index, 0) != -1; }
    int TabSelection(int id) const override { return static_cast<int>(SendDlgItemMessageA(m_hwnd, id, TCM_GETCURSEL, 0, 0)); }
    Rect TabDisplayRect(int id) const override {
        HWND h = Item(id);
        RECT r{};
        if (!h) return Rect();
        GetWindowRect(h, &r);
        MapWindowPoints(nullptr, m_hwnd, reinterpret_cast<POINT*>(&r), 2);
        SendMessageA(h, TCM_ADJUSTRECT, FALSE, reinterpret_cast<LPARAM>(&r));
        return FromRect(r);
    }

    bool SetTimer(int id, unsigned ms) override { return ::SetTimer(m_hwnd, static_cast<UINT_PTR>(id), ms, nullptr) != 0; }
    bool KillTimer(int id) override { return ::KillTimer(m_hwnd, static_cast<UINT_PTR>(id)) != FALSE; }

    int MessageBox(const std::string& text, const std::string& caption, uint32_t style) override {
        return MessageBoxA(m_hwnd, text.c_str(), caption.c_str(), style);
    }

    FileResult FileDialog(const FileRequest& request) override {
        std::string filter = request.filter;
        for (auto& c : filter)
            if (c == '|') c = '\0';
        filter.push_back('\0');
        std::vector<char> buf(static_cast<size_t>(request.bufferSize > 0 ? request.bufferSize : MAX_PATH), '\0');
        std::strncpy(buf.data(), request.fileName.c_str(), buf.size() - 1);
        OPENFILENAMEA ofn;
        std::memset(&ofn, 0, sizeof ofn);
        ofn.lStructSize = sizeof ofn;
        ofn.hwndOwner = m_hwnd;
        ofn.lpstrFilter = filter.c_str();
        ofn.nFilterIndex = 1;
        ofn.lpstrFile = buf.data();
        ofn.nMaxFile = static_cast<DWORD>(buf.size());
        ofn.lpstrDefExt = request.defaultExt.empty() ? nullptr : request.defaultExt.c_str();
        ofn.lpstrInitialDir = request.initialDir.empty() ? nullptr : request.initialDir.c_str();
        ofn.lpstrTitle = request.title.empty() ? nullptr : request.title.c_str();
        ofn.Flags = request.flags | OFN_EXPLORER;
        BOOL ok = request.save ? GetSaveFileNameA(&ofn) : GetOpenFileNameA(&ofn);
        if (!ok) return FileResult();
        return MakeFileResult(buf.data(), static_cast<int>(ofn.nFilterIndex));
    }

    void EndDialog(int result) override {
        if (m_parent) {
            m_parent->EndDialog(result);
            return;
        }
        ::EndDialog(m_hwnd, result);
    }

    int RunModal(Dialog& child) override;

    DialogHost* CreatePage(Dialog& page) override {
        auto p = std::make_unique<Win32Host>(m_instance, page, this, m_executor);
        HWND h = CreateDialogParamA(m_instance, MAKEINTRESOURCEA(page.TemplateId()), m_hwnd, DlgProc,
                                    reinterpret_cast<LPARAM>(p.get()));
        if (!h) return nullptr;
        m_pages.push_back(std::move(p));
        return m_pages.back().get();
    }
    void DestroyPage(Dialog& page) override {
        for (auto it = m_pages.begin(); it != m_pages.end(); ++it) {
            if (&(*it)->m_dialog == &page) {
                if ((*it)->m_hwnd && IsWindow((*it)->m_hwnd)) DestroyWindow((*it)->m_hwnd);
                m_pages.erase(it);
                return;
            }
        }
    }

    intptr_t SendMessage(uint32_t msg, uintptr_t wParam, intptr_t lParam) override {
        return m_dialog.DispatchMessage(msg, wParam, lParam);
    }
    void PostMessage(uint32_t msg, uintptr_t wParam, intptr_t lParam) override {
        ::PostMessageA(m_hwnd, msg, wParam, lParam);
    }
    bool RegisterDeviceNotification(const tessaro::Guid& g) override {
        DEV_BROADCAST_DEVICEINTERFACE_A filter;
        std::memset(&filter, 0, sizeof filter);
        filter.dbcc_size = sizeof filter;
        filter.dbcc_devicetype = DBT_DEVTYP_DEVICEINTERFACE;
        static_assert(sizeof(GUID) == sizeof(tessaro::Guid), "GUID layout");
        std::memcpy(&filter.dbcc_classguid, &g, sizeof(GUID));
        // The events raised in the process come as a posted message, so
        // that they meet the window on its own thread (or nothing at all
        // once it is gone).
        HWND hwnd = m_hwnd;
        if (m_deviceEvents) UnsubscribeDeviceEvents(m_deviceEvents);
        m_deviceEvents = SubscribeDeviceEvents(g, [hwnd](uint32_t event, int32_t type) {
            ::PostMessageA(hwnd, kDeviceEventPosted, event, static_cast<LPARAM>(type));
        });
        HDEVNOTIFY n = RegisterDeviceNotificationA(m_hwnd, &filter, DEVICE_NOTIFY_WINDOW_HANDLE);
        if (!n) return false;
        if (m_notify) UnregisterDeviceNotification(m_notify);
        m_notify = n;
        return true;
    }

    void Post(std::function<void()> fn) override {
        std::lock_guard<std::mutex> lock(m_queueMutex);
        if (m_closed || !m_hwnd) return;
        m_queue.push_back(std::move(fn));
        ::PostMessageA(m_hwnd, kRunPosted, 0, 0);
    }
    void StartWorker(std::function<void()> fn) override { m_executor.Start(std::move(fn)); }
    bool OnDialogThread() const override { return std::this_thread::get_id() == m_thread; }
};

int RunDialog(HINSTANCE instance, Dialog& dialog, Win32Host* owner) {
    ThreadExecutor workers;
    int result;
    {
        Win32Host host(instance, dialog, nullptr, workers);
        INT_PTR r = DialogBoxParamA(instance, MAKEINTRESOURCEA(dialog.TemplateId()), owner ? owner->m_hwnd : nullptr,
                                    DlgProc, reinterpret_cast<LPARAM>(&host));
        result = static_cast<int>(r);
        host.m_hwnd = nullptr;
    }
    // A worker still running when its window went away has every wait
    // answered and every effect dropped; it ends on its own.
    workers.JoinAll();
    return result;
}

int Win32Host::RunModal(Dialog& child) { return RunDialog(m_instance, child, this); }

INT_PTR CALLBACK DlgProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    if (msg == WM_INITDIALOG) {
        auto* host = reinterpret_cast<Win32Host*>(lParam);
        SetWindowLongPtrA(hwnd, GWLP_USERDATA, lParam);
        host->m_hwnd = hwnd;
        BOOL focus = host->m_dialog.DispatchInit(*host, host->m_parent ? &host->m_parent->m_dialog : nullptr);
        host->Created(hwnd);  // published once initialised
        return focus;
    }
    auto* host = reinterpret_cast<Win32Host*>(GetWindowLongPtrA(hwnd, GWLP_USERDATA));
    if (!host) return FALSE;
    Dialog& d = host->m_dialog;
    auto answer = [hwnd](LONG_PTR result) {
        SetWindowLongPtrA(hwnd, DWLP_MSGRESULT, result);
        return TRUE;
    };
    switch (msg) {
    case WM_COMMAND:
        d.DispatchCommand(LOWORD(wParam), HIWORD(wParam));
        return TRUE;
    case WM_CLOSE:
        d.DispatchClose();
        return TRUE;
    case WM_TIMER:
        d.DispatchTimer(static_cast<int>(wParam));
        return TRUE;
    case WM_NOTIFY: {
        auto* hdr = reinterpret_cast<NMHDR*>(lParam);
        d.DispatchNotify(static_cast<int>(hdr->idFrom), static_cast<int>(hdr->code));
        return FALSE;
    }
    case WM_DEVICECHANGE: {
        auto* hdr = reinterpret_cast<DEV_BROADCAST_HDR*>(lParam);
        int32_t type = hdr ? static_cast<int32_t>(hdr->dbch_devicetype) : kNoDeviceHeader;
        return answer(d.DispatchDeviceChange(static_cast<uint32_t>(wParam), type));
    }
    case WM_SYSCOMMAND:
        if (d.DispatchSysCommand(static_cast<uint32_t>(wParam))) return answer(0);
        return FALSE;
    case WM_DESTROY:
        host->Destroyed();
        return TRUE;
    case WM_NCDESTROY:
        SetWindowLongPtrA(hwnd, GWLP_USERDATA, 0);
        return FALSE;
    default:
        if (msg == kRunPosted) {
            host->RunPosted();
            return TRUE;
        }
        if (msg == kDeviceEventPosted) {
            d.DispatchDeviceChange(static_cast<uint32_t>(wParam), static_cast<int32_t>(lParam));
            return TRUE;
        }
        if (msg >= kPrivateFirst && msg < WM_APP) return answer(d.DispatchMessage(msg, wParam, lParam));
        return FALSE;
    }
}

}  // namespace

int Win32Backend::RunModal(Dialog& dialog) {
    // The application's dialog thread starts programs too (the restore of
    // the power plan at exit).
    tessaro::IProcess* process = tessaro::Sys().process;
    bool threadReady = process && process->InitThread();
    int result = RunDialog(m_instance, dialog, nullptr);
    if (threadReady) process->EndThread();
    return result;
}

void Install(HINSTANCE instance) {
    INITCOMMONCONTROLSEX icc;
    icc.dwSize = sizeof icc;
    icc.dwICC = ICC_STANDARD_CLASSES | ICC_PROGRESS_CLASS | ICC_TAB_CLASSES | ICC_BAR_CLASSES | ICC_WIN95_CLASSES;
    InitCommonControlsEx(&icc);
    static Win32Backend backend(instance);
    SetBackend(&backend);
}

HWND WindowOf(const Dialog& dialog) {
    std::lock_guard<std::mutex> lock(g_windowsMutex);
    auto it = g_windows.find(&dialog);
    return it == g_windows.end() ? nullptr : it->second;
}

}  // namespace win32
}  // namespace ui
