// The text forms of a SCORE file's items: the `dump` command's text, and SCORE's own parameter
// matrix (PMX), which is read as a page.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "platform/files.h"
#include "platform/host.h"

namespace vellumix {

// Appends to `out` a line "H <header word> T <trailer length> offset <2|4>", then one line per
// item record with P1 ... PN as read (at most four decimals; "N=0" for an empty record); a text
// item shows P1 ... P13 and, on the next line, its text bytes from the font code on, quoted, with
// \" \\ and \xHH escapes. A refused file shows its message and gives false (`out` then holds the
// lines before the fault).
bool DumpScore(std::span<const std::uint8_t> bytes, const std::string& name, Host& host,
               std::string& out);

// A PMX page: one item a line, P1 P2 P3 ... as numbers ("t" for the text code 16); a text item's
// text, from its font code on, is the whole next line; blank lines and lines that start with 99
// are comments. A code 15 (EPS) item may be followed by its file name.
struct PmxItem {
  int line = 0;          // in the file, from 1
  std::vector<float> p;  // P1 ... PN; a text item's P12 is its text length
  std::string bytes;     // stored after P13: a text, or an EPS file name padded with spaces
};

// A line that cannot be read: its message (0: none), line number and the word at fault.
struct PmxFault {
  int id = 0;
  int line = 0;
  std::string word;
};

struct PmxPage {
  std::vector<PmxItem> items;  // those before the first line that cannot be read
  PmxFault fault;
};

// The words of a line, split at spaces and tabs.
std::vector<std::string_view> PmxWords(std::string_view line);
// A number as PMX and `dump` write it: decimal in the C locale ("21.271", "-.50", "1e30"), or nan
// and inf as printf writes them. False for any other word.
bool ReadPmxNumber(std::string_view word, float& value);

// Whether a file is read as a PMX page rather than a binary one: it holds no zero byte (every
// binary SCORE file does), and either its name ends in .pmx (any case) or its first line that is
// not blank starts with a number or "t".
bool IsPmxPage(std::span<const std::uint8_t> bytes, std::string_view name);
// The items of a PMX page, up to the first line that cannot be read.
PmxPage ReadPmxPage(std::string_view text);
// The binary SCORE file of the items, laid out as SCORE writes one.
files::Bytes PmxScoreFile(const std::vector<PmxItem>& items);
// Shows the message of `fault` for file `name`.
void ShowPmxFault(Host& host, std::string_view name, const PmxFault& fault);

// Appends one item record: N, P1 ... PN, then `stored` padded with zero bytes to whole words.
void AppendScoreRecord(files::Bytes& out, float n, std::span<const float> p,
                       std::string_view stored);
// Appends the six trailer words SCORE writes: 0, 0, version 3.0, 0, trailerLength - 1, -9999.
void AppendScoreTrailer(files::Bytes& out, std::int64_t trailerLength);

}  // namespace vellumix
