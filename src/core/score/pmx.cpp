#include "score/pmx.h"

#include <charconv>
#include <cmath>

#include "score/internal/records.h"

namespace vellumix {

namespace {

constexpr int kTextParameters = 13;
constexpr std::size_t kTextBytesStart = 52;  // after P1 ... P13

std::string FormatNumber(float value) {
  if (std::isnan(value)) return "nan";
  char buf[64];
  auto r = std::to_chars(buf, buf + sizeof buf, value, std::chars_format::fixed, 4);
  std::string s(buf, r.ptr);
  if (s.find('.') != std::string::npos) {
    while (s.back() == '0') s.pop_back();
    if (s.back() == '.') s.pop_back();
  }
  if (s == "-0") s = "0";
  return s;
}

// A text record in the shape SCORE writes: N = 13 + ceil(P12 / 4) with P12 characters.
bool IsTextForm(const score::Record& r) {
  if (r.P(1) != 16 || r.count < kTextParameters) return false;
  const float chars = r.P(12);
  if (!(chars >= 0) || chars > 4.0f * static_cast<float>(r.count - kTextParameters) ||
      chars != std::trunc(chars)) {
    return false;
  }
  const int length = static_cast<int>(chars);
  return kTextParameters + (length + 3) / 4 == r.count;
}

void AppendQuoted(std::string& out, std::span<const std::uint8_t> text) {
  static constexpr char kHex[] = "0123456789ABCDEF";
  out += '"';
  for (std::uint8_t b : text) {
    if (b == '"' || b == '\\') {
      out += '\\';
      out += static_cast<char>(b);
    } else if (b >= 0x20 && b <= 0x7E) {
      out += static_cast<char>(b);
    } else {
      out += "\\x";
      out += kHex[b >> 4];
      out += kHex[b & 0xF];
    }
  }
  out += '"';
}

}  // namespace

bool DumpScore(std::span<const std::uint8_t> bytes, const std::string& name, Host& host,
               std::string& out) {
  score::RecordScanner scanner(bytes);
  score::ScanFailure failure;
  if (!scanner.Open(failure)) {
    score::ShowScanFailure(host, name, failure);
    return false;
  }
  const score::Layout& layout = scanner.layout();
  out += "H " + std::to_string(layout.headerWord) + " T " + std::to_string(layout.trailerLength) +
         " offset " + std::to_string(layout.bodyOffset) + "\n";
  score::Record record;
  while (scanner.Next(record, failure)) {
    const bool text = IsTextForm(record);
    const int shown = text ? kTextParameters : record.count;
    if (shown == 0) out += "N=0";  // an empty record still takes a line
    for (int i = 0; i < shown; ++i) {
      if (i > 0) out += ' ';
      out += FormatNumber(record.p[static_cast<std::size_t>(i)]);
    }
    out += '\n';
    if (text) {
      const auto length = static_cast<std::size_t>(record.P(12));
      AppendQuoted(out, record.bytes.subspan(kTextBytesStart, length));
      out += '\n';
    }
  }
  if (failure.id != 0) {
    score::ShowScanFailure(host, name, failure);
    return false;
  }
  return true;
}

}  // namespace vellumix
