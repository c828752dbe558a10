// Polite spoken news for screen readers: a text that changed where the focus
// is not, told once.
#pragma once

#include <QString>

class QWidget;

namespace platform::detail {

// Dialog's thread: tells screen readers text, the new content of source,
// once, while source's window is the active one; nothing for an empty text.
void announceText(QWidget* source, const QString& text);

}  // namespace platform::detail
