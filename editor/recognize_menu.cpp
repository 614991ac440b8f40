#include "editor/recognize_menu.h"

#include <QAction>
#include <QEvent>
#include <QMenu>
#include <QMessageBox>
#include <QProgressBar>
#include <QPushButton>
#include <QStatusBar>

#include "commands/default_commands.h"
#include "commands/registry.h"
#include "editor/editor_commands.h"
#include "editor/editor_window.h"
#include "editor/exchange_menu.h"
#include "editor/recognize_settings_dialog.h"

RecognizeMenu::RecognizeMenu(TForm2& editor, QMenu* file, QAction* after, QMenu* settings)
    : QObject(&editor), editor_(editor) {
    const QList<QAction*> actions = file->actions();
    const qsizetype index = actions.indexOf(after);
    QAction* before = index >= 0 && index + 1 < actions.size() ? actions[index + 1] : nullptr;
    RecognizeItem = new QAction(QStringLiteral("Распознать черновик…"), file);
    RecognizeItem->setObjectName(QStringLiteral("RecognizeItem"));
    file->insertAction(before, RecognizeItem);
    connect(RecognizeItem, &QAction::triggered, this, [this] { RecognizeClick(); });

    SettingsItem = settings->addAction(QStringLiteral("Распознавание…"));
    SettingsItem->setObjectName(QStringLiteral("RecognizeSettingsItem"));
    connect(SettingsItem, &QAction::triggered, this, [this] { RunSettingsDialog(); });

    bar_ = new QProgressBar(editor_.StatusBar1);
    bar_->setRange(0, 100);
    bar_->setMaximumWidth(160);
    bar_->setFormat(QStringLiteral("Распознавание %p%"));
    bar_->hide();
    cancel_ = new QPushButton(QStringLiteral("Отмена"), editor_.StatusBar1);
    cancel_->setObjectName(QStringLiteral("RecognizeCancel"));
    cancel_->setFocusPolicy(Qt::NoFocus);  // the typist's keys stay in the text
    cancel_->hide();
    editor_.StatusBar1->addPermanentWidget(bar_);
    editor_.StatusBar1->addPermanentWidget(cancel_);
    connect(cancel_, &QPushButton::clicked, this, [this] { Cancel(); });

    connect(&recognition_, &recognize::Recognition::progress, bar_, &QProgressBar::setValue);
    connect(&recognition_, &recognize::Recognition::finished, this, &RecognizeMenu::Take);
    connect(&recognition_, &recognize::Recognition::failed, this, &RecognizeMenu::Finish);

    Recording = [] { return QString(); };
    AskPlace = [this] {
        QMessageBox box(QMessageBox::Question, QStringLiteral("Распознать черновик"),
                        QStringLiteral("В редакторе уже есть текст. Куда вставить черновик?"),
                        QMessageBox::NoButton, &editor_);
        QPushButton* replace =
            box.addButton(QStringLiteral("Заменить текст"), QMessageBox::AcceptRole);
        QPushButton* caret =
            box.addButton(QStringLiteral("Вставить у курсора"), QMessageBox::AcceptRole);
        box.addButton(QStringLiteral("Отмена"), QMessageBox::RejectRole);
        box.exec();
        if (box.clickedButton() == replace) return Place::Replace;
        if (box.clickedButton() == caret) return Place::AtCaret;
        return Place::Cancel;
    };
    editor_.installEventFilter(this);
    Settings = [] { return recognize::LoadSettings(); };
    RunSettingsDialog = [this] {
        recognize::Settings s = recognize::LoadSettings();
        if (RunRecognizeSettingsDialog(&editor_, s)) recognize::SaveSettings(s);
    };
}

RecognizeMenu::~RecognizeMenu() = default;

bool RecognizeMenu::eventFilter(QObject* watched, QEvent* event) {
    if (watched == &editor_ && event->type() == QEvent::Close && Running()) Cancel();
    return QObject::eventFilter(watched, event);
}

void RecognizeMenu::RecognizeClick() {
    if (recognition_.Running()) return;
    const QString recording = Recording();
    if (recording.isEmpty()) {
        editor_.ShowNote(QStringLiteral("Сначала откройте запись в проигрывателе"));
        return;
    }
    place_ = Place::Replace;
    if (editor_.MemoText().TextLength() > 0) place_ = AskPlace();
    if (place_ == Place::Cancel) return;
    bar_->setValue(0);
    bar_->show();
    cancel_->show();
    editor_.StatusBar1->clearMessage();
    recognition_.Start(recording, Settings());
}

void RecognizeMenu::Cancel() {
    recognition_.Cancel();
    Finish(QStringLiteral("Распознавание отменено"));
}

int RecognizeMenu::Percent() const {
    return bar_->isVisible() || !bar_->isHidden() ? bar_->value() : -1;
}

void RecognizeMenu::Take(const std::vector<exchange::Segment>& draft) {
    QStringList names;
    for (const project::ParticipantCells& p : editor_.Exchange->Participants()) {
        if (!p.name.isEmpty()) names << p.name;
    }
    const QString text = exchange::DraftText(draft, names, editor_.Exchange->Style());
    EditorText& memo = editor_.MemoText();
    RecordSnapshot(memo, editor_.History);
    if (place_ == Place::Replace) memo.SetSelection(0, memo.TextLength());
    memo.ReplaceSelection(text);
    RecordSnapshot(memo, editor_.History);
    Finish(QStringLiteral("Черновик распознан: %1 фрагм.").arg(draft.size()));
}

void RecognizeMenu::Finish(const QString& message) {
    bar_->hide();
    cancel_->hide();
    // In the status bar, not a message box: the typist may be typing meanwhile.
    QString line = message;
    line.replace(QLatin1Char('\n'), QStringLiteral(" | "));
    editor_.StatusBar1->showMessage(line);
    editor_.StatusBar1->setToolTip(message);
}

void WireRecognizeCommands(commands::Registry& registry, RecognizeMenu& menu) {
    const QString window = QString::fromUtf16(commands::kEditorWindow);
    registry.Add({QStringLiteral("editor.recognize"),
                  QStringLiteral("Распознать черновик"),
                  {},
                  commands::Kind::Plain,
                  commands::Reach::Window,
                  window});
    registry.SetHandler(QStringLiteral("editor.recognize"), [m = &menu] { m->RecognizeClick(); });
    registry.BindAction(menu.RecognizeItem, QStringLiteral("editor.recognize"));
    registry.Add({QStringLiteral("recognize.settings"),
                  QStringLiteral("Распознавание"),
                  {},
                  commands::Kind::Plain,
                  commands::Reach::Window,
                  window});
    registry.SetHandler(QStringLiteral("recognize.settings"),
                        [m = &menu] { m->RunSettingsDialog(); });
    registry.BindAction(menu.SettingsItem, QStringLiteral("recognize.settings"));
}
