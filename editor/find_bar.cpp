#include "editor/find_bar.h"

#include <QCheckBox>
#include <QGridLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScrollBar>
#include <QTextBlock>
#include <QTimer>

#include "editor/editor_text.h"
#include "editor/memo_marks.h"

namespace {

QPushButton* MakeButton(const char* name, const QString& caption, QWidget* parent) {
    auto* button = new QPushButton(caption, parent);
    button->setObjectName(QLatin1String(name));
    button->setAutoDefault(false);
    button->setFocusPolicy(Qt::TabFocus);
    return button;
}

}  // namespace

FindBar::FindBar(QPlainTextEdit* memo, EditorText& text, TEditHistory& history, MemoMarks& marks,
                 QWidget* parent)
    : QToolBar(parent), memo_(memo), text_(text), history_(history), marks_(marks) {
    setObjectName(QStringLiteral("FindBar"));
    setWindowTitle(QStringLiteral("Поиск"));
    setMovable(false);
    setFloatable(false);

    auto* box = new QWidget(this);
    auto* grid = new QGridLayout(box);
    grid->setContentsMargins(4, 2, 4, 2);
    grid->setHorizontalSpacing(4);
    grid->setVerticalSpacing(2);

    FindEdit = new QLineEdit(box);
    FindEdit->setObjectName(QStringLiteral("FindEdit"));
    FindEdit->setClearButtonEnabled(true);
    ReplaceEdit = new QLineEdit(box);
    ReplaceEdit->setObjectName(QStringLiteral("ReplaceEdit"));
    CaseBox = new QCheckBox(QStringLiteral("Учитывать регистр"), box);
    CaseBox->setObjectName(QStringLiteral("CaseBox"));
    ResultLabel = new QLabel(box);
    ResultLabel->setObjectName(QStringLiteral("ResultLabel"));
    ResultLabel->setMinimumWidth(110);

    QPushButton* previous = MakeButton("FindPreviousButton", QStringLiteral("Назад"), box);
    QPushButton* next = MakeButton("FindNextButton", QStringLiteral("Далее"), box);
    QPushButton* replace = MakeButton("ReplaceButton", QStringLiteral("Заменить"), box);
    QPushButton* replaceAll = MakeButton("ReplaceAllButton", QStringLiteral("Заменить все"), box);
    QPushButton* close = MakeButton("FindCloseButton", QStringLiteral("Закрыть"), box);
    previous->setToolTip(QStringLiteral("Предыдущее совпадение (Shift+Enter)"));
    next->setToolTip(QStringLiteral("Следующее совпадение (Enter)"));
    close->setToolTip(QStringLiteral("Закрыть панель (Esc)"));

    grid->addWidget(new QLabel(QStringLiteral("Найти:"), box), 0, 0);
    grid->addWidget(FindEdit, 0, 1);
    grid->addWidget(previous, 0, 2);
    grid->addWidget(next, 0, 3);
    grid->addWidget(CaseBox, 0, 4);
    grid->addWidget(close, 0, 5);
    replaceLabel_ = new QLabel(QStringLiteral("Заменить на:"), box);
    grid->addWidget(replaceLabel_, 1, 0);
    grid->addWidget(ReplaceEdit, 1, 1);
    grid->addWidget(replace, 1, 2);
    grid->addWidget(replaceAll, 1, 3);
    grid->addWidget(ResultLabel, 1, 4, 1, 2);
    grid->setColumnStretch(1, 1);
    addWidget(box);

    highlightTimer_ = new QTimer(this);
    highlightTimer_->setSingleShot(true);
    highlightTimer_->setInterval(0);
    connect(highlightTimer_, &QTimer::timeout, this, &FindBar::RefreshHighlights);

    connect(previous, &QPushButton::clicked, this, &FindBar::FindPrevious);
    connect(next, &QPushButton::clicked, this, &FindBar::FindNext);
    connect(replace, &QPushButton::clicked, this, &FindBar::ReplaceOne);
    connect(replaceAll, &QPushButton::clicked, this, &FindBar::ReplaceAll);
    connect(close, &QPushButton::clicked, this, &FindBar::Close);
    connect(FindEdit, &QLineEdit::textChanged, this, [this] {
        ResultLabel->clear();
        ScheduleHighlights();
    });
    connect(CaseBox, &QCheckBox::toggled, this, &FindBar::ScheduleHighlights);
    connect(memo_->verticalScrollBar(), &QScrollBar::valueChanged, this,
            &FindBar::ScheduleHighlights);
    connect(memo_, &QPlainTextEdit::textChanged, this, &FindBar::ScheduleHighlights);
    connect(memo_, &QPlainTextEdit::selectionChanged, this, &FindBar::ScheduleHighlights);
    FindEdit->installEventFilter(this);
    ReplaceEdit->installEventFilter(this);
    hide();
}

void FindBar::Open(bool withReplace) {
    ReplaceEdit->setVisible(withReplace);
    replaceLabel_->setVisible(withReplace);
    for (const char* name : {"ReplaceButton", "ReplaceAllButton"}) {
        if (auto* button = findChild<QPushButton*>(QLatin1String(name))) {
            button->setVisible(withReplace);
        }
    }
    const QString selected = text_.SelText();
    if (!selected.isEmpty() && !selected.contains(u'\n') && selected.size() <= 200) {
        FindEdit->setText(selected);
    }
    ResultLabel->clear();
    show();
    FindEdit->setFocus();
    FindEdit->selectAll();
    ScheduleHighlights();
}

void FindBar::Close() {
    hide();
    marks_.Set(MemoMarks::Find, {});
    memo_->setFocus();
}

FindOptions FindBar::Options(bool backward) const {
    FindOptions options;
    options.caseSensitive = CaseBox->isChecked();
    options.backward = backward;
    return options;
}

bool FindBar::Find(bool backward) {
    if (FindEdit->text().isEmpty()) return false;
    const QString whole = text_.Text();
    const qsizetype from = backward ? text_.SelStart() : text_.SelStart() + text_.SelLength();
    const std::optional<TextMatch> match =
        FindMatch(whole, FindEdit->text(), from, Options(backward));
    if (!match) {
        ResultLabel->setText(QStringLiteral("Не найдено"));
        return false;
    }
    text_.SetSelection(static_cast<int>(match->start), static_cast<int>(match->length));
    memo_->ensureCursorVisible();
    ResultLabel->setText(match->wrapped ? (backward ? QStringLiteral("Продолжено с конца")
                                                    : QStringLiteral("Продолжено с начала"))
                                        : QString());
    return true;
}

bool FindBar::FindNext() {
    return Find(false);
}

bool FindBar::FindPrevious() {
    return Find(true);
}

bool FindBar::ReplaceOne() {
    if (FindEdit->text().isEmpty()) return false;
    const bool replaced = ReplaceSelectedMatch(text_, history_, FindEdit->text(),
                                               ReplaceEdit->text(), Options(false));
    // Nothing selected to replace yet: the first press only finds (done above).
    if (!replaced) {
        if (text_.SelLength() == 0) ResultLabel->setText(QStringLiteral("Не найдено"));
        return false;
    }
    memo_->ensureCursorVisible();
    ResultLabel->setText(QStringLiteral("Заменено"));
    return true;
}

int FindBar::ReplaceAll() {
    if (FindEdit->text().isEmpty()) return 0;
    const int count = ReplaceAllMatches(text_, history_, FindEdit->text(), ReplaceEdit->text(),
                                        CaseBox->isChecked());
    ResultLabel->setText(count == 0 ? QStringLiteral("Не найдено")
                                    : QStringLiteral("Заменено: %1").arg(count));
    return count;
}

void FindBar::ScheduleHighlights() {
    if (isVisible()) highlightTimer_->start();
}

void FindBar::RefreshHighlights() {
    QList<QTextEdit::ExtraSelection> marks;
    const QString pattern = SearchPattern(FindEdit->text());
    if (isVisible() && !pattern.isEmpty()) {
        QTextCharFormat every;
        every.setBackground(QColor(255, 236, 120));
        QTextCharFormat current;
        current.setBackground(QColor(255, 170, 60));
        const QTextCursor caret = memo_->textCursor();
        const VisibleSpan view = VisibleBlocks(memo_);
        // Block by block: a pattern never holds a line break of the control's own.
        const bool singleLine = !pattern.contains(u'\n');
        QTextDocument* doc = memo_->document();
        for (QTextBlock block = doc->findBlock(view.first);
             singleLine && block.isValid() && block.position() <= view.last; block = block.next()) {
            const QString line = block.text();
            const qsizetype from = std::max(0, view.first - block.position());
            const qsizetype to = std::min<qsizetype>(line.size(), view.last - block.position() + 1);
            for (const TextMatch& m :
                 MatchesIn(line, pattern, std::max<qsizetype>(0, from - pattern.size()), to,
                           CaseBox->isChecked())) {
                QTextEdit::ExtraSelection mark;
                mark.cursor = QTextCursor(doc);
                mark.cursor.setPosition(block.position() + static_cast<int>(m.start));
                mark.cursor.setPosition(block.position() + static_cast<int>(m.start + m.length),
                                        QTextCursor::KeepAnchor);
                const bool isCurrent = caret.selectionStart() == mark.cursor.selectionStart() &&
                                       caret.selectionEnd() == mark.cursor.selectionEnd();
                mark.format = isCurrent ? current : every;
                marks.append(mark);
            }
        }
    }
    marks_.Set(MemoMarks::Find, std::move(marks));
}

bool FindBar::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() != QEvent::KeyPress) return false;
    auto* key = static_cast<QKeyEvent*>(event);
    if (key->key() == Qt::Key_Escape) {
        Close();
        return true;
    }
    if (key->key() != Qt::Key_Return && key->key() != Qt::Key_Enter) return false;
    if (watched == ReplaceEdit) {
        ReplaceOne();
    } else if (key->modifiers() & Qt::ShiftModifier) {
        FindPrevious();
    } else {
        FindNext();
    }
    return true;
}
