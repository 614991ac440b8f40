#include "recovery/recovery_copy.h"

#include <QtEndian>
#include <array>
#include <cstring>

namespace recovery {

namespace {

constexpr char kMagic[8] = {'N', 'U', 'V', 'R', 'C', 'O', 'P', 'Y'};
constexpr quint32 kVersion = 1;
constexpr int kPrefixSize = 16;  // magic, version, header size

// Eight tables: the checksum takes eight bytes per step (slicing-by-8).
constexpr std::array<std::array<quint32, 256>, 8> MakeCrcTables() {
    std::array<std::array<quint32, 256>, 8> t{};
    for (quint32 i = 0; i < 256; ++i) {
        quint32 c = i;
        for (int k = 0; k < 8; ++k) c = (c & 1) ? 0xEDB88320u ^ (c >> 1) : c >> 1;
        t[0][i] = c;
    }
    for (quint32 i = 0; i < 256; ++i)
        for (int k = 1; k < 8; ++k) t[k][i] = (t[k - 1][i] >> 8) ^ t[0][t[k - 1][i] & 0xFF];
    return t;
}
constexpr std::array<std::array<quint32, 256>, 8> kCrc = MakeCrcTables();

class ByteWriter {
  public:
    explicit ByteWriter(QByteArray& out) : out_(out) {}
    template <typename T>
    void Int(T value) {
        const T le = qToLittleEndian(value);
        out_.append(reinterpret_cast<const char*>(&le), sizeof le);
    }
    void String(const QString& s) {
        Int<quint32>(static_cast<quint32>(s.size()));
        if constexpr (Q_BYTE_ORDER == Q_LITTLE_ENDIAN) {
            out_.append(reinterpret_cast<const char*>(s.utf16()), s.size() * 2);
        } else {
            for (QChar c : s) Int<quint16>(c.unicode());
        }
    }

  private:
    QByteArray& out_;
};

// Reads with bounds checks: any read past the end makes the reader fail for good.
class ByteReader {
  public:
    ByteReader(const char* data, qsizetype size) : data_(data), size_(size) {}
    template <typename T>
    bool Int(T& value) {
        if (!Need(sizeof(T))) return false;
        T raw;
        std::memcpy(&raw, data_ + pos_, sizeof raw);
        value = qFromLittleEndian(raw);
        pos_ += sizeof(T);
        return true;
    }
    bool String(QString& s) {
        quint32 units = 0;
        if (!Int(units) || !Need(qsizetype(units) * 2)) return false;
        s.resize(units);
        if constexpr (Q_BYTE_ORDER == Q_LITTLE_ENDIAN) {
            std::memcpy(s.data(), data_ + pos_, qsizetype(units) * 2);
            pos_ += qsizetype(units) * 2;
        } else {
            for (quint32 i = 0; i < units; ++i) {
                quint16 unit = 0;
                Int(unit);
                s[i] = QChar(unit);
            }
        }
        return true;
    }
    qsizetype Pos() const { return pos_; }

  private:
    bool Need(qsizetype bytes) {
        if (failed_ || bytes < 0 || size_ - pos_ < bytes) {
            failed_ = true;
            return false;
        }
        return true;
    }
    const char* data_;
    qsizetype size_;
    qsizetype pos_ = 0;
    bool failed_ = false;
};

// The position and the current entry move by themselves while recordings play (the playlist
// moves on at the end of each), so neither is work of the typist.
bool IsPositionLine(const QString& line) {
    return line.startsWith(QLatin1String("POS=")) || line.startsWith(QLatin1String("CURRENT="));
}

QString FirstLine(const QString& text) {
    qsizetype end = 0;
    while (end < text.size() && end < kFirstLineLength && text[end] != u'\r' && text[end] != u'\n')
        ++end;
    return text.left(end);
}

bool ValidEncoding(quint32 value) {
    return value < static_cast<quint32>(textfiles::kEncodingCount);
}

}  // namespace

quint32 Crc32(const char* data, qsizetype size) {
    quint32 c = 0xFFFFFFFFu;
    const auto* p = reinterpret_cast<const unsigned char*>(data);
    while (size >= 8) {
        const quint32 lo =
            c ^ (quint32(p[0]) | quint32(p[1]) << 8 | quint32(p[2]) << 16 | quint32(p[3]) << 24);
        c = kCrc[7][lo & 0xFF] ^ kCrc[6][(lo >> 8) & 0xFF] ^ kCrc[5][(lo >> 16) & 0xFF] ^
            kCrc[4][lo >> 24] ^ kCrc[3][p[4]] ^ kCrc[2][p[5]] ^ kCrc[1][p[6]] ^ kCrc[0][p[7]];
        p += 8;
        size -= 8;
    }
    while (size-- > 0) c = kCrc[0][(c ^ *p++) & 0xFF] ^ (c >> 8);
    return c ^ 0xFFFFFFFFu;
}

bool SameWork(const RecoveryState& a, const RecoveryState& b) {
    if (a.text != b.text || a.textEncoding != b.textEncoding || a.participants != b.participants ||
        a.projectName != b.projectName || a.projectEncoding != b.projectEncoding ||
        a.projectLines.size() != b.projectLines.size())
        return false;
    for (qsizetype i = 0; i < a.projectLines.size(); ++i) {
        const QString& x = a.projectLines[i];
        const QString& y = b.projectLines[i];
        if (x != y && !(IsPositionLine(x) && IsPositionLine(y) && x.left(4) == y.left(4)))
            return false;
    }
    return true;
}

bool SameTextAndParticipants(const RecoveryState& a, const RecoveryState& b) {
    return a.text == b.text && a.participants == b.participants;
}

QString LastChangedLine(const QString& older, const QString& newer) {
    if (older == newer) return QString();
    const QStringList a = textfiles::SplitLines(older);
    const QStringList b = textfiles::SplitLines(newer);
    qsizetype head = 0;
    while (head < a.size() && head < b.size() && a[head] == b[head]) ++head;
    qsizetype tail = 0;
    while (tail < a.size() - head && tail < b.size() - head &&
           a[a.size() - 1 - tail] == b[b.size() - 1 - tail])
        ++tail;
    // The changed lines of `newer` are [head, b.size() - tail); none when lines were removed.
    qsizetype at = b.size() - tail - 1;
    if (at < head) at = head > 0 ? head - 1 : (b.isEmpty() ? -1 : 0);
    return at < 0 ? QString() : b[at].left(kFirstLineLength);
}

QByteArray EncodeCopy(const RecoveryState& state, qint64 timeMs, qint64 sequence) {
    // One buffer: prefix and header first with the body's size and checksum left blank,
    // then the body, then the blanks filled in.
    const QString firstLine = FirstLine(state.text);
    const qsizetype headerSize = 8 * 4 + 4 + 4 + firstLine.size() * 2;
    const qsizetype bodyAt = kPrefixSize + headerSize + 4;
    QByteArray file;
    file.reserve(bodyAt + state.text.size() * 2 + 64 * (state.projectLines.size() + 40));
    file.append(kMagic, sizeof kMagic);
    ByteWriter w(file);
    w.Int<quint32>(kVersion);
    w.Int<quint32>(static_cast<quint32>(headerSize));
    w.Int<qint64>(timeMs);
    w.Int<qint64>(sequence);
    w.Int<qint64>(state.text.size());
    const qsizetype bodySizeAt = file.size();
    w.Int<quint64>(0);
    w.Int<quint32>(0);
    w.String(firstLine);
    w.Int<quint32>(0);  // the header's checksum

    w.String(state.text);
    w.Int<quint32>(static_cast<quint32>(state.textEncoding));
    w.String(state.projectName);
    w.Int<quint32>(static_cast<quint32>(state.projectEncoding));
    w.Int<quint32>(static_cast<quint32>(state.projectLines.size()));
    for (const QString& line : state.projectLines) w.String(line);
    for (const project::ParticipantCells& p : state.participants) {
        w.String(p.picture);
        w.String(p.name);
        w.String(p.color);
    }

    auto put = [&file](qsizetype at, auto value) {
        const auto le = qToLittleEndian(value);
        std::memcpy(file.data() + at, &le, sizeof le);
    };
    const qsizetype bodySize = file.size() - bodyAt;
    put(bodySizeAt, static_cast<quint64>(bodySize));
    put(bodySizeAt + 8, Crc32(file.constData() + bodyAt, bodySize));
    put(bodyAt - 4, Crc32(file.constData(), bodyAt - 4));
    return file;
}

std::optional<CopyHeader> DecodeCopyHeader(const QByteArray& start, qint64 fileSize) {
    if (start.size() < kPrefixSize || std::memcmp(start.constData(), kMagic, sizeof kMagic) != 0)
        return std::nullopt;
    ByteReader prefix(start.constData() + sizeof kMagic, kPrefixSize - qsizetype(sizeof kMagic));
    quint32 version = 0, headerSize = 0;
    prefix.Int(version);
    prefix.Int(headerSize);
    if (version != kVersion || headerSize > quint32(kHeaderReadSize) ||
        start.size() < kPrefixSize + qsizetype(headerSize) + 4)
        return std::nullopt;
    const qsizetype crcAt = kPrefixSize + headerSize;
    quint32 storedCrc = 0;
    ByteReader crcReader(start.constData() + crcAt, 4);
    crcReader.Int(storedCrc);
    if (Crc32(start.constData(), crcAt) != storedCrc) return std::nullopt;

    CopyHeader header;
    ByteReader r(start.constData() + kPrefixSize, headerSize);
    if (!r.Int(header.timeMs) || !r.Int(header.sequence) || !r.Int(header.characters) ||
        !r.Int(header.bodySize) || !r.Int(header.bodyCrc) || !r.String(header.firstLine) ||
        r.Pos() != qsizetype(headerSize))
        return std::nullopt;
    if (fileSize < 0 || quint64(fileSize) != quint64(crcAt) + 4 + header.bodySize)
        return std::nullopt;
    return header;
}

std::optional<RecoveryState> DecodeCopy(const QByteArray& file) {
    const std::optional<CopyHeader> header =
        DecodeCopyHeader(file.left(kPrefixSize + kHeaderReadSize + 4), file.size());
    if (!header) return std::nullopt;
    const qsizetype bodyAt = file.size() - qsizetype(header->bodySize);
    const char* body = file.constData() + bodyAt;
    if (Crc32(body, qsizetype(header->bodySize)) != header->bodyCrc) return std::nullopt;

    RecoveryState state;
    ByteReader r(body, qsizetype(header->bodySize));
    quint32 textEncoding = 0, projectEncoding = 0, lineCount = 0;
    if (!r.String(state.text) || !r.Int(textEncoding) || !r.String(state.projectName) ||
        !r.Int(projectEncoding) || !r.Int(lineCount) || !ValidEncoding(textEncoding) ||
        !ValidEncoding(projectEncoding) || lineCount > header->bodySize / 4)
        return std::nullopt;
    state.textEncoding = static_cast<textfiles::Encoding>(textEncoding);
    state.projectEncoding = static_cast<textfiles::Encoding>(projectEncoding);
    state.projectLines.reserve(lineCount);
    for (quint32 i = 0; i < lineCount; ++i) {
        QString line;
        if (!r.String(line)) return std::nullopt;
        state.projectLines << line;
    }
    for (project::ParticipantCells& p : state.participants) {
        if (!r.String(p.picture) || !r.String(p.name) || !r.String(p.color)) return std::nullopt;
    }
    if (state.text.size() != header->characters) return std::nullopt;
    return state;
}

}  // namespace recovery
