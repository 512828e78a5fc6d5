// tests/toolkit/archive_test.cpp
#include "toolkit/foundation/archive.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <limits>
#include <random>
#include <string>
#include <vector>

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

std::vector<unsigned char> bytesOf(std::initializer_list<int> values) {
    std::vector<unsigned char> out;
    for (int v : values) out.push_back(static_cast<unsigned char>(v));
    return out;
}

std::filesystem::path tempPath(const std::string& name) {
    return std::filesystem::temp_directory_path() / ("clbl_archive_test_" + name);
}

}  // namespace

TEST(Archive, StoresFixedWidthLittleEndianAndReadsItBack) {
    kcArchive out = kcArchive::storing();
    bool flag = true;
    unsigned char byte = 0xAB;
    short s = -2;
    int i = 0x01020304;
    long l = -5;
    unsigned long ul = 0x1122334455667788UL;
    float f = 1.5f;
    double d = -0.1;
    std::wstring w = L"gr\u00fcn";
    std::string n = "abc";
    out || flag || byte || s || i || l || ul || f || d || w || n;

    const auto& b = out.bytes();
    ASSERT_EQ(b.size(), 1u + 1 + 2 + 4 + 8 + 8 + 4 + 8 + (4 + 4 * 4) + (4 + 3));
    EXPECT_EQ(std::vector<unsigned char>(b.begin(), b.begin() + 8), bytesOf({1, 0xAB, 0xFE, 0xFF, 4, 3, 2, 1}));
    EXPECT_EQ(b[8], 0xFB);  // -5 as 8 bytes
    EXPECT_EQ(b[15], 0xFF);
    EXPECT_EQ(b[16], 0x88);  // unsigned long, low byte first

    kcArchive in = kcArchive::loading(b);
    bool flag2 = false;
    unsigned char byte2 = 0;
    short s2 = 0;
    int i2 = 0;
    long l2 = 0;
    unsigned long ul2 = 0;
    float f2 = 0;
    double d2 = 0;
    std::wstring w2;
    std::string n2;
    in || flag2 || byte2 || s2 || i2 || l2 || ul2 || f2 || d2 || w2 || n2;
    EXPECT_EQ(flag2, flag);
    EXPECT_EQ(byte2, byte);
    EXPECT_EQ(s2, s);
    EXPECT_EQ(i2, i);
    EXPECT_EQ(l2, l);
    EXPECT_EQ(ul2, ul);
    EXPECT_EQ(f2, f);
    EXPECT_EQ(d2, d);
    EXPECT_EQ(w2, w);
    EXPECT_EQ(n2, n);
    EXPECT_EQ(in.remaining(), 0u);
}

TEST(Archive, RejectsTruncatedInputBadBoolsAndOversizedLengthsWithClearErrors) {
    double d = 0;
    kcArchive shortDouble = kcArchive::loading(bytesOf({1, 2, 3}));
    try {
        shortDouble || d;
        FAIL() << "read past the end";
    } catch (const kcArchive::Errors& e) {
        EXPECT_EQ(e.message(), L"archive offset 0: expected 8 bytes for a double, 3 remain");
    }

    bool b = false;
    kcArchive badBool = kcArchive::loading(bytesOf({2}));
    try {
        badBool || b;
        FAIL() << "accepted 2 as a bool";
    } catch (const kcArchive::Errors& e) {
        EXPECT_EQ(e.message(), L"archive offset 0: expected a bool (0 or 1), found 2");
    }

    // A length of 4 billion must fail on the length, not on an allocation.
    std::wstring w = L"kept";
    kcArchive hugeLength = kcArchive::loading(bytesOf({0xFF, 0xFF, 0xFF, 0xFF, 'x'}));
    EXPECT_THROW(hugeLength || w, kcArchive::Errors);
    EXPECT_EQ(w, L"kept");
    std::string s = "kept";
    kcArchive longString = kcArchive::loading(bytesOf({5, 0, 0, 0, 'a', 'b'}));
    EXPECT_THROW(longString || s, kcArchive::Errors);
    EXPECT_EQ(s, "kept");

    // A signed char read from a byte that does not fit still works (two's
    // complement), but an int cannot be read from 3 bytes.
    signed char sc = 0;
    kcArchive negative = kcArchive::loading(bytesOf({0x80}));
    negative || sc;
    EXPECT_EQ(sc, -128);
    // A moved-from archive has nothing left to read.
    kcArchive source = kcArchive::loading(bytesOf({1, 2, 3, 4, 5, 6, 7, 8, 9}));
    source || b;
    kcArchive moved = std::move(source);
    EXPECT_EQ(moved.remaining(), 8u);
    EXPECT_EQ(source.remaining(), 0u);  // NOLINT(bugprone-use-after-move): checking the moved-from state
    EXPECT_THROW(source || d, kcArchive::Errors);

    int i = 0;
    kcArchive threeBytes = kcArchive::loading(bytesOf({1, 2, 3}));
    EXPECT_THROW(threeBytes || i, kcArchive::Errors);
}

TEST(Archive, UnknownVersionMessagesNameTheSourceOrTheClass) {
    const kcArchive::UnknownVersion byLine("clbl/colorbal", 123);
    EXPECT_EQ(byLine.message(), L"unknown version in clbl/colorbal line 123");
    const kcArchive::UnknownVersion byClass(std::string("kcColorBalanceDefs::BadParams"), 0);
    EXPECT_EQ(byClass.message(), L"kcColorBalanceDefs::BadParams: unknown version, this reader knows up to 0");
    EXPECT_STREQ(byClass.what(), "kcColorBalanceDefs::BadParams: unknown version, this reader knows up to 0");
    const kcArchive::Errors& asErrors = byClass;
    EXPECT_EQ(asErrors.errorNumber(), 0x10000202);
}

TEST(Archive, RecreatesRegisteredObjectsAndForgetsThemWhenTheirInstantiatorGoes) {
    std::vector<unsigned char> stored;
    {
        kc_Instantiator registration(typeid(Gadget), &Gadget::make);
        EXPECT_EQ(kc_Instantiator::className(typeid(Gadget)), "(anonymous namespace)::Gadget");
        Gadget g;
        g.size = 42;
        kcArchive out = kcArchive::storing();
        out.storeObject(g);
        stored = out.bytes();

        kcArchive in = kcArchive::loading(stored);
        std::unique_ptr<kcPersistent> loaded = in.loadObject();
        auto* gadget = dynamic_cast<Gadget*>(loaded.get());
        ASSERT_NE(gadget, nullptr);
        EXPECT_EQ(gadget->size, 42);
    }
    kcArchive in = kcArchive::loading(stored);
    EXPECT_THROW(in.loadObject(), kcArchive::Errors);

    Stray stray;
    kcArchive out = kcArchive::storing();
    EXPECT_THROW(out.storeObject(stray), kcArchive::Errors);
}

TEST(Archive, WritesAndLoadsFilesAndRefusesMissingOrOversizedOnes) {
    const auto path = tempPath("roundtrip.bin");
    kcArchive out = kcArchive::storing();
    kcRange range(0.25, 4.0);
    out || range;
    out.writeFile(path.string());
    kcArchive in = kcArchive::loadingFile(path.string());
    kcRange back;
    in || back;
    EXPECT_EQ(back, range);
    std::filesystem::remove(path);

    EXPECT_THROW(kcArchive::loadingFile(tempPath("missing.bin").string()), kcArchive::Errors);
    EXPECT_THROW(kcArchive::loadingFile(std::filesystem::temp_directory_path().string()), kcArchive::Errors);
    EXPECT_THROW(out.writeFile((tempPath("no_such_dir") / "x.bin").string()), kcArchive::Errors);

    const auto big = tempPath("big.bin");
    { std::ofstream create(big, std::ios::binary); }
    std::filesystem::resize_file(big, 64u * 1024u * 1024u + 1u);  // sparse: costs no disk
    EXPECT_THROW(kcArchive::loadingFile(big.string()), kcArchive::Errors);
    std::filesystem::remove(big);
}

TEST(AcquireInfo, RoundTripsAndRejectsANewerVersionUnchanged) {
    kcAcquireInfo info;
    info.failure(kcAcqFailure(-3));
    info.acquisitionNumber(17);
    info.timeStamp(2.5);
    kcArchive out = kcArchive::storing();
    out || info;
    EXPECT_EQ(out.bytes().size(), 1u + 8 + 8 + 8);
    EXPECT_EQ(out.bytes()[0], 0);

    kcAcquireInfo back;
    kcArchive in = kcArchive::loading(out.bytes());
    in || back;
    EXPECT_EQ(back, info);

    auto newer = out.bytes();
    newer[0] = 1;
    kcAcquireInfo target;
    target.acquisitionNumber(5);
    kcArchive newerIn = kcArchive::loading(newer);
    EXPECT_THROW(newerIn || target, kcArchive::UnknownVersion);
    EXPECT_EQ(target.acquisitionNumber(), 5u);

    // Cut short after the acquisition number: nothing is assigned.
    kcArchive cut = kcArchive::loading(std::vector<unsigned char>(out.bytes().begin(), out.bytes().end() - 1));
    EXPECT_THROW(cut || target, kcArchive::Errors);
    EXPECT_EQ(target.acquisitionNumber(), 5u);
    EXPECT_EQ(target.failure().code(), 0);
}

TEST(Archive, GarbageInputOnlyEverRaisesArchiveErrors) {
    kc_Instantiator registration(typeid(Gadget), &Gadget::make);
    kcArchive named = kcArchive::storing();
    std::string name = kc_Instantiator::className(typeid(Gadget));
    named || name;
    std::mt19937 random(1234);
    std::uniform_int_distribution<int> byte(0, 255);
    std::uniform_int_distribution<int> length(0, 40);
    int otherErrors = 0;
    for (int round = 0; round < 2000; ++round) {
        // Half the inputs start with a known class name, so that the
        // object's own state is read from garbage too.
        std::vector<unsigned char> garbage;
        if (round % 2 == 0) garbage = named.bytes();
        const int extra = length(random);
        for (int i = 0; i < extra; ++i) garbage.push_back(static_cast<unsigned char>(byte(random)));
        try {
            kcArchive objectIn = kcArchive::loading(garbage);
            (void)objectIn.loadObject();
            kcArchive valuesIn = kcArchive::loading(garbage);
            std::wstring w;
            kcRange r;
            kcAcquireInfo info;
            valuesIn || w || r || info;
        } catch (const kcArchive::Errors&) {
        } catch (...) {
            ++otherErrors;
        }
    }
    EXPECT_EQ(otherErrors, 0);
}
