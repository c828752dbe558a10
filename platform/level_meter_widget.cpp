#include "platform/level_meter_widget.h"

#include <QAccessible>
#include <QAccessibleWidget>
#include <QPaintEvent>
#include <QPainter>

#include <algorithm>

namespace platform::detail {

LevelMeterWidget::LevelMeterWidget(QWidget* parent) : QWidget(parent) {
    setAttribute(Qt::WA_OpaquePaintEvent);  // paintEvent covers every pixel
    setFocusPolicy(Qt::NoFocus);
}

void LevelMeterWidget::showLevel(int rangeMin, int rangeMax, int pos) {
    // Win32 shows an empty range as an empty bar.
    min_ = rangeMin;
    max_ = std::max(rangeMax, rangeMin + 1);
    value_ = std::clamp(pos, min_, max_);
    const int end = fillEnd();
    if (end == shownEnd_) return;
    update(QRect(std::min(end, shownEnd_), 1, std::abs(end - shownEnd_), height() - 2));
    shownEnd_ = end;
}

int LevelMeterWidget::fillEnd() const {
    const qint64 span = qint64(max_) - min_;
    const int length = std::max(0, width() - 2);
    return 1 + int(length * (qint64(value_) - min_) / span);
}

void LevelMeterWidget::paintEvent(QPaintEvent* event) {
    QPainter painter(this);
    const QRect inner = rect().adjusted(1, 1, -1, -1);
    // Four strips rather than drawRect: an outline goes through the stroker,
    // which costs more than all the rest of a timer tick.
    if (!inner.contains(event->rect())) {
        const QColor frame = palette().mid().color();
        painter.fillRect(QRect(0, 0, width(), 1), frame);
        painter.fillRect(QRect(0, height() - 1, width(), 1), frame);
        painter.fillRect(QRect(0, 1, 1, height() - 2), frame);
        painter.fillRect(QRect(width() - 1, 1, 1, height() - 2), frame);
    }
    const int end = fillEnd();
    painter.fillRect(QRect(inner.left(), inner.top(), end - inner.left(), inner.height()) & event->rect(),
                     palette().highlight());
    painter.fillRect(QRect(end, inner.top(), inner.right() + 1 - end, inner.height()) & event->rect(),
                     palette().base());
    shownEnd_ = end;
}

void LevelMeterWidget::resizeEvent(QResizeEvent* event) {
    shownEnd_ = fillEnd();  // a resize repaints the whole meter
    QWidget::resizeEvent(event);
}

namespace {

// Qt has no level-bar role here; a picture is what the meter is to a reader.
// Its value can be read, and no event ever tells of a change.
class LevelMeterAccessible final : public QAccessibleWidget, public QAccessibleValueInterface {
public:
    explicit LevelMeterAccessible(QWidget* w) : QAccessibleWidget(w, QAccessible::Graphic) {}

    void* interface_cast(QAccessible::InterfaceType t) override {
        return t == QAccessible::ValueInterface ? static_cast<QAccessibleValueInterface*>(this)
                                                : QAccessibleWidget::interface_cast(t);
    }

    QVariant currentValue() const override { return meter()->value(); }
    QVariant maximumValue() const override { return meter()->maximum(); }
    QVariant minimumValue() const override { return meter()->minimum(); }
    QVariant minimumStepSize() const override { return 1; }
    void setCurrentValue(const QVariant&) override {}  // the program's to set, not a reader's

private:
    const LevelMeterWidget* meter() const { return static_cast<const LevelMeterWidget*>(widget()); }
};

QAccessibleInterface* meterAccessible(const QString&, QObject* object) {
    if (auto* meter = dynamic_cast<LevelMeterWidget*>(object)) return new LevelMeterAccessible(meter);
    return nullptr;
}

}  // namespace

void installLevelMeterAccessible() {
    QAccessible::installFactory(meterAccessible);
}

}  // namespace platform::detail
