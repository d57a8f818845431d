// File names kept as their bytes through QStrings, the recent files that
// store them, and the word on a name a file dialog could not hold.
#include "ui/path_bytes.h"

#include <gtest/gtest.h>

#include <QSettings>
#include <random>

#include "support/temp_dir.h"
#include "ui/recent_files.h"

using namespace dozu;

TEST(PathBytes, EveryByteStringComesBackAndOnlyUtf8ReadsAsText) {
    std::mt19937 random(16);
    // Bytes around the sequences' edges: ASCII, continuations, overlong
    // and surrogate leads, the last code points.
    const std::string pieces[] = {"a",
                                  "/",
                                  "\x80",
                                  "\xBF",
                                  "\xC0",
                                  "\xC1\xBF",
                                  "\xC2\x80",
                                  "\xDF\xBF",
                                  "\xE0\x80\x80",
                                  "\xE0\xA0\x80",
                                  "\xED\xA0\x80",
                                  "\xED\x9F\xBF",
                                  "\xEF\xBF\xBD",
                                  "\xF0\x90\x80\x80",
                                  "\xF4\x8F\xBF\xBF",
                                  "\xF4\x90\x80\x80",
                                  "\xF8",
                                  "\xFF"};
    for (int i = 0; i < 5000; ++i) {
        std::string bytes;
        for (int n = int(random() % 6); n > 0; --n) bytes += pieces[random() % std::size(pieces)];
        if (i % 2) bytes += char(random() % 256);
        const QString path = path_from_bytes(bytes);
        ASSERT_EQ(path_bytes(path), bytes);
        // Qt's own decoder as the judge of what is valid UTF-8.
        const bool utf8 = QString::fromUtf8(bytes).toUtf8().toStdString() == bytes;
        ASSERT_EQ(shown_path(path) == path, utf8);
        if (utf8) ASSERT_EQ(path, QString::fromUtf8(bytes));
    }
    EXPECT_EQ(shown_file_name(path_from_bytes("/d\xFF/bad\xFF.tpg")), QString("bad\uFFFD.tpg"));
    EXPECT_EQ(path_bytes(absolute_path(path_from_bytes("/d\xFF/./x/../bad\xFF.tpg"))), "/d\xFF/bad\xFF.tpg");
}

TEST(PathBytes, RecentFilesKeepTheBytesAndAnUnheldNameIsNamed) {
    const dozu::testing::TempDir dir;
    QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, QString::fromStdString(dir / "config"));
    // As the editor wrote a list of one before it kept bytes.
    std::filesystem::create_directories(dir / "config/dozu");
    const std::string old = "[General]\nrecentFiles=/x/old.tpg\n";
    dozu::testing::write_bytes(dir / "config/dozu/dozu.conf", {old.begin(), old.end()});
    RecentFiles recent;
    EXPECT_EQ(recent.list(), QStringList{"/x/old.tpg"});
    const std::string bad = dir / "bad\xFF.tpg", good = dir / "good.tpg";
    dozu::testing::write_bytes(bad, {});
    recent.add(path_from_bytes(bad));
    recent.add(QString::fromStdString(good));
    ASSERT_EQ(recent.list().size(), 3);
    EXPECT_EQ(recent.list()[0].toStdString(), good);
    EXPECT_EQ(path_bytes(recent.list()[1]), bad);

    // What a file dialog gives for it: U+FFFD in place of the byte.
    const QString chosen = QString::fromStdString(dir / "bad") + QChar(0xFFFD) + ".tpg";
    EXPECT_TRUE(unheld_name_problem(chosen).contains("not UTF-8")) << unheld_name_problem(chosen).toStdString();
    const QString in_folder = QString::fromStdString(dir / "d") + QChar(0xFFFD) + "/p.tpg";
    EXPECT_FALSE(unheld_name_problem(in_folder).isEmpty());
    // A new name, or one that really holds U+FFFD, is left to the save.
    EXPECT_EQ(unheld_name_problem(QString::fromStdString(dir / "new") + QChar(0xFFFD) + ".tpg"), "");
    dozu::testing::write_bytes(path_bytes(chosen), {});
    EXPECT_EQ(unheld_name_problem(chosen), "");
    EXPECT_EQ(unheld_name_problem(QString::fromStdString(good)), "");
}
