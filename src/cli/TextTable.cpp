#include "cli/TextTable.h"

#include <algorithm>
#include <ostream>

namespace kestrova::cli {
namespace {

std::size_t displayWidth(std::string_view text) {
    return static_cast<std::size_t>(
        std::count_if(text.begin(), text.end(), [](char c) { return (static_cast<unsigned char>(c) & 0xC0) != 0x80; }));
}

}  // namespace

void printTable(std::ostream& out, const std::vector<std::string>& headings,
                const std::vector<std::vector<std::string>>& rows) {
    std::vector<std::size_t> widths(headings.size(), 0);
    const auto measure = [&](const std::vector<std::string>& row) {
        for (std::size_t column = 0; column < row.size() && column < widths.size(); ++column) {
            widths[column] = std::max(widths[column], displayWidth(row[column]));
        }
    };
    measure(headings);
    std::for_each(rows.begin(), rows.end(), measure);
    const auto print = [&](const std::vector<std::string>& row) {
        std::string line;
        for (std::size_t column = 0; column < row.size(); ++column) {
            line += row[column];
            if (column + 1 < row.size()) {
                line += std::string(widths[column] - displayWidth(row[column]) + 2, ' ');
            }
        }
        line.erase(line.find_last_not_of(' ') + 1);
        out << line << '\n';
    };
    print(headings);
    std::for_each(rows.begin(), rows.end(), print);
}

}  // namespace kestrova::cli
