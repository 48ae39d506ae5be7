// The rules behind protection changes that need no store: which products can
// never lose protection, how an older record gets its bundle written out
// before a per-bundle flag changes, and the per-product step of a
// format-protection change.
#pragma once

#include "model/Plugin.h"
#include "model/PluginBundleSelection.h"

#include <optional>
#include <string>

namespace kestrova {

// Shared shells, their hosted products and Waves shells.
bool hasMandatoryProtection(const Plugin& product);

// A product without a bundle list gets its effective bundle records stored
// as that list, when there are any. Returns whether it changed.
bool materializeBundles(Plugin& product);

struct BundleProtectionChange {
    enum class Outcome { changed, unchanged, refused };

    Outcome outcome = Outcome::refused;
    std::optional<std::string> format;  // of the bundle, when it was found
    bool refusedAsMandatory = false;

    friend bool operator==(const BundleProtectionChange&, const BundleProtectionChange&) = default;
};

// Sets one bundle's flag and the product's flag that follows from all of
// them; the status is left to the caller. The product must already have its
// bundles written out.
BundleProtectionChange applyBundleProtection(Plugin& product, const PluginBundleSelection& selection, bool isProtected);

}  // namespace kestrova
