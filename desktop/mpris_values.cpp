#include "desktop/mpris_values.h"

#include <QDBusObjectPath>

#include <cmath>

#include "platform/code_page.h"

namespace {

const char* const noTrack = "/org/mpris/MediaPlayer2/TrackList/NoTrack";
const int sliderMax = 100;

}  // namespace

QString shownText(const std::string& bytes) {
    return QString::fromStdString(platform::displayTextUtf8(bytes));
}

QVariantMap metadataOf(const WindowView& view, const std::string& stationAddress, bool titleIsStations,
                       unsigned track) {
    QVariantMap map;
    if (view.station < 0) {
        map.insert("mpris:trackid", QVariant::fromValue(QDBusObjectPath(noTrack)));
        return map;
    }
    map.insert("mpris:trackid", QVariant::fromValue(QDBusObjectPath(QString("/org/tunelark/track/%1").arg(track))));
    if (titleIsStations) map.insert("xesam:title", shownText(view.title));
    // The list shows each name after two blanks of its own.
    map.insert("xesam:album", shownText(view.stationName).trimmed());
    // The address keeps the line end it had in the station file.
    const QString url = shownText(stationAddress).trimmed();
    if (!url.isEmpty()) map.insert("xesam:url", url);
    return map;
}

bool canStepStations(const WindowView& view, int step) {
    if (!view.takesInput || view.stationCount <= 0) return false;
    if (view.station < 0) return true;
    const int next = view.station + step;
    return next >= 0 && next < view.stationCount;
}

double volumeOf(int sliderPosition) {
    return sliderPosition / static_cast<double>(sliderMax);
}

std::optional<int> sliderPositionOf(double volume) {
    if (std::isnan(volume)) return std::nullopt;
    // Clamped before scaling, so that a huge value cannot overflow.
    const double clamped = std::fmin(std::fmax(volume, 0.0), 1.0);
    return static_cast<int>(std::lround(clamped * sliderMax));
}
