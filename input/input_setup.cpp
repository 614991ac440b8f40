#include "input/input_setup.h"

#include <QAction>
#include <QDBusConnection>
#include <QKeySequence>
#include <QMenu>

#include "commands/registry.h"
#include "input/pedal_manager.h"
#include "input/pedal_window.h"
#include "input/portal_global_keys.h"
#include "input/x11_global_keys.h"

namespace input {
namespace {

// Until the player has its hold commands, the pedals' defaults reach the plain ones: play
// while held = play, then pause; rewind and forward step one fragment per press.
struct Fallback {
    const char* held;
    const char* press;
    const char* release;
};
constexpr Fallback kFallbacks[] = {
    {"player.play_held", "player.play", "player.pause"},
    {"player.rewind_held", "player.back", nullptr},
    {"player.forward_held", "player.next", nullptr},
};

}  // namespace

std::unique_ptr<GlobalKeys> MakeGlobalKeys() {
    if (!qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY")) {
        auto portal = std::make_unique<PortalGlobalKeys>(QDBusConnection::sessionBus());
        portal->Start();
        return portal;
    }
    if (!qEnvironmentVariableIsEmpty("DISPLAY")) {
        auto x11 = std::make_unique<X11GlobalKeys>();
        if (x11->Available()) return x11;
    }
    return nullptr;
}

InputSetup::InputSetup(commands::Registry& registry, Options options)
    : registry_(registry),
      options_(std::move(options)),
      settings_(LoadInputSettings(options_.settingsPath)) {
    actions_ =
        std::make_unique<PedalActions>(CommandSink{[this](const std::string& id) { Press(id); },
                                                   [this](const std::string& id) { Release(id); }},
                                       settings_.pedals);
    PedalManager::Environment env;
    if (options_.findPedals) env.monitor = MakeUdevMonitor();
    manager_ = std::make_unique<PedalManager>(std::move(env), actions_.get());
    manager_->SetGrabKeyboards(settings_.grabKeyboardPedals);
    if (options_.findPedals) manager_->Rescan();
    // Saved global keys are taken again; none by default, so nothing is asked of the desktop.
    const auto saved = settings_.globalKeys;
    for (auto it = saved.begin(); it != saved.end(); ++it) {
        const QKeySequence key = QKeySequence::fromString(it.value(), QKeySequence::PortableText);
        if (!key.isEmpty() && Way()) Way()->Bind(it.key(), key[0]);
    }
}

InputSetup::~InputSetup() {
    delete pedalWindow_;
    manager_.reset();
    actions_->ReleaseAll();
    globalKeys_.reset();
}

void InputSetup::Press(const std::string& id) {
    const QString command = QString::fromStdString(id);
    if (registry_.Find(command)) {
        registry_.Press(command);
        return;
    }
    for (const Fallback& f : kFallbacks)
        if (id == f.held) registry_.Run(QString::fromLatin1(f.press));
}

void InputSetup::Release(const std::string& id) {
    const QString command = QString::fromStdString(id);
    if (registry_.Find(command)) {
        registry_.Release(command);
        return;
    }
    for (const Fallback& f : kFallbacks)
        if (id == f.held && f.release) registry_.Run(QString::fromLatin1(f.release));
}

GlobalKeys* InputSetup::Way() {
    if (!triedGlobalKeys_) {
        triedGlobalKeys_ = true;
        globalKeys_ = MakeGlobalKeys();
        if (globalKeys_) {
            QObject::connect(globalKeys_.get(), &GlobalKeys::Pressed,
                             [this](const QString& c) { Press(c.toStdString()); });
            QObject::connect(globalKeys_.get(), &GlobalKeys::Released,
                             [this](const QString& c) { Release(c.toStdString()); });
            QObject::connect(globalKeys_.get(), &GlobalKeys::Refused,
                             [this](const QString&, const QString& message) {
                                 if (lateRefusal_) lateRefusal_(message);
                             });
        }
    }
    return globalKeys_.get();
}

QString InputSetup::GlobalWay() const {
    if (globalKeys_) return QStringLiteral("Клавиши работают через: ") + globalKeys_->Description();
    if (!triedGlobalKeys_ && (!qEnvironmentVariableIsEmpty("DISPLAY") ||
                              !qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY")))
        return QStringLiteral("Выберите команду и клавишу.");
    return QStringLiteral(
        "Рабочий стол не даёт программам глобальных клавиш. Назначьте в его настройках свои "
        "сочетания на команды MPRIS (см. раздел «Педаль» справки).");
}

QKeySequence InputSetup::GlobalKey(const QString& command) const {
    return QKeySequence::fromString(settings_.globalKeys.value(command),
                                    QKeySequence::PortableText);
}

BindResult InputSetup::SetGlobalKey(const QString& command, QKeyCombination key) {
    GlobalKeys* way = Way();
    if (key.key() == Qt::Key(0) || key.key() == Qt::Key_unknown) {
        if (way) way->Unbind(command);
        settings_.globalKeys.remove(command);
        Save();
        return {true, {}};
    }
    if (!way) return {false, QStringLiteral("Глобальные клавиши недоступны на этом рабочем столе")};
    const BindResult result = way->Bind(command, key);
    if (result.ok) {
        settings_.globalKeys[command] = QKeySequence(key).toString(QKeySequence::PortableText);
        Save();
    }
    return result;
}

void InputSetup::Save() {
    SaveInputSettings(settings_, options_.settingsPath);
}

void InputSetup::AddMenuItems(QMenu* menu, QWidget* owner) {
    if (menu == nullptr) return;
    auto choices = [this] {
        std::vector<CommandChoice> list;
        for (const QString& id : registry_.Ids())
            if (const commands::Command* c = registry_.Find(id)) list.push_back({id, c->caption});
        return list;
    };
    menu->addSeparator();
    QAction* pedal = menu->addAction(QStringLiteral("Педаль…"));
    pedal->setObjectName(QStringLiteral("PedalMenuItem"));
    QObject::connect(pedal, &QAction::triggered, owner, [this, owner, choices] {
        if (!pedalWindow_) {
            std::vector<CommandChoice> list = choices();
            // The pedals' own defaults first, also while the player lacks its hold commands.
            const std::pair<const char*, const char*> held[] = {
                {"player.rewind_held", "Назад, пока нажата"},
                {"player.play_held", "Играть, пока нажата"},
                {"player.forward_held", "Вперёд, пока нажата"}};
            for (auto it = std::rbegin(held); it != std::rend(held); ++it)
                if (!registry_.Find(QString::fromLatin1(it->first)))
                    list.insert(list.begin(),
                                {QString::fromLatin1(it->first), QString::fromUtf8(it->second)});
            pedalWindow_ = new PedalWindow(
                *manager_, *actions_, std::move(list), settings_,
                [this](const InputSettings& s) {
                    settings_.pedals = s.pedals;
                    settings_.grabKeyboardPedals = s.grabKeyboardPedals;
                    Save();
                },
                owner);
        }
        pedalWindow_->show();
        pedalWindow_->raise();
        pedalWindow_->activateWindow();
    });
}

}  // namespace input
