// The in-memory backend: construction, the life of a window, the dialog's
// thread and its workers, timers, pages, messages and the top-level backend.
#include "ui/toolkit/memory_internal.h"

#include <chrono>

#include "ui/toolkit/device_events.h"

namespace ui {

using namespace memory_detail;

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
        c.painted = c.text;
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
    // The dialog's thread goes idle: what was invalidated is painted.
    if (!m_destroyed) PaintInvalid();
}

void MemoryDialog::Destroy() {
    if (m_destroyed) return;
    m_ending = true;
    if (m_deviceEvents) UnsubscribeDeviceEvents(m_deviceEvents);
    m_deviceEvents = 0;
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
    // Events raised in the process (the bench's hot plug) come as Windows'
    // would: posted, and dispatched when the dialog's thread pumps.
    MemoryDialog* self = this;
    std::weak_ptr<int> token = m_token;
    if (m_deviceEvents) UnsubscribeDeviceEvents(m_deviceEvents);
    m_deviceEvents = SubscribeDeviceEvents(interfaceClass, [self, token](uint32_t event, int32_t deviceType) {
        self->Post([self, token, event, deviceType] {
            if (!token.expired() && self->Alive()) self->m_dialog.DispatchDeviceChange(event, deviceType);
        });
    });
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
