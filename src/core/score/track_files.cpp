#include "score/track_files.h"

#include <algorithm>
#include <bit>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstring>

#include "platform/files.h"

namespace vellumix {
namespace {

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

namespace {

// "00" to "99".
constexpr char kDigitPairs[] =
    "00010203040506070809101112131415161718192021222324252627282930313233343536373839"
    "40414243444546474849505152535455565758596061626364656667686970717273747576777879"
    "8081828384858687888990919293949596979899";

// The longest "%.4f " of a float: 39 digits, a sign, a point, four digits and a blank.
constexpr std::size_t kFixed4Room = 48;

// Writes "%.4f " at `p` (with kFixed4Room bytes of room) and returns its end; `read` receives
// the number that reading the word back gives.
char* WriteFixed4(char* p, float value, float& read) {
  // Whole numbers from 0 to 9999, the most common values, with no arithmetic on the fraction.
  if (value >= 0.0f && value < 10000.0f && !std::signbit(value)) {
    const auto whole = static_cast<unsigned>(value);
    if (static_cast<float>(whole) == value) {
      char* q = p;
      if (whole >= 1000) *q++ = static_cast<char>('0' + whole / 1000);
      if (whole >= 100) *q++ = static_cast<char>('0' + whole / 100 % 10);
      if (whole >= 10) *q++ = static_cast<char>('0' + whole / 10 % 10);
      *q++ = static_cast<char>('0' + whole % 10);
      std::memcpy(q, ".0000 ", 6);
      read = value;
      return q + 6;
    }
  }
  // A float times 10^4 is exact in a double (24 + 14 bits), so rounding it half-to-even gives the
  // same digits as to_chars, without its general-purpose cost; large and odd values still go
  // there.
  const double scaled = static_cast<double>(value) * 10000.0;
  if (std::isfinite(value) && std::fabs(scaled) < 1e15) {
    const double magnitude = std::fabs(scaled);
    auto units = static_cast<std::uint64_t>(magnitude);
    const double rest = magnitude - static_cast<double>(units);  // exact below 2^53
    if (rest > 0.5 || (rest == 0.5 && (units & 1) != 0)) ++units;
    char digits[32];
    char* const end = digits + sizeof digits;
    char* q = end;
    *--q = ' ';
    const auto fraction = static_cast<unsigned>(units % 10000);
    q -= 4;
    std::memcpy(q, kDigitPairs + 2 * (fraction / 100), 2);
    std::memcpy(q + 2, kDigitPairs + 2 * (fraction % 100), 2);
    *--q = '.';
    std::uint64_t whole = units / 10000;
    do {
      *--q = static_cast<char>('0' + whole % 10);
      whole /= 10;
    } while (whole != 0);
    const bool negative = std::signbit(value);
    if (negative) *--q = '-';
    const auto size = static_cast<std::size_t>(end - q);
    std::memcpy(p, q, size);
    // The reader's own arithmetic on these digits (at most 15 of them), with its rule for a
    // quotient halfway between two floats.
    const double quotient = static_cast<double>(units) / 1e4;
    read = (std::bit_cast<std::uint64_t>(quotient) & 0x1FFFFFFFu) == 0x10000000u
               ? ReadTrackNumber(std::string_view(p, size - 1))
               : static_cast<float>(negative ? -quotient : quotient);
    return p + size;
  }
  auto r = std::to_chars(p, p + kFixed4Room - 1, static_cast<double>(value),
                         std::chars_format::fixed, 4);
  // Only values beyond 1e55 fail, and floats stop at 3.4e38.
  if (r.ec != std::errc()) r.ptr = std::copy_n("0.0000", 6, p);
  read = ReadTrackNumber(std::string_view(p, static_cast<std::size_t>(r.ptr - p)));
  *r.ptr = ' ';
  return r.ptr + 1;
}

// Appends one line; with `back`, also what ParseTrackLine reads of it. False when it would read
// back as more than one line (a text holding a line feed).
bool AppendTrackLine(std::string& out, const CItem& item, bool barFile, bool firstBarOfSystem,
                     TrackLine* back) {
  const std::size_t start = out.size();
  const std::size_t n = item.values.Size();
  std::size_t words = 0;
  char buffer[16 * kFixed4Room];
  char* p = buffer;
  for (std::size_t i = 0; i < n; ++i) {
    if (i == 1) continue;
    if (p + kFixed4Room > buffer + sizeof buffer) {
      out.append(buffer, p);
      p = buffer;
    }
    float read = 0.0f;
    p = WriteFixed4(p, item.values.Get(i), read);
    if (back != nullptr && words < kMaxItemFields) back->fields[words] = read;
    ++words;
  }
  out.append(buffer, p);
  const bool text = !barFile && item.values.Get(0) == kTextCode;
  if (text) out += item.text;
  if (barFile) out += firstBarOfSystem ? "1.0000" : "0.0000";
  out += "\r\n";
  if (back == nullptr) return true;
  back->count = std::min(words, kMaxItemFields);
  std::fill(back->fields.begin() + static_cast<std::ptrdiff_t>(back->count), back->fields.end(),
            0.0f);
  back->text.clear();
  if (text || barFile || back->fields[0] == kTextItemCode) {
    const std::string_view line(out.data() + start, out.size() - start);
    if (line.find('\n') != line.size() - 1) return false;
    *back = ParseTrackLine(line);
    return true;
  }
  if (!(back->fields[1] >= 0.0f)) back->fields[1] = 0.0f;
  return true;
}

}  // namespace

void AppendFixed4(std::string& out, float value) {
  char buffer[kFixed4Room];
  float read = 0.0f;
  out.append(buffer, WriteFixed4(buffer, value, read));
}

std::string FormatTrackLine(const CItem& item, bool barFile, bool firstBarOfSystem) {
  std::string line;
  AppendTrackLine(line, item, barFile, firstBarOfSystem, nullptr);
  return line;
}

bool TrackFileWriter::Open(int number) {
  const auto n = static_cast<std::size_t>(number);
  if (open_[n] != nullptr) return true;
  // Held open for the run: opening the file for every system costs more than writing it.
  const std::string name = TrackFileName(folder_, number);
  std::FILE* file = files::OpenFile(name, "ab");
  if (file == nullptr) {
    ShowWriteFailure(host_, TrackFileName(shown_, number));
    return false;
  }
  open_[n] = file;
  if (!written_[n]) {
    // A file an earlier run left (it could not be deleted) holds more than this run writes.
    storing_[n] = keepLines_ && number != kBarFileNumber && std::fseek(file, 0, SEEK_END) == 0 &&
                  std::ftell(file) == 0;
    stored_[n].Clear();
  }
  return true;
}

bool TrackFileWriter::Write(int number, const std::string& text, int systemNumber) {
  if (systemNumber >= 0 &&
      !ReportStatusFormatted(host_, res::kWritingToFile,
                             TrackFileName(shown_, number) + ", system " +
                                 std::to_string(systemNumber),
                             0, false))
    return false;
  if (!files::WriteFile(open_[static_cast<std::size_t>(number)], text.data(), text.size())) {
    ShowWriteFailure(host_, TrackFileName(shown_, number));
    return false;
  }
  written_[static_cast<std::size_t>(number)] = true;
  return true;
}

void TrackFileWriter::Format(const std::list<CItem>& list, int number, bool skipStaffItems) {
  const auto n = static_cast<std::size_t>(number);
  const bool barFile = number == kBarFileNumber;
  text_.clear();
  TrackLine back;
  bool first = true;
  for (const CItem& item : list) {
    if (skipStaffItems && item.values.Get(0) == kStaffCode) continue;
    TrackLine* keep = storing_[n] ? &back : nullptr;
    if (!AppendTrackLine(text_, item, barFile, first, keep)) {
      StopKeeping(n);
    } else if (keep != nullptr) {
      // The run stops when the write fails, and nothing reads what it kept.
      const std::size_t bytes = 4 + 4 * back.count + back.text.size();
      storedSize_[n] += bytes;
      storedBytes_ += bytes;
      stored_[n].Add(back);
      if (storedBytes_ > kKeptBytes) StopKeeping(n);
    }
    first = false;
  }
}

void TrackFileWriter::StopKeeping(std::size_t n) {
  storing_[n] = false;
  stored_[n].Clear();
  storedBytes_ -= storedSize_[n];
  storedSize_[n] = 0;
}

bool TrackFileWriter::Close() {
  bool ok = true;
  for (std::size_t n = 0; n < open_.size(); ++n) {
    if (open_[n] == nullptr) continue;
    if (!files::CloseFile(open_[n]) && ok) {
      ShowWriteFailure(host_, TrackFileName(shown_, static_cast<int>(n)));
      ok = false;
    }
    open_[n] = nullptr;
  }
  return ok;
}

void TrackFileWriter::ClearWritten() {
  Close();
  written_.fill(false);
  ReleaseStored();
}

const StoredTrackLines* TrackFileWriter::Stored(int number) const {
  if (number < 0 || number > kTempoFileNumber) return nullptr;
  const auto n = static_cast<std::size_t>(number);
  return written_[n] && storing_[n] ? &stored_[n] : nullptr;
}

void TrackFileWriter::ReleaseStored() {
  for (auto& s : stored_) s.Clear();
  storing_.fill(false);
  keepLines_ = false;
  storedSize_.fill(0);
  storedBytes_ = 0;
}

bool TrackFileWriter::WriteTrackFile(std::list<CItem>& list, int number, int systemNumber,
                                     bool staveTransposition) {
  if (list.empty()) return true;
  if (!Open(number)) return false;
  Format(list, number, number != kBarFileNumber && !staveTransposition);
  if (!Write(number, text_, systemNumber < 0 ? 0 : systemNumber)) return false;
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
  if (!Open(number)) return false;
  Format(filler, number, false);
  if (!Write(number, text_, -1)) return false;
  filler.clear();
  return true;
}

}  // namespace vellumix
