// fuzz/make_seed_corpus.cpp
// Writes the seed corpora of the fuzz targets into the directory given
// (fuzz/corpus): valid archives of each record for archive_fuzz, and a few
// well-formed inputs for measurement_fuzz and tool_fuzz, so that fuzzing
// starts from inputs that reach deep into the code.
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <string>
#include <vector>

#include "clbl/defs.h"
#include "clbl/params.h"
#include "clbl/result.h"
#include "toolkit/foundation/archive.h"

namespace {

using Bytes = std::vector<unsigned char>;

void write(const std::filesystem::path& dir, const std::string& name, const Bytes& bytes) {
    std::filesystem::create_directories(dir);
    std::ofstream out(dir / name, std::ios::binary);
    out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
}

Bytes withSelector(unsigned char selector, const Bytes& archive) {
    Bytes bytes{selector};
    bytes.insert(bytes.end(), archive.begin(), archive.end());
    return bytes;
}

// Pseudo-random pel bytes (a fixed linear congruential sequence).
Bytes pels(std::size_t count, std::uint32_t seed) {
    Bytes bytes;
    for (std::size_t i = 0; i < count; ++i) {
        seed = seed * 1664525u + 1013904223u;
        bytes.push_back(static_cast<unsigned char>(seed >> 24));
    }
    return bytes;
}

Bytes concat(Bytes head, const Bytes& tail) {
    head.insert(head.end(), tail.begin(), tail.end());
    return head;
}

void archiveSeeds(const std::filesystem::path& dir) {
    kcColorBalanceParams params;
    params.minExposureStepSize(0.0001);
    params.exposureRange(kcRange(0.001, 0.05));
    kcArchive ar = kcArchive::storing();
    ar || params;
    write(dir, "params_v1", withSelector(0, ar.bytes()));
    // A version 0 record ends before the two plane steps (two doubles).
    Bytes v0 = ar.bytes();
    v0[0] = 0;
    v0.resize(v0.size() - 2 * sizeof(double));
    write(dir, "params_v0", withSelector(0, v0));

    kcColorBalanceResult result;
    result.exposure(0.02);
    result.contrast(0.5);
    result.brightness(0.25);
    result.positive8BitLut(true);
    kcArchive ar2 = kcArchive::storing();
    ar2 || result;
    write(dir, "result_v0", withSelector(1, ar2.bytes()));

    kcColorBalanceDefs::BadParams error(L"minExposureStepSize < 0");
    kcArchive ar3 = kcArchive::storing();
    ar3.storeObject(error);
    write(dir, "bad_params", withSelector(2, ar3.bytes()));
}

void measurementSeeds(const std::filesystem::path& dir) {
    // width, height, flags, dark level / 3, extra border, then pels.
    write(dir, "plain", concat({8, 6, 0x00, 2, 0}, pels(8 * 6 * 3 * 2, 1)));
    write(dir, "references", concat({10, 7, 0x03, 2, 2}, pels(14 * 11 * 3 * 4, 2)));
    write(dir, "repeat_is_image", concat({5, 5, 0x05, 1, 1}, pels(8 * 8 * 3 * 3, 3)));
    write(dir, "mismatched_hue", concat({6, 4, 0x1B, 2, 0}, pels(9 * 7 * 3 * 4, 4)));
}

void toolSeeds(const std::filesystem::path& dir) {
    // flags, then value picks (index into the target's table of values of
    // interest): exposure step, contrast step, brightness step, range
    // start, range end, start exposure, contrast, brightness; then sizes
    // (low nibble width - 1, high nibble height - 1), base images,
    // subsampling, then pels.
    // Defaults: all axes, LUT, images that follow the settings.
    write(dir, "defaults", concat({0x1F, 0, 7, 7, 2, 3, 4, 0, 0, 0x77, 1, 1}, pels(8 * 8 * 2, 5)));
    // Exposure fixed, coarse plane steps.
    write(dir, "fixed_exposure", concat({0x16, 0, 10, 9, 2, 3, 5, 0, 0, 0x55, 0, 0}, pels(6 * 6, 6)));
    // Grey images that ignore the settings, range starting at 0.
    write(dir, "grey_static", concat({0x27, 8, 7, 7, 0, 8, 0, 0, 0, 0x9B, 3, 5}, pels(12 * 10 * 4, 7)));
    // Reversed range, exposure step.
    write(dir, "reversed_range", concat({0x1D, 6, 7, 0, 3, 2, 4, 12, 0, 0x33, 0, 2}, pels(4 * 4, 8)));
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::cerr << "usage: make_seed_corpus <fuzz/corpus directory>\n";
        return 2;
    }
    const std::filesystem::path root(argv[1]);
    archiveSeeds(root / "archive_fuzz");
    measurementSeeds(root / "measurement_fuzz");
    toolSeeds(root / "tool_fuzz");
    return 0;
}
