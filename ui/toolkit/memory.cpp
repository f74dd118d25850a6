#include "ui/toolkit/memory.h"

#include <algorithm>
#include <cctype>
#include <chrono>
#include <condition_variable>
#include <mutex>

namespace ui {

namespace {
// Non-client frame of a top-level window in the in-memory backend.
constexpr int kFrame = 3;
constexpr int kCaption = 22;

int MulDiv(int a, int b, int c) {
    int64_t p = static_cast<int64_t>(a) * b;
    return static_cast<int>((p >= 0 ? p + c / 2 : p - c / 2) / c);
}

int DefaultAnswer(uint32_t style) {
    switch (style & kMbTypeMask) {
    case kMbAbortRetryIgnore: return kIdAbort;
    case kMbYesNo:
    case kMbYesNoCancel: return kIdYes;
    case kMbRetryCancel: return kIdRetry;
    default: return kIdOk;
    }
}

bool IsAutoCheck(const ControlTemplate& t) {
    return t.statement == "AUTOCHECKBOX" || t.statement == "AUTO3STATE" || t.HasStyle("BS_AUTOCHECKBOX") ||
           t.HasStyle("BS_AUTO3STATE");
}
bool IsThreeState(const ControlTemplate& t) {
    return t.statement == "AUTO3STATE" || t.HasStyle("BS_AUTO3STATE");
}
bool IsAutoRadio(const ControlTemplate& t) {
    return t.statement == "AUTORADIOBUTTON" || t.HasStyle("BS_AUTORADIOBUTTON");
}
bool IsSorted(const ControlTemplate& t) { return t.HasStyle("CBS_SORT") || t.HasStyle("LBS_SORT"); }

std::string Lower(std::string s) {
    for (auto& ch : s) ch = static_cast<char>(std::tolower(static_cast<unsigned char>(ch)));
    return s;
}
}  // namespace

// ---------------------------------------------------------------------------
struct MemoryDialog::Shared {
    std::thread::id thread = std::this_thread::get_id();
    WorkerMode mode = WorkerMode::Stepped;
    MemoryDialog* root = nullptr;
    int depth = 0;
    std::mutex mutex;
    std::condition_variable cv;
    std::deque<std::function<void()>> queue;
    SteppedExecutor stepped;
    ThreadExecutor threads;
    mutable std::mutex violationMutex;
    std::vector<std::string> violations;
};

// Marks a dispatch in progress: a dialog that ends during it is destroyed
// when the outermost dispatch returns, as a window is after its handler.
class MemoryDialog::Dispatching {
public:
    explicit Dispatching(MemoryDialog& d) : m_shared(d.m_shared) { ++m_shared->depth; }
    ~Dispatching() {
        if (--m_shared->depth == 0 && m_shared->root) m_shared->root->AfterDispatch();
    }
    Dispatching(const Dispatching&) = delete;
    Dispatching& operator=(const Dispatching&) = delete;

private:
    std::shared_ptr<Shared> m_shared;
};

// ---------------------------------------------------------------------------
namespace {
const DialogTemplate& TemplateOrEmpty(int id) {
    static const DialogTemplate empty;
    const DialogTemplate* t = FindTemplate(id);
    return t ? *t : empty;
}
}  // namespace

MemoryDialog::MemoryDialog(Dialog& dialog, WorkerMode mode)
    : MemoryDialog(dialog, TemplateOrEmpty(dialog.TemplateId()), mode) {}

MemoryDialog::MemoryDialog(Dialog& dialog, const DialogTemplate& tmpl, WorkerMode mode)
    : m_dialog(dialog), m_tmpl(tmpl), m_shared(std::make_shared<Shared>()) {
    m_shared->mode = mode;
    m_shared->root = this;
    Build();
}

MemoryDialog::MemoryDialog(MemoryDialog& parent, Dialog& page, const DialogTemplate& tmpl)
    : m_dialog(page), m_tmpl(tmpl), m_shared(parent.m_shared), m_parent(&parent) {
    Build();
    m_windowVisible = false;  // pages are created hidden
}

MemoryDialog::~MemoryDialog() {
    if (m_parent) return;  // a page: its parent tears it down
    if (m_opened && !m_destroyed) Destroy();
    // Every wait of a worker is answered once the dialog is gone, so the
    // workers run out; what they post now is dropped.
    m_shared->stepped.JoinAll();
    m_shared->threads.JoinAll();
    std::lock_guard<std::mutex> lock(m_shared->mutex);
    m_shared->queue.clear();
    m_shared->root = nullptr;
}

Rect MemoryDialog::ToPixels(const Rect& du) {
    return Rect{MulDiv(du.left, 6, 4), MulDiv(du.top, 13, 8), MulDiv(du.right, 6, 4), MulDiv(du.bottom, 13, 8)};
}

void MemoryDialog::Build() {
    m_caption = m_tmpl.caption;
    Rect px = ToPixels(m_tmpl.rect);
    if (m_parent) {
        m_window = Rect{0, 0, px.Width(), px.Height()};
    } else {
        m_window = Rect{0, 0, px.Width() + 2 * kFrame, px.Height() + kCaption + 2 * kFrame};
    }
    for (const auto& t : m_tmpl.controls) {
        MemoryControl c;
        c.tmpl = t;
        c.text = t.kind == ControlKind::Progress || t.kind == ControlKind::ListBox || t.kind == ControlKind::ComboBox
                     ? std::string()
                     : t.text;
        c.enabled = t.enabled;
        c.visible = t.visible;
        c.readOnly = t.HasStyle("ES_READONLY");
        c.rect = ToPixels(t.rect);
        if (t.id == -1 || m_controls.count(t.id)) continue;  // unnamed statics are not addressable
        m_order.push_back(t.id);
        m_controls.emplace(t.id, std::move(c));
    }
}

FontSpec MemoryDialog::DialogFont() const {
    FontSpec f;
    f.face = m_tmpl.fontFace.empty() ? "MS Shell Dlg" : m_tmpl.fontFace;
    f.height = FontHeight(m_tmpl.fontPoints ? m_tmpl.fontPoints : 8, 96);
    f.weight = 400;
    return f;
}

void MemoryDialog::Check(const char* what) const {
    if (std::this_thread::get_id() == m_shared->thread) return;
    std::lock_guard<std::mutex> lock(m_shared->violationMutex);
    m_shared->violations.push_back(std::string(what) + " called off the dialog's thread");
}

std::vector<std::string> MemoryDialog::Violations() const {
    std::lock_guard<std::mutex> lock(m_shared->violationMutex);
    return m_shared->violations;
}

MemoryControl* MemoryDialog::Ctl(int id, const char* what) {
    Check(what);
    auto it = m_controls.find(id);
    return it == m_controls.end() ? nullptr : &it->second;
}

const MemoryControl* MemoryDialog::Ctl(int id, const char* what) const {
    Check(what);
    auto it = m_controls.find(id);
    return it == m_controls.end() ? nullptr : &it->second;
}

const MemoryControl* MemoryDialog::Control(int id) const {
    auto it = m_controls.find(id);
    return it == m_controls.end() ? nullptr : &it->second;
}

const StatusTextModel* MemoryDialog::Status(int id) const {
    const MemoryControl* c = Control(id);
    return c && c->isStatus ? &c->status : nullptr;
}

// ---------------------------------------------------------------------------
bool MemoryDialog::Open() {
    if (m_opened) return Alive();
    m_opened = true;
    if (m_tmpl.controls.empty() && m_tmpl.caption.empty()) {
        // No template: the window cannot be made (DialogBox returns -1).
        m_destroyed = true;
        m_result = -1;
        return false;
    }
    {
        Dispatching d(*this);
        bool defaultFocus = m_dialog.DispatchInit(*this, m_parent ? &m_parent->m_dialog : nullptr);
        if (defaultFocus && m_focus == 0 && !m_ending) {
            for (int id : m_order) {
                const MemoryControl& c = m_controls[id];
                if (c.enabled && c.visible && c.tmpl.kind != ControlKind::Static &&
                    c.tmpl.kind != ControlKind::GroupBox && c.tmpl.kind != ControlKind::Progress) {
                    MoveFocusTo(id);
                    break;
                }
            }
        }
    }
    return Alive();
}

void MemoryDialog::AfterDispatch() {
    if (m_ending && !m_destroyed) Destroy();
}

void MemoryDialog::Destroy() {
    if (m_destroyed) return;
    m_ending = true;
    for (auto& p : m_pages) p->Destroy();
    m_dialog.DispatchDestroy();
    m_destroyed = true;
    m_timers.clear();
    m_focus = 0;
    if (!m_parent) {
        std::lock_guard<std::mutex> lock(m_shared->mutex);
        m_shared->queue.clear();
    }
}

void MemoryDialog::EndDialog(int result) {
    Check("EndDialog");
    if (m_parent) {
        m_parent->EndDialog(result);  // a page ends its dialog
        return;
    }
    if (m_destroyed || m_ending) return;
    m_ending = true;
    m_result = result;
    if (m_shared->depth == 0) Destroy();
}

bool MemoryDialog::UserCan(const MemoryControl* c) const {
    if (!c || !Alive() || !m_windowEnabled || !m_windowVisible) return false;
    for (const MemoryDialog* p = m_parent; p; p = p->m_parent)
        if (!p->Alive() || !p->m_windowEnabled) return false;
    return c->enabled && c->visible;
}

void MemoryDialog::MoveFocusTo(int id) {
    if (m_focus == id) return;
    int old = m_focus;
    m_focus = id;
    auto isEdit = [&](int cid) {
        auto it = m_controls.find(cid);
        return it != m_controls.end() && it->second.tmpl.kind == ControlKind::Edit;
    };
    if (old && isEdit(old)) m_dialog.DispatchCommand(old, kEnKillFocus);
    if (id && isEdit(id) && m_focus == id) m_dialog.DispatchCommand(id, kEnSetFocus);
}

// ---------------------------------------------------------------------------
// The user.
bool MemoryDialog::Click(int id) {
    MemoryControl* c = Ctl(id, "Click");
    if (!UserCan(c)) return false;
    ControlKind k = c->tmpl.kind;
    if (k != ControlKind::Button && k != ControlKind::CheckBox && k != ControlKind::RadioButton) return false;
    Dispatching d(*this);
    MoveFocusTo(id);
    if (k == ControlKind::CheckBox && IsAutoCheck(c->tmpl)) {
        c->check = IsThreeState(c->tmpl) ? (c->check + 1) % 3 : (c->check ? 0 : 1);
    } else if (k == ControlKind::RadioButton && IsAutoRadio(c->tmpl)) {
        // The group runs from the control with WS_GROUP before it to the next one.
        auto pos = std::find(m_order.begin(), m_order.end(), id) - m_order.begin();
        size_t first = pos;
        while (first > 0 && !m_controls[m_order[first]].tmpl.HasStyle("WS_GROUP")) --first;
        size_t last = pos + 1;
        while (last < m_order.size() && !m_controls[m_order[last]].tmpl.HasStyle("WS_GROUP")) ++last;
        for (size_t i = first; i < last; ++i) {
            MemoryControl& o = m_controls[m_order[i]];
            if (o.tmpl.kind == ControlKind::RadioButton) o.check = 0;
        }
        c->check = 1;
    }
    m_dialog.DispatchCommand(id, kBnClicked);
    return true;
}

bool MemoryDialog::Type(int id, const std::string& text) {
    MemoryControl* c = Ctl(id, "Type");
    if (!UserCan(c) || c->tmpl.kind != ControlKind::Edit || c->readOnly) return false;
    Dispatching d(*this);
    MoveFocusTo(id);
    c = Ctl(id, "Type");
    if (!UserCan(c) || c->readOnly) return false;
    c->text = text.substr(0, static_cast<size_t>(std::max(0, c->limit)));
    c->modified = true;
    m_dialog.DispatchCommand(id, kEnChange);
    return true;
}

bool MemoryDialog::Select(int id, int index) {
    MemoryControl* c = Ctl(id, "Select");
    if (!UserCan(c)) return false;
    if (c->tmpl.kind != ControlKind::ListBox && c->tmpl.kind != ControlKind::ComboBox) return false;
    if (index < 0 || index >= static_cast<int>(c->items.size())) return false;
    Dispatching d(*this);
    MoveFocusTo(id);
    c->selection = index;
    m_dialog.DispatchCommand(id, c->tmpl.kind == ControlKind::ComboBox ? kCbnSelChange : kLbnSelChange);
    return true;
}

bool MemoryDialog::SelectTab(int id, int index) {
    MemoryControl* c = Ctl(id, "SelectTab");
    if (!UserCan(c) || c->tmpl.kind != ControlKind::Tab) return false;
    if (index < 0 || index >= static_cast<int>(c->tabs.size())) return false;
    Dispatching d(*this);
    c->tabSelection = index;
    m_dialog.DispatchNotify(id, kTcnSelChange);
    return true;
}

bool MemoryDialog::FocusOn(int id) {
    MemoryControl* c = Ctl(id, "FocusOn");
    if (!UserCan(c)) return false;
    Dispatching d(*this);
    MoveFocusTo(id);
    return true;
}

bool MemoryDialog::PressEnter() {
    Check("PressEnter");
    if (!Alive() || !m_windowEnabled) return false;
    // Enter goes to the focused push button, else to the default button,
    // else it is the command IDOK.
    int id = kIdOk;
    auto f = m_controls.find(m_focus);
    if (f != m_controls.end() && f->second.tmpl.kind == ControlKind::Button) {
        id = m_focus;
    } else {
        for (int cid : m_order) {
            const MemoryControl& c = m_controls[cid];
            if (c.tmpl.defaultButton) {
                if (!c.enabled) return false;
                id = cid;
                break;
            }
        }
    }
    Dispatching d(*this);
    m_dialog.DispatchCommand(id, kBnClicked);
    return true;
}

bool MemoryDialog::PressEsc() {
    Check("PressEsc");
    if (!Alive() || !m_windowEnabled) return false;
    Dispatching d(*this);
    m_dialog.DispatchCommand(kIdCancel, kBnClicked);
    return true;
}

bool MemoryDialog::CloseBox() {
    Check("CloseBox");
    if (!Alive() || !m_windowEnabled) return false;
    for (const auto& item : m_sysMenu)
        if (item.command == kScClose && !item.enabled) return false;
    return SysCommand(kScClose);
}

bool MemoryDialog::SysCommand(uint32_t command) {
    Check("SysCommand");
    if (!Alive()) return false;
    Dispatching d(*this);
    if (!m_dialog.DispatchSysCommand(command) && (command & 0xFFF0) == kScClose) m_dialog.DispatchClose();
    return true;
}

// ---------------------------------------------------------------------------
// The clock and the system.
bool MemoryDialog::Tick(int timerId) {
    Check("Tick");
    if (!Alive() || !m_timers.count(timerId)) return false;
    Dispatching d(*this);
    m_dialog.DispatchTimer(timerId);
    return true;
}

void MemoryDialog::Advance(unsigned ms) {
    Check("Advance");
    uint64_t target = m_now + ms;
    while (Alive()) {
        auto next = m_timers.end();
        for (auto it = m_timers.begin(); it != m_timers.end(); ++it) {
            if (it->second.due > target) continue;
            if (next == m_timers.end() || it->second.due < next->second.due ||
                (it->second.due == next->second.due && it->second.order < next->second.order))
                next = it;
        }
        if (next == m_timers.end()) break;
        m_now = next->second.due;
        next->second.due += std::max(1u, next->second.period);
        int id = next->first;
        Dispatching d(*this);
        m_dialog.DispatchTimer(id);
    }
    m_now = target;
}

unsigned MemoryDialog::TimerPeriod(int id) const {
    auto it = m_timers.find(id);
    return it == m_timers.end() ? 0 : it->second.period;
}

std::vector<int> MemoryDialog::ActiveTimers() const {
    std::vector<int> out;
    for (const auto& t : m_timers) out.push_back(t.first);
    return out;
}

intptr_t MemoryDialog::DeviceChange(uint32_t event, int32_t deviceType) {
    Check("DeviceChange");
    if (!Alive()) return 0;
    Dispatching d(*this);
    return m_dialog.DispatchDeviceChange(event, deviceType);
}

intptr_t MemoryDialog::Message(uint32_t msg, uintptr_t wParam, intptr_t lParam) {
    Check("Message");
    if (!Alive()) return 0;
    Dispatching d(*this);
    return m_dialog.DispatchMessage(msg, wParam, lParam);
}

// ---------------------------------------------------------------------------
// Answers.
void MemoryDialog::AnswerFile(const std::string& path, int filterIndex) {
    m_fileAnswers.push_back(MakeFileResult(path, filterIndex));
}

void MemoryDialog::CancelFile() { m_fileAnswers.push_back(FileResult()); }

int MemoryDialog::MessageBox(const std::string& text, const std::string& caption, uint32_t style) {
    Check("MessageBox");
    if (m_parent) return m_shared->root->MessageBox(text, caption, style);
    BoxRecord b;
    b.text = text;
    b.caption = caption;
    b.style = style;
    if (m_boxHandler) {
        b.answer = m_boxHandler(b);
    } else if (!m_boxAnswers.empty()) {
        b.answer = m_boxAnswers.front();
        m_boxAnswers.pop_front();
    } else {
        b.answer = DefaultAnswer(style);
    }
    m_boxes.push_back(b);
    return b.answer;
}

FileResult MemoryDialog::FileDialog(const FileRequest& request) {
    Check("FileDialog");
    if (m_parent) return m_shared->root->FileDialog(request);
    FileResult r;
    if (!m_fileAnswers.empty()) {
        r = m_fileAnswers.front();
        m_fileAnswers.pop_front();
    }
    if (r.ok && r.ext.empty() && !request.defaultExt.empty()) r = MakeFileResult(r.path + "." + request.defaultExt, r.filterIndex);
    if (r.ok && static_cast<int>(r.path.size()) >= request.bufferSize) r = FileResult();  // the path does not fit
    m_files.push_back(FileRecord{request, r});
    return r;
}

int MemoryDialog::RunModal(Dialog& child) {
    Check("RunModal");
    if (m_parent) return m_shared->root->RunModal(child);
    m_modals.push_back(child.TemplateId());
    const DialogTemplate* t = FindTemplate(child.TemplateId());
    if (!t) return -1;
    MemoryDialog host(child, *t, m_shared->mode);
    if (host.Open()) {
        if (!m_modalDrivers.empty()) {
            auto driver = std::move(m_modalDrivers.front());
            m_modalDrivers.pop_front();
            driver(host);
        }
        if (host.Alive()) host.EndDialog(kIdCancel);
    }
    return host.Result();
}

// ---------------------------------------------------------------------------
// The dialog's thread.
void MemoryDialog::Post(std::function<void()> fn) {
    std::lock_guard<std::mutex> lock(m_shared->mutex);
    m_shared->queue.push_back(std::move(fn));
    m_shared->cv.notify_all();
}

void MemoryDialog::StartWorker(std::function<void()> fn) {
    Check("StartWorker");
    if (m_shared->mode == WorkerMode::Stepped)
        m_shared->stepped.Start(std::move(fn));
    else
        m_shared->threads.Start(std::move(fn));
}

bool MemoryDialog::OnDialogThread() const { return std::this_thread::get_id() == m_shared->thread; }

size_t MemoryDialog::Pump() {
    Check("Pump");
    MemoryDialog* root = m_shared->root;
    if (root != this && root) return root->Pump();
    size_t n = 0;
    while (!m_destroyed) {
        std::function<void()> fn;
        {
            std::lock_guard<std::mutex> lock(m_shared->mutex);
            if (m_shared->queue.empty()) break;
            fn = std::move(m_shared->queue.front());
            m_shared->queue.pop_front();
        }
        Dispatching d(*this);
        fn();
        ++n;
    }
    return n;
}

bool MemoryDialog::StepWorker() {
    Check("StepWorker");
    return m_shared->mode == WorkerMode::Stepped && m_shared->stepped.Step();
}

void MemoryDialog::Settle() {
    if (m_shared->mode == WorkerMode::Threads) {
        WaitWorkers();
        return;
    }
    while (true) {
        size_t ran = Pump();
        bool stepped = StepWorker();
        if (!ran && !stepped) break;
    }
}

bool MemoryDialog::WaitWorkers(unsigned timeoutMs) {
    auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    while (true) {
        Pump();
        if (m_shared->mode == WorkerMode::Stepped) {
            if (!StepWorker() && m_shared->stepped.Unfinished() == 0) return true;
            continue;
        }
        {
            std::unique_lock<std::mutex> lock(m_shared->mutex);
            if (m_shared->queue.empty() && m_shared->threads.Running() == 0) return true;
            if (std::chrono::steady_clock::now() > deadline) return false;
            m_shared->cv.wait_for(lock, std::chrono::milliseconds(5), [&] { return !m_shared->queue.empty(); });
        }
    }
}

size_t MemoryDialog::UnfinishedWorkers() const {
    return m_shared->mode == WorkerMode::Stepped ? m_shared->stepped.Unfinished() : m_shared->threads.Running();
}

// ---------------------------------------------------------------------------
// Window.
bool MemoryDialog::HasControl(int id) const { return Ctl(id, "HasControl") != nullptr; }

ControlKind MemoryDialog::Kind(int id) const {
    const MemoryControl* c = Ctl(id, "Kind");
    return c ? c->tmpl.kind : ControlKind::Other;
}

void MemoryDialog::SetCaption(const std::string& text) {
    Check("SetCaption");
    m_caption = text;
}
std::string MemoryDialog::Caption() const {
    Check("Caption");
    return m_caption;
}
void MemoryDialog::EnableWindow(bool enable) {
    Check("EnableWindow");
    m_windowEnabled = enable;
}
bool MemoryDialog::IsWindowEnabled() const {
    Check("IsWindowEnabled");
    return m_windowEnabled;
}
void MemoryDialog::ShowWindow(bool show) {
    Check("ShowWindow");
    m_windowVisible = show;
}
bool MemoryDialog::IsWindowVisible() const {
    Check("IsWindowVisible");
    return m_windowVisible;
}
void MemoryDialog::Redraw() {
    Check("Redraw");
    ++m_redraws;
}

Rect MemoryDialog::WindowRect() const {
    Check("WindowRect");
    return m_window;
}

Rect MemoryDialog::ClientRect() const {
    Check("ClientRect");
    if (m_parent) return Rect{0, 0, m_window.Width(), m_window.Height()};
    return Rect{0, 0, m_window.Width() - 2 * kFrame, m_window.Height() - kCaption - 2 * kFrame};
}

bool MemoryDialog::SetWindowSize(int width, int height) {
    Check("SetWindowSize");
    m_window.right = m_window.left + width;
    m_window.bottom = m_window.top + height;
    return true;
}

bool MemoryDialog::MoveWindow(const Rect& rect) {
    Check("MoveWindow");
    m_window = rect;
    return true;
}

Rect MemoryDialog::ControlRect(int id) const {
    const MemoryControl* c = Ctl(id, "ControlRect");
    return c ? c->rect : Rect();
}

Rect MemoryDialog::ControlScreenRect(int id) const {
    const MemoryControl* c = Ctl(id, "ControlScreenRect");
    if (!c) return Rect();
    // Client origin of this window on the screen.
    int x = 0, y = 0;
    const MemoryDialog* d = this;
    while (d->m_parent) {
        x += d->m_window.left;
        y += d->m_window.top;
        d = d->m_parent;
    }
    x += d->m_window.left + kFrame;
    y += d->m_window.top + kFrame + kCaption;
    return Rect{c->rect.left + x, c->rect.top + y, c->rect.right + x, c->rect.bottom + y};
}

bool MemoryDialog::MoveControl(int id, const Rect& rect) {
    MemoryControl* c = Ctl(id, "MoveControl");
    if (!c) return false;
    c->rect = rect;
    return true;
}

void MemoryDialog::SetIcon(int resourceId) {
    Check("SetIcon");
    m_icon = resourceId;
}

bool MemoryDialog::AppendSystemMenu(uint32_t command, const std::string& text) {
    Check("AppendSystemMenu");
    if (m_sysMenu.empty()) m_sysMenu.push_back(SystemMenuItem{kScClose, "&Close", true});
    m_sysMenu.push_back(SystemMenuItem{0, "", true});  // separator
    m_sysMenu.push_back(SystemMenuItem{command, text, true});
    return true;
}

bool MemoryDialog::EnableSystemMenuItem(uint32_t command, bool enable) {
    Check("EnableSystemMenuItem");
    if (m_sysMenu.empty()) m_sysMenu.push_back(SystemMenuItem{kScClose, "&Close", true});
    for (auto& item : m_sysMenu) {
        if (item.command == command) {
            item.enabled = enable;
            return true;
        }
    }
    return false;
}

// ---------------------------------------------------------------------------
// Controls.
bool MemoryDialog::SetText(int id, const std::string& text) {
    MemoryControl* c = Ctl(id, "SetText");
    if (!c) return false;
    if (c->isStatus) {
        c->status.SetText(text);
        return true;
    }
    c->text = text;
    if (c->tmpl.kind == ControlKind::Edit) {
        // As WM_SETTEXT: the modified flag is cleared and EN_CHANGE follows.
        c->modified = false;
        Dispatching d(*this);
        m_dialog.DispatchCommand(id, kEnChange);
    }
    return true;
}

std::string MemoryDialog::GetText(int id) const {
    const MemoryControl* c = Ctl(id, "GetText");
    if (!c) return std::string();
    return c->isStatus ? c->status.Text() : c->text;
}

bool MemoryDialog::Enable(int id, bool enable) {
    MemoryControl* c = Ctl(id, "Enable");
    if (!c) return false;
    c->enabled = enable;
    if (!enable && m_focus == id) MoveFocusTo(0);  // a disabled window cannot keep the focus
    return true;
}

bool MemoryDialog::IsEnabled(int id) const {
    const MemoryControl* c = Ctl(id, "IsEnabled");
    return c && c->enabled;
}

bool MemoryDialog::Show(int id, bool show) {
    MemoryControl* c = Ctl(id, "Show");
    if (!c) return false;
    c->visible = show;
    if (!show && m_focus == id) MoveFocusTo(0);
    return true;
}

bool MemoryDialog::IsVisible(int id) const {
    const MemoryControl* c = Ctl(id, "IsVisible");
    return c && c->visible;
}

bool MemoryDialog::SetCheck(int id, int state) {
    MemoryControl* c = Ctl(id, "SetCheck");
    if (!c || (c->tmpl.kind != ControlKind::CheckBox && c->tmpl.kind != ControlKind::RadioButton)) return false;
    c->check = state;
    return true;
}

int MemoryDialog::GetCheck(int id) const {
    const MemoryControl* c = Ctl(id, "GetCheck");
    return c ? c->check : 0;
}

bool MemoryDialog::CheckRadio(int first, int last, int id) {
    Check("CheckRadio");
    for (auto& entry : m_controls) {
        if (entry.first < first || entry.first > last) continue;
        if (entry.second.tmpl.kind == ControlKind::RadioButton || entry.second.tmpl.kind == ControlKind::CheckBox)
            entry.second.check = entry.first == id ? 1 : 0;
    }
    return m_controls.count(id) != 0;
}

bool MemoryDialog::SetFocus(int id) {
    MemoryControl* c = Ctl(id, "SetFocus");
    if (!c) return false;
    Dispatching d(*this);
    MoveFocusTo(id);
    return true;
}

int MemoryDialog::Focus() const {
    Check("Focus");
    return m_focus;
}

int MemoryDialog::AddItem(int id, const std::string& text) {
    MemoryControl* c = Ctl(id, "AddItem");
    if (!c || (c->tmpl.kind != ControlKind::ListBox && c->tmpl.kind != ControlKind::ComboBox)) return -1;
    size_t at = c->items.size();
    if (IsSorted(c->tmpl)) {
        std::string key = Lower(text);
        at = 0;
        while (at < c->items.size() && Lower(c->items[at]) <= key) ++at;
    }
    c->items.insert(c->items.begin() + static_cast<long>(at), text);
    if (c->selection >= static_cast<int>(at)) ++c->selection;
    return static_cast<int>(at);
}

bool MemoryDialog::ClearItems(int id) {
    MemoryControl* c = Ctl(id, "ClearItems");
    if (!c || (c->tmpl.kind != ControlKind::ListBox && c->tmpl.kind != ControlKind::ComboBox)) return false;
    c->items.clear();
    c->selection = -1;
    if (c->tmpl.kind == ControlKind::ComboBox) c->text.clear();
    return true;
}

int MemoryDialog::ItemCount(int id) const {
    const MemoryControl* c = Ctl(id, "ItemCount");
    return c ? static_cast<int>(c->items.size()) : 0;
}

std::string MemoryDialog::ItemText(int id, int index) const {
    const MemoryControl* c = Ctl(id, "ItemText");
    if (!c || index < 0 || index >= static_cast<int>(c->items.size())) return std::string();
    return c->items[static_cast<size_t>(index)];
}

bool MemoryDialog::SetSelection(int id, int index) {
    MemoryControl* c = Ctl(id, "SetSelection");
    if (!c || (c->tmpl.kind != ControlKind::ListBox && c->tmpl.kind != ControlKind::ComboBox)) return false;
    if (index < -1 || index >= static_cast<int>(c->items.size())) {
        c->selection = -1;  // as CB_SETCURSEL: the selection is cleared and the call fails
        return false;
    }
    c->selection = index;
    return true;
}

int MemoryDialog::Selection(int id) const {
    const MemoryControl* c = Ctl(id, "Selection");
    return c ? c->selection : -1;
}

bool MemoryDialog::SetRange(int id, int low, int high) {
    MemoryControl* c = Ctl(id, "SetRange");
    if (!c || c->tmpl.kind != ControlKind::Progress) return false;
    c->low = low;
    c->high = high;
    c->pos = std::min(std::max(c->pos, low), high);
    return true;
}

bool MemoryDialog::SetPos(int id, int pos) {
    MemoryControl* c = Ctl(id, "SetPos");
    if (!c || c->tmpl.kind != ControlKind::Progress) return false;
    c->pos = std::min(std::max(pos, c->low), c->high);
    return true;
}

bool MemoryDialog::SetStep(int id, int step) {
    MemoryControl* c = Ctl(id, "SetStep");
    if (!c || c->tmpl.kind != ControlKind::Progress) return false;
    c->step = step;
    return true;
}

bool MemoryDialog::StepIt(int id) {
    MemoryControl* c = Ctl(id, "StepIt");
    if (!c || c->tmpl.kind != ControlKind::Progress) return false;
    c->pos += c->step;
    if (c->pos > c->high) c->pos = c->low + (c->pos - c->high);  // starts over, as PBM_STEPIT
    return true;
}

int MemoryDialog::Pos(int id) const {
    const MemoryControl* c = Ctl(id, "Pos");
    return c ? c->pos : 0;
}

bool MemoryDialog::SetLimit(int id, int chars) {
    MemoryControl* c = Ctl(id, "SetLimit");
    if (!c || c->tmpl.kind != ControlKind::Edit) return false;
    c->limit = chars == 0 ? 0x7FFFFFFE : chars;
    return true;
}

int MemoryDialog::Limit(int id) const {
    const MemoryControl* c = Ctl(id, "Limit");
    return c ? c->limit : 0;
}

bool MemoryDialog::SetModified(int id, bool modified) {
    MemoryControl* c = Ctl(id, "SetModified");
    if (!c || c->tmpl.kind != ControlKind::Edit) return false;
    c->modified = modified;
    return true;
}

bool MemoryDialog::IsModified(int id) const {
    const MemoryControl* c = Ctl(id, "IsModified");
    return c && c->modified;
}

bool MemoryDialog::SetReadOnly(int id, bool readOnly) {
    MemoryControl* c = Ctl(id, "SetReadOnly");
    if (!c || c->tmpl.kind != ControlKind::Edit) return false;
    c->readOnly = readOnly;
    return true;
}

bool MemoryDialog::IsReadOnly(int id) const {
    const MemoryControl* c = Ctl(id, "IsReadOnly");
    return c && c->readOnly;
}

// ---------------------------------------------------------------------------
// Status text controls.
bool MemoryDialog::AttachStatusText(int id) {
    MemoryControl* c = Ctl(id, "AttachStatusText");
    if (!c || c->tmpl.kind != ControlKind::Static) return false;
    c->isStatus = true;
    c->status = StatusTextModel(kMemoryButtonText, kMemoryButtonFace);
    c->status.Attach(DialogFont());
    return true;
}

bool MemoryDialog::StatusSetTextColor(int id, uint32_t colour, bool redraw) {
    MemoryControl* c = Ctl(id, "StatusSetTextColor");
    if (!c || !c->isStatus) return false;
    c->status.SetTextColor(colour);
    c->statusRedraws += redraw ? 1 : 0;
    return true;
}

bool MemoryDialog::StatusSetBkColor(int id, uint32_t colour, bool redraw) {
    MemoryControl* c = Ctl(id, "StatusSetBkColor");
    if (!c || !c->isStatus) return false;
    c->status.SetBkColor(colour);
    c->statusRedraws += redraw ? 1 : 0;
    return true;
}

bool MemoryDialog::StatusSetBold(int id, bool bold, bool redraw) {
    MemoryControl* c = Ctl(id, "StatusSetBold");
    if (!c || !c->isStatus) return false;
    c->status.SetBold(bold, DialogFont());
    c->statusRedraws += redraw ? 1 : 0;
    return true;
}

bool MemoryDialog::StatusSetFont(int id, const std::string& face, int points, bool redraw) {
    MemoryControl* c = Ctl(id, "StatusSetFont");
    if (!c || !c->isStatus) return false;
    c->status.SetFont(face, points, 96, DialogFont());
    c->statusRedraws += redraw ? 1 : 0;
    return true;
}

bool MemoryDialog::StatusState(int id, StatusTextModel& out) const {
    const MemoryControl* c = Ctl(id, "StatusState");
    if (!c || !c->isStatus) return false;
    out = c->status;
    return true;
}

bool MemoryDialog::AddToolTip(int id, const std::string& text, int showMs) {
    MemoryControl* c = Ctl(id, "AddToolTip");
    if (!c) return false;
    c->toolTip = text;
    c->toolTipMs = showMs;
    return true;
}

// ---------------------------------------------------------------------------
// Tabs.
int MemoryDialog::TabInsert(int id, int index, const std::string& text) {
    MemoryControl* c = Ctl(id, "TabInsert");
    if (!c || c->tmpl.kind != ControlKind::Tab || index < 0) return -1;
    size_t at = std::min(static_cast<size_t>(index), c->tabs.size());
    c->tabs.insert(c->tabs.begin() + static_cast<long>(at), text);
    if (c->tabSelection < 0) c->tabSelection = 0;  // the first item becomes the selected one
    else if (c->tabSelection >= static_cast<int>(at) && c->tabs.size() > 1) ++c->tabSelection;
    return static_cast<int>(at);
}

bool MemoryDialog::TabDeleteAll(int id) {
    MemoryControl* c = Ctl(id, "TabDeleteAll");
    if (!c || c->tmpl.kind != ControlKind::Tab) return false;
    c->tabs.clear();
    c->tabSelection = -1;
    return true;
}

int MemoryDialog::TabCount(int id) const {
    const MemoryControl* c = Ctl(id, "TabCount");
    return c ? static_cast<int>(c->tabs.size()) : 0;
}

std::string MemoryDialog::TabText(int id, int index) const {
    const MemoryControl* c = Ctl(id, "TabText");
    if (!c || index < 0 || index >= static_cast<int>(c->tabs.size())) return std::string();
    return c->tabs[static_cast<size_t>(index)];
}

bool MemoryDialog::TabSelect(int id, int index) {
    MemoryControl* c = Ctl(id, "TabSelect");
    if (!c || c->tmpl.kind != ControlKind::Tab || index < 0 || index >= static_cast<int>(c->tabs.size())) return false;
    c->tabSelection = index;
    return true;
}

int MemoryDialog::TabSelection(int id) const {
    const MemoryControl* c = Ctl(id, "TabSelection");
    return c ? c->tabSelection : -1;
}

Rect MemoryDialog::TabDisplayRect(int id) const {
    const MemoryControl* c = Ctl(id, "TabDisplayRect");
    if (!c) return Rect();
    // Below the row of tabs, inside the border.
    return Rect{c->rect.left + 4, c->rect.top + 24, c->rect.right - 4, c->rect.bottom - 4};
}

// ---------------------------------------------------------------------------
bool MemoryDialog::SetTimer(int id, unsigned ms) {
    Check("SetTimer");
    if (!Alive()) return false;
    m_timers[id] = Timer{ms, m_now + std::max(1u, ms), m_timerOrder++};
    return true;
}

bool MemoryDialog::KillTimer(int id) {
    Check("KillTimer");
    return m_timers.erase(id) != 0;
}

DialogHost* MemoryDialog::CreatePage(Dialog& page) {
    Check("CreatePage");
    const DialogTemplate* t = FindTemplate(page.TemplateId());
    if (!t || !Alive()) return nullptr;
    std::unique_ptr<MemoryDialog> p(new MemoryDialog(*this, page, *t));
    p->m_opened = true;
    MemoryDialog* raw = p.get();
    m_pages.push_back(std::move(p));
    Dispatching d(*this);
    page.DispatchInit(*raw, &m_dialog);
    return raw;
}

void MemoryDialog::DestroyPage(Dialog& page) {
    Check("DestroyPage");
    for (auto it = m_pages.begin(); it != m_pages.end(); ++it) {
        if (&(*it)->m_dialog == &page) {
            (*it)->Destroy();
            m_pages.erase(it);
            return;
        }
    }
}

std::vector<MemoryDialog*> MemoryDialog::Pages() {
    std::vector<MemoryDialog*> out;
    for (auto& p : m_pages) out.push_back(p.get());
    return out;
}

MemoryDialog* MemoryDialog::PageOf(const Dialog& page) {
    for (auto& p : m_pages)
        if (&p->m_dialog == &page) return p.get();
    return nullptr;
}

intptr_t MemoryDialog::SendMessage(uint32_t msg, uintptr_t wParam, intptr_t lParam) {
    Check("SendMessage");
    if (!Alive()) return 0;
    Dispatching d(*this);
    return m_dialog.DispatchMessage(msg, wParam, lParam);
}

void MemoryDialog::PostMessage(uint32_t msg, uintptr_t wParam, intptr_t lParam) {
    MemoryDialog* self = this;
    std::weak_ptr<int> token = m_token;
    Post([self, token, msg, wParam, lParam] {
        if (!token.expired() && self->Alive()) self->m_dialog.DispatchMessage(msg, wParam, lParam);
    });
}

bool MemoryDialog::RegisterDeviceNotification(const tessaro::Guid& interfaceClass) {
    Check("RegisterDeviceNotification");
    m_registrations.push_back(interfaceClass);
    return true;
}

// ---------------------------------------------------------------------------
int MemoryBackend::RunModal(Dialog& dialog) {
    m_runs.push_back(dialog.TemplateId());
    const DialogTemplate* t = FindTemplate(dialog.TemplateId());
    if (!t) return -1;
    MemoryDialog host(dialog, *t, m_mode);
    if (host.Open()) {
        if (!m_drivers.empty()) {
            auto driver = std::move(m_drivers.front());
            m_drivers.pop_front();
            driver(host);
        }
        if (host.Alive()) host.EndDialog(kIdCancel);
    }
    return host.Result();
}

}  // namespace ui
