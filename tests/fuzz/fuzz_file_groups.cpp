// List files and the grouping rule of Add Files. The input is a list file; its lines are also
// taken as the names selected in a folder. A list that reads writes back and reads the same, and
// every entry written from a read one reads back as it was.
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "fuzz_support.h"
#include "platform/files.h"
#include "run/file_groups.h"

using vellumix::fuzz::Check;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string path = vellumix::fuzz::ScratchFolder() + "list.txt";
  vellumix::fuzz::WriteFile(path, {data, size});
  vellumix::fuzz::AnsweringHost host;
  std::vector<std::string> entries;
  if (vellumix::ReadListFile(path, host, entries)) {
    for (const std::string& line : entries) {
      const vellumix::FileGroupEntry entry = vellumix::ParseEntry(line);
      Check(entry.count >= 1, "a list file entry of no file was read");
      Check(vellumix::ParseEntry(vellumix::FormatEntry(entry)) == entry,
            "an entry written does not read back");
    }
    Check(vellumix::WriteListFile(path, entries, host), "cannot write the list file");
    std::vector<std::string> again;
    Check(vellumix::ReadListFile(path, host, again) && again == entries,
          "a list file written does not read back");
  }

  std::vector<std::string> names;
  for (std::string& line : vellumix::files::SplitLines(vellumix::fuzz::Text({data, size})))
    if (!line.empty()) names.push_back(std::move(line));
  Check(vellumix::GroupSelectedFiles("/d", names, true).size() == names.size(),
        "one file a page lost a name");
  for (const std::string& group : vellumix::GroupSelectedFiles("/d", names, false)) {
    const vellumix::FileGroupEntry entry = vellumix::ParseEntry(group);
    Check(entry.count >= 1 && entry.path.starts_with("/d/"), "a group of no file");
  }
  return 0;
}
