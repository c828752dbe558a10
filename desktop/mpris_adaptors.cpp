#include "desktop/mpris_adaptors.h"

#include "desktop/mpris_service.h"

MprisRootAdaptor::MprisRootAdaptor(MprisService* service) : QDBusAbstractAdaptor(service), service_(service) {}

QString MprisRootAdaptor::identity() const {
    return "Tunelark";
}

QString MprisRootAdaptor::desktopEntry() const {
    return "tunelark";
}

QStringList MprisRootAdaptor::supportedUriSchemes() const {
    return {"http", "https"};
}

// What the engine decodes by itself: MP3 and Ogg Vorbis streams.
QStringList MprisRootAdaptor::supportedMimeTypes() const {
    return {"audio/mpeg", "audio/ogg", "application/ogg", "audio/vorbis"};
}

void MprisRootAdaptor::Raise() {
    service_->raise();
}

void MprisRootAdaptor::Quit() {
    service_->quit();
}

MprisPlayerAdaptor::MprisPlayerAdaptor(MprisService* service) : QDBusAbstractAdaptor(service), service_(service) {}

QString MprisPlayerAdaptor::playbackStatus() const {
    return service_->playbackStatus();
}

QVariantMap MprisPlayerAdaptor::metadata() const {
    return service_->metadata();
}

double MprisPlayerAdaptor::volume() const {
    return service_->volume();
}

void MprisPlayerAdaptor::setVolume(double volume) {
    service_->setVolume(volume);
}

bool MprisPlayerAdaptor::canGoNext() const {
    return service_->canGoNext();
}

bool MprisPlayerAdaptor::canGoPrevious() const {
    return service_->canGoPrevious();
}

void MprisPlayerAdaptor::Next(const QDBusMessage& message) {
    service_->next(message);
}

void MprisPlayerAdaptor::Previous(const QDBusMessage& message) {
    service_->previous(message);
}

void MprisPlayerAdaptor::Pause() {
    service_->pause();
}

void MprisPlayerAdaptor::PlayPause() {
    service_->playPause();
}

// A radio stream has no position to stop at and go back to: Stop pauses.
void MprisPlayerAdaptor::Stop() {
    service_->pause();
}

void MprisPlayerAdaptor::Play() {
    service_->play();
}

// CanSeek is false: both are ignored, as the interface asks.
void MprisPlayerAdaptor::Seek(qlonglong) {}

void MprisPlayerAdaptor::SetPosition(const QDBusObjectPath&, qlonglong) {}

// The player plays only the stations of its list, chosen in the window.
void MprisPlayerAdaptor::OpenUri(const QString&, const QDBusMessage& message) {
    service_->refuse(message, QDBusError::NotSupported, "Tunelark plays the stations of its list; choose one there");
}
