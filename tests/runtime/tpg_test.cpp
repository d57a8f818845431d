// The C reader of program files against the editor's load: every file of
// the fuzzers' corpus, the examples and the samples, each also cut short
// and with bytes changed, and the files at and past the editor's limits.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <random>
#include <string>
#include <vector>

#include "io/file_io.h"
#include "program/program_file.h"
#include "support/tpg_reference.h"

using namespace dozu;
using namespace dozu::testing;

TEST(RuntimeTpg, ReadsEveryFileAsTheEditorLoadsIt) {
    std::mt19937 rng(20240613);
    const uint8_t odd_bytes[] = {0x00, 0x1F, 0x20, 0xFF, 26, 27, 1, 0xC8};
    int files = 0;
    for (const char* dir : {DOZU_SOURCE_DIR "/fuzz/corpus/tpg", DOZU_EXAMPLES, DOZU_TEST_DATA "/samples"}) {
        for (const auto& entry : std::filesystem::directory_iterator(dir)) {
            if (!std::string(dir).ends_with("corpus/tpg") && entry.path().extension() != ".tpg") continue;
            const std::vector<uint8_t> bytes = read_file(entry.path().string(), kMaxProgramFileSize);
            ASSERT_EQ(tpg_difference(bytes), "") << entry.path();
            for (int k = 0; k < 20; ++k) {
                std::vector<uint8_t> cut(bytes.begin(), bytes.begin() + long(rng() % (bytes.size() + 1)));
                ASSERT_EQ(tpg_difference(cut), "") << entry.path() << " cut at " << cut.size();
                std::vector<uint8_t> changed = bytes;
                for (int n = 1 + int(rng() % 3); n > 0 && !changed.empty(); --n)
                    changed[rng() % changed.size()] =
                        rng() % 2 ? odd_bytes[rng() % std::size(odd_bytes)] : uint8_t(rng());
                ASSERT_EQ(tpg_difference(changed), "") << entry.path() << " changed";
            }
            ++files;
        }
    }
    EXPECT_GE(files, 90);
}

// The limits: a file of 16 MiB is read and one byte more refused; lines of
// more than 64 MiB are refused; past a hundred skipped step bytes the rest
// are counted. A refused allocation or argument leaves nothing to release.
TEST(RuntimeTpg, RefusesWhatTheEditorRefuses) {
    std::vector<uint8_t> bytes = encode_program_file(CommandTable(), {1, 6, 4, 2, 17});
    bytes.resize(kMaxProgramFileSize, 0);
    EXPECT_EQ(tpg_difference(bytes), "");
    EXPECT_EQ(tpg_by_runtime(bytes).status, DOZU_OK);
    bytes.push_back(1);
    EXPECT_EQ(tpg_difference(bytes), "");
    EXPECT_EQ(tpg_by_runtime(bytes).messages, std::vector<std::string>{"1 the file is larger than 16 MiB"});

    CommandTable table;
    table.set_cell(CommandTable::code_column(1), CommandTable::row_of(1), std::string(1 << 20, '*'));
    for (const size_t clicks : {63, 64}) {
        SCOPED_TRACE(clicks);
        bytes = encode_program_file(table, std::vector<uint8_t>(clicks, 1));
        EXPECT_EQ(tpg_difference(bytes), "");
        EXPECT_EQ(tpg_by_runtime(bytes).status, clicks == 63 ? DOZU_OK : DOZU_ERROR_FATAL);
    }

    dozu_tpg tpg;
    EXPECT_EQ(dozu_tpg_read(nullptr, 1, &tpg, nullptr, nullptr, nullptr), DOZU_ERROR_ARGUMENT);
    EXPECT_EQ(dozu_tpg_read(bytes.data(), 0, nullptr, nullptr, nullptr, nullptr), DOZU_ERROR_ARGUMENT);
    struct Refusing {
        int live = 0;
        dozu_allocator alloc{[](void* user, size_t bytes) -> void* {
                                 auto* self = static_cast<Refusing*>(user);
                                 if (self->live > 0) return nullptr;
                                 ++self->live;
                                 return std::malloc(bytes);
                             },
                             [](void* user, void* block) {
                                 --static_cast<Refusing*>(user)->live;
                                 std::free(block);
                             },
                             this};
    } refusing;
    bytes = encode_program_file(CommandTable(), {1, 6, 4, 2, 17});
    EXPECT_EQ(dozu_tpg_read(bytes.data(), bytes.size(), &tpg, &refusing.alloc, nullptr, nullptr),
              DOZU_ERROR_MEMORY);
    EXPECT_EQ(refusing.live, 0);
    EXPECT_EQ(tpg.text, nullptr);
}
