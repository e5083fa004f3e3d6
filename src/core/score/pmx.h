// The text form of a SCORE file's items, as `dump` prints it and the test builder reads it.
#pragma once

#include <cstdint>
#include <span>
#include <string>

#include "platform/host.h"

namespace vellumix {

// Appends to `out` a line "H <header word> T <trailer length> offset <2|4>", then one line per
// item record with P1 ... PN as read (at most four decimals; "N=0" for an empty record); a text
// item shows P1 ... P13 and, on the next line, its text bytes from the font code on, quoted, with
// \" \\ and \xHH escapes. A refused file shows its message and gives false (`out` then holds the
// lines before the fault).
bool DumpScore(std::span<const std::uint8_t> bytes, const std::string& name, Host& host,
               std::string& out);

}  // namespace vellumix
