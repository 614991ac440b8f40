#include "app/player_media_controls.h"

#include "audio/audio.h"
#include "commands/registry.h"
#include "player/cycle.h"
#include "player/held_transport.h"
#include "player/player_window.h"
#include "player/speed.h"
#include "player/transport_rules.h"

MediaPlayerControls PlayerMediaControls(TForm1& player, commands::Registry& commands) {
    TForm1* p = &player;
    commands::Registry* r = &commands;
    MediaPlayerControls c;
    c.play = [r] { r->Run(QStringLiteral("player.play")); };
    c.pause = [r] { r->Run(QStringLiteral("player.pause")); };
    c.next = [r] { r->Run(QStringLiteral("player.next")); };
    c.previous = [r] { r->Run(QStringLiteral("player.back")); };
    c.seekTo = [p](double seconds) {
        if (p->Stream == 0) return;
        ResetCycle(p->Cycle);
        const std::uint64_t lengthBytes = audio::StreamLength(p->Stream, audio::POS_BYTE);
        const double length = audio::BytesToSeconds(p->Stream, lengthBytes);
        audio::SeekStream(p->Stream, SecondsToBytes(lengthBytes, seconds, length), audio::POS_BYTE);
        // As after F2: a running player goes on from the new place, a halted one stays so.
        if (p->Stopped) return;
        p->N20Click();
        audio::PlayStream(p->Stream, false);
    };
    c.hasRecording = [p] { return p->Stream != 0; };
    c.playing = [p] { return p->Stream != 0 && !p->Stopped; };
    c.positionSeconds = [p] {
        return audio::BytesToSeconds(p->Stream, audio::StreamPosition(p->Stream, audio::POS_BYTE));
    };
    c.lengthSeconds = [p] {
        return audio::BytesToSeconds(p->Stream, audio::StreamLength(p->Stream, audio::POS_BYTE));
    };
    c.recordingPath = [p] { return p->EnvelopeFile; };
    c.raise = [p] {
        p->show();
        p->raise();
        p->activateWindow();
    };
    c.rate = [p] { return p->Speed; };
    c.setRate = [p](double rate) { p->SetSpeed(rate); };
    c.minimumRate = kSpeedMinimum;
    c.maximumRate = kSpeedMaximum;
    return c;
}

namespace {
void SeekPlayer(TForm1* p, double seconds) {
    const std::uint64_t lengthBytes = audio::StreamLength(p->Stream, audio::POS_BYTE);
    const double length = audio::BytesToSeconds(p->Stream, lengthBytes);
    audio::SeekStream(p->Stream, SecondsToBytes(lengthBytes, seconds, length), audio::POS_BYTE);
}
}  // namespace

TransportLink PlayerTransportLink(TForm1& player) {
    TForm1* p = &player;
    TransportLink link;
    link.hasRecording = [p] { return p->Stream != 0; };
    link.running = [p] { return p->Stream != 0 && !p->Stopped; };
    link.play = [p] { p->BitBtn2Click(); };
    link.pause = [p] { p->BitBtn3Click(); };
    link.position = [p] { return p->RecordingPosition().value_or(0.0); };
    link.length = [p] {
        return audio::BytesToSeconds(p->Stream, audio::StreamLength(p->Stream, audio::POS_BYTE));
    };
    link.seek = [p](double seconds) {
        if (p->Stream != 0) SeekPlayer(p, seconds);
    };
    link.playFrom = [p](double seconds) { p->PlayFrom(seconds); };
    return link;
}
