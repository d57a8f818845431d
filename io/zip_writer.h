// A ZIP archive written front to back into a sink, with no seeking back:
// each member is deflated as it comes and its sizes and checksum follow it
// in a data descriptor, so a member of any size takes a fixed amount of
// memory. ZIP64 records are written where sizes or offsets need them.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "io/byte_sink.h"

namespace dozu {

class ZipWriter {
public:
    explicit ZipWriter(ByteSink& sink);
    ~ZipWriter();
    ZipWriter(const ZipWriter&) = delete;
    ZipWriter& operator=(const ZipWriter&) = delete;

    // Starts a member; its contents go into the returned sink until the
    // next begin or finish. max_size bounds what it will hold (it decides
    // whether the member needs ZIP64 sizes); more throws.
    ByteSink& begin(const std::string& name, uint64_t max_size);
    void add(const std::string& name, std::string_view contents);
    // Ends the last member and writes the central directory.
    void finish();

private:
    class Member;
    struct Entry {
        std::string name;
        uint32_t crc;
        uint64_t compressed, size, offset;
        bool zip64;
    };
    void end_member();
    void put(const void* data, size_t size);

    ByteSink& sink_;
    std::unique_ptr<Member> member_;
    std::vector<Entry> entries_;
    uint64_t offset_ = 0;
};

}  // namespace dozu
