// The in-memory backend: the window itself — caption, enable and show state,
// repaints, geometry, icon and system menu.
#include "ui/toolkit/memory_internal.h"

namespace ui {

using namespace memory_detail;

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
    for (auto& entry : m_controls) Paint(entry.second);
}

void MemoryDialog::RepaintControls(const std::vector<int>& ids) {
    Check("RepaintControls");
    m_repaints.push_back(ids);
    for (int id : ids) {
        auto it = m_controls.find(id);
        if (it != m_controls.end()) Paint(it->second);
    }
}

void MemoryDialog::Paint(MemoryControl& c) {
    c.painted = c.isStatus ? c.status.Text() : c.text;
    c.invalid = false;
}

void MemoryDialog::PaintInvalid() {
    for (auto& entry : m_controls)
        if (entry.second.invalid) Paint(entry.second);
    for (auto& page : m_pages) page->PaintInvalid();
}

std::string MemoryDialog::PaintedText(int id) const {
    const MemoryControl* c = Control(id);
    return c ? c->painted : std::string();
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

}  // namespace ui
