#include "run/document.h"

namespace vellumix {

CVellumixDoc::CVellumixDoc(Host& h)
    : host(h), library(h), score(h, library.options, library.defaults), trackFiles(h) {}

bool CVellumixDoc::Create(const std::string& dataFolder, bool installFactory) {
  return library.Create(dataFolder, installFactory);
}

}  // namespace vellumix
