// The factory library's readable sources, embedded at build time (data/factory/embed.cmake).
#pragma once

#include <cstddef>

namespace vellumix::internal {

struct FactorySource {
  const char* name;  // file name in data/factory
  const unsigned char* data;
  std::size_t size;
};

extern const FactorySource kFactorySources[];
extern const std::size_t kFactorySourceCount;

}  // namespace vellumix::internal
