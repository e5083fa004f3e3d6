#include "score/track_files.h"

#include <charconv>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <memory>

namespace vellumix {
namespace {

struct FileCloser {
  void operator()(std::FILE* f) const { std::fclose(f); }
};

constexpr float kStaffCode = 8.0f;
constexpr float kTextCode = 16.0f;

}  // namespace

std::string TrackFileName(const std::string& folder, int number) {
  if (number == kTempoFileNumber) return folder + "TEMPO.TMP";
  return folder + "VLMIX" + std::to_string(number) + ".TMP";
}

int TrackFileNumber(std::string_view name) {
  if (name == "TEMPO.TMP") return kTempoFileNumber;
  constexpr std::string_view kPrefix = "VLMIX", kSuffix = ".TMP";
  if (name.size() <= kPrefix.size() + kSuffix.size() || !name.starts_with(kPrefix) ||
      !name.ends_with(kSuffix))
    return -1;
  const std::string_view digits =
      name.substr(kPrefix.size(), name.size() - kPrefix.size() - kSuffix.size());
  if (digits.size() > 3 || (digits.size() > 1 && digits[0] == '0')) return -1;
  int number = 0;
  for (char c : digits) {
    if (c < '0' || c > '9') return -1;
    number = number * 10 + (c - '0');
  }
  return number < kTempoFileNumber ? number : -1;
}

void AppendFixed4(std::string& out, float value) {
  // A float times 10^4 is exact in a double (24 + 14 bits), so rounding it half-to-even gives the
  // same digits as to_chars, without its general-purpose cost; large and odd values still go
  // there.
  const double scaled = static_cast<double>(value) * 10000.0;
  if (std::isfinite(value) && std::fabs(scaled) < 1e15) {
    auto units = static_cast<std::uint64_t>(std::fabs(std::nearbyint(scaled)));
    char buf[32];
    char* p = buf + sizeof buf;
    *--p = ' ';
    for (int i = 0; i < 4; ++i, units /= 10) *--p = static_cast<char>('0' + units % 10);
    *--p = '.';
    do {
      *--p = static_cast<char>('0' + units % 10);
      units /= 10;
    } while (units != 0);
    if (std::signbit(value)) *--p = '-';
    out.append(p, buf + sizeof buf);
    return;
  }
  char buf[64];
  auto r =
      std::to_chars(buf, buf + sizeof buf, static_cast<double>(value), std::chars_format::fixed, 4);
  if (r.ec == std::errc()) {
    out.append(buf, r.ptr);
  } else {
    // Only values beyond 1e55 get here, and floats stop at 3.4e38.
    out += "0.0000";
  }
  out += ' ';
}

std::string FormatTrackLine(const CItem& item, bool barFile, bool firstBarOfSystem) {
  std::string line;
  line.reserve(12 * 10);
  const std::size_t n = item.values.Size();
  for (std::size_t i = 0; i < n; ++i) {
    if (i == 1) continue;
    AppendFixed4(line, item.values.Get(i));
  }
  if (!barFile && item.values.Get(0) == kTextCode) line += item.text;
  if (barFile) line += firstBarOfSystem ? "1.0000" : "0.0000";
  line += "\r\n";
  return line;
}

bool TrackFileWriter::Append(int number, const std::string& text, int systemNumber) {
  const std::string name = TrackFileName(folder_, number);
  std::unique_ptr<std::FILE, FileCloser> f(std::fopen(name.c_str(), "ab"));
  if (!f) {
    ShowMessage(host_, res::kCannotWrite, name);
    return false;
  }
  if (systemNumber >= 0 &&
      !ReportStatusFormatted(host_, res::kWritingToFile,
                             name + ", system " + std::to_string(systemNumber), 0, false))
    return false;
  bool ok = std::fwrite(text.data(), 1, text.size(), f.get()) == text.size();
  ok = (std::fclose(f.release()) == 0) && ok;
  if (!ok) {
    ShowMessage(host_, res::kCannotWrite, name);
    return false;
  }
  written_[number] = true;
  return true;
}

bool TrackFileWriter::WriteTrackFile(std::list<CItem>& list, int number, int systemNumber,
                                     bool staveTransposition) {
  if (list.empty()) return true;
  const bool barFile = number == kBarFileNumber;
  std::string text;
  bool first = true;
  for (const CItem& item : list) {
    if (!barFile && item.values.Get(0) == kStaffCode && !staveTransposition) continue;
    text += FormatTrackLine(item, barFile, first);
    first = false;
  }
  if (!Append(number, text, systemNumber < 0 ? 0 : systemNumber)) return false;
  if (number < kTempoFileNumber) list.clear();
  return true;
}

bool TrackFileWriter::AnyWritten() const {
  for (bool w : written_)
    if (w) return true;
  return false;
}

bool TrackFileWriter::WriteFillerFile(std::list<CItem>& filler, int number) {
  if (filler.empty()) return true;
  std::string text;
  for (const CItem& item : filler) text += FormatTrackLine(item, false, false);
  if (!Append(number, text, -1)) return false;
  filler.clear();
  return true;
}

}  // namespace vellumix
