// CStatusText: a static control that paints its own text with its own
// colours and font (the multi-hub dialog's bulletin board, the PHY tuning
// dialogs' status line).  The rules of what it shows are those of
// ui::StatusTextModel; this class keeps one, owns the GDI font and brush
// built from it, and paints.
#pragma once

#include <windows.h>

#include <string>

#include "ui/toolkit/status_text.h"

class CStatusText {
public:
    CStatusText();
    ~CStatusText();
    CStatusText(const CStatusText&) = delete;
    CStatusText& operator=(const CStatusText&) = delete;

    // Attaches to the dialog item and takes a copy of the font it uses.
    BOOL SubclassDlgItem(int id, HWND dialog);

    void SetText(const std::string& text);
    void SetTextColor(COLORREF colour, BOOL redraw);
    void SetBkColor(COLORREF colour, BOOL redraw);
    void SetBold(BOOL bold, BOOL redraw);
    void SetFont(const char* face, int points, BOOL redraw);

    const ui::StatusTextModel& State() const { return m_model; }
    HWND Window() const { return m_hwnd; }

    // What the control of another thread shows: its state and the font it
    // really paints with.  Sent to the control, so it is answered on the
    // control's own thread.  FALSE when hwnd is no status text control.
    struct Snapshot {
        ui::StatusTextModel model;
        LOGFONTA font;
        int paints;
        UINT format;  // the DrawText format of the last paint
        HFONT fontHandle;
        HBRUSH brushHandle;
    };
    static BOOL Query(HWND control, Snapshot* out);

private:
    static LRESULT CALLBACK Proc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam, UINT_PTR id, DWORD_PTR self);
    void Paint();
    void Redraw(BOOL redraw);
    bool DialogFont(LOGFONTA& lf) const;
    static ui::FontSpec Spec(const LOGFONTA& lf);
    void ReplaceFont(const LOGFONTA& lf);

    HWND m_hwnd = nullptr;
    ui::StatusTextModel m_model;
    HFONT m_font = nullptr;
    HBRUSH m_brush = nullptr;
    int m_paints = 0;
    UINT m_format = 0;
};
