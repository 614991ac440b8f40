#include "textfiles/textfiles.h"

#include <errno.h>
#include <iconv.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <QSysInfo>
#include <QTemporaryFile>
#include <algorithm>
#include <cstring>
#include <memory>

namespace textfiles {
namespace {

const char* IconvName(Encoding encoding) {
    switch (encoding) {
        case Encoding::Ansi:
            return "CP1251";
        case Encoding::Ascii:
            return "ASCII";
        case Encoding::Utf16LE:
            return "UTF-16LE";
        case Encoding::Utf16BE:
            return "UTF-16BE";
        case Encoding::Utf8:
            return "UTF-8";
        case Encoding::Utf7:
            return "UTF-7";
    }
    return "CP1251";
}

// QString's code units in memory order.
const char* NativeUtf16Name() {
    return QSysInfo::ByteOrder == QSysInfo::LittleEndian ? "UTF-16LE" : "UTF-16BE";
}

bool IsUnicode(Encoding encoding) {
    return encoding == Encoding::Utf16LE || encoding == Encoding::Utf16BE ||
           encoding == Encoding::Utf8 || encoding == Encoding::Utf7;
}

struct IconvCloser {
    void operator()(void* cd) const { iconv_close(static_cast<iconv_t>(cd)); }
};
using IconvHandle = std::unique_ptr<void, IconvCloser>;

IconvHandle OpenIconv(const char* to, const char* from) {
    iconv_t cd = iconv_open(to, from);
    if (cd == reinterpret_cast<iconv_t>(-1)) {
        throw std::runtime_error(std::string("iconv cannot convert from ") + from + " to " + to);
    }
    return IconvHandle(cd);
}

}  // namespace

QString EncodingName(Encoding encoding) {
    switch (encoding) {
        case Encoding::Ansi:
            return QStringLiteral("ANSI (Windows-1251)");
        case Encoding::Ascii:
            return QStringLiteral("ASCII");
        case Encoding::Utf16LE:
            return QStringLiteral("Unicode (UTF-16 LE)");
        case Encoding::Utf16BE:
            return QStringLiteral("Unicode big-endian (UTF-16 BE)");
        case Encoding::Utf8:
            return QStringLiteral("UTF-8");
        case Encoding::Utf7:
            return QStringLiteral("UTF-7");
    }
    return {};
}

Encoding EncodingFromIndex(int index) {
    if (index < 0 || index >= kEncodingCount) return Encoding::Ansi;
    return static_cast<Encoding>(index);
}

namespace {

// Qt reports the commonest failures with fixed English texts that no translation reaches
// (and the C library's own texts are English too without a Russian locale).
QString RussianReason(const QString& reason) {
    static const struct {
        const char* english;
        const char* russian;
    } kReasons[] = {
        {"No such file or directory", "Нет такого файла или папки"},
        {"Permission denied", "Нет доступа"},
        {"Operation not permitted", "Операция не разрешена"},
        {"No space left on device", "На диске не осталось места"},
        {"Disk quota exceeded", "Превышена дисковая квота"},
        {"Too many open files", "Открыто слишком много файлов"},
        {"Is a directory", "Это папка, а не файл"},
        {"Filename refers to a directory", "Это папка, а не файл"},
        {"Not a directory", "Часть пути не является папкой"},
        {"Read-only file system", "Файловая система доступна только для чтения"},
        {"File name too long", "Слишком длинное имя файла"},
        {"File too large", "Файл слишком велик"},
        {"Input/output error", "Ошибка ввода-вывода"},
        {"Text file busy", "Файл занят"},
        {"Unknown error", "Неизвестная ошибка"},
    };
    const QString trimmed = reason.trimmed();
    for (const auto& entry : kReasons) {
        if (trimmed.compare(QLatin1String(entry.english), Qt::CaseInsensitive) == 0)
            return QString::fromUtf8(entry.russian);
    }
    return reason;
}

}  // namespace

FileError::FileError(const QString& path, const QString& reason)
    : std::runtime_error((path + QStringLiteral(": ") + RussianReason(reason)).toStdString()),
      path_(path),
      reason_(RussianReason(reason)) {}

QString FileError::message() const {
    return path_ + QStringLiteral(": ") + reason_;
}

QByteArray ByteOrderMark(Encoding encoding) {
    switch (encoding) {
        case Encoding::Utf8:
            return QByteArray("\xEF\xBB\xBF", 3);
        case Encoding::Utf16LE:
            return QByteArray("\xFF\xFE", 2);
        case Encoding::Utf16BE:
            return QByteArray("\xFE\xFF", 2);
        default:
            return {};
    }
}

QString NormalizeLineBreaks(const QString& text) {
    const qsizetype n = text.size();
    const QChar* in = text.constData();
    // Most texts are already CR LF: keep the copy-free path for them.
    bool clean = true;
    for (qsizetype i = 0; i < n && clean; ++i) {
        if (in[i] == u'\r') {
            if (i + 1 < n && in[i + 1] == u'\n') {
                ++i;
            } else {
                clean = false;
            }
        } else if (in[i] == u'\n') {
            clean = false;
        }
    }
    if (clean) return text;

    QString out;
    out.reserve(n + n / 16 + 16);
    for (qsizetype i = 0; i < n; ++i) {
        const QChar c = in[i];
        if (c == u'\r') {
            out += QStringLiteral("\r\n");
            if (i + 1 < n && in[i + 1] == u'\n') ++i;
        } else if (c == u'\n') {
            out += QStringLiteral("\r\n");
        } else {
            out += c;
        }
    }
    return out;
}

QStringList SplitLines(const QString& text) {
    QStringList lines;
    const qsizetype n = text.size();
    qsizetype start = 0;
    for (qsizetype i = 0; i < n; ++i) {
        const QChar c = text[i];
        if (c == u'\r' || c == u'\n') {
            lines.append(text.mid(start, i - start));
            if (c == u'\r' && i + 1 < n && text[i + 1] == u'\n') ++i;
            start = i + 1;
        }
    }
    if (start < n) lines.append(text.mid(start));
    return lines;
}

QString JoinLines(const QStringList& lines) {
    QString out;
    for (const QString& line : lines) {
        out += line;
        out += QStringLiteral("\r\n");
    }
    return out;
}

QString Decode(const QByteArray& bytes, Encoding encoding) {
    QByteArray input = bytes;
    const QByteArray mark = ByteOrderMark(encoding);
    if (!mark.isEmpty() && input.startsWith(mark)) input.remove(0, mark.size());

    IconvHandle cd = OpenIconv(NativeUtf16Name(), IconvName(encoding));
    // Every encoding here gives at most one UTF-16 unit per input byte, and an invalid
    // byte gives one U+FFFD, so twice the input size always suffices; the loop still
    // grows the buffer rather than trust that.
    QString result;
    result.resize(input.size() + 8);
    char* in = input.data();
    size_t inLeft = static_cast<size_t>(input.size());
    size_t written = 0;  // bytes
    const size_t unit = 2;
    const int skipOnError =
        (encoding == Encoding::Utf16LE || encoding == Encoding::Utf16BE) ? 2 : 1;
    const char16_t replacement = 0xFFFD;

    auto outBytes = [&]() { return static_cast<size_t>(result.size()) * unit; };
    while (inLeft > 0) {
        if (outBytes() - written < 16) result.resize(result.size() * 2 + 16);
        char* out = reinterpret_cast<char*>(result.data()) + written;
        size_t outLeft = outBytes() - written;
        const size_t rc = iconv(static_cast<iconv_t>(cd.get()), &in, &inLeft, &out, &outLeft);
        written = outBytes() - outLeft;
        if (rc != static_cast<size_t>(-1)) break;
        if (errno == E2BIG) {
            result.resize(result.size() * 2 + 16);
            continue;
        }
        // Invalid or truncated input: show U+FFFD and go on after the bad bytes.
        if (outBytes() - written < unit) result.resize(result.size() * 2 + 16);
        std::memcpy(reinterpret_cast<char*>(result.data()) + written, &replacement, unit);
        written += unit;
        if (errno == EINVAL) break;  // incomplete sequence at the end of the input
        const size_t skip = std::min(inLeft, static_cast<size_t>(skipOnError));
        in += skip;
        inLeft -= skip;
        iconv(static_cast<iconv_t>(cd.get()), nullptr, nullptr, nullptr, nullptr);
    }
    result.resize(static_cast<qsizetype>(written / unit));
    return NormalizeLineBreaks(result);
}

DetectedText DecodeDetect(const QByteArray& bytes) {
    Encoding found = Encoding::Ansi;
    if (bytes.startsWith(QByteArray("\xEF\xBB\xBF", 3))) {
        found = Encoding::Utf8;
    } else if (bytes.startsWith(QByteArray("\xFF\xFE", 2))) {
        found = Encoding::Utf16LE;
    } else if (bytes.startsWith(QByteArray("\xFE\xFF", 2))) {
        found = Encoding::Utf16BE;
    }
    return DetectedText{Decode(bytes, found), found};
}

DetectedText DecodeChosen(const QByteArray& bytes, Encoding chosen) {
    const Encoding marked = DecodeDetect(bytes.left(3)).encoding;
    const Encoding used = marked != Encoding::Ansi ? marked : chosen;
    return DetectedText{Decode(bytes, used), used};
}

Encoding EncodingThatReadsBack(const QString& text, Encoding preferred) {
    const DetectedText back = DecodeDetect(Encode(text, preferred));
    if (back.text == NormalizeLineBreaks(text)) return preferred;
    return Encoding::Utf8;
}

QByteArray Encode(const QString& text, Encoding encoding) {
    QString source = NormalizeLineBreaks(text);
    // iconv refuses unpaired surrogates; replace them before converting.
    const QChar lone = IsUnicode(encoding) ? QChar(0xFFFD) : QChar(u'?');
    for (qsizetype i = 0; i < source.size(); ++i) {
        const QChar c = source[i];
        if (c.isHighSurrogate() && i + 1 < source.size() && source[i + 1].isLowSurrogate()) {
            ++i;
        } else if (c.isSurrogate()) {
            source[i] = lone;
        }
    }

    QByteArray result = ByteOrderMark(encoding);
    const qsizetype markSize = result.size();
    IconvHandle cd = OpenIconv(IconvName(encoding), NativeUtf16Name());
    char* in = reinterpret_cast<char*>(source.data());
    size_t inLeft = static_cast<size_t>(source.size()) * 2;
    size_t written = static_cast<size_t>(markSize);
    result.resize(markSize + source.size() * 3 + 16);

    auto step = [&](char** inPtr, size_t* inLeftPtr) {
        char* out = result.data() + written;
        size_t outLeft = static_cast<size_t>(result.size()) - written;
        const size_t rc = iconv(static_cast<iconv_t>(cd.get()), inPtr, inLeftPtr, &out, &outLeft);
        written = static_cast<size_t>(result.size()) - outLeft;
        return rc;
    };
    while (true) {
        const size_t rc = step(&in, &inLeft);
        if (rc != static_cast<size_t>(-1)) break;
        if (errno == E2BIG) {
            result.resize(result.size() * 2 + 16);
            continue;
        }
        if (errno == EILSEQ) {
            // A character the code page lacks: write "?" and skip it (a pair counts as one).
            if (written + 1 > static_cast<size_t>(result.size()))
                result.resize(result.size() * 2 + 16);
            result[static_cast<qsizetype>(written++)] = '?';
            char16_t first;
            std::memcpy(&first, in, 2);
            const size_t skip = (QChar::isHighSurrogate(first) && inLeft >= 4) ? 4 : 2;
            in += skip;
            inLeft -= skip;
            continue;
        }
        break;  // EINVAL cannot happen: surrogates were paired above
    }
    // Flush the shift state (UTF-7 closes its base64 run here).
    while (step(nullptr, nullptr) == static_cast<size_t>(-1) && errno == E2BIG) {
        result.resize(result.size() * 2 + 16);
    }
    result.resize(static_cast<qsizetype>(written));
    return result;
}

QByteArray ReadFileBytes(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) throw FileError(path, file.errorString());
    QByteArray bytes = file.readAll();
    if (file.error() != QFileDevice::NoError) throw FileError(path, file.errorString());
    return bytes;
}

namespace {

bool Accessible(const QString& path, int mode) {
    return ::access(QFile::encodeName(path).constData(), mode) == 0;
}

// A writable file in a folder where no new file can be made (a dictionary beside a program
// installed read-only): the atomic replacement cannot work there, only a write in place.
bool OnlyWritableInPlace(const QString& path) {
    const QFileInfo info(path);
    return info.isFile() && Accessible(path, W_OK) && !Accessible(info.absolutePath(), W_OK);
}

// Writes over the file itself. Until the new content is complete, the old one is kept in a
// copy in the temporary folder; a failed write puts the old content back, and the copy
// stays (and is named in the error) only when even that fails.
void WriteInPlace(const QString& path, const QByteArray& bytes) {
    const QByteArray old = ReadFileBytes(path);
    QTemporaryFile copy(QDir::tempPath() + QStringLiteral("/nuvtolvek-XXXXXX.bak"));
    copy.setAutoRemove(false);
    if (!copy.open() || copy.write(old) != old.size() || !copy.flush()) {
        const QString reason = copy.errorString();
        copy.remove();
        throw FileError(path, reason);
    }
    copy.close();
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate)) {
        copy.remove();
        throw FileError(path, file.errorString());
    }
    bool written = file.write(bytes) == bytes.size() && file.flush();
    if (written) written = ::fsync(file.handle()) == 0;
    const QString reason = file.errorString();
    file.close();
    if (written) {
        copy.remove();
        return;
    }
    QFile restore(path);
    const bool restored = restore.open(QIODevice::WriteOnly | QIODevice::Truncate) &&
                          restore.write(old) == old.size() && restore.flush();
    restore.close();
    if (!restored) {
        throw FileError(
            path, RussianReason(reason) + QStringLiteral(" (прежнее содержимое сохранено в %1)")
                                              .arg(QDir::toNativeSeparators(copy.fileName())));
    }
    copy.remove();
    throw FileError(path, reason);
}

}  // namespace

void WriteFileBytes(const QString& path, const QByteArray& bytes) {
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly)) {
        if (OnlyWritableInPlace(path)) {
            WriteInPlace(path, bytes);
            return;
        }
        throw FileError(path, file.errorString());
    }
    if (file.write(bytes) != bytes.size()) {
        const QString reason = file.errorString();
        file.cancelWriting();
        throw FileError(path, reason);
    }
    if (!file.commit()) throw FileError(path, file.errorString());
}

QString ReadTextFile(const QString& path, Encoding encoding) {
    return Decode(ReadFileBytes(path), encoding);
}

DetectedText ReadTextFileDetect(const QString& path) {
    return DecodeDetect(ReadFileBytes(path));
}

DetectedText ReadTextFileChosen(const QString& path, Encoding chosen) {
    return DecodeChosen(ReadFileBytes(path), chosen);
}

void WriteTextFile(const QString& path, const QString& text, Encoding encoding) {
    WriteFileBytes(path, Encode(text, encoding));
}

DetectedLines ReadLinesDetect(const QString& path) {
    DetectedText detected = ReadTextFileDetect(path);
    return DetectedLines{SplitLines(detected.text), detected.encoding};
}

void WriteLines(const QString& path, const QStringList& lines, Encoding encoding) {
    WriteTextFile(path, JoinLines(lines), encoding);
}

void MakePrivateFolders(const QString& path) {
    const QByteArray native = QFile::encodeName(path);
    struct stat st {};
    if (::stat(native.constData(), &st) == 0) {
        if (S_ISDIR(st.st_mode)) return;
        throw FileError(path, QString::fromLocal8Bit(std::strerror(ENOTDIR)));
    }
    const QString parent = QFileInfo(path).path();
    if (parent != path) MakePrivateFolders(parent);
    if (::mkdir(native.constData(), 0700) != 0 && errno != EEXIST)
        throw FileError(path, QString::fromLocal8Bit(std::strerror(errno)));
}

}  // namespace textfiles
