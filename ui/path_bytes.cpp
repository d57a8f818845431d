#include "ui/path_bytes.h"

#include <cstdint>
#include <filesystem>
#include <system_error>

namespace dozu {

namespace {

constexpr char16_t kEscapeBase = 0xDC00;
constexpr QChar kReplacement(0xFFFD);

// The length of the valid UTF-8 sequence that starts the bytes, or 0.
size_t sequence_length(std::string_view s) {
    const auto byte = [&](size_t i) { return uint8_t(s[i]); };
    const uint8_t c = byte(0);
    if (c < 0x80) return 1;
    size_t length;
    uint32_t code, least;
    if (c >= 0xC2 && c <= 0xDF) {
        length = 2, code = c & 0x1Fu, least = 0x80;
    } else if ((c & 0xF0) == 0xE0) {
        length = 3, code = c & 0x0Fu, least = 0x800;
    } else if (c >= 0xF0 && c <= 0xF4) {
        length = 4, code = c & 0x07u, least = 0x10000;
    } else {
        return 0;
    }
    if (s.size() < length) return 0;
    for (size_t i = 1; i < length; ++i) {
        if ((byte(i) & 0xC0) != 0x80) return 0;
        code = code << 6 | (byte(i) & 0x3Fu);
    }
    if (code < least || code > 0x10FFFF || (code >= 0xD800 && code <= 0xDFFF)) return 0;
    return length;
}

bool escaped(const QString& text, qsizetype i) {
    const char16_t unit = text[i].unicode();
    return unit >= kEscapeBase + 0x80 && unit <= kEscapeBase + 0xFF && (i == 0 || !text[i - 1].isHighSurrogate());
}

bool valid_utf8(std::string_view s) {
    for (size_t i = 0; i < s.size();) {
        const size_t n = sequence_length(s.substr(i));
        if (n == 0) return false;
        i += n;
    }
    return true;
}

}  // namespace

QString path_from_bytes(std::string_view bytes) {
    QString path;
    size_t run = 0;  // the start of the valid bytes not yet added
    for (size_t i = 0; i < bytes.size();) {
        const size_t n = sequence_length(bytes.substr(i));
        if (n > 0) {
            i += n;
            continue;
        }
        path += QString::fromUtf8(bytes.data() + run, qsizetype(i - run));
        path += QChar(char16_t(kEscapeBase + uint8_t(bytes[i])));
        run = ++i;
    }
    return path + QString::fromUtf8(bytes.data() + run, qsizetype(bytes.size() - run));
}

std::string path_bytes(const QString& path) {
    std::string bytes;
    qsizetype run = 0;
    for (qsizetype i = 0; i < path.size(); ++i) {
        if (!escaped(path, i)) continue;
        bytes += QStringView(path).mid(run, i - run).toUtf8().toStdString();
        bytes += char(path[i].unicode() - kEscapeBase);
        run = i + 1;
    }
    return bytes + QStringView(path).mid(run).toUtf8().toStdString();
}

QString shown_path(const QString& path) {
    QString shown = path;
    for (qsizetype i = 0; i < shown.size(); ++i)
        if (escaped(path, i)) shown[i] = kReplacement;
    return shown;
}

QString shown_file_name(const QString& path) {
    const QString shown = shown_path(path);
    return shown.mid(shown.lastIndexOf('/') + 1);
}

QString absolute_path(const QString& path) {
    if (path.isEmpty()) return path;
    std::filesystem::path p(path_bytes(path));
    std::error_code error;
    if (p.is_relative()) {
        const std::filesystem::path here = std::filesystem::current_path(error);
        if (!error) p = here / p;
    }
    return path_from_bytes(p.lexically_normal().native());
}

QString unheld_name_problem(const QString& chosen) {
    if (!chosen.contains(kReplacement)) return {};
    const std::filesystem::path path(path_bytes(chosen));
    std::error_code error;
    // A name that really holds U+FFFD.
    if (std::filesystem::symlink_status(path, error).type() != std::filesystem::file_type::not_found) return {};
    const std::filesystem::path folder = path.parent_path();
    bool unheld = false;
    if (!std::filesystem::is_directory(folder, error)) {
        unheld = path_from_bytes(folder.native()).contains(kReplacement);
    } else {
        const QString name = shown_file_name(chosen);
        for (std::filesystem::directory_iterator it(folder, error), end; !error && it != end;
             it.increment(error)) {
            const std::string entry = it->path().filename().native();
            if (!valid_utf8(entry) && shown_path(path_from_bytes(entry)) == name) {
                unheld = true;
                break;
            }
        }
    }
    if (!unheld) return {};
    return QString(
               "cannot use \"%1\": its name on disk is not UTF-8, and the file dialog cannot hold such a name; "
               "rename the file or its folder, or give the program on the command line (dozu FILE)")
        .arg(chosen);
}

}  // namespace dozu
