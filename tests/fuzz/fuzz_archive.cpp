// The archive encoding every library file shares. The first byte chooses the reads, two bits a
// read (integer, float, string, string), over the bytes after it; what was read is written again
// and must read back as the same values.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "fuzz_support.h"
#include "library/archive.h"

using vellumix::fuzz::Check;

namespace {

struct Value {
  unsigned kind = 0;  // 0 integer (also the bytes passed over), 1 float, 2 string
  std::int32_t number = 0;
  float real = 0.0f;
  std::string text;
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size == 0) return 0;
  const std::span<const std::uint8_t> bytes(data + 1, size - 1);
  vellumix::ArchiveReader reader(bytes);
  std::vector<Value> values;
  for (unsigned step = 0;; ++step) {
    const std::size_t before = reader.Position();
    Value v;
    v.kind = std::min((data[0] >> (2 * (step % 4))) & 3u, 2u);
    const bool ok = v.kind == 0   ? reader.ReadInt32(v.number)
                    : v.kind == 1 ? reader.ReadFloat(v.real)
                                  : reader.ReadString(v.text);
    if (ok) {
      Check(
          reader.Position() >= before + (v.kind == 2 ? 1 : 4) && reader.Position() <= bytes.size(),
          "a read ended outside the data");
      values.push_back(std::move(v));
      continue;
    }
    Check(reader.Position() == before, "a failed read moved the position");
    // Past a value that can't be read, so that the rest of the bytes are read too.
    Value skip;
    if (!reader.ReadInt32(skip.number)) {
      Check(reader.Remaining() < 4, "four bytes left but no integer read");
      break;
    }
    values.push_back(std::move(skip));
  }

  vellumix::ArchiveWriter writer;
  for (const Value& v : values) {
    if (v.kind == 0) writer.WriteInt32(v.number);
    if (v.kind == 1) writer.WriteFloat(v.real);
    if (v.kind == 2) writer.WriteString(v.text);
  }
  const std::vector<std::uint8_t> written = writer.Take();
  vellumix::ArchiveReader again(written);
  for (const Value& v : values) {
    Value back;
    if (v.kind == 0) Check(again.ReadInt32(back.number) && back.number == v.number, "integer");
    if (v.kind == 1)
      Check(again.ReadFloat(back.real) && vellumix::fuzz::SameFloat(back.real, v.real), "float");
    if (v.kind == 2)
      Check(again.ReadString(back.text) && back.text == v.text, "a string written reads back");
  }
  Check(again.Remaining() == 0, "bytes left after reading back what was written");
  return 0;
}
