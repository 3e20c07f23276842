// Errors as values: a result is either a value or the sentence that says
// why there is none.
#ifndef ONDRELLE_PUBLISHER_RESULT_H
#define ONDRELLE_PUBLISHER_RESULT_H

#include <string>
#include <utility>
#include <variant>

namespace publisher {

struct Error {
    std::string message;
};

template <class T>
class Result {
public:
    Result(T value) : state_(std::move(value)) {}
    Result(Error error) : state_(std::move(error)) {}

    bool ok() const { return state_.index() == 0; }
    explicit operator bool() const { return ok(); }
    T& value() { return std::get<0>(state_); }
    const T& value() const { return std::get<0>(state_); }
    T* operator->() { return &value(); }
    const T* operator->() const { return &value(); }
    const std::string& error() const { return std::get<1>(state_).message; }

private:
    std::variant<T, Error> state_;
};

}  // namespace publisher

#endif
