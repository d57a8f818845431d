#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "program/program.h"

using namespace dozu;

namespace {
using Lines = std::vector<std::string>;
using Steps = std::vector<uint8_t>;
}  // namespace

TEST(Program, ClicksInsertAfterTheSelection) {
    Program p;
    EXPECT_TRUE(p.TakeChanged());  // set when created
    EXPECT_FALSE(p.TakeChanged());
    EXPECT_TRUE(p.ButtonClick(1));
    EXPECT_EQ(p.lines().strings(), (Lines{"* "}));
    EXPECT_EQ(p.selected(), 0);
    EXPECT_TRUE(p.TakeChanged());
    p.ButtonClick(2);
    EXPECT_EQ(p.lines().strings(), (Lines{"* ", "= "}));
    EXPECT_EQ(p.selected(), 1);
    p.ButtonClick(6);
    p.ButtonClick(4);
    p.ButtonClick(17);
    p.select(2);
    p.ButtonClick(13);
    EXPECT_EQ(p.lines().strings(), (Lines{"* ", "= ", "S4 ", "B ", "R2 ", "^ "}));
    EXPECT_EQ(p.steps(), (Steps{1, 2, 6, 13, 4, 17}));
    EXPECT_EQ(p.selected(), 3);
    // With nothing selected a click inserts at the top.
    p.select(-1);
    p.ButtonClick(18);
    EXPECT_EQ(p.lines()[0], "V ");
    EXPECT_EQ(p.selected(), 0);
}

TEST(Program, EmptyCodesAndBadTagsDoNothing) {
    Program p;
    p.TakeChanged();
    for (int tag : {20, 21, 26, 0, 27, -1}) EXPECT_FALSE(p.ButtonClick(tag));
    EXPECT_TRUE(p.lines().empty());
    EXPECT_FALSE(p.TakeChanged());
}

TEST(Program, ClicksStopAtTheLineTextLimit) {
    Program p;
    // Lines of 1 MiB: 64 of them reach the limit, the 65th would pass it.
    p.table.set_cell(CommandTable::code_column(20), CommandTable::row_of(20), std::string((1 << 20) - 1, 'V'));
    for (int i = 0; i < 64; ++i) ASSERT_TRUE(p.ButtonClick(20));
    p.select(10);
    p.TakeChanged();
    try {
        p.ButtonClick(1);
        FAIL() << "no error";
    } catch (const ProgramTooLarge& e) {
        EXPECT_STREQ(e.what(), "program too large: its lines would hold 67108866 bytes, the limit is 64 MiB");
    }
    EXPECT_EQ(p.lines().size(), 64u);
    EXPECT_EQ(p.lines().text_size(), 64u << 20);
    EXPECT_EQ(p.steps().size(), 64u);
    EXPECT_EQ(p.selected(), 10);
    EXPECT_FALSE(p.TakeChanged());
}

TEST(Program, Delete) {
    Program p;
    p.ButtonClick(1);
    p.ButtonClick(2);
    p.ButtonClick(17);
    p.TakeChanged();
    p.remove_line(p.selected());
    p.LBCodeKeyDown();
    EXPECT_EQ(p.lines().strings(), (Lines{"* ", "= "}));
    EXPECT_EQ(p.steps(), (Steps{1, 2}));
    EXPECT_EQ(p.selected(), 1);
    EXPECT_TRUE(p.TakeChanged());
    p.select(0);
    p.remove_line(p.selected());
    p.LBCodeKeyDown();
    EXPECT_EQ(p.lines().strings(), (Lines{"= "}));
    EXPECT_EQ(p.selected(), 0);
    p.remove_line(p.selected());
    p.LBCodeKeyDown();
    EXPECT_TRUE(p.lines().empty());
    EXPECT_TRUE(p.steps().empty());
    EXPECT_EQ(p.selected(), -1);
    p.TakeChanged();
    // No selection: nothing changes, except that trace mode asks for a run.
    p.remove_line(p.selected());
    p.LBCodeKeyDown();
    EXPECT_FALSE(p.TakeChanged());
    p.CBTraceModeClick(true);
    EXPECT_TRUE(p.TakeChanged());
    p.remove_line(p.selected());
    p.LBCodeKeyDown();
    EXPECT_TRUE(p.TakeChanged());
    p.LBCodeKeyDown();  // any key in trace mode
    EXPECT_TRUE(p.TakeChanged());
}

TEST(Program, TraceModeAndRunCount) {
    Program p;
    for (int tag : {1, 6, 4, 2, 17}) p.ButtonClick(tag);
    EXPECT_EQ(p.run_count(), 5);
    p.CBTraceModeClick(true);
    EXPECT_EQ(p.run_count(), 5);  // the last line is selected
    p.TakeChanged();
    p.LBCodeClick(2);
    EXPECT_EQ(p.run_count(), 3);
    EXPECT_TRUE(p.TakeChanged());
    p.LBCodeClick(-1);
    EXPECT_EQ(p.run_count(), 0);
    p.CBTraceModeClick(false);
    EXPECT_TRUE(p.TakeChanged());
    p.LBCodeClick(1);
    EXPECT_FALSE(p.TakeChanged());  // a click outside trace mode runs nothing
    EXPECT_EQ(p.run_count(), 5);
}

TEST(Program, MessageClickSelectsTheTaggedLine) {
    Program p;
    for (int tag : {1, 6, 4}) p.ButtonClick(tag);
    p.TakeChanged();
    const MessageList messages = {{"a", 1}, {"b", 7}, {"c", -1}, {"d", 0}};
    p.LBMessagesClick(messages, 0);
    EXPECT_EQ(p.selected(), 1);
    p.LBMessagesClick(messages, 1);  // no such line
    EXPECT_EQ(p.selected(), 1);
    p.LBMessagesClick(messages, 2);
    EXPECT_EQ(p.selected(), 1);
    p.LBMessagesClick(messages, 4);  // no such message
    EXPECT_EQ(p.selected(), 1);
    p.LBMessagesClick(messages, 3);
    EXPECT_EQ(p.selected(), 0);
    EXPECT_FALSE(p.TakeChanged());
}

TEST(Program, NewBringsBackTheDefaultTable) {
    Program p;
    for (int tag : {1, 6}) p.ButtonClick(tag);
    p.table.set_cell(0, 1, "");
    p.table.set_cell(4, 13, "X");
    p.TakeChanged();
    p.new_program();
    EXPECT_EQ(p.table, CommandTable());
    EXPECT_TRUE(p.lines().empty() && p.steps().empty());
    EXPECT_EQ(p.selected(), -1);
    EXPECT_TRUE(p.TakeChanged());
}

TEST(Program, LockIsReentrant) {
    Program p;
    p.ButtonClick(1);
    const LineView lines = p.LockProgram();
    const LineView again = p.LockProgram();
    EXPECT_EQ(lines[0].data(), again[0].data());
    EXPECT_EQ(lines.size(), 1u);
    p.UnlockProgram();
    p.UnlockProgram();
}

// Several lines inserted, removed and moved at once against the same edits
// made one line at a time on a plain vector: a move up swaps each picked
// line with the one above it, top first (a move down, bottom first).
TEST(Program, EditsOfSeveralLinesMatchOneLineAtATime) {
    Program p;
    std::vector<std::pair<uint8_t, std::string>> expected;
    auto check = [&] {
        ASSERT_EQ(p.lines().size(), expected.size());
        for (size_t i = 0; i < expected.size(); ++i) {
            ASSERT_EQ(p.steps()[i], expected[i].first) << i;
            ASSERT_EQ(p.lines()[i], expected[i].second) << i;
        }
    };
    std::srand(7);
    auto pick = [&](size_t size, int one_in) {
        std::vector<int> rows;
        for (size_t row = 0; row < size; ++row)
            if (std::rand() % one_in == 0) rows.push_back(int(row));
        return rows;
    };
    for (int round = 0; round < 200; ++round) {
        const int what = std::rand() % 3;
        if (what == 0 || expected.size() < 5) {
            // Rows of the result: the last stands at most at its end.
            std::vector<int> rows = pick(expected.size() + 8, 3);
            while (!rows.empty() && size_t(rows.back()) >= expected.size() + rows.size()) rows.pop_back();
            std::vector<uint8_t> tags;
            std::vector<std::string> texts;
            for (const int row : rows) {
                tags.push_back(uint8_t(1 + std::rand() % 26));
                texts.push_back(std::string(size_t(1 + std::rand() % 4), char('a' + std::rand() % 26)) + " ");
                expected.insert(expected.begin() + row, {tags.back(), texts.back()});
            }
            p.insert_lines(rows, tags, texts);
            if (!rows.empty()) {
                EXPECT_EQ(p.selected(), rows.back());
            }
        } else if (what == 1) {
            const std::vector<int> rows = pick(expected.size(), 4);
            for (auto row = rows.rbegin(); row != rows.rend(); ++row) expected.erase(expected.begin() + *row);
            p.remove_lines(rows);
            if (!rows.empty()) {
                EXPECT_EQ(p.selected(), std::min(rows.front(), int(expected.size()) - 1));
            }
        } else {
            const std::vector<int> rows = pick(expected.size(), 3);
            const bool up = std::rand() % 2;
            const bool can = !rows.empty() && (up ? rows.front() > 0 : size_t(rows.back()) + 1 < expected.size());
            EXPECT_EQ(p.move_lines(rows, up), can);
            if (can && up)
                for (const int row : rows) std::swap(expected[size_t(row) - 1], expected[size_t(row)]);
            if (can && !up)
                for (auto row = rows.rbegin(); row != rows.rend(); ++row)
                    std::swap(expected[size_t(*row)], expected[size_t(*row) + 1]);
        }
        check();
    }
    // Past the line text limit nothing changes.
    const size_t size = p.lines().size();
    const std::string huge(kMaxLineText / 2 + 1, 'V');
    EXPECT_THROW(p.insert_lines({0, 1}, {18, 18}, std::vector<std::string>{huge, huge}), ProgramTooLarge);
    EXPECT_EQ(p.lines().size(), size);
}
