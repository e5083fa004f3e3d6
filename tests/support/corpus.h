// The real SCORE files of the shared test corpus, outside the repository.
#pragma once

#include <filesystem>
#include <vector>

namespace vellumix::test {

// Every .mus and .sav file (any letter case) under the corpus's score folder, sorted; empty
// when the corpus is absent.
std::vector<std::filesystem::path> CorpusScoreFiles();

}  // namespace vellumix::test
