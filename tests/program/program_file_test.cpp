#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <sys/wait.h>
#include <unistd.h>

#include <csignal>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

#include "io/file_io.h"
#include "program/program.h"
#include "support/temp_dir.h"

using namespace dozu;
using namespace dozu::testing;

namespace {

using Bytes = std::vector<uint8_t>;

Bytes default_table_bytes() { return encode_program_file(CommandTable(), {}); }

}  // namespace

TEST(ProgramFile, DefaultTableRoundTrip) {
    TempDir dir;
    Program p;
    p.SaveProgram(dir / "empty.tpg", false);
    const Bytes empty = read_bytes(dir / "empty.tpg");
    EXPECT_EQ(empty.size(), 423u);
    size_t separators = 0;
    for (uint8_t b : empty) separators += b == 0xFF;
    EXPECT_EQ(separators, 78u);

    p.ButtonClick(1);
    p.ButtonClick(2);
    p.SaveProgram(dir / "two.tpg", false);
    const Bytes two = read_bytes(dir / "two.tpg");
    ASSERT_EQ(two.size(), 425u);
    EXPECT_EQ(two[423], 1);
    EXPECT_EQ(two[424], 2);

    Program q;
    q.TakeChanged();
    q.table.set_cell(0, 1, "changed");
    EXPECT_TRUE(q.LoadProgram(dir / "two.tpg").skipped.empty());
    EXPECT_EQ(q.table, CommandTable());
    EXPECT_EQ(q.lines().strings(), (std::vector<std::string>{"* ", "= "}));
    EXPECT_EQ(q.steps(), (Bytes{1, 2}));
    EXPECT_EQ(q.selected(), 1);
    EXPECT_TRUE(q.TakeChanged());
}

TEST(ProgramFile, LoadUsesTheLoadedTable) {
    TempDir dir;
    CommandTable t;
    t.set_cell(4, 2, "");      // tag 4 (grow_r) inserts nothing
    t.set_cell(1, 1, "*S4");   // tag 1 has a longer code
    t.set_cell(0, 2, "\xAF");  // 8-bit titles survive
    write_bytes(dir / "p.tpg", encode_program_file(t, {1, 4, 2}));
    Program p;
    p.LoadProgram(dir / "p.tpg");
    EXPECT_EQ(p.lines().strings(), (std::vector<std::string>{"*S4 ", "= "}));
    EXPECT_EQ(p.steps(), (Bytes{1, 2}));
    EXPECT_EQ(p.table.title(3), "\xAF");
}

TEST(ProgramFile, ShortFilesAndStrayStepBytes) {
    // A file that ends inside the table: the rest of the cells are empty.
    Bytes bytes = {'a', 0xFF, 'b'};
    ProgramFileData d = parse_program_file(bytes);
    EXPECT_EQ(d.cells[0], "a");
    EXPECT_EQ(d.cells[1], "b");
    EXPECT_EQ(d.cells[2], "");
    EXPECT_TRUE(d.steps.empty());
    EXPECT_EQ(short_table_warning(d.cells_read), "file ends after 2 of 78 table cells; the rest are empty");
    EXPECT_EQ(parse_program_file({}).cells[0], "");
    EXPECT_EQ(parse_program_file({}).cells_read, 0u);
    bytes = default_table_bytes();
    EXPECT_EQ(parse_program_file(bytes).cells_read, 78u);
    EXPECT_EQ(short_table_warning(78), "");
    bytes.pop_back();  // the last cell is empty: without its separator it is missing
    EXPECT_EQ(parse_program_file(bytes).cells_read, 77u);

    bytes = default_table_bytes();
    bytes.insert(bytes.end(), {1, 0, 27, 2, 200, 26});
    d = parse_program_file(bytes);
    EXPECT_EQ(d.steps, (Bytes{1, 2, 26}));
    ASSERT_EQ(d.skipped.size(), 3u);
    EXPECT_EQ(d.skipped[0].byte, 0);
    EXPECT_EQ(d.skipped[0].offset, 424u);
    EXPECT_EQ(d.skipped[1].byte, 27);
    EXPECT_EQ(d.skipped[2].offset, 427u);
}

// A file without a program file's shape still loads, but is named as such,
// by the first sign in file order.
TEST(ProgramFile, WhatDoesNotLookLikeAProgram) {
    const auto reason = [](Bytes bytes, const Bytes& steps) {
        bytes.insert(bytes.end(), steps.begin(), steps.end());
        return not_a_program_reason(parse_program_file(bytes));
    };
    const Bytes table = default_table_bytes();
    EXPECT_EQ(reason(table, {}), "");
    EXPECT_EQ(reason(table, {1, 0}), "");  // half outside 1 to 26 is not more than half
    EXPECT_EQ(reason(table, {1, 0, 27}), "2 of its 3 step bytes lie outside 1 to 26");
    EXPECT_EQ(reason(Bytes(table.begin(), table.end() - 1), {}), "its table ends before the 78th cell");
    Bytes tab = table;
    tab[7] = '\t';  // in the third cell, "turtle:init_stack_frame"
    EXPECT_EQ(reason(tab, {0, 0, 0}), "table cell 3 holds the byte 0x09");
    EXPECT_EQ(Program::prepare({'*', 0x1F, 0xFF}).report.not_a_program, "table cell 1 holds the byte 0x1F");
}

TEST(ProgramFile, CompiledOutput) {
    CommandTable t;
    const Bytes steps = {1, 6, 4, 2, 17};
    const Bytes c = encode_compiled(t, steps);
    std::string expected =
        "turtle:init_stack_frame\xFF"
        "turtle:grow_s\xFF"
        "turtle:grow_r\xFF"
        "turtle:first\xFF"
        "turtle:go\xFF";
    EXPECT_EQ(std::string(c.begin(), c.end()), expected);
    EXPECT_TRUE(encode_compiled(t, {}).empty());
    EXPECT_EQ(encode_compiled(t, {20}), (Bytes{0xFF}));

    // The compiled save reads the table at the moment of saving.
    TempDir dir;
    Program p;
    p.ButtonClick(1);
    p.table.set_cell(2, 1, "new:init");
    p.SaveProgram(dir / "out", true);
    EXPECT_EQ(read_text(dir / "out"), "new:init\xFF");
    Program empty;
    empty.SaveProgram(dir / "none", true);
    EXPECT_TRUE(read_bytes(dir / "none").empty());
}

TEST(ProgramFile, UnreadableFilesChangeNothing) {
    TempDir dir;
    Program p;
    p.ButtonClick(1);
    p.table.set_cell(0, 1, "mine");
    p.TakeChanged();
    auto unchanged = [&] {
        EXPECT_EQ(p.lines().strings(), (std::vector<std::string>{"* "}));
        EXPECT_EQ(p.table.title(1), "mine");
        EXPECT_FALSE(p.TakeChanged());
    };
    try {
        p.LoadProgram(dir / "missing.tpg");
        FAIL() << "no error";
    } catch (const FileError& e) {
        EXPECT_NE(std::string(e.what()).find("missing.tpg"), std::string::npos);
        EXPECT_NE(std::string(e.what()).find("No such file"), std::string::npos);
    }
    unchanged();
    EXPECT_THROW(p.LoadProgram(dir.path().string()), FileError);  // a directory
    unchanged();
    Bytes big = default_table_bytes();
    big.resize(kMaxProgramFileSize + 1, 20);
    write_bytes(dir / "big.tpg", big);
    try {
        p.LoadProgram(dir / "big.tpg");
        FAIL() << "no error";
    } catch (const FileError& e) {
        EXPECT_NE(std::string(e.what()).find("larger than 16 MiB"), std::string::npos);
    }
    unchanged();
    // Exactly 16 MiB is accepted (its steps are of an empty button here).
    big.resize(kMaxProgramFileSize, 20);
    big[423] = 1;
    write_bytes(dir / "big.tpg", big);
    EXPECT_TRUE(p.LoadProgram(dir / "big.tpg").skipped.empty());
    EXPECT_EQ(p.lines().strings(), (std::vector<std::string>{"* "}));
    EXPECT_EQ(p.table.title(1), "init");
}

TEST(ProgramFile, ALoadWhoseLinesWouldPassTheLimitChangesNothing) {
    TempDir dir;
    Program p;
    p.ButtonClick(1);
    p.table.set_cell(0, 1, "mine");
    p.TakeChanged();
    // One 64 KiB code on 65,536 steps would make lines of 4 GiB.
    CommandTable table;
    table.set_cell(CommandTable::code_column(20), CommandTable::row_of(20), std::string(65536, '^'));
    write_bytes(dir / "big.tpg", encode_program_file(table, Bytes(65536, 20)));
    EXPECT_THROW(p.LoadProgram(dir / "big.tpg"), ProgramTooLarge);
    EXPECT_EQ(p.lines().strings(), (std::vector<std::string>{"* "}));
    EXPECT_EQ(p.steps(), (Bytes{1}));
    EXPECT_EQ(p.table.title(1), "mine");
    EXPECT_EQ(p.table.interpreter_code(20), CommandTable().interpreter_code(20));
    EXPECT_EQ(p.selected(), 0);
    EXPECT_FALSE(p.TakeChanged());
}

TEST(AtomicWrite, FailedSaveLeavesTheOldFile) {
    TempDir dir;
    Program p;
    p.SaveProgram(dir / "keep.tpg", false);
    const Bytes before = read_bytes(dir / "keep.tpg");
    for (int i = 0; i < 5000; ++i) p.ButtonClick(17);

    // A file size limit below the new file makes the write fail half way.
    struct rlimit old_limit;
    ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &old_limit), 0);
    struct rlimit small = old_limit;
    small.rlim_cur = 1000;
    auto old_handler = std::signal(SIGXFSZ, SIG_IGN);
    ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &small), 0);
    bool failed = false;
    try {
        p.SaveProgram(dir / "keep.tpg", false);
    } catch (const FileError& e) {
        failed = true;
        EXPECT_NE(std::string(e.what()).find("keep.tpg"), std::string::npos);
    }
    setrlimit(RLIMIT_FSIZE, &old_limit);
    std::signal(SIGXFSZ, old_handler);
    EXPECT_TRUE(failed);
    EXPECT_EQ(read_bytes(dir / "keep.tpg"), before);
    EXPECT_EQ(dir.entries(), 1u);
}
