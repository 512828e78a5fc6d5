// clbl/defs.cpp
#include "clbl/defs.h"

#include <string>
#include <typeinfo>

namespace {
constexpr long kBadParamsErrorNumber = 0x10008A00;  // error number of kcColorBalanceDefs::BadParams
constexpr unsigned char kErrorsVersion = 0;         // layout of the Errors part of a stored error
constexpr unsigned char kBadParamsVersion = 0;      // layout of the BadParams part of a stored error
}  // namespace

// ---- Errors

kcColorBalanceDefs::Errors::Errors(const std::wstring& message) : kcExceptionWithString(message) {}

kcColorBalanceDefs::Errors::Errors(const Errors& other) = default;

kcColorBalanceDefs::Errors& kcColorBalanceDefs::Errors::operator=(const Errors& other) = default;

kcColorBalanceDefs::Errors::~Errors() = default;

void kcColorBalanceDefs::Errors::serialize_(kcArchive& ar, unsigned char version) {
    if (version != kErrorsVersion)
        throw kcArchive::UnknownVersion(std::string("kcColorBalanceDefs::Errors"), kErrorsVersion);
    kcExceptionWithString::dispatchSerialize(ar);
}

void kcColorBalanceDefs::Errors::dispatchSerialize(kcArchive& ar) {
    if (haveVisited(ar, this, sizeof(Errors))) return;
    unsigned char version = kErrorsVersion;
    ar || version;
    if (version != kErrorsVersion)
        throw kcArchive::UnknownVersion(std::string("kcColorBalanceDefs::Errors"), kErrorsVersion);
    kcExceptionWithString::dispatchSerialize(ar);
    setVisited(ar, this, sizeof(Errors));
}

// ---- BadParams

kc_Instantiator kcColorBalanceDefs::BadParams::sExemplar(typeid(kcColorBalanceDefs::BadParams),
                                                         &kcColorBalanceDefs::BadParams::make);

kcColorBalanceDefs::BadParams::BadParams(const std::wstring& message) : Errors(message) {}

kcColorBalanceDefs::BadParams::BadParams(const BadParams& other) = default;

kcColorBalanceDefs::BadParams& kcColorBalanceDefs::BadParams::operator=(const BadParams& other) = default;

kcColorBalanceDefs::BadParams::~BadParams() = default;

long kcColorBalanceDefs::BadParams::errorNumber() const { return kBadParamsErrorNumber; }

void kcColorBalanceDefs::BadParams::suicideAndRethrow() {
    BadParams copy(*this);
    delete this;
    throw copy;
}

void kcColorBalanceDefs::BadParams::serialize_(kcArchive& ar, unsigned char version) {
    if (version != kBadParamsVersion)
        throw kcArchive::UnknownVersion(std::string("kcColorBalanceDefs::BadParams"), kBadParamsVersion);
    Errors::dispatchSerialize(ar);
}

void kcColorBalanceDefs::BadParams::dispatchSerialize(kcArchive& ar) {
    if (haveVisited(ar, this, sizeof(BadParams))) return;
    unsigned char version = kBadParamsVersion;
    ar || version;
    if (version != kBadParamsVersion)
        throw kcArchive::UnknownVersion(std::string("kcColorBalanceDefs::BadParams"), kBadParamsVersion);
    Errors::dispatchSerialize(ar);
    setVisited(ar, this, sizeof(BadParams));
}

kcPersistent* kcColorBalanceDefs::BadParams::make() { return new BadParams(); }
