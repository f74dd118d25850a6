#include "ui/toolkit/status_text.h"

#include <cstdint>

namespace ui {

int FontHeight(int points, int dpi) {
    // MulDiv rounds half away from zero.
    int64_t p = static_cast<int64_t>(points) * dpi;
    int64_t q = (p >= 0 ? p + 36 : p - 36) / 72;
    return -static_cast<int>(q);
}

void StatusTextModel::SetBold(bool bold, const FontSpec& dialogFont) {
    m_bold = bold;
    m_font = dialogFont;
    m_font.weight = bold ? 700 : 400;
    m_points = 0;
}

void StatusTextModel::SetFont(const std::string& face, int points, int dpi, const FontSpec& dialogFont) {
    FontSpec f;
    f.face = face.empty() ? dialogFont.face : face.substr(0, kMaxFace);
    f.height = FontHeight(points, dpi);
    f.weight = m_bold ? 700 : 400;
    m_font = f;
    m_points = points;
}

uint32_t StatusTextFormat(uint32_t style) {
    uint32_t format = kDtLeft;
    if ((style & kSsTypeMask) == kSsCenter) format = kDtCenter;
    if ((style & kSsTypeMask) == kSsRight) format = kDtRight;
    return format | ((style & kSsCenterImage) ? (kDtSingleLine | kDtVCenter) : kDtWordBreak);
}

}  // namespace ui
