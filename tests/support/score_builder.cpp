#include "score_builder.h"

#include <charconv>
#include <cmath>
#include <cstdint>
#include <vector>

#include "score/pmx.h"

namespace vellumix::test {

namespace {

struct Item {
  std::optional<float> n;
  std::vector<float> p;
  std::optional<std::string> text;
};

bool ParseInt(std::string_view s, long long& value) {
  auto r = std::from_chars(s.data(), s.data() + s.size(), value);
  return r.ec == std::errc() && r.ptr == s.data() + s.size();
}

int HexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  return -1;
}

bool Unquote(std::string_view line, std::string& text) {
  if (line.size() < 2 || line.front() != '"' || line.back() != '"') return false;
  line = line.substr(1, line.size() - 2);
  text.clear();
  for (std::size_t i = 0; i < line.size(); ++i) {
    if (line[i] != '\\') {
      text += line[i];
      continue;
    }
    if (i + 1 >= line.size()) return false;
    const char c = line[++i];
    if (c == '"' || c == '\\') {
      text += c;
    } else if (c == 'x' && i + 2 < line.size() && HexDigit(line[i + 1]) >= 0 &&
               HexDigit(line[i + 2]) >= 0) {
      text += static_cast<char>(HexDigit(line[i + 1]) * 16 + HexDigit(line[i + 2]));
      i += 2;
    } else {
      return false;
    }
  }
  return true;
}

bool Fail(std::string* error, int line, const std::string& what) {
  if (error) *error = "line " + std::to_string(line) + ": " + what;
  return false;
}

}  // namespace

std::optional<files::Bytes> BuildScoreFile(std::string_view text, std::string* error) {
  std::optional<long long> h;
  long long t = 6;
  long long offset = 2;
  std::vector<Item> items;
  bool seenItem = false;

  int lineNumber = 0;
  std::size_t start = 0;
  while (start <= text.size()) {
    std::size_t end = text.find('\n', start);
    if (end == std::string_view::npos) end = text.size();
    std::string_view line = text.substr(start, end - start);
    start = end + 1;
    ++lineNumber;
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    if (line.empty() || line.front() == '#') continue;

    if (line.front() == '"') {
      std::string decoded;
      if (!Unquote(line, decoded)) {
        Fail(error, lineNumber, "bad text");
        return std::nullopt;
      }
      if (items.empty() || items.back().text || items.back().p.empty() || items.back().p[0] != 16 ||
          items.back().p.size() > 13) {
        Fail(error, lineNumber, "a text must follow a code 16 item of at most 13 numbers");
        return std::nullopt;
      }
      items.back().text = decoded;
      continue;
    }

    const auto tokens = PmxWords(line);
    if (tokens.empty()) continue;
    if (tokens[0] == "H" || tokens[0] == "T" || tokens[0] == "offset") {
      if (seenItem || tokens.size() % 2 != 0) {
        Fail(error, lineNumber, "bad header line");
        return std::nullopt;
      }
      for (std::size_t i = 0; i < tokens.size(); i += 2) {
        long long v = 0;
        if (!ParseInt(tokens[i + 1], v)) {
          Fail(error, lineNumber, "bad header value");
          return std::nullopt;
        }
        if (tokens[i] == "H" && v >= 0 && v <= 0xFFFF) {
          h = v;
        } else if (tokens[i] == "T") {
          t = v;
        } else if (tokens[i] == "offset" && (v == 2 || v == 4)) {
          offset = v;
        } else {
          Fail(error, lineNumber, "bad header key or value");
          return std::nullopt;
        }
      }
      seenItem = true;
      continue;
    }
    seenItem = true;
    Item item;
    std::size_t first = 0;
    if (tokens[0].starts_with("N=")) {
      float n = 0;
      if (!ReadPmxNumber(tokens[0].substr(2), n)) {
        Fail(error, lineNumber, "bad N");
        return std::nullopt;
      }
      item.n = n;
      first = 1;
    }
    for (std::size_t i = first; i < tokens.size(); ++i) {
      float v = 0;
      if (!ReadPmxNumber(tokens[i], v)) {
        Fail(error, lineNumber, "bad number " + std::string(tokens[i]));
        return std::nullopt;
      }
      item.p.push_back(v);
    }
    items.push_back(std::move(item));
  }

  files::Bytes body;
  for (Item& item : items) {
    std::string textBytes;
    if (item.text) {
      if (item.p.size() < 12) {
        item.p.resize(11, 0.0f);
        item.p.push_back(static_cast<float>(item.text->size()));
      }
      item.p.resize(13, 0.0f);
      const float chars = item.p[11];
      if (!(chars >= 0 && chars <= 160) || chars != std::trunc(chars)) {
        Fail(error, 0, "a text item's P12 must be a whole number 0 ... 160");
        return std::nullopt;
      }
      const auto words = (static_cast<std::size_t>(chars) + 3) / 4;
      textBytes = *item.text;
      textBytes.resize(words * 4, '\0');
    }
    const std::size_t count = item.p.size() + textBytes.size() / 4;
    AppendScoreRecord(body, item.n.value_or(static_cast<float>(count)), item.p, textBytes);
  }
  AppendScoreTrailer(body, t);

  const std::size_t words = body.size() / 4;
  if (!h && words > 0xFFFF) {
    Fail(error, 0, "too many words for the header word");
    return std::nullopt;
  }
  const auto header = static_cast<std::uint16_t>(h.value_or(static_cast<long long>(words)));
  files::Bytes out;
  out.push_back(static_cast<std::uint8_t>(header & 0xFF));
  out.push_back(static_cast<std::uint8_t>(header >> 8));
  if (offset == 4) {
    out.push_back(0);
    out.push_back(0);
  }
  out.insert(out.end(), body.begin(), body.end());
  return out;
}

}  // namespace vellumix::test
