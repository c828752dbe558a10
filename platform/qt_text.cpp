#include "platform/qt_text.h"

#include "platform/code_page.h"

namespace platform::detail {

QString decodeText(std::string_view bytes) {
    return QString::fromStdString(displayTextUtf8(bytes));
}

QString staticDisplayText(std::string_view bytes, bool noPrefix) {
    QString text = decodeText(bytes);
    text.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    text.replace(QLatin1Char('\r'), QLatin1Char('\n'));
    return noPrefix ? text : withoutMnemonics(text);
}

QString listRowDisplayText(std::string_view bytes) {
    QString text = decodeText(bytes);
    text.replace(QLatin1Char('\r'), QLatin1Char(' '));
    text.replace(QLatin1Char('\n'), QLatin1Char(' '));
    return text;
}

QString withoutMnemonics(const QString& caption) {
    QString out;
    out.reserve(caption.size());
    for (qsizetype i = 0; i < caption.size(); ++i) {
        // '&' is dropped; the character after it is kept, so "&&" gives '&'.
        if (caption[i] == QLatin1Char('&') && ++i == caption.size()) break;
        out += caption[i];
    }
    return out;
}

}  // namespace platform::detail
