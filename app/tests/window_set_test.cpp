// The window set as the program starts it: the look set up first, then the six windows.
#include "app/window_set.h"

#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QApplication>
#include <QFontInfo>
#include <QGroupBox>
#include <QLabel>
#include <QMenuBar>
#include <QMessageBox>
#include <QStatusBar>
#include <QTest>
#include <QTimer>

#include "app/about_box.h"
#include "app/look_and_feel.h"
#include "audio/audio.h"
#include "dictionary/dictionary_window.h"
#include "dictionary/variant_chooser.h"
#include "editor/editor_window.h"
#include "participants/participants_window.h"
#include "player/player_window.h"

namespace {

void ExpectWindowFont(const QWidget* widget, const char* what) {
    const QFontInfo info(widget->font());
    EXPECT_EQ(info.family(), QStringLiteral("Tahoma")) << what;
    EXPECT_EQ(info.pixelSize(), 11) << what;
}

TEST(WindowSet, StartsWithThePlayerAloneInTahomaAndRussianToolkitTexts) {
    SetUpLookAndFeel(*static_cast<QApplication*>(QCoreApplication::instance()));
    audio::CloseDevice();
    ASSERT_TRUE(audio::OpenManualOutput(44100));
    CreateWindowSet();
    Form1->Timer1->stop();
    Form1->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(Form1));

    const struct {
        QWidget* window;
        const char* caption;
    } windows[] = {
        {Form1, "NUV Tolvek - Проигрыватель"}, {Form2, "NUV Tolvek - Редактор"},
        {Form3, "NUV Tolvek - Словарь"},       {AboutBox, "О программе"},
        {Form5, "NUV Tolvek - Участники"},     {Form6, "NUV Tolvek - Выберите вариант из списка"}};
    for (const auto& w : windows) {
        ASSERT_NE(w.window, nullptr) << w.caption;
        EXPECT_EQ(w.window->windowTitle(), QString::fromUtf8(w.caption));
        EXPECT_EQ(w.window->isVisible(), w.window == Form1) << w.caption;
        if (w.window != AboutBox) ExpectWindowFont(w.window, w.caption);
    }
    ExpectWindowFont(Form2->menuBar(), "editor menu");
    ExpectWindowFont(Form2->StatusBar1, "editor status bar");
    ExpectWindowFont(Form1->menuBar(), "player menu");

    // The player: fixed size, no maximize button.
    EXPECT_EQ(Form1->centralWidget()->size(), QSize(662, 503));
    EXPECT_EQ(Form1->minimumSize(), Form1->maximumSize());
    EXPECT_FALSE(Form1->windowFlags() & Qt::WindowMaximizeButtonHint);
    // With Tahoma's metrics the labels fit as laid out, none squeezed into a smaller size.
    for (const QLabel* label : Form1->GroupBox1->findChildren<QLabel*>()) {
        EXPECT_EQ(label->font().pixelSize(), 11) << label->text().toStdString();
        EXPECT_LE(QFontMetrics(label->font()).horizontalAdvance(label->text()), label->width())
            << label->text().toStdString();
    }

    // Qt's own buttons read in Russian.
    QMessageBox box(QMessageBox::Warning, QString(), QString(),
                    QMessageBox::Ok | QMessageBox::Cancel);
    EXPECT_EQ(box.button(QMessageBox::Cancel)->text(), QStringLiteral("Отмена"));

    // Closing the editor only hides it; its text stays.
    Form2->show();
    Form2->ReplaceText(QStringLiteral("текст"));
    TForm2* const editor = Form2;
    EXPECT_TRUE(Form2->close());
    EXPECT_FALSE(Form2->isVisible());
    EXPECT_EQ(Form2, editor);
    EXPECT_EQ(Form2->Text(), QStringLiteral("текст"));

    // Closing the player ends the event loop (a second timer only guards against a hang).
    QTimer::singleShot(0, Form1, [] { Form1->close(); });
    QTimer guard;
    guard.setSingleShot(true);
    QObject::connect(&guard, &QTimer::timeout, [] { QCoreApplication::exit(7); });
    guard.start(10000);
    EXPECT_EQ(QCoreApplication::exec(), 0);
    guard.stop();

    DestroyWindowSet();
    audio::CloseDevice();
}

}  // namespace
