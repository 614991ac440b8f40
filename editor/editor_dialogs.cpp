#include "editor/editor_dialogs.h"

#include <QColorDialog>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QFileDialog>
#include <QFontDialog>
#include <QGridLayout>
#include <QIcon>
#include <QLabel>
#include <QPixmap>
#include <QPushButton>

#include "editor/editor_window.h"

// The file dialog with the encoding selector added below its own fields.
bool RunQtTextFileDialog(QWidget* owner, TextFileDialog& state, bool save) {
    QFileDialog dialog(owner, save ? QStringLiteral("Сохранить как") : QStringLiteral("Открыть"));
    dialog.setOption(QFileDialog::DontUseNativeDialog);
    if (save) {
        dialog.setAcceptMode(QFileDialog::AcceptSave);
        dialog.setFileMode(QFileDialog::AnyFile);
        // Save replaces an existing file without asking.
        dialog.setOption(QFileDialog::DontConfirmOverwrite);
    } else {
        dialog.setAcceptMode(QFileDialog::AcceptOpen);
        dialog.setFileMode(QFileDialog::ExistingFile);
    }
    if (!state.FileName.isEmpty()) dialog.selectFile(state.FileName);

    auto* encodings = new QComboBox(&dialog);
    encodings->setObjectName(QStringLiteral("EncodingBox"));
    for (int i = 0; i < textfiles::kEncodingCount; ++i) {
        encodings->addItem(textfiles::EncodingName(textfiles::EncodingFromIndex(i)));
    }
    encodings->setCurrentIndex(static_cast<int>(state.Encoding));
    if (auto* grid = qobject_cast<QGridLayout*>(dialog.layout())) {
        const int row = grid->rowCount();
        grid->addWidget(new QLabel(QStringLiteral("Кодировка:"), &dialog), row, 0);
        grid->addWidget(encodings, row, 1);
    }
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return false;
    state.FileName = dialog.selectedFiles().first();
    state.Encoding = textfiles::EncodingFromIndex(encodings->currentIndex());
    return true;
}

// The font dialog with a colour button: the text's colour belongs to its font here.
bool RunQtFontDialog(QWidget* owner, QFont& font, QColor& color) {
    QFontDialog dialog(font, owner);
    dialog.setOption(QFontDialog::DontUseNativeDialog);
    QColor picked = color;
    auto* colorButton = new QPushButton(QStringLiteral("Цвет…"), &dialog);
    colorButton->setObjectName(QStringLiteral("FontColorButton"));
    auto showColor = [&] {
        QPixmap swatch(16, 16);
        swatch.fill(picked);
        colorButton->setIcon(QIcon(swatch));
    };
    showColor();
    QObject::connect(colorButton, &QPushButton::clicked, &dialog, [&] {
        const QColor chosen = QColorDialog::getColor(picked, &dialog);
        if (!chosen.isValid()) return;
        picked = chosen;
        showColor();
    });
    if (auto* buttons = dialog.findChild<QDialogButtonBox*>()) {
        buttons->addButton(colorButton, QDialogButtonBox::ActionRole);
    }
    if (dialog.exec() != QDialog::Accepted) return false;
    font = dialog.selectedFont();
    color = picked;
    return true;
}
