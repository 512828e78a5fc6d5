// toolkit/foundation/archive.cpp
#include "toolkit/foundation/archive.h"

#include <cstring>
#include <filesystem>
#include <fstream>
#include <limits>
#include <type_traits>
#include <utility>

#include "toolkit/foundation/persistent.h"
#include "toolkit/foundation/text.h"

namespace {
constexpr std::uintmax_t kMaxFileBytes = 64u * 1024u * 1024u;  // largest archive file loadingFile accepts
constexpr std::size_t kLengthBytes = 4;                        // width of a string or class-name length
constexpr std::size_t kCodePointBytes = 4;                     // width of one wide-string code point
constexpr std::size_t kFileChunk = 64 * 1024;                  // read size while loading a file
constexpr std::size_t kMaxNameInMessage = 200;                 // characters of a class name quoted in a message

// Bytes an integer type takes in the archive: its own width, except that
// long and unsigned long always take 8, whatever the platform's long is.
template <class T>
constexpr std::size_t wireWidth() {
    if constexpr (std::is_same_v<T, long> || std::is_same_v<T, unsigned long>) return 8;
    return sizeof(T);
}

template <class T>
constexpr const char* typeName() {
    if constexpr (std::is_same_v<T, unsigned char>) return "an unsigned char";
    if constexpr (std::is_same_v<T, signed char>) return "a signed char";
    if constexpr (std::is_same_v<T, short>) return "a short";
    if constexpr (std::is_same_v<T, unsigned short>) return "an unsigned short";
    if constexpr (std::is_same_v<T, int>) return "an int";
    if constexpr (std::is_same_v<T, unsigned int>) return "an unsigned int";
    if constexpr (std::is_same_v<T, long>) return "a long";
    if constexpr (std::is_same_v<T, unsigned long>) return "an unsigned long";
    if constexpr (std::is_same_v<T, long long>) return "a long long";
    return "an unsigned long long";
}

// A class name read from untrusted input, shortened for a message.
std::wstring quotedName(const std::string& name) {
    if (name.size() <= kMaxNameInMessage) return L"\"" + kfWiden(name) + L"\"";
    return L"\"" + kfWiden(name.substr(0, kMaxNameInMessage)) + L"...\"";
}

std::wstring at(std::size_t offset) { return L"archive offset " + std::to_wstring(offset) + L": "; }

void storeBits(std::vector<unsigned char>& out, std::uint64_t bits, std::size_t width) {
    for (std::size_t i = 0; i < width; ++i) out.push_back(static_cast<unsigned char>(bits >> (8 * i)));
}

std::uint64_t loadBits(const unsigned char* in, std::size_t width) {
    std::uint64_t bits = 0;
    for (std::size_t i = 0; i < width; ++i) bits |= static_cast<std::uint64_t>(in[i]) << (8 * i);
    return bits;
}
}  // namespace

kcArchive::UnknownVersion::UnknownVersion(const char* file, int line)
    : Errors(L"unknown version in " + kfWiden(file != nullptr ? file : "(unknown file)") + L" line " +
             std::to_wstring(line)) {}

kcArchive::UnknownVersion::UnknownVersion(const std::string& className, long number)
    : Errors(kfWiden(className) + L": unknown version, this reader knows up to " + std::to_wstring(number)) {}

kcArchive::kcArchive(bool storing) : storing_(storing) {}

// A moved-from archive is left empty and at its start, so that remaining()
// stays consistent with its (now empty) bytes.
kcArchive::kcArchive(kcArchive&& other) noexcept
    : bytes_(std::move(other.bytes_)),
      position_(std::exchange(other.position_, 0)),
      storing_(other.storing_),
      visited_(std::move(other.visited_)) {
    other.bytes_.clear();
    other.visited_.clear();
}

kcArchive& kcArchive::operator=(kcArchive&& other) noexcept {
    if (this != &other) {
        bytes_ = std::move(other.bytes_);
        position_ = std::exchange(other.position_, 0);
        storing_ = other.storing_;
        visited_ = std::move(other.visited_);
        other.bytes_.clear();
        other.visited_.clear();
    }
    return *this;
}
kcArchive::~kcArchive() = default;

kcArchive kcArchive::storing() { return kcArchive(true); }

kcArchive kcArchive::loading(std::vector<unsigned char> bytes) {
    kcArchive ar(false);
    ar.bytes_ = std::move(bytes);
    return ar;
}

kcArchive kcArchive::loadingFile(const std::string& path) {
    const std::wstring where = L"archive file \"" + kfWiden(path) + L"\"";
    std::error_code ec;
    // Only regular files: a FIFO or device could block or never end.
    if (!std::filesystem::is_regular_file(path, ec)) throw Errors(where + L" does not exist or is not a regular file");
    std::ifstream in(path, std::ios::binary);
    if (!in) throw Errors(where + L" cannot be opened for reading");
    // Read in chunks rather than trusting the size reported up front: the
    // file may change while it is read.
    std::vector<unsigned char> bytes;
    std::vector<char> chunk(kFileChunk);
    while (in) {
        in.read(chunk.data(), static_cast<std::streamsize>(chunk.size()));
        const auto got = static_cast<std::size_t>(in.gcount());
        if (bytes.size() + got > kMaxFileBytes)
            throw Errors(where + L" is larger than " + std::to_wstring(kMaxFileBytes) + L" bytes");
        bytes.insert(bytes.end(), chunk.begin(), chunk.begin() + static_cast<std::ptrdiff_t>(got));
    }
    if (in.bad()) throw Errors(where + L" could not be read");
    return loading(std::move(bytes));
}

void kcArchive::writeFile(const std::string& path) const {
    const std::wstring where = L"archive file \"" + kfWiden(path) + L"\"";
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    if (!out) throw Errors(where + L" cannot be opened for writing");
    out.write(reinterpret_cast<const char*>(bytes_.data()), static_cast<std::streamsize>(bytes_.size()));
    out.close();
    if (!out) throw Errors(where + L" could not be written completely");
}

void kcArchive::put(const void* data, std::size_t size) {
    const auto* p = static_cast<const unsigned char*>(data);
    bytes_.insert(bytes_.end(), p, p + size);
}

void kcArchive::get(void* data, std::size_t size, const char* what) {
    if (size > remaining())
        throw Errors(at(position_) + L"expected " + std::to_wstring(size) + L" bytes for " + kfWiden(what) + L", " +
                     std::to_wstring(remaining()) + L" remain");
    if (size > 0) std::memcpy(data, bytes_.data() + position_, size);
    position_ += size;
}

std::size_t kcArchive::getLength(std::size_t unitSize, const char* what) {
    const std::size_t offset = position_;
    unsigned char raw[kLengthBytes];
    get(raw, kLengthBytes, what);
    const auto length = static_cast<std::size_t>(loadBits(raw, kLengthBytes));
    if (length > remaining() / unitSize)
        throw Errors(at(offset) + kfWiden(what) + L" of length " + std::to_wstring(length) + L" needs " +
                     std::to_wstring(length * unitSize) + L" bytes, " + std::to_wstring(remaining()) + L" remain");
    return length;
}

template <class T>
kcArchive& kcArchive::integer(T& value) {
    constexpr std::size_t width = wireWidth<T>();
    static_assert(width <= 8 && sizeof(T) <= width, "integer wider than its archive width");
    if (storing_) {
        // Two's complement of the value, cut to the archive width.
        std::uint64_t bits;
        if constexpr (std::is_signed_v<T>)
            bits = static_cast<std::uint64_t>(static_cast<std::int64_t>(value));
        else
            bits = static_cast<std::uint64_t>(value);
        storeBits(bytes_, bits, width);
        return *this;
    }
    const std::size_t offset = position_;
    unsigned char raw[width];
    get(raw, width, typeName<T>());
    const std::uint64_t bits = loadBits(raw, width);
    if constexpr (std::is_signed_v<T>) {
        // Sign-extend from the archive width.
        std::int64_t wide;
        if constexpr (width < 8) {
            const std::uint64_t sign = std::uint64_t{1} << (8 * width - 1);
            wide = static_cast<std::int64_t>((bits ^ sign)) - static_cast<std::int64_t>(sign);
        } else {
            wide = static_cast<std::int64_t>(bits);
        }
        if (!std::in_range<T>(wide))
            throw Errors(at(offset) + L"value " + std::to_wstring(wide) + L" does not fit in " +
                         kfWiden(typeName<T>()));
        value = static_cast<T>(wide);
    } else {
        if (!std::in_range<T>(bits))
            throw Errors(at(offset) + L"value " + std::to_wstring(bits) + L" does not fit in " +
                         kfWiden(typeName<T>()));
        value = static_cast<T>(bits);
    }
    return *this;
}

kcArchive& kcArchive::operator||(bool& value) {
    if (storing_) {
        const unsigned char byte = value ? 1 : 0;
        put(&byte, 1);
        return *this;
    }
    const std::size_t offset = position_;
    unsigned char byte = 0;
    get(&byte, 1, "a bool");
    if (byte > 1) throw Errors(at(offset) + L"expected a bool (0 or 1), found " + std::to_wstring(byte));
    value = byte == 1;
    return *this;
}

kcArchive& kcArchive::operator||(unsigned char& value) { return integer(value); }
kcArchive& kcArchive::operator||(signed char& value) { return integer(value); }
kcArchive& kcArchive::operator||(short& value) { return integer(value); }
kcArchive& kcArchive::operator||(unsigned short& value) { return integer(value); }
kcArchive& kcArchive::operator||(int& value) { return integer(value); }
kcArchive& kcArchive::operator||(unsigned int& value) { return integer(value); }
kcArchive& kcArchive::operator||(long& value) { return integer(value); }
kcArchive& kcArchive::operator||(unsigned long& value) { return integer(value); }
kcArchive& kcArchive::operator||(long long& value) { return integer(value); }
kcArchive& kcArchive::operator||(unsigned long long& value) { return integer(value); }

template <class Bits, class Real>
kcArchive& kcArchive::real(Real& value, const char* what) {
    static_assert(sizeof(Real) == sizeof(Bits) && std::numeric_limits<Real>::is_iec559, "reals must be IEEE-754");
    Bits bits = 0;
    if (storing_) {
        std::memcpy(&bits, &value, sizeof bits);
        storeBits(bytes_, bits, sizeof bits);
        return *this;
    }
    unsigned char raw[sizeof bits];
    get(raw, sizeof raw, what);
    bits = static_cast<Bits>(loadBits(raw, sizeof raw));
    std::memcpy(&value, &bits, sizeof bits);
    return *this;
}

kcArchive& kcArchive::operator||(float& value) { return real<std::uint32_t>(value, "a float"); }
kcArchive& kcArchive::operator||(double& value) { return real<std::uint64_t>(value, "a double"); }

kcArchive& kcArchive::operator||(std::wstring& value) {
    using Unit = std::make_unsigned_t<wchar_t>;
    if (storing_) {
        if (value.size() > std::numeric_limits<std::uint32_t>::max())
            throw Errors(L"wide string of " + std::to_wstring(value.size()) + L" characters is too long to store");
        storeBits(bytes_, value.size(), kLengthBytes);
        for (wchar_t c : value) storeBits(bytes_, static_cast<Unit>(c), kCodePointBytes);
        return *this;
    }
    const std::size_t length = getLength(kCodePointBytes, "a wide string");
    std::wstring text;
    text.reserve(length);
    for (std::size_t i = 0; i < length; ++i) {
        const std::size_t offset = position_;
        unsigned char raw[kCodePointBytes];
        get(raw, kCodePointBytes, "a wide character");
        const std::uint64_t code = loadBits(raw, kCodePointBytes);
        if (code > std::numeric_limits<Unit>::max())
            throw Errors(at(offset) + L"character code " + std::to_wstring(code) + L" does not fit in a wchar_t");
        text.push_back(static_cast<wchar_t>(static_cast<Unit>(code)));
    }
    value = std::move(text);
    return *this;
}

kcArchive& kcArchive::operator||(std::string& value) {
    if (storing_) {
        if (value.size() > std::numeric_limits<std::uint32_t>::max())
            throw Errors(L"string of " + std::to_wstring(value.size()) + L" bytes is too long to store");
        storeBits(bytes_, value.size(), kLengthBytes);
        put(value.data(), value.size());
        return *this;
    }
    const std::size_t length = getLength(1, "a string");
    std::string text(length, '\0');
    get(text.data(), length, "a string");
    value = std::move(text);
    return *this;
}

void kcArchive::storeObject(kcPersistent& object) {
    if (!storing_) throw Errors(L"storeObject called on an archive that is loading");
    visited_.clear();
    std::string name = kc_Instantiator::className(typeid(object));
    // Refuse now what could never be loaded back.
    if (kc_Instantiator::find(name) == nullptr)
        throw Errors(L"class " + kfWiden(name) + L" is not registered for persistence and cannot be stored");
    *this || name;
    object.dispatchSerialize(*this);
}

std::unique_ptr<kcPersistent> kcArchive::loadObject() {
    if (storing_) throw Errors(L"loadObject called on an archive that is storing");
    visited_.clear();
    const std::size_t offset = position_;
    std::string name;
    *this || name;
    const kc_Instantiator::Factory make = kc_Instantiator::find(name);
    if (make == nullptr) throw Errors(at(offset) + L"unknown class " + quotedName(name));
    std::unique_ptr<kcPersistent> object(make());
    if (!object) throw Errors(at(offset) + L"the factory of class " + quotedName(name) + L" made no object");
    object->loadSimple(*this);
    return object;
}
