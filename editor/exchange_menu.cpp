#include "editor/exchange_menu.h"

#include <QActionGroup>
#include <QCheckBox>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFileDialog>
#include <QFileInfo>
#include <QGridLayout>
#include <QInputDialog>
#include <QMenu>
#include <QMimeData>
#include <QPlainTextEdit>
#include <QSettings>

#include "commands/default_commands.h"
#include "commands/registry.h"
#include "editor/editor_commands.h"
#include "editor/editor_window.h"
#include "editor/timestamp_links.h"
#include "exchange/draft.h"
#include "exchange/exchange_error.h"

namespace {

using exchange::ExportFormat;

constexpr ExportFormat kFormats[] = {ExportFormat::Odt, ExportFormat::Docx, ExportFormat::Srt,
                                     ExportFormat::Vtt, ExportFormat::Text};

QString Caption(ExportFormat format) {
    switch (format) {
        case ExportFormat::Odt:
            return QStringLiteral("Документ ODT…");
        case ExportFormat::Docx:
            return QStringLiteral("Документ DOCX…");
        case ExportFormat::Srt:
            return QStringLiteral("Субтитры SRT…");
        case ExportFormat::Vtt:
            return QStringLiteral("Субтитры WebVTT…");
        case ExportFormat::Text:
            break;
    }
    return QStringLiteral("Текст UTF-8…");
}

QString Filter(ExportFormat format) {
    switch (format) {
        case ExportFormat::Odt:
            return QStringLiteral("Документы ODT (*.odt)");
        case ExportFormat::Docx:
            return QStringLiteral("Документы DOCX (*.docx)");
        case ExportFormat::Srt:
            return QStringLiteral("Субтитры SRT (*.srt)");
        case ExportFormat::Vtt:
            return QStringLiteral("Субтитры WebVTT (*.vtt)");
        case ExportFormat::Text:
            break;
    }
    return QStringLiteral("Текстовые файлы (*.txt)");
}

bool HasTimestampChoice(ExportFormat format) {
    return format != ExportFormat::Srt && format != ExportFormat::Vtt;
}

QSettings Settings() {
    return QSettings(QSettings::IniFormat, QSettings::UserScope, QStringLiteral("nuvtolvek"),
                     QStringLiteral("exchange"));
}

bool RunQtExportDialog(QWidget* owner, QString& path, ExportFormat format, bool& timestamps) {
    QFileDialog dialog(owner, QStringLiteral("Экспорт"));
    dialog.setOption(QFileDialog::DontUseNativeDialog);
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setNameFilter(Filter(format));
    dialog.setDefaultSuffix(exchange::ExportExtension(format).mid(1));
    if (!path.isEmpty()) dialog.selectFile(path);
    QCheckBox* box = nullptr;
    if (HasTimestampChoice(format)) {
        box = new QCheckBox(QStringLiteral("Метки времени"), &dialog);
        box->setObjectName(QStringLiteral("TimestampsBox"));
        box->setChecked(timestamps);
        if (auto* grid = qobject_cast<QGridLayout*>(dialog.layout())) {
            grid->addWidget(box, grid->rowCount(), 1);
        }
    }
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return false;
    path = dialog.selectedFiles().constFirst();
    if (box != nullptr) timestamps = box->isChecked();
    return true;
}

// A dragged file that is a draft, or empty.
QString DraggedDraft(const QMimeData* mime) {
    if (mime == nullptr || !mime->hasUrls() || mime->urls().size() != 1) return {};
    const QUrl url = mime->urls().constFirst();
    if (!url.isLocalFile() || !exchange::IsDraftFileName(url.toLocalFile())) return {};
    return url.toLocalFile();
}

}  // namespace

ExchangeMenu::ExchangeMenu(TForm2& editor, QMenu* file, QAction* openItem, QAction* after,
                           QMenu* settings)
    : QObject(&editor), editor_(editor), viewport_(editor.Memo1->viewport()) {
    // The draft entry right after "Открыть".
    const QList<QAction*> fileActions = file->actions();
    const qsizetype openIndex = fileActions.indexOf(openItem);
    QAction* beforeDraft =
        openIndex >= 0 && openIndex + 1 < fileActions.size() ? fileActions[openIndex + 1] : nullptr;
    OpenDraftItem = new QAction(QStringLiteral("Открыть черновик…"), file);
    OpenDraftItem->setObjectName(QStringLiteral("OpenDraftItem"));
    file->insertAction(beforeDraft, OpenDraftItem);
    connect(OpenDraftItem, &QAction::triggered, this, [this] { OpenDraftClick(); });

    // The export submenu right after the HTML export.
    const QList<QAction*> actions = file->actions();
    const qsizetype afterIndex = actions.indexOf(after);
    QAction* before =
        afterIndex >= 0 && afterIndex + 1 < actions.size() ? actions[afterIndex + 1] : nullptr;
    auto* exportMenu = new QMenu(QStringLiteral("Экспорт"), file);
    exportMenu->setObjectName(QStringLiteral("ExportMenu"));
    file->insertMenu(before, exportMenu);
    for (std::size_t i = 0; i < ExportItems.size(); ++i) {
        const ExportFormat format = kFormats[i];
        ExportItems[i] = exportMenu->addAction(Caption(format));
        ExportItems[i]->setObjectName(QStringLiteral("ExportItem%1").arg(i));
        connect(ExportItems[i], &QAction::triggered, this, [this, format] { ExportClick(format); });
    }

    // "Настройки" → "Метки времени".
    settings->addSeparator();
    QMenu* styles = settings->addMenu(QStringLiteral("Метки времени"));
    styles->setObjectName(QStringLiteral("TimestampStyleMenu"));
    auto* group = new QActionGroup(styles);
    for (int i = 0; i < kTimestampFormatCount; ++i) {
        const auto format = static_cast<TimestampFormat>(i);
        StyleItems[i] = styles->addAction(TimestampFormatCaption(format));
        StyleItems[i]->setObjectName(QStringLiteral("TimestampStyle%1").arg(i));
        StyleItems[i]->setCheckable(true);
        group->addAction(StyleItems[i]);
        connect(StyleItems[i], &QAction::triggered, this, [this, format] {
            TimestampStyle style = Style();
            style.format = format;
            SetStyle(style);
        });
    }
    styles->addSeparator();
    OffsetItem = styles->addAction(QStringLiteral("Смещение…"));
    OffsetItem->setObjectName(QStringLiteral("TimestampOffsetItem"));
    connect(OffsetItem, &QAction::triggered, this, [this] { OffsetClick(); });

    RunExportDialog = [this](QString& path, ExportFormat format, bool& timestamps) {
        return RunQtExportDialog(&editor_, path, format, timestamps);
    };
    RunDraftDialog = [this](QString& path) {
        const QString chosen = QFileDialog::getOpenFileName(
            &editor_, QStringLiteral("Открыть черновик"), path,
            QStringLiteral("Черновики (*.srt *.vtt *.json);;Все файлы (*)"), nullptr,
            QFileDialog::DontUseNativeDialog);
        if (chosen.isEmpty()) return false;
        path = chosen;
        return true;
    };
    RunOffsetDialog = [this](QString& text) {
        bool ok = false;
        const QString typed =
            QInputDialog::getText(&editor_, QStringLiteral("Метки времени"),
                                  QStringLiteral("Время ленты в начале записи (чч:мм:сс):"),
                                  QLineEdit::Normal, text, &ok);
        if (ok) text = typed;
        return ok;
    };
    // The participants window's table is wired by the window set.
    Participants = [] { return project::ParticipantTable{}; };

    // Drafts dropped onto the text; any other drop stays refused, as before.
    editor_.Memo1->viewport()->setAcceptDrops(true);
    editor_.Memo1->viewport()->installEventFilter(this);

    const QSettings saved = Settings();
    ExportTimestamps = saved.value(QStringLiteral("export/timestamps"), true).toBool();
    exportFolder_ = saved.value(QStringLiteral("export/folder")).toString();
    TimestampStyle style;
    const int format = saved.value(QStringLiteral("timestamps/format"), 0).toInt();
    if (format >= 0 && format < kTimestampFormatCount)
        style.format = static_cast<TimestampFormat>(format);
    style.offset = std::max(0.0, saved.value(QStringLiteral("timestamps/offset"), 0.0).toDouble());
    SetStyle(style);
}

TimestampStyle ExchangeMenu::Style() const {
    return editor_.Timestamps->Style;
}

void ExchangeMenu::SetStyle(const TimestampStyle& style) {
    editor_.Timestamps->Style = style;
    StyleItems[static_cast<int>(style.format)]->setChecked(true);
    OffsetItem->setText(style.offset > 0.0
                            ? QStringLiteral("Смещение (%1)…").arg(FormatOffset(style.offset))
                            : QStringLiteral("Смещение…"));
    SaveSettings();
}

void ExchangeMenu::SaveSettings() const {
    QSettings saved = Settings();
    saved.setValue(QStringLiteral("export/timestamps"), ExportTimestamps);
    saved.setValue(QStringLiteral("export/folder"), exportFolder_);
    saved.setValue(QStringLiteral("timestamps/format"), static_cast<int>(Style().format));
    saved.setValue(QStringLiteral("timestamps/offset"), Style().offset);
}

void ExchangeMenu::OffsetClick() {
    QString text = FormatOffset(Style().offset);
    if (!RunOffsetDialog(text)) return;
    const std::optional<double> offset = ParseOffset(text);
    if (!offset) {
        editor_.ShowNote(
            QStringLiteral("Смещение не изменено: «%1» — не время чч:мм:сс").arg(text));
        return;
    }
    TimestampStyle style = Style();
    style.offset = *offset;
    SetStyle(style);
}

void ExchangeMenu::ExportClick(ExportFormat format) {
    const QString extension = exchange::ExportExtension(format);
    const QString base = editor_.SaveTextFileDialog1.FileName.isEmpty()
                             ? QStringLiteral("расшифровка")
                             : QFileInfo(editor_.SaveTextFileDialog1.FileName).completeBaseName();
    QString path =
        exportFolder_.isEmpty() ? base + extension : exportFolder_ + u'/' + base + extension;
    bool timestamps = ExportTimestamps;
    if (!RunExportDialog(path, format, timestamps)) return;
    if (!path.endsWith(extension, Qt::CaseInsensitive)) path += extension;
    if (HasTimestampChoice(format)) ExportTimestamps = timestamps;
    exportFolder_ = QFileInfo(path).absolutePath();
    SaveSettings();

    exchange::ExportOptions options;
    options.timestamps = HasTimestampChoice(format) ? timestamps : true;
    options.style = Style();
    const PlayerLink& player = editor_.Timestamps->Player;
    if (player.Length) options.recordingLength = player.Length();
    try {
        exchange::ExportFile(path, editor_.Text(), exchange::SpeakersFromTable(Participants()),
                             options);
    } catch (const exchange::ExchangeError& e) {
        editor_.ShowError(e.message());
        return;
    }
    editor_.ShowNote(QStringLiteral("Сохранено: %1").arg(path));
}

void ExchangeMenu::OpenDraftClick() {
    QString path;
    if (!RunDraftDialog(path)) return;
    TakeDraft(path, true);
}

bool ExchangeMenu::TakeDraft(const QString& path, bool replaceAll) {
    QStringList names;
    for (const project::ParticipantCells& p : Participants()) {
        if (!p.name.isEmpty()) names << p.name;
    }
    QString text;
    try {
        text = exchange::DraftText(exchange::ReadDraftFile(path), names, Style());
    } catch (const exchange::ExchangeError& e) {
        editor_.ShowError(e.message());
        return false;
    }
    EditorText& memo = editor_.MemoText();
    RecordSnapshot(memo, editor_.History);
    if (replaceAll) memo.SetSelection(0, memo.TextLength());
    memo.ReplaceSelection(text);
    RecordSnapshot(memo, editor_.History);
    return true;
}

bool ExchangeMenu::eventFilter(QObject* watched, QEvent* event) {
    if (watched != viewport_) return false;
    switch (event->type()) {
        case QEvent::DragEnter:
        case QEvent::DragMove: {
            auto* drag = static_cast<QDropEvent*>(event);
            if (DraggedDraft(drag->mimeData()).isEmpty())
                drag->ignore();
            else
                drag->acceptProposedAction();
            return true;
        }
        case QEvent::Drop: {
            auto* drop = static_cast<QDropEvent*>(event);
            const QString path = DraggedDraft(drop->mimeData());
            if (path.isEmpty()) {
                drop->ignore();
                return true;
            }
            drop->acceptProposedAction();
            editor_.Memo1->setTextCursor(
                editor_.Memo1->cursorForPosition(drop->position().toPoint()));
            TakeDraft(path, false);
            return true;
        }
        default:
            return false;
    }
}

void WireExchangeCommands(commands::Registry& registry, ExchangeMenu& menu) {
    ExchangeMenu* m = &menu;
    struct Entry {
        const char* id;
        QString caption;
        std::function<void()> run;
        QAction* action;
    };
    std::vector<Entry> entries = {{"editor.open_draft", QStringLiteral("Открыть черновик"),
                                   [m] { m->OpenDraftClick(); }, m->OpenDraftItem}};
    const char* exportIds[] = {"export.odt", "export.docx", "export.srt", "export.vtt",
                               "export.text"};
    for (std::size_t i = 0; i < m->ExportItems.size(); ++i) {
        const ExportFormat format = kFormats[i];
        entries.push_back({exportIds[i],
                           QStringLiteral("Экспорт: ") + QString(Caption(format)).remove(u'…'),
                           [m, format] { m->ExportClick(format); }, m->ExportItems[i]});
    }
    const char* styleIds[] = {"timestamp.style_seconds", "timestamp.style_tenths",
                              "timestamp.style_hundredths"};
    for (int i = 0; i < kTimestampFormatCount; ++i) {
        const auto format = static_cast<TimestampFormat>(i);
        entries.push_back({styleIds[i],
                           QStringLiteral("Метки времени: ") + TimestampFormatCaption(format),
                           [m, format] {
                               TimestampStyle style = m->Style();
                               style.format = format;
                               m->SetStyle(style);
                           },
                           m->StyleItems[i]});
    }
    entries.push_back({"timestamp.offset", QStringLiteral("Метки времени: смещение"),
                       [m] { m->OffsetClick(); }, m->OffsetItem});
    const QString window = QString::fromUtf16(commands::kEditorWindow);
    for (const Entry& entry : entries) {
        const QString id = QString::fromLatin1(entry.id);
        registry.Add(
            {id, entry.caption, {}, commands::Kind::Plain, commands::Reach::Window, window});
        registry.SetHandler(id, entry.run);
        registry.BindAction(entry.action, id);
    }
}
