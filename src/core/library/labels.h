// The option and default values with the labels of their dialog controls, for showing settings
// as text.
#pragma once

#include <string>
#include <vector>

#include "library/settings.h"

namespace vellumix {

struct LabelledValue {
  std::string label;  // the dialog control's text
  std::string value;  // "on"/"off", a number with its unit, or a text
};

std::vector<LabelledValue> DescribeOptions(const Options& o);
std::vector<LabelledValue> DescribeDefaults(const Defaults& d);

}  // namespace vellumix
