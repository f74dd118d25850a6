// The in-memory backend: what the test plays — the user, the clock and the
// system — and the answers of boxes, file dialogs and modal children.
#include "ui/toolkit/memory_internal.h"

namespace ui {

using namespace memory_detail;

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
    std::string typed = text;
    // A digit-only edit (ES_NUMBER) refuses every other key.
    if (c->tmpl.HasStyle("ES_NUMBER"))
        typed.erase(std::remove_if(typed.begin(), typed.end(),
                                   [](char ch) { return !std::isdigit(static_cast<unsigned char>(ch)); }),
                    typed.end());
    c->text = typed.substr(0, static_cast<size_t>(std::max(0, c->limit)));
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
        m_now = std::max(m_now, next->second.due);
        next->second.due += std::max(1u, next->second.period);
        int id = next->first;
        Dispatching d(*this);
        m_dialog.DispatchTimer(id);
    }
    // A handler's modal loop may have moved time further: it never goes back.
    m_now = std::max(m_now, target);
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
    RunModalLoop();
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
    RunModalLoop();
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
        RunModalLoop();
        if (!m_modalDrivers.empty()) {
            auto driver = std::move(m_modalDrivers.front());
            m_modalDrivers.pop_front();
            driver(host);
        }
        if (host.Alive()) host.EndDialog(kIdCancel);
    }
    return host.Result();
}

}  // namespace ui
