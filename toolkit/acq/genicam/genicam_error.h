// toolkit/acq/genicam/genicam_error.h
// kcGenICamError: an error reported by a GenICam camera or by the library
// that reaches it, with the camera's own message.
#pragma once

#include <string>

#include "toolkit/foundation/exceptions.h"
#include "toolkit/foundation/export.h"

// A camera that cannot be found or opened, a feature write the camera
// refuses, a camera that stopped answering. The message names the camera
// and carries the camera library's own text.
class KC_EXPORT kcGenICamError : public kcExceptionWithString {
    KC_CONCRETE_EXCEPTION(kcGenICamError, 0x10000401)
public:
    explicit kcGenICamError(const std::wstring& message = L"GenICam camera error") : kcExceptionWithString(message) {}
};
