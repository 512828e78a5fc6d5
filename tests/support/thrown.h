// tests/support/thrown.h
// The message of an expected exception, for tests that check what it says.
#pragma once

#include <string>

#include "toolkit/foundation/exceptions.h"

// The message of the E that `f` throws; empty when `f` returns. Any other
// exception escapes to the test.
template <class E, class F>
std::wstring thrownMessage(F&& f) {
    try {
        f();
    } catch (const E& e) {
        return e.message();
    }
    return L"";
}
