#include "scan/Vst3ModuleInfo.h"

#include "platform/Text.h"

#include <nlohmann/json.hpp>

namespace kestrova {
namespace {

std::optional<std::string> nonBlank(const std::string& text) {
    auto value = trimmedWhitespace(text);
    if (value.empty()) {
        return std::nullopt;
    }
    return value;
}

// Picks the three values out of the parser's events instead of building the
// whole document: the document cost more than the rest of a VST3 bundle's
// reading. A repeated key counts with its last value, as in a parsed object.
class ModuleInfoReader {
public:
    using json = nlohmann::json;

    Vst3ModuleInfo info;
    bool isObject = false;

    bool null() { return value(nullptr); }
    bool boolean(bool) { return value(nullptr); }
    bool number_integer(json::number_integer_t) { return value(nullptr); }
    bool number_unsigned(json::number_unsigned_t) { return value(nullptr); }
    bool number_float(json::number_float_t, const json::string_t&) { return value(nullptr); }
    bool string(json::string_t& text) { return value(&text); }
    bool binary(json::binary_t&) { return value(nullptr); }

    bool start_object(std::size_t) {
        if (depth_ == 0) {
            isObject = true;
        } else {
            value(nullptr);
            if (depth_ == 1) {
                inFactory_ = field_ == Field::factory;
            }
        }
        ++depth_;
        return true;
    }
    bool end_object() {
        if (--depth_ == 1) {
            inFactory_ = false;
        }
        return true;
    }
    bool start_array(std::size_t) {
        value(nullptr);
        ++depth_;
        return true;
    }
    bool end_array() {
        --depth_;
        return true;
    }
    bool key(json::string_t& name) {
        if (depth_ == 1) {
            field_ = name == "Name"           ? Field::name
                     : name == "Version"      ? Field::version
                     : name == "Factory Info" ? Field::factory
                                              : Field::none;
        } else if (depth_ == 2 && inFactory_) {
            vendorKey_ = name == "Vendor";
        }
        return true;
    }
    bool parse_error(std::size_t, const std::string&, const nlohmann::detail::exception&) { return false; }

private:
    enum class Field { none, name, version, factory };

    // A value, or the start of a container, met where the reader stands.
    bool value(const std::string* text) {
        if (depth_ == 1) {
            switch (field_) {
                case Field::name:
                    info.name = text ? nonBlank(*text) : std::nullopt;
                    break;
                case Field::version:
                    info.version = text ? nonBlank(*text) : std::nullopt;
                    break;
                case Field::factory:
                    info.vendor = std::nullopt;
                    break;
                case Field::none:
                    break;
            }
        } else if (depth_ == 2 && inFactory_ && vendorKey_) {
            info.vendor = text ? nonBlank(*text) : std::nullopt;
        }
        return true;
    }

    int depth_ = 0;
    Field field_ = Field::none;
    bool inFactory_ = false;
    bool vendorKey_ = false;
};

}  // namespace

Vst3ModuleInfo parseVst3ModuleInfo(std::string_view text) {
    ModuleInfoReader reader;
    const bool parsed =
        nlohmann::json::sax_parse(text.begin(), text.end(), &reader, nlohmann::json::input_format_t::json, true, true);
    if (!parsed || !reader.isObject) {
        return {};
    }
    return std::move(reader.info);
}

}  // namespace kestrova
