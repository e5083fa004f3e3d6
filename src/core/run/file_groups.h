// File group entries ("path count"), the grouping rule of Add Files, list files and NAMELIST.TMP.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "platform/host.h"

namespace vellumix {

struct FileGroupEntry {
  std::string path;  // the first file of the group
  int count = 1;     // number of files in the group

  bool operator==(const FileGroupEntry&) const = default;
};

// "path count".
std::string FormatEntry(const FileGroupEntry& entry);
// Splits at the last space, so that paths may hold spaces; an entry whose last word is not a
// decimal count is a path of its own with the count 1.
FileGroupEntry ParseEntry(std::string_view line);

// The entries Add Files makes of the names selected in `folder`. One file a page: every name is
// an entry of its own. Otherwise numbered names are grouped: a group start is a name whose base
// (the name less the character before its last "." and what follows) sorts above the previous
// name's base; its group runs on while the name with that character raised by one more is among
// the selected names. Names are compared without regard to letter case but kept as given.
std::vector<std::string> GroupSelectedFiles(const std::string& folder,
                                            const std::vector<std::string>& names,
                                            bool onePerPage);

// Whether a name is a SCORE page's by its extension (any case): the binary files' .mus .jst .jus
// .pge .pag .pt .pts .opt .uno .edi .bim, and .pmx for the text form.
bool IsScoreFileName(std::string_view name);

// Reads a list file: one entry a line, CR LF or LF; blank lines are skipped. Message 9 on failure.
bool ReadListFile(const std::string& path, Host& host, std::vector<std::string>& entries);
// Writes a list file with CR LF line ends, replacing it whole; a message on failure.
bool WriteListFile(const std::string& path, const std::vector<std::string>& entries, Host& host);

inline constexpr std::string_view kNameListFile = "NAMELIST.TMP";

// NAMELIST.TMP in `folder` (ending in '/'): the run's entries, for the user's reference.
bool WriteNameList(const std::string& folder, const std::vector<std::string>& entries,
                   Host& host);

}  // namespace vellumix
