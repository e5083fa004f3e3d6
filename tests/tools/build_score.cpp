// Writes a binary SCORE file from its parameter text: build-score IN.pmx OUT.mus
#include <fstream>
#include <iostream>
#include <sstream>

#include "platform/files.h"
#include "score_builder.h"

int main(int argc, char** argv) {
  if (argc != 3) {
    std::cerr << "usage: vellumix-build-score IN.pmx OUT.mus\n";
    return 2;
  }
  std::ifstream in(argv[1], std::ios::binary);
  if (!in) {
    std::cerr << "Unable to open file " << argv[1] << " for reading\n";
    return 1;
  }
  std::ostringstream text;
  text << in.rdbuf();
  std::string error;
  auto bytes = vellumix::test::BuildScoreFile(text.str(), &error);
  if (!bytes) {
    std::cerr << argv[1] << ": " << error << '\n';
    return 1;
  }
  if (!vellumix::files::WriteAtomic(argv[2], *bytes)) {
    std::cerr << "Unable to open file " << argv[2] << " for writing\n";
    return 1;
  }
  return 0;
}
