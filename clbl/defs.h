// clbl/defs.h
// kcColorBalanceDefs: the scope of the library's error types.
#pragma once

#include <string>

#include "clbl/export.h"
#include "toolkit/foundation/archive.h"
#include "toolkit/foundation/exceptions.h"

class CLBL_EXPORT kcColorBalanceDefs {
public:
    // Base of the library's errors.
    class CLBL_EXPORT Errors : public kcExceptionWithString {
    public:
        Errors(const Errors& other);
        Errors& operator=(const Errors& other);
        ~Errors() override;

    protected:
        explicit Errors(const std::wstring& message = std::wstring());

        // Entry for a caller that has already read the version byte.
        void serialize_(kcArchive& ar, unsigned char version);
        void dispatchSerialize(kcArchive& ar) override;
    };

    // A parameter value that a setter rejected; the message names the
    // failed condition.
    class CLBL_EXPORT BadParams : public Errors {
    public:
        explicit BadParams(const std::wstring& message = std::wstring());
        BadParams(const BadParams& other);
        BadParams& operator=(const BadParams& other);
        ~BadParams() override;

        // 0x10008A00.
        long errorNumber() const override;
        // Deletes this heap object and throws a copy of it.
        void suicideAndRethrow() override;

    protected:
        void serialize_(kcArchive& ar, unsigned char version);
        void dispatchSerialize(kcArchive& ar) override;

    private:
        static kcPersistent* make();
        static kc_Instantiator sExemplar;
    };
};
