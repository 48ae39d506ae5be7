// A scratch folder for one test, removed with everything in it at the end.
#pragma once

#include <string>
#include <string_view>

namespace kestrova::testing {

class TemporaryDirectory {
public:
    TemporaryDirectory();
    ~TemporaryDirectory();
    TemporaryDirectory(const TemporaryDirectory&) = delete;
    TemporaryDirectory& operator=(const TemporaryDirectory&) = delete;

    // The real (symlink-free) absolute path of the folder.
    const std::string& path() const { return path_; }
    // Absolute path of a relative path inside the folder.
    std::string operator/(std::string_view relative) const;

    // Writes a file, creating its parent folders; returns its absolute path.
    std::string writeFile(std::string_view relative, std::string_view contents) const;
    std::string makeDirectory(std::string_view relative) const;
    std::string makeSymlink(std::string_view target, std::string_view relative) const;
    std::string readFile(std::string_view relative) const;
    bool exists(std::string_view relative) const;

private:
    std::string path_;
};

// The bytes of a file anywhere; empty when it cannot be read.
std::string readWholeFile(const std::string& path);

}  // namespace kestrova::testing
