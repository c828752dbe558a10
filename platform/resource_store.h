// The registered dialog templates and icons.
#pragma once

#include <QImage>

#include "platform/dialog_template.h"

namespace platform::detail {

// The template named by MAKEINTRESOURCEA(id), or nullptr.
const DialogTemplate* findDialogTemplate(LPCSTR name);

// The image of an icon from LoadIconA; a null image for anything else.
QImage iconImage(HICON icon);

}  // namespace platform::detail
