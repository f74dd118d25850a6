// The About box of the main dialog (template 100): the program's name and
// version.
#pragma once

#include "ui/toolkit/dialog.h"
#include "ui/win32/resource.h"

class CAboutDlg : public ui::Dialog {
public:
    CAboutDlg() : Dialog(IDD_ABOUTBOX) {}
};
