// The in-memory backend: tab controls.
#include "ui/toolkit/memory_internal.h"

namespace ui {

using namespace memory_detail;

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

}  // namespace ui
