// File names kept as their bytes through QStrings, and the recent files
// that store them.
#include "ui/path_bytes.h"

#include <gtest/gtest.h>

#include <QSettings>
#include <random>

#include "support/temp_dir.h"
#include "ui/recent_files.h"

using namespace dozu;

// Byte strings made of the edges of UTF-8 (continuations, overlong and
// surrogate leads, the last code points), judged by Qt's own decoder.
TEST(PathBytes, EveryByteStringComesBackAndOnlyUtf8ReadsAsText) {
    const std::string pieces[] = {"a",
                                  "\x80",
                                  "\xC1\xBF",
                                  "\xC2\x80",
                                  "\xE0\x80\x80",
                                  "\xE0\xA0\x80",
                                  "\xED\xA0\x80",
                                  "\xEF\xBF\xBD",
                                  "\xF4\x8F\xBF\xBF",
                                  "\xF4\x90\x80\x80",
                                  "\xFF"};
    std::mt19937 random(16);
    for (int i = 0; i < 5000; ++i) {
        std::string bytes(size_t(i % 2), char(random()));
        for (int n = int(random() % 6); n > 0; --n) bytes += pieces[random() % std::size(pieces)];
        const QString path = path_from_bytes(bytes);
        ASSERT_EQ(path_bytes(path), bytes);
        const bool utf8 = QString::fromUtf8(bytes).toUtf8().toStdString() == bytes;
        ASSERT_EQ(shown_path(path) == path, utf8);
        if (utf8) ASSERT_EQ(path, QString::fromUtf8(bytes));
    }
    EXPECT_EQ(path_bytes(absolute_path(path_from_bytes("/d\xFF/./x/../b\xFF"))), "/d\xFF/b\xFF");
}

TEST(PathBytes, RecentFilesKeepTheBytesAndReadTheOldList) {
    const dozu::testing::TempDir dir;
    QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, QString::fromStdString(dir / "config"));
    // A list of one, as the editor wrote it before it kept bytes.
    std::filesystem::create_directories(dir / "config/dozu");
    const std::string old = "[General]\nrecentFiles=/x/old.tpg\n";
    dozu::testing::write_bytes(dir / "config/dozu/dozu.conf", {old.begin(), old.end()});
    RecentFiles recent;
    recent.add(path_from_bytes("/x/bad\xFF.tpg"));
    ASSERT_EQ(recent.list().size(), 2);
    EXPECT_EQ(path_bytes(recent.list()[0]), "/x/bad\xFF.tpg");
    EXPECT_EQ(recent.list()[1], "/x/old.tpg");
}
