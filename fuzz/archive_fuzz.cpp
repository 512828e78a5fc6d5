// fuzz/archive_fuzz.cpp
// Loads a kcColorBalanceParams, a kcColorBalanceResult or a persistent
// object (a stored BadParams) from arbitrary bytes. Only kcArchive::Errors
// (or a subclass) may come out; anything else escapes and ends the run.
// What loads must store again and load back to the same bytes, and a failed
// load must leave the record unchanged.
//
// Input: the first byte picks the record (0 parameters, 1 result, 2 object),
// the rest is the archive.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <vector>

#include "clbl/defs.h"
#include "clbl/params.h"
#include "clbl/result.h"
#include "toolkit/foundation/archive.h"
#include "toolkit/foundation/persistent.h"

namespace {

// A broken promise: say which, then abort so the fuzzer keeps the input.
void fail(const char* what, int line) {
    std::fprintf(stderr, "%s:%d: %s\n", __FILE__, line, what);
    std::abort();
}
#define FUZZ_REQUIRE(condition) ((condition) ? static_cast<void>(0) : fail(#condition, __LINE__))

template <class Record>
std::vector<unsigned char> stored(Record& record) {
    kcArchive ar = kcArchive::storing();
    ar || record;
    return ar.bytes();
}

template <class Record>
void loadRecord(const std::vector<unsigned char>& bytes) {
    Record record;
    const std::vector<unsigned char> before = stored(record);
    kcArchive ar = kcArchive::loading(bytes);
    try {
        ar || record;
    } catch (const kcArchive::Errors&) {
        FUZZ_REQUIRE(stored(record) == before);
        return;
    }
    // What was loaded stores and loads back bit for bit (NaNs included,
    // which operator== would not show).
    const std::vector<unsigned char> again = stored(record);
    Record reloaded;
    kcArchive ar2 = kcArchive::loading(again);
    ar2 || reloaded;
    FUZZ_REQUIRE(ar2.remaining() == 0);
    FUZZ_REQUIRE(stored(reloaded) == again);
}

void loadPersistent(const std::vector<unsigned char>& bytes) {
    kcArchive ar = kcArchive::loading(bytes);
    std::unique_ptr<kcPersistent> object;
    try {
        object = ar.loadObject();
    } catch (const kcArchive::Errors&) {
        return;
    }
    FUZZ_REQUIRE(object != nullptr);
    auto* bad = dynamic_cast<kcColorBalanceDefs::BadParams*>(object.get());
    if (bad == nullptr) return;
    // The message, however odd its code points, can be read both ways.
    static_cast<void>(bad->message());
    static_cast<void>(bad->what());
    FUZZ_REQUIRE(bad->errorNumber() == 0x10008A00);

    kcArchive out = kcArchive::storing();
    out.storeObject(*bad);
    kcArchive back = kcArchive::loading(out.bytes());
    std::unique_ptr<kcPersistent> copy = back.loadObject();
    auto* badCopy = dynamic_cast<kcColorBalanceDefs::BadParams*>(copy.get());
    FUZZ_REQUIRE(badCopy != nullptr && badCopy->messageString() == bad->messageString());
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size == 0) return 0;
    const std::vector<unsigned char> bytes(data + 1, data + size);
    switch (data[0] % 3) {
        case 0:
            loadRecord<kcColorBalanceParams>(bytes);
            break;
        case 1:
            loadRecord<kcColorBalanceResult>(bytes);
            break;
        default:
            loadPersistent(bytes);
            break;
    }
    return 0;
}
