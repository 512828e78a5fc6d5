// toolkit/foundation/pel_rect.h
// kcPelRect: a rectangle of pels; right and bottom are exclusive.
#pragma once

class kcPelRect {
public:
    kcPelRect() = default;
    kcPelRect(long left, long top, long width, long height)
        : left_(left), top_(top), width_(width), height_(height) {}

    long left() const { return left_; }
    long top() const { return top_; }
    long width() const { return width_; }
    long height() const { return height_; }
    long right() const { return left_ + width_; }
    long bottom() const { return top_ + height_; }
    bool isEmpty() const { return width_ <= 0 || height_ <= 0; }

    bool operator==(const kcPelRect& o) const {
        return left_ == o.left_ && top_ == o.top_ && width_ == o.width_ && height_ == o.height_;
    }

private:
    long left_ = 0;
    long top_ = 0;
    long width_ = 0;
    long height_ = 0;
};
