#include "platform/PlatformWording.h"

#include <array>
#include <utility>

namespace kestrova {
namespace {

constexpr std::array<std::pair<std::string_view, std::string_view>, 3> linuxWords{{
    {"Finder Trash", "Trash"},
    {"macOS Trash", "Trash"},
    {" in Finder", " in the File Manager"},
}};

}  // namespace

std::string platformWording(std::string_view text, PlatformProfile profile) {
    if (profile == PlatformProfile::macOS ||
        (text.find("Finder") == std::string_view::npos && text.find("macOS Trash") == std::string_view::npos)) {
        return std::string(text);
    }
    std::string worded;
    worded.reserve(text.size());
    std::size_t position = 0;
    while (position < text.size()) {
        bool replaced = false;
        for (const auto& [from, to] : linuxWords) {
            if (text.compare(position, from.size(), from) == 0) {
                worded += to;
                position += from.size();
                replaced = true;
                break;
            }
        }
        if (!replaced) {
            worded.push_back(text[position++]);
        }
    }
    return worded;
}

}  // namespace kestrova
