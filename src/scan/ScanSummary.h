// What a scan reports while it runs and what it returns.
#pragma once

#include "model/Plugin.h"

#include <string>
#include <vector>

namespace kestrova {

struct ScanProgress {
    std::string format;    // of the location being walked
    std::string location;  // its folder path
    int completedLocations = 0;
    int totalLocations = 0;  // locations walked in this scan, after the authorization filter
    int discoveredBundles = 0;

    friend bool operator==(const ScanProgress&, const ScanProgress&) = default;
};

struct ScanSummary {
    std::vector<Plugin> plugins;                     // empty when the scan was cancelled
    std::vector<std::string> inaccessibleLocations;  // unique, plain string order
    bool wasCancelled = false;

    friend bool operator==(const ScanSummary&, const ScanSummary&) = default;
};

}  // namespace kestrova
