// Columns aligned for people reading a terminal.
#pragma once

#include <iosfwd>
#include <string>
#include <vector>

namespace kestrova::cli {

// Each column as wide as its widest cell (counting code points), two spaces
// apart; the last column is not padded.
void printTable(std::ostream& out, const std::vector<std::string>& headings,
                const std::vector<std::vector<std::string>>& rows);

}  // namespace kestrova::cli
