// The dialog toolkit: dialogs written once, against controls addressed by
// their template ids, shown by the Win32 backend or by the in-memory one.
//
//   Dialog      what a dialog does: handlers for its events, and the worker
//               discipline (StartWorker, the close guard, deferred ends).
//   DialogHost  one open dialog window as a backend shows it: control state
//               by id, timers, boxes, file dialogs, child dialogs and pages,
//               posting work to the dialog's thread.
//   WorkerLink  what a worker may do: every call is posted, in order, to the
//               dialog's thread; boxes and Call wait for their answer there.
//   UpdateRun   the progress byte, error flag and text an update shares with
//               the timer that shows them.
//
// Everything but WorkerLink and UpdateRun belongs to the dialog's thread.
#pragma once

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <set>
#include <string>
#include <vector>

#include "hub/CHubIsp.h"
#include "platform/ports.h"
#include "ui/toolkit/status_text.h"
#include "ui/toolkit/templates.h"
#include "ui/toolkit/uiconst.h"

namespace ui {

class Dialog;

// ---------------------------------------------------------------------------
// Common file dialogs.
struct FileRequest {
    bool save = false;
    std::string filter;      // "Binary File (*.bin)|*.bin|Rom File (*.rom)|*.rom||"
    std::string defaultExt;  // without the dot ("EEP"); added when the user types none
    std::string fileName;    // proposed name
    std::string initialDir;
    std::string title;       // empty: the system's "Open" / "Save As"
    uint32_t flags = kOfnHideReadOnly | kOfnOverwritePrompt;
    int bufferSize = 260;    // characters the chosen path may have
};

struct FileResult {
    bool ok = false;       // false: cancelled (or the path did not fit the buffer)
    std::string path;      // full path
    std::string name;      // file name with extension
    std::string ext;       // extension without the dot, as typed
    int filterIndex = 0;   // 1-based filter the user had chosen
};

// Splits a chosen path into name and extension ("c:\\fw\\a.Bin" gives
// "a.Bin" and "Bin").
FileResult MakeFileResult(const std::string& path, int filterIndex = 1);

// The "Name (*.ext)|*.ext||" filter as pairs of description and pattern.
std::vector<std::pair<std::string, std::string>> SplitFilter(const std::string& filter);

// ---------------------------------------------------------------------------
class DialogHost {
public:
    virtual ~DialogHost() = default;

    virtual int TemplateId() const = 0;
    virtual bool HasControl(int id) const = 0;
    virtual ControlKind Kind(int id) const = 0;

    // --- window -------------------------------------------------------------
    virtual void SetCaption(const std::string& text) = 0;
    virtual std::string Caption() const = 0;
    virtual void EnableWindow(bool enable) = 0;  // the whole dialog (input on or off)
    virtual bool IsWindowEnabled() const = 0;
    virtual void ShowWindow(bool show) = 0;
    virtual bool IsWindowVisible() const = 0;
    virtual void Redraw() = 0;  // repaint the dialog and its controls at once
    // Repaints these controls at once and nothing else of the dialog (no
    // erase of the dialog behind them): what a timer shows many times a
    // second, or a text that must be on screen before the dialog's thread
    // blocks.
    virtual void RepaintControls(const std::vector<int>& ids) = 0;
    // Geometry in pixels: the window in screen coordinates, controls in the
    // dialog's client coordinates.
    virtual Rect WindowRect() const = 0;
    virtual Rect ClientRect() const = 0;
    virtual bool SetWindowSize(int width, int height) = 0;
    // Top-level: screen coordinates; a page: its parent's client coordinates.
    virtual bool MoveWindow(const Rect& rect) = 0;
    virtual Rect ControlRect(int id) const = 0;
    virtual Rect ControlScreenRect(int id) const = 0;
    virtual bool MoveControl(int id, const Rect& rect) = 0;
    virtual void SetIcon(int resourceId) = 0;
    // System menu: a separator and an item after the existing ones; enabling
    // an item (kScClose greys the close box).
    virtual bool AppendSystemMenu(uint32_t command, const std::string& text) = 0;
    virtual bool EnableSystemMenuItem(uint32_t command, bool enable) = 0;

    // --- controls -------------------------------------------------------------
    // A status text control (attached status controls) shows the text it
    // was given; SetText stores it without repainting.
    virtual bool SetText(int id, const std::string& text) = 0;
    virtual std::string GetText(int id) const = 0;
    virtual bool Enable(int id, bool enable) = 0;
    virtual bool IsEnabled(int id) const = 0;
    virtual bool Show(int id, bool show) = 0;
    virtual bool IsVisible(int id) const = 0;
    virtual bool SetCheck(int id, int state) = 0;
    virtual int GetCheck(int id) const = 0;
    // Checks id and clears the other radio buttons first..last.
    virtual bool CheckRadio(int first, int last, int id) = 0;
    virtual bool SetFocus(int id) = 0;
    virtual int Focus() const = 0;  // id of the control with the focus; 0 none

    // List boxes and combo boxes.
    virtual int AddItem(int id, const std::string& text) = 0;  // index, -1 failure
    virtual bool ClearItems(int id) = 0;
    virtual int ItemCount(int id) const = 0;
    virtual std::string ItemText(int id, int index) const = 0;
    virtual bool SetSelection(int id, int index) = 0;  // -1: none
    virtual int Selection(int id) const = 0;            // -1: none

    // Progress bars.
    virtual bool SetRange(int id, int low, int high) = 0;
    virtual bool SetPos(int id, int pos) = 0;
    virtual bool SetStep(int id, int step) = 0;
    virtual bool StepIt(int id) = 0;
    virtual int Pos(int id) const = 0;

    // Edit fields.
    virtual bool SetLimit(int id, int chars) = 0;
    virtual int Limit(int id) const = 0;
    virtual bool SetModified(int id, bool modified) = 0;
    virtual bool IsModified(int id) const = 0;
    virtual bool SetReadOnly(int id, bool readOnly) = 0;
    virtual bool IsReadOnly(int id) const = 0;

    // Status text controls: a static of the template becomes one when it is
    // attached.  The setters repaint at once when redraw is set.
    virtual bool AttachStatusText(int id) = 0;
    virtual bool StatusSetTextColor(int id, uint32_t colour, bool redraw) = 0;
    virtual bool StatusSetBkColor(int id, uint32_t colour, bool redraw) = 0;
    virtual bool StatusSetBold(int id, bool bold, bool redraw) = 0;
    virtual bool StatusSetFont(int id, const std::string& face, int points, bool redraw) = 0;
    // What the control paints; false when id is no attached status control.
    virtual bool StatusState(int id, StatusTextModel& out) const = 0;

    // Tool tips: shown after the system's delay, for showMs.
    virtual bool AddToolTip(int id, const std::string& text, int showMs) = 0;

    // Tab controls.
    virtual int TabInsert(int id, int index, const std::string& text) = 0;
    virtual bool TabDeleteAll(int id) = 0;
    virtual int TabCount(int id) const = 0;
    virtual std::string TabText(int id, int index) const = 0;
    virtual bool TabSelect(int id, int index) = 0;  // no notification, as TCM_SETCURSEL
    virtual int TabSelection(int id) const = 0;
    virtual Rect TabDisplayRect(int id) const = 0;  // client coordinates of the dialog

    // --- timers, boxes, file dialogs ------------------------------------------
    virtual bool SetTimer(int id, unsigned ms) = 0;
    virtual bool KillTimer(int id) = 0;
    virtual int MessageBox(const std::string& text, const std::string& caption, uint32_t style) = 0;
    virtual FileResult FileDialog(const FileRequest& request) = 0;

    // --- other dialogs --------------------------------------------------------
    virtual void EndDialog(int result) = 0;
    // Runs child as a modal dialog owned by this one; its result.
    virtual int RunModal(Dialog& child) = 0;
    // A child dialog placed in this one (a page of a tab): created hidden.
    virtual DialogHost* CreatePage(Dialog& page) = 0;
    virtual void DestroyPage(Dialog& page) = 0;

    // --- messages and notifications -------------------------------------------
    // Delivered to the dialog's OnMessage now (Send) or after what is queued (Post).
    virtual intptr_t SendMessage(uint32_t msg, uintptr_t wParam, intptr_t lParam) = 0;
    virtual void PostMessage(uint32_t msg, uintptr_t wParam, intptr_t lParam) = 0;
    virtual bool RegisterDeviceNotification(const tessaro::Guid& interfaceClass) = 0;

    // --- threads ----------------------------------------------------------------
    // Any thread: fn runs on the dialog's thread after what was posted before;
    // dropped once the window is gone.
    virtual void Post(std::function<void()> fn) = 0;
    virtual void StartWorker(std::function<void()> fn) = 0;
    virtual bool OnDialogThread() const = 0;
};

// ---------------------------------------------------------------------------
// The state an update shares with the timer that mirrors it.  Reset on the
// dialog's thread before the worker starts; the worker (through
// UpdateFirmware) writes it; the timer reads it until the run is finished.
class UpdateRun {
public:
    void Reset() {
        progress.store(0);
        error.store(0);
        text.Set("");
        m_finished.store(false);
    }
    void Finish() { m_finished.store(true); }
    bool Finished() const { return m_finished.load(); }

    struct Sample {
        int progress = 0;  // clamped to 0..100
        int error = 0;
        std::string text;
    };
    // What the timer shows; false once the run is finished.
    bool Read(Sample& out) const {
        if (m_finished.load()) return false;
        int p = progress.load();
        out.progress = p > 100 ? 100 : p;
        out.error = error.load();
        out.text = text.Get();
        return true;
    }

    ProgressByte progress{0};
    ErrorFlag error{0};
    SharedText text;

private:
    std::atomic<bool> m_finished{false};
};

// ---------------------------------------------------------------------------
class WorkerLink {
public:
    struct Channel;
    explicit WorkerLink(std::shared_ptr<Channel> channel) : m_ch(std::move(channel)) {}

    // Effects, posted to the dialog's thread in call order.
    void SetText(int id, const std::string& text);
    void Enable(int id, bool enable);
    void Show(int id, bool show);
    void SetCheck(int id, int state);
    void SetRange(int id, int low, int high);
    void SetPos(int id, int pos);
    void ShowStatus(int id, const std::string& text, const StatusLook& look);
    void SetTimer(int id, unsigned ms);
    void KillTimer(int id);
    void Redraw();
    void EnableWindow(bool enable);
    // A private message, delivered to the dialog's OnMessage.
    void PostMessage(uint32_t msg, uintptr_t wParam, intptr_t lParam);
    // Any work for the dialog's thread (the dialog's own helpers, e.g. its
    // EnableControls).
    void Post(std::function<void()> fn);
    // Shown on the dialog's thread; waits for the answer.  kIdCancel when the
    // dialog is gone.
    int MessageBox(const std::string& text, const std::string& caption, uint32_t style);
    // Runs fn on the dialog's thread and waits for its result; fallback when
    // the dialog is gone.
    template <class T>
    T Call(std::function<T()> fn, T fallback) {
        auto result = std::make_shared<T>(fallback);
        CallVoid([fn = std::move(fn), result] { *result = fn(); });
        return *result;
    }
    // Asks the dialog to end; it ends once this worker is done.
    void EndDialog(int result);
    // False once the dialog's window is gone: posts are dropped from then on.
    bool DialogOpen() const;

private:
    void CallVoid(std::function<void()> fn);
    std::shared_ptr<Channel> m_ch;
};

// ---------------------------------------------------------------------------
class Dialog {
public:
    explicit Dialog(int templateId) : m_templateId(templateId) {}
    virtual ~Dialog();
    Dialog(const Dialog&) = delete;
    Dialog& operator=(const Dialog&) = delete;

    int TemplateId() const { return m_templateId; }
    bool IsOpen() const { return m_host != nullptr; }
    // The window; only while open.
    DialogHost& Host() const { return *m_host; }
    Dialog* Parent() const { return m_parent; }  // the dialog a page lives in

    // Shorthands for the most used control calls (false when not open).
    bool SetText(int id, const std::string& text) { return m_host && m_host->SetText(id, text); }
    std::string GetText(int id) const { return m_host ? m_host->GetText(id) : std::string(); }
    bool Enable(int id, bool enable) { return m_host && m_host->Enable(id, enable); }
    bool IsEnabled(int id) const { return m_host && m_host->IsEnabled(id); }
    bool Show(int id, bool show) { return m_host && m_host->Show(id, show); }
    bool IsVisible(int id) const { return m_host && m_host->IsVisible(id); }
    bool SetCheck(int id, int state) { return m_host && m_host->SetCheck(id, state); }
    int GetCheck(int id) const { return m_host ? m_host->GetCheck(id) : 0; }
    bool SetTimer(int id, unsigned ms) { return m_host && m_host->SetTimer(id, ms); }
    bool KillTimer(int id) { return m_host && m_host->KillTimer(id); }
    // Boxes, file dialogs and modal children run a modal loop: timers, device
    // changes and posted work of this dialog (and of its parent) go on
    // meanwhile.  ModalDepth tells a handler that one of those loops,
    // opened by this dialog, is still running underneath it.
    int MessageBox(const std::string& text, const std::string& caption, uint32_t style) {
        ModalScope scope(*this);
        return m_host ? m_host->MessageBox(text, caption, style) : kIdCancel;
    }
    FileResult FileDialog(const FileRequest& request) {
        ModalScope scope(*this);
        return m_host ? m_host->FileDialog(request) : FileResult();
    }
    int RunModal(Dialog& child) {
        ModalScope scope(*this);
        return m_host ? m_host->RunModal(child) : -1;
    }
    int ModalDepth() const { return m_modalDepth; }
    // Shows one look of a status control: text, colours, weight, face and size.
    void ShowStatus(int id, const std::string& text, const StatusLook& look);
    void EndDialog(int result);

    // --- workers ------------------------------------------------------------
    // Starts fn on a worker.  Call on the dialog's thread with the action
    // controls already disabled.  From here until the worker's done is
    // handled the dialog is working: Enter, Esc, the close box and the
    // guarded commands do nothing, StartWorker refuses a second worker, and
    // an end the worker asks for waits for its done.  Then OnWorkerDone(tag).
    // The worker's thread is ready to start programs through the shell, and
    // a box the engine raises on it (Sys().box) is shown by the dialog, on
    // its thread, while the worker waits for the answer.
    bool StartWorker(std::function<void(WorkerLink&)> fn, int tag = 0);
    // Starts fn now when no worker runs, else right after the running
    // worker's OnWorkerDone: the dialog stays working in between, so the
    // guard holds across a chain of workers (setup, update, removal).  A
    // queued worker is dropped when the dialog ends before its turn.
    bool QueueWorker(std::function<void(WorkerLink&)> fn, int tag = 0);
    bool Working() const { return m_working; }
    bool WorkerQueued() const { return !m_queued.empty(); }
    // Commands ignored while working, whatever their enabled state (Exit, ...).
    void GuardWhileWorking(std::initializer_list<int> ids) { m_guarded.insert(ids.begin(), ids.end()); }

    // --- entry points for the backends ----------------------------------------
    bool DispatchInit(DialogHost& host, Dialog* parent = nullptr);
    void DispatchCommand(int id, int code);
    void DispatchClose();
    void DispatchTimer(int id);
    void DispatchNotify(int id, int code);
    intptr_t DispatchDeviceChange(uint32_t event, int32_t deviceType);
    intptr_t DispatchMessage(uint32_t msg, uintptr_t wParam, intptr_t lParam);
    bool DispatchSysCommand(uint32_t command);
    void DispatchDestroy();

protected:
    // Return false when the handler set the focus itself.
    virtual bool OnInitDialog() { return true; }
    virtual void OnCommand(int id, int code) {
        (void)id;
        (void)code;
    }
    virtual void OnTimer(int id) { (void)id; }
    virtual void OnNotify(int id, int code) {
        (void)id;
        (void)code;
    }
    // Enter, and the command IDOK; Esc, and the command IDCANCEL.  A page
    // gets neither: its OK and Cancel do nothing, so Enter or Esc never
    // hides a page for good.
    virtual void OnOK() { EndDialog(kIdOk); }
    virtual void OnCancel() { EndDialog(kIdCancel); }
    virtual void OnClose() { OnCancel(); }             // the close box
    virtual intptr_t OnDeviceChange(uint32_t event, int32_t deviceType) {
        (void)event;
        (void)deviceType;
        return 1;
    }
    virtual intptr_t OnMessage(uint32_t msg, uintptr_t wParam, intptr_t lParam) {
        (void)msg;
        (void)wParam;
        (void)lParam;
        return 0;
    }
    // True when handled (the system's own handling is skipped).
    virtual bool OnSysCommand(uint32_t command) {
        (void)command;
        return false;
    }
    virtual void OnWorkerDone(int tag) { (void)tag; }
    virtual void OnDestroy() {}

private:
    friend class WorkerLink;
    struct ModalScope {
        explicit ModalScope(Dialog& d) : dialog(d) { ++dialog.m_modalDepth; }
        ~ModalScope() { --dialog.m_modalDepth; }
        Dialog& dialog;
    };
    void WorkerDone(int tag);
    void WorkerAsksEnd(int result);
    void CloseChannels();

    int m_templateId;
    DialogHost* m_host = nullptr;
    Dialog* m_parent = nullptr;
    bool m_working = false;
    bool m_endPending = false;
    int m_pendingResult = 0;
    int m_modalDepth = 0;
    std::set<int> m_guarded;
    std::vector<std::shared_ptr<WorkerLink::Channel>> m_channels;
    std::vector<std::pair<std::function<void(WorkerLink&)>, int>> m_queued;
};

// ---------------------------------------------------------------------------
// Top-level dialogs (the application's main window) are run by the backend
// installed for the process: the Win32 one in Tessaro.exe, the in-memory one
// in tests.
class Backend {
public:
    virtual ~Backend() = default;
    virtual int RunModal(Dialog& dialog) = 0;
};

void SetBackend(Backend* backend);
Backend* CurrentBackend();
// Runs dialog modally on this thread; -1 when no backend is installed.
int DoModal(Dialog& dialog);

class ScopedBackend {
public:
    explicit ScopedBackend(Backend& backend) : m_previous(CurrentBackend()) { SetBackend(&backend); }
    ~ScopedBackend() { SetBackend(m_previous); }
    ScopedBackend(const ScopedBackend&) = delete;
    ScopedBackend& operator=(const ScopedBackend&) = delete;

private:
    Backend* m_previous;
};

}  // namespace ui
