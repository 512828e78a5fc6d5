// toolkit/sim/sim_scene.cpp
#include "toolkit/sim/sim_scene.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstddef>
#include <fstream>

#include "toolkit/foundation/exceptions.h"
#include "toolkit/foundation/text.h"
#include "toolkit/sim/row_halves.h"

namespace {

// Radiance units: 1.0 is a white patch under the chart's light. The camera's
// exposure scale is chosen so that the chart is well exposed around exposure
// 0.02 at contrast 0.5; the other scenes are lit relative to it.
constexpr float kDarkLight = 0.05f;      // dim room: needs about 20x the chart's exposure
constexpr float kBrightLight = 25.0f;    // sunlit scene: needs about 1/25 of the chart's exposure
constexpr float kHdrRoomLight = 0.025f;  // the shadowed room of "hdr"
constexpr float kHdrSkyLight = 4.0f;     // the sky seen through the window of "hdr"
constexpr float kGreyLevel = 0.18f;      // radiance of the flat grey
constexpr float kSurroundGrey = 0.18f;   // the chart's mid-grey surround

// Texture amplitudes, relative to the local radiance: a smooth mottle over
// about a twelfth of the image and a fine per-pel grain.
constexpr float kMottleAmplitude = 0.04f;
constexpr float kGrainAmplitude = 0.01f;
constexpr float kMottleCells = 12.0f;
// Vignetting of the chart's light: 1 at the centre, 1 - k r^2 off it.
constexpr float kVignette = 0.3f;

constexpr int kChartCols = 6;
constexpr int kChartRows = 4;
constexpr float kChartLeft = 0.08f, kChartRight = 0.92f;  // chart area, in fractions of the image
constexpr float kChartTop = 0.10f, kChartBottom = 0.90f;
constexpr float kPatchGap = 0.15f;  // fraction of a cell left as surround around each patch

// PPM header numbers longer than this many digits are refused outright.
constexpr int kMaxHeaderDigits = 9;
constexpr long kMaxPpmMaxval = 65535;

struct Rgb {
    float r, g, b;
};
Rgb operator*(Rgb c, float k) { return {c.r * k, c.g * k, c.b * k}; }

// Reflectances of the chart's patches, row by row: skin tones and natural
// colours; saturated primaries and secondaries; mixed colours; a grey ramp.
constexpr std::array<std::array<Rgb, kChartCols>, kChartRows> kChartPatches{{
    {{{0.42f, 0.26f, 0.19f},
      {0.70f, 0.50f, 0.40f},
      {0.22f, 0.13f, 0.09f},
      {0.58f, 0.40f, 0.28f},
      {0.12f, 0.18f, 0.07f},
      {0.20f, 0.28f, 0.48f}}},
    {{{0.62f, 0.05f, 0.04f},
      {0.06f, 0.45f, 0.08f},
      {0.04f, 0.06f, 0.52f},
      {0.75f, 0.62f, 0.04f},
      {0.55f, 0.07f, 0.45f},
      {0.04f, 0.42f, 0.58f}}},
    {{{0.72f, 0.30f, 0.04f},
      {0.25f, 0.08f, 0.40f},
      {0.40f, 0.58f, 0.08f},
      {0.78f, 0.35f, 0.42f},
      {0.05f, 0.30f, 0.28f},
      {0.30f, 0.18f, 0.08f}}},
    {{{0.90f, 0.90f, 0.90f},
      {0.57f, 0.57f, 0.57f},
      {0.35f, 0.35f, 0.35f},
      {0.19f, 0.19f, 0.19f},
      {0.09f, 0.09f, 0.09f},
      {0.035f, 0.035f, 0.035f}}},
}};

// An object of the "dark", "bright" and "hdr" scenes: an ellipse or a
// rectangle, centre and half sizes in fractions of the image.
struct Shape {
    bool ellipse;
    float cx, cy, rx, ry;
    Rgb reflectance;
};

bool inside(const Shape& s, float u, float v) {
    const float du = (u - s.cx) / s.rx;
    const float dv = (v - s.cy) / s.ry;
    if (s.ellipse) return du * du + dv * dv <= 1.0f;
    return std::fabs(du) <= 1.0f && std::fabs(dv) <= 1.0f;
}

// Objects in a room, shared by "dark" and the room of "hdr"; later shapes
// lie in front of earlier ones.
constexpr std::array<Shape, 8> kRoomObjects{{
    {false, 0.22f, 0.45f, 0.12f, 0.20f, {0.55f, 0.20f, 0.12f}},  // a red-brown cabinet
    {true, 0.22f, 0.30f, 0.06f, 0.08f, {0.85f, 0.80f, 0.65f}},   // a pale vase on it
    {false, 0.50f, 0.78f, 0.20f, 0.06f, {0.35f, 0.22f, 0.12f}},  // a wooden table
    {true, 0.45f, 0.69f, 0.05f, 0.04f, {0.15f, 0.45f, 0.20f}},   // a green bowl
    {true, 0.58f, 0.68f, 0.04f, 0.05f, {0.80f, 0.62f, 0.10f}},   // a yellow cup
    {false, 0.82f, 0.50f, 0.08f, 0.30f, {0.20f, 0.25f, 0.55f}},  // a blue curtain
    {true, 0.40f, 0.25f, 0.07f, 0.07f, {0.90f, 0.88f, 0.85f}},   // a white clock
    {false, 0.62f, 0.30f, 0.06f, 0.10f, {0.62f, 0.42f, 0.34f}},  // a skin-toned picture
}};

// Objects of the sunlit scene.
constexpr std::array<Shape, 6> kOutdoorObjects{{
    {false, 0.25f, 0.55f, 0.12f, 0.15f, {0.75f, 0.70f, 0.62f}},   // a light wall
    {false, 0.25f, 0.62f, 0.03f, 0.08f, {0.30f, 0.18f, 0.10f}},   // its door
    {true, 0.65f, 0.50f, 0.10f, 0.12f, {0.15f, 0.35f, 0.10f}},    // a tree crown
    {false, 0.65f, 0.68f, 0.015f, 0.08f, {0.25f, 0.16f, 0.08f}},  // its trunk
    {false, 0.85f, 0.80f, 0.07f, 0.04f, {0.70f, 0.08f, 0.06f}},   // a red car
    {true, 0.45f, 0.85f, 0.05f, 0.03f, {0.85f, 0.75f, 0.20f}},    // a yellow ball
}};

constexpr Rgb kWall{0.45f, 0.42f, 0.38f};
constexpr Rgb kFloor{0.30f, 0.25f, 0.20f};
constexpr Rgb kSky{0.55f, 0.70f, 0.95f};
constexpr Rgb kGrass{0.18f, 0.32f, 0.10f};
constexpr float kHorizon = 0.62f;  // the floor or ground starts below this height

constexpr std::uint32_t mix32(std::uint32_t h) {
    h ^= h >> 16;
    h *= 0x7feb352dU;
    h ^= h >> 15;
    h *= 0x846ca68bU;
    h ^= h >> 16;
    return h;
}

// A fixed pseudo-random value in [-1, 1) for a lattice point.
constexpr float hashUnit(std::uint32_t x, std::uint32_t y, std::uint32_t salt) {
    const std::uint32_t h = mix32(x * 0x9E3779B1U ^ mix32(y * 0x85EBCA77U ^ mix32(salt)));
    return static_cast<float>(h >> 8) * (2.0f / 16777216.0f) - 1.0f;
}

// The lattice values of the mottle for one salt, at every lattice point a
// pel of the unit square reaches; computed once, at compile time.
constexpr int kLatticeSide = static_cast<int>(kMottleCells) + 1;
using Lattice = std::array<float, static_cast<std::size_t>(kLatticeSide* kLatticeSide)>;
template <std::uint32_t Salt>
constexpr Lattice kLattice = [] {
    Lattice values{};
    for (int y = 0; y < kLatticeSide; ++y)
        for (int x = 0; x < kLatticeSide; ++x)
            values[static_cast<std::size_t>(y * kLatticeSide + x)] =
                hashUnit(static_cast<std::uint32_t>(x), static_cast<std::uint32_t>(y), Salt);
    return values;
}();

// Smooth value noise in [-1, 1]: lattice values over kMottleCells x
// kMottleCells cells of the unit square (u, v in 0..1), blended with a
// smoothstep; the same at every image size.
float mottle(float u, float v, const Lattice& lattice) {
    const float fu = u * kMottleCells, fv = v * kMottleCells;
    const float iu = std::floor(fu), iv = std::floor(fv);
    float tu = fu - iu, tv = fv - iv;
    tu = tu * tu * (3.0f - 2.0f * tu);
    tv = tv * tv * (3.0f - 2.0f * tv);
    const int last = kLatticeSide - 2;  // the cell of u or v just below 1
    const int x = std::clamp(static_cast<int>(iu), 0, last), y = std::clamp(static_cast<int>(iv), 0, last);
    const float* row = lattice.data() + y * kLatticeSide + x;
    const float a = row[0], b = row[1], c = row[kLatticeSide], d = row[kLatticeSide + 1];
    const float top = a + (b - a) * tu, bottom = c + (d - c) * tu;
    return top + (bottom - top) * tv;
}

// The texture factor applied to every built-in scene but the grey one.
template <std::uint32_t Salt>
float texture(float u, float v, long x, long y) {
    return 1.0f + kMottleAmplitude * mottle(u, v, kLattice<Salt>) +
           kGrainAmplitude * hashUnit(static_cast<std::uint32_t>(x), static_cast<std::uint32_t>(y), Salt + 1);
}

// Fills rows [first, last) from a function of each pel's centre (u, v in
// 0..1) and position.
void paintRows(kcSimScene& scene, Rgb (*radiance)(float, float, long, long), long first, long last) {
    const long w = scene.width(), h = scene.height();
    for (long y = first; y < last; ++y) {
        float* r = scene.row(0, y);
        float* g = scene.row(1, y);
        float* b = scene.row(2, y);
        const float v = (static_cast<float>(y) + 0.5f) / static_cast<float>(h);
        for (long x = 0; x < w; ++x) {
            const float u = (static_cast<float>(x) + 0.5f) / static_cast<float>(w);
            const Rgb c = radiance(u, v, x, y);
            r[x] = c.r;
            g[x] = c.g;
            b[x] = c.b;
        }
    }
}

// Scenes of at least this many pels are painted on two threads.
constexpr double kMinPelsForThreads = 256.0 * 256.0;

// Fills every pel from a function of its centre (u, v in 0..1) and position.
void paint(kcSimScene& scene, Rgb (*radiance)(float, float, long, long)) {
    const long w = scene.width(), h = scene.height();
    kfForRowHalves(h, static_cast<double>(w) * static_cast<double>(h) >= kMinPelsForThreads,
                   [&](long first, long last) { paintRows(scene, radiance, first, last); });
}

Rgb chartAt(float u, float v, long x, long y) {
    const float du = u - 0.5f, dv = v - 0.5f;
    const float light = (1.0f - kVignette * (du * du + dv * dv)) * texture<11>(u, v, x, y);
    Rgb reflectance{kSurroundGrey, kSurroundGrey, kSurroundGrey};
    if (u >= kChartLeft && u < kChartRight && v >= kChartTop && v < kChartBottom) {
        const float cu = (u - kChartLeft) / (kChartRight - kChartLeft) * kChartCols;
        const float cv = (v - kChartTop) / (kChartBottom - kChartTop) * kChartRows;
        const int col = std::min(static_cast<int>(cu), kChartCols - 1);
        const int row = std::min(static_cast<int>(cv), kChartRows - 1);
        const float fu = cu - static_cast<float>(col), fv = cv - static_cast<float>(row);
        const float half = kPatchGap / 2.0f;
        if (fu >= half && fu < 1.0f - half && fv >= half && fv < 1.0f - half)
            reflectance = kChartPatches[static_cast<std::size_t>(row)][static_cast<std::size_t>(col)];
    }
    return reflectance * light;
}

template <std::size_t N>
Rgb objectsOver(const std::array<Shape, N>& objects, Rgb background, float u, float v) {
    Rgb c = background;
    for (const Shape& s : objects)
        if (inside(s, u, v)) c = s.reflectance;
    return c;
}

// A room lit by a weak lamp at the upper left.
Rgb darkAt(float u, float v, long x, long y) {
    const float du = u - 0.2f, dv = v - 0.2f;
    const float lamp = 0.35f + 0.65f * std::exp(-(du * du + dv * dv) / 0.25f);
    const Rgb reflectance = objectsOver(kRoomObjects, v < kHorizon ? kWall : kFloor, u, v);
    return reflectance * (kDarkLight * lamp * texture<23>(u, v, x, y));
}

// An outdoor scene in full sun: sky above the horizon, grass below.
Rgb brightAt(float u, float v, long x, long y) {
    Rgb background = kGrass;
    if (v < kHorizon) background = kSky * (0.8f + 0.2f * v / kHorizon);  // sky lightens towards the horizon
    const Rgb reflectance = objectsOver(kOutdoorObjects, background, u, v);
    return reflectance * (kBrightLight * texture<37>(u, v, x, y));
}

// A dim room seen against a window onto a bright sky; the sun through the
// window lights a patch of the floor.
Rgb hdrAt(float u, float v, long x, long y) {
    const float tex = texture<51>(u, v, x, y);
    constexpr float kWindowLeft = 0.55f, kWindowRight = 0.90f, kWindowTop = 0.12f, kWindowBottom = 0.55f;
    if (u >= kWindowLeft && u < kWindowRight && v >= kWindowTop && v < kWindowBottom) {
        // The sky brightens towards the sun at the window's upper right.
        const float du = u - 0.85f, dv = v - 0.15f;
        const float glow = 0.75f + 0.25f * std::exp(-(du * du + dv * dv) / 0.02f);
        return kSky * (kHdrSkyLight * glow * tex);
    }
    constexpr float kSunLeft = 0.45f, kSunRight = 0.80f, kSunTop = 0.75f, kSunBottom = 0.95f;
    if (u >= kSunLeft && u < kSunRight && v >= kSunTop && v < kSunBottom)
        return kFloor * (kHdrSkyLight * 0.5f * tex);  // sunlit floor: mid-tones
    const float falloff = 0.8f + 0.2f * u;            // the room darkens away from the window
    const Rgb reflectance = objectsOver(kRoomObjects, v < kHorizon ? kWall : kFloor, u, v);
    return reflectance * (kHdrRoomLight * falloff * tex);
}

// A neutral grey card, lit a little unevenly, with a faint grain per plane.
Rgb greyAt(float u, float v, long x, long y) {
    const float light = kGreyLevel * (0.95f + 0.05f * u + 0.03f * v);
    const auto ux = static_cast<std::uint32_t>(x), uy = static_cast<std::uint32_t>(y);
    return {light * (1.0f + 0.005f * hashUnit(ux, uy, 61)), light * (1.0f + 0.005f * hashUnit(ux, uy, 62)),
            light * (1.0f + 0.005f * hashUnit(ux, uy, 63))};
}

struct BuiltIn {
    const char* name;
    const char* description;
    Rgb (*radiance)(float, float, long, long);
};

constexpr std::array<BuiltIn, 5> kBuiltIns{{
    {"chart",
     "a colour chart: 6 x 4 patches (skin tones, saturated primaries and secondaries, mixed colours, "
     "a grey ramp) on a mid-grey surround",
     chartAt},
    {"dark", "a dim room lit by a weak lamp; needs about twenty times the chart's exposure", darkAt},
    {"bright", "an outdoor scene in full sun; needs about a twenty-fifth of the chart's exposure", brightAt},
    {"hdr", "a dim room against a window onto a bright sky: radiances spanning about 1000:1", hdrAt},
    {"grey", "a flat mid-grey card, lit a little unevenly", greyAt},
}};

const BuiltIn& findBuiltIn(const std::string& name) {
    for (const BuiltIn& b : kBuiltIns)
        if (name == b.name) return b;
    std::wstring known;
    for (const BuiltIn& b : kBuiltIns) {
        if (!known.empty()) known += L", ";
        known += std::wstring(b.name, b.name + std::char_traits<char>::length(b.name));
    }
    throw kcBadArgument(L"unknown simulated scene \"" + kfWiden(name) + L"\"; the built-in scenes are " + known);
}

// Index of the source pel nearest to the centre of target pel i.
long nearestSource(long i, long target, long source) {
    return static_cast<long>((2 * static_cast<long long>(i) + 1) * source / (2 * static_cast<long long>(target)));
}

// Reads a binary PPM's header and pel data, resampling as it goes. The
// header's sizes are checked against the file's actual size before any pel
// memory is allocated, and only one source row is held at a time.
class PpmReader {
public:
    explicit PpmReader(const std::string& path) : path_(path), in_(path, std::ios::binary) {
        if (!in_) fail(L"cannot be opened");
        in_.seekg(0, std::ios::end);
        const std::streamoff end = in_.tellg();
        in_.seekg(0, std::ios::beg);
        if (end < 0 || !in_) fail(L"cannot be read");
        fileSize_ = static_cast<unsigned long long>(end);
    }

    void readHeader() {
        const int p = in_.get(), six = in_.get();
        if (p != 'P' || six != '6') fail(L"is not a binary PPM (it does not begin with \"P6\")");
        width_ = number(L"width");
        height_ = number(L"height");
        maxval_ = number(L"maxval");
        // Exactly one whitespace character separates the header from the pels.
        const int sep = in_.get();
        if (sep == std::char_traits<char>::eof() || !isSpace(sep))
            fail(L"has no whitespace after its maxval " + std::to_wstring(maxval_));
        if (width_ < 1 || width_ > kcSimScene::kMaxFileSide || height_ < 1 || height_ > kcSimScene::kMaxFileSide)
            fail(L"has size " + std::to_wstring(width_) + L" x " + std::to_wstring(height_) +
                 L"; each side must lie in 1.." + std::to_wstring(kcSimScene::kMaxFileSide));
        if (maxval_ < 1 || maxval_ > kMaxPpmMaxval)
            fail(L"has maxval " + std::to_wstring(maxval_) + L"; it must lie in 1..65535");
        bytesPerSample_ = maxval_ > 255 ? 2 : 1;

        const std::streamoff start = in_.tellg();
        if (start < 0) fail(L"cannot be read");
        const unsigned long long needed =
            static_cast<unsigned long long>(width_) * static_cast<unsigned long long>(height_) * 3ULL * bytesPerSample_;
        const unsigned long long present = fileSize_ - static_cast<unsigned long long>(start);
        if (present < needed)
            fail(L"is truncated: its header announces " + std::to_wstring(needed) + L" bytes of pels, it holds " +
                 std::to_wstring(present));
        if (present > needed)
            fail(L"has " + std::to_wstring(present - needed) + L" bytes after the " + std::to_wstring(needed) +
                 L" bytes of pels its header announces");
    }

    long width() const { return width_; }
    long height() const { return height_; }

    // Copies the file's pels into the scene, nearest-neighbour resampled.
    void readInto(kcSimScene& scene) {
        const long w = scene.width(), h = scene.height();
        const std::size_t rowBytes = static_cast<std::size_t>(width_) * 3U * bytesPerSample_;
        std::vector<unsigned char> row(rowBytes);
        std::vector<long> sourceColumn(static_cast<std::size_t>(w));
        for (long x = 0; x < w; ++x) sourceColumn[static_cast<std::size_t>(x)] = nearestSource(x, w, width_);
        const auto maxval = static_cast<float>(maxval_);
        long loaded = -1;  // the source row held in `row`
        for (long y = 0; y < h; ++y) {
            const long sy = nearestSource(y, h, height_);
            while (loaded < sy) {
                in_.read(reinterpret_cast<char*>(row.data()), static_cast<std::streamsize>(rowBytes));
                if (static_cast<std::size_t>(in_.gcount()) != rowBytes) fail(L"could not be read to its end");
                ++loaded;
            }
            for (int p = 0; p < 3; ++p) {
                float* out = scene.row(p, y);
                for (long x = 0; x < w; ++x) {
                    const std::size_t at = (static_cast<std::size_t>(sourceColumn[static_cast<std::size_t>(x)]) * 3U +
                                            static_cast<std::size_t>(p)) *
                                           bytesPerSample_;
                    long sample = row[at];
                    if (bytesPerSample_ == 2) sample = sample * 256 + row[at + 1];
                    // Samples above maxval break the format; they count as maxval.
                    out[x] = static_cast<float>(std::min(sample, maxval_)) / maxval;
                }
            }
        }
    }

private:
    static bool isSpace(int c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\v' || c == '\f'; }

    // Skips whitespace and comments, then reads one decimal number.
    long number(const wchar_t* what) {
        int c = in_.get();
        for (;;) {
            if (c == '#') {
                while (c != '\n' && c != '\r' && c != std::char_traits<char>::eof()) c = in_.get();
            } else if (c != std::char_traits<char>::eof() && isSpace(c)) {
                c = in_.get();
            } else {
                break;
            }
        }
        if (c == std::char_traits<char>::eof()) fail(L"ends before its " + std::wstring(what));
        if (c < '0' || c > '9') fail(L"has no number for its " + std::wstring(what));
        long value = 0;
        int digits = 0;
        while (c >= '0' && c <= '9') {
            if (++digits > kMaxHeaderDigits) fail(L"has a " + std::wstring(what) + L" with too many digits");
            value = value * 10 + (c - '0');
            c = in_.get();
        }
        // The character after the number belongs to what follows.
        if (c != std::char_traits<char>::eof())
            in_.unget();
        else
            in_.clear(in_.rdstate() & ~std::ios::failbit & ~std::ios::eofbit);
        return value;
    }

    [[noreturn]] void fail(const std::wstring& what) const {
        throw kcBadArgument(L"PPM file \"" + kfWiden(path_) + L"\" " + what);
    }

    std::string path_;
    std::ifstream in_;
    unsigned long long fileSize_ = 0;
    long width_ = 0;
    long height_ = 0;
    long maxval_ = 0;
    unsigned bytesPerSample_ = 1;
};

}  // namespace

kcSimScene::kcSimScene(long width, long height) : width_(width), height_(height) {
    if (width < kMinWidth || width > kMaxWidth || height < kMinHeight || height > kMaxHeight)
        throw kcBadArgument(L"simulated scene size " + std::to_wstring(width) + L" x " + std::to_wstring(height) +
                            L" lies outside " + std::to_wstring(kMinWidth) + L" x " + std::to_wstring(kMinHeight) +
                            L" to " + std::to_wstring(kMaxWidth) + L" x " + std::to_wstring(kMaxHeight));
    radiance_.assign(3U * static_cast<std::size_t>(width) * static_cast<std::size_t>(height), 0.0f);
}

kcSimScene kcSimScene::builtIn(const std::string& name, long width, long height) {
    const BuiltIn& b = findBuiltIn(name);
    kcSimScene scene(width, height);
    paint(scene, b.radiance);
    return scene;
}

std::vector<std::string> kcSimScene::builtInNames() {
    std::vector<std::string> names;
    for (const BuiltIn& b : kBuiltIns) names.emplace_back(b.name);
    return names;
}

std::string kcSimScene::describe(const std::string& name) { return findBuiltIn(name).description; }

kcSimScene kcSimScene::fromRgb8(const std::vector<unsigned char>& rgb, long sourceWidth, long sourceHeight, long width,
                                long height) {
    if (sourceWidth < 1 || sourceWidth > kMaxFileSide || sourceHeight < 1 || sourceHeight > kMaxFileSide)
        throw kcBadArgument(L"8-bit source size " + std::to_wstring(sourceWidth) + L" x " +
                            std::to_wstring(sourceHeight) + L" is invalid; each side must lie in 1.." +
                            std::to_wstring(kMaxFileSide));
    const std::size_t needed = static_cast<std::size_t>(sourceWidth) * static_cast<std::size_t>(sourceHeight) * 3U;
    if (rgb.size() != needed)
        throw kcBadArgument(L"8-bit source of " + std::to_wstring(sourceWidth) + L" x " +
                            std::to_wstring(sourceHeight) + L" pels needs " + std::to_wstring(needed) +
                            L" bytes, got " + std::to_wstring(rgb.size()));
    kcSimScene scene(width, height);
    std::vector<std::size_t> sourceColumn(static_cast<std::size_t>(width));
    for (long x = 0; x < width; ++x)
        sourceColumn[static_cast<std::size_t>(x)] = static_cast<std::size_t>(nearestSource(x, width, sourceWidth));
    for (long y = 0; y < height; ++y) {
        const unsigned char* src = rgb.data() + static_cast<std::size_t>(nearestSource(y, height, sourceHeight)) *
                                                    static_cast<std::size_t>(sourceWidth) * 3U;
        for (int p = 0; p < 3; ++p) {
            float* out = scene.row(p, y);
            for (long x = 0; x < width; ++x)
                out[x] = static_cast<float>(
                             src[sourceColumn[static_cast<std::size_t>(x)] * 3U + static_cast<std::size_t>(p)]) /
                         255.0f;
        }
    }
    return scene;
}

kcSimScene kcSimScene::fromPpm(const std::string& path, long width, long height) {
    if (width < 0 || height < 0)
        throw kcBadArgument(L"scene size " + std::to_wstring(width) + L" x " + std::to_wstring(height) +
                            L" for PPM file \"" + kfWiden(path) + L"\" is negative");
    PpmReader reader(path);
    reader.readHeader();
    if (width == 0) width = std::clamp(reader.width(), kMinWidth, kMaxWidth);
    if (height == 0) height = std::clamp(reader.height(), kMinHeight, kMaxHeight);
    kcSimScene scene(width, height);
    reader.readInto(scene);
    return scene;
}

const float* kcSimScene::row(int plane, long y) const {
    if (plane < 0 || plane > 2 || y < 0 || y >= height_)
        throw kcBadArgument(L"scene row " + std::to_wstring(y) + L" of plane " + std::to_wstring(plane) +
                            L" lies outside the scene of " + std::to_wstring(width_) + L" x " +
                            std::to_wstring(height_) + L" pels and 3 planes");
    return radiance_.data() +
           (static_cast<std::size_t>(plane) * static_cast<std::size_t>(height_) + static_cast<std::size_t>(y)) *
               static_cast<std::size_t>(width_);
}

float* kcSimScene::row(int plane, long y) {
    return const_cast<float*>(static_cast<const kcSimScene&>(*this).row(plane, y));
}
