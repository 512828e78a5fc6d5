// apps/colorbal/search_record.cpp
#include "apps/colorbal/search_record.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <limits>

#include "apps/colorbal/balance_command.h"
#include "apps/colorbal/text_utf8.h"
#include "clbl/measurement.h"

namespace {

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();

// Sum of `count` bytes: eight at a time, added as four 16-bit lanes.
std::uint64_t byteSum(const unsigned char* bytes, long count) {
    constexpr std::uint64_t kEvenBytes = 0x00FF00FF00FF00FFULL;
    // Each word adds at most 2 x 255 to a lane: 128 words fit in 16 bits.
    constexpr long kWordsPerFlush = 128;
    std::uint64_t total = 0;
    long x = 0;
    while (x + 8 <= count) {
        std::uint64_t lanes = 0;
        const long end = x + std::min((count - x) / 8, kWordsPerFlush) * 8;
        for (; x < end; x += 8) {
            std::uint64_t word;
            std::memcpy(&word, bytes + x, sizeof word);
            lanes += (word & kEvenBytes) + ((word >> 8) & kEvenBytes);
        }
        total += (lanes & 0xFFFF) + ((lanes >> 16) & 0xFFFF) + ((lanes >> 32) & 0xFFFF) + (lanes >> 48);
    }
    for (; x < count; ++x) total += bytes[x];
    return total;
}

// Mean of each plane over the window; NaN for an empty window.
std::array<double, 3> planeMeans(const kc3PlanePelBuffer& image) {
    const long width = image.width();
    const long height = image.height();
    if (width <= 0 || height <= 0) return {kNaN, kNaN, kNaN};
    const std::array<kcPelBuffer_const<unsigned char>, 3> planes{image.plane0(), image.plane1(), image.plane2()};
    std::array<double, 3> means{};
    for (int p = 0; p < 3; ++p) {
        std::uint64_t sum = 0;
        for (long y = image.window().top(); y < image.window().bottom(); ++y)
            sum += byteSum(planes[static_cast<std::size_t>(p)].pointToRow(y), width);
        means[static_cast<std::size_t>(p)] =
            static_cast<double>(sum) / (static_cast<double>(width) * static_cast<double>(height));
    }
    return means;
}

// A number for a CSV cell: exact, and empty when unknown.
std::string cell(double value) { return std::isfinite(value) ? kfExactNumber(value) : std::string(); }

}  // namespace

kcSearchRecorder::kcSearchRecorder() : start_(std::chrono::steady_clock::now()) {}

void kcSearchRecorder::add(const kcAcqProgress& progress) {
    kcAcqRecord record;
    record.index = progress.acquisitions;
    record.unixMillis =
        std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::system_clock::now().time_since_epoch())
            .count();
    record.elapsedSeconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start_).count();
    record.settings = progress.settings;
    record.failed = progress.failed;
    record.goodFraction = kNaN;
    record.planeMeans = {kNaN, kNaN, kNaN};
    // A failed acquisition's image, if any, is not measured or kept.
    if (!progress.failed && !progress.image.isNull() && progress.image->isBound()) {
        const kc3PlanePelBuffer image = progress.image->get3PlanePelBuffer();
        record.goodFraction = kfGoodPelFraction(image);
        record.planeMeans = planeMeans(image);
        const kcRecordedImage recorded{record.index, image};
        if (!first_.image.isBound()) first_ = recorded;
        if (record.goodFraction > bestFraction_) {
            best_ = recorded;
            bestFraction_ = record.goodFraction;
        }
        last_ = recorded;
    }
    records_.push_back(record);
}

double kfGoodPelFraction(const kc3PlanePelBuffer& image) {
    const double all = static_cast<double>(image.width()) * static_cast<double>(image.height());
    if (!(all > 0.0)) return kNaN;
    return static_cast<double>(kfCountGoodPels(image, kReportDarkLevel)) / all;
}

std::string kfUtcTimeText(std::int64_t unixMillis) {
    const std::int64_t millis = ((unixMillis % 1000) + 1000) % 1000;
    const std::time_t seconds = static_cast<std::time_t>((unixMillis - millis) / 1000);
    std::tm utc{};
    gmtime_r(&seconds, &utc);
    std::array<char, 48> buffer{};
    std::snprintf(buffer.data(), buffer.size(), "%04d-%02d-%02dT%02d:%02d:%02d.%03dZ", utc.tm_year + 1900,
                  utc.tm_mon + 1, utc.tm_mday, utc.tm_hour, utc.tm_min, utc.tm_sec, static_cast<int>(millis));
    return buffer.data();
}

std::string kfSearchCsv(const std::vector<kcAcqRecord>& records, unsigned long searchImages,
                        unsigned long resultImage) {
    std::string csv =
        "index,time [UTC],elapsed [s],exposure [s],contrast [0-1],brightness [0-1],good pels [fraction],"
        "mean R [grey level],mean G [grey level],mean B [grey level],failed [0/1],taken for\n";
    for (const kcAcqRecord& r : records) {
        csv += std::to_string(r.index) + ',' + kfUtcTimeText(r.unixMillis) + ',' + cell(r.elapsedSeconds) + ',';
        if (r.settings)
            csv += cell(r.settings->exposure()) + ',' + cell(r.settings->contrast()) + ',' +
                   cell(r.settings->brightness()) + ',';
        else
            csv += ",,,";
        csv += cell(r.goodFraction);
        for (double mean : r.planeMeans) csv += ',' + cell(mean);
        const char* takenFor = r.index <= searchImages  ? "search"
                               : r.index == resultImage ? "result image"
                                                        : "result records";
        csv += std::string(r.failed ? ",1," : ",0,") + takenFor + '\n';
    }
    return csv;
}
