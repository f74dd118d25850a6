// The in-memory backend: a dialog window without a window system, for tests.
//
// Its controls are made from the dialog's template (the resource script
// compiled into the program), so ids, kinds, captions and initial states are
// those of the Win32 dialog.  The test plays the user (Click, Type, Select,
// PressEnter, CloseBox), the clock (Tick, Advance), the system (DeviceChange,
// Message) and whoever answers boxes and file dialogs (AnswerBox,
// AnswerFile, OnModal), and reads every control's state back.
//
// The test's thread is the dialog's thread.  Work posted to it runs when the
// test pumps (Pump, Settle).  Workers run on a SteppedExecutor by default:
// StepWorker lets the oldest runnable worker go on until its next effect, so
// a test can put a timer tick or a click exactly between two effects; Settle
// pumps and steps until nothing can go on.  With WorkerMode::Threads workers
// run freely and WaitWorkers pumps until they are done.
//
// Every window call made from another thread is recorded as a violation.
#pragma once

#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "ui/toolkit/dialog.h"
#include "ui/toolkit/executor.h"

namespace ui {

enum class WorkerMode { Stepped, Threads };

struct BoxRecord {
    std::string text;
    std::string caption;
    uint32_t style = 0;
    int answer = 0;
};

struct FileRecord {
    FileRequest request;
    FileResult result;
};

// One control's state.
struct MemoryControl {
    ControlTemplate tmpl;
    std::string text;
    bool enabled = true;
    bool visible = true;
    int check = 0;
    bool readOnly = false;
    int limit = 30000;  // an edit field's default
    bool modified = false;
    std::vector<std::string> items;
    int selection = -1;
    int low = 0, high = 100, pos = 0, step = 10;
    Rect rect;  // pixels, dialog client coordinates
    bool isStatus = false;
    StatusTextModel status;
    int statusRedraws = 0;
    std::vector<std::string> tabs;
    int tabSelection = -1;
    std::string toolTip;
    int toolTipMs = 0;
    // What the screen shows: the text at the control's last repaint.  A
    // changed text of a plain control waits for the dialog's thread to go
    // idle (the end of a handler or of posted work) unless it is repainted
    // at once; a status control's SetText waits for its next repaint.
    std::string painted;
    bool invalid = false;
};

struct SystemMenuItem {
    uint32_t command = 0;
    std::string text;
    bool enabled = true;
};

class MemoryDialog : public DialogHost {
public:
    // The template of dialog.TemplateId(); a missing template leaves the
    // dialog without controls (Open fails).
    explicit MemoryDialog(Dialog& dialog, WorkerMode mode = WorkerMode::Stepped);
    MemoryDialog(Dialog& dialog, const DialogTemplate& tmpl, WorkerMode mode = WorkerMode::Stepped);
    // Ends the dialog if still open and lets every worker run out.
    ~MemoryDialog() override;
    MemoryDialog(const MemoryDialog&) = delete;
    MemoryDialog& operator=(const MemoryDialog&) = delete;

    Dialog& Owner() { return m_dialog; }
    const DialogTemplate& Template() const { return m_tmpl; }

    // --- life -----------------------------------------------------------------
    // Creates the window and runs OnInitDialog; true while the dialog is
    // still open afterwards.
    bool Open();
    bool Alive() const { return m_opened && !m_destroyed; }
    bool Ended() const { return m_destroyed; }
    int Result() const { return m_result; }

    // --- the user ----------------------------------------------------------------
    // Each returns false, doing nothing, when a person could not do it (the
    // control is disabled or hidden, the window is disabled or gone).
    bool Click(int id);                              // focus, auto check/radio, command
    bool Type(int id, const std::string& text);      // focus, ES_NUMBER digits, limit, modified, EN_CHANGE
    bool Select(int id, int index);                  // list/combo selection and its notification
    bool SelectTab(int id, int index);               // tab selection and TCN_SELCHANGE
    bool FocusOn(int id);                            // moves the focus (EN_KILLFOCUS / EN_SETFOCUS)
    bool PressEnter();                               // the command IDOK
    bool PressEsc();                                 // the command IDCANCEL
    bool CloseBox();                                 // the close box (unless greyed)
    bool SysCommand(uint32_t command);               // a system menu item

    // --- the clock and the system --------------------------------------------------
    bool Tick(int timerId);          // fires an active timer once
    void Advance(unsigned ms);       // moves time, firing due timers in order
    intptr_t DeviceChange(uint32_t event, int32_t deviceType = kNoDeviceHeader);
    intptr_t Message(uint32_t msg, uintptr_t wParam = 0, intptr_t lParam = 0);

    // --- answers ------------------------------------------------------------------------
    // Answers of the next boxes, in order.  Without one a box gets its first
    // button (what Enter gives): IDOK, IDYES, IDABORT or IDRETRY.
    void AnswerBox(int answer) { m_boxAnswers.push_back(answer); }
    // Decides every box instead (e.g. by its text).
    void OnBox(std::function<int(const BoxRecord&)> handler) { m_boxHandler = std::move(handler); }
    // The path chosen in the next file dialog; without one it is cancelled.
    void AnswerFile(const std::string& path, int filterIndex = 1);
    void CancelFile();
    // Drives the next modal child dialog (opened with RunModal), in order.
    // The child is open when the driver gets it; if it is still open after
    // the driver it ends with IDCANCEL.  Without a driver it ends at once.
    void OnModal(std::function<void(MemoryDialog&)> driver) { m_modalDrivers.push_back(std::move(driver)); }

    // What happens while the next box, file dialog or modal child is open,
    // in order: fn plays the world (Advance, DeviceChange, Message on this
    // dialog), then the posted work runs, as Win32's modal loops run a
    // dialog's timers, notifications and posted messages under a box.
    void DuringModal(std::function<void()> fn) { m_duringModal.push_back(std::move(fn)); }
    // Every box, file dialog and modal child stays open this long in
    // dialog time: the timers due meanwhile fire under it.  0 (the default):
    // they are answered at once.
    void SetModalTime(unsigned ms) { m_modalMs = ms; }

    const std::vector<BoxRecord>& Boxes() const { return m_boxes; }
    const std::vector<FileRecord>& FileDialogs() const { return m_files; }
    const std::vector<int>& Modals() const { return m_modals; }  // template ids of the children run

    // --- the dialog's thread ----------------------------------------------------------
    size_t Pump();                       // runs the posted work; how many ran
    bool StepWorker();                   // stepped mode: one step of the oldest runnable worker
    void Settle();                       // pump and step until nothing can go on
    bool WaitWorkers(unsigned timeoutMs = 10000);  // threads mode: pump until all workers ended
    size_t UnfinishedWorkers() const;

    // --- what tests read -------------------------------------------------------------------
    const MemoryControl* Control(int id) const;
    const StatusTextModel* Status(int id) const;
    std::vector<std::string> Violations() const;
    bool TimerActive(int id) const { return m_timers.count(id) != 0; }
    unsigned TimerPeriod(int id) const;
    std::vector<int> ActiveTimers() const;
    uint64_t Now() const { return m_now; }
    int Redraws() const { return m_redraws; }  // repaints of the whole dialog
    // Each RepaintControls call, with its ids.
    const std::vector<std::vector<int>>& Repaints() const { return m_repaints; }
    // The text the screen shows of control id (see MemoryControl::painted).
    std::string PaintedText(int id) const;
    int Icon() const { return m_icon; }
    const std::vector<SystemMenuItem>& SystemMenu() const { return m_sysMenu; }
    const std::vector<tessaro::Guid>& Registrations() const { return m_registrations; }
    std::vector<MemoryDialog*> Pages();
    MemoryDialog* PageOf(const Dialog& page);

    // --- DialogHost ---------------------------------------------------------------------------
    int TemplateId() const override { return m_tmpl.id; }
    bool HasControl(int id) const override;
    ControlKind Kind(int id) const override;
    void SetCaption(const std::string& text) override;
    std::string Caption() const override;
    void EnableWindow(bool enable) override;
    bool IsWindowEnabled() const override;
    void ShowWindow(bool show) override;
    bool IsWindowVisible() const override;
    void Redraw() override;
    void RepaintControls(const std::vector<int>& ids) override;
    Rect WindowRect() const override;
    Rect ClientRect() const override;
    bool SetWindowSize(int width, int height) override;
    bool MoveWindow(const Rect& rect) override;
    Rect ControlRect(int id) const override;
    Rect ControlScreenRect(int id) const override;
    bool MoveControl(int id, const Rect& rect) override;
    void SetIcon(int resourceId) override;
    bool AppendSystemMenu(uint32_t command, const std::string& text) override;
    bool EnableSystemMenuItem(uint32_t command, bool enable) override;
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
    int MessageBox(const std::string& text, const std::string& caption, uint32_t style) override;
    FileResult FileDialog(const FileRequest& request) override;
    void EndDialog(int result) override;
    int RunModal(Dialog& child) override;
    DialogHost* CreatePage(Dialog& page) override;
    void DestroyPage(Dialog& page) override;
    intptr_t SendMessage(uint32_t msg, uintptr_t wParam, intptr_t lParam) override;
    void PostMessage(uint32_t msg, uintptr_t wParam, intptr_t lParam) override;
    bool RegisterDeviceNotification(const tessaro::Guid& interfaceClass) override;
    void Post(std::function<void()> fn) override;
    void StartWorker(std::function<void()> fn) override;
    bool OnDialogThread() const override;

    // Dialog units of the template to pixels ("MS Shell Dlg" 8 at 96 dpi).
    static Rect ToPixels(const Rect& dialogUnits);

private:
    struct Shared;  // what a dialog shares with its pages: thread, queue, workers, violations
    MemoryDialog(MemoryDialog& parent, Dialog& page, const DialogTemplate& tmpl);
    void Build();
    MemoryControl* Ctl(int id, const char* what);
    const MemoryControl* Ctl(int id, const char* what) const;
    void Check(const char* what) const;
    bool UserCan(const MemoryControl* c) const;
    void MoveFocusTo(int id);
    void Destroy();
    void AfterDispatch();
    FontSpec DialogFont() const;
    void Paint(MemoryControl& c);
    void PaintInvalid();
    // The modal loop of a box, file dialog or modal child (root dialog only).
    void RunModalLoop();
    class Dispatching;

    Dialog& m_dialog;
    DialogTemplate m_tmpl;
    std::shared_ptr<Shared> m_shared;
    MemoryDialog* m_parent = nullptr;
    std::map<int, MemoryControl> m_controls;
    std::vector<int> m_order;  // control ids in template order
    std::string m_caption;
    bool m_windowEnabled = true;
    bool m_windowVisible = true;
    Rect m_window;  // top-level: screen; page: parent's client coordinates
    int m_focus = 0;
    bool m_opened = false;
    bool m_ending = false;
    bool m_destroyed = false;
    int m_result = 0;
    std::shared_ptr<int> m_token = std::make_shared<int>(0);  // lives as long as this window object
    int m_redraws = 0;
    std::vector<std::vector<int>> m_repaints;
    int m_icon = 0;
    std::vector<SystemMenuItem> m_sysMenu;
    std::vector<tessaro::Guid> m_registrations;
    struct Timer {
        unsigned period;
        uint64_t due;
        uint64_t order;
    };
    std::map<int, Timer> m_timers;
    uint64_t m_now = 0;
    uint64_t m_timerOrder = 0;
    std::deque<int> m_boxAnswers;
    std::function<int(const BoxRecord&)> m_boxHandler;
    std::deque<FileResult> m_fileAnswers;
    std::deque<std::function<void(MemoryDialog&)>> m_modalDrivers;
    std::vector<BoxRecord> m_boxes;
    std::vector<FileRecord> m_files;
    std::vector<int> m_modals;
    std::vector<std::unique_ptr<MemoryDialog>> m_pages;
    std::deque<std::function<void()>> m_duringModal;
    unsigned m_modalMs = 0;
    int m_deviceEvents = 0;  // subscription to the events raised in the process
};

// Runs top-level dialogs (DoModal) in memory: each is opened, handed to the
// next driver, and ended with IDCANCEL if the driver left it open.
class MemoryBackend : public Backend {
public:
    explicit MemoryBackend(WorkerMode mode = WorkerMode::Stepped) : m_mode(mode) {}
    void OnModal(std::function<void(MemoryDialog&)> driver) { m_drivers.push_back(std::move(driver)); }
    int RunModal(Dialog& dialog) override;
    const std::vector<int>& Runs() const { return m_runs; }

private:
    WorkerMode m_mode;
    std::deque<std::function<void(MemoryDialog&)>> m_drivers;
    std::vector<int> m_runs;
};

}  // namespace ui
