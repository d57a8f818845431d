// Archives written front to back, read by libzip.
#include <gtest/gtest.h>
#include <zip.h>

#include <string>

#include "io/byte_sink.h"
#include "io/zip_writer.h"

using namespace dozu;

namespace {

// Each member's contents by name, as libzip reads them from the bytes.
std::string member(const std::string& archive, const char* name) {
    zip_error_t error;
    zip_error_init(&error);
    zip_source_t* source = zip_source_buffer_create(archive.data(), archive.size(), 0, &error);
    zip_t* zip = source ? zip_open_from_source(source, ZIP_CHECKCONS | ZIP_RDONLY, &error) : nullptr;
    std::string text = "unreadable";
    zip_stat_t st;
    if (zip && zip_stat(zip, name, 0, &st) == 0) {
        if (zip_file_t* file = zip_fopen(zip, name, 0)) {
            text.assign(st.size, '\0');
            if (zip_fread(file, text.data(), st.size) != zip_int64_t(st.size)) text = "short";
            zip_fclose(file);
        }
    }
    if (zip)
        zip_close(zip);
    else if (source)
        zip_source_free(source);
    zip_error_fini(&error);
    return text;
}

}  // namespace

TEST(ZipWriter, MembersOfAnySizeReadBack) {
    StringSink sink;
    ZipWriter zip(sink);
    zip.add("small.txt", "hello");
    // Stated as larger than 4 GiB: its sizes go into ZIP64 fields.
    ByteSink& big = zip.begin("dir/big.txt", uint64_t(5) << 30);
    std::string text;
    for (int i = 0; i < 20000; ++i) text += "line " + std::to_string(i) + "\n";
    big.write(text.data(), text.size() / 2);
    big.write(text.data() + text.size() / 2, text.size() - text.size() / 2);
    zip.add("empty", "");
    zip.finish();
    EXPECT_EQ(member(sink.bytes, "small.txt"), "hello");
    EXPECT_EQ(member(sink.bytes, "dir/big.txt"), text);
    EXPECT_EQ(member(sink.bytes, "empty"), "");
    EXPECT_LT(sink.bytes.size(), text.size() / 2);  // deflated

    StringSink other;
    ZipWriter bounded(other);
    EXPECT_THROW(bounded.begin("x", 3).write("four", 4), std::length_error);
}
