// Number text: see value_text.h.
#include "ctl/portable/value_text.h"

#include <cmath>
#include <cstdio>

uint8_t FormatValue(float value, char* out, size_t out_size, uint8_t decimals,
                    uint8_t integer_digits, int sign) {
  if (out_size == 0) return 0;
  char format[24];
  size_t at = 0;
  format[at++] = '%';
  if (sign == 1 && value != 0.0f) format[at++] = '+';
  if (integer_digits != 0) {
    at += static_cast<size_t>(std::snprintf(format + at, sizeof format - at, "0%u", integer_digits));
  }
  std::snprintf(format + at, sizeof format - at, ".%uf", decimals);
  const int length = std::snprintf(out, out_size, format, static_cast<double>(value));
  if (length < 0) {
    out[0] = '\0';
    return 0;
  }
  const size_t shown = static_cast<size_t>(length) < out_size ? static_cast<size_t>(length) : out_size - 1;
  return static_cast<uint8_t>(shown > 255 ? 255 : shown);
}

int FormatShownValue(float value, int decimals, int decibel, int sign, char* out, size_t out_size) {
  if (out_size == 0) return 0;
  if (decibel) {
    value = 20.0f * std::log10(value);
    if (!(value >= -500.0f)) return std::snprintf(out, out_size, "- inf");
  }
  const uint8_t places = static_cast<uint8_t>(decimals < 0 ? 0 : decimals > 20 ? 20 : decimals);
  return FormatValue(value, out, out_size, places, 0, sign);
}

int FormatMenuNumber(float value, int decimals, int decibel, char* out, size_t out_size) {
  return FormatShownValue(value, decimals, decibel, 1, out, out_size);
}

static bool IsDigit(char c) { return c >= '0' && c <= '9'; }

bool IsMinusSign(char c) {
  const unsigned char byte = static_cast<unsigned char>(c);
  return c == '-' || byte == kAnsiEnDash || byte == kAnsiEmDash;
}

long double ParseValue(const char* text) {
  if (!text) return 0;
  bool negative = false;
  const char* p = text;
  while (*p && !IsDigit(*p) && *p != '.' && *p != ',') {
    if (IsMinusSign(*p)) negative = true;
    ++p;
  }
  long double result = 0;
  if (IsDigit(*p)) {
    for (int digits = 0; IsDigit(*p) && digits < 53; ++digits, ++p) result = result * 10 + (*p - '0');
  }
  if (*p == '.' || *p == ',') {
    ++p;
    long double scale = 10;
    for (int digits = 0; IsDigit(*p) && digits < 52; ++digits, ++p) {
      result += (*p - '0') / scale;
      scale *= 10;
    }
  }
  return negative ? -result : result;
}

int ParseTypedValue(const char* text, long double* value) {
  if (!text) return 0;
  for (const char* p = text; *p; ++p) {
    if (IsDigit(*p)) {
      *value = ParseValue(text);
      return 1;
    }
  }
  return 0;
}

int IsMinusInfinity(const char* text) {
  static const char kWord[] = "-inf";
  size_t matched = 0;
  for (const char* p = text; p && *p; ++p) {
    if (*p == ' ' || *p == '\t') continue;
    const char c = IsMinusSign(*p) ? '-' : (*p >= 'A' && *p <= 'Z') ? static_cast<char>(*p + 32) : *p;
    if (matched >= sizeof kWord - 1 || c != kWord[matched]) return 0;
    ++matched;
  }
  return matched == sizeof kWord - 1 ? 1 : 0;
}
