// The freedesktop.org Trash as desktop file managers keep it: a Trash folder
// holding files/ (the trashed items) and info/ (one NAME.trashinfo per item,
// naming where it came from and when). Pure text rules; the helper does the
// file work.
#pragma once

#include <ctime>
#include <optional>
#include <string>
#include <string_view>

namespace kestrova {

struct TrashInfo {
    std::string path;  // decoded
    std::string deletionDate;

    friend bool operator==(const TrashInfo&, const TrashInfo&) = default;
};

// Percent-encodes every byte but letters, digits, "-", ".", "_", "~" and "/",
// as file managers write the Path= key (UTF-8 bytes are escaped too).
std::string percentEncodedTrashPath(std::string_view path);
// Absent for a malformed escape or an encoded NUL.
std::optional<std::string> percentDecodedTrashPath(std::string_view text);

// YYYY-MM-DDThh:mm:ss in local time, without a zone, as the Trash wants it.
std::string trashDeletionDate(std::time_t time);

// The Path= value for an item that was at `originalPath`: relative to the
// file system's top folder for a Trash kept there ($topdir/.Trash-$uid),
// as file managers expect, when the item was below it; absolute otherwise.
std::string trashInfoOriginalPath(std::string_view originalPath, std::optional<std::string_view> topdir);

// The whole .trashinfo file for an item that was at `originalPath`.
std::string trashInfoText(std::string_view originalPath, std::string_view deletionDate);
// Reads a .trashinfo back: the [Trash Info] group with a Path= key (and
// DeletionDate=, which may be missing); absent when it has neither.
std::optional<TrashInfo> parseTrashInfo(std::string_view text);

// Trash/files/NAME gives Trash/info/NAME.trashinfo.
std::string trashInfoPath(std::string_view trashedPath);

}  // namespace kestrova
