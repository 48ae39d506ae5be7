#include "platform/UserDefaults.h"

#include "platform/Paths.h"

#include <fmt/format.h>
#include <array>
#include <cerrno>

namespace kestrova {
namespace {

using Json = nlohmann::json;

constexpr std::string_view dataTag = "data";
constexpr std::string_view base64Alphabet = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";

std::string base64Encoded(std::string_view bytes) {
    std::string text;
    text.reserve((bytes.size() + 2) / 3 * 4);
    std::size_t i = 0;
    for (; i + 2 < bytes.size(); i += 3) {
        const auto chunk = static_cast<unsigned>(static_cast<unsigned char>(bytes[i])) << 16 |
                           static_cast<unsigned>(static_cast<unsigned char>(bytes[i + 1])) << 8 |
                           static_cast<unsigned>(static_cast<unsigned char>(bytes[i + 2]));
        text += base64Alphabet[chunk >> 18 & 63];
        text += base64Alphabet[chunk >> 12 & 63];
        text += base64Alphabet[chunk >> 6 & 63];
        text += base64Alphabet[chunk & 63];
    }
    const auto rest = bytes.size() - i;
    if (rest > 0) {
        auto chunk = static_cast<unsigned>(static_cast<unsigned char>(bytes[i])) << 16;
        if (rest == 2) {
            chunk |= static_cast<unsigned>(static_cast<unsigned char>(bytes[i + 1])) << 8;
        }
        text += base64Alphabet[chunk >> 18 & 63];
        text += base64Alphabet[chunk >> 12 & 63];
        text += rest == 2 ? base64Alphabet[chunk >> 6 & 63] : '=';
        text += '=';
    }
    return text;
}

// Strict: anything but canonical padded base64 is not data.
std::optional<std::string> base64Decoded(std::string_view text) {
    if (text.size() % 4 != 0) {
        return std::nullopt;
    }
    std::array<int, 256> values{};
    values.fill(-1);
    for (std::size_t i = 0; i < base64Alphabet.size(); ++i) {
        values[static_cast<unsigned char>(base64Alphabet[i])] = static_cast<int>(i);
    }
    std::string bytes;
    bytes.reserve(text.size() / 4 * 3);
    for (std::size_t i = 0; i < text.size(); i += 4) {
        const bool last = i + 4 == text.size();
        const int padding = last ? (text[i + 3] == '=' ? (text[i + 2] == '=' ? 2 : 1) : 0) : 0;
        unsigned chunk = 0;
        for (int j = 0; j < 4; ++j) {
            if (j >= 4 - padding) {
                chunk <<= 6;
                continue;
            }
            const int value = values[static_cast<unsigned char>(text[i + static_cast<std::size_t>(j)])];
            if (value < 0) {
                return std::nullopt;
            }
            chunk = chunk << 6 | static_cast<unsigned>(value);
        }
        bytes += static_cast<char>(chunk >> 16 & 0xFF);
        if (padding < 2) {
            bytes += static_cast<char>(chunk >> 8 & 0xFF);
        }
        if (padding < 1) {
            bytes += static_cast<char>(chunk & 0xFF);
        }
    }
    return bytes;
}

}  // namespace

UserDefaults::UserDefaults(std::string file, FileSystem& fileSystem)
    : file_(std::move(file)), fileSystem_(&fileSystem) {}

std::string UserDefaults::standardFile(const SystemLayout& layout) {
    return appendingPathComponent(layout.preferences(), "com.tolvanek.Kestrova.json");
}

Result<Json> UserDefaults::load() const {
    if (!fileSystem_->existsWithoutFollowing(file_)) {
        return Json::object();
    }
    auto contents = fileSystem_->readFile(file_);
    if (!contents) {
        return contents.error();
    }
    auto settings = Json::parse(*contents, nullptr, false);
    if (settings.is_discarded() || !settings.is_object()) {
        return Error{fmt::format("The settings file “{}” is damaged.", file_), EINVAL};
    }
    return settings;
}

Status UserDefaults::update(const std::function<void(Json&)>& change) {
    auto settings = load();
    if (!settings) {
        return settings.error();
    }
    change(*settings);
    if (auto made = fileSystem_->createDirectories(deletingLastPathComponent(file_)); !made) {
        return made;
    }
    return fileSystem_->writeFileAtomically(file_, settings->dump(2) + "\n");
}

std::optional<Json> UserDefaults::value(std::string_view key) const {
    const auto settings = load();
    if (!settings) {
        return std::nullopt;
    }
    const auto found = settings->find(key);
    if (found == settings->end()) {
        return std::nullopt;
    }
    return *found;
}

Status UserDefaults::setValue(std::string_view key, Json value) {
    return update([&](Json& settings) { settings[std::string(key)] = std::move(value); });
}

std::optional<std::vector<std::string>> UserDefaults::dataArray(std::string_view key) const {
    const auto stored = value(key);
    if (!stored || !stored->is_array()) {
        return std::nullopt;
    }
    std::vector<std::string> items;
    items.reserve(stored->size());
    for (const auto& element : *stored) {
        auto bytes = dataFromValue(element);
        if (!bytes) {
            return std::nullopt;
        }
        items.push_back(std::move(*bytes));
    }
    return items;
}

Status UserDefaults::setDataArray(std::string_view key, const std::vector<std::string>& items) {
    Json array = Json::array();
    for (const auto& item : items) {
        array.push_back(dataValue(item));
    }
    return setValue(key, std::move(array));
}

Json UserDefaults::dataValue(std::string_view bytes) {
    Json value = Json::object();
    value[std::string(dataTag)] = base64Encoded(bytes);
    return value;
}

std::optional<std::string> UserDefaults::dataFromValue(const Json& value) {
    if (!value.is_object() || value.size() != 1) {
        return std::nullopt;
    }
    const auto found = value.find(dataTag);
    if (found == value.end() || !found->is_string()) {
        return std::nullopt;
    }
    return base64Decoded(found->get_ref<const std::string&>());
}

}  // namespace kestrova
