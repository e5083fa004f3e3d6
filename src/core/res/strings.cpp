#include "res/strings.h"

#include <algorithm>
#include <cstdio>
#include <iterator>

namespace vellumix::res {
namespace {

struct Entry {
  int id;
  std::string_view text;
};

// Sorted by number.
constexpr Entry kTable[] = {
    {1, "VELLUMIX"},
    {6, "MIDI files (*.mid) | *.mid|All Files (*.*) | *.* ||"},
    {7, "mins 00 : 00 secs"},
    {8, "Play - Stopped"},
    {9, "Unable to open file %s for reading"},
    {10, "Unable to open file %s for writing"},
    {12, "Done"},
    {13, "Transcribe cancelled"},
    {14, "Play - Paused"},
    {15, "mins %02u : %02u secs"},
    {16, "Play - Rewind"},
    {17, "Play - Forward"},
    {18, "Playing..."},
    {19, "This value is out of range!"},
    {21, "Writing to file %s"},
    {27, "Reading file %s"},
    {35, "Error: Maximum number of parameters exceeded for this item"},
    {36, "%s percent read"},
    {38, "No time signature was found in bar 1.  Please enter the correct time signature below."},
    {40, "A new instrument %d has been found in file group %s.  Please specify the actual number "
         "of beats in bar 1 (in case an anacrusis has occured), so that VELLUMIX can add the "
         "correct bars rest."},
    {44, "More than one  time signature was found in bar %d of file group %s.  Please enter the "
         "correct time signature below."},
    {45, "%s is not a Score file"},
    {46, "%s is a Score version 1 file"},
    {49, "There are no MIDI output devices attached to this computer"},
    {50, "Tempo = %d"},
    {53, "It appears there may be more than one system in file %s. Do you wish to switch on "
         "Interpret Multiple Systems?"},
    {54, "It appears that there is only one system in file %s. Do you wish to switch off "
         "Interpret Multiple Systems?"},
    {55, "Unsupported time signature %d/%d in bar %d of staff %d in file group %s. Please enter "
         "a legitimate time signature below."},
    {56, "The lower number in time signature %d/%d is not valid. Please enter again."},
    {57, "Error: no more items in file!!"},
    {58, "%s is an intermediate file between version 2 and 3. Resave this file with the SM "
         "command in SCORE using version 3."},
    {59, "Reading item %s"},
    {60, "There are no barlines in staff %d of file group %s. Cancelling operation."},
    {62, "It appears there is no music in file %s. This may be due to incompatible barring or "
         "the absence of any notes."},
    {67, "Are you sure you want to delete file %s? If so, please remember to remove it's entry "
         "from the Instrument List (INSTRUMENTS.DAT)."},
    {496, "No program number found in line %s of file %s."},
    {20001, "%s is damaged: %s"},
    {20002, "%s is damaged or truncated and was not read"},
    {20003, "%s names a folder outside the user data folder; the user data folder is used"},
    {20004, "Unable to create folder %s"},
    {20005, "%s: an item on staff %s lies beyond the staves a file group can hold and was left out"},
    {20006, "%s exists and was left as it is"},
    {20007, "%s lists %s instruments; the first 350 were loaded and the rest left out"},
    {20008, "The program number in line %s of file %s is not between 0 and 16383."},
    {20009, "%s holds a value out of range (%s) and was not read"},
    {20010, "No line %s in file %s."},
    {20011, "Unable to start %s"},
    {20012, "No program is set to open %s"},
    {20013, "The MIDI file written for %s does not read back as a whole Standard MIDI File; the file was not put in place"},
    {20014, "%s is not a plain file (a folder, a device or a pipe): no MIDI file is written there"},
    {20015, "%s, line %d: too few numbers for a SCORE item (it needs its code, staff and position)"},
    {20016, "%s, line %d: \"%s\" stands where a number belongs"},
    {20017, "%s, line %d: %s is not a SCORE item code (1 to 18)"},
    {20018, "%s, line %d: the text item has no text on the line after it"},
    {20019, "%s, line %d: more numbers than a SCORE item holds (at most %s)"},
    {20020, "%s, line %d: the text is longer than a SCORE item holds (at most 160 characters)"},
    {20021, "%s, line %d: the page holds more than a SCORE file can (65535 words)"},
    {20022, "%s and %s would both be written to %s; neither is transcribed"},
    {20023, "Unable to read folder %s: %s"},
    {20030, "Unable to write file %s: %s"},
    {20031, "The library folder %s cannot be written (%s). Choose a folder you can write: Library Path in the desktop program, or --data-dir on the command line."},
    {20032, "%s: %s is %s, outside %s; %s is used instead"},
    {32803, "&Transcribe...\tF2"},
    {32804, "&Cancel Transcribe...\tF2"},
    {61222, "The file %s already exists. Do you wish to overwrite?"},
    {61223, "The filename %s does not end in .MID. Do you want to continue?"},
};

void AppendArg(std::string& out, const FormatArg& arg, bool twoDigits) {
  if (const auto* s = std::get_if<std::string_view>(&arg)) {
    out.append(*s);
    return;
  }
  char buf[64];
  if (const auto* i = std::get_if<std::int64_t>(&arg)) {
    std::snprintf(buf, sizeof buf, twoDigits ? "%02lld" : "%lld", static_cast<long long>(*i));
  } else {
    std::snprintf(buf, sizeof buf, "%g", std::get<double>(arg));
  }
  out.append(buf);
}

}  // namespace

std::string_view Text(int id) {
  auto it = std::lower_bound(std::begin(kTable), std::end(kTable), id,
                             [](const Entry& e, int v) { return e.id < v; });
  if (it == std::end(kTable) || it->id != id) return {};
  return it->text;
}

std::string FormatText(std::string_view pattern, const std::vector<FormatArg>& args) {
  std::string out;
  out.reserve(pattern.size() + 32);
  std::size_t next = 0;
  for (std::size_t i = 0; i < pattern.size(); ++i) {
    char c = pattern[i];
    if (c != '%' || i + 1 >= pattern.size()) {
      out.push_back(c);
      continue;
    }
    std::string_view rest = pattern.substr(i + 1);
    bool twoDigits = false;
    std::size_t used = 0;
    if (rest[0] == '%') {
      out.push_back('%');
      ++i;
      continue;
    }
    if (rest[0] == 's' || rest[0] == 'd' || rest[0] == 'u') {
      used = 1;
    } else if (rest.substr(0, 3) == "02u" || rest.substr(0, 3) == "02d") {
      used = 3;
      twoDigits = true;
    } else {
      out.push_back(c);
      continue;
    }
    if (next < args.size()) AppendArg(out, args[next], twoDigits);
    ++next;
    i += used;
  }
  return out;
}

std::string Format(int id, const std::vector<FormatArg>& args) { return FormatText(Text(id), args); }

}  // namespace vellumix::res
