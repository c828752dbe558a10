#include "desktop/mpris_service.h"

#include <unistd.h>

#include <QCoreApplication>
#include <QDBusMessage>

#include "desktop/mpris_adaptors.h"
#include "desktop/mpris_values.h"
#include "desktop/playback_status.h"
#include "desktop/session_bus.h"
#include "desktop/station_address.h"
#include "desktop/window_input.h"
#include "platform/message_box.h"
#include "state/resource_ids.h"

namespace {

const char* const objectPath = "/org/mpris/MediaPlayer2";
const char* const playerInterface = "org.mpris.MediaPlayer2.Player";
const char* const busName = "org.mpris.MediaPlayer2.tunelark";
// Titles change every few minutes; a look five times a second shows a new
// one well within a second for a few cheap control reads. With nothing
// playing only a click in the window can change what the desktop is told:
// a look a second finds it soon enough and keeps an idle player asleep.
const int pollMs = 200;
const int idlePollMs = 1000;

}  // namespace

MprisService::MprisService(HWND mainWindow, const QDBusConnection& bus, QObject* parent)
    : QObject(parent), mainWindow_(mainWindow), bus_(bus), initialStatus_(controlText(mainWindow, IDC_STATUS)) {
    new MprisRootAdaptor(this);
    new MprisPlayerAdaptor(this);
    refresh();
    connect(&poll_, &QTimer::timeout, this, &MprisService::refresh);
    poll_.start(pollMs);
}

QString MprisService::playbackStatus() {
    refresh();
    return status_;
}

QVariantMap MprisService::metadata() {
    refresh();
    return metadata_;
}

double MprisService::volume() {
    refresh();
    return volume_;
}

bool MprisService::canGoNext() {
    refresh();
    return canGoNext_;
}

bool MprisService::canGoPrevious() {
    refresh();
    return canGoPrevious_;
}

void MprisService::setVolume(double volume) {
    if (const auto position = sliderPositionOf(volume)) moveVolumeSlider(mainWindow_, *position);
    refresh();
}

void MprisService::playPause() {
    pressPauseButton(mainWindow_);
    refresh();
}

// The button offers "Play" while paused; anything else is already playing.
void MprisService::play() {
    if (controlText(mainWindow_, IDC_PAUSE) == "Play") playPause();
}

void MprisService::pause() {
    if (controlText(mainWindow_, IDC_PAUSE) == "Pause") playPause();
}

void MprisService::next(const QDBusMessage& call) {
    stepStations(call, 1);
}

void MprisService::previous(const QDBusMessage& call) {
    stepStations(call, -1);
}

// Each failing station shows its error box; stepping on behind it would
// pile them up, which the window's own input cannot do.
void MprisService::stepStations(const QDBusMessage& call, int step) {
    if (!IsWindowEnabled(mainWindow_)) {
        refuse(call, QDBusError::Failed, "Tunelark shows a message; close it first");
        return;
    }
    stepStationList(mainWindow_, step);
    refresh();
}

void MprisService::raise() {
    bringWindowForward(mainWindow_);
}

// The reply leaves before the button ends the program. A box of the
// player (the Info box) holds the dialog's thread in a loop of its own, in
// which the dialog cannot end: the boxes are closed first, and the button
// pressed once their loops have returned.
void MprisService::quit() {
    QTimer::singleShot(0, this, [this] {
        closeMessageBoxes(mainWindow_);
        QTimer::singleShot(0, this, [this] { pressExitButton(mainWindow_); });
    });
}

void MprisService::refuse(const QDBusMessage& call, QDBusError::ErrorType error, const QString& reason) {
    call.setDelayedReply(true);
    bus_.send(call.createErrorReply(error, reason));
}

void MprisService::refresh() {
    if (!IsWindow(mainWindow_)) {
        poll_.stop();
        return;
    }
    const WindowView view = readWindowView(mainWindow_);
    QVariantMap changed;
    const QString status = playbackStatusOf(view, initialStatus_);
    if (!looked_ || status != status_) changed.insert("PlaybackStatus", status_ = status);
    const double volume = volumeOf(view.volume);
    if (!looked_ || volume != volume_) changed.insert("Volume", volume_ = volume);
    lookAtStepping(view, changed);
    lookAtSong(view, changed);
    shown_ = view;
    if (looked_ && !changed.isEmpty()) announce(changed);
    looked_ = true;
    const int interval = status_ == QLatin1String("Playing") ? pollMs : idlePollMs;
    if (poll_.interval() != interval) poll_.setInterval(interval);
}

void MprisService::lookAtStepping(const WindowView& view, QVariantMap& changed) {
    const bool down = canStepStations(view, 1);
    if (!looked_ || down != canGoNext_) changed.insert("CanGoNext", canGoNext_ = down);
    const bool up = canStepStations(view, -1);
    if (!looked_ || up != canGoPrevious_) changed.insert("CanGoPrevious", canGoPrevious_ = up);
}

void MprisService::lookAtSong(const WindowView& view, QVariantMap& changed) {
    const bool newStation = !looked_ || view.station != shown_.station || view.stationName != shown_.stationName;
    const bool newTitle = !looked_ || view.title != shown_.title;
    if (newStation) address_ = stationAddress(view.station);
    // The connect thread empties the title as it starts: a title that
    // appears after a station was chosen is that station's.
    if (newTitle) titleStation_ = view.station;
    if (newStation || newTitle) {
        metadata_ = metadataOf(view, address_, titleStation_ == view.station, ++track_);
        changed.insert("Metadata", metadata_);
    }
}

void MprisService::announce(const QVariantMap& changed) {
    QDBusMessage signal =
        QDBusMessage::createSignal(objectPath, "org.freedesktop.DBus.Properties", "PropertiesChanged");
    signal << QString(playerInterface) << changed << QStringList();
    bus_.send(signal);
}

void startMprisService(HWND mainWindow) {
    std::optional<QDBusConnection> bus = connectSessionBus();
    if (!bus) return;
    auto* service = new MprisService(mainWindow, *bus, QCoreApplication::instance());
    if (!bus->registerObject(objectPath, service, QDBusConnection::ExportAdaptors)) {
        delete service;
        return;
    }
    // A second player on the same bus (another login's runtime folder) takes
    // a name of its own, as the MPRIS naming rule allows.
    if (!bus->registerService(busName)) bus->registerService(QString("%1.instance%2").arg(busName).arg(getpid()));
}
