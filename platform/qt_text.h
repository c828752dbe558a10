// Turning stored text bytes into what a widget shows.
#pragma once

#include <QString>

#include <string_view>

namespace platform::detail {

// UTF-8 when the bytes are valid UTF-8, else Windows-1251.
QString decodeText(std::string_view bytes);

// A static control's text: line ends as breaks, '&' as a mnemonic mark that
// is not shown ("&&" shows one '&') unless noPrefix.
QString staticDisplayText(std::string_view bytes, bool noPrefix);

// A list box row: one line, line ends shown as blanks.
QString listRowDisplayText(std::string_view bytes);

// A caption without its mnemonic marks, as screen readers read it.
QString withoutMnemonics(const QString& caption);

}  // namespace platform::detail
