#include "app/html_export_command.h"

#include <QDesktopServices>
#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QPlainTextEdit>
#include <QTemporaryFile>
#include <QUrl>
#include <array>
#include <cstdio>

#include "app/file_filters.h"
#include "app/project_commands.h"
#include "editor/editor_window.h"
#include "participants/participants_window.h"
#include "project/html_page.h"

namespace project {

namespace {

HtmlExportHooks hooks;

bool RunHtmlDialog(QWidget* parent, QString& path) {
    if (hooks.RunSaveDialog) return hooks.RunSaveDialog(path);
    QFileDialog dialog(parent);
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setOption(QFileDialog::DontConfirmOverwrite, true);
    SetDialogNameFilters(dialog, HtmlDialogFilter());
    if (!path.isEmpty()) dialog.selectFile(path);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return false;
    path = dialog.selectedFiles().constFirst();
    return true;
}

// The characters above ASCII that Windows-1251 holds, found once from the code page itself.
const std::array<bool, 0x10000>& AnsiRepertoire() {
    static const std::array<bool, 0x10000> table = [] {
        std::array<bool, 0x10000> t{};
        for (int b = 0x80; b <= 0xFF; ++b) {
            const QString s =
                textfiles::Decode(QByteArray(1, static_cast<char>(b)), textfiles::Encoding::Ansi);
            if (s.size() == 1 && s.at(0).unicode() != 0xFFFD) t[s.at(0).unicode()] = true;
        }
        return t;
    }();
    return table;
}

}  // namespace

HtmlExportHooks& HtmlHooks() {
    return hooks;
}

QString HtmlDialogFilter() {
    return QStringLiteral("HTML-файлы (*.html *.htm);;Все файлы (*.*)");
}

textfiles::Encoding PageEncoding(textfiles::Encoding chosen) {
    return chosen == textfiles::Encoding::Utf7 ? textfiles::Encoding::Utf8 : chosen;
}

QString CharsetName(textfiles::Encoding encoding) {
    switch (encoding) {
        case textfiles::Encoding::Ansi:
            return QStringLiteral("windows-1251");
        case textfiles::Encoding::Ascii:
            return QStringLiteral("us-ascii");
        case textfiles::Encoding::Utf16LE:
            return QStringLiteral("utf-16le");
        case textfiles::Encoding::Utf16BE:
            return QStringLiteral("utf-16be");
        case textfiles::Encoding::Utf8:
        case textfiles::Encoding::Utf7:
            break;
    }
    return QStringLiteral("utf-8");
}

bool Representable(textfiles::Encoding encoding, char32_t c) {
    if (c < 0x80) return true;
    switch (encoding) {
        case textfiles::Encoding::Ascii:
            return false;
        case textfiles::Encoding::Ansi:
            return c < 0x10000 && AnsiRepertoire()[c];
        default:
            return true;
    }
}

void CopyPicture(const QString& source, const QString& target) {
    const QFileInfo from(source);
    if (!from.isFile()) return;
    const QFileInfo to(target);
    if (to.exists() && from.canonicalFilePath() == to.canonicalFilePath()) return;
    QFile in(source);
    if (!in.open(QIODevice::ReadOnly)) return;
    // Written under a temporary name and renamed over the target, so an interrupted copy
    // never leaves half a picture under the picture's name.
    QTemporaryFile out(target + QStringLiteral(".XXXXXX"));
    if (!out.open()) return;
    constexpr qint64 kChunk = 1 << 20;
    QByteArray chunk;
    while (!(chunk = in.read(kChunk)).isEmpty())
        if (out.write(chunk) != chunk.size()) return;
    if (in.error() != QFileDevice::NoError || !out.flush()) return;
    out.setPermissions(from.permissions());
    if (std::rename(QFile::encodeName(out.fileName()).constData(),
                    QFile::encodeName(target).constData()) == 0)
        out.setAutoRemove(false);
}

void ExportHtmlCommand(TForm2& editor, TForm5& participants) {
    QString chosen = editor.SaveTextFileDialog2.FileName;
    if (!RunHtmlDialog(&editor, chosen)) return;
    editor.SaveTextFileDialog2.FileName = chosen;

    ParticipantTable table;
    for (int k = 0; k < kParticipantCount; ++k) {
        table[k].picture = participants.Cells(k + 1, 1);
        table[k].name = participants.Cells(k + 1, 2);
        table[k].color = participants.Cells(k + 1, 3);
    }

    const textfiles::Encoding encoding = PageEncoding(editor.SaveTextFileDialog1.Encoding);
    QString page;
    try {
        page = BuildHtmlPage(textfiles::NormalizeLineBreaks(editor.Text()), table,
                             CharsetName(encoding),
                             [encoding](char32_t c) { return Representable(encoding, c); });
    } catch (const HtmlExportError& e) {
        Program.showError(e.message());
        return;
    }
    editor.Memo2->setPlainText(page);

    const QString file = HtmlFileName(chosen);
    editor.SaveTextFileDialog2.FileName = file;
    try {
        textfiles::WriteTextFile(file, page, encoding);
    } catch (const textfiles::FileError& e) {
        Program.showError(e.message());
        return;
    }

    for (const ParticipantCells& p : table)
        if (!p.picture.isEmpty()) CopyPicture(p.picture, PictureCopyPath(file, p.picture));

    if (hooks.OpenPage)
        hooks.OpenPage(file);
    else
        Program.openSavedPage(file);
}

}  // namespace project
