// The command layer: every user command of the program once, under a stable id ("player.play",
// "editor.show", "timestamp.insert" …), with its Russian caption, its default keys, the keys in
// force and its kind. Keys, menu items, buttons, the desktop's media keys, pedals and other
// inputs all run a command through here, so a command behaves the same whichever way it is
// reached and a typist can give it other keys.
//
// Kinds: a plain command runs once per press; a hold command has a press and a release (play
// while held, rewind while held) and is pressed at most once until it is released.
// Reach: an Everywhere command's keys act in every window of the program (taken before any
// window sees them); a Window command's keys act while the window holding its menu item is
// active (they are the shortcuts of its QAction).
//
// No two commands share a key: a key given to one command is refused while another holds it.
// Only single-chord keys with a modifier, or keys that type no text (F1 … F35, media keys), are
// accepted, so that no binding eats a letter or an editing key of the text.
//
// User-interface thread only. Handlers may add, run or rebind commands (the registry is not
// iterated while a handler runs).
#pragma once

#include <QHash>
#include <QKeySequence>
#include <QList>
#include <QObject>
#include <QPointer>
#include <QString>
#include <QStringList>
#include <functional>
#include <vector>

class QAction;

namespace commands {

enum class Kind { Plain, Hold };
enum class Reach { Everywhere, Window };

struct Command {
    QString id;       // stable: the keys file names commands by it
    QString caption;  // Russian, as the keys dialog lists it
    QList<QKeySequence> defaultKeys;
    Kind kind = Kind::Plain;
    Reach reach = Reach::Window;
    QString window;  // the window it belongs to, as the keys dialog groups it ("Редактор")
};

// Why a key cannot be given to a command.
enum class KeyProblem { None, Empty, SeveralChords, TypesText, TakenByOther, UnknownCommand };

class Registry : public QObject {
    Q_OBJECT
  public:
    explicit Registry(QObject* parent = nullptr);
    ~Registry() override;

    // ---- Commands ----
    // Adds a command with its default keys in force; false (nothing added) when its id is
    // taken or empty. A default key already held by another command is left out, so the
    // first command to claim a key keeps it.
    bool Add(const Command& command);
    // The code a command runs: `press` for a plain command, `press` and `release` for a hold
    // command. Replaces what was set before; false for an unknown id.
    bool SetHandler(const QString& id, std::function<void()> press,
                    std::function<void()> release = {});
    const Command* Find(const QString& id) const;
    QStringList Ids() const;  // in the order added

    // ---- Running ----
    // A plain command runs; a hold command is pressed and released. False for an unknown id.
    bool Run(const QString& id);
    // From a key, pedal or button going down: a plain command runs, a hold command is pressed
    // unless it already is. False for an unknown id.
    bool Press(const QString& id);
    // From the same input going up: a pressed hold command is released; nothing otherwise.
    bool Release(const QString& id);
    bool IsHeld(const QString& id) const;

    // ---- Keys ----
    QList<QKeySequence> Keys(const QString& id) const;  // in force
    bool HasDefaultKeys(const QString& id) const;
    // The command a key press runs, of the given reach; empty when none.
    QString CommandForKey(QKeyCombination key, Reach reach) const;
    QString CommandForKey(QKeyCombination key) const;  // of either reach
    // Whether `key` may be given to `id`; `other` receives the command holding it.
    KeyProblem CheckKey(const QString& id, const QKeySequence& key, QString* other = nullptr) const;
    // Gives `id` exactly `keys` (empty ones dropped, at most one of each). Refused as a whole
    // (false, nothing changed) when any key has a problem; `problem` and `other` say which.
    bool SetKeys(const QString& id, const QList<QKeySequence>& keys, KeyProblem* problem = nullptr,
                 QString* other = nullptr);
    // Every command back to its default keys.
    void RestoreDefaults();
    // The keys of every command, and putting them back as they were (a dialog's Cancel).
    using KeyMap = QHash<QString, QList<QKeySequence>>;
    KeyMap Snapshot() const;
    void Restore(const KeyMap& keys);

    // ---- Views ----
    // The action runs the command when triggered (its earlier connections are dropped) and,
    // with `showKeys`, carries the keys in force as its shortcuts, kept up to date. Without,
    // for a key handler that matches keys itself, it carries them in the properties
    // kKeysProperty (QList<QKeySequence>) and kDefaultKeysProperty (bool).
    void BindAction(QAction* action, const QString& id, bool showKeys = true);

  signals:
    void KeysChanged();
    // Every press or run, before the command's code.
    void Triggered(const QString& id);

  private:
    struct Entry {
        Command command;
        QList<QKeySequence> keys;
        std::function<void()> press;
        std::function<void()> release;
        bool held = false;
        QList<QPointer<QAction>> actions;  // with their keys shown
        QList<QPointer<QAction>> keyless;  // with the keys in properties
    };
    Entry* EntryOf(const QString& id);
    const Entry* EntryOf(const QString& id) const;
    void Reindex();
    void ShowKeys(Entry& entry);

    std::vector<Entry> entries_;
    QHash<QString, int> index_;
    QHash<int, int> byKey_;  // combined key → entry
};

inline constexpr char kKeysProperty[] = "commandKeys";
inline constexpr char kDefaultKeysProperty[] = "commandDefaultKeys";

// The key with the modifiers that do not tell keys apart (keypad) removed.
QKeyCombination NormalKey(QKeyCombination key);
// A message for a refused key, naming the command that holds it.
QString KeyProblemText(KeyProblem problem, const QString& otherCaption);

}  // namespace commands
