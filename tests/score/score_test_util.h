// Shared by the SCORE reader tests: a reader with its host and settings, fed from text.
#pragma once

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "library/settings.h"
#include "score/reader.h"
#include "score_builder.h"
#include "scripted_host.h"

namespace vellumix::test {

inline files::Bytes Build(std::string_view text) {
  std::string error;
  auto bytes = BuildScoreFile(text, &error);
  EXPECT_TRUE(bytes.has_value()) << error;
  return bytes.value_or(files::Bytes{});
}

struct ReaderRig {
  ScriptedHost host;
  Options options;
  Defaults defaults;
  ScoreInput input{host, options, defaults};

  bool Read(std::string_view text) { return input.ReadScoreBytes(Build(text), "TEST.MUS"); }
};

// Stored value `index` of every item of a list, in list order.
inline std::vector<float> Column(const ItemList& list, std::size_t index) {
  std::vector<float> out;
  for (const CItem& item : list) out.push_back(item.values.Get(index));
  return out;
}

}  // namespace vellumix::test
