#include <gtest/gtest.h>

#include <QLabel>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <stdexcept>

#include "app/about_box.h"
#include "app/application.h"
#include "app/shell_commands.h"
#include "textfiles/textfiles.h"

namespace {

// Records what the error dialog and the desktop opener would have shown or opened.
class ShellTest : public ::testing::Test {
  protected:
    void SetUp() override {
        savedOpener = OpenInShell;
        OpenInShell = [this](const QUrl& url) {
            opened << url.toString();
            return true;
        };
        ErrorDialogHook = [this](const QString& message) { errors << message; };
    }
    void TearDown() override {
        OpenInShell = savedOpener;
        ErrorDialogHook = nullptr;
    }
    QStringList opened;
    QStringList errors;
    std::function<bool(const QUrl&)> savedOpener;
};

// An object whose event handler fails the way a command meeting a file error does.
class FailingReceiver : public QObject {
  public:
    int handled = 0;
    bool event(QEvent* event) override {
        if (event->type() != QEvent::User) return QObject::event(event);
        ++handled;
        if (handled == 1) throw std::runtime_error("Нет доступа к файлу");
        if (handled == 2) throw 42;
        return true;
    }
};

TEST_F(ShellTest, EscapedExceptionsAreShownAndTheLoopGoesOn) {
    FailingReceiver receiver;
    for (int i = 0; i < 3; ++i) QCoreApplication::postEvent(&receiver, new QEvent(QEvent::User));
    QCoreApplication::sendPostedEvents(&receiver, QEvent::User);
    EXPECT_EQ(receiver.handled, 3);
    // A foreign exception carries no message: the dialog shows an empty one.
    EXPECT_EQ(errors, (QStringList{"Нет доступа к файлу", ""}));
}

TEST_F(ShellTest, FailedStepShowsPathAndReasonAndReportsTheFailure) {
    bool laterStepRan = false;
    const bool ok = RunShowingErrors([&] {
        throw textfiles::FileError("/нет/такого/файла.txt", "No such file or directory");
        laterStepRan = true;
    });
    EXPECT_FALSE(ok);
    EXPECT_FALSE(laterStepRan);
    ASSERT_EQ(errors.size(), 1);
    EXPECT_TRUE(errors[0].contains("/нет/такого/файла.txt"));
    // The system's English reason is said in Russian.
    EXPECT_TRUE(errors[0].contains(QStringLiteral("Нет такого файла или папки")))
        << errors[0].toStdString();
    EXPECT_TRUE(RunShowingErrors([] {}));
    EXPECT_EQ(errors.size(), 1);
}

TEST_F(ShellTest, AboutWindowShowsTheProductItsVersionAndLicence) {
    TAboutBox about;
    EXPECT_EQ(about.windowTitle(), "О программе");
    EXPECT_EQ(about.size(), QSize(298, 213));
    EXPECT_EQ(about.ProductName->text(), "NUV Tolvek");
    EXPECT_EQ(about.Version->text(), "Версия 2.0");
    EXPECT_TRUE(about.Version->font().bold());
    EXPECT_TRUE(about.Comments->text().contains("GNU GPL версии 3 или новее"));
    {
        // The number is the build's, not one written into the window.
        QCoreApplication::setApplicationVersion(QStringLiteral("7.4.1"));
        TAboutBox later;
        QCoreApplication::setApplicationVersion(QStringLiteral("2.0"));
        EXPECT_EQ(later.Version->text(), "Версия 7.4.1");
    }
    EXPECT_TRUE(about.OKButton->isDefault());

    about.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&about));
    // OK closes the modal window with the result OK.
    QTimer::singleShot(0, about.OKButton, [&] { about.OKButton->click(); });
    EXPECT_EQ(about.exec(), QDialog::Accepted);
}

TEST(ShellOpen, ARefusalOfTheDesktopIsSaidWithTheAddressOrTheFile) {
    const auto savedOpen = OpenInShell;
    QList<QUrl> asked;
    QStringList errors;
    bool accept = false;
    OpenInShell = [&](const QUrl& url) {
        asked << url;
        return accept;
    };
    ErrorDialogHook = [&](const QString& message) { errors << message; };
    OpenInShellOrSay(QUrl(QStringLiteral("https://example.org/справка/")));
    OpenInShellOrSay(QUrl::fromLocalFile(QStringLiteral("/tmp/протокол 1.html")));
    accept = true;
    OpenInShellOrSay(QUrl(QStringLiteral("https://example.org/")));
    // A page just exported: saved whatever the browser does.
    OpenSavedPageOrSay(QStringLiteral("/tmp/протокол 2.html"));
    accept = false;
    OpenSavedPageOrSay(QStringLiteral("/tmp/протокол 3.html"));
    OpenInShell = savedOpen;
    ErrorDialogHook = nullptr;

    EXPECT_EQ(asked.size(), 5);
    EXPECT_EQ(
        errors,
        (QStringList{
            QStringLiteral("Не удалось открыть страницу в браузере: https://example.org/справка/"),
            QStringLiteral("Не удалось открыть файл: /tmp/протокол 1.html"),
            QStringLiteral(
                "Страница сохранена: /tmp/протокол 3.html\nОткрыть её в браузере не удалось.")}));
}

}  // namespace

int main(int argc, char** argv) {
    ::testing::InitGoogleTest(&argc, argv);
    TApplication app(argc, argv);
    return RUN_ALL_TESTS();
}
