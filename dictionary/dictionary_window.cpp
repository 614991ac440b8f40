#include "dictionary/dictionary_window.h"

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QCoreApplication>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QStatusBar>
#include <QStyledItemDelegate>
#include <QTableView>

#include "textfiles/textfiles.h"

namespace {

constexpr int kRowHeight = 18;

// In-place editor of the table: every change of the text goes to the table at once.
class CellDelegate : public QStyledItemDelegate {
  public:
    CellDelegate(TForm3* form, QObject* parent) : QStyledItemDelegate(parent), form_(form) {}

    QWidget* createEditor(QWidget* parent, const QStyleOptionViewItem& option,
                          const QModelIndex& index) const override {
        auto* editor = new QLineEdit(parent);
        editor->setFrame(false);
        const int row = index.row();
        const int column = index.column();
        TForm3* form = form_;
        QObject::connect(editor, &QLineEdit::textEdited, editor,
                         [form, row, column](const QString& text) {
                             form->StringGrid1SetEditText(row, column, text);
                         });
        Q_UNUSED(option);
        return editor;
    }

    // Also called back by every change the editor itself stored: leave the caret alone then.
    void setEditorData(QWidget* editor, const QModelIndex& index) const override {
        auto* line = static_cast<QLineEdit*>(editor);
        const QString text = index.data(Qt::EditRole).toString();
        if (line->text() != text) line->setText(text);
    }

    // The text is already in the table, kept up to date while typing.
    void setModelData(QWidget*, QAbstractItemModel*, const QModelIndex&) const override {}

  private:
    TForm3* form_;
};

QString DefaultDictionaryPath() {
    return QCoreApplication::applicationDirPath() + QStringLiteral("/NUV_Tolvek.lib");
}

}  // namespace

TForm3::TForm3(QWidget* parent) : TForm3(DefaultDictionaryPath(), parent) {}

TForm3::TForm3(const QString& dictionaryPath, QWidget* parent)
    : QWidget(parent), File(dictionaryPath) {
    setObjectName("Form3");
    setWindowTitle(QStringLiteral("NUV Tolvek - Словарь"));
    QFont font(QStringLiteral("Tahoma"));
    font.setPixelSize(11);
    setFont(font);
    resize(652, 419);

    ShowMessage = [this](const QString& text) {
        QMessageBox::information(this, QGuiApplication::applicationDisplayName(), text);
    };
    AskOkCancel = [](const QString& text, const QString& title) {
        QMessageBox box(QMessageBox::Warning, title, text, QMessageBox::Ok | QMessageBox::Cancel);
        box.setEscapeButton(QMessageBox::Cancel);
        return box.exec() == QMessageBox::Ok;
    };
    // The window set puts the program's own error dialog here.
    ShowError = [this](const QString& text) {
        QMessageBox box(QMessageBox::Critical, QStringLiteral("NUV Tolvek"), text, QMessageBox::Ok,
                        this);
        box.exec();
    };

    BuildControls();
    LoadDictionary();
    connect(qApp, &QApplication::focusChanged, this, &TForm3::OnFocusChanged);
}

TForm3::~TForm3() {
    // The children go down after this body, moving the focus: no more calls in here then.
    disconnect(qApp, &QApplication::focusChanged, this, nullptr);
}

void TForm3::BuildControls() {
    Table = new DictionaryModel(this);

    StringGrid1 = new QTableView(this);
    StringGrid1->setObjectName("StringGrid1");
    StringGrid1->setModel(Table);
    StringGrid1->setItemDelegate(new CellDelegate(this, StringGrid1));
    StringGrid1->setGeometry(4, 4, 635, 344);
    StringGrid1->verticalHeader()->hide();
    StringGrid1->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    StringGrid1->verticalHeader()->setMinimumSectionSize(kRowHeight);
    StringGrid1->verticalHeader()->setDefaultSectionSize(kRowHeight);
    StringGrid1->horizontalHeader()->setSectionResizeMode(QHeaderView::Interactive);
    StringGrid1->horizontalHeader()->setHighlightSections(false);
    StringGrid1->horizontalHeader()->setMinimumHeight(kRowHeight);
    StringGrid1->setColumnWidth(0, 119);
    StringGrid1->setColumnWidth(1, 502);
    StringGrid1->setShowGrid(true);
    StringGrid1->setWordWrap(false);
    StringGrid1->setSelectionMode(QAbstractItemView::ContiguousSelection);
    StringGrid1->setSelectionBehavior(QAbstractItemView::SelectItems);
    StringGrid1->setEditTriggers(QAbstractItemView::DoubleClicked |
                                 QAbstractItemView::EditKeyPressed |
                                 QAbstractItemView::AnyKeyPressed);
    StringGrid1->setTabKeyNavigation(false);
    StringGrid1->setContextMenuPolicy(Qt::CustomContextMenu);

    Edit1 = new QLineEdit(this);
    Edit1->setObjectName("Edit1");
    Edit1->setGeometry(4, 354, 121, 21);
    Edit2 = new QLineEdit(this);
    Edit2->setObjectName("Edit2");
    Edit2->setGeometry(131, 354, 429, 21);
    Button1 = new QPushButton(QStringLiteral("Добавить"), this);
    Button1->setObjectName("Button1");
    Button1->setGeometry(566, 350, 75, 25);
    Button1->setAutoDefault(false);

    StatusBar1 = new QStatusBar(this);
    StatusBar1->setObjectName("StatusBar1");
    StatusBar1->setSizeGripEnabled(true);
    RecordCountPanel = new QLabel(StatusBar1);
    RecordCountPanel->setObjectName("RecordCountPanel");
    RecordCountPanel->setFixedWidth(130);
    RecordCountPanel->setAlignment(Qt::AlignCenter);
    SparePanel = new QLabel(StatusBar1);
    SparePanel->setFixedWidth(50);
    StatusBar1->addWidget(RecordCountPanel);
    StatusBar1->addWidget(SparePanel);

    Memo1 = new QPlainTextEdit(this);
    Memo1->setObjectName("Memo1");
    Memo1->setLineWrapMode(QPlainTextEdit::NoWrap);
    Memo1->hide();

    setTabOrder(StringGrid1, Edit1);
    setTabOrder(Edit1, Edit2);
    setTabOrder(Edit2, Button1);

    PopupMenu1 = new QMenu(this);
    MemoStringGrid1 =
        PopupMenu1->addAction(QStringLiteral("Обработать данные из Memo в StringGrid"));
    N1 = PopupMenu1->addAction(QStringLiteral("Сохранение словаря"));
    connect(MemoStringGrid1, &QAction::triggered, this, [this] { MemoStringGrid1Click(); });
    connect(N1, &QAction::triggered, this, [this] { SaveShowingErrors(); });

    PopupMenu2 = new QMenu(this);
    PopupMenu2->setObjectName("PopupMenu2");
    N5 = PopupMenu2->addAction(QStringLiteral("Копировать"));
    N6 = PopupMenu2->addAction(QStringLiteral("Вставить"));
    PopupMenu2->addSeparator();
    N2 = PopupMenu2->addAction(QStringLiteral("Удалить запись"));
    PopupMenu2->addSeparator();
    N4 = PopupMenu2->addAction(QStringLiteral("Очистить словарь"));
    PopupMenu2->addSeparator();
    AllowDuplicates =
        PopupMenu2->addAction(QStringLiteral("Разрешить добавление одинаковых сокращений"));
    AllowDuplicates->setCheckable(true);
    AllowDuplicates->setChecked(false);
    connect(N5, &QAction::triggered, this, [this] { N5Click(); });
    connect(N6, &QAction::triggered, this, [this] { N6Click(); });
    connect(N2, &QAction::triggered, this, [this] { N2Click(); });
    connect(N4, &QAction::triggered, this, [this] { N4Click(); });
    connect(StringGrid1, &QWidget::customContextMenuRequested, this, [this](const QPoint& at) {
        PopupMenu2->popup(StringGrid1->viewport()->mapToGlobal(at));
    });

    connect(Edit1, &QLineEdit::returnPressed, this, [this] { Edit1KeyPress(u'\r'); });
    connect(Edit2, &QLineEdit::returnPressed, this, [this] { Edit2KeyPress(u'\r'); });
    connect(Button1, &QPushButton::clicked, this, [this] { Button1Click(); });
}

void TForm3::LoadDictionary() {
    LineBuffer = File.Load();
    MemoStringGrid1Click();
    GridEdited = false;
    FormResize();
}

void TForm3::MemoStringGrid1Click() {
    const QModelIndex current = StringGrid1->currentIndex();
    Table->SetRows(RowsFromLines(LineBuffer));
    const int row = std::clamp(current.isValid() ? current.row() : 0, 0, Table->rowCount() - 1);
    StringGrid1->setCurrentIndex(Table->index(row, current.isValid() ? current.column() : 0));
    ShowRecordCount(Table->rowCount());
}

void TForm3::N1Click() {
    LineBuffer = EntryLines(Table->Rows());
    File.Save(LineBuffer);
}

bool TForm3::SaveShowingErrors() {
    try {
        N1Click();
        return true;
    } catch (const textfiles::FileError& error) {
        ShowError(error.message());
        return false;
    }
}

void TForm3::ShowRecordCount(int count) {
    RecordCountPanel->setText(QStringLiteral("Записей: ") + QString::number(count));
}

void TForm3::Button1Click() {
    if (Edit1->text().isEmpty()) {
        ShowMessage(QStringLiteral("Введите сокращение!"));
        return;
    }
    if (Edit2->text().isEmpty()) {
        ShowMessage(QStringLiteral("Введите текст!"));
        return;
    }
    if (!AllowDuplicates->isChecked() && ContainsAbbreviation(Table->Rows(), Edit1->text())) {
        ShowMessage(
            QStringLiteral("Такое сокращение присутствует в словаре!\nВы можете изменить "
                           "настройки с помошью контекстного меню"));
        return;
    }
    LineBuffer = EntryLines(Table->Rows());
    LineBuffer.append(Edit1->text() + u'\t' + Edit2->text());
    MemoStringGrid1Click();
    Edit1->clear();
    Edit2->clear();
    SaveShowingErrors();
}

void TForm3::Edit1KeyPress(QChar key) {
    if (key == u'\r') Edit2->setFocus(Qt::OtherFocusReason);
}

void TForm3::Edit2KeyPress(QChar key) {
    if (key == u'\r') Button1Click();
}

QModelIndex TForm3::CurrentCell() const {
    const QModelIndex current = StringGrid1->currentIndex();
    return current.isValid() ? current : Table->index(0, 0);
}

void TForm3::N2Click() {
    Table->RemoveDataRow(CurrentCell().row());
    // The count is refreshed even when the save fails: the table did change.
    ShowRecordCount(Table->rowCount());
    SaveShowingErrors();
}

void TForm3::N4Click() {
    if (!AskOkCancel(QStringLiteral("Будут удалены все данные! Восстановление невозможно!"),
                     QStringLiteral("Очистка словаря")))
        return;
    Table->SetRows({});
    StringGrid1->setCurrentIndex(Table->index(0, 0));
    ShowRecordCount(0);
}

// The clipboard directly, not through the hidden text control: that control turns a no-break
// space into a space and U+2028 into a line break, and copies nothing from an empty cell.
void TForm3::N5Click() {
    const QModelIndex cell = CurrentCell();
    QGuiApplication::clipboard()->setText(Table->Cell(cell.row(), cell.column()));
}

void TForm3::N6Click() {
    const QModelIndex cell = CurrentCell();
    // Line breaks in memory are CR LF, as everywhere in the program.
    Table->SetCell(cell.row(), cell.column(),
                   textfiles::NormalizeLineBreaks(QGuiApplication::clipboard()->text()));
}

void TForm3::StringGrid1SetEditText(int row, int column, const QString& text) {
    Table->SetCell(row, column, text);
    GridEdited = true;
}

void TForm3::StringGrid1Exit() {
    if (!GridEdited) return;
    LineBuffer = EntryLines(Table->Rows());
    MemoStringGrid1Click();
    SaveShowingErrors();
}

bool TForm3::InGrid(const QWidget* widget) const {
    return widget != nullptr && (widget == StringGrid1 || StringGrid1->isAncestorOf(widget));
}

void TForm3::OnFocusChanged(QWidget* old, QWidget* now) {
    // Only a move to another control of this window leaves the table; switching to another
    // window keeps the focus in it.
    if (InGrid(old) && now != nullptr && now->window() == this && !InGrid(now)) StringGrid1Exit();
}

void TForm3::FormResize() {
    const int clientWidth = width();
    const int clientHeight = height();
    StringGrid1->setGeometry(4, 4, clientWidth - 8, clientHeight - 55);
    const int fieldTop = StringGrid1->y() + StringGrid1->height() + 6;
    Edit1->move(Edit1->x(), fieldTop);
    Edit2->setGeometry(Edit2->x(), fieldTop, clientWidth - 215, Edit2->height());
    Button1->move(Edit2->x() + Edit2->width() + 5, fieldTop - 2);
    StatusBar1->setGeometry(0, clientHeight - 19, clientWidth, 19);
    if (frameGeometry().width() > 200)
        StringGrid1->setColumnWidth(1, StringGrid1->width() - StringGrid1->columnWidth(0) - 40);
}

void TForm3::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    FormResize();
}

void TForm3::ShowInFront() {
    show();
    raise();
    activateWindow();
}
