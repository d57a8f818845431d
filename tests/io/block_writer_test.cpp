// Blocks made on helper threads and written in order.
#include <gtest/gtest.h>

#include <cstring>
#include <new>
#include <stdexcept>
#include <string>

#include "io/block_writer.h"
#include "io/byte_sink.h"

using namespace dozu;

namespace {

std::string block_text(size_t b) { return "block " + std::to_string(b) + std::string(b % 7, '.') + "\n"; }

class FailingSink final : public ByteSink {
public:
    using ByteSink::write;
    void write(const void*, size_t) override {
        if (++writes == 100) throw std::runtime_error("disk full");
    }
    int writes = 0;
};

}  // namespace

TEST(BlockWriter, BlocksArriveInOrderAndFailuresEndTheWriting) {
    const auto make = [](size_t b, char* out) {
        const std::string text = block_text(b);
        std::memcpy(out, text.data(), text.size());
        return text.size();
    };
    for (const size_t count : {0, 1, 3, 1000}) {
        StringSink sink;
        write_blocks(sink, count, 64, make);
        std::string expected;
        for (size_t b = 0; b < count; ++b) expected += block_text(b);
        EXPECT_EQ(sink.bytes, expected) << count;
    }
    StringSink sink;
    EXPECT_THROW(write_blocks(sink, 1000, 64,
                              [&](size_t b, char* out) -> size_t {
                                  if (b == 500) throw std::bad_alloc();
                                  return make(b, out);
                              }),
                 std::bad_alloc);
    FailingSink failing;
    EXPECT_THROW(write_blocks(failing, 1000, 64, make), std::runtime_error);
}
