// toolkit/foundation/archive.h
// kcArchive: a byte stream that stores values and persistent objects, or
// loads them back, through one operator per type (operator||).
//
// Encoding: fixed widths, little-endian. bool and unsigned char take one
// byte; integers take their fixed width (long and unsigned long 8 bytes);
// double is its IEEE-754 bit pattern in 8 bytes; a wide string is a 32-bit
// length followed by that many 32-bit code points. A persistent object is
// its class name (32-bit length and bytes) followed by its own state.
//
// Loading checks every read against the bytes that are left, and every
// length against what the remaining bytes could hold, so truncated or
// corrupted input throws kcArchive::Errors and never reads out of bounds or
// allocates from an unchecked length.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "toolkit/foundation/exceptions.h"
#include "toolkit/foundation/export.h"

class kcPersistent;

class KC_EXPORT kcArchive {
public:
    // Any failure of the archive itself: bad or truncated input, a file
    // that cannot be read or written, an unknown class.
    class KC_EXPORT Errors : public kcExceptionWithString {
        KC_CONCRETE_EXCEPTION(Errors, 0x10000201)
    public:
        explicit Errors(const std::wstring& message = std::wstring())
            : kcExceptionWithString(message) {}
    };

    // A record whose version is newer than its reader knows.
    class KC_EXPORT UnknownVersion : public Errors {
        KC_CONCRETE_EXCEPTION(UnknownVersion, 0x10000202)
    public:
        UnknownVersion() = default;
        // Raised by the source file `file` at line `line`.
        UnknownVersion(const char* file, int line);
        // Raised for class `className`, which knows versions up to `number`.
        // Pass the name as a std::string: a string literal with an int
        // picks the (file, line) constructor above.
        UnknownVersion(const std::string& className, long number);
    };

    // Storing into memory; bytes() gives what was stored.
    static kcArchive storing();
    // Loading from a copy of the given bytes.
    static kcArchive loading(std::vector<unsigned char> bytes);
    // Loading the whole of a file; Errors when it cannot be read.
    static kcArchive loadingFile(const std::string& path);

    kcArchive(kcArchive&&) noexcept;
    kcArchive& operator=(kcArchive&&) noexcept;
    ~kcArchive();

    bool isStoring() const { return storing_; }
    bool isLoading() const { return !storing_; }

    // The bytes stored so far (storing) or the whole input (loading).
    const std::vector<unsigned char>& bytes() const { return bytes_; }
    // Writes the bytes stored so far to a file; Errors when it cannot.
    void writeFile(const std::string& path) const;
    // Bytes not yet read (loading).
    std::size_t remaining() const { return bytes_.size() - position_; }

    kcArchive& operator||(bool& value);
    kcArchive& operator||(unsigned char& value);
    kcArchive& operator||(signed char& value);
    kcArchive& operator||(short& value);
    kcArchive& operator||(unsigned short& value);
    kcArchive& operator||(int& value);
    kcArchive& operator||(unsigned int& value);
    kcArchive& operator||(long& value);
    kcArchive& operator||(unsigned long& value);
    kcArchive& operator||(long long& value);
    kcArchive& operator||(unsigned long long& value);
    kcArchive& operator||(float& value);
    kcArchive& operator||(double& value);
    kcArchive& operator||(std::wstring& value);
    kcArchive& operator||(std::string& value);

    // Stores a persistent object: its class name, then its state. The class
    // must be registered with a kc_Instantiator.
    void storeObject(kcPersistent& object);
    // Loads an object stored by storeObject, recreated by its class's
    // factory. Errors for an unknown class name.
    std::unique_ptr<kcPersistent> loadObject();

private:
    friend class kcPersistent;

    explicit kcArchive(bool storing);

    void put(const void* data, std::size_t size);
    // Reads size bytes; Errors naming `what` when fewer remain.
    void get(void* data, std::size_t size, const char* what);
    // Reads a 32-bit length of units of unitSize bytes each, checked
    // against the bytes that remain.
    std::size_t getLength(std::size_t unitSize, const char* what);
    template <class T> kcArchive& integer(T& value);
    // A float or double as its IEEE-754 bit pattern in Bits.
    template <class Bits, class Real> kcArchive& real(Real& value, const char* what);

    std::vector<unsigned char> bytes_;
    std::size_t position_ = 0;
    bool storing_ = true;
    // Parts handled in the current object pass: (address, size).
    std::set<std::pair<const void*, std::size_t>> visited_;
};
