// What a search of the inventory matches a product by: its name, its
// manufacturer and the names of the plug-ins its bundles hold, so a suite
// is found by any of its plug-ins. Both the window and the command line
// search this way.
#pragma once

#include "model/Plugin.h"

#include <string>
#include <string_view>

namespace kestrova {

// The case-folded texts a search looks in, joined by a separator no search
// text contains.
std::string productSearchText(const Plugin& product);

// Whether `search` (as typed) occurs, case-folded, in the product's search
// text. An empty search matches everything.
bool productMatchesSearch(const Plugin& product, std::string_view search);

}  // namespace kestrova
