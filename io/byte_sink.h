// Where writers put their bytes: a file being written, standard output, or
// memory. A sink reports a failed write by throwing.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace dozu {

class ByteSink {
public:
    virtual ~ByteSink() = default;
    virtual void write(const void* data, size_t size) = 0;
    void write(std::string_view text) { write(text.data(), text.size()); }
};

class StringSink final : public ByteSink {
public:
    using ByteSink::write;
    void write(const void* data, size_t size) override { bytes.append(static_cast<const char*>(data), size); }
    std::string bytes;
};

}  // namespace dozu
