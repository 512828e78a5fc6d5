#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <functional>
#include <random>
#include <vector>

#include "toolkit/foundation/exceptions.h"
#include "toolkit/imgproc/gauss_sample.h"
#include "toolkit/imgproc/morphology.h"

namespace {

using Image = kcPelBuffer<unsigned char>;
using ConstImage = kcPelBuffer_const<unsigned char>;
using Pels = std::vector<std::vector<int>>;

Image makeImage(long width, long height, const std::function<int(long, long)>& value) {
    Image image(width, height);
    for (long y = 0; y < height; ++y)
        for (long x = 0; x < width; ++x) image.pointToRow(y)[x] = static_cast<unsigned char>(value(x, y));
    return image;
}

Image randomImage(long width, long height, unsigned seed) {
    std::mt19937 random(seed);
    return makeImage(width, height, [&random](long, long) { return static_cast<int>(random() & 0xff); });
}

// Pel (x, y) of the window, the window's border replicated beyond it.
int at(const ConstImage& image, long x, long y) {
    return image.pointToRow(image.window().top() +
                            std::clamp(y, 0L, image.height() - 1))[std::clamp(x, 0L, image.width() - 1)];
}

// The window's pels, row by row (compared whole, so sizes are compared too).
Pels pels(const ConstImage& image) {
    Pels rows(static_cast<std::size_t>(image.height()));
    for (long y = 0; y < image.height(); ++y)
        for (long x = 0; x < image.width(); ++x) rows[static_cast<std::size_t>(y)].push_back(at(image, x, y));
    return rows;
}

// The Gaussian sampler written the plain way: the full 2-D binomial sum at
// each sampled pel, then the rounding.
Pels referenceGauss(const ConstImage& source, long step, long smoothness, double gain) {
    std::vector<std::uint64_t> w(static_cast<std::size_t>(2 * smoothness + 1), 0);
    w[0] = 1;
    for (std::size_t row = 1; row < w.size(); ++row)
        for (std::size_t k = row; k > 0; --k) w[k] += w[k - 1];
    const std::uint64_t total = std::uint64_t(1) << (4 * smoothness);
    return pels(makeImage((source.width() + step - 1) / step, (source.height() + step - 1) / step, [&](long i, long j) {
        const long cx = std::min(i * step + (step - 1) / 2, source.width() - 1);
        const long cy = std::min(j * step + (step - 1) / 2, source.height() - 1);
        std::uint64_t sum = 0;
        for (long b = 0; b <= 2 * smoothness; ++b)
            for (long a = 0; a <= 2 * smoothness; ++a)
                sum += w[static_cast<std::size_t>(a)] * w[static_cast<std::size_t>(b)] *
                       static_cast<std::uint64_t>(at(source, cx + a - smoothness, cy + b - smoothness));
        if (gain == 1.0) return static_cast<int>((sum + total / 2) / total);
        return static_cast<int>(std::clamp(std::floor(gain * (double(sum) / double(total)) + 0.5), 0.0, 255.0));
    }));
}

Pels gauss(const ConstImage& source, long step, long smoothness, double gain = 1.0) {
    kcGaussSampleParams params(1, 2, gain, true);
    params.sample(step);
    params.smoothness(smoothness);
    return pels(kfGaussSample<unsigned char>(source, params));
}

Pels erode(const ConstImage& source, std::initializer_list<kcGMorphDefs::ElementType> types) {
    std::vector<kcGMorph3x3Element> elements(types.begin(), types.end());
    Image result;
    kcGMorphElement(elements).erode(source, result);
    return pels(result);
}

Image referenceErode(const ConstImage& source, kcGMorphDefs::ElementType type) {
    return makeImage(source.width(), source.height(), [&](long x, long y) {
        int m = 255;
        for (long dy = -1; dy <= 1; ++dy)
            for (long dx = -1; dx <= 1; ++dx)
                if (type == kcGMorphDefs::eSquare3x3 || dx == 0 || dy == 0) m = std::min(m, at(source, x + dx, y + dy));
        return m;
    });
}

}  // namespace

TEST(GaussSampleAndGreyErosion, MatchThePlainSumAndMinimumBitExactlyAndRefuseBadParameters) {
    unsigned seed = 1;
    for (const auto& [w, h] : {std::pair{1L, 1L}, {2L, 3L}, {17L, 9L}, {67L, 13L}, {150L, 41L}, {641L, 484L}})
        for (long s : {1L, 2L, 3L, 5L, 7L})
            for (long n = 0; n <= 8; n += w < 641 ? 1 : 4) {
                const Image source = randomImage(w, h, seed++);
                EXPECT_EQ(gauss(source, s, n), referenceGauss(source, s, n, 1.0)) << w << "x" << h << " " << s << n;
            }
    // A gain scales the exact value before the rounding and saturates.
    const Image source = randomImage(131, 37, 99);
    for (double gain : {0.0, 0.5, 0.73, 1.9, 4.0})
        for (long n : {0L, 2L, 8L}) EXPECT_EQ(gauss(source, 5, n, gain), referenceGauss(source, 5, n, gain)) << gain;
    const Image white = makeImage(203, 29, [](long, long) { return 255; });
    for (long n = 0; n <= 8; ++n) EXPECT_EQ(gauss(white, 5, n), referenceGauss(white, 5, n, 1.0)) << n;
    // Only the window is sampled, its own border replicated.
    ConstImage window = randomImage(160, 90, 7);
    window.window(kcPelRect(13, 7, 101, 46));
    const ConstImage copy = makeImage(101, 46, [&window](long x, long y) { return at(window, x, y); });
    EXPECT_EQ(gauss(window, 3, 2), referenceGauss(copy, 3, 2, 1.0));
    EXPECT_EQ(kfGaussSample<unsigned char>(Image(0, 4), kcGaussSampleParams(3, 2, 1.0, true)).window(),
              kcPelRect(0, 0, 0, 2));

    kcGaussSampleParams params(1, 2, 1.0, true);
    for (const auto& bad : std::vector<std::function<void()>>{
             [] { kcGaussSampleParams(0, 2, 1.0, true); }, [] { kcGaussSampleParams(1, 9, 1.0, true); },
             [] { kcGaussSampleParams(1, 2, -1.0, true); }, [] { kcGaussSampleParams(1, 2, std::nan(""), true); },
             [&] { params.sample(0); }, [&] { params.smoothness(-1); }})
        EXPECT_THROW(bad(), kcBadArgument);
    EXPECT_THROW(kfGaussSample<unsigned char>(ConstImage(), params), kcUnboundBuffer);

    // Grey erosion: the plain 3x3 minimum, the border replicated.
    for (const auto& [w, h] : {std::pair{1L, 1L}, {1L, 5L}, {6L, 1L}, {2L, 2L}, {9L, 7L}, {131L, 17L}, {200L, 3L}}) {
        const Image source = randomImage(w, h, static_cast<unsigned>(w * 1000 + h));
        for (const auto type : {kcGMorphDefs::eSquare3x3, kcGMorphDefs::eCross3x3})
            EXPECT_EQ(erode(source, {type}), pels(referenceErode(source, type))) << w << "x" << h << " " << type;
        // Elements apply one after the other.
        EXPECT_EQ(erode(source, {kcGMorphDefs::eSquare3x3, kcGMorphDefs::eCross3x3}),
                  pels(referenceErode(referenceErode(source, kcGMorphDefs::eSquare3x3), kcGMorphDefs::eCross3x3)));
    }
}
