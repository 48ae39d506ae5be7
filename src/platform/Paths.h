// Lexical path helpers. None of them touch the disk.
#pragma once

#include <string>
#include <string_view>

namespace kestrova {

// Drops "." components, resolves ".." against the component before it,
// collapses "//" and drops a trailing "/". "/" stays "/".
std::string standardizedPath(std::string_view path);
std::string lastPathComponent(std::string_view path);
std::string deletingLastPathComponent(std::string_view path);
std::string appendingPathComponent(std::string_view path, std::string_view component);
// The extension after the last "." of the last component, without the dot;
// empty when there is none or the name starts with its only dot.
std::string pathExtension(std::string_view path);
std::string deletingPathExtension(std::string_view path);
bool isAbsolutePath(std::string_view path);
// Whether `path` equals `folder` or lies below it, comparing whole components.
bool isPathInside(std::string_view path, std::string_view folder);

}  // namespace kestrova
