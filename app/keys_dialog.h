// "Клавиши": every command with its caption and keys, grouped by window. A command's two keys
// are changed in key fields; a key another command holds is refused with a line naming that
// command; "По умолчанию" gives every command its default keys back. Changes act at once;
// OK saves them to the keys file, Cancel puts the keys back as they were.
// User-interface thread only.
#pragma once

#include <QDialog>

#include "commands/registry.h"

class QKeySequenceEdit;
class QLabel;
class QTreeWidget;
class QTreeWidgetItem;

class KeysDialog : public QDialog {
    Q_OBJECT
  public:
    KeysDialog(commands::Registry& registry, QString path, QWidget* parent = nullptr);

    // Selects the command's row (the tests' way in, as a click is the user's).
    void SelectCommand(const QString& id);
    // Takes the two key fields for the selected command; false when refused (the message
    // line says why and the fields show the keys in force again).
    bool ApplyFields();
    QString Message() const;
    QKeySequenceEdit* FirstKey() const { return first_; }
    QKeySequenceEdit* SecondKey() const { return second_; }

    void accept() override;
    void reject() override;

  private:
    void Fill();
    void ShowSelected();
    QString SelectedId() const;
    void SayProblem(const QString& text);

    commands::Registry& registry_;
    const QString path_;
    const commands::Registry::KeyMap before_;
    QTreeWidget* list_ = nullptr;
    QKeySequenceEdit* first_ = nullptr;
    QKeySequenceEdit* second_ = nullptr;
    QLabel* message_ = nullptr;
};

// Runs the dialog over the window set's commands and the user's keys file.
void KeysCommand(QWidget* owner, commands::Registry& registry);
