// File names as the system holds them, bytes in no set encoding, carried in
// the QStrings that the editor's windows pass around. A name that is valid
// UTF-8 reads as its text; each byte that is not part of a valid sequence
// becomes the lone surrogate U+DC80 + (byte - 0x80), which no decoded text
// holds, so that the name goes back to the same bytes. (Qt's own
// conversions turn such a byte into U+FFFD, and the file is lost.)
#pragma once

#include <QString>
#include <string>
#include <string_view>

namespace dozu {

QString path_from_bytes(std::string_view bytes);
std::string path_bytes(const QString& path);
// The name as a window shows it: a byte that is not UTF-8 as U+FFFD.
QString shown_path(const QString& path);
// The last part of the name, as shown.
QString shown_file_name(const QString& path);
// The path made absolute by its bytes (the current folder's name need not
// be UTF-8 either), with "." and ".." parts resolved by name.
QString absolute_path(const QString& path);

// A file dialog lists names through Qt, which cannot hold one that is not
// UTF-8: choosing "bad\xff.tpg" gives "bad\uFFFD.tpg", which names another
// file, or none. For a name a dialog gave, this says so plainly when it
// stands for such a file or lies in such a folder; empty otherwise.
QString unheld_name_problem(const QString& chosen);

}  // namespace dozu
