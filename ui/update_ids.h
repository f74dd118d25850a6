// Control ids of the update-only dialog (template IDD_UPDATE_DIALOG), in a
// range of their own.  The resource script and the template reader see them
// as part of ui/win32/resource.h.
#pragma once

#define IDC_UPD_FW_VERSION 3901
#define IDC_UPD_FW_FILE 3902
#define IDC_UPD_STATUS 3903
#define IDC_UPD_UPDATE 3904
#define IDC_UPD_PROGRESS 3905
#define IDC_UPD_UNINSTALL 3906
#define IDC_UPD_AUTO_UNINSTALL 3907
#define IDC_UPD_EEP_LABEL 3908
#define IDC_UPD_EEP_FILE 3909
#define IDC_UPD_NOTES 3910
