#include "platform/dialog_units.h"

#include <QFontDatabase>
#include <QFontMetrics>

#include <strings.h>
#include <cstring>

namespace platform::detail {

namespace {

bool isShellFontName(const char* name) {
    return !name || !*name || strcasecmp(name, "MS Shell Dlg") == 0 || strcasecmp(name, "MS Shell Dlg 2") == 0 ||
           strcasecmp(name, "MS Sans Serif") == 0;
}

int mulDiv(int value, int numerator, int denominator) {
    const long long product = static_cast<long long>(value) * numerator;
    const long long half = denominator / 2;
    return static_cast<int>(product >= 0 ? (product + half) / denominator : (product - half) / denominator);
}

}  // namespace

QFont dialogFont(const DialogTemplate& t) {
    QFont font = QFontDatabase::systemFont(QFontDatabase::GeneralFont);
    if (!isShellFontName(t.fontName)) font.setFamily(QString::fromUtf8(t.fontName));
    font.setPointSize(t.fontPointSize > 0 ? t.fontPointSize : 8);
    return font;
}

QSize dialogBaseUnits(const QFont& font) {
    const QFontMetrics metrics(font);
    const int letters =
        metrics.horizontalAdvance(QStringLiteral("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz"));
    return QSize((letters / 26 + 1) / 2, metrics.height());
}

QRect dialogUnitsToPixels(const QRect& units, const QSize& base) {
    return QRect(mulDiv(units.x(), base.width(), 4), mulDiv(units.y(), base.height(), 8),
                 mulDiv(units.width(), base.width(), 4), mulDiv(units.height(), base.height(), 8));
}

}  // namespace platform::detail
