#include "platform/announcement.h"

#include <QWidget>

#include "platform/accessibility.h"

namespace platform::detail {

namespace {

constexpr const char* kAnnouncerName = "tunelarkAnnouncer";

// A notification that appears with the news: screen readers speak a
// notification when it shows, wherever the focus is, and say nothing of the
// labels whose texts change on their own. It takes no room and no input.
QWidget* announcerOf(QWidget* window) {
    auto* announcer = window->findChild<QWidget*>(QLatin1String(kAnnouncerName), Qt::FindDirectChildrenOnly);
    if (announcer) return announcer;
    announcer = new QWidget(window);
    announcer->setObjectName(QLatin1String(kAnnouncerName));
    announcer->setAttribute(Qt::WA_TransparentForMouseEvents);
    announcer->setFocusPolicy(Qt::NoFocus);
    announcer->setGeometry(0, 0, 1, 1);
    announcer->lower();
    markAsNotification(announcer);
    return announcer;
}

}  // namespace

void announceText(QWidget* source, const QString& text) {
    QWidget* window = source->window();
    if (text.isEmpty() || !window->isActiveWindow()) return;
    QWidget* announcer = announcerOf(window);
    // A title set again as it stands (a new connection shows the first
    // title, then the stream's first block names it once more) is no news.
    if (announcer->isVisible() && announcer->accessibleName() == text) return;
    announcer->hide();
    announcer->setAccessibleName(text);
    announcer->show();
}

}  // namespace platform::detail
