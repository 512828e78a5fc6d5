// tests/toolkit/archive_test.cpp
#include "toolkit/foundation/archive.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <tuple>
#include <vector>

#include "tests/support/address_space_limit.h"
#include "tests/support/thrown.h"
#include "toolkit/acq/acquire_info.h"
#include "toolkit/foundation/persistent.h"
#include "toolkit/foundation/range.h"

namespace {

// A persistent class with one field, registered only while an instantiator
// for it lives.
class Gadget : public kcPersistent {
public:
    int size = 7;
    static kcPersistent* make() { return new Gadget; }

protected:
    void dispatchSerialize(kcArchive& ar) override { ar || size; }
    void reInit() override { size = -1; }
};

// Never registered.
class Stray : public kcPersistent {};

// One value of every fixed-width type, both string kinds and two toolkit types.
using Values = std::tuple<bool, unsigned char, short, int, long, unsigned long, float, double, std::wstring,
                          std::string, kcRange, kcAcquireInfo>;

void serialize(kcArchive& ar, Values& values) {
    std::apply([&ar](auto&... value) { (void)(ar || ... || value); }, values);
}

std::vector<unsigned char> bytesOf(std::initializer_list<int> values) {
    return std::vector<unsigned char>(values.begin(), values.end());
}

std::filesystem::path tempPath(const std::string& name) {
    return std::filesystem::temp_directory_path() / ("clbl_archive_test_" + name);
}

// The message of the kcArchive::Errors that loading `bytes` into `value`
// raises; empty when it loads.
template <class T>
std::wstring loadError(std::initializer_list<int> bytes, T& value) {
    kcArchive in = kcArchive::loading(bytesOf(bytes));
    return thrownMessage<kcArchive::Errors>([&] { in || value; });
}

}  // namespace

TEST(Archive, RoundTripsLittleEndianThroughMemoryAndFilesAndRefusesEveryTruncation) {
    kcAcquireInfo info;
    info.failure(kcAcqFailure(-3));
    info.acquisitionNumber(17);
    info.timeStamp(2.5);
    Values v{true, 0xAB, -2, 0x01020304, -5, 0x1122334455667788UL, 1.5f, -0.1, L"gr\u00fcn", "abc", {0.25, 4.0}, info};
    kcArchive out = kcArchive::storing();
    serialize(out, v);
    const std::vector<unsigned char>& b = out.bytes();
    ASSERT_EQ(b.size(), 1u + 1 + 2 + 4 + 8 + 8 + 4 + 8 + (4 + 4 * 4) + (4 + 3) + 17 + 25);
    EXPECT_EQ(std::vector<unsigned char>(b.begin(), b.begin() + 9), bytesOf({1, 0xAB, 0xFE, 0xFF, 4, 3, 2, 1, 0xFB}));
    EXPECT_EQ(b[15], 0xFF);          // -5 as 8 bytes
    EXPECT_EQ(b[16], 0x88);          // unsigned long, low byte first
    EXPECT_EQ(b[b.size() - 25], 0);  // the acquire info's version

    const auto path = tempPath("roundtrip.bin");
    out.writeFile(path.string());
    for (bool fromFile : {false, true}) {
        kcArchive in = fromFile ? kcArchive::loadingFile(path.string()) : kcArchive::loading(b);
        Values back;
        serialize(in, back);
        EXPECT_EQ(back, v);
        EXPECT_EQ(in.remaining(), 0u);
    }
    std::filesystem::remove(path);

    for (std::size_t n = 0; n < b.size(); ++n) {
        kcArchive cut = kcArchive::loading(std::vector<unsigned char>(b.begin(), b.begin() + static_cast<long>(n)));
        Values partial;
        EXPECT_THROW(serialize(cut, partial), kcArchive::Errors) << "cut at " << n;
    }
}

TEST(Archive, RefusesBadInputWithClearErrorsAndLeavesTheTargetUnchanged) {
    double d = 0;
    bool b = false;
    EXPECT_EQ(loadError({1, 2, 3}, d), L"archive offset 0: expected 8 bytes for a double, 3 remain");
    EXPECT_EQ(loadError({2}, b), L"archive offset 0: expected a bool (0 or 1), found 2");
    // A length of 4 billion must fail on the length, before an allocation
    // for it, which fails under the cap on the address space.
    std::wstring w = L"kept";
    {
        ScopedAddressSpaceLimit limit(256 * 1024 * 1024);
        EXPECT_NE(loadError({0xFF, 0xFF, 0xFF, 0xFF, 'x'}, w), L"");
    }
    EXPECT_EQ(w, L"kept");
    std::string s = "kept";
    EXPECT_NE(loadError({5, 0, 0, 0, 'a', 'b'}, s), L"");
    EXPECT_EQ(s, "kept");

    // A newer acquire info version, or one cut short after the acquisition
    // number, assigns nothing.
    kcAcquireInfo info, target;
    info.acquisitionNumber(17);
    target.acquisitionNumber(5);
    kcArchive out = kcArchive::storing();
    out || info;
    std::vector<unsigned char> newer = out.bytes();
    newer[0] = 1;
    kcArchive newerIn = kcArchive::loading(newer);
    EXPECT_THROW(newerIn || target, kcArchive::UnknownVersion);
    kcArchive cut = kcArchive::loading(std::vector<unsigned char>(out.bytes().begin(), out.bytes().end() - 1));
    EXPECT_THROW(cut || target, kcArchive::Errors);
    EXPECT_EQ(target.acquisitionNumber(), 5u);

    EXPECT_THROW(kcArchive::loadingFile(tempPath("missing.bin").string()), kcArchive::Errors);
    EXPECT_THROW(out.writeFile((tempPath("no_such_dir") / "x.bin").string()), kcArchive::Errors);
    const auto big = tempPath("big.bin");
    { std::ofstream create(big, std::ios::binary); }
    std::filesystem::resize_file(big, 64u * 1024u * 1024u + 1u);  // sparse: costs no disk
    EXPECT_THROW(kcArchive::loadingFile(big.string()), kcArchive::Errors);
    std::filesystem::remove(big);

    const kcArchive::UnknownVersion byClass(std::string("kcColorBalanceDefs::BadParams"), 0);
    EXPECT_STREQ(byClass.what(), "kcColorBalanceDefs::BadParams: unknown version, this reader knows up to 0");
    EXPECT_EQ(static_cast<const kcArchive::Errors&>(byClass).errorNumber(), 0x10000202);
}

TEST(Archive, RecreatesOnlyRegisteredObjects) {
    std::vector<unsigned char> stored;
    {
        kc_Instantiator registration(typeid(Gadget), &Gadget::make);
        Gadget g;
        g.size = 42;
        kcArchive out = kcArchive::storing();
        out.storeObject(g);
        stored = out.bytes();
        const std::unique_ptr<kcPersistent> loaded = kcArchive::loading(stored).loadObject();
        auto* gadget = dynamic_cast<Gadget*>(loaded.get());
        ASSERT_NE(gadget, nullptr);
        EXPECT_EQ(gadget->size, 42);
    }
    EXPECT_THROW(kcArchive::loading(stored).loadObject(), kcArchive::Errors);
    Stray stray;
    EXPECT_THROW(kcArchive::storing().storeObject(stray), kcArchive::Errors);
}
