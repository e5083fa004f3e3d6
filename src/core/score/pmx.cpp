#include "score/pmx.h"

#include <algorithm>
#include <bit>
#include <charconv>
#include <cmath>

#include "res/strings.h"
#include "score/internal/records.h"

namespace vellumix {

namespace {

constexpr int kTextParameters = 13;
constexpr std::size_t kTextBytesStart = 52;  // after P1 ... P13
constexpr std::size_t kMaxStoredBytes = 4 * (score::kMaxParameters - kTextParameters);
constexpr std::size_t kEpsNameField = 12;  // as SCORE pads the name, with spaces
constexpr std::int64_t kTrailerWords = 6;
constexpr std::int64_t kMaxHeaderWord = 0xFFFF;
constexpr std::size_t kShownWord = 40;  // longer words are cut in messages

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

namespace {

void PutWord(files::Bytes& out, float value) {
  const auto w = std::bit_cast<std::uint32_t>(value);
  for (int i = 0; i < 4; ++i) out.push_back(static_cast<std::uint8_t>(w >> (8 * i)));
}

// The lines of a page one at a time, as files::SplitLineViews gives them, numbered from 1.
class Lines {
 public:
  explicit Lines(std::string_view text) : text_(text) {}
  bool Next(std::string_view& line) {
    if (at_ >= text_.size()) return false;
    const std::size_t nl = text_.find('\n', at_);
    const std::size_t end = nl == std::string_view::npos ? text_.size() : nl;
    line = text_.substr(at_, end - at_);
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    at_ = end + 1;
    ++number_;
    return true;
  }
  bool Peek(std::string_view& line) const {
    Lines copy = *this;
    return copy.Next(line);
  }
  int Number() const { return number_; }

 private:
  std::string_view text_;
  std::size_t at_ = 0;
  int number_ = 0;
};

// SCORE writes the text code as "t".
bool IsTextCode(std::string_view word) {
  return word == "t" || word == "T";
}

// A text editor may put a byte order mark before the first line.
std::string_view WithoutByteOrderMark(std::string_view text) {
  constexpr std::string_view kMark = "\xEF\xBB\xBF";
  return text.starts_with(kMark) ? text.substr(kMark.size()) : text;
}

bool IsComment(const std::vector<std::string_view>& words) {
  float first = 0;
  return !words.empty() && ReadPmxNumber(words[0], first) && first == 99;
}

// Reads the numbers of an item line into `p`; 0, or the message id of the fault with the word at
// fault.
int ReadItemLine(const std::vector<std::string_view>& words, std::vector<float>& p,
                 std::string_view& word) {
  p.clear();
  for (std::size_t i = 0; i < words.size(); ++i) {
    float v = 0;
    if (i == 0 && IsTextCode(words[i])) {
      v = 16;
    } else if (!ReadPmxNumber(words[i], v)) {
      word = words[i];
      return res::kPmxNotANumber;
    }
    p.push_back(v);
  }
  const float code = p.empty() ? 0.0f : std::floor(p[0]);
  if (!p.empty() && !(code >= 1 && code <= 18)) {
    word = words[0];
    return res::kPmxNoSuchCode;
  }
  if (p.size() < 3) return res::kPmxTooFewNumbers;
  if (p.size() > static_cast<std::size_t>(score::kMaxParameters)) {
    word = "53";
    return res::kPmxTooManyNumbers;
  }
  return 0;
}

bool ReadsAsItem(std::string_view line) {
  std::vector<float> p;
  std::string_view word;
  return ReadItemLine(PmxWords(line), p, word) == 0;
}

std::string_view Trimmed(std::string_view s) {
  const auto first = s.find_first_not_of(" \t");
  if (first == std::string_view::npos) return {};
  return s.substr(first, s.find_last_not_of(" \t") - first + 1);
}

std::string Shown(std::string_view word) {
  if (word.size() <= kShownWord) return std::string(word);
  return std::string(word.substr(0, kShownWord)) + "...";
}

std::int64_t Words(const PmxItem& item) {
  return 1 + static_cast<std::int64_t>(item.p.size() + (item.bytes.size() + 3) / 4);
}

}  // namespace

std::vector<std::string_view> PmxWords(std::string_view line) {
  std::vector<std::string_view> words;
  std::size_t i = 0;
  while (i < line.size()) {
    while (i < line.size() && (line[i] == ' ' || line[i] == '\t')) ++i;
    std::size_t j = i;
    while (j < line.size() && line[j] != ' ' && line[j] != '\t') ++j;
    if (j > i) words.push_back(line.substr(i, j - i));
    i = j;
  }
  return words;
}

bool ReadPmxNumber(std::string_view word, float& value) {
  const char* last = word.data() + word.size();
  const auto r = std::from_chars(word.data(), last, value);
  return !word.empty() && r.ec == std::errc() && r.ptr == last;
}

bool IsPmxPage(std::span<const std::uint8_t> bytes, std::string_view name) {
  if (std::find(bytes.begin(), bytes.end(), std::uint8_t{0}) != bytes.end()) return false;
  const std::string_view text(reinterpret_cast<const char*>(bytes.data()), bytes.size());
  Lines lines(WithoutByteOrderMark(text));
  std::string_view line;
  while (lines.Next(line)) {
    const auto words = PmxWords(line);
    if (words.empty()) continue;
    float first = 0;
    if (IsTextCode(words[0]) || ReadPmxNumber(words[0], first)) return true;
    break;
  }
  return name.size() >= 4 && files::EqualNoCase(name.substr(name.size() - 4), ".pmx");
}

PmxPage ReadPmxPage(std::string_view text) {
  PmxPage page;
  std::int64_t words = kTrailerWords;
  Lines lines(WithoutByteOrderMark(text));
  std::string_view line;
  const auto fail = [&](int id, int at, std::string_view word) {
    page.fault = {id, at, Shown(word)};
    return page;
  };
  while (lines.Next(line)) {
    const auto lineWords = PmxWords(line);
    if (lineWords.empty() || IsComment(lineWords)) continue;
    PmxItem item;
    item.line = lines.Number();
    std::string_view word;
    if (const int id = ReadItemLine(lineWords, item.p, word); id != 0) {
      return fail(id, item.line, word);
    }
    const float code = std::floor(item.p[0]);
    std::string_view next;
    if (code == 16) {
      if (item.p.size() > static_cast<std::size_t>(kTextParameters)) {
        return fail(res::kPmxTooManyNumbers, item.line, "13 before its text");
      }
      if (!lines.Peek(next) || ReadsAsItem(next)) return fail(res::kPmxNoText, item.line, {});
      lines.Next(next);
      if (next.size() > kMaxStoredBytes) return fail(res::kPmxTextTooLong, lines.Number(), {});
      // SCORE prints the character count as 0; the binary file has it.
      item.p.resize(static_cast<std::size_t>(kTextParameters), 0.0f);
      item.p[11] = static_cast<float>(next.size());
      item.bytes = std::string(next);
    } else if (code == 15 && item.p.size() <= static_cast<std::size_t>(kTextParameters) &&
               lines.Peek(next)) {
      // An EPS item may be followed by its file name.
      const auto nextWords = PmxWords(next);
      float number = 0;
      if (!nextWords.empty() && !IsTextCode(nextWords[0]) && !ReadPmxNumber(nextWords[0], number)) {
        lines.Next(next);
        item.bytes = std::string(Trimmed(next));
        if (item.bytes.size() > kMaxStoredBytes) {
          return fail(res::kPmxTextTooLong, lines.Number(), {});
        }
        item.bytes.resize(std::max(kEpsNameField, (item.bytes.size() + 3) / 4 * 4), ' ');
        item.p.resize(static_cast<std::size_t>(kTextParameters), 0.0f);
      }
    }
    words += Words(item);
    if (words > kMaxHeaderWord) return fail(res::kPmxPageTooLong, item.line, {});
    page.items.push_back(std::move(item));
  }
  return page;
}

files::Bytes PmxScoreFile(const std::vector<PmxItem>& items) {
  files::Bytes out{0, 0};
  for (const PmxItem& item : items) {
    AppendScoreRecord(out, static_cast<float>(Words(item) - 1), item.p, item.bytes);
  }
  AppendScoreTrailer(out, kTrailerWords);
  const std::size_t words = (out.size() - 2) / 4;
  out[0] = static_cast<std::uint8_t>(words & 0xFF);
  out[1] = static_cast<std::uint8_t>((words >> 8) & 0xFF);
  return out;
}

void ShowPmxFault(Host& host, std::string_view name, const PmxFault& fault) {
  if (fault.id == 0) return;
  ShowMessageFormatted(host, fault.id,
                       {name, static_cast<std::int64_t>(fault.line), std::string_view(fault.word)});
}

void AppendScoreRecord(files::Bytes& out, float n, std::span<const float> p,
                       std::string_view stored) {
  PutWord(out, n);
  for (float v : p) PutWord(out, v);
  for (char c : stored) out.push_back(static_cast<std::uint8_t>(c));
  out.resize(out.size() + (4 - stored.size() % 4) % 4, 0);
}

void AppendScoreTrailer(files::Bytes& out, std::int64_t trailerLength) {
  const float trailer[kTrailerWords] = {
      0.0f, 0.0f, 3.0f, 0.0f, static_cast<float>(trailerLength - 1), -9999.0f};
  for (float v : trailer) PutWord(out, v);
}

}  // namespace vellumix
