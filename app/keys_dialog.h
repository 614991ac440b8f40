// "Клавиши": every command with its caption and keys, grouped by window. A command's two keys
// are changed in key fields; a key another command holds is refused with a line naming that
// command; "По умолчанию" gives every command its default keys back. Changes act at once;
// OK saves them to the keys file, Cancel puts the keys back as they were. A command's global key
// (one that works while another program has the focus, none by default) is set here too; it is
// taken by the desktop at once and kept apart from the keys file.
// User-interface thread only.
#pragma once

#include <QDialog>
#include <QKeySequence>
#include <functional>

#include "commands/registry.h"

class QCheckBox;
class QKeySequenceEdit;
class QLabel;
class QTreeWidget;
class QTreeWidgetItem;

// What the dialog needs of the global keys, without knowing who keeps them.
struct GlobalKeyLink {
    // Gives the command the key (empty: none); an empty string when taken, else why not.
    std::function<QString(const QString& command, const QKeySequence& key)> set;
    std::function<QKeySequence(const QString& command)> get;
    // The way the desktop offers, or that there is none and what to do instead.
    std::function<QString()> way;
    explicit operator bool() const { return set && get; }
};

class KeysDialog : public QDialog {
    Q_OBJECT
  public:
    KeysDialog(commands::Registry& registry, QString path, QWidget* parent = nullptr,
               GlobalKeyLink global = {});

    // Selects the command's row (the tests' way in, as a click is the user's).
    void SelectCommand(const QString& id);
    // Takes the two key fields for the selected command; false when refused (the message
    // line says why and the fields show the keys in force again).
    bool ApplyFields();
    QString Message() const;
    QKeySequenceEdit* FirstKey() const { return first_; }
    QKeySequenceEdit* SecondKey() const { return second_; }
    QCheckBox* GlobalBox() const { return globalBox_; }
    QKeySequenceEdit* GlobalKey() const { return global_; }
    // Takes the global key field for the selected command; false when refused.
    bool ApplyGlobal();
    // A refusal that came later (the desktop answers some requests on its own time).
    void ShowRefusal(const QString& message) { SayProblem(message); }

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
    GlobalKeyLink link_;
    QCheckBox* globalBox_ = nullptr;
    QKeySequenceEdit* global_ = nullptr;
    QLabel* way_ = nullptr;
};

// Runs the dialog over the window set's commands and the user's keys file.
void KeysCommand(QWidget* owner, commands::Registry& registry);
// The global keys the dialog offers while the window set lives (an empty link: none).
void SetGlobalKeyLink(GlobalKeyLink link);
// The dialog open now, for refusals that arrive later; nullptr when none is.
KeysDialog* OpenKeysDialog();
