#include "support/TemporaryDirectory.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <stdexcept>

namespace kestrova::testing {
namespace fs = std::filesystem;

TemporaryDirectory::TemporaryDirectory() {
    std::string pattern = (fs::temp_directory_path() / "kestrova-test-XXXXXX").string();
    if (!::mkdtemp(pattern.data())) {
        throw std::runtime_error("mkdtemp failed");
    }
    path_ = fs::canonical(pattern).string();
}

TemporaryDirectory::~TemporaryDirectory() {
    std::error_code ignored;
    fs::remove_all(path_, ignored);
}

std::string TemporaryDirectory::operator/(std::string_view relative) const {
    return (fs::path(path_) / fs::path(relative).relative_path()).lexically_normal().string();
}

std::string TemporaryDirectory::writeFile(std::string_view relative, std::string_view contents) const {
    const auto full = fs::path(*this / relative);
    fs::create_directories(full.parent_path());
    std::ofstream out(full, std::ios::binary | std::ios::trunc);
    out.write(contents.data(), static_cast<std::streamsize>(contents.size()));
    if (!out) {
        throw std::runtime_error("could not write " + full.string());
    }
    return full.string();
}

std::string TemporaryDirectory::makeDirectory(std::string_view relative) const {
    const auto full = *this / relative;
    fs::create_directories(full);
    return full;
}

std::string TemporaryDirectory::makeSymlink(std::string_view target, std::string_view relative) const {
    const auto full = fs::path(*this / relative);
    fs::create_directories(full.parent_path());
    fs::create_symlink(fs::path(target), full);
    return full.string();
}

std::string TemporaryDirectory::readFile(std::string_view relative) const { return readWholeFile(*this / relative); }

std::string readWholeFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream buffer;
    buffer << in.rdbuf();
    return buffer.str();
}

bool TemporaryDirectory::exists(std::string_view relative) const {
    std::error_code ignored;
    return fs::exists(fs::symlink_status(*this / relative, ignored));
}

}  // namespace kestrova::testing
