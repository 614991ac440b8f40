#include "participants/participants_window.h"

#include <QColorDialog>
#include <QFileDialog>
#include <QFileInfo>
#include <QHeaderView>
#include <QLineEdit>
#include <QMenu>
#include <QPainter>
#include <QRegularExpressionValidator>
#include <QShowEvent>
#include <QStyledItemDelegate>
#include <QTableWidget>

using namespace participants;

const QString TForm5::kPictureFilter =
    QStringLiteral("JPEG Image File (*.jpg;*.jpeg)|*.jpg;*.jpeg");

namespace {

// Qt draws a one-pixel grid line inside each section, on its right and bottom edge; a section
// one pixel larger leaves the cell itself exactly the table's size (70 × 100 for a picture).
constexpr int kGridLine = 1;

// "description|pattern;pattern" as Qt's "description (pattern pattern)".
QString QtNameFilter(const QString& filter) {
    const int bar = filter.indexOf(QLatin1Char('|'));
    if (bar < 0) return filter;
    QString description = filter.left(bar).trimmed();
    const int bracket = description.lastIndexOf(QLatin1Char('('));
    if (bracket > 0 && description.endsWith(QLatin1Char(')')))
        description = description.left(bracket).trimmed();
    const QStringList patterns = filter.mid(bar + 1).split(QLatin1Char(';'), Qt::SkipEmptyParts);
    return QStringLiteral("%1 (%2)").arg(description, patterns.join(QLatin1Char(' ')));
}

// Hands every cell's painting to the window.
class GridPainter : public QStyledItemDelegate {
  public:
    explicit GridPainter(TForm5* form) : QStyledItemDelegate(form), form_(form) {}

    void paint(QPainter* painter, const QStyleOptionViewItem& option,
               const QModelIndex& index) const override {
        painter->save();
        form_->StringGrid1DrawCell(painter, index.column(), index.row(), option.rect,
                                   option.state.testFlag(QStyle::State_Selected));
        painter->restore();
    }

    // A colour is typed as its decimal value or not at all: other text is refused, so the
    // table and the HTML export never disagree about it.
    QWidget* createEditor(QWidget* parent, const QStyleOptionViewItem& option,
                          const QModelIndex& index) const override {
        QWidget* editor = QStyledItemDelegate::createEditor(parent, option, index);
        if (auto* line = qobject_cast<QLineEdit*>(editor); line && index.row() == kColourRow) {
            line->setValidator(new QRegularExpressionValidator(
                QRegularExpression(QStringLiteral("[0-9]{1,8}")), line));
        }
        return editor;
    }
    void setModelData(QWidget* editor, QAbstractItemModel* model,
                      const QModelIndex& index) const override {
        if (auto* line = qobject_cast<QLineEdit*>(editor);
            line && index.row() == kColourRow && !IsColourValueText(line->text()))
            return;
        QStyledItemDelegate::setModelData(editor, model, index);
    }

  private:
    TForm5* form_;
};

}  // namespace

TForm5::TForm5(QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::WindowTitleHint | Qt::WindowCloseButtonHint |
                          Qt::MSWindowsFixedSizeDialogHint),
      Image1(SilhouettePicture()) {
    setObjectName("Form5");
    setWindowTitle(QStringLiteral("NUV Tolvek - Участники"));
    setFixedSize(787, 214);

    StringGrid1 = new QTableWidget(kRowCount, kColumnCount, this);
    StringGrid1->setObjectName("StringGrid1");
    StringGrid1->setGeometry(0, 0, 793, 233);
    StringGrid1->horizontalHeader()->hide();
    StringGrid1->verticalHeader()->hide();
    StringGrid1->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    StringGrid1->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    StringGrid1->setSelectionMode(QAbstractItemView::SingleSelection);
    StringGrid1->setSelectionBehavior(QAbstractItemView::SelectItems);
    // Typing or F2 edits in place; a double click belongs to the choosers.
    StringGrid1->setEditTriggers(QAbstractItemView::AnyKeyPressed |
                                 QAbstractItemView::EditKeyPressed);
    StringGrid1->setItemDelegate(new GridPainter(this));
    StringGrid1->setContextMenuPolicy(Qt::CustomContextMenu);

    // 1. Row heights and column widths.
    StringGrid1->horizontalHeader()->setMinimumSectionSize(1);
    StringGrid1->verticalHeader()->setMinimumSectionSize(1);
    for (int row = 0; row < kRowCount; ++row)
        StringGrid1->setRowHeight(row, kRowHeights[row] + kGridLine);
    for (int col = 0; col < kColumnCount; ++col)
        StringGrid1->setColumnWidth(col, kColumnWidth + kGridLine);

    for (int col = 0; col < kColumnCount; ++col) {
        for (int row = 0; row < kRowCount; ++row) {
            auto* item = new QTableWidgetItem();
            if (col == 0 || row == kKeysRow) item->setFlags(Qt::ItemIsEnabled);
            StringGrid1->setItem(row, col, item);
        }
    }
    // 2. Labels.
    for (int row = 0; row < kRowCount; ++row) SetCells(0, row, RowLabel(row));
    for (int n = 1; n <= kParticipantCount; ++n) SetCells(n, kKeysRow, HotKeyLabel(n));
    StringGrid1->setCurrentCell(kPictureRow, 1);

    OpenPictureDialog1 = new QFileDialog(this);
    OpenPictureDialog1->setObjectName("OpenPictureDialog1");
    OpenPictureDialog1->setFileMode(QFileDialog::ExistingFile);
    OpenPictureDialog1->setAcceptMode(QFileDialog::AcceptOpen);
    OpenPictureDialog1->setNameFilter(QtNameFilter(kPictureFilter));

    ColorDialog1 = new QColorDialog(this);
    ColorDialog1->setObjectName("ColorDialog1");

    PopupMenu1 = new QMenu(this);
    PopupMenu1->setObjectName("PopupMenu1");
    QAction* n1 = PopupMenu1->addAction(QStringLiteral("Очистить таблицу"), this, &TForm5::N1Click);
    n1->setObjectName("N1");
    PopupMenu1->addSeparator()->setObjectName("N4");
    QAction* n3 =
        PopupMenu1->addAction(QStringLiteral("Цвета по умолчанию"), this, &TForm5::N3Click);
    n3->setObjectName("N3");
    QAction* n2 =
        PopupMenu1->addAction(QStringLiteral("Только чёрный цвет"), this, &TForm5::N2Click);
    n2->setObjectName("N2");
    connect(StringGrid1, &QWidget::customContextMenuRequested, this, [this](const QPoint& pos) {
        PopupMenu1->popup(StringGrid1->viewport()->mapToGlobal(pos));
    });

    connect(StringGrid1, &QTableWidget::cellDoubleClicked, this, [this](int row, int col) {
        // The press before the double click made a data cell current; a fixed cell is not one.
        if (row <= kKeysRow || col <= 0) return;
        StringGrid1->setCurrentCell(row, col);
        StringGrid1DblClick();
    });

    ChoosePicture = [this]() -> std::optional<QString> {
        if (OpenPictureDialog1->exec() != QDialog::Accepted) return std::nullopt;
        const QStringList files = OpenPictureDialog1->selectedFiles();
        if (files.isEmpty()) return std::nullopt;
        return QFileInfo(files.first()).absoluteFilePath();
    };
    ChooseColour = [this](const QColor& preset) -> std::optional<QColor> {
        ColorDialog1->setCurrentColor(preset);
        if (ColorDialog1->exec() != QDialog::Accepted) return std::nullopt;
        return ColorDialog1->selectedColor();
    };

    // 3. Defaults.
    N1Click();
}

TForm5::~TForm5() = default;

QString TForm5::Cells(int col, int row) const {
    if (col < 0 || col >= kColumnCount || row < 0 || row >= kRowCount) return {};
    const QTableWidgetItem* item = StringGrid1->item(row, col);
    return item ? item->text() : QString();
}

void TForm5::SetCells(int col, int row, const QString& text) {
    if (col < 0 || col >= kColumnCount || row < 0 || row >= kRowCount) return;
    if (QTableWidgetItem* item = StringGrid1->item(row, col)) item->setText(text);
}

void TForm5::N1Click() {
    for (int n = 1; n <= kParticipantCount; ++n) {
        SetCells(n, kNameRow, DefaultName(n));
        SetCells(n, kPictureRow, QString());
    }
    N3Click();
}

void TForm5::N3Click() {
    for (int n = 1; n <= kParticipantCount; ++n)
        SetCells(n, kColourRow, QString::number(DefaultColour(n)));
}

void TForm5::N2Click() {
    for (int n = 1; n <= kParticipantCount; ++n) SetCells(n, kColourRow, QStringLiteral("0"));
}

void TForm5::StringGrid1DblClick() {
    const int col = StringGrid1->currentColumn();
    const int row = StringGrid1->currentRow();
    if (col < 1 || col > kParticipantCount) return;
    if (row == kPictureRow) {
        const std::optional<QString> path = ChoosePicture ? ChoosePicture() : std::nullopt;
        if (!path) return;
        SetCells(col, row, *path);
        StringGrid1->setFocus();
        StringGrid1->viewport()->repaint();
    } else if (row == kColourRow) {
        const QColor preset = ColourFromValue(ColourValueFromText(Cells(col, row)));
        const std::optional<QColor> colour = ChooseColour ? ChooseColour(preset) : std::nullopt;
        if (!colour || !colour->isValid()) return;
        SetCells(col, row, QString::number(ValueFromColour(*colour)));
    }
}

void TForm5::PaintStandardCell(QPainter* painter, int col, int row, const QRect& rect,
                               bool selected) const {
    const QPalette& palette = StringGrid1->palette();
    const bool fixed = col == 0 || row == kKeysRow;
    QColor background = palette.color(QPalette::Base);
    QColor text = palette.color(QPalette::Text);
    if (fixed) {
        background = palette.color(QPalette::Button);
        text = palette.color(QPalette::ButtonText);
    } else if (selected) {
        background = palette.color(QPalette::Highlight);
        text = palette.color(QPalette::HighlightedText);
    }
    painter->fillRect(rect, background);
    painter->setPen(text);
    painter->setFont(StringGrid1->font());
    painter->drawText(rect.adjusted(2, 2, -2, -2), Qt::AlignLeft | Qt::AlignTop, Cells(col, row));
}

void TForm5::StringGrid1DrawCell(QPainter* painter, int col, int row, const QRect& rect,
                                 bool selected) {
    PaintStandardCell(painter, col, row, rect, selected);
    if (col < 1 || col > kParticipantCount || row == kKeysRow) return;

    const QPalette& palette = StringGrid1->palette();
    const QColor background = palette.color(selected ? QPalette::Highlight : QPalette::Base);
    // `rect` is the whole cell. The picture's top-left corner sits 4 pixels left of the text
    // rectangle, which is inset 4 pixels into the cell: that is the cell's own top-left.
    const QPoint pictureCorner = rect.topLeft();

    switch (row) {
        case kPictureRow: {
            painter->fillRect(rect, background);
            switch (pictures_.Prepare(Cells(col, row))) {
                case PictureCell::Content::Background:
                    break;
                case PictureCell::Content::Placeholder:
                    painter->drawImage(pictureCorner, Image1);
                    break;
                case PictureCell::Content::Picture:
                    if (!pictures_.Scaled().isNull())
                        painter->drawImage(pictureCorner, pictures_.Scaled());
                    break;
            }
            break;
        }
        case kNameRow:
            painter->fillRect(rect, background);
            painter->setPen(palette.color(selected ? QPalette::HighlightedText : QPalette::Text));
            painter->setFont(StringGrid1->font());
            painter->drawText(rect, Qt::AlignHCenter | Qt::AlignTop | Qt::TextWordWrap,
                              Cells(col, row));
            break;
        case kColourRow:
            painter->fillRect(rect, ColourFromValue(ColourValueFromText(Cells(col, row))));
            break;
        default:
            break;
    }
}

void TForm5::showEvent(QShowEvent* event) {
    // Centred over the player window (or over the owner a caller gave) at every showing.
    QWidget* owner = parentWidget() ? parentWidget()->window() : CentreOver.data();
    if (owner && !event->spontaneous()) {
        const QRect area = owner->frameGeometry();
        const QSize size = frameGeometry().size();
        move(area.x() + (area.width() - size.width()) / 2,
             area.y() + (area.height() - size.height()) / 2);
    }
    QDialog::showEvent(event);
}
