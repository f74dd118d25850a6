#include "ui/toolkit/dialog.h"

#include <algorithm>

#include "ui/toolkit/executor.h"

namespace ui {

// ---------------------------------------------------------------------------
FileResult MakeFileResult(const std::string& path, int filterIndex) {
    FileResult r;
    r.ok = true;
    r.path = path;
    r.filterIndex = filterIndex;
    size_t slash = path.find_last_of("\\/");
    r.name = slash == std::string::npos ? path : path.substr(slash + 1);
    size_t dot = r.name.find_last_of('.');
    r.ext = dot == std::string::npos ? std::string() : r.name.substr(dot + 1);
    return r;
}

std::vector<std::pair<std::string, std::string>> SplitFilter(const std::string& filter) {
    std::vector<std::string> parts;
    size_t pos = 0;
    while (pos <= filter.size()) {
        size_t bar = filter.find('|', pos);
        if (bar == std::string::npos) bar = filter.size();
        std::string part = filter.substr(pos, bar - pos);
        if (part.empty()) break;
        parts.push_back(part);
        pos = bar + 1;
    }
    std::vector<std::pair<std::string, std::string>> out;
    for (size_t i = 0; i + 1 < parts.size(); i += 2) out.emplace_back(parts[i], parts[i + 1]);
    return out;
}

// ---------------------------------------------------------------------------
struct WorkerLink::Channel {
    std::mutex mutex;
    std::condition_variable cv;
    bool open = true;
    DialogHost* host = nullptr;
    Dialog* dialog = nullptr;
};

namespace {
bool IsOpen(const std::shared_ptr<WorkerLink::Channel>& ch) {
    std::lock_guard<std::mutex> lock(ch->mutex);
    return ch->open;
}
}  // namespace

void WorkerLink::Post(std::function<void()> fn) {
    {
        // Posting under the channel's lock: the window cannot go away between
        // the check and the post.
        std::lock_guard<std::mutex> lock(m_ch->mutex);
        if (!m_ch->open) return;
        auto ch = m_ch;
        m_ch->host->Post([ch, fn = std::move(fn)] {
            if (IsOpen(ch)) fn();
        });
    }
    YieldPoint();
}

void WorkerLink::CallVoid(std::function<void()> fn) {
    auto done = std::make_shared<bool>(false);
    {
        std::lock_guard<std::mutex> lock(m_ch->mutex);
        if (!m_ch->open) return;
        auto ch = m_ch;
        m_ch->host->Post([ch, fn = std::move(fn), done] {
            if (IsOpen(ch)) fn();
            std::lock_guard<std::mutex> lock2(ch->mutex);
            *done = true;
            ch->cv.notify_all();
        });
    }
    auto ch = m_ch;
    WorkerWait(ch->mutex, ch->cv, [ch, done] { return *done || !ch->open; });
}

bool WorkerLink::DialogOpen() const { return IsOpen(m_ch); }

void WorkerLink::SetText(int id, const std::string& text) {
    Dialog* d = m_ch->dialog;
    Post([d, id, text] { d->SetText(id, text); });
}
void WorkerLink::Enable(int id, bool enable) {
    Dialog* d = m_ch->dialog;
    Post([d, id, enable] { d->Enable(id, enable); });
}
void WorkerLink::Show(int id, bool show) {
    Dialog* d = m_ch->dialog;
    Post([d, id, show] { d->Show(id, show); });
}
void WorkerLink::SetCheck(int id, int state) {
    Dialog* d = m_ch->dialog;
    Post([d, id, state] { d->SetCheck(id, state); });
}
void WorkerLink::SetRange(int id, int low, int high) {
    Dialog* d = m_ch->dialog;
    Post([d, id, low, high] { d->Host().SetRange(id, low, high); });
}
void WorkerLink::SetPos(int id, int pos) {
    Dialog* d = m_ch->dialog;
    Post([d, id, pos] { d->Host().SetPos(id, pos); });
}
void WorkerLink::ShowStatus(int id, const std::string& text, const StatusLook& look) {
    Dialog* d = m_ch->dialog;
    Post([d, id, text, look] { d->ShowStatus(id, text, look); });
}
void WorkerLink::SetTimer(int id, unsigned ms) {
    Dialog* d = m_ch->dialog;
    Post([d, id, ms] { d->SetTimer(id, ms); });
}
void WorkerLink::KillTimer(int id) {
    Dialog* d = m_ch->dialog;
    Post([d, id] { d->KillTimer(id); });
}
void WorkerLink::Redraw() {
    Dialog* d = m_ch->dialog;
    Post([d] { d->Host().Redraw(); });
}
void WorkerLink::EnableWindow(bool enable) {
    Dialog* d = m_ch->dialog;
    Post([d, enable] { d->Host().EnableWindow(enable); });
}
void WorkerLink::PostMessage(uint32_t msg, uintptr_t wParam, intptr_t lParam) {
    Dialog* d = m_ch->dialog;
    Post([d, msg, wParam, lParam] { d->DispatchMessage(msg, wParam, lParam); });
}
int WorkerLink::MessageBox(const std::string& text, const std::string& caption, uint32_t style) {
    Dialog* d = m_ch->dialog;
    return Call<int>([d, text, caption, style] { return d->MessageBox(text, caption, style); }, kIdCancel);
}
void WorkerLink::EndDialog(int result) {
    Dialog* d = m_ch->dialog;
    Post([d, result] { d->WorkerAsksEnd(result); });
}

// ---------------------------------------------------------------------------
namespace {
// The box port of a worker's thread: what the engine or the power code would
// show from the worker is shown by the dialog, like the worker's own boxes.
class LinkBox : public tessaro::IMessageBox {
public:
    explicit LinkBox(WorkerLink& link) : m_link(link) {}
    int Show(const std::string& text, const std::string& caption, uint32_t style) override {
        return m_link.MessageBox(text, caption, style);
    }

private:
    WorkerLink& m_link;
};
}  // namespace

Dialog::~Dialog() { CloseChannels(); }

void Dialog::ShowStatus(int id, const std::string& text, const StatusLook& look) {
    if (!m_host) return;
    m_host->SetText(id, text);
    m_host->StatusSetTextColor(id, look.textColor, true);
    m_host->StatusSetBkColor(id, look.bkColor, true);
    m_host->StatusSetBold(id, look.bold, true);
    m_host->StatusSetFont(id, look.face, look.points, true);
}

void Dialog::EndDialog(int result) {
    // A page ends its dialog, and only as its dialog's worker guard allows:
    // a running worker defers the end until it is done.
    if (m_parent && m_host) {
        m_parent->WorkerAsksEnd(result);
        return;
    }
    if (m_host) m_host->EndDialog(result);
}

bool Dialog::StartWorker(std::function<void(WorkerLink&)> fn, int tag) {
    if (!m_host || m_working) return false;
    m_channels.erase(std::remove_if(m_channels.begin(), m_channels.end(),
                                    [](const std::shared_ptr<WorkerLink::Channel>& c) { return c.use_count() == 1; }),
                     m_channels.end());
    auto ch = std::make_shared<WorkerLink::Channel>();
    ch->host = m_host;
    ch->dialog = this;
    m_channels.push_back(ch);
    m_working = true;
    m_host->StartWorker([ch, fn = std::move(fn), tag] {
        WorkerLink link(ch);
        {
            tessaro::IProcess* process = tessaro::Sys().process;
            bool threadReady = process && process->InitThread();
            LinkBox box(link);
            tessaro::System ports;
            ports.box = &box;
            tessaro::ScopedThreadPorts routed(ports);
            fn(link);
            if (threadReady) process->EndThread();
        }
        // The done comes after every effect the worker posted.
        Dialog* d = ch->dialog;
        link.Post([d, tag] { d->WorkerDone(tag); });
    });
    return true;
}

bool Dialog::QueueWorker(std::function<void(WorkerLink&)> fn, int tag) {
    if (!m_host || m_endPending) return false;
    if (!m_working) return StartWorker(std::move(fn), tag);
    m_queued.emplace_back(std::move(fn), tag);
    return true;
}

void Dialog::WorkerDone(int tag) {
    m_working = false;
    OnWorkerDone(tag);
    if (m_endPending) {
        m_endPending = false;
        m_queued.clear();
        EndDialog(m_pendingResult);
        return;
    }
    if (!m_queued.empty() && m_host) {
        auto next = std::move(m_queued.front());
        m_queued.erase(m_queued.begin());
        StartWorker(std::move(next.first), next.second);
    }
}

void Dialog::WorkerAsksEnd(int result) {
    if (m_working) {
        m_endPending = true;
        m_pendingResult = result;
    } else {
        EndDialog(result);
    }
}

void Dialog::CloseChannels() {
    for (auto& ch : m_channels) {
        std::lock_guard<std::mutex> lock(ch->mutex);
        ch->open = false;
        ch->cv.notify_all();
    }
    m_channels.clear();
}

bool Dialog::DispatchInit(DialogHost& host, Dialog* parent) {
    m_host = &host;
    m_parent = parent;
    m_working = false;
    m_endPending = false;
    return OnInitDialog();
}

void Dialog::DispatchCommand(int id, int code) {
    if (!m_host) return;
    if (id == kIdOk) {
        if (!m_working && !m_parent) OnOK();
        return;
    }
    if (id == kIdCancel) {
        if (!m_working && !m_parent) OnCancel();
        return;
    }
    if (m_working && m_guarded.count(id)) return;
    OnCommand(id, code);
}

void Dialog::DispatchClose() {
    if (m_host && !m_working) OnClose();
}

void Dialog::DispatchTimer(int id) {
    if (m_host) OnTimer(id);
}

void Dialog::DispatchNotify(int id, int code) {
    if (m_host) OnNotify(id, code);
}

intptr_t Dialog::DispatchDeviceChange(uint32_t event, int32_t deviceType) {
    return m_host ? OnDeviceChange(event, deviceType) : 1;
}

intptr_t Dialog::DispatchMessage(uint32_t msg, uintptr_t wParam, intptr_t lParam) {
    return m_host ? OnMessage(msg, wParam, lParam) : 0;
}

bool Dialog::DispatchSysCommand(uint32_t command) {
    if (!m_host) return false;
    // The close box of a working dialog does nothing.
    if ((command & 0xFFF0) == kScClose && m_working) return true;
    return OnSysCommand(command);
}

void Dialog::DispatchDestroy() {
    if (!m_host) return;
    OnDestroy();
    CloseChannels();
    m_host = nullptr;
    m_working = false;
    m_endPending = false;
    m_queued.clear();
}

// ---------------------------------------------------------------------------
namespace {
std::atomic<Backend*> g_backend{nullptr};
}

void SetBackend(Backend* backend) { g_backend.store(backend); }
Backend* CurrentBackend() { return g_backend.load(); }

int DoModal(Dialog& dialog) {
    Backend* b = CurrentBackend();
    return b ? b->RunModal(dialog) : -1;
}

}  // namespace ui
