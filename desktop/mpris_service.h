// The player on the session bus as an MPRIS2 media player. It reads the
// main window and acts on it only through the window layer's messages, as
// a person's input does. Everything here runs on the dialog's thread: the
// bus delivers its calls to the thread of the object they are made on.
#pragma once

#include <QDBusConnection>
#include <QDBusError>
#include <QObject>
#include <QTimer>
#include <QVariantMap>

#include <string>

#include "desktop/window_view.h"

class MprisService : public QObject {
    Q_OBJECT
public:
    MprisService(HWND mainWindow, const QDBusConnection& bus, QObject* parent);

    // The values now shown by the window (read afresh, so a client that asks
    // right after its own call sees the result).
    QString playbackStatus();
    QVariantMap metadata();
    double volume();
    bool canGoNext();
    bool canGoPrevious();

    // What the person's input would do. A station change is refused while
    // a box of the player is open, as the window refuses clicks then.
    void setVolume(double volume);
    void playPause();
    void play();
    void pause();
    void next(const QDBusMessage& call);
    void previous(const QDBusMessage& call);
    void raise();
    void quit();

    // Answers a call with an error instead of its usual reply.
    void refuse(const QDBusMessage& call, QDBusError::ErrorType error, const QString& reason);

private:
    void stepStations(const QDBusMessage& call, int step);
    // Reads the window and tells the bus what changed since the last look.
    void refresh();
    void lookAtStepping(const WindowView& view, QVariantMap& changed);
    void lookAtSong(const WindowView& view, QVariantMap& changed);
    void announce(const QVariantMap& changed);

    HWND mainWindow_;
    QDBusConnection bus_;
    std::string initialStatus_;  // the status line as start-up left it
    QTimer poll_;
    bool looked_ = false;         // a first look was taken
    WindowView shown_;            // the window at the last look
    QString status_;              // as last announced
    double volume_ = 0;           // as last announced
    bool canGoNext_ = false;      // as last announced
    bool canGoPrevious_ = false;  // as last announced
    QVariantMap metadata_;        // as last announced
    std::string address_;         // of the station in shown_
    int titleStation_ = -1;       // the row selected when the shown title appeared
    unsigned track_ = 0;          // raised with every new song or station
};

// Puts the player on the session bus as org.mpris.MediaPlayer2.tunelark (or
// a numbered instance of it when that name is taken). Without a session
// bus it does nothing and says nothing. Dialog's thread, once.
void startMprisService(HWND mainWindow);
