// Failures as values. A step that can fail returns its failure with its
// result instead of leaving a code behind for the caller to find: nothing a
// function does depends on what an earlier call left.
//
//   Result<int32_t> n = ReadInt(cur, end);
//   if (!n) return n.failure();
//   use(*n);
//
//   if (Failure f = WriteHeader(out)) return f;   // a step with no result
//   return Failure(kHeaderTooLong);               // codes become failures explicitly
#pragma once

#include <cstdint>
#include <utility>

namespace brisel {

// The step a job is in; with a failure's code it tells a person why a job
// failed.
enum class JobStep { Start, Load, Read, Unlock, Analyze, Outlines, Name, Write };

// Why a step failed: its code (the negative numbers the result messages
// name; 0 is no failure), the step, and for damage in the input the object
// and the byte offset where reading found it (-1 where not known).
struct Failure {
    int32_t code = 0;
    JobStep step = JobStep::Start;
    int32_t object = -1;
    int64_t offset = -1;

    constexpr Failure() = default;
    constexpr explicit Failure(int32_t failureCode) : code(failureCode) {}
    constexpr Failure(int32_t failureCode, int32_t objectNumber, int64_t byteOffset)
        : code(failureCode), object(objectNumber), offset(byteOffset) {}

    // Whether this is a failure (code non-zero).
    constexpr explicit operator bool() const { return code != 0; }

    // The same failure, placed in a step / at an object and offset, where
    // the caller knows them and the callee did not.
    constexpr Failure In(JobStep where) const {
        Failure f = *this;
        f.step = where;
        return f;
    }
    constexpr Failure At(int32_t objectNumber, int64_t byteOffset) const {
        Failure f = *this;
        if (f.object < 0) f.object = objectNumber;
        if (f.offset < 0) f.offset = byteOffset;
        return f;
    }
};

// A value or the failure that kept it from being made. T must be default
// constructible (numbers, cursors, small records).
template <class T>
class [[nodiscard]] Result {
public:
    Result(T value) : value_(std::move(value)) {}   // NOLINT: a value is a success
    Result(Failure failure) : failure_(failure) {}  // NOLINT: and a failure a failure

    bool ok() const { return failure_.code == 0; }
    explicit operator bool() const { return ok(); }

    const T& value() const { return value_; }
    T& value() { return value_; }
    const T& operator*() const { return value_; }
    T& operator*() { return value_; }
    const T* operator->() const { return &value_; }

    // The value, or fallback after a failure.
    T value_or(T fallback) const { return ok() ? value_ : fallback; }

    const Failure& failure() const { return failure_; }
    int32_t code() const { return failure_.code; }

private:
    T value_{};
    Failure failure_;
};

}  // namespace brisel
