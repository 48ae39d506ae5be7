#include "store/state/PersistedInventoryStream.h"

#include <vector>

namespace kestrova::stateStream {
namespace {

constexpr std::string_view notAnObject = "The inventory state is not a JSON object.";

// Builds one JSON value from parser events. Holds pointers only to the open
// containers on the path to the newest value, which later insertions never
// move: an array grows only while its earlier elements are closed, and map
// nodes stay put.
class TreeBuilder {
public:
    bool isBuilding() const { return !open_.empty(); }

    // Returns true when the scalar is a whole value by itself.
    bool scalar(Json value) {
        if (open_.empty()) {
            root_ = std::move(value);
            return true;
        }
        place(std::move(value));
        return false;
    }
    void open(Json container) {
        if (open_.empty()) {
            root_ = std::move(container);
            open_.push_back(&root_);
        } else {
            open_.push_back(place(std::move(container)));
        }
    }
    // Returns true when the closed container was the whole value.
    bool close() {
        open_.pop_back();
        return open_.empty();
    }
    void key(std::string key) { key_ = std::move(key); }
    Json take() { return std::move(root_); }

private:
    Json* place(Json value) {
        auto& container = *open_.back();
        if (container.is_array()) {
            container.push_back(std::move(value));
            return &container.back();
        }
        auto& slot = container[key_];  // a repeated key: the later value wins
        slot = std::move(value);
        return &slot;
    }

    Json root_;
    std::vector<Json*> open_;
    std::string key_;
};

class Handler {
public:
    Handler(const std::map<std::string, ElementSink, std::less<>>& sinks, ReadDocument& document)
        : sinks_(sinks), document_(document) {}

    std::optional<std::string> error;

    bool null() { return scalar(Json(nullptr)); }
    bool boolean(bool value) { return scalar(Json(value)); }
    bool number_integer(Json::number_integer_t value) { return scalar(Json(value)); }
    bool number_unsigned(Json::number_unsigned_t value) { return scalar(Json(value)); }
    bool number_float(Json::number_float_t value, const std::string&) { return scalar(Json(value)); }
    bool string(std::string& value) { return scalar(Json(std::move(value))); }
    bool binary(Json::binary_t& value) { return scalar(Json::binary(std::move(value))); }

    bool start_object(std::size_t) {
        if (!insideDocument_) {
            insideDocument_ = true;
            return true;
        }
        builder_.open(Json::object());
        return true;
    }
    bool end_object() {
        if (builder_.isBuilding()) {
            if (builder_.close()) {
                complete(builder_.take());
            }
            return true;
        }
        insideDocument_ = false;
        return true;
    }
    bool start_array(std::size_t) {
        if (!insideDocument_) {
            throw DecodingError(std::string(notAnObject));
        }
        if (builder_.isBuilding() || sink_) {
            builder_.open(Json::array());
            return true;
        }
        if (const auto found = sinks_.find(key_); found != sinks_.end()) {
            sink_ = &found->second;
            index_ = 0;
            if (sink_->begin) {
                sink_->begin();
            }
            document_.streamed.insert(key_);
            document_.others.erase(key_);
            return true;
        }
        builder_.open(Json::array());
        return true;
    }
    bool end_array() {
        if (builder_.isBuilding()) {
            if (builder_.close()) {
                complete(builder_.take());
            }
            return true;
        }
        sink_ = nullptr;  // the streamed array is done
        return true;
    }
    bool key(std::string& key) {
        if (builder_.isBuilding()) {
            builder_.key(std::move(key));
        } else {
            key_ = std::move(key);
        }
        return true;
    }
    bool parse_error(std::size_t, const std::string&, const nlohmann::json::exception& exception) {
        // "[json.exception.parse_error.101] parse error at line 2, column 3: ..."
        std::string message = exception.what();
        if (const auto end = message.find("] "); message.starts_with("[json.exception") && end != std::string::npos) {
            message.erase(0, end + 2);
        }
        error = std::move(message);
        return false;
    }

private:
    bool scalar(Json value) {
        if (!insideDocument_) {
            throw DecodingError(std::string(notAnObject));
        }
        if (builder_.scalar(std::move(value))) {
            complete(builder_.take());
        }
        return true;
    }
    void complete(Json value) {
        if (sink_) {
            sink_->element(std::move(value), index_++);
            return;
        }
        if (sinks_.contains(key_)) {
            // A streamed key whose later value is not an array: that value counts.
            document_.streamed.erase(key_);
        }
        document_.others[key_] = std::move(value);
    }

    const std::map<std::string, ElementSink, std::less<>>& sinks_;
    ReadDocument& document_;
    TreeBuilder builder_;
    bool insideDocument_ = false;
    std::string key_;
    const ElementSink* sink_ = nullptr;
    std::size_t index_ = 0;
};

}  // namespace

std::optional<std::string> readDocument(std::string_view text,
                                        const std::map<std::string, ElementSink, std::less<>>& sinks,
                                        ReadDocument& document) {
    Handler handler(sinks, document);
    if (!Json::sax_parse(text.begin(), text.end(), &handler) && !handler.error) {
        handler.error = "The inventory state could not be parsed.";
    }
    return handler.error;
}

}  // namespace kestrova::stateStream
