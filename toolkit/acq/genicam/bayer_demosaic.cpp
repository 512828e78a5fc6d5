// toolkit/acq/genicam/bayer_demosaic.cpp
#include "toolkit/acq/genicam/bayer_demosaic.h"

#include <algorithm>
#include <cstddef>
#include <string>

namespace {
constexpr int kRed = 0;
constexpr int kGreen = 1;
constexpr int kBlue = 2;
constexpr long kRgbBytesPerPel = 3;  // packed RGB: red, green, blue

// Colour of each site of the 2 x 2 cell, indexed [row parity][column parity].
constexpr int kSites[4][2][2] = {
    {{kRed, kGreen}, {kGreen, kBlue}},  // RG
    {{kGreen, kRed}, {kBlue, kGreen}},  // GR
    {{kGreen, kBlue}, {kRed, kGreen}},  // GB
    {{kBlue, kGreen}, {kGreen, kRed}},  // BG
};

void checkLayout(const unsigned char* pels, long width, long height, long rowBytes, long bytesPerPel,
                 const wchar_t* what) {
    if (pels == nullptr) throw kcBadPointer(std::wstring(what) + L" pels are a null pointer");
    if (width < 0 || height < 0)
        throw kcBadArgument(std::wstring(what) + L" image size " + std::to_wstring(width) + L" x " +
                            std::to_wstring(height) + L" is negative");
    if (rowBytes < width * bytesPerPel)
        throw kcBadArgument(std::wstring(what) + L" rows of " + std::to_wstring(rowBytes) +
                            L" bytes are shorter than " + std::to_wstring(width) + L" pels");
}

const unsigned char* sourceRow(const unsigned char* pels, long rowBytes, long y) {
    return pels + static_cast<std::size_t>(y) * static_cast<std::size_t>(rowBytes);
}

// Mirror about the edge pel: -1 -> 1 and size -> size - 2, so that the
// mirrored pel has the colour the missing one would have had.
long mirror(long i, long size) { return i < 0 ? -i : (i >= size ? 2 * size - 2 - i : i); }

unsigned char mean2(unsigned a, unsigned b) { return static_cast<unsigned char>((a + b + 1) / 2); }
unsigned char mean4(unsigned a, unsigned b, unsigned c, unsigned d) {
    return static_cast<unsigned char>((a + b + c + d + 2) / 4);
}
}  // namespace

kc3PlanePelBuffer kfDemosaicBayer8(const unsigned char* pels, long width, long height, long rowBytes,
                                   keBayerPattern pattern) {
    checkLayout(pels, width, height, rowBytes, 1, L"Bayer");
    if (width < 2 || height < 2)
        throw kcBadArgument(L"Bayer image of " + std::to_wstring(width) + L" x " + std::to_wstring(height) +
                            L" pels is smaller than one 2 x 2 cell");
    if (pattern < keBayerRG8 || pattern > keBayerBG8)
        throw kcBadArgument(L"Bayer pattern " + std::to_wstring(static_cast<int>(pattern)) + L" is unknown");

    kc3PlanePelBuffer out(width, height);
    kcPelBuffer<unsigned char> planes[3] = {out.plane0(), out.plane1(), out.plane2()};
    for (long y = 0; y < height; ++y) {
        const unsigned char* up = sourceRow(pels, rowBytes, mirror(y - 1, height));
        const unsigned char* mid = sourceRow(pels, rowBytes, y);
        const unsigned char* down = sourceRow(pels, rowBytes, mirror(y + 1, height));
        unsigned char* dst[3] = {planes[0].pointToRow(y), planes[1].pointToRow(y), planes[2].pointToRow(y)};
        const int(&sites)[2] = kSites[pattern][y & 1];
        for (long x = 0; x < width; ++x) {
            const long xm = x == 0 ? 1 : x - 1;
            const long xp = x == width - 1 ? width - 2 : x + 1;
            const int site = sites[x & 1];
            dst[site][x] = mid[x];
            if (site == kGreen) {
                // The row's other colour lies left and right, the third one
                // above and below.
                const int across = sites[(x + 1) & 1];
                dst[across][x] = mean2(mid[xm], mid[xp]);
                dst[kRed + kBlue - across][x] = mean2(up[x], down[x]);
            } else {
                dst[kGreen][x] = mean4(mid[xm], mid[xp], up[x], down[x]);
                dst[kRed + kBlue - site][x] = mean4(up[xm], up[xp], down[xm], down[xp]);
            }
        }
    }
    return out;
}

kc3PlanePelBuffer kfUnpackRgb8(const unsigned char* pels, long width, long height, long rowBytes) {
    checkLayout(pels, width, height, rowBytes, kRgbBytesPerPel, L"RGB8");
    kc3PlanePelBuffer out(width, height);
    kcPelBuffer<unsigned char> red = out.plane0();
    kcPelBuffer<unsigned char> green = out.plane1();
    kcPelBuffer<unsigned char> blue = out.plane2();
    for (long y = 0; y < height; ++y) {
        const unsigned char* src = sourceRow(pels, rowBytes, y);
        unsigned char* r = red.pointToRow(y);
        unsigned char* g = green.pointToRow(y);
        unsigned char* b = blue.pointToRow(y);
        for (long x = 0; x < width; ++x) {
            r[x] = src[kRgbBytesPerPel * x];
            g[x] = src[kRgbBytesPerPel * x + 1];
            b[x] = src[kRgbBytesPerPel * x + 2];
        }
    }
    return out;
}

kcPelBuffer<unsigned char> kfCopyMono8(const unsigned char* pels, long width, long height, long rowBytes) {
    checkLayout(pels, width, height, rowBytes, 1, L"Mono8");
    kcPelBuffer<unsigned char> out(width, height);
    for (long y = 0; y < height; ++y) {
        const unsigned char* src = sourceRow(pels, rowBytes, y);
        std::copy(src, src + width, out.pointToRow(y));
    }
    return out;
}
