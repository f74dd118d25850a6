// The in-memory backend: what every control has — text, enable and show
// state, button checks, the focus and tool tips.
#include "ui/toolkit/memory_internal.h"

namespace ui {

using namespace memory_detail;

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
    c->invalid = true;
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

bool MemoryDialog::AddToolTip(int id, const std::string& text, int showMs) {
    MemoryControl* c = Ctl(id, "AddToolTip");
    if (!c) return false;
    c->toolTip = text;
    c->toolTipMs = showMs;
    return true;
}

}  // namespace ui
