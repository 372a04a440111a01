// Every bit of the control library's style words, named once. A control's
// style word is given at creation; the notification bits also travel in its
// NotifyTarget. Portable: hosts and portable code compose style words from
// these names without the Windows headers.
#pragma once

#include <cstdint>

// Notification bits (knob, slider, image button; the delivery reads them).
constexpr uint32_t kNotifyPassKeys = 0x00000100;     // every key message goes on to the parent
constexpr uint32_t kNotifyWhileMoving = 0x01000000;  // values during a drag, on keys and wheel
constexpr uint32_t kNotifyByCallback = 0x02000000;   // a callback is set (creation adds it)
constexpr uint32_t kNotifyBeginEnd = 0x40000000;     // begin and end events around a change

// Knob and slider. The low byte holds the palette indices of the pointer's
// (knob) or the image-less thumb's (slider) pen and brush.
constexpr uint32_t kStyleHorizontal = 0x00010000;      // slider: minimum at the left
constexpr uint32_t kStyleEditQuick = 0x00100000;       // "Edit Value" types the value
constexpr uint32_t kStyleEditTime = 0x00200000;        // "Edit Value" as a time
constexpr uint32_t kStyleDecibel = 0x00400000;         // shown and typed as 20·log10(value)
constexpr uint32_t kStyleEditReciprocal = 0x00800000;  // knob: "Edit Value" on 1 / value, a time
constexpr uint32_t kStyleNoEditing = 0x04000000;    // knob: no editing; slider: no "Adjust Value"
constexpr uint32_t kStyleOuterTick = 0x08000000;    // knob: the pointer as an outer tick
constexpr uint32_t kStyleLogarithmic = 0x10000000;  // knob: the step is a factor
constexpr uint32_t kStyleSpringBack = 0x20000000;   // knob: back to the default on release

// The library's palette: its sixteen colours, brushes and pens by index
// (GetLibraryColor, GetLibraryBrush, GetLibraryPen; the colours are in
// drawing_objects.cpp). Greys are named by their level.
constexpr int kPaletteBlack = 0;
constexpr int kPaletteRed = 1;
constexpr int kPaletteOrange = 2;
constexpr int kPaletteYellow = 3;
constexpr int kPaletteNavy = 4;
constexpr int kPaletteBlue = 5;
constexpr int kPaletteLavender = 6;
constexpr int kPaletteTeal = 7;
constexpr int kPaletteGreen = 8;
constexpr int kPaletteGrey64 = 9;  // the dark edge of sunken boxes
constexpr int kPaletteGrey84 = 10;
constexpr int kPaletteGrey110 = 11;
constexpr int kPaletteGrey130 = 12;
constexpr int kPaletteGrey180 = 13;
constexpr int kPaletteGrey230 = 14;  // the value fields' background
constexpr int kPaletteWhite = 15;

// The library's sixteen Arial fonts by index (GetLibraryFont): pixel height,
// and bold (weight 700) or heavy (800) where named.
constexpr int kFont10 = 0;
constexpr int kFont10Bold = 1;
constexpr int kFont12 = 2;
constexpr int kFont12Bold = 3;
constexpr int kFont14 = 4;
constexpr int kFont14Bold = 5;
constexpr int kFont16 = 6;
constexpr int kFont16Bold = 7;
constexpr int kFont18 = 8;
constexpr int kFont18Bold = 9;
constexpr int kFont20 = 10;
constexpr int kFont20Bold = 11;
constexpr int kFont26Heavy = 12;
constexpr int kFont26HeavyToo = 13;  // the same face as 12, kept as its own slot
constexpr int kFont38 = 14;
constexpr int kFont38Heavy = 15;

// The pen and brush palette indices (0 … 15) of a style word, both ways.
constexpr uint32_t StyleColors(int pen, int brush) {
  return static_cast<uint32_t>(pen & 0xF) | (static_cast<uint32_t>(brush & 0xF) << 4);
}
constexpr uint16_t StylePen(uint32_t style) { return static_cast<uint16_t>(style & 0xF); }
constexpr uint16_t StyleBrush(uint32_t style) { return static_cast<uint16_t>((style >> 4) & 0xF); }

// Image button: one mode, and auto-repeat for a push button.
constexpr uint32_t kButtonPush = 0x1000;
constexpr uint32_t kButtonToggle = 0x2000;
constexpr uint32_t kButtonIndicator = 0x4000;
constexpr uint32_t kButtonSelect = 0x8000;
constexpr uint32_t kButtonModeMask = 0xF000;
constexpr uint32_t kButtonAutoRepeat = 0x20000;

// Line list: Shift or Ctrl clicks extend the selection.
constexpr uint32_t kLineListExtendedSelection = 1;

// Text style words (the library's text drawing and the editors' fields):
// bits 0 … 3 the text colour, 4 … 7 the background colour (palette
// indices), 8 … 12 the library font, bit 31 embossed (a white copy one pixel
// right and down behind the text, drawn transparent).
constexpr uint32_t TextStyle(int text, int background, int font) {
  return static_cast<uint32_t>(text & 0xF) | (static_cast<uint32_t>(background & 0xF) << 4) |
         (static_cast<uint32_t>(font & 0x1F) << 8);
}
constexpr uint32_t kTextStyleEmbossed = 0x80000000u;
constexpr uint32_t kTextStyleValue = TextStyle(kPaletteBlack, kPaletteGrey230, kFont16Bold);
