// Writes binary SCORE files from the text form `dump` prints, so tests need no binary fixtures.
#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "platform/files.h"

namespace vellumix::test {

// Text form, one line each (blank lines and lines starting with # are skipped):
//   H <n> T <n> offset <2|4>   optional first line; each key optional. Defaults: H = the words
//                              after the header, T = 6, offset 2.
//   P1 P2 ... PN               one item record, its numbers read as a PMX page's are; a first
//                              token N=<float> writes that float as N instead of the count of
//                              numbers ("N=0" alone: an empty record).
//   "text"                     the text of the code 16 item on the line before, from its font
//                              code on; escapes \" \\ \xHH. The item is padded to P1 ... P13
//                              with P12 = the text length when fewer than 12 numbers are given;
//                              N = 13 + ceil(P12 / 4), the text padded with zero bytes.
// The trailer is six words [0, 0, 3.0, 0, T - 1, -9999.0]. Nothing on a line error.
std::optional<files::Bytes> BuildScoreFile(std::string_view text, std::string* error);

}  // namespace vellumix::test
