#include "engine/percussion.h"

namespace vellumix {

void FillPercussionMap(const MapSetup& setup, PercussionMap& out) {
  out.Clear();
  for (std::size_t i = 0; i < setup.Count(); ++i) {
    const MapSetup::Map m = setup.At(i);
    // Values outside a byte could only come from a setup nobody checked: such a map is skipped.
    if (ValidateMap(m)) continue;
    const std::int32_t channel = m.channel >= 1 && m.channel <= 16 ? m.channel : 0;
    out.Add(static_cast<std::uint8_t>(m.pitch), static_cast<std::uint8_t>(m.playedPitch),
            static_cast<std::uint8_t>(channel));
  }
}

bool LoadPercussionMap(Host& host, const std::string& folder, const std::string& name,
                       PercussionMap& out) {
  out.Clear();
  auto setup = ReadMapSetup(host, folder, name);
  if (!setup) return false;
  FillPercussionMap(*setup, out);
  return true;
}

}  // namespace vellumix
