#include "cli/DemoFiles.h"

#include <fmt/format.h>

#include <fstream>

namespace kestrova::cli {
namespace {

namespace fs = std::filesystem;

// Left in the output folder so a later run knows it may replace the tree.
constexpr const char* demoMarker = ".kestrova-demo";

}  // namespace

Status makeDemoFolder(const fs::path& folder) {
    std::error_code error;
    fs::create_directories(folder, error);
    if (error) {
        return Error{fmt::format("Could not create “{}”: {}", folder.string(), error.message())};
    }
    return {};
}

Status writeDemoFile(const fs::path& path, std::string_view contents, std::uintmax_t logicalSize) {
    if (auto made = makeDemoFolder(path.parent_path()); !made) {
        return made;
    }
    {
        std::ofstream out(path, std::ios::binary | std::ios::trunc);
        out.write(contents.data(), static_cast<std::streamsize>(contents.size()));
        if (!out) {
            return Error{fmt::format("Could not write “{}”.", path.string())};
        }
    }
    if (logicalSize > contents.size()) {
        std::error_code error;
        fs::resize_file(path, logicalSize, error);
        if (error) {
            return Error{fmt::format("Could not size “{}”: {}", path.string(), error.message())};
        }
    }
    return {};
}

Status prepareDemoFolder(const fs::path& output, std::initializer_list<const char*> parts) {
    std::error_code error;
    if (fs::exists(output, error)) {
        if (!fs::is_directory(output, error)) {
            return Error{fmt::format("“{}” exists and is not a folder. Nothing was written.", output.string())};
        }
        const bool empty = fs::is_empty(output, error);
        if (!empty && !fs::exists(output / demoMarker, error)) {
            return Error{fmt::format(
                "“{}” is not empty and holds no earlier demo. Choose a new or empty folder; nothing was written.",
                output.string())};
        }
        for (const auto* part : parts) {
            fs::remove_all(output / part, error);
            if (error) {
                return Error{
                    fmt::format("Could not replace the earlier demo in “{}”: {}", output.string(), error.message())};
            }
        }
    }
    return writeDemoFile(output / demoMarker, "kestrova-cli demo\n");
}

}  // namespace kestrova::cli
