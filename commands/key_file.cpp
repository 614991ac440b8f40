#include "commands/key_file.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QSaveFile>
#include <QStandardPaths>
#include <QStringDecoder>

namespace commands {

namespace {

bool IsId(const QString& id) {
    static const QRegularExpression pattern(QStringLiteral("^[a-z0-9_]+(\\.[a-z0-9_]+)+$"));
    return id.size() <= 100 && pattern.match(id).hasMatch();
}

// One key as written; an empty sequence for a name that is not exactly one known key.
QKeySequence ParseKey(const QString& text) {
    const QKeySequence key = QKeySequence::fromString(text, QKeySequence::PortableText);
    if (key.count() != 1 || key[0].key() == Qt::Key_unknown) return {};
    // Qt reads what it can of a bad name; only a name it writes back the same is one key.
    if (key.toString(QKeySequence::PortableText).compare(text, Qt::CaseInsensitive) != 0) return {};
    return key;
}

QString Line(int number) {
    return QStringLiteral("строка %1").arg(number);
}

}  // namespace

QString KeyFilePath() {
    return QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation) +
           QStringLiteral("/nuvtolvek/keys.conf");
}

KeyFileContents ParseKeyFile(const QByteArray& bytes) {
    KeyFileContents contents;
    if (bytes.size() > kMaxKeyFileBytes) {
        contents.problems << QStringLiteral("файл слишком велик");
        return contents;
    }
    QStringDecoder decoder(QStringDecoder::Utf8);
    const QString text = decoder.decode(bytes);
    if (decoder.hasError() || text.contains(QChar(0))) {
        contents.problems << QStringLiteral("файл не текстовый");
        return contents;
    }
    QHash<QString, int> byId;  // id → index in entries
    QSet<QString> bad;
    const QStringList lines = text.split(QRegularExpression(QStringLiteral("\r\n|\r|\n")));
    for (int i = 0; i < lines.size(); ++i) {
        const QString line = lines[i].trimmed();
        if (line.isEmpty() || line.startsWith(u'#')) continue;
        const qsizetype equals = line.indexOf(u'=');
        const QString id = equals < 0 ? QString() : line.left(equals).trimmed();
        if (!IsId(id)) {
            contents.problems << Line(i + 1) + QStringLiteral(": не разобрана");
            continue;
        }
        if (bad.contains(id)) continue;
        const QString keyText = line.mid(equals + 1).trimmed();
        auto it = byId.find(id);
        if (it == byId.end()) {
            it = byId.insert(id, static_cast<int>(contents.entries.size()));
            contents.entries.append({id, {}});
        }
        QList<QKeySequence>& keys = contents.entries[*it].keys;
        auto reject = [&](const QString& why) {
            contents.problems << Line(i + 1) + QStringLiteral(": ") + why;
            bad.insert(id);
        };
        if (keyText.isEmpty()) continue;
        const QKeySequence key = ParseKey(keyText);
        if (key.isEmpty()) {
            reject(QStringLiteral("неизвестная клавиша «%1»").arg(keyText.left(40)));
        } else if (keys.contains(key)) {
            reject(QStringLiteral("клавиша %1 указана дважды").arg(keyText));
        } else if (keys.size() >= kMaxKeysPerCommand) {
            reject(QStringLiteral("у команды %1 больше двух клавиш").arg(id));
        } else {
            keys.append(key);
        }
    }
    // A command with a fault keeps its defaults: its other lines count for nothing.
    QList<KeyFileEntry> kept;
    for (const KeyFileEntry& entry : contents.entries)
        if (!bad.contains(entry.id)) kept.append(entry);
    contents.entries = kept;
    return contents;
}

KeyFileContents ReadKeyFile(const QString& path) {
    const QFileInfo info(path);
    if (!info.exists() && !info.isSymLink()) return {};
    QFile file(path);
    if (info.isDir() || !file.open(QIODevice::ReadOnly)) {
        KeyFileContents contents;
        contents.problems << QStringLiteral("файл не читается");
        return contents;
    }
    // One byte more than allowed tells a file too large without reading all of it.
    return ParseKeyFile(file.read(kMaxKeyFileBytes + 1));
}

void ApplyKeyFile(Registry& registry, KeyFileContents& contents) {
    // First every named command lets go of its keys, so that keys can change places.
    QList<const KeyFileEntry*> known;
    for (const KeyFileEntry& entry : contents.entries) {
        if (registry.Find(entry.id) == nullptr) {
            contents.problems << QStringLiteral("неизвестная команда %1").arg(entry.id);
            continue;
        }
        registry.SetKeys(entry.id, {});
        known.append(&entry);
    }
    for (const KeyFileEntry* entry : known) {
        KeyProblem problem = KeyProblem::None;
        QString other;
        if (registry.SetKeys(entry->id, entry->keys, &problem, &other)) continue;
        const Command* holder = registry.Find(other);
        contents.problems << entry->id + QStringLiteral(": ") +
                                 KeyProblemText(problem, holder ? holder->caption : other);
        // Its defaults, as far as no other command has taken them meanwhile.
        QList<QKeySequence> defaults;
        for (const QKeySequence& key : registry.Find(entry->id)->defaultKeys)
            if (registry.CheckKey(entry->id, key) == KeyProblem::None) defaults << key;
        registry.SetKeys(entry->id, defaults);
    }
}

QByteArray KeyFileText(const Registry& registry) {
    QString text = QStringLiteral(
        "# NUV Tolvek: клавиши, назначенные вместо клавиш по умолчанию "
        "(Настройки → Клавиши…).\n"
        "# Строка: команда = клавиша; вторая клавиша — второй строкой; "
        "\"команда =\" — без клавиши.\n");
    for (const QString& id : registry.Ids()) {
        if (registry.HasDefaultKeys(id)) continue;
        const QList<QKeySequence> keys = registry.Keys(id);
        if (keys.isEmpty()) text += id + QStringLiteral(" =\n");
        for (const QKeySequence& key : keys)
            text += id + QStringLiteral(" = ") + key.toString(QKeySequence::PortableText) + u'\n';
    }
    return text.toUtf8();
}

bool WriteKeyFile(const QString& path, const Registry& registry, QString* error) {
    auto fail = [error](const QString& why) {
        if (error != nullptr) *error = why;
        return false;
    };
    if (!QDir().mkpath(QFileInfo(path).absolutePath()))
        return fail(
            QStringLiteral("не удаётся создать папку %1").arg(QFileInfo(path).absolutePath()));
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly)) return fail(file.errorString());
    const QByteArray text = KeyFileText(registry);
    if (file.write(text) != text.size()) {
        file.cancelWriting();
        return fail(file.errorString());
    }
    if (!file.commit()) return fail(file.errorString());
    return true;
}

QString KeyFileNote(const QStringList& problems) {
    if (problems.isEmpty()) return QString();
    return QStringLiteral("Файл клавиш: %1 — для этого действуют клавиши по умолчанию")
        .arg(problems.size() == 1
                 ? problems.first()
                 : problems.first() + QStringLiteral(" и ещё %1").arg(problems.size() - 1));
}

}  // namespace commands
