// toolkit/foundation/pel_memory.h
// The zeroed, aligned blocks that pel buffers store their pels in.
#pragma once

#include <cstddef>
#include <memory>

#include "toolkit/foundation/export.h"

// A block of `bytes` zeroed bytes whose first byte is aligned to
// `alignment` (a power of two, at most 4096); std::bad_alloc when there is
// no memory. Large blocks are kept for a while when their last owner lets
// them go and handed out again, cleared, for the next image of that size:
// a camera delivering image after image would otherwise have every page of
// every frame mapped, faulted in and cleared by the system anew.
KC_EXPORT std::shared_ptr<unsigned char> kfZeroedPels(std::size_t bytes, std::size_t alignment);
// The same, its bytes left as they are, for a writer that sets every one:
// a kept block is handed out without being cleared again.
KC_EXPORT std::shared_ptr<unsigned char> kfPelsForOverwrite(std::size_t bytes, std::size_t alignment);
