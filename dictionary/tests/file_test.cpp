#include <gtest/gtest.h>

#include <QFile>
#include <QTemporaryDir>

#include "dictionary/dictionary_file.h"
#include "dictionary/dictionary_store.h"
#include "dictionary/tests/test_printers.h"

namespace {

using textfiles::Encoding;

class DictionaryFileTest : public ::testing::Test {
  protected:
    QString PathOf(const QString& name) const { return dir_.filePath(name); }

    QString Write(const QByteArray& bytes) {
        const QString path = PathOf("NUV_Tolvek.lib");
        QFile f(path);
        EXPECT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(bytes);
        return path;
    }

    static QByteArray Read(const QString& path) {
        QFile f(path);
        EXPECT_TRUE(f.open(QIODevice::ReadOnly));
        return f.readAll();
    }

    // Load, rebuild, save: what the program does to a file it does not change.
    static QByteArray LoadAndSaveBack(const QString& path, DictionaryRows* rows = nullptr) {
        DictionaryFile file(path);
        const DictionaryRows loaded = RowsFromLines(file.Load());
        file.Save(EntryLines(loaded));
        if (rows) *rows = loaded;
        return Read(path);
    }

    QTemporaryDir dir_;
};

// "аб" and "в" in Windows-1251, UTF-8 and UTF-16.
const QByteArray kAbCp1251("\xE0\xE1\t\xE2\r\n", 6);

TEST_F(DictionaryFileTest, MissingFileIsAnErrorWithThePath) {
    DictionaryFile file(PathOf("absent.lib"));
    try {
        file.Load();
        FAIL() << "no error";
    } catch (const textfiles::FileError& e) {
        EXPECT_EQ(e.path(), PathOf("absent.lib"));
    }
}

TEST_F(DictionaryFileTest, EmptyFileAndMarkOnlyFileAreEmptyDictionaries) {
    for (const QByteArray& bytes : {QByteArray(), QByteArray("\xEF\xBB\xBF"),
                                    QByteArray("\xFF\xFE"), QByteArray("\xFE\xFF")}) {
        DictionaryFile file(Write(bytes));
        EXPECT_TRUE(file.Load().isEmpty()) << bytes.toHex().constData();
    }
}

TEST_F(DictionaryFileTest, Windows1251StaysWindows1251WithoutMark) {
    const QString path = Write(QByteArray("\xE2\t\xE3\r\n", 4) + kAbCp1251.left(5));
    DictionaryRows rows;
    const QByteArray saved = LoadAndSaveBack(path, &rows);
    ASSERT_EQ(rows.size(), 2u);
    EXPECT_EQ(rows[0], (DictionaryRow{QString::fromUtf8("аб"), QString::fromUtf8("в")}));
    EXPECT_EQ(saved, kAbCp1251 + QByteArray("\xE2\t\xE3\r\n", 5));
}

TEST_F(DictionaryFileTest, UnchangedFilesSurviveByteForByte) {
    const QByteArray utf8 =
        QByteArray("\xEF\xBB\xBF") + QString::fromUtf8("аб\tв\r\nя\tёж\r\n").toUtf8();
    EXPECT_EQ(LoadAndSaveBack(Write(utf8)), utf8);

    QByteArray le("\xFF\xFE", 2);
    for (QChar c : QString::fromUtf8("к\tкот\r\n"))
        le.append(char(c.unicode() & 0xFF)).append(char(c.unicode() >> 8));
    EXPECT_EQ(LoadAndSaveBack(Write(le)), le);

    QByteArray be("\xFE\xFF", 2);
    for (QChar c : QString::fromUtf8("к\tкот\r\n"))
        be.append(char(c.unicode() >> 8)).append(char(c.unicode() & 0xFF));
    EXPECT_EQ(LoadAndSaveBack(Write(be)), be);
}

TEST_F(DictionaryFileTest, LoneLineEndsAndMissingFinalEndAreWrittenAsCrLf) {
    const QString path = Write("b\t2\na\t1\rc\t3");
    EXPECT_EQ(LoadAndSaveBack(path), QByteArray("a\t1\r\nb\t2\r\nc\t3\r\n"));
}

TEST_F(DictionaryFileTest, CharacterOutsideWindows1251IsSavedAsUtf8WithMark) {
    DictionaryFile file(Write(kAbCp1251));
    DictionaryRows rows = RowsFromLines(file.Load());
    EXPECT_EQ(file.Encoding(), Encoding::Ansi);
    rows.push_back({"euro", QString::fromUtf8("€ and ½ and ✓")});  // € is in 1251, ½ and ✓ are not
    file.Save(EntryLines(rows));
    EXPECT_EQ(file.Encoding(), Encoding::Utf8);
    const QByteArray saved = Read(file.Path());
    EXPECT_EQ(saved, QByteArray("\xEF\xBB\xBF") +
                         QString::fromUtf8("аб\tв\r\neuro\t€ and ½ and ✓\r\n").toUtf8());
    DictionaryFile again(file.Path());
    EXPECT_EQ(RowsFromLines(again.Load()), RowsFromLines(EntryLines(rows)));
}

TEST_F(DictionaryFileTest, Windows1251TextThatLooksLikeAMarkIsSavedAsUtf8) {
    // "яю" is FF FE in Windows-1251, "юя" FE FF, "п»ї" EF BB BF: written as they are, the
    // next start would read the file as UTF-16 or UTF-8.
    for (const char* first : {"яюшка", "юяшка", "п»їшка"}) {
        DictionaryFile file(Write(""));
        file.Load();
        const DictionaryRows rows{{QString::fromUtf8(first), "x"}};
        file.Save(EntryLines(rows));
        EXPECT_EQ(file.Encoding(), Encoding::Utf8) << first;
        DictionaryFile again(file.Path());
        EXPECT_EQ(RowsFromLines(again.Load()), rows) << first;
    }
}

TEST_F(DictionaryFileTest, QuestionMarksThatWereTypedStayInWindows1251) {
    DictionaryFile file(Write("q\twhat?\r\n"));
    file.Save(EntryLines(RowsFromLines(file.Load())));
    EXPECT_EQ(file.Encoding(), Encoding::Ansi);
    EXPECT_EQ(Read(file.Path()), QByteArray("q\twhat?\r\n"));
}

TEST_F(DictionaryFileTest, FailedSaveLeavesThePreviousFileWhole) {
    const QString path = Write(kAbCp1251);
    DictionaryFile file(path);
    file.Load();
    QFile::setPermissions(dir_.path(), QFileDevice::ReadOwner | QFileDevice::ExeOwner);
    bool threw = false;
    try {
        file.Save({"x\ty"});
    } catch (const textfiles::FileError&) {
        threw = true;
    }
    QFile::setPermissions(dir_.path(),
                          QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
    if (threw) {
        EXPECT_EQ(Read(path), kAbCp1251);
    }

    // Root may write anywhere; a folder that does not exist fails for everyone.
    DictionaryFile nowhere(PathOf("missing/NUV_Tolvek.lib"));
    EXPECT_THROW(nowhere.Save({"x\ty"}), textfiles::FileError);
}

TEST_F(DictionaryFileTest, HostileFilesLoadAndSaveBackWhatWasRead) {
    QByteArray garbage;
    quint32 seed = 12345;
    for (int i = 0; i < 20000; ++i) {
        seed = seed * 1103515245u + 12345u;
        garbage.append(char(seed >> 24));
    }
    const QByteArray invalidUtf8 = QByteArray(
        "\xEF\xBB\xBF"
        "ab\t\xC3\x28\xFF\r\n\xE2\x82\tx",
        15);
    const QByteArray oddUtf16 = QByteArray(
        "\xFF\xFE"
        "a\0\t\0b\0\n\0c",
        11);
    QByteArray large;
    for (int i = 0; i < 100000; ++i) large += "k" + QByteArray::number(99999 - i) + "\tv\r\n";

    for (const QByteArray& bytes : {garbage, invalidUtf8, oddUtf16, large}) {
        const QString path = Write(bytes);
        DictionaryFile file(path);
        const DictionaryRows rows = RowsFromLines(file.Load());
        file.Save(EntryLines(rows));
        // What was read and kept as entries comes back from the saved file unchanged.
        DictionaryFile again(path);
        // A line without a TAB comes back with one, which may move it past its neighbours,
        // so compare against the rebuild of what was saved.
        EXPECT_EQ(EntryLines(RowsFromLines(again.Load())),
                  EntryLines(RowsFromLines(EntryLines(rows))));
    }
}

}  // namespace
