// What a status text control shows: its own text, colours and font.
//
// The rules live here, once, for both backends: the Win32 CStatusText keeps
// one of these and paints from it, the in-memory backend keeps one per
// attached status control so that tests read exactly what would be painted.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "ui/toolkit/uiconst.h"

namespace ui {

// A font as the control builds it (the fields of LOGFONT that matter here).
struct FontSpec {
    std::string face;
    int height = 0;    // LOGFONT height: negative for a character height in pixels
    int weight = 400;  // 400 normal, 700 bold
    bool operator==(const FontSpec& o) const { return face == o.face && height == o.height && weight == o.weight; }
    bool operator!=(const FontSpec& o) const { return !(*this == o); }
};

// LOGFONT height of a size in points: -MulDiv(points, dpi, 72).
int FontHeight(int points, int dpi);

class StatusTextModel {
public:
    static constexpr size_t kMaxFace = 31;  // LOGFONT face names hold 31 characters

    StatusTextModel(uint32_t buttonText = kMemoryButtonText, uint32_t buttonFace = kMemoryButtonFace)
        : m_textColor(buttonText), m_bkColor(buttonFace) {}

    // Attaching to the dialog item: the control's font is a copy of the one
    // it uses at that moment.
    void Attach(const FontSpec& current) { m_font = current; }

    // The text is stored only; it shows at the next repaint.
    void SetText(const std::string& text) {
        m_text = text;
        m_hasText = true;
    }
    void SetTextColor(uint32_t colour) { m_textColor = colour; }
    void SetBkColor(uint32_t colour) { m_bkColor = colour; }
    // The font is rebuilt from the dialog's font with the new weight, which
    // drops any face and size an earlier SetFont chose.
    void SetBold(bool bold, const FontSpec& dialogFont);
    // Face (cut to 31 characters; empty: the dialog font's face) and size.
    void SetFont(const std::string& face, int points, int dpi, const FontSpec& dialogFont);

    const std::string& Text() const { return m_text; }
    bool HasText() const { return m_hasText; }  // a control never given a text paints its background only
    uint32_t TextColor() const { return m_textColor; }
    uint32_t BkColor() const { return m_bkColor; }
    bool Bold() const { return m_bold; }
    const FontSpec& Font() const { return m_font; }
    int Points() const { return m_points; }  // the size SetFont was given; 0 after SetBold or before any SetFont

private:
    std::string m_text;
    bool m_hasText = false;
    uint32_t m_textColor;
    uint32_t m_bkColor;
    bool m_bold = false;
    FontSpec m_font;
    int m_points = 0;
};

// The style bits of a static control that decide how a status text is drawn
// (SS_*), and the DrawText format they give (DT_*); the values are Windows'.
constexpr uint32_t kSsCenter = 0x0001;
constexpr uint32_t kSsRight = 0x0002;
constexpr uint32_t kSsTypeMask = 0x001F;
constexpr uint32_t kSsCenterImage = 0x0200;
constexpr uint32_t kDtLeft = 0x0000;
constexpr uint32_t kDtCenter = 0x0001;
constexpr uint32_t kDtRight = 0x0002;
constexpr uint32_t kDtVCenter = 0x0004;
constexpr uint32_t kDtWordBreak = 0x0010;
constexpr uint32_t kDtSingleLine = 0x0020;

// SS_CENTER centres, SS_RIGHT aligns right, any other type left; with
// SS_CENTERIMAGE one vertically centred line, otherwise word-wrapped lines.
uint32_t StatusTextFormat(uint32_t style);

// One look of a status line, set in the usual sequence: text, text colour,
// background colour, bold, face and size, each repainted at once.
struct StatusLook {
    uint32_t textColor = 0;
    uint32_t bkColor = kMemoryButtonFace;
    bool bold = true;
    std::string face = "Microsoft Sans Serif";
    int points = 12;
};

}  // namespace ui
