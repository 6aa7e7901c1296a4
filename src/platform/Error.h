#pragma once
// Errors are values: a domain, a numeric code and a user-facing (Chinese) message.
#include <QString>
#include <utility>
#include <variant>

namespace vox {

struct Error {
    QString domain;
    int code = 0;
    QString message;

    bool operator==(const Error &) const = default;
};

// A value or an error. Small on purpose: has(), value(), error().
template <typename T>
class Result {
public:
    Result(T value) : m_v(std::in_place_index<0>, std::move(value)) {}
    Result(Error error) : m_v(std::in_place_index<1>, std::move(error)) {}

    bool ok() const { return m_v.index() == 0; }
    explicit operator bool() const { return ok(); }
    T &value() { return std::get<0>(m_v); }
    const T &value() const { return std::get<0>(m_v); }
    const Error &error() const { return std::get<1>(m_v); }

private:
    std::variant<T, Error> m_v;
};

} // namespace vox
