// The in-memory backend: edit fields.
#include "ui/toolkit/memory_internal.h"

namespace ui {

using namespace memory_detail;

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

}  // namespace ui
