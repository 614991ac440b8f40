#include <gtest/gtest.h>

#include <QStringList>

#include "project/html_page.h"

using namespace project;

TEST(PathHelpers, ExtensionFileNameFolder) {
    EXPECT_EQ(ExtensionOf("protokol"), "");
    EXPECT_EQ(ExtensionOf("protokol.HTM"), ".HTM");
    EXPECT_EQ(ExtensionOf("/d/protokol.txt"), ".txt");
    EXPECT_EQ(ExtensionOf("/my.docs/protokol"), ".docs/protokol");  // folders count too
    EXPECT_EQ(ExtensionOf("a."), ".");

    EXPECT_EQ(FileNameOf("C:\\Фото\\anna.jpg"), "anna.jpg");
    EXPECT_EQ(FileNameOf("/home/u/фото/anna.jpg"), "anna.jpg");
    EXPECT_EQ(FileNameOf("/mixed\\sep/x\\y.jpg"), "y.jpg");
    EXPECT_EQ(FileNameOf("anna.jpg"), "anna.jpg");
    EXPECT_EQ(FileNameOf("/dir/"), "");

    EXPECT_EQ(FolderOf("C:\\Фото\\anna.jpg"), "C:\\Фото");
    EXPECT_EQ(FolderOf("/home/u/p.html"), "/home/u");
    EXPECT_EQ(FolderOf("p.html"), "p.html");
}

TEST(ReplaceAllText, NonOverlappingNeverRescanned) {
    EXPECT_EQ(ReplaceAllText("aaaa", "aa", "b"), "bb");
    EXPECT_EQ(ReplaceAllText("aaa", "aa", "b"), "ba");
    EXPECT_EQ(ReplaceAllText("[x]", "[x]", "[x][x]"), "[x][x]");
    EXPECT_EQ(ReplaceAllText("ab", "a", "aa"), "aab");
    EXPECT_EQ(ReplaceAllText("Abc abc", "abc", "-"), "Abc -");  // case-sensitive
    EXPECT_EQ(ReplaceAllText("", "a", "b"), "");
    EXPECT_EQ(ReplaceAllText("abc", "", "z"), "abc");
    EXPECT_EQ(ReplaceAllText("xyz", "q", "z"), "xyz");
}

TEST(ColorToHtml, BytesRedGreenBlue) {
    EXPECT_EQ(ColorToHtml(255), "#ff0000");
    EXPECT_EQ(ColorToHtml(16711680), "#0000ff");
    EXPECT_EQ(ColorToHtml(0x00FF00), "#00ff00");
    EXPECT_EQ(ColorToHtml(0x0A0B0C), "#0c0b0a");
    EXPECT_EQ(ColorToHtml(0xFF123456), "#563412");  // top byte ignored
    EXPECT_EQ(ColorToHtml(0), "#000000");
}

TEST(ParseColorText, IntegersOnly) {
    EXPECT_EQ(ParseColorText("255"), 255);
    EXPECT_EQ(ParseColorText("-16777211"), -16777211);
    EXPECT_FALSE(ParseColorText(""));
    EXPECT_FALSE(ParseColorText("red"));
    EXPECT_FALSE(ParseColorText("12.5"));
    EXPECT_FALSE(ParseColorText("4294967295"));
}

TEST(HtmlFileName, ExtensionRule) {
    EXPECT_EQ(HtmlFileName("/d/protokol"), "/d/protokol.html");
    EXPECT_EQ(HtmlFileName("/d/protokol.HTM"), "/d/protokol.HTM");
    EXPECT_EQ(HtmlFileName("/d/protokol.html"), "/d/protokol.html");
    EXPECT_EQ(HtmlFileName("/d/protokol.Html"), "/d/protokol.Html");
    EXPECT_EQ(HtmlFileName("/d/protokol.txt"), "/d/protokol.txt.html");
    EXPECT_EQ(HtmlFileName("/d/my.docs/protokol"), "/d/my.docs/protokol.html");
    EXPECT_EQ(HtmlFileName("/d/my.html/protokol"), "/d/my.html/protokol.html");
}

TEST(PictureCopyPath, BesideThePage) {
    EXPECT_EQ(PictureCopyPath("/out/p.html", "C:\\Фото\\anna.jpg"), "/out/anna.jpg");
    EXPECT_EQ(PictureCopyPath("/out/p.html", "/src/x y.jpg"), "/out/x y.jpg");
}

namespace {

// Page lines as a list, to look at them one by one.
QStringList PageLines(const QString& page) {
    EXPECT_TRUE(page.endsWith("\r\n"));
    QStringList lines = page.split("\r\n");
    lines.removeLast();
    return lines;
}

const QString kHead =
    "<html>\r\n<head>\r\n<meta charset=\"utf-8\">\r\n"
    "<title>NUV Tolvek - Расшифровка аудиозаписей</title>\r\n</head>\r\n<body>\r\n"
    "<h1>NUV Tolvek - Расшифровка аудиозаписей</h1>\r\n<table>\r\n"
    "<tr><td>&nbsp;</td><td>\r\n";
const QString kTail = "\r\n</td></tr>\r\n</table>\r\n</body>\r\n</html>\r\n";

ParticipantTable WithAnna() {
    ParticipantTable t;
    t[1] = {"C:\\Фото\\anna.jpg", "Анна", "255"};
    return t;
}

}  // namespace

TEST(BuildHtmlPage, NoMarkersGivesOneRow) {
    const QString page = BuildHtmlPage("первая\r\nвторая", ParticipantTable{}, "utf-8");
    EXPECT_EQ(page, kHead + "первая\r\nвторая" + kTail);
    EXPECT_EQ(PageLines(page).size(), 15);
}

TEST(BuildHtmlPage, EmptyTranscriptGivesOneEmptyLine) {
    const QStringList lines = PageLines(BuildHtmlPage("", WithAnna(), "utf-8"));
    ASSERT_EQ(lines.size(), 14);
    EXPECT_EQ(lines.at(8), "<tr><td>&nbsp;</td><td>");
    EXPECT_EQ(lines.at(9), "");
    EXPECT_EQ(lines.at(10), "</td></tr>");
}

TEST(BuildHtmlPage, AnnaRowByteForByte) {
    const QString row =
        "</td></tr>\r\n<tr><td><img src='anna.jpg' title='Анна'></td><td>"
        "<font color=#ff0000><b>Анна</b><br>";
    EXPECT_EQ(BuildHtmlPage("до [Анна] после [Анна]", WithAnna(), "utf-8"),
              kHead + "до " + row + " после " + row + kTail);
    // A marker at the very start, as Ctrl+digit types it, leaves an empty first row.
    EXPECT_EQ(BuildHtmlPage("\r\n[Анна]\r\nтекст", WithAnna(), "utf-8"),
              kHead + "\r\n" + row + "\r\nтекст" + kTail);
}

TEST(BuildHtmlPage, TimestampsStayTextWithAClassNothingElseChanges) {
    const QString row =
        "</td></tr>\r\n<tr><td><img src='anna.jpg' title='Анна'></td><td>"
        "<font color=#ff0000><b>Анна</b><br>";
    auto stamp = [](const char* text) {
        return QStringLiteral("<span class=\"timestamp\">") + QString::fromUtf8(text) +
               QStringLiteral("</span>");
    };
    EXPECT_EQ(BuildHtmlPage("\r\n[Анна]\r\n[00:12:07] да & [1:02:03.5]<", WithAnna(), "utf-8"),
              kHead + "\r\n" + row + "\r\n" + stamp("[00:12:07]") + " да &amp; " +
                  stamp("[1:02:03.5]") + "&lt;" + kTail);
    // Look-alikes are plain text; a participant named like a timestamp is a turn.
    EXPECT_EQ(BuildHtmlPage("[99:99] [12]", ParticipantTable{}, "utf-8"),
              kHead + "[99:99] [12]" + kTail);
    ParticipantTable odd;
    odd[0] = {"", "00:00:01", "0"};
    const QString page = BuildHtmlPage("[00:00:01] [00:00:02]", odd, "utf-8");
    EXPECT_TRUE(page.contains("<b>00:00:01</b><br> " + stamp("[00:00:02]")));
    EXPECT_FALSE(page.contains(stamp("[00:00:01]")));
}

TEST(BuildHtmlPage, ParticipantsInOrderSharedNamesAndNoPicture) {
    ParticipantTable t;
    t[0] = {"", "Иван", "16711680"};
    t[4] = {"/p/second.jpg", "Иван", "255"};  // same name: the first takes every marker
    t[6] = {"/p/olga.jpg", "Ольга", "65280"};
    t[7] = {"/p/nobody.jpg", "", "bad"};  // no name: ignored, its colour is never read
    const QString page = BuildHtmlPage("[Иван]a[Ольга]b[Иван]", t, "utf-8");
    const QString ivan =
        "</td></tr>\r\n<tr><td></td><td>"
        "<font color=#0000ff><b>Иван</b><br>";
    const QString olga =
        "</td></tr>\r\n<tr><td><img src='olga.jpg' title='Ольга'></td><td>"
        "<font color=#00ff00><b>Ольга</b><br>";
    EXPECT_EQ(page, kHead + ivan + "a" + olga + "b" + ivan + kTail);
}

TEST(BuildHtmlPage, EscapesTextAndNamesButFindsMarkersAsTyped) {
    ParticipantTable t;
    t[0] = {"/p/o'neil&co.jpg", "O'Neil <boss>", "0"};
    const QString page = BuildHtmlPage("[O'Neil <boss>] «<неразборчиво>» & \"цитата\"", t, "utf-8");
    const QString row =
        "</td></tr>\r\n<tr><td><img src='o&#39;neil&amp;co.jpg' title='O&#39;Neil "
        "&lt;boss&gt;'></td><td><font color=#000000><b>O&#39;Neil &lt;boss&gt;</b><br>";
    EXPECT_EQ(page, kHead + row + " «&lt;неразборчиво&gt;» &amp; &quot;цитата&quot;" + kTail);
}

TEST(BuildHtmlPage, RowsAreNotRescannedByLaterParticipants) {
    // Participant 2's marker appears inside the row made for participant 1.
    ParticipantTable t;
    t[0] = {"", "[b]", "0"};
    t[1] = {"", "b", "255"};
    const QString page = BuildHtmlPage("[[b]]", t, "utf-8");
    EXPECT_EQ(page.count("<tr><td></td><td>"), 1);
    EXPECT_TRUE(page.contains("<b>[b]</b>"));
}

TEST(BuildHtmlPage, BadColourOfANamedParticipantStops) {
    ParticipantTable t = WithAnna();
    t[5] = {"", "Пётр", ""};
    EXPECT_THROW(BuildHtmlPage("текст", t, "utf-8"), HtmlExportError);
    t[5].color = "12x";
    EXPECT_THROW(BuildHtmlPage("текст", t, "utf-8"), HtmlExportError);
}

TEST(BuildHtmlPage, UnrepresentableCharactersBecomeReferences) {
    // A code page holding only Cyrillic besides ASCII.
    auto cyrillic = [](char32_t c) { return c >= 0x400 && c < 0x500; };
    const QString page =
        BuildHtmlPage(QString::fromUtf8("Ж€😀"), ParticipantTable{}, "windows-1251", cyrillic);
    EXPECT_TRUE(page.contains("\r\nЖ&#8364;&#128512;\r\n"));
    EXPECT_TRUE(page.contains("<meta charset=\"windows-1251\">"));
    EXPECT_TRUE(page.contains("Расшифровка"));
}
