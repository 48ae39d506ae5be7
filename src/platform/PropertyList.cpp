#include "platform/PropertyList.h"

#include <plist/plist.h>

#include <cstdlib>
#include <limits>
#include <memory>

namespace kestrova {
namespace {

struct PlistDeleter {
    void operator()(plist_t node) const { plist_free(node); }
};
using PlistHandle = std::unique_ptr<void, PlistDeleter>;

struct MallocDeleter {
    void operator()(void* memory) const { std::free(memory); }
};

}  // namespace

std::optional<InfoDictionary> parsePropertyListDictionary(std::string_view bytes) {
    if (bytes.empty() || bytes.size() > std::numeric_limits<std::uint32_t>::max()) {
        return std::nullopt;
    }
    plist_t parsed = nullptr;
    plist_from_memory(bytes.data(), static_cast<std::uint32_t>(bytes.size()), &parsed);
    const PlistHandle root(parsed);
    if (!root || plist_get_node_type(root.get()) != PLIST_DICT) {
        return std::nullopt;
    }
    InfoDictionary dictionary;
    plist_dict_iter iterator = nullptr;
    plist_dict_new_iter(root.get(), &iterator);
    const std::unique_ptr<void, MallocDeleter> iteratorOwner(iterator);
    while (true) {
        char* rawKey = nullptr;
        plist_t value = nullptr;
        plist_dict_next_item(root.get(), iterator, &rawKey, &value);
        const std::unique_ptr<char, MallocDeleter> key(rawKey);
        if (!key || !value) {
            break;
        }
        if (plist_get_node_type(value) != PLIST_STRING) {
            continue;
        }
        std::uint64_t length = 0;
        const char* text = plist_get_string_ptr(value, &length);
        if (text) {
            dictionary.emplace(key.get(), std::string(text, static_cast<std::size_t>(length)));
        }
    }
    return dictionary;
}

std::string serializePropertyList(const PropertyListDictionary& dictionary, PropertyListFormat format) {
    const PlistHandle root(plist_new_dict());
    for (const auto& [key, value] : dictionary) {
        plist_t node = nullptr;
        if (const auto* text = std::get_if<std::string>(&value)) {
            node = plist_new_string(text->c_str());
        } else if (const auto* number = std::get_if<std::int64_t>(&value)) {
            node = plist_new_uint(static_cast<std::uint64_t>(*number));
        } else {
            node = plist_new_bool(std::get<bool>(value) ? 1 : 0);
        }
        plist_dict_set_item(root.get(), key.c_str(), node);
    }
    char* data = nullptr;
    std::uint32_t length = 0;
    if (format == PropertyListFormat::xml) {
        plist_to_xml(root.get(), &data, &length);
    } else {
        plist_to_bin(root.get(), &data, &length);
    }
    const std::unique_ptr<char, MallocDeleter> owner(data);
    return data ? std::string(data, length) : std::string();
}

}  // namespace kestrova
