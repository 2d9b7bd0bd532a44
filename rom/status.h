#pragma once
// Errors are values: every fallible operation of the ROM image logic returns a
// Status or a Result<T> that the caller must look at. Nothing here throws.

#include <optional>
#include <string>
#include <utility>

namespace thornwake {

class [[nodiscard]] Status {
public:
    static Status Ok() { return Status(); }
    static Status Fail(std::string message) { return Status(std::move(message)); }

    bool ok() const { return !failed_; }
    explicit operator bool() const { return ok(); }
    // A sentence a user can read; empty when ok().
    const std::string& message() const { return message_; }

private:
    Status() = default;
    explicit Status(std::string message) : failed_(true), message_(std::move(message)) {}
    bool failed_ = false;
    std::string message_;
};

template <typename T>
class [[nodiscard]] Result {
public:
    Result(T value) : value_(std::move(value)) {}            // NOLINT: implicit on purpose
    Result(Status failure) : message_(failure.message()) {}  // NOLINT: implicit on purpose

    bool ok() const { return value_.has_value(); }
    explicit operator bool() const { return ok(); }
    const T& value() const { return *value_; }
    T& value() { return *value_; }
    const std::string& message() const { return message_; }
    Status status() const { return ok() ? Status::Ok() : Status::Fail(message_); }

private:
    std::optional<T> value_;
    std::string message_;
};

}  // namespace thornwake
