#include "platform/Paths.h"

#include <vector>

namespace kestrova {

std::string standardizedPath(std::string_view path) {
    if (path.empty()) {
        return {};
    }
    const bool absolute = path.front() == '/';
    std::vector<std::string_view> parts;
    std::size_t start = 0;
    while (start <= path.size()) {
        auto end = path.find('/', start);
        if (end == std::string_view::npos) {
            end = path.size();
        }
        const auto part = path.substr(start, end - start);
        if (part.empty() || part == ".") {
            // skip
        } else if (part == "..") {
            if (!parts.empty() && parts.back() != "..") {
                parts.pop_back();
            } else if (!absolute) {
                parts.push_back(part);
            }
        } else {
            parts.push_back(part);
        }
        start = end + 1;
    }
    std::string result = absolute ? "/" : "";
    for (std::size_t i = 0; i < parts.size(); ++i) {
        if (i > 0) {
            result += '/';
        }
        result += parts[i];
    }
    if (result.empty()) {
        return absolute ? "/" : ".";
    }
    return result;
}

std::string lastPathComponent(std::string_view path) {
    while (path.size() > 1 && path.back() == '/') {
        path.remove_suffix(1);
    }
    if (path == "/") {
        return "/";
    }
    const auto slash = path.rfind('/');
    return std::string(slash == std::string_view::npos ? path : path.substr(slash + 1));
}

std::string deletingLastPathComponent(std::string_view path) {
    while (path.size() > 1 && path.back() == '/') {
        path.remove_suffix(1);
    }
    const auto slash = path.rfind('/');
    if (slash == std::string_view::npos) {
        return {};
    }
    if (slash == 0) {
        return "/";
    }
    return std::string(path.substr(0, slash));
}

std::string appendingPathComponent(std::string_view path, std::string_view component) {
    std::string result(path);
    if (result.empty()) {
        return std::string(component);
    }
    if (result.back() != '/') {
        result += '/';
    }
    while (!component.empty() && component.front() == '/') {
        component.remove_prefix(1);
    }
    result += component;
    return result;
}

std::string pathExtension(std::string_view path) {
    const auto name = lastPathComponent(path);
    const auto dot = name.rfind('.');
    if (dot == std::string::npos || dot == 0) {
        return {};
    }
    return name.substr(dot + 1);
}

std::string deletingPathExtension(std::string_view path) {
    const auto extension = pathExtension(path);
    std::string trimmed(path);
    while (trimmed.size() > 1 && trimmed.back() == '/') {
        trimmed.pop_back();
    }
    if (extension.empty()) {
        return trimmed;
    }
    return trimmed.substr(0, trimmed.size() - extension.size() - 1);
}

bool isAbsolutePath(std::string_view path) { return !path.empty() && path.front() == '/'; }

bool isPathInside(std::string_view path, std::string_view folder) {
    const auto p = standardizedPath(path);
    const auto f = standardizedPath(folder);
    if (p == f) {
        return true;
    }
    if (f == "/") {
        return isAbsolutePath(p);
    }
    return p.size() > f.size() && p.compare(0, f.size(), f) == 0 && p[f.size()] == '/';
}

}  // namespace kestrova
