// The Win32 backend of the dialog toolkit: dialogs from the resource
// templates of the program, run with DialogBoxParam (modal) or
// CreateDialogParam (pages), window timers, work posted to the dialog's
// thread through its message queue, real message boxes and common file
// dialogs, and CStatusText for status lines.
#pragma once

#include <windows.h>

// The toolkit's own names (DialogHost::MessageBox, SendMessage, ...) are not
// to be renamed by the ANSI/wide macros: Win32 code here calls the A
// functions by their full names.
#undef MessageBox
#undef SendMessage
#undef PostMessage
#undef DispatchMessage
#undef RegisterDeviceNotification

#include "ui/toolkit/dialog.h"

namespace ui {
namespace win32 {

class Win32Backend : public Backend {
public:
    explicit Win32Backend(HINSTANCE instance) : m_instance(instance) {}
    int RunModal(Dialog& dialog) override;

private:
    HINSTANCE m_instance;
};

// Initialises the common controls (progress bars, tabs, tool tips) and
// installs the Win32 backend for the process; call once at start-up.
void Install(HINSTANCE instance);

// The window of an open dialog; null when the dialog is not shown by this backend.
HWND WindowOf(const Dialog& dialog);

}  // namespace win32
}  // namespace ui
