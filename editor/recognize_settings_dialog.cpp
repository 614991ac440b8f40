#include "editor/recognize_settings_dialog.h"

#include <QComboBox>
#include <QDialog>
#include <QDialogButtonBox>
#include <QFileDialog>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLineEdit>
#include <QPushButton>

namespace {

// A path field with a "…" button that picks a file.
QWidget* PathField(QWidget* owner, QLineEdit* edit, const QString& title) {
    auto* row = new QWidget(owner);
    auto* layout = new QHBoxLayout(row);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(edit);
    auto* pick = new QPushButton(QStringLiteral("…"), row);
    layout->addWidget(pick);
    QObject::connect(pick, &QPushButton::clicked, row, [row, edit, title] {
        const QString chosen = QFileDialog::getOpenFileName(
            row, title, edit->text(), QString(), nullptr, QFileDialog::DontUseNativeDialog);
        if (!chosen.isEmpty()) edit->setText(chosen);
    });
    return row;
}

}  // namespace

bool RunRecognizeSettingsDialog(QWidget* owner, recognize::Settings& settings) {
    QDialog dialog(owner);
    dialog.setWindowTitle(QStringLiteral("Распознавание"));
    auto* form = new QFormLayout(&dialog);
    auto* engine = new QComboBox(&dialog);
    engine->addItems({QStringLiteral("PocketSphinx (только английский)"),
                      QStringLiteral("whisper.cpp"), QStringLiteral("Другая программа")});
    engine->setCurrentIndex(static_cast<int>(settings.engine));
    auto* language = new QLineEdit(settings.language, &dialog);
    auto* whisperProgram = new QLineEdit(settings.whisperProgram, &dialog);
    whisperProgram->setPlaceholderText(QStringLiteral("whisper-cli"));
    auto* whisperModel = new QLineEdit(settings.whisperModel, &dialog);
    auto* command = new QLineEdit(settings.commandTemplate, &dialog);
    command->setPlaceholderText(QStringLiteral("программа {input} {output} {language} {model}"));
    auto* commandModel = new QLineEdit(settings.commandModel, &dialog);
    auto* format = new QComboBox(&dialog);
    format->addItems({QStringLiteral("SRT"), QStringLiteral("WebVTT"), QStringLiteral("JSON")});
    format->setCurrentIndex(static_cast<int>(settings.commandFormat));
    form->addRow(QStringLiteral("Распознаватель:"), engine);
    form->addRow(QStringLiteral("Язык:"), language);
    form->addRow(QStringLiteral("Программа whisper.cpp:"),
                 PathField(&dialog, whisperProgram, QStringLiteral("Программа whisper.cpp")));
    form->addRow(QStringLiteral("Модель whisper.cpp:"),
                 PathField(&dialog, whisperModel, QStringLiteral("Модель whisper.cpp")));
    form->addRow(QStringLiteral("Команда:"), command);
    form->addRow(QStringLiteral("Модель команды:"),
                 PathField(&dialog, commandModel, QStringLiteral("Модель")));
    form->addRow(QStringLiteral("Формат вывода команды:"), format);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, &dialog);
    form->addRow(buttons);
    QObject::connect(buttons, &QDialogButtonBox::accepted, &dialog, &QDialog::accept);
    QObject::connect(buttons, &QDialogButtonBox::rejected, &dialog, &QDialog::reject);
    if (dialog.exec() != QDialog::Accepted) return false;
    settings.engine = static_cast<recognize::Engine>(engine->currentIndex());
    settings.language = language->text().trimmed();
    settings.whisperProgram = whisperProgram->text().trimmed();
    settings.whisperModel = whisperModel->text().trimmed();
    settings.commandTemplate = command->text().trimmed();
    settings.commandModel = commandModel->text().trimmed();
    settings.commandFormat = static_cast<exchange::DraftFormat>(format->currentIndex());
    return true;
}
