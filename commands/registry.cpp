#include "commands/registry.h"

#include <QAction>
#include <QVariant>
#include <utility>

namespace commands {

namespace {

bool IsModifierKey(int key) {
    return key == Qt::Key_Shift || key == Qt::Key_Control || key == Qt::Key_Alt ||
           key == Qt::Key_Meta || key == Qt::Key_AltGr || key == Qt::Key_CapsLock ||
           key == Qt::Key_NumLock || key == Qt::Key_unknown || key == 0;
}

// Keys that move or edit in a text control when pressed without Ctrl, Alt or Meta.
bool IsEditingKey(int key) {
    switch (key) {
        case Qt::Key_Escape:
        case Qt::Key_Tab:
        case Qt::Key_Backtab:
        case Qt::Key_Backspace:
        case Qt::Key_Return:
        case Qt::Key_Enter:
        case Qt::Key_Insert:
        case Qt::Key_Delete:
        case Qt::Key_Home:
        case Qt::Key_End:
        case Qt::Key_Left:
        case Qt::Key_Up:
        case Qt::Key_Right:
        case Qt::Key_Down:
        case Qt::Key_PageUp:
        case Qt::Key_PageDown:
        case Qt::Key_Menu:
            return true;
        default:
            return false;
    }
}

int Combined(QKeyCombination key) {
    return NormalKey(key).toCombined();
}

}  // namespace

QKeyCombination NormalKey(QKeyCombination key) {
    return QKeyCombination(key.keyboardModifiers() & ~Qt::KeypadModifier, key.key());
}

QString KeyProblemText(KeyProblem problem, const QString& otherCaption) {
    switch (problem) {
        case KeyProblem::None:
            return QString();
        case KeyProblem::Empty:
            return QStringLiteral("Клавиша не задана");
        case KeyProblem::SeveralChords:
            return QStringLiteral(
                "Нужна одна клавиша (с Ctrl, Alt или Shift), а не "
                "последовательность");
        case KeyProblem::TypesText:
            return QStringLiteral(
                "Эта клавиша нужна для набора и правки текста: добавьте Ctrl "
                "или Alt");
        case KeyProblem::TakenByOther:
            return QStringLiteral("Клавиша уже назначена команде «%1»").arg(otherCaption);
        case KeyProblem::UnknownCommand:
            return QStringLiteral("Нет такой команды");
    }
    return QString();
}

Registry::Registry(QObject* parent) : QObject(parent) {}
Registry::~Registry() = default;

Registry::Entry* Registry::EntryOf(const QString& id) {
    const auto it = index_.constFind(id);
    return it == index_.constEnd() ? nullptr : &entries_[static_cast<std::size_t>(*it)];
}

const Registry::Entry* Registry::EntryOf(const QString& id) const {
    const auto it = index_.constFind(id);
    return it == index_.constEnd() ? nullptr : &entries_[static_cast<std::size_t>(*it)];
}

bool Registry::Add(const Command& command) {
    if (command.id.isEmpty() || index_.contains(command.id)) return false;
    Entry entry;
    entry.command = command;
    for (const QKeySequence& key : command.defaultKeys) {
        if (key.isEmpty() || byKey_.contains(Combined(key[0])) || entry.keys.contains(key))
            continue;
        entry.keys.append(key);
    }
    entry.command.defaultKeys = entry.keys;
    index_.insert(command.id, static_cast<int>(entries_.size()));
    entries_.push_back(std::move(entry));
    Reindex();
    return true;
}

bool Registry::SetHandler(const QString& id, std::function<void()> press,
                          std::function<void()> release) {
    Entry* entry = EntryOf(id);
    if (entry == nullptr) return false;
    entry->press = std::move(press);
    entry->release = std::move(release);
    return true;
}

const Command* Registry::Find(const QString& id) const {
    const Entry* entry = EntryOf(id);
    return entry != nullptr ? &entry->command : nullptr;
}

QStringList Registry::Ids() const {
    QStringList ids;
    ids.reserve(static_cast<qsizetype>(entries_.size()));
    for (const Entry& entry : entries_) ids << entry.command.id;
    return ids;
}

bool Registry::Run(const QString& id) {
    const Entry* entry = EntryOf(id);
    if (entry == nullptr) return false;
    if (entry->command.kind == Kind::Hold) {
        Press(id);
        Release(id);
        return true;
    }
    return Press(id);
}

bool Registry::Press(const QString& id) {
    Entry* entry = EntryOf(id);
    if (entry == nullptr) return false;
    if (entry->command.kind == Kind::Hold) {
        if (entry->held) return true;
        entry->held = true;
    }
    emit Triggered(id);
    // A copy: the handler may replace itself or add commands, which moves the entries.
    const std::function<void()> press = EntryOf(id)->press;
    if (press) press();
    return true;
}

bool Registry::Release(const QString& id) {
    Entry* entry = EntryOf(id);
    if (entry == nullptr) return false;
    if (entry->command.kind != Kind::Hold || !entry->held) return true;
    entry->held = false;
    const std::function<void()> release = entry->release;
    if (release) release();
    return true;
}

bool Registry::IsHeld(const QString& id) const {
    const Entry* entry = EntryOf(id);
    return entry != nullptr && entry->held;
}

QList<QKeySequence> Registry::Keys(const QString& id) const {
    const Entry* entry = EntryOf(id);
    return entry != nullptr ? entry->keys : QList<QKeySequence>{};
}

bool Registry::HasDefaultKeys(const QString& id) const {
    const Entry* entry = EntryOf(id);
    return entry != nullptr && entry->keys == entry->command.defaultKeys;
}

QString Registry::CommandForKey(QKeyCombination key) const {
    const auto it = byKey_.constFind(Combined(key));
    if (it == byKey_.constEnd()) return QString();
    return entries_[static_cast<std::size_t>(*it)].command.id;
}

QString Registry::CommandForKey(QKeyCombination key, Reach reach) const {
    const auto it = byKey_.constFind(Combined(key));
    if (it == byKey_.constEnd()) return QString();
    const Command& command = entries_[static_cast<std::size_t>(*it)].command;
    return command.reach == reach ? command.id : QString();
}

KeyProblem Registry::CheckKey(const QString& id, const QKeySequence& key, QString* other) const {
    if (EntryOf(id) == nullptr) return KeyProblem::UnknownCommand;
    if (key.isEmpty()) return KeyProblem::Empty;
    if (key.count() > 1) return KeyProblem::SeveralChords;
    const QKeyCombination chord = NormalKey(key[0]);
    const int code = chord.key();
    if (IsModifierKey(code)) return KeyProblem::Empty;
    const Qt::KeyboardModifiers mods = chord.keyboardModifiers();
    const bool commandModifier = mods & (Qt::ControlModifier | Qt::AltModifier | Qt::MetaModifier);
    // Printable keys (letters, digits, space, punctuation) are below Qt's special keys.
    const bool printable = code < Qt::Key_Escape;
    if (!commandModifier && (printable || IsEditingKey(code))) return KeyProblem::TypesText;
    const QString holder = CommandForKey(chord);
    if (!holder.isEmpty() && holder != id) {
        if (other != nullptr) *other = holder;
        return KeyProblem::TakenByOther;
    }
    return KeyProblem::None;
}

bool Registry::SetKeys(const QString& id, const QList<QKeySequence>& keys, KeyProblem* problem,
                       QString* other) {
    auto refuse = [&](KeyProblem why) {
        if (problem != nullptr) *problem = why;
        return false;
    };
    Entry* entry = EntryOf(id);
    if (entry == nullptr) return refuse(KeyProblem::UnknownCommand);
    QList<QKeySequence> wanted;
    for (const QKeySequence& key : keys) {
        if (key.isEmpty()) continue;
        const QKeySequence single(NormalKey(key[0]));
        const KeyProblem why = CheckKey(id, key, other);
        if (why != KeyProblem::None) return refuse(why);
        if (!wanted.contains(single)) wanted.append(single);
    }
    if (problem != nullptr) *problem = KeyProblem::None;
    if (wanted == entry->keys) return true;
    entry->keys = wanted;
    Reindex();
    ShowKeys(*entry);
    emit KeysChanged();
    return true;
}

void Registry::RestoreDefaults() {
    bool changed = false;
    for (Entry& entry : entries_) {
        if (entry.keys == entry.command.defaultKeys) continue;
        entry.keys = entry.command.defaultKeys;
        changed = true;
    }
    if (!changed) return;
    Reindex();
    for (Entry& entry : entries_) ShowKeys(entry);
    emit KeysChanged();
}

void Registry::BindAction(QAction* action, const QString& id, bool showKeys) {
    Entry* entry = EntryOf(id);
    if (action == nullptr || entry == nullptr) return;
    QObject::disconnect(action, &QAction::triggered, nullptr, nullptr);
    connect(action, &QAction::triggered, this, [this, id] { Run(id); });
    (showKeys ? entry->actions : entry->keyless).append(action);
    ShowKeys(*entry);
}

Registry::KeyMap Registry::Snapshot() const {
    KeyMap keys;
    for (const Entry& entry : entries_) keys.insert(entry.command.id, entry.keys);
    return keys;
}

void Registry::Restore(const KeyMap& keys) {
    for (Entry& entry : entries_) {
        const auto it = keys.constFind(entry.command.id);
        if (it != keys.constEnd()) entry.keys = *it;
    }
    Reindex();
    for (Entry& entry : entries_) ShowKeys(entry);
    emit KeysChanged();
}

void Registry::Reindex() {
    byKey_.clear();
    for (std::size_t i = 0; i < entries_.size(); ++i) {
        for (const QKeySequence& key : entries_[i].keys)
            byKey_.insert(Combined(key[0]), static_cast<int>(i));
    }
}

void Registry::ShowKeys(Entry& entry) {
    entry.actions.removeAll(nullptr);
    for (const QPointer<QAction>& action : entry.actions) action->setShortcuts(entry.keys);
    entry.keyless.removeAll(nullptr);
    for (const QPointer<QAction>& action : entry.keyless) {
        action->setProperty(kKeysProperty, QVariant::fromValue(entry.keys));
        action->setProperty(kDefaultKeysProperty, entry.keys == entry.command.defaultKeys);
    }
}

}  // namespace commands
