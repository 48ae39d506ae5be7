// The demo machine laid out as Linux keeps plug-ins: the system folders
// under <output>/root/usr/lib and the user's dot-folders in <output>/home,
// with one product installed on both sides.
#pragma once

#include "platform/Result.h"

#include <string>

namespace kestrova::cli {

Status writeLinuxDemoTree(const std::string& output);

}  // namespace kestrova::cli
