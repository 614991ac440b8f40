#include "editor/editor_window.h"

#include <QApplication>
#include <QClipboard>
#include <QColorDialog>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QFileDialog>
#include <QFontDialog>
#include <QGridLayout>
#include <QIcon>
#include <QKeyEvent>
#include <QLabel>
#include <QMenuBar>
#include <QMessageBox>
#include <QPixmap>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QStatusBar>
#include <QTimer>
#include <utility>

#include "editor/editor_commands.h"
#include "editor/editor_dialogs.h"
#include "editor/exchange_menu.h"
#include "editor/find_bar.h"
#include "editor/memo_marks.h"
#include "editor/spell_marks.h"
#include "editor/text_transforms.h"
#include "editor/timestamp_links.h"

TForm2::TForm2(QWidget* parent) : QMainWindow(parent) {
    setObjectName(QStringLiteral("Form2"));
    setWindowTitle(QStringLiteral("NUV Tolvek - Редактор"));

    auto* client = new QWidget(this);
    client->setObjectName(QStringLiteral("ClientArea"));
    setCentralWidget(client);

    Memo1 = new QPlainTextEdit(client);
    Memo1->setObjectName(QStringLiteral("Memo1"));
    Memo1->setLineWrapMode(QPlainTextEdit::WidgetWidth);
    Memo1->setWordWrapMode(QTextOption::WrapAtWordBoundaryOrAnywhere);
    Memo1->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    Memo1->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    // One history only: the editor's own, which every cut and paste records into.
    Memo1->setUndoRedoEnabled(false);
    Memo1->setAcceptDrops(false);
    Memo1->viewport()->setAcceptDrops(false);
    QFont font(QStringLiteral("Tahoma"));
    font.setPixelSize(11);
    Memo1->setFont(font);
    Memo1->setContextMenuPolicy(Qt::CustomContextMenu);
    Memo1->move(1, 1);
    memoText_ = ::MemoText(Memo1);

    Memo2 = new QPlainTextEdit(client);
    Memo2->setObjectName(QStringLiteral("Memo2"));
    Memo2->setLineWrapMode(QPlainTextEdit::NoWrap);
    Memo2->setUndoRedoEnabled(false);
    Memo2->hide();

    StatusBar1 = new QStatusBar(this);
    StatusBar1->setObjectName(QStringLiteral("StatusBar1"));
    StatusBar1->setFixedHeight(19);
    setStatusBar(StatusBar1);
    const int widths[4] = {150, 150, 150, 50};
    for (int i = 0; i < 4; ++i) {
        auto* panel = new QLabel(StatusBar1);
        panel->setObjectName(QStringLiteral("StatusPanel%1").arg(i + 1));
        panel->setFixedWidth(widths[i]);
        if (i < 3) panel->setAlignment(Qt::AlignCenter);
        panel->setFrameShape(QFrame::StyledPanel);
        StatusBar1->addWidget(panel);
        StatusPanels[i] = panel;
    }

    marks_ = std::make_unique<MemoMarks>(Memo1);
    auto note = [this](const QString& text) { ShowNote(text); };
    Timestamps = new TimestampLinks(Memo1, memoText_, History, note, this);
    Spelling = new SpellMarks(Memo1, memoText_, History, note, this);
    FindBar1 = new FindBar(Memo1, memoText_, History, *marks_, this);
    addToolBar(Qt::BottomToolBarArea, FindBar1);
    // The panels follow the caret wherever it is moved from (the find bar, a timestamp jump,
    // an opened file or project), once per turn of the event loop however many moves.
    const auto refresh = [this] {
        if (std::exchange(statusRefreshPending_, true)) return;
        QTimer::singleShot(0, this, [this] {
            statusRefreshPending_ = false;
            Memo1Click();
        });
    };
    connect(Memo1, &QPlainTextEdit::cursorPositionChanged, this, refresh);
    connect(Memo1, &QPlainTextEdit::textChanged, this, refresh);

    BuildMenus();
    Exchange = new ExchangeMenu(*this, qobject_cast<QMenu*>(HTML1->parent()), N2, HTML1,
                                qobject_cast<QMenu*>(N21->parent()));

    // Default dialogs; tests replace them.
    RunTextFileDialog = [this](TextFileDialog& dialog, bool save) {
        return RunQtTextFileDialog(this, dialog, save);
    };
    RunFontDialog = [this](QFont& chosen, QColor& color) {
        return RunQtFontDialog(this, chosen, color);
    };
    RunColorDialog = [this](QColor& chosen) {
        const QColor picked = QColorDialog::getColor(chosen, this);
        if (!picked.isValid()) return false;
        chosen = picked;
        return true;
    };
    ShowMessage = [this](const QString& text) {
        QMessageBox::information(this, QStringLiteral("NUV Tolvek"), text);
    };
    ShowError = [this](const QString& text) {
        QMessageBox box(QMessageBox::Critical, QStringLiteral("NUV Tolvek"), text, QMessageBox::Ok,
                        this);
        box.exec();
    };

    Memo1->installEventFilter(this);
    Memo1->viewport()->installEventFilter(this);
    client->installEventFilter(this);
    connect(Memo1, &QWidget::customContextMenuRequested, this, &TForm2::ShowContextMenu);

    // Construction steps: dialogs open on the control's font and colour, no file name yet,
    // sized like the player at the top-left corner, one snapshot of the empty text.
    FontDialog1Font = Memo1->font();
    FontDialog1Color = Memo1->palette().color(QPalette::Text);
    ColorDialog1Color = Memo1->palette().color(QPalette::Base);
    SaveTextFileDialog1.FileName.clear();
    // The player's size; the window set makes it the player's own.
    resize(662, 503);
    move(0, 0);
    StatusBar1Resize();
    RecordSnapshot(memoText_, History);
}

TForm2::~TForm2() {
    // Their event filters and connections watch Memo1: gone before Memo1 starts to go.
    delete Timestamps;
    Timestamps = nullptr;
    delete Spelling;
    Spelling = nullptr;
}

void TForm2::BuildMenus() {
    auto item = [this](QMenu* menu, const QString& objectName, const QString& caption,
                       void (TForm2::*handler)(), const QList<QKeySequence>& keys = {}) {
        QAction* action = menu->addAction(caption);
        action->setObjectName(objectName);
        action->setShortcuts(keys);
        action->setShortcutContext(Qt::WindowShortcut);
        // Any item may be given a key later: each is asked whether a key is its own.
        menuActions_.append(action);
        connect(action, &QAction::triggered, this, [this, handler] { (this->*handler)(); });
        return action;
    };
    QMenuBar* bar = menuBar();

    QMenu* file = bar->addMenu(QStringLiteral("Файл"));
    N2 = item(file, "N2", QStringLiteral("Открыть"), &TForm2::N2Click);
    file->addSeparator();
    N4 = item(file, "N4", QStringLiteral("Сохранить"), &TForm2::N4Click);
    N5 = item(file, "N5", QStringLiteral("Сохранить как"), &TForm2::N5Click);
    file->addSeparator();
    HTML1 = item(file, "HTML1", QStringLiteral("Экспорт в HTML"), &TForm2::HTML1Click);
    file->addSeparator();
    N10 = item(file, "N10", QStringLiteral("Выход"), &TForm2::N10Click);

    EditMenu = bar->addMenu(QStringLiteral("Редактирование"));
    QMenu* edit = EditMenu;
    N28 = item(edit, "N28", QStringLiteral("Копировать"), &TForm2::N28Click,
               {QKeySequence(Qt::CTRL | Qt::Key_C)});
    N30 = item(edit, "N30", QStringLiteral("Вырезать"), &TForm2::N30Click,
               {QKeySequence(Qt::CTRL | Qt::Key_X)});
    N29 = item(edit, "N29", QStringLiteral("Вставить"), &TForm2::N29Click,
               {QKeySequence(Qt::CTRL | Qt::Key_V)});
    edit->addSeparator();
    N32 = item(edit, "N32", QStringLiteral("Выделить всё"), &TForm2::N32Click,
               {QKeySequence(Qt::CTRL | Qt::Key_A)});
    edit->addSeparator();
    // Ctrl+Z and Ctrl+Shift+Z / Ctrl+Y as well: the keys every typist tries first.
    N34 = item(edit, "N34", QStringLiteral("Отменить"), &TForm2::N34Click,
               {QKeySequence(Qt::CTRL | Qt::Key_U), QKeySequence(Qt::CTRL | Qt::Key_Z)});
    N35 = item(edit, "N35", QStringLiteral("Повторить"), &TForm2::N35Click,
               {QKeySequence(Qt::CTRL | Qt::Key_R), QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_Z),
                QKeySequence(Qt::CTRL | Qt::Key_Y)});
    edit->addSeparator();
    N37 = item(edit, "N37", QStringLiteral("Инверсия регистра"), &TForm2::N37Click,
               {QKeySequence(Qt::Key_F11)});
    N38 = item(edit, "N38", QStringLiteral("Неверная раскладка"), &TForm2::N38Click,
               {QKeySequence(Qt::Key_F12)});
    edit->addSeparator();
    FindItem = item(edit, "FindItem", QStringLiteral("Найти…"), &TForm2::FindClick,
                    {QKeySequence(Qt::CTRL | Qt::Key_F)});
    ReplaceItem = item(edit, "ReplaceItem", QStringLiteral("Заменить…"), &TForm2::ReplaceClick,
                       {QKeySequence(Qt::CTRL | Qt::Key_H)});
    edit->addSeparator();
    TimestampItem = item(edit, "TimestampItem", QStringLiteral("Вставить метку времени"),
                         &TForm2::TimestampClick, {QKeySequence(Qt::CTRL | Qt::Key_T)});
    PlayTimestampItem = item(edit, "PlayTimestampItem", QStringLiteral("Играть с метки времени"),
                             &TForm2::PlayTimestampClick, {QKeySequence(Qt::CTRL | Qt::Key_J)});

    QMenu* dictionary = bar->addMenu(QStringLiteral("Словарь"));
    N18 = item(dictionary, "N18", QStringLiteral("Открыть словарь"), &TForm2::N18Click,
               {QKeySequence(Qt::Key_F7)});
    dictionary->addSeparator();
    N16 = item(dictionary, "N16", QStringLiteral("Добавить текст в словарь"), &TForm2::N16Click,
               {QKeySequence(Qt::Key_F8)});
    dictionary->addSeparator();
    F81 = item(dictionary, "F81", QStringLiteral("Вставить из словаря"), &TForm2::F81Click,
               {QKeySequence(Qt::Key_F9)});
    N23 = item(dictionary, "N23", QStringLiteral("Вставить из словаря (первая заглавная)"),
               &TForm2::N23Click, {QKeySequence(Qt::SHIFT | Qt::Key_F9)});

    QMenu* participants = bar->addMenu(QStringLiteral("Участники"));
    N25 = item(participants, "N25", QStringLiteral("Показать участников"), &TForm2::N25Click,
               {QKeySequence(Qt::Key_F10)});

    QMenu* settings = SettingsMenu = bar->addMenu(QStringLiteral("Настройки"));
    settings->setObjectName(QStringLiteral("SettingsMenu"));
    N21 = item(settings, "N21", QStringLiteral("Шрифт"), &TForm2::N21Click);
    N22 = item(settings, "N22", QStringLiteral("Цвет фона"), &TForm2::N22Click);
    settings->addSeparator();
    SpellItem =
        item(settings, "SpellItem", QStringLiteral("Проверка орфографии"), &TForm2::SpellClick);
    SpellItem->setCheckable(true);
    SpellItem->setChecked(Spelling->Enabled());
    connect(Spelling, &SpellMarks::Unavailable, this, [this] { SpellItem->setChecked(false); });

    QMenu* help = bar->addMenu(QStringLiteral("Помощь"));
    HelpItem = help->addAction(QStringLiteral("Справка"));
    HelpItem->setObjectName(QStringLiteral("HelpItem"));
    help->addSeparator();
    AboutItem = help->addAction(QStringLiteral("О программе"));
    AboutItem->setObjectName(QStringLiteral("AboutItem"));

    for (int n = 1; n <= 10; ++n) {
        QAction* action = new QAction(QStringLiteral("Реплика участника %1").arg(n), this);
        action->setObjectName(QStringLiteral("Participant%1").arg(n));
        connect(action, &QAction::triggered, this, [this, n] { InsertParticipant(n); });
        ParticipantItems[n - 1] = action;
    }
}

// ---- Text for the project commands ----

QString TForm2::Text() const {
    return memoText_.Text();
}

void TForm2::ReplaceText(const QString& text) {
    memoText_.SetText(text);
}

void TForm2::ReadFileDetect(const QString& path) {
    textfiles::DetectedText read = textfiles::ReadTextFileDetect(path);
    memoText_.SetText(read.text);
    TextEncoding = read.encoding;
}

// ---- File menu ----

void TForm2::GuardFileCommand(const std::function<void()>& command) {
    try {
        command();
    } catch (const textfiles::FileError& error) {
        ShowError(error.message());
    }
}

void TForm2::N2Click() {
    if (!RunTextFileDialog(OpenTextFileDialog1, false)) return;
    GuardFileCommand([this] {
        const TextFileDialog& chosen = OpenTextFileDialog1;
        TextEncoding = OpenTextInto(memoText_, History, chosen.FileName, chosen.Encoding);
        if (TextEncoding != chosen.Encoding) ShowNote(MarkWonNote(TextEncoding));
        SaveTextFileDialog1.FileName = chosen.FileName;
        if (TextStored) TextStored();
    });
}

void TForm2::N4Click() {
    if (SaveTextFileDialog1.FileName.isEmpty() && !RunTextFileDialog(SaveTextFileDialog1, true)) {
        return;
    }
    GuardFileCommand([this] {
        textfiles::WriteTextFile(SaveTextFileDialog1.FileName, memoText_.Text(),
                                 SaveTextFileDialog1.Encoding);
        if (TextStored) TextStored();
    });
}

void TForm2::N5Click() {
    if (RunTextFileDialog(SaveTextFileDialog1, true)) N4Click();
}

void TForm2::HTML1Click() {
    if (ExportHtmlPage) ExportHtmlPage();
}

void TForm2::N10Click() {
    QCoreApplication::quit();
}

// ---- Editing menu ----

void TForm2::N28Click() {
    const QString selected = memoText_.SelText();
    if (!selected.isEmpty()) QGuiApplication::clipboard()->setText(selected);
}

void TForm2::N30Click() {
    const QString cut = CutSelection(memoText_, History);
    if (!cut.isEmpty()) QGuiApplication::clipboard()->setText(cut);
}

void TForm2::N29Click() {
    PasteText(memoText_, History, QGuiApplication::clipboard()->text());
}

void TForm2::N32Click() {
    Memo1->selectAll();
}

void TForm2::N34Click() {
    UndoEdit(memoText_, History);
}

void TForm2::N35Click() {
    RedoEdit(memoText_, History);
}

void TForm2::N37Click() {
    TransformSelection(memoText_, History, InvertCase);
}

void TForm2::N38Click() {
    TransformSelection(memoText_, History, SwapLayout);
}

// ---- Dictionary and participants ----

void TForm2::N18Click() {
    if (ShowDictionary) ShowDictionary();
}

void TForm2::N16Click() {
    if (OfferToDictionary) OfferToDictionary();
}

void TForm2::F81Click() {
    if (ExpandAbbreviation) ExpandAbbreviation(false);
}

void TForm2::N23Click() {
    if (ExpandAbbreviation) ExpandAbbreviation(true);
}

void TForm2::N25Click() {
    if (ShowParticipants) ShowParticipants();
}

// ---- Settings ----

void TForm2::N21Click() {
    QFont font = FontDialog1Font;
    QColor color = FontDialog1Color;
    if (!RunFontDialog(font, color)) return;
    FontDialog1Font = font;
    FontDialog1Color = color;
    Memo1->setFont(font);
    QPalette palette = Memo1->palette();
    palette.setColor(QPalette::Text, color);
    Memo1->setPalette(palette);
}

void TForm2::N22Click() {
    QColor color = ColorDialog1Color;
    if (!RunColorDialog(color)) return;
    ColorDialog1Color = color;
    QPalette palette = Memo1->palette();
    palette.setColor(QPalette::Base, color);
    Memo1->setPalette(palette);
}

// ---- Find, timestamps, spelling ----

void TForm2::FindClick() {
    FindBar1->Open(false);
}

void TForm2::ReplaceClick() {
    FindBar1->Open(true);
}

void TForm2::TimestampClick() {
    Timestamps->InsertAtCaret();
}

void TForm2::PlayTimestampClick() {
    Timestamps->PlayAtCaret();
}

void TForm2::SpellClick() {
    const bool on = Spelling->SetEnabled(SpellItem->isChecked());
    SpellItem->setChecked(on && SpellItem->isChecked());
}

void TForm2::SetPlayerLink(PlayerLink link) {
    Timestamps->Player = std::move(link);
}

void TForm2::ShowNote(const QString& text) {
    StatusBar1->showMessage(text, 6000);
}

void TForm2::ShowContextMenu(const QPoint& viewportPos) {
    const QPoint global = Memo1->viewport()->mapToGlobal(viewportPos);
    QMenu spelling;
    if (!Spelling->AddToMenu(spelling, viewportPos)) {
        EditMenu->exec(global);
        return;
    }
    spelling.addSeparator();
    spelling.addActions(EditMenu->actions());
    spelling.exec(global);
}

// ---- Status bar and layout ----

void TForm2::Memo1Click() {
    const QStringList texts =
        StatusPanelTexts(memoText_.CaretLine(), memoText_.SelStart(), memoText_.TextLength());
    for (int i = 0; i < 3; ++i) StatusPanels[i]->setText(texts[i]);
}

void TForm2::Memo1KeyUp() {
    Memo1Click();
}

void TForm2::StatusBar1Resize() {
    const QWidget* client = centralWidget();
    Memo1->setGeometry(1, 1, std::max(0, client->width() - 3), std::max(0, client->height() - 3));
}

void TForm2::resizeEvent(QResizeEvent* event) {
    QMainWindow::resizeEvent(event);
    StatusBar1Resize();
}
