// toolkit/foundation/pel_memory.cpp
#include "toolkit/foundation/pel_memory.h"

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <new>
#include <vector>

namespace {

// Blocks below this size come and go through malloc's own free lists.
constexpr std::size_t kMinKeptBytes = std::size_t{1} << 20;
// Blocks kept at most, and their total size: three planes of a few
// images in flight.
constexpr std::size_t kMaxKeptBlocks = 12;
constexpr std::size_t kMaxKeptBytes = std::size_t{256} << 20;

struct Block {
    void* raw;           // as calloc returned it
    std::size_t size;    // bytes asked for
    std::size_t offset;  // from raw to the aligned first byte
};

class KeptBlocks {
public:
    // A kept block of exactly this size and alignment, or none.
    bool take(std::size_t size, std::size_t offsetAlignment, Block& block) {
        const std::lock_guard<std::mutex> lock(mutex_);
        for (std::size_t i = 0; i < kept_.size(); ++i)
            if (kept_[i].size == size &&
                (reinterpret_cast<std::uintptr_t>(kept_[i].raw) + kept_[i].offset) % offsetAlignment == 0) {
                block = kept_[i];
                keptBytes_ -= block.size;
                kept_.erase(kept_.begin() + static_cast<std::ptrdiff_t>(i));
                return true;
            }
        return false;
    }
    // Keeps the block if there is room, or frees it.
    void give(const Block& block) {
        {
            const std::lock_guard<std::mutex> lock(mutex_);
            if (kept_.size() < kMaxKeptBlocks && keptBytes_ + block.size <= kMaxKeptBytes) {
                kept_.push_back(block);
                keptBytes_ += block.size;
                return;
            }
        }
        std::free(block.raw);
    }

private:
    std::mutex mutex_;
    std::vector<Block> kept_;
    std::size_t keptBytes_ = 0;
};

// Never destroyed: pel buffers held in static objects may be let go after
// the end of main. The few blocks kept at exit stay reachable.
KeptBlocks& keptBlocks() {
    static KeptBlocks* const blocks = new KeptBlocks;
    return *blocks;
}

}  // namespace

namespace {

std::shared_ptr<unsigned char> pels(std::size_t bytes, std::size_t alignment, bool zeroed) {
    const bool keep = bytes >= kMinKeptBytes;
    Block block{};
    if (keep && keptBlocks().take(bytes, alignment, block)) {
        if (zeroed) std::memset(static_cast<unsigned char*>(block.raw) + block.offset, 0, bytes);
    } else {
        // calloc and not an aligned allocation and a memset: large blocks come
        // fresh from the system already zeroed, and calloc knows not to clear
        // them again.
        block.raw = std::calloc(bytes + alignment, 1);
        if (block.raw == nullptr) throw std::bad_alloc();
        const auto address = reinterpret_cast<std::uintptr_t>(block.raw);
        block.offset = static_cast<std::size_t>((address + alignment - 1) / alignment * alignment - address);
        block.size = bytes;
    }
    unsigned char* const first = static_cast<unsigned char*>(block.raw) + block.offset;
    if (keep) return std::shared_ptr<unsigned char>(first, [block](unsigned char*) { keptBlocks().give(block); });
    return std::shared_ptr<unsigned char>(first, [raw = block.raw](unsigned char*) { std::free(raw); });
}

}  // namespace

std::shared_ptr<unsigned char> kfZeroedPels(std::size_t bytes, std::size_t alignment) {
    return pels(bytes, alignment, true);
}

std::shared_ptr<unsigned char> kfPelsForOverwrite(std::size_t bytes, std::size_t alignment) {
    return pels(bytes, alignment, false);
}
