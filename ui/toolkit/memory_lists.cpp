// The in-memory backend: list boxes and combo boxes.
#include "ui/toolkit/memory_internal.h"

namespace ui {

using namespace memory_detail;

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

}  // namespace ui
