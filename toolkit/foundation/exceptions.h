// toolkit/foundation/exceptions.h
// The toolkit's exception tree: kcPersistent > kcException >
// kcExceptionWithString, and the foundation's own errors.
#pragma once

#include <exception>
#include <iosfwd>
#include <string>

#include "toolkit/foundation/export.h"
#include "toolkit/foundation/persistent.h"

// Base of every toolkit error. Also a std::exception, so that a caller who
// only knows the standard library can catch it; what() gives the message in
// UTF-8.
class KC_EXPORT kcException : public kcPersistent, public std::exception {
public:
    ~kcException() override;

    // A number identifying the kind of error.
    virtual long errorNumber() const = 0;
    // For an exception that lives on the heap: deletes it and throws a copy
    // of it by value, with its most derived type.
    virtual void suicideAndRethrow() = 0;

    // The message as written by message_.
    std::wstring message() const;
    const char* what() const noexcept override;

protected:
    kcException() = default;
    kcException(const kcException&) = default;
    kcException& operator=(const kcException&) = default;

    virtual void message_(std::wostream& out) const;
    // Refreshes the narrow copy of the message that what() returns.
    void updateWhat();

private:
    std::string what_;
};

// An exception that carries one wide message string.
class KC_EXPORT kcExceptionWithString : public kcException {
public:
    ~kcExceptionWithString() override;

    const std::wstring& messageString() const { return text_; }

protected:
    explicit kcExceptionWithString(const std::wstring& message = std::wstring());
    kcExceptionWithString(const kcExceptionWithString& other);
    kcExceptionWithString& operator=(const kcExceptionWithString& other);

    void message_(std::wostream& out) const override;
    // Stores or loads a version byte (0) and the message.
    void dispatchSerialize(kcArchive& ar) override;
    void reInit() override;

private:
    std::wstring text_;
};

// Helper for the concrete toolkit errors: fixes the error number and
// implements suicideAndRethrow for the most derived class.
#define KC_CONCRETE_EXCEPTION(Class, Number)                  \
public:                                                       \
    long errorNumber() const override { return Number; }     \
    void suicideAndRethrow() override {                       \
        Class copy(*this);                                    \
        delete this;                                          \
        throw copy;                                           \
    }

// Dereferencing an empty handle or pointer.
class KC_EXPORT kcBadPointer : public kcExceptionWithString {
    KC_CONCRETE_EXCEPTION(kcBadPointer, 0x10000101)
public:
    explicit kcBadPointer(const std::wstring& message = L"dereferenced an empty pointer")
        : kcExceptionWithString(message) {}
};

// An argument that the operation cannot work with (sizes that differ,
// a window outside its image, a value out of range).
class KC_EXPORT kcBadArgument : public kcExceptionWithString {
    KC_CONCRETE_EXCEPTION(kcBadArgument, 0x10000102)
public:
    explicit kcBadArgument(const std::wstring& message = std::wstring())
        : kcExceptionWithString(message) {}
};

// Reading or writing the pels of a buffer that holds none.
class KC_EXPORT kcUnboundBuffer : public kcExceptionWithString {
    KC_CONCRETE_EXCEPTION(kcUnboundBuffer, 0x10000103)
public:
    explicit kcUnboundBuffer(const std::wstring& message = L"pel buffer is not bound")
        : kcExceptionWithString(message) {}
};

// A status code that reports a failure (kfThrowExceptionOnFailure).
class KC_EXPORT kcStatusFailure : public kcExceptionWithString {
    KC_CONCRETE_EXCEPTION(kcStatusFailure, 0x10000104)
public:
    explicit kcStatusFailure(const std::wstring& message = std::wstring())
        : kcExceptionWithString(message) {}
};

class KC_EXPORT kcTimeout {
public:
    // A wait that ran out.
    class KC_EXPORT Expired : public kcExceptionWithString {
        KC_CONCRETE_EXCEPTION(Expired, 0x10000105)
    public:
        explicit Expired(const std::wstring& message = L"timeout expired")
            : kcExceptionWithString(message) {}
    };
};

// Returns when status is 0 (success); throws kcStatusFailure naming the
// status otherwise.
KC_EXPORT void kfThrowExceptionOnFailure(long status);
