#pragma once
// Carves a fuzzer's input into the pieces a harness needs: a few choice bytes first, the rest as
// the data under test. Reading past the end yields zeros, so every input is a valid one.
#include <cstddef>
#include <cstdint>
#include <string_view>

namespace snapkeep::fuzz {

class FuzzInput {
public:
    FuzzInput(const uint8_t* data, size_t size) : data_(data), size_(size) {}

    uint8_t Byte() { return offset_ < size_ ? data_[offset_++] : 0; }
    size_t Remaining() const { return size_ - offset_; }

    // Up to `count` bytes from the input, fewer at its end.
    std::string_view Bytes(size_t count) {
        const size_t n = count < Remaining() ? count : Remaining();
        std::string_view out(reinterpret_cast<const char*>(data_ + offset_), n);
        offset_ += n;
        return out;
    }
    std::string_view Rest() { return Bytes(Remaining()); }

private:
    const uint8_t* data_;
    size_t size_;
    size_t offset_ = 0;
};

} // namespace snapkeep::fuzz
