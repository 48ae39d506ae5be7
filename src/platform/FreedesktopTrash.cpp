#include "platform/FreedesktopTrash.h"

#include "platform/EscapedText.h"
#include "platform/Paths.h"

#include <array>

namespace kestrova {
namespace {

std::string_view trimmedLine(std::string_view line) {
    while (!line.empty() && (line.back() == '\r' || line.back() == ' ' || line.back() == '\t')) {
        line.remove_suffix(1);
    }
    while (!line.empty() && (line.front() == ' ' || line.front() == '\t')) {
        line.remove_prefix(1);
    }
    return line;
}

}  // namespace

std::string percentEncodedTrashPath(std::string_view path) { return percentEncodedPath(path); }

std::optional<std::string> percentDecodedTrashPath(std::string_view text) {
    std::string decoded;
    decoded.reserve(text.size());
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] != '%') {
            decoded.push_back(text[i]);
            continue;
        }
        if (i + 2 >= text.size()) {
            return std::nullopt;
        }
        const int high = hexDigitValue(text[i + 1]);
        const int low = hexDigitValue(text[i + 2]);
        if (high < 0 || low < 0 || (high == 0 && low == 0)) {
            return std::nullopt;
        }
        decoded.push_back(static_cast<char>(high * 16 + low));
        i += 2;
    }
    return decoded;
}

std::string trashDeletionDate(std::time_t time) {
    std::tm local{};
    ::localtime_r(&time, &local);
    std::array<char, 32> buffer{};
    const auto length = std::strftime(buffer.data(), buffer.size(), "%Y-%m-%dT%H:%M:%S", &local);
    return std::string(buffer.data(), length);
}

std::string trashInfoOriginalPath(std::string_view originalPath, std::optional<std::string_view> topdir) {
    if (!topdir) {
        return std::string(originalPath);
    }
    if (*topdir == "/") {
        return std::string(originalPath.substr(1));
    }
    if (originalPath.size() > topdir->size() + 1 && originalPath.starts_with(*topdir) &&
        originalPath[topdir->size()] == '/') {
        return std::string(originalPath.substr(topdir->size() + 1));
    }
    return std::string(originalPath);
}

std::string trashInfoText(std::string_view originalPath, std::string_view deletionDate) {
    return "[Trash Info]\nPath=" + percentEncodedTrashPath(originalPath) +
           "\nDeletionDate=" + std::string(deletionDate) + "\n";
}

std::optional<TrashInfo> parseTrashInfo(std::string_view text) {
    bool inGroup = false;
    bool sawPath = false;
    TrashInfo info;
    while (!text.empty()) {
        const auto end = text.find('\n');
        const auto line = trimmedLine(text.substr(0, end));
        text = end == std::string_view::npos ? std::string_view() : text.substr(end + 1);
        if (line.empty() || line.front() == '#') {
            continue;
        }
        if (line.front() == '[') {
            inGroup = line == "[Trash Info]";
            continue;
        }
        if (!inGroup) {
            continue;
        }
        const auto equals = line.find('=');
        if (equals == std::string_view::npos) {
            continue;
        }
        const auto key = trimmedLine(line.substr(0, equals));
        const auto value = trimmedLine(line.substr(equals + 1));
        if (key == "Path" && !sawPath) {
            auto path = percentDecodedTrashPath(value);
            if (!path || path->empty()) {
                return std::nullopt;
            }
            info.path = std::move(*path);
            sawPath = true;
        } else if (key == "DeletionDate" && info.deletionDate.empty()) {
            info.deletionDate = std::string(value);
        }
    }
    if (!sawPath) {
        return std::nullopt;
    }
    return info;
}

std::string trashInfoPath(std::string_view trashedPath) {
    const auto filesFolder = deletingLastPathComponent(trashedPath);
    const auto trash = deletingLastPathComponent(filesFolder);
    return appendingPathComponent(appendingPathComponent(trash, "info"), lastPathComponent(trashedPath) + ".trashinfo");
}

}  // namespace kestrova
