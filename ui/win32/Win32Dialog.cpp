// The Win32 backend of the dialog toolkit (Win32Dialog.h): the life of a
// dialog window, its frame, boxes and file dialogs, pages, modal children,
// posted work and device notifications, and the dialog procedure that
// hands the window's messages to the dialog.  The controls are in
// Win32Dialog_controls.cpp.
#include <windows.h>

#include <commctrl.h>
#include <commdlg.h>
#include <dbt.h>

#include "ui/win32/Win32Dialog.h"

#include <cstring>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

#include "ui/toolkit/device_events.h"
#include "ui/toolkit/executor.h"
#include "ui/win32/CStatusText.h"
#include "ui/win32/Win32Host.h"

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

INT_PTR CALLBACK DlgProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam);

std::mutex g_windowsMutex;
std::map<const Dialog*, HWND> g_windows;

}  // namespace

void Win32Host::Created(HWND hwnd) {
    m_hwnd = hwnd;
    std::lock_guard<std::mutex> lock(g_windowsMutex);
    g_windows[&m_dialog] = hwnd;
}

void Win32Host::RunPosted() {
    std::function<void()> fn;
    {
        std::lock_guard<std::mutex> lock(m_queueMutex);
        if (m_queue.empty()) return;
        fn = std::move(m_queue.front());
        m_queue.pop_front();
    }
    fn();
}

void Win32Host::Destroyed() {
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

int Win32Host::TemplateId() const { return m_dialog.TemplateId(); }

bool Win32Host::HasControl(int id) const { return Item(id) != nullptr; }

void Win32Host::SetCaption(const std::string& text) { SetWindowTextA(m_hwnd, text.c_str()); }

std::string Win32Host::Caption() const {
    char buf[512] = "";
    GetWindowTextA(m_hwnd, buf, sizeof buf);
    return buf;
}

void Win32Host::EnableWindow(bool enable) { ::EnableWindow(m_hwnd, enable); }

bool Win32Host::IsWindowEnabled() const { return ::IsWindowEnabled(m_hwnd) != FALSE; }

void Win32Host::ShowWindow(bool show) { ::ShowWindow(m_hwnd, show ? SW_SHOW : SW_HIDE); }

bool Win32Host::IsWindowVisible() const { return (GetWindowLongA(m_hwnd, GWL_STYLE) & WS_VISIBLE) != 0; }

void Win32Host::Redraw() {
    RedrawWindow(m_hwnd, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_UPDATENOW | RDW_ALLCHILDREN);
}

void Win32Host::RepaintControls(const std::vector<int>& ids) {
    // Each control erases and paints itself; the dialog behind stays.
    for (int id : ids) {
        HWND h = Item(id);
        if (h) RedrawWindow(h, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_UPDATENOW);
    }
}

Rect Win32Host::WindowRect() const {
    RECT r{};
    GetWindowRect(m_hwnd, &r);
    if (m_parent) MapWindowPoints(nullptr, m_parent->m_hwnd, reinterpret_cast<POINT*>(&r), 2);
    return FromRect(r);
}

Rect Win32Host::ClientRect() const {
    RECT r{};
    GetClientRect(m_hwnd, &r);
    return FromRect(r);
}

bool Win32Host::SetWindowSize(int width, int height) {
    return SetWindowPos(m_hwnd, nullptr, 0, 0, width, height, SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE) != FALSE;
}

bool Win32Host::MoveWindow(const Rect& r) {
    return ::MoveWindow(m_hwnd, r.left, r.top, r.Width(), r.Height(), TRUE) != FALSE;
}

Rect Win32Host::ControlRect(int id) const {
    HWND h = Item(id);
    RECT r{};
    if (!h) return Rect();
    GetWindowRect(h, &r);
    MapWindowPoints(nullptr, m_hwnd, reinterpret_cast<POINT*>(&r), 2);
    return FromRect(r);
}

Rect Win32Host::ControlScreenRect(int id) const {
    HWND h = Item(id);
    RECT r{};
    if (h) GetWindowRect(h, &r);
    return FromRect(r);
}

bool Win32Host::MoveControl(int id, const Rect& r) {
    HWND h = Item(id);
    return h && ::MoveWindow(h, r.left, r.top, r.Width(), r.Height(), TRUE);
}

void Win32Host::SetIcon(int resourceId) {
    HICON big = static_cast<HICON>(LoadImageA(m_instance, MAKEINTRESOURCEA(resourceId), IMAGE_ICON,
                                              GetSystemMetrics(SM_CXICON), GetSystemMetrics(SM_CYICON), 0));
    HICON small = static_cast<HICON>(LoadImageA(m_instance, MAKEINTRESOURCEA(resourceId), IMAGE_ICON,
                                                GetSystemMetrics(SM_CXSMICON), GetSystemMetrics(SM_CYSMICON), 0));
    if (big) SendMessageA(m_hwnd, WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(big));
    if (small) SendMessageA(m_hwnd, WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(small));
}

bool Win32Host::AppendSystemMenu(uint32_t command, const std::string& text) {
    HMENU menu = GetSystemMenu(m_hwnd, FALSE);
    return menu && AppendMenuA(menu, MF_SEPARATOR, 0, nullptr) && AppendMenuA(menu, MF_STRING, command, text.c_str());
}

bool Win32Host::EnableSystemMenuItem(uint32_t command, bool enable) {
    HMENU menu = GetSystemMenu(m_hwnd, FALSE);
    return menu && EnableMenuItem(menu, command, MF_BYCOMMAND | (enable ? MF_ENABLED : MF_GRAYED)) != -1;
}

bool Win32Host::SetTimer(int id, unsigned ms) {
    return ::SetTimer(m_hwnd, static_cast<UINT_PTR>(id), ms, nullptr) != 0;
}

bool Win32Host::KillTimer(int id) { return ::KillTimer(m_hwnd, static_cast<UINT_PTR>(id)) != FALSE; }

int Win32Host::MessageBox(const std::string& text, const std::string& caption, uint32_t style) {
    return MessageBoxA(m_hwnd, text.c_str(), caption.c_str(), style);
}

FileResult Win32Host::FileDialog(const FileRequest& request) {
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

void Win32Host::EndDialog(int result) {
    if (m_parent) {
        m_parent->EndDialog(result);
        return;
    }
    ::EndDialog(m_hwnd, result);
}

DialogHost* Win32Host::CreatePage(Dialog& page) {
    auto p = std::make_unique<Win32Host>(m_instance, page, this, m_executor);
    HWND h = CreateDialogParamA(m_instance, MAKEINTRESOURCEA(page.TemplateId()), m_hwnd, DlgProc,
                                reinterpret_cast<LPARAM>(p.get()));
    if (!h) return nullptr;
    m_pages.push_back(std::move(p));
    return m_pages.back().get();
}

void Win32Host::DestroyPage(Dialog& page) {
    for (auto it = m_pages.begin(); it != m_pages.end(); ++it) {
        if (&(*it)->m_dialog == &page) {
            if ((*it)->m_hwnd && IsWindow((*it)->m_hwnd)) DestroyWindow((*it)->m_hwnd);
            m_pages.erase(it);
            return;
        }
    }
}

intptr_t Win32Host::SendMessage(uint32_t msg, uintptr_t wParam, intptr_t lParam) {
    return m_dialog.DispatchMessage(msg, wParam, lParam);
}

void Win32Host::PostMessage(uint32_t msg, uintptr_t wParam, intptr_t lParam) {
    ::PostMessageA(m_hwnd, msg, wParam, lParam);
}

bool Win32Host::RegisterDeviceNotification(const tessaro::Guid& g) {
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

void Win32Host::Post(std::function<void()> fn) {
    std::lock_guard<std::mutex> lock(m_queueMutex);
    if (m_closed || !m_hwnd) return;
    m_queue.push_back(std::move(fn));
    ::PostMessageA(m_hwnd, kRunPosted, 0, 0);
}

void Win32Host::StartWorker(std::function<void()> fn) { m_executor.Start(std::move(fn)); }

bool Win32Host::OnDialogThread() const { return std::this_thread::get_id() == m_thread; }

namespace {

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

}  // namespace

int Win32Host::RunModal(Dialog& child) { return RunDialog(m_instance, child, this); }
namespace {

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
