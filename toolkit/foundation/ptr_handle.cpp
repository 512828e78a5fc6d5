// toolkit/foundation/ptr_handle.cpp
#include "toolkit/foundation/ptr_handle.h"

long kfInterlockedIncrement(std::atomic<long>& count) { return count.fetch_add(1, std::memory_order_relaxed) + 1; }

// Release on the way down, acquire for the last owner, so that the deleting
// thread sees every write made through the other handles.
long kfInterlockedDecrement(std::atomic<long>& count) { return count.fetch_sub(1, std::memory_order_acq_rel) - 1; }
