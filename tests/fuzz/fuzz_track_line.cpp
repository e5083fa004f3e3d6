// The intermediate track-line parser and the three ways a run reads a track file back: parsed
// lines, the first pass's field-by-field look, the lines a run keeps in memory and the lines
// read from the open file. All must read the same numbers and texts.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <memory>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "engine/track_line.h"
#include "fuzz_support.h"
#include "platform/files.h"

namespace {

using vellumix::TrackLine;
using vellumix::fuzz::Check;
using vellumix::fuzz::SameFloat;

bool Same(const TrackLine& a, const TrackLine& b) {
  if (a.count != b.count || a.text != b.text) return false;
  for (std::size_t i = 0; i < a.fields.size(); ++i)
    if (!SameFloat(a.fields[i], b.fields[i])) return false;
  return true;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view text = vellumix::fuzz::Text({data, size});
  const std::vector<std::string_view> views = vellumix::files::SplitLineViews(text);

  vellumix::StoredTrackLines stored;
  std::vector<TrackLine> parsed;
  for (std::string_view line : views) {
    TrackLine p = vellumix::ParseTrackLine(line);
    Check(p.count <= vellumix::kMaxItemFields, "more fields than an item has");
    Check(p.Position() >= 0.0f, "a negative position");
    // The first pass reads the fields one by one from the same line.
    vellumix::TrackLineFields fields(line);
    const std::size_t read = p.Code() == vellumix::kTextItemCode ? 3 : vellumix::kMaxItemFields;
    for (std::size_t i = 0; i < read; ++i) {
      const float f = i == 1 ? fields.Position() : fields.At(i);
      Check(SameFloat(f, p.Field(i)), "the first pass reads another number than the parser");
    }
    stored.Add(p);
    parsed.push_back(std::move(p));
  }

  Check(stored.Size() == parsed.size(), "kept lines lost");
  TrackLine back;
  for (std::size_t i = 0; i < parsed.size(); ++i) {
    stored.Get(i, back);
    Check(Same(back, parsed[i]), "a kept line reads back otherwise");
  }

  // From the file: the same lines, and the bytes read add up to the file's size.
  std::unique_ptr<std::FILE, int (*)(std::FILE*)> file(std::tmpfile(), &std::fclose);
  Check(file != nullptr, "no temporary file");
  Check(size == 0 || std::fwrite(data, 1, size, file.get()) == size, "cannot write");
  std::rewind(file.get());
  std::string line;
  bool ended = false;
  std::int64_t consumed = 0;
  std::size_t count = 0;
  while (vellumix::ReadLine(file.get(), line, ended, &consumed)) {
    Check(count < views.size() && line == views[count], "a line read from the file differs");
    ++count;
  }
  Check(count == views.size(), "lines lost reading the file");
  Check(consumed == static_cast<std::int64_t>(size), "the bytes read are not the file's size");

  std::size_t ahead = 0;
  for (const TrackLine& l : vellumix::LinesAhead(file.get(), 0)) {
    Check(ahead < parsed.size() && Same(l, parsed[ahead]), "a line ahead differs");
    ++ahead;
  }
  Check(ahead == parsed.size(), "lines ahead lost");
  return 0;
}
