// Errors as values at module edges: a value or an error, never both.
#pragma once

#include <string>
#include <utility>
#include <variant>

namespace kestrova {

// A failure with a message fit to show a person, and the errno that caused
// it where there was one.
struct Error {
    std::string message;
    int code = 0;

    friend bool operator==(const Error&, const Error&) = default;
};

template <typename T, typename E = Error>
class Result {
public:
    Result(T value) : storage_(std::in_place_index<0>, std::move(value)) {}
    Result(E error) : storage_(std::in_place_index<1>, std::move(error)) {}

    bool ok() const { return storage_.index() == 0; }
    explicit operator bool() const { return ok(); }

    T& value() & { return std::get<0>(storage_); }
    const T& value() const& { return std::get<0>(storage_); }
    T&& value() && { return std::get<0>(std::move(storage_)); }
    T* operator->() { return &value(); }
    const T* operator->() const { return &value(); }
    T& operator*() & { return value(); }
    const T& operator*() const& { return value(); }

    const E& error() const { return std::get<1>(storage_); }

private:
    std::variant<T, E> storage_;
};

template <typename E>
class Result<void, E> {
public:
    Result() = default;
    Result(E error) : error_(std::move(error)), ok_(false) {}

    bool ok() const { return ok_; }
    explicit operator bool() const { return ok_; }
    const E& error() const { return error_; }

private:
    E error_{};
    bool ok_ = true;
};

using Status = Result<void>;

}  // namespace kestrova
