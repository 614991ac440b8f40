#include <gtest/gtest.h>

#include <QAction>
#include <QDir>
#include <QPlainTextEdit>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>

#include "app/application.h"
#include "app/html_export_command.h"
#include "app/window_set.h"
#include "editor/editor_window.h"
#include "participants/participants_window.h"
#include "test_support.h"

using namespace project;
using test_support::ReadBytes;
using test_support::WriteBytes;
using textfiles::Encoding;

namespace {

const QByteArray kJpeg("\xFF\xD8\xFF\xE0 not really a picture \xFF\xD9", 28);

class HtmlExport : public testing::Test {
  protected:
    void SetUp() override {
        ASSERT_TRUE(dir_.isValid());
        ASSERT_TRUE(QDir(dir_.path()).mkpath("Фото"));
        ASSERT_TRUE(QDir(dir_.path()).mkpath("out.d"));
        CreateWindowSet();
        for (int n = 1; n <= 10; ++n)
            for (int row = 1; row <= 3; ++row) Form5->SetCells(n, row, "");
        ErrorDialogHook = [this](const QString& m) { errors_ << m; };
        HtmlHooks().RunSaveDialog = [this](QString& path) {
            offered_ = path;
            if (answer_.isEmpty()) return false;
            path = answer_;
            return true;
        };
        HtmlHooks().OpenPage = [this](const QString& path) { opened_ << path; };
    }
    void TearDown() override {
        DestroyWindowSet();
        HtmlHooks() = {};
        ErrorDialogHook = nullptr;
    }

    QString Picture(const QString& name) {
        const QString path = dir_.filePath("Фото/" + name);
        EXPECT_TRUE(WriteBytes(path, kJpeg + name.toUtf8()));
        return path;
    }
    void Export(const QString& answer) {
        answer_ = answer;
        ExportHtmlCommand(*Form2, *Form5);
    }
    QStringList OutFiles() const {
        return QDir(dir_.filePath("out.d")).entryList(QDir::Files, QDir::Name);
    }

    QTemporaryDir dir_;
    QStringList errors_, opened_;
    QString answer_, offered_;
};

const QString kHead =
    "<html>\r\n<head>\r\n<meta charset=\"%1\">\r\n"
    "<title>NUV Tolvek - Расшифровка аудиозаписей</title>\r\n</head>\r\n<body>\r\n"
    "<h1>NUV Tolvek - Расшифровка аудиозаписей</h1>\r\n<table>\r\n"
    "<tr><td>&nbsp;</td><td>\r\n";
const QString kTail = "\r\n</td></tr>\r\n</table>\r\n</body>\r\n</html>\r\n";

}  // namespace

TEST_F(HtmlExport, CancelTouchesNothing) {
    Form2->ReplaceText("текст");
    Form2->Memo2->setPlainText("прежнее");
    Form5->SetCells(1, 1, Picture("a.jpg"));
    Export(QString());
    EXPECT_EQ(Form2->Memo2->toPlainText(), "прежнее");
    EXPECT_TRUE(OutFiles().isEmpty());
    EXPECT_TRUE(opened_.isEmpty());
    EXPECT_TRUE(errors_.isEmpty());
}

TEST_F(HtmlExport, AnnaPageAndPicturesBesideIt) {
    const QString anna = Picture("anna.jpg");
    const QString loner = Picture("loner.jpg");
    Form5->SetCells(2, 1, anna);
    Form5->SetCells(2, 2, "Анна");
    Form5->SetCells(2, 3, "255");
    Form5->SetCells(7, 1, loner);  // no name: the picture is still copied
    Form5->SetCells(9, 1, dir_.filePath("Фото/missing.jpg"));  // skipped silently
    Form2->ReplaceText("Вступление\r\n[Анна]\r\nДобрый день, «<неразборчиво>».");
    const QString out = dir_.filePath("out.d/protokol");
    Export(out);

    ASSERT_TRUE(errors_.isEmpty()) << errors_.join('\n').toStdString();
    const QString page = out + ".html";
    EXPECT_EQ(OutFiles(), QStringList({"anna.jpg", "loner.jpg", "protokol.html"}));
    EXPECT_EQ(ReadBytes(dir_.filePath("out.d/anna.jpg")), ReadBytes(anna));
    EXPECT_EQ(ReadBytes(dir_.filePath("out.d/loner.jpg")), ReadBytes(loner));
    EXPECT_EQ(opened_, QStringList({page}));
    EXPECT_EQ(Form2->SaveTextFileDialog2.FileName, page);

    // Windows-1251 by default, the page exactly as expected.
    const QString expected = kHead.arg("windows-1251") +
                             "Вступление\r\n</td></tr>\r\n<tr><td><img src='anna.jpg' "
                             "title='Анна'></td><td><font color=#ff0000><b>Анна</b><br>"
                             "\r\nДобрый день, «&lt;неразборчиво&gt;»." +
                             kTail;
    EXPECT_EQ(ReadBytes(page), textfiles::Encode(expected, Encoding::Ansi));

    // The dialog remembers the name for the next export.
    Export(QString());
    EXPECT_EQ(offered_, page);
}

TEST_F(HtmlExport, ExtensionRuleAndReplacingAnOldPage) {
    Form2->ReplaceText("x");
    Export(dir_.filePath("out.d/protokol.HTM"));
    Export(dir_.filePath("out.d/protokol.txt"));
    EXPECT_TRUE(WriteBytes(dir_.filePath("out.d/old.html"), "old"));
    Export(dir_.filePath("out.d/old.html"));
    EXPECT_EQ(OutFiles(), QStringList({"old.html", "protokol.HTM", "protokol.txt.html"}));
    EXPECT_TRUE(ReadBytes(dir_.filePath("out.d/old.html")).startsWith("<html>"));
    Export(dir_.filePath("out.d/noext"));
    EXPECT_TRUE(QFile::exists(dir_.filePath("out.d/noext.html")));  // the folder has a dot
}

TEST_F(HtmlExport, EmptyTableKeepsTheTranscriptInTheFirstRow) {
    Form2->ReplaceText("[Анна] и [Борис]");
    Export(dir_.filePath("out.d/p.html"));
    EXPECT_EQ(
        ReadBytes(dir_.filePath("out.d/p.html")),
        textfiles::Encode(kHead.arg("windows-1251") + "[Анна] и [Борис]" + kTail, Encoding::Ansi));
    EXPECT_EQ(OutFiles(), QStringList({"p.html"}));
}

TEST_F(HtmlExport, BadColourStopsBeforeWriting) {
    Form5->SetCells(1, 1, Picture("a.jpg"));
    Form5->SetCells(1, 2, "Анна");
    Form5->SetCells(1, 3, "255");
    Form5->SetCells(3, 2, "Борис");  // no colour
    Form2->ReplaceText("[Анна]");
    Export(dir_.filePath("out.d/p.html"));
    EXPECT_EQ(errors_.size(), 1);
    EXPECT_TRUE(OutFiles().isEmpty());
    EXPECT_TRUE(opened_.isEmpty());
}

TEST_F(HtmlExport, PageFailsInAMissingFolder) {
    Form5->SetCells(1, 1, Picture("a.jpg"));
    Form2->ReplaceText("x");
    Export(dir_.filePath("нет/p.html"));
    EXPECT_EQ(errors_.size(), 1);
    EXPECT_TRUE(opened_.isEmpty());
    EXPECT_FALSE(QFile::exists(dir_.filePath("нет")));
}

TEST_F(HtmlExport, EncodingsOfThePage) {
    Form5->SetCells(1, 2, "Zoë");
    Form5->SetCells(1, 3, "16711680");
    Form2->ReplaceText("[Zoë] Жук 中");
    const QString path = dir_.filePath("out.d/p.html");

    Form2->SaveTextFileDialog1.Encoding = Encoding::Utf16LE;
    Export(path);
    QByteArray bytes = ReadBytes(path);
    EXPECT_TRUE(bytes.startsWith("\xFF\xFE"));
    QString text = textfiles::Decode(bytes, Encoding::Utf16LE);
    EXPECT_TRUE(text.contains("<meta charset=\"utf-16le\">"));
    EXPECT_TRUE(text.contains("<b>Zoë</b><br> Жук 中"));

    Form2->SaveTextFileDialog1.Encoding = Encoding::Ascii;
    Export(path);
    bytes = ReadBytes(path);
    for (char c : bytes) ASSERT_GE(static_cast<signed char>(c), 0);
    EXPECT_TRUE(bytes.contains("<b>Zo&#235;</b><br> &#1046;&#1091;&#1082; &#20013;"));

    Form2->SaveTextFileDialog1.Encoding = Encoding::Ansi;
    Export(path);
    text = textfiles::Decode(ReadBytes(path), Encoding::Ansi);
    EXPECT_TRUE(text.contains("<b>Zo&#235;</b><br> Жук &#20013;"));  // ë is not in 1251

    Form2->SaveTextFileDialog1.Encoding = Encoding::Utf7;
    Export(path);
    bytes = ReadBytes(path);
    EXPECT_TRUE(bytes.startsWith("\xEF\xBB\xBF"));
    EXPECT_TRUE(bytes.contains("<meta charset=\"utf-8\">"));
    EXPECT_TRUE(bytes.contains("Жук 中"));
}

// The page as a browser shows it: the names and the transcript's own angle brackets are text.
TEST_F(HtmlExport, RendersInABrowser) {
    const QString chromium = QStandardPaths::findExecutable("chromium");
    if (chromium.isEmpty()) GTEST_SKIP() << "chromium is not installed";
    Form5->SetCells(1, 1, Picture("anna.jpg"));
    Form5->SetCells(1, 2, "Анна");
    Form5->SetCells(1, 3, "255");
    Form5->SetCells(2, 2, "O'Neil");
    Form5->SetCells(2, 3, "16711680");
    Form2->ReplaceText(
        "[Анна]\r\nЗдравствуйте, «<неразборчиво>» & до свидания.\r\n[O'Neil]\r\nYes.");
    const QString path = dir_.filePath("out.d/страница.html");
    Export(path);
    ASSERT_TRUE(QFile::exists(path));

    QProcess browser;
    browser.start(chromium,
                  {"--headless", "--no-sandbox", "--disable-gpu", "--disable-background-networking",
                   "--disable-component-update", "--disable-sync", "--no-first-run",
                   "--user-data-dir=" + dir_.filePath("profile"), "--dump-dom",
                   QUrl::fromLocalFile(path).toString()});
    ASSERT_TRUE(browser.waitForFinished(120000));
    const QString dom = QString::fromUtf8(browser.readAllStandardOutput());
    ASSERT_FALSE(dom.isEmpty());
    // Serialised DOM: text nodes come back escaped, elements as tags.
    EXPECT_TRUE(dom.contains("<b>Анна</b>"));
    EXPECT_TRUE(dom.contains("title=\"Анна\""));
    EXPECT_TRUE(dom.contains("Здравствуйте, «&lt;неразборчиво&gt;» &amp; до свидания."));
    EXPECT_FALSE(dom.contains("<неразборчиво"));
    EXPECT_TRUE(dom.contains("<b>O'Neil</b>"));
    // Without a picture the cell holds no image, so no broken-image icon shows.
    EXPECT_FALSE(dom.contains("title=\"O'Neil\""));
    EXPECT_EQ(dom.count("<img"), 1);
    EXPECT_TRUE(dom.contains("<font color=\"#0000ff\">"));
    EXPECT_EQ(dom.count("<tr>"), 3);
}

TEST_F(HtmlExport, EditorMenuItemRunsTheExport) {
    QAction* item = Form2->findChild<QAction*>("HTML1");
    ASSERT_NE(item, nullptr);
    Form2->ReplaceText("из меню");
    answer_ = dir_.filePath("out.d/menu");
    item->trigger();
    EXPECT_EQ(opened_, QStringList({dir_.filePath("out.d/menu.html")}));
    EXPECT_TRUE(ReadBytes(dir_.filePath("out.d/menu.html"))
                    .contains(textfiles::Encode("из меню", Encoding::Ansi)));
}

TEST_F(HtmlExport, PictureThatIsAlreadyBesideThePageIsLeftAlone) {
    const QString inPlace = dir_.filePath("out.d/here.jpg");
    ASSERT_TRUE(WriteBytes(inPlace, kJpeg));
    Form5->SetCells(1, 1, inPlace);
    Form5->SetCells(1, 2, "Анна");
    Form5->SetCells(1, 3, "0");
    Form2->ReplaceText("[Анна]");
    Export(dir_.filePath("out.d/p.html"));
    EXPECT_TRUE(errors_.isEmpty());
    EXPECT_EQ(ReadBytes(inPlace), kJpeg);
    EXPECT_EQ(OutFiles(), QStringList({"here.jpg", "p.html"}));
    EXPECT_EQ(opened_.size(), 1);
}
