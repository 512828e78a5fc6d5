// toolkit/foundation/ptr_handle.h
// kcPtrHandle<T>: a shared, reference-counted handle to a heap object.
#pragma once

#include <atomic>
#include <type_traits>
#include <utility>

#include "toolkit/foundation/exceptions.h"
#include "toolkit/foundation/export.h"

// Atomic increment and decrement of a reference count; each returns the new
// value.
KC_EXPORT long kfInterlockedIncrement(std::atomic<long>& count);
KC_EXPORT long kfInterlockedDecrement(std::atomic<long>& count);

namespace kc_detail {
// The shared count and the deleter of the object as it was handed in, so
// that a handle converted to a base type still deletes the right object.
struct HandleBlock {
    std::atomic<long> count{1};
    void (*destroy)(void*) = nullptr;
    void* object = nullptr;
};
}  // namespace kc_detail

template <class T>
class kcPtrHandle {
public:
    kcPtrHandle() = default;
    // Takes ownership of a heap object (deleted when the last handle goes).
    explicit kcPtrHandle(T* object) {
        if (object == nullptr) return;
        try {
            block_ = new kc_detail::HandleBlock;
        } catch (...) {
            delete object;
            throw;
        }
        block_->destroy = [](void* p) { delete static_cast<T*>(p); };
        block_->object = object;
        ptr_ = object;
    }
    kcPtrHandle(const kcPtrHandle& other) noexcept : ptr_(other.ptr_), block_(other.block_) { acquire(); }
    kcPtrHandle(kcPtrHandle&& other) noexcept : ptr_(other.ptr_), block_(other.block_) {
        other.ptr_ = nullptr;
        other.block_ = nullptr;
    }
    // Shares an object through a handle to a derived type.
    template <class U, class = std::enable_if_t<std::is_convertible_v<U*, T*>>>
    kcPtrHandle(const kcPtrHandle<U>& other) noexcept : ptr_(other.ptr_), block_(other.block_) {
        acquire();
    }
    ~kcPtrHandle() { release(); }

    kcPtrHandle& operator=(kcPtrHandle other) noexcept {
        std::swap(ptr_, other.ptr_);
        std::swap(block_, other.block_);
        return *this;
    }

    // Throws kcBadPointer when the handle is empty.
    T& operator*() const { return *checked(); }
    T* operator->() const { return checked(); }
    T* get() const noexcept { return ptr_; }
    bool isNull() const noexcept { return ptr_ == nullptr; }
    explicit operator bool() const noexcept { return ptr_ != nullptr; }
    // Handles sharing this object (0 for an empty handle).
    long useCount() const noexcept { return block_ ? block_->count.load() : 0; }

private:
    template <class U> friend class kcPtrHandle;

    T* checked() const {
        if (ptr_ == nullptr) throw kcBadPointer(L"dereferenced an empty kcPtrHandle");
        return ptr_;
    }
    void acquire() noexcept {
        if (block_) kfInterlockedIncrement(block_->count);
    }
    void release() noexcept {
        if (block_ && kfInterlockedDecrement(block_->count) == 0) {
            block_->destroy(block_->object);
            delete block_;
        }
        ptr_ = nullptr;
        block_ = nullptr;
    }

    T* ptr_ = nullptr;
    kc_detail::HandleBlock* block_ = nullptr;
};
