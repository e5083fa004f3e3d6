// The engine's percussion map, filled from a map setup of the library.
#pragma once

#include <string>

#include "engine/events.h"
#include "library/percussion_maps.h"

namespace vellumix {

// The engine's map from a setup, in list order: channels 1 to 16 kept, others 0 (the
// instrument's own channel).
void FillPercussionMap(const MapSetup& setup, PercussionMap& out);
// The track start's load: empties `out`, then fills it from the named setup. False after the
// setup's message, with `out` empty.
bool LoadPercussionMap(Host& host, const std::string& folder, const std::string& name,
                       PercussionMap& out);

}  // namespace vellumix
