// toolkit/foundation/pel_buffer.h
// Single-plane pel buffers: kcPelBuffer_const<T> (read-only view) and
// kcPelBuffer<T> (writable). A buffer is a window over a stored image;
// copies share the pels. Rows are padded to a multiple of 64 bytes.
#pragma once

#include <cstddef>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <new>
#include <string>

#include "toolkit/foundation/exceptions.h"
#include "toolkit/foundation/pel_memory.h"
#include "toolkit/foundation/pel_rect.h"

// Asks for a new image whose pels are left unset, for a writer that sets
// every pel of every row at once.
struct kcForOverwrite {};

template <class T>
class kcPelBuffer_const {
public:
    // An unbound buffer: no pels, empty window.
    kcPelBuffer_const() = default;

    bool isBound() const { return static_cast<bool>(pels_); }

    // The window, in the coordinates of the stored image.
    const kcPelRect& window() const { return window_; }
    long width() const { return window_.width(); }
    long height() const { return window_.height(); }
    // Size of the stored image under the window.
    long rootWidth() const { return rootWidth_; }
    long rootHeight() const { return rootHeight_; }
    // Distance in pels from one row to the next.
    long rowUpdate() const { return stride_; }

    // Moves the window; it must lie within the stored image.
    void window(const kcPelRect& rect) {
        if (rect.left() < 0 || rect.top() < 0 || rect.width() < 0 || rect.height() < 0 || rect.right() > rootWidth_ ||
            rect.bottom() > rootHeight_)
            throw kcBadArgument(L"window (" + std::to_wstring(rect.left()) + L", " + std::to_wstring(rect.top()) +
                                L", " + std::to_wstring(rect.width()) + L" x " + std::to_wstring(rect.height()) +
                                L") lies outside the image of " + std::to_wstring(rootWidth_) + L" x " +
                                std::to_wstring(rootHeight_));
        window_ = rect;
    }

    // The window's first pel of row y, for y from window().top() to
    // window().bottom() - 1; the row's window pels follow contiguously.
    const T* pointToRow(long y) const { return rowAddress(y); }

protected:
    kcPelBuffer_const(long width, long height, bool zeroed = true) { allocate(width, height, zeroed); }

    T* rowAddress(long y) const {
        if (!pels_) throw kcUnboundBuffer();
        if (y < window_.top() || y >= window_.bottom())
            throw kcBadArgument(L"row " + std::to_wstring(y) + L" lies outside the window rows " +
                                std::to_wstring(window_.top()) + L" to " + std::to_wstring(window_.bottom() - 1));
        return pels_.get() + static_cast<std::size_t>(y) * static_cast<std::size_t>(stride_) +
               static_cast<std::size_t>(window_.left());
    }

private:
    static constexpr long kRowAlignment = 64;  // bytes; lets row loops vectorise

    void allocate(long width, long height, bool zeroed) {
        if (width < 0 || height < 0)
            throw kcBadArgument(L"pel buffer size " + std::to_wstring(width) + L" x " + std::to_wstring(height) +
                                L" is negative");
        const long perAlign =
            kRowAlignment / static_cast<long>(sizeof(T)) > 0 ? kRowAlignment / static_cast<long>(sizeof(T)) : 1;
        stride_ = (width + perAlign - 1) / perAlign * perAlign;
        const std::size_t count = static_cast<std::size_t>(stride_) * static_cast<std::size_t>(height);
        const std::size_t bytes = (count * sizeof(T) + kRowAlignment - 1) / kRowAlignment * kRowAlignment;
        const std::size_t size = bytes > 0 ? bytes : kRowAlignment;
        const std::shared_ptr<unsigned char> block =
            zeroed ? kfZeroedPels(size, kRowAlignment) : kfPelsForOverwrite(size, kRowAlignment);
        pels_ = std::shared_ptr<T>(block, reinterpret_cast<T*>(block.get()));
        rootWidth_ = width;
        rootHeight_ = height;
        window_ = kcPelRect(0, 0, width, height);
    }

    std::shared_ptr<T> pels_;
    long stride_ = 0;
    long rootWidth_ = 0;
    long rootHeight_ = 0;
    kcPelRect window_;
};

template <class T>
class kcPelBuffer : public kcPelBuffer_const<T> {
public:
    // An unbound buffer.
    kcPelBuffer() = default;
    // A new image of width x height zeroed pels; the window covers it.
    kcPelBuffer(long width, long height) : kcPelBuffer_const<T>(width, height) {}
    // A new image whose pels, padding included, hold whatever the memory
    // held: the caller sets them all before anyone reads them.
    kcPelBuffer(long width, long height, kcForOverwrite) : kcPelBuffer_const<T>(width, height, false) {}

    using kcPelBuffer_const<T>::pointToRow;
    // Writable pointer to the window's first pel of row y.
    T* pointToRow(long y) { return this->rowAddress(y); }
};
