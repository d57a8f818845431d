// Bytes and text gathered in a fixed buffer and handed to a sink in large
// pieces, so that a writer can put out a file of any size field by field
// with little memory and few calls. Floats are written as the shortest text
// that reads back as the same single-precision value.
#pragma once

#include <charconv>
#include <cstdint>
#include <cstring>
#include <memory>
#include <string_view>

#include "io/byte_sink.h"
#include "io/little_endian.h"

namespace dozu {

class OutBuffer {
public:
    explicit OutBuffer(ByteSink& sink) : sink_(sink), buffer_(new char[kSize]) {}
    OutBuffer(const OutBuffer&) = delete;
    OutBuffer& operator=(const OutBuffer&) = delete;
    // What is still held is lost unless flush was called: a writer that
    // failed half way must not hand on a tail.

    void put(std::string_view text) {
        if (text.size() > kSize - used_) {
            flush();
            if (text.size() > kSize) return sink_.write(text.data(), text.size());
        }
        std::memcpy(buffer_.get() + used_, text.data(), text.size());
        used_ += text.size();
    }
    void put(char c) { *room(1) = c, ++used_; }
    void put_float(float v) { put_chars(v); }
    void put_uint(uint64_t v) { put_chars(v); }

    // Little-endian binary fields.
    void put_u8(uint8_t v) { put(char(v)); }
    void put_u16(uint16_t v) {
        put_little_endian(room(2), v, 2);
        used_ += 2;
    }
    void put_u32(uint32_t v) {
        put_little_endian(room(4), v, 4);
        used_ += 4;
    }
    void put_f32(float v) {
        uint32_t bits;
        std::memcpy(&bits, &v, 4);
        put_u32(bits);
    }

    void flush() {
        if (used_) sink_.write(buffer_.get(), used_);
        used_ = 0;
    }

private:
    static constexpr size_t kSize = size_t(256) << 10;
    // The longest text of one number: a double in its shortest form.
    static constexpr size_t kNumber = 32;

    char* room(size_t n) {
        if (n > kSize - used_) flush();
        return buffer_.get() + used_;
    }
    template <typename T>
    void put_chars(T v) {
        char* p = room(kNumber);
        used_ = size_t(std::to_chars(p, p + kNumber, v).ptr - buffer_.get());
    }

    ByteSink& sink_;
    std::unique_ptr<char[]> buffer_;
    size_t used_ = 0;
};

}  // namespace dozu
