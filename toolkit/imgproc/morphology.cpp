// toolkit/imgproc/morphology.cpp
#include "toolkit/imgproc/morphology.h"

#include <algorithm>
#include <string>

namespace {

constexpr long kChunk = 64;  // pels per inner loop: a constant trip count lets -O2 vectorise it

// By value: std::min returns a reference, which turns the loads into
// branches that keep the loops from vectorising.
inline unsigned char min3(unsigned char a, unsigned char b, unsigned char c) {
    const unsigned char m = a < b ? a : b;
    return m < c ? m : c;
}

// d[x] = min(s[x-1], s[x], s[x+1]), the border pels replicated.
void rowMin3(const unsigned char* __restrict s, unsigned char* __restrict d, long width) {
    if (width == 1) {
        d[0] = s[0];
        return;
    }
    const long last = width - 1;
    d[0] = std::min(s[0], s[1]);
    long x = 1;
    for (; x + kChunk <= last; x += kChunk)
        for (long j = 0; j < kChunk; ++j) d[x + j] = min3(s[x + j - 1], s[x + j], s[x + j + 1]);
    for (; x < last; ++x) d[x] = min3(s[x - 1], s[x], s[x + 1]);
    d[last] = std::min(s[last - 1], s[last]);
}

// d[x] = min(a[x], b[x], c[x]); the three may be the same row.
void columnMin3(const unsigned char* a, const unsigned char* b, const unsigned char* c, unsigned char* __restrict d,
                long width) {
    long x = 0;
    for (; x + kChunk <= width; x += kChunk)
        for (long j = 0; j < kChunk; ++j) d[x + j] = min3(a[x + j], b[x + j], c[x + j]);
    for (; x < width; ++x) d[x] = min3(a[x], b[x], c[x]);
}

// The full square is separable: the minimum over three rows of the row
// minima. Row minima are kept for three rows at a time.
void erodeSquare(const kcPelBuffer_const<unsigned char>& source, kcPelBuffer<unsigned char>& result) {
    const long width = source.width();
    const long height = source.height();
    const long top = source.window().top();
    std::vector<unsigned char> ring(static_cast<std::size_t>(3 * width));
    const auto minima = [&ring, width](long row) { return ring.data() + (row % 3) * width; };

    rowMin3(source.pointToRow(top), minima(0), width);
    for (long y = 0; y < height; ++y) {
        // Row y + 1 takes the slot of row y - 2, no longer needed.
        if (y + 1 < height) rowMin3(source.pointToRow(top + y + 1), minima(y + 1), width);
        columnMin3(minima(std::max(y - 1, 0L)), minima(y), minima(std::min(y + 1, height - 1)), result.pointToRow(y),
                   width);
    }
}

// The cross: the row minimum of the pel's own row and the pels straight
// above and below.
void erodeCross(const kcPelBuffer_const<unsigned char>& source, kcPelBuffer<unsigned char>& result) {
    const long width = source.width();
    const long height = source.height();
    const long top = source.window().top();
    std::vector<unsigned char> minima(static_cast<std::size_t>(width));
    for (long y = 0; y < height; ++y) {
        rowMin3(source.pointToRow(top + y), minima.data(), width);
        columnMin3(source.pointToRow(top + std::max(y - 1, 0L)), minima.data(),
                   source.pointToRow(top + std::min(y + 1, height - 1)), result.pointToRow(y), width);
    }
}

}  // namespace

kcGMorph3x3Element::kcGMorph3x3Element(kcGMorphDefs::ElementType type) : type_(type) {
    if (type != kcGMorphDefs::eCross3x3 && type != kcGMorphDefs::eSquare3x3)
        throw kcBadArgument(L"3x3 morphology element type " + std::to_wstring(static_cast<int>(type)) +
                            L" is neither 0 (cross) nor 1 (square)");
}

kcGMorphElement::kcGMorphElement(const std::vector<kcGMorph3x3Element>& elements) : elements_(elements) {}

void kcGMorphElement::erode(const kcPelBuffer_const<unsigned char>& source,
                            kcPelBuffer<unsigned char>& destination) const {
    if (!source.isBound()) throw kcUnboundBuffer(L"grey erosion of an unbound pel buffer");
    const long width = source.width();
    const long height = source.height();

    // Each element reads the previous result and writes a new image, so the
    // destination may share pels with the source.
    kcPelBuffer<unsigned char> result(width, height);
    if (width > 0 && height > 0) {
        if (elements_.empty()) {
            for (long y = 0; y < height; ++y)
                std::copy_n(source.pointToRow(source.window().top() + y), width, result.pointToRow(y));
        }
        kcPelBuffer_const<unsigned char> input = source;
        for (const kcGMorph3x3Element& element : elements_) {
            kcPelBuffer<unsigned char> output(width, height);
            if (element.type() == kcGMorphDefs::eSquare3x3)
                erodeSquare(input, output);
            else
                erodeCross(input, output);
            input = output;
            result = output;
        }
    }
    destination = result;
}
