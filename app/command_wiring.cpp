#include "app/command_wiring.h"

#include <QAction>
#include <QApplication>
#include <QMenu>
#include <QPushButton>
#include <functional>

#include "app/keys_dialog.h"
#include "app/player_media_controls.h"
#include "app/player_options.h"
#include "app/shell_commands.h"
#include "commands/default_commands.h"
#include "commands/registry.h"
#include "editor/editor_window.h"
#include "player/held_transport.h"
#include "player/player_controls.h"
#include "player/player_window.h"

namespace {

struct Binding {
    const char* id;
    std::function<void()> run;
    QList<QAction*> actions;
};

// The button runs the command instead of its handler.
void BindButton(commands::Registry& registry, QPushButton* button, const QString& id) {
    QObject::disconnect(button, &QPushButton::clicked, nullptr, nullptr);
    QObject::connect(button, &QPushButton::clicked, &registry,
                     [&registry, id] { registry.Run(id); });
}

}  // namespace

void WireCommands(commands::Registry& registry, TForm1& player, TForm2& editor) {
    TForm1* p = &player;
    TForm2* e = &editor;
    // Goes with the registry, before the windows.
    auto* held = new HeldTransport(PlayerTransportLink(player), &registry);
    held->setObjectName(QStringLiteral("HeldTransport"));
    held->SetBackStep(ReadBackStepOption());
    const Binding bindings[] = {
        {"app.help", [] { HelpCommand(QApplication::activeWindow()); }, {p->HelpItem, e->HelpItem}},
        {"player.back", [p] { p->BitBtn1Click(); }, {p->Action1}},
        {"player.play", [p] { p->BitBtn2Click(); }, {p->Action2}},
        {"player.pause", [held] { held->Pause(); }, {p->Action3}},
        {"player.next", [p] { p->BitBtn4Click(); }, {p->Action4}},
        {"editor.show", [p] { p->BitBtn5Click(); }, {p->Action5}},
        {"speed.faster", [p] { p->SpeedFaster(); }, {p->FasterItem}},
        {"speed.slower", [p] { p->SpeedSlower(); }, {p->SlowerItem}},
        {"speed.normal", [p] { p->SpeedNormal(); }, {p->NormalSpeedItem}},
        {"project.open", [p] { p->N4Click(); }, {p->N4}},
        {"project.save", [p] { p->N6Click(); }, {p->N6}},
        {"project.save_as", [p] { p->N15Click(); }, {p->N15}},
        {"player.exit", [p] { p->N2Click(); }, {p->N2}},
        {"playlist.add", [p] { p->N7Click(); }, {p->N7}},
        {"playlist.remove", [p] { p->N11Click(); }, {p->N11}},
        {"playlist.clear", [p] { p->N9Click(); }, {p->N9}},
        {"equalizer.flat", [p] { p->N22Click(); }, {p->N22}},
        {"app.about", [] { AboutCommand(); }, {p->AboutItem, e->AboutItem}},
        {"editor.open", [e] { e->N2Click(); }, {e->N2}},
        {"editor.save", [e] { e->N4Click(); }, {e->N4}},
        {"editor.save_as", [e] { e->N5Click(); }, {e->N5}},
        {"editor.export_html", [e] { e->HTML1Click(); }, {e->HTML1}},
        {"editor.exit", [e] { e->N10Click(); }, {e->N10}},
        {"editor.copy", [e] { e->N28Click(); }, {e->N28}},
        {"editor.cut", [e] { e->N30Click(); }, {e->N30}},
        {"editor.paste", [e] { e->N29Click(); }, {e->N29}},
        {"editor.select_all", [e] { e->N32Click(); }, {e->N32}},
        {"editor.undo", [e] { e->N34Click(); }, {e->N34}},
        {"editor.redo", [e] { e->N35Click(); }, {e->N35}},
        {"editor.invert_case", [e] { e->N37Click(); }, {e->N37}},
        {"editor.wrong_layout", [e] { e->N38Click(); }, {e->N38}},
        {"editor.find", [e] { e->FindClick(); }, {e->FindItem}},
        {"editor.replace", [e] { e->ReplaceClick(); }, {e->ReplaceItem}},
        {"timestamp.insert", [e] { e->TimestampClick(); }, {e->TimestampItem}},
        {"timestamp.play", [e] { e->PlayTimestampClick(); }, {e->PlayTimestampItem}},
        {"dictionary.show", [e] { e->N18Click(); }, {e->N18}},
        {"dictionary.add", [e] { e->N16Click(); }, {e->N16}},
        {"dictionary.insert", [e] { e->F81Click(); }, {e->F81}},
        {"dictionary.insert_capital", [e] { e->N23Click(); }, {e->N23}},
        {"participants.show", [e] { e->N25Click(); }, {e->N25}},
        {"editor.font", [e] { e->N21Click(); }, {e->N21}},
        {"editor.background", [e] { e->N22Click(); }, {e->N22}},
        {"editor.spelling", [e] { e->SpellClick(); }, {e->SpellItem}},
    };
    for (const Binding& binding : bindings) {
        const QString id = QString::fromLatin1(binding.id);
        registry.SetHandler(id, binding.run);
        for (QAction* action : binding.actions) registry.BindAction(action, id);
    }
    for (int n = 1; n <= 10; ++n) {
        const QString id = commands::ParticipantCommand(n);
        registry.SetHandler(id, [e, n] { e->InsertParticipant(n); });
        // Memo1KeyDown matches these keys itself (any layout, Shift or Alt held as well).
        registry.BindAction(e->ParticipantItems[n - 1], id, false);
    }
    const std::pair<QPushButton*, const char*> buttons[] = {
        {p->BitBtn1, "player.back"}, {p->BitBtn2, "player.play"}, {p->BitBtn3, "player.pause"},
        {p->BitBtn4, "player.next"}, {p->BitBtn5, "editor.show"},
    };
    for (const auto& [button, id] : buttons) BindButton(registry, button, QString::fromLatin1(id));
    registry.SetHandler(
        QStringLiteral("player.play_held"), [held] { held->PlayPressed(); },
        [held] { held->PlayReleased(); });
    registry.SetHandler(
        QStringLiteral("player.rewind_held"), [held] { held->WindPressed(-1); },
        [held] { held->WindReleased(); });
    registry.SetHandler(
        QStringLiteral("player.forward_held"), [held] { held->WindPressed(1); },
        [held] { held->WindReleased(); });
    registry.SetHandler(QStringLiteral("player.back_step_option"), [held, p] {
        const int seconds = AskBackStep(p, held->BackStep());
        if (seconds < 0) return;
        held->SetBackStep(seconds);
        if (!WriteBackStepOption(seconds))
            p->StatusBar1->ShowNote(QStringLiteral("Настройка не сохранена"), 10000);
    });
    // "Настройки" → "Клавиши…" in both windows with a menu.
    registry.SetHandler(QStringLiteral("app.keys"),
                        [&registry] { KeysCommand(QApplication::activeWindow(), registry); });
    for (QMenu* settings : {p->SettingsMenu, e->SettingsMenu}) {
        if (!settings->isEmpty()) settings->addSeparator();
        QAction* item = settings->addAction(QStringLiteral("Клавиши…"));
        item->setObjectName(QStringLiteral("KeysItem"));
        registry.BindAction(item, QStringLiteral("app.keys"));
    }
    QAction* backStep = p->SettingsMenu->addAction(QStringLiteral("Шаг назад после паузы…"));
    backStep->setObjectName(QStringLiteral("BackStepItem"));
    registry.BindAction(backStep, QStringLiteral("player.back_step_option"));
    // The playlist's and the equalizer's context menus belong to no window: their items'
    // keys act once the player window carries them.
    player.addActions({p->N7, p->N11, p->N9, p->N22});
}
