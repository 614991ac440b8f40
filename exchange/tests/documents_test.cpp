// Documents read back by the real reader: LibreOffice converts our ODT and DOCX files.
#include "exchange/documents.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <csignal>

#include "exchange/export.h"

namespace {

using exchange::Speaker;

const std::vector<Speaker> kSpeakers = {{QStringLiteral("Анна"), 170},         // #aa0000
                                        {QStringLiteral("Борис"), 11141120}};  // #0000aa

const QString kTranscript = QStringLiteral(
    "Вступление & <теги>\r\n[Анна]\r\n[00:00:05] Добрый день.\r\n"
    "[Борис]\r\n[00:00:09.5] Здравствуйте, [Анна]!\r\n\tс табуляцией");

// Runs LibreOffice headless with a private profile over all `inputs`, writing the converted
// files into `outDir`; stopped by its process id when it hangs.
void Convert(const QString& soffice, const QStringList& inputs, const QString& filter,
             const QString& outDir) {
    QTemporaryDir home;
    QProcess process;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("HOME"), home.path());
    process.setProcessEnvironment(env);
    process.setWorkingDirectory(home.path());
    process.start(soffice, QStringList{QStringLiteral("--headless"), QStringLiteral("--norestore"),
                                       QStringLiteral("--convert-to"), filter,
                                       QStringLiteral("--outdir"), outDir} +
                               inputs);
    if (!process.waitForFinished(180000)) {
        ::kill(static_cast<pid_t>(process.processId()), SIGKILL);
        process.waitForFinished(5000);
        ADD_FAILURE() << "LibreOffice did not finish";
    }
}

QString ReadConverted(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        ADD_FAILURE() << "LibreOffice wrote no " << path.toStdString();
        return {};
    }
    QString text = QString::fromUtf8(file.readAll());
    if (text.startsWith(QChar(0xFEFF))) text.remove(0, 1);
    return text;
}

TEST(Documents, LibreOfficeReadsTextParagraphsAndBoldColouredNames) {
    const QString soffice = QStandardPaths::findExecutable(QStringLiteral("soffice"));
    if (soffice.isEmpty()) GTEST_SKIP() << "LibreOffice (soffice) is not installed: skipped";
    QTemporaryDir dir;
    QTemporaryDir txt;
    QTemporaryDir html;
    struct Case {
        QString name;
        bool timestamps;
    };
    std::vector<Case> cases;
    QStringList inputs;
    for (const char* extension : {".odt", ".docx"}) {
        for (const bool timestamps : {true, false}) {
            const QString name = QStringLiteral("протокол-%1-%2")
                                     .arg(QString::fromLatin1(extension + 1))
                                     .arg(timestamps ? 1 : 0);
            const QString path = dir.filePath(name + QString::fromLatin1(extension));
            exchange::ExportOptions options;
            options.timestamps = timestamps;
            exchange::ExportFile(path, kTranscript, kSpeakers, options);
            cases.push_back({name, timestamps});
            inputs << path;
        }
    }
    Convert(soffice, inputs, QStringLiteral("txt:Text (encoded):UTF8"), txt.path());
    Convert(soffice, inputs, QStringLiteral("html:HTML (StarWriter)"), html.path());

    for (const Case& c : cases) {
        SCOPED_TRACE(c.name.toStdString());
        const QString text = ReadConverted(txt.filePath(c.name + QStringLiteral(".txt")));
        const QStringList lines = text.split(QRegularExpression(QStringLiteral("\r?\n")));
        ASSERT_GE(lines.size(), 6);
        EXPECT_EQ(lines[0], QStringLiteral("Вступление & <теги>"));
        EXPECT_EQ(lines[1], QStringLiteral("Анна"));
        EXPECT_EQ(lines[2], c.timestamps ? QStringLiteral("[00:00:05] Добрый день.")
                                         : QStringLiteral("Добрый день."));
        EXPECT_EQ(lines[3], QStringLiteral("Борис"));
        EXPECT_EQ(lines[4], c.timestamps ? QStringLiteral("[00:00:09.5] Здравствуйте, Анна!")
                                         : QStringLiteral("Здравствуйте, Анна!"));
        EXPECT_EQ(lines[5], QStringLiteral("\tс табуляцией"));

        // Bold and colour as LibreOffice's own HTML shows them.
        const QString page =
            ReadConverted(html.filePath(c.name + QStringLiteral(".html"))).toLower();
        const QRegularExpression anna(
            QStringLiteral("<font color=\"#aa0000\">(<[^>]*>)*<b>(<[^>]*>)*анна"));
        const QRegularExpression boris(
            QStringLiteral("<font color=\"#0000aa\">(<[^>]*>)*<b>(<[^>]*>)*борис"));
        EXPECT_TRUE(anna.match(page).hasMatch()) << page.toStdString();
        EXPECT_TRUE(boris.match(page).hasMatch());
        EXPECT_FALSE(page.contains(QStringLiteral("<b>вступление")));
    }
}

}  // namespace
