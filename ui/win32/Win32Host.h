// The host of one dialog window in the Win32 backend (Win32Dialog.h): the
// window with its pages, status lines, tool tips, posted work and device
// notifications.  Its life, the window, boxes, pages and messages are in
// Win32Dialog.cpp; the controls in Win32Dialog_controls.cpp.
#pragma once

#include <windows.h>

#include "ui/win32/Win32Dialog.h"

#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "ui/toolkit/executor.h"
#include "ui/win32/CStatusText.h"

namespace ui {
namespace win32 {

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

    // Publishes the window once the dialog is initialised.
    void Created(HWND hwnd);
    void RunPosted();
    // Ends the pages, the posted work, the notifications and the tool tips with the window.
    void Destroyed();

    // --- DialogHost -----------------------------------------------------------
    int TemplateId() const override;
    bool HasControl(int id) const override;
    ControlKind Kind(int id) const override;

    // The window.
    void SetCaption(const std::string& text) override;
    std::string Caption() const override;
    void EnableWindow(bool enable) override;
    bool IsWindowEnabled() const override;
    void ShowWindow(bool show) override;
    bool IsWindowVisible() const override;
    void Redraw() override;
    void RepaintControls(const std::vector<int>& ids) override;

    static Rect FromRect(const RECT& r) { return Rect{r.left, r.top, r.right, r.bottom}; }
    Rect WindowRect() const override;
    Rect ClientRect() const override;
    bool SetWindowSize(int width, int height) override;
    bool MoveWindow(const Rect& r) override;
    Rect ControlRect(int id) const override;
    Rect ControlScreenRect(int id) const override;
    bool MoveControl(int id, const Rect& r) override;
    void SetIcon(int resourceId) override;
    bool AppendSystemMenu(uint32_t command, const std::string& text) override;
    bool EnableSystemMenuItem(uint32_t command, bool enable) override;

    // The controls (Win32Dialog_controls.cpp).
    bool SetText(int id, const std::string& text) override;
    std::string GetText(int id) const override;
    bool Enable(int id, bool enable) override;
    bool IsEnabled(int id) const override;
    bool Show(int id, bool show) override;
    bool IsVisible(int id) const override;
    bool SetCheck(int id, int state) override;
    int GetCheck(int id) const override;
    bool CheckRadio(int first, int last, int id) override;
    bool SetFocus(int id) override;
    int Focus() const override;

    bool IsCombo(int id) const { return Kind(id) == ControlKind::ComboBox; }
    int AddItem(int id, const std::string& text) override;
    bool ClearItems(int id) override;
    int ItemCount(int id) const override;
    std::string ItemText(int id, int index) const override;
    bool SetSelection(int id, int index) override;
    int Selection(int id) const override;

    bool SetRange(int id, int low, int high) override;
    bool SetPos(int id, int pos) override;
    bool SetStep(int id, int step) override;
    bool StepIt(int id) override;
    int Pos(int id) const override;

    bool SetLimit(int id, int chars) override;
    int Limit(int id) const override;
    bool SetModified(int id, bool modified) override;
    bool IsModified(int id) const override;
    bool SetReadOnly(int id, bool readOnly) override;
    bool IsReadOnly(int id) const override;

    bool AttachStatusText(int id) override;
    bool StatusSetTextColor(int id, uint32_t colour, bool redraw) override;
    bool StatusSetBkColor(int id, uint32_t colour, bool redraw) override;
    bool StatusSetBold(int id, bool bold, bool redraw) override;
    bool StatusSetFont(int id, const std::string& face, int points, bool redraw) override;
    bool StatusState(int id, StatusTextModel& out) const override;

    bool AddToolTip(int id, const std::string& text, int showMs) override;

    int TabInsert(int id, int index, const std::string& text) override;
    bool TabDeleteAll(int id) override;
    int TabCount(int id) const override;
    std::string TabText(int id, int index) const override;
    bool TabSelect(int id, int index) override;
    int TabSelection(int id) const override;
    Rect TabDisplayRect(int id) const override;

    bool SetTimer(int id, unsigned ms) override;
    bool KillTimer(int id) override;

    // Boxes and file dialogs.
    int MessageBox(const std::string& text, const std::string& caption, uint32_t style) override;
    FileResult FileDialog(const FileRequest& request) override;

    // Modal children and pages.
    void EndDialog(int result) override;
    int RunModal(Dialog& child) override;
    DialogHost* CreatePage(Dialog& page) override;
    void DestroyPage(Dialog& page) override;

    // Messages, notifications and work for the dialog's thread.
    intptr_t SendMessage(uint32_t msg, uintptr_t wParam, intptr_t lParam) override;
    void PostMessage(uint32_t msg, uintptr_t wParam, intptr_t lParam) override;
    bool RegisterDeviceNotification(const tessaro::Guid& g) override;
    void Post(std::function<void()> fn) override;
    void StartWorker(std::function<void()> fn) override;
    bool OnDialogThread() const override;
};

}  // namespace win32
}  // namespace ui
