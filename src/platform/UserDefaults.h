// The user defaults: a small settings file under the home, standing in for
// the platform's preferences store. Values are JSON; binary data, which JSON
// lacks, is kept as {"data": "<base64>"} so an array of data items can be told
// from an array of anything else.
#pragma once

#include "platform/FileSystem.h"
#include "platform/Result.h"
#include "platform/SystemLayout.h"

#include <nlohmann/json.hpp>

#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace kestrova {

class UserDefaults {
public:
    explicit UserDefaults(std::string file, FileSystem& fileSystem = realFileSystem());

    // The application's settings file under the home of `layout`.
    static std::string standardFile(const SystemLayout& layout);
    const std::string& file() const { return file_; }

    // Absent when the key is not set, or when the file cannot be read or parsed.
    std::optional<nlohmann::json> value(std::string_view key) const;
    // Read, change and write back atomically. A settings file that exists but
    // cannot be read or parsed is refused rather than replaced.
    Status setValue(std::string_view key, nlohmann::json value);

    // The value under `key` when it is an array whose every element is binary
    // data; absent otherwise (a mixed array counts as absent as a whole).
    std::optional<std::vector<std::string>> dataArray(std::string_view key) const;
    Status setDataArray(std::string_view key, const std::vector<std::string>& items);

    static nlohmann::json dataValue(std::string_view bytes);
    // The bytes of a value written by dataValue; absent for anything else.
    static std::optional<std::string> dataFromValue(const nlohmann::json& value);

private:
    Result<nlohmann::json> load() const;
    Status update(const std::function<void(nlohmann::json&)>& change);

    std::string file_;
    FileSystem* fileSystem_;
};

}  // namespace kestrova
