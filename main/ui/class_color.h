// Colours of the class library as Qt colours and back. A value with the
// high byte 0xFF is a system colour, index in the low byte, taken from the
// palette (clWindow the field background, clBtnFace the button face, …);
// any other value is 0x00BBGGRR.
#pragma once

#include <QColor>
#include <QPalette>
#include <cstdint>

namespace quill {

QColor ClassColor(int32_t value, const QPalette& palette);
// With the application's palette.
QColor ClassColor(int32_t value);
// A chosen colour as 0x00BBGGRR.
int32_t ToColorRef(const QColor& color);

}  // namespace quill
