// Number text of the control library: how every control, pop-up, dialog and
// the application show and read values. Portable: no Windows API.
#pragma once

#include <cstddef>
#include <cstdint>

// Prints `value` into `out` (at most `out_size` bytes, always terminated)
// with a printf format built from the arguments: "%", then "+" when
// `sign` is 1 and the value is not zero, then "0" and `integer_digits` when
// that is not 0 (zero padding to that field width), then "." and `decimals`
// (".0" when 0), then "f". Returns the length of the text, at most 255.
uint8_t FormatValue(float value, char* out, size_t out_size, uint8_t decimals,
                    uint8_t integer_digits, int sign);

// Prints a control's value as it is shown: `decimals` decimals, an explicit
// sign when `sign` is 1 and it is not zero; with `decibel`, 20·log10(value),
// and "- inf" below -500 dB. Returns the length.
int FormatShownValue(float value, int decimals, int decibel, int sign, char* out, size_t out_size);

// The context menus' numbers: FormatShownValue with the sign.
int FormatMenuNumber(float value, int decimals, int decibel, char* out, size_t out_size);

// The dashes a pasted minus sign arrives as in the ANSI code page 1252:
// the en dash and the em dash (the typographic minus itself becomes '-').
constexpr unsigned char kAnsiEnDash = 0x96;
constexpr unsigned char kAnsiEmDash = 0x97;

// '-', or a dash that stands for one.
bool IsMinusSign(char c);

// Reads a number the forgiving way: characters before the first digit are
// skipped (a minus sign among them, IsMinusSign, makes it negative); "." or
// "," before any digit starts the fraction; the integer part takes at most
// 53 digits, the fraction at most 52; anything else ends the number. No
// digit gives 0.
long double ParseValue(const char* text);

// A typed answer: 1 with `*value` = ParseValue(text) when the text holds a
// digit; 0 (and `*value` untouched) when it holds no number at all, which
// must change nothing ("off", "-", "x" are no zero).
int ParseTypedValue(const char* text, long double* value);

// 1 when the text says minus infinity: "-inf" in any letter case, with any
// blanks, the minus sign as IsMinusSign takes it ("- inf", "-INF").
int IsMinusInfinity(const char* text);
