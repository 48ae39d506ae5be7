#include "model/ProductSearch.h"

#include "platform/Text.h"

namespace kestrova {

std::string productSearchText(const Plugin& product) {
    std::string text = foldCase(product.name);
    text += '\x1F';
    text += foldCase(product.manufacturer);
    if (product.bundles) {
        for (const auto& bundle : *product.bundles) {
            if (!bundle.pluginNames) {
                continue;
            }
            for (const auto& name : *bundle.pluginNames) {
                text += '\x1F';
                text += foldCase(name);
            }
        }
    }
    return text;
}

bool productMatchesSearch(const Plugin& product, std::string_view search) {
    const auto folded = foldCase(search);
    return folded.empty() || productSearchText(product).find(folded) != std::string::npos;
}

}  // namespace kestrova
