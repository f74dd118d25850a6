// What a file step asks its dialog to show.  The steps in files/ never touch a
// control or open a box themselves: they return the texts, and the dialog (or
// the console, which prints the message text) shows them.  Order of showing:
// the box first, then the status line; the message text is the dialog's
// stored text and is not shown by itself.
#pragma once

#include <cstdint>
#include <string>

// Look of a status text on the multi-hub dialog's shared status control.  The
// main dialog has a plain status line and ignores the style.
enum class StatusStyle {
    None,         // leave the status line as it is
    LoadSuccess,  // pale cyan on blue, bold 12 points (image and EEP loads)
    ToolSuccess,  // light green on dark green, bold 18 points (store tools)
    Failure,      // pale yellow on red, bold 18 points
};

struct UiReport {
    std::string message;    // the dialog's message text; empty: unchanged
    std::string box;        // message box text (caption "Quillon"); empty: no box
    uint32_t boxStyle = 0;  // icon and modality flags of the box (platform/winconst.h)
    std::string status;     // status line text; empty: unchanged
    StatusStyle style = StatusStyle::None;
};

// Caption of every box these steps ask for.
constexpr const char* kQuillonCaption = "Quillon";
