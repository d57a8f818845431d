// The C reader of program files against the editor's load: every file of
// the fuzzers' corpus, the examples and the samples, each also cut short
// and with bytes changed, and files at and past the editor's limits.
#include <gtest/gtest.h>

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
            ASSERT_EQ(tpg_by_runtime(bytes), tpg_by_editor(bytes)) << entry.path();
            for (int k = 0; k < 20; ++k) {
                std::vector<uint8_t> cut(bytes.begin(), bytes.begin() + long(rng() % (bytes.size() + 1))),
                    changed = bytes;
                for (int n = 1 + int(rng() % 3); n > 0 && !changed.empty(); --n)
                    changed[rng() % changed.size()] =
                        rng() % 2 ? odd_bytes[rng() % std::size(odd_bytes)] : uint8_t(rng());
                ASSERT_EQ(tpg_by_runtime(cut), tpg_by_editor(cut)) << entry.path() << " cut at " << cut.size();
                ASSERT_EQ(tpg_by_runtime(changed), tpg_by_editor(changed)) << entry.path() << " changed";
            }
            ++files;
        }
    }
    EXPECT_GE(files, 90);
}

// A file of 16 MiB is read and one byte more refused; so are lines of more
// than 64 MiB.
TEST(RuntimeTpg, RefusesWhatTheEditorRefuses) {
    std::vector<uint8_t> at_limit = encode_program_file(CommandTable(), {1, 6, 4, 2, 17});
    at_limit.resize(kMaxProgramFileSize, 0);  // steps of skipped bytes, past the hundred listed
    std::vector<uint8_t> past_limit = at_limit;
    past_limit.push_back(1);
    CommandTable table;
    table.set_cell(CommandTable::code_column(1), CommandTable::row_of(1), std::string(1 << 20, '*'));
    const std::pair<std::vector<uint8_t>, int> files[] = {
        {at_limit, DOZU_OK},
        {past_limit, DOZU_ERROR_FATAL},
        {encode_program_file(table, std::vector<uint8_t>(63, 1)), DOZU_OK},           // lines of 63 MiB
        {encode_program_file(table, std::vector<uint8_t>(64, 1)), DOZU_ERROR_FATAL},  // and 64 bytes more
    };
    for (const auto& [bytes, status] : files) {
        const TpgRead read = tpg_by_runtime(bytes);
        EXPECT_EQ(read, tpg_by_editor(bytes));
        EXPECT_EQ(read.status, status);
    }
    dozu_tpg tpg;
    EXPECT_EQ(dozu_tpg_read(nullptr, 1, &tpg, nullptr, nullptr, nullptr), DOZU_ERROR_ARGUMENT);
}
