// Resource ids of Tessaro.exe.  Dialog templates and control ids are those the
// technicians know from the tool's screens.
#pragma once

#define IDR_MAINFRAME 128
