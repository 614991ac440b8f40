#include "dictionary/variant_chooser.h"

#include <QAction>
#include <QGuiApplication>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QMenu>
#include <QScreen>
#include <QTableWidget>

namespace {

constexpr int kRowHeight = 18;

}  // namespace

TForm6::TForm6(QWidget* parent) : QDialog(parent) {
    setObjectName("Form6");
    setWindowTitle(QStringLiteral("NUV Tolvek - Выберите вариант из списка"));
    QFont font(QStringLiteral("Tahoma"));
    font.setPixelSize(11);
    setFont(font);
    // A dialog border: the user does not resize it, only the fit rule does.
    setWindowFlags(Qt::Dialog | Qt::WindowTitleHint | Qt::WindowCloseButtonHint |
                   Qt::MSWindowsFixedSizeDialogHint);
    setFixedSize(521, 209);

    Label1 = new QLabel(QStringLiteral("В словаре найдено несколько вариантов:"), this);
    Label1->setObjectName("Label1");
    Label1->move(8, 8);
    Label1->adjustSize();

    StringGrid1 = new QTableWidget(this);
    StringGrid1->setObjectName("StringGrid1");
    StringGrid1->setGeometry(8, 27, 505, 169);
    StringGrid1->setColumnCount(2);
    StringGrid1->horizontalHeader()->hide();
    StringGrid1->verticalHeader()->hide();
    StringGrid1->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    StringGrid1->verticalHeader()->setMinimumSectionSize(kRowHeight);
    StringGrid1->verticalHeader()->setDefaultSectionSize(kRowHeight);
    StringGrid1->setColumnWidth(0, 30);
    StringGrid1->setColumnWidth(1, 453);
    StringGrid1->setEditTriggers(QAbstractItemView::NoEditTriggers);
    StringGrid1->setSelectionMode(QAbstractItemView::SingleSelection);
    StringGrid1->setSelectionBehavior(QAbstractItemView::SelectRows);
    StringGrid1->setWordWrap(false);
    StringGrid1->setTabKeyNavigation(false);
    StringGrid1->installEventFilter(this);
    connect(StringGrid1, &QTableWidget::cellDoubleClicked, this,
            [this](int, int) { StringGrid1DblClick(); });

    PopupMenu1 = new QMenu(this);
    N1 = PopupMenu1->addAction(QStringLiteral("Изменение размеров формы"));
    connect(N1, &QAction::triggered, this, [this] { N1Click(); });
}

void TForm6::SetVariants(const QStringList& variants) {
    StringGrid1->clearContents();
    StringGrid1->setRowCount(static_cast<int>(variants.size()));
    const QBrush fixedColour = palette().button();
    for (int row = 0; row < variants.size(); ++row) {
        auto* number = new QTableWidgetItem(QString::number(row + 1));
        number->setFlags(Qt::ItemIsEnabled);
        number->setBackground(fixedColour);
        StringGrid1->setItem(row, 0, number);
        auto* text = new QTableWidgetItem(variants.at(row));
        text->setFlags(Qt::ItemIsEnabled | Qt::ItemIsSelectable);
        StringGrid1->setItem(row, 1, text);
    }
    if (!variants.isEmpty()) StringGrid1->setCurrentCell(0, 1);
}

QString TForm6::Variant(int row) const {
    const QTableWidgetItem* item = StringGrid1->item(row, 1);
    return item != nullptr ? item->text() : QString();
}

void TForm6::N1Click() {
    const int rows = StringGrid1->rowCount();
    if (rows >= 10) return;
    const int gridHeight = rows * kRowHeight + 10;
    StringGrid1->resize(StringGrid1->width(), gridHeight);
    outerHeight_ = gridHeight + 70;
    ApplyOuterHeight();
}

void TForm6::ApplyOuterHeight() {
    // The rule is about the outer height; the frame is known only once the window is shown,
    // so this runs again then.
    if (outerHeight_ > 0) setFixedHeight(outerHeight_ - (frameGeometry().height() - height()));
}

void TForm6::Pick(int row) {
    picked_ = Variant(row);
    accept();
}

void TForm6::StringGrid1KeyPress(QChar key) {
    const int c = key.unicode() - u'1';
    if (c >= 0 && c < StringGrid1->rowCount()) {
        Pick(c);
        return;
    }
    if (key == u'\r' && StringGrid1->currentRow() >= 0) Pick(StringGrid1->currentRow());
}

void TForm6::StringGrid1DblClick() {
    if (StringGrid1->currentRow() >= 0) Pick(StringGrid1->currentRow());
}

std::optional<QString> TForm6::Choose() {
    picked_.reset();
    exec();
    hide();
    return picked_;
}

bool TForm6::eventFilter(QObject* watched, QEvent* event) {
    if (watched == StringGrid1 && event->type() == QEvent::KeyPress) {
        const auto* key = static_cast<QKeyEvent*>(event);
        // Typed characters pick or do nothing; keys without text (arrows) move the row.
        if (key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter) {
            StringGrid1KeyPress(u'\r');
            return true;
        }
        if (!key->text().isEmpty()) {
            StringGrid1KeyPress(key->text().at(0));
            return true;
        }
    }
    return QDialog::eventFilter(watched, event);
}

void TForm6::keyPressEvent(QKeyEvent* event) {
    // No cancel by Esc, no default button: only a pick or the title-bar button ends it.
    if (event->key() == Qt::Key_Escape || event->key() == Qt::Key_Return ||
        event->key() == Qt::Key_Enter) {
        event->accept();
        return;
    }
    QDialog::keyPressEvent(event);
}

void TForm6::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    ApplyOuterHeight();
    if (const QScreen* screen = this->screen()) {
        const QRect area = screen->availableGeometry();
        move(area.center() - QPoint(frameGeometry().width() / 2, frameGeometry().height() / 2));
    }
    StringGrid1->setFocus(Qt::OtherFocusReason);
}
