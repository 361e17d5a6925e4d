// Small text helpers for the pages and pictures this system writes (the
// player page of libsmtrace.so, smtrace's SVG plots and charts).
#pragma once

#include <cstdio>
#include <string>
#include <string_view>

namespace sm_markup {

// Text for XML or HTML content and attribute values: &, <, > and " escaped.
// With ascii_only, every byte that is not printable ASCII becomes '?', so
// that the document stays well formed whatever the bytes.
inline std::string escape(std::string_view text, bool ascii_only = false) {
  std::string out;
  out.reserve(text.size());
  for (char c : text) {
    const auto byte = static_cast<unsigned char>(c);
    switch (c) {
      case '&': out += "&amp;"; break;
      case '<': out += "&lt;"; break;
      case '>': out += "&gt;"; break;
      case '"': out += "&quot;"; break;
      default: out += !ascii_only || (byte >= 0x20 && byte < 0x7f) ? c : '?';
    }
  }
  return out;
}

// A coordinate or length with at most two decimals and no trailing zeros.
inline std::string decimal(double value) {
  char out[32];
  std::snprintf(out, sizeof out, "%.2f", value);
  std::string text = out;
  text.erase(text.find_last_not_of('0') + 1);
  if (text.back() == '.') text.pop_back();
  if (text == "-0") text = "0";
  return text;
}

}  // namespace sm_markup
