#include "platform/accessibility.h"

#include <QAbstractButton>
#include <QAbstractSlider>
#include <QAccessible>
#include <QAccessibleWidget>
#include <QApplication>
#include <QVariant>

#include <algorithm>
#include <cmath>

#include "platform/level_meter_widget.h"
#include "platform/qt_text.h"

namespace platform::detail {

namespace {

constexpr const char* kRoleProperty = "tunelarkAccessibleRole";

// Qt names a checkable button without auto-exclusion a check box, and its
// toggle action flips the mark without a click: the dialog would never hear
// of it. Every action of a check box or radio button clicks it, as a
// person's press does.
class CheckableButtonAccessible final : public QAccessibleWidget {
public:
    CheckableButtonAccessible(QWidget* w, QAccessible::Role role) : QAccessibleWidget(w, role) {
        addControllingSignal(QStringLiteral("clicked(bool)"));
    }

    QString text(QAccessible::Text t) const override {
        if (t != QAccessible::Name) return QAccessibleWidget::text(t);
        const QString name = widget()->accessibleName();
        return name.isEmpty() ? withoutMnemonics(button()->text()) : name;
    }

    QAccessible::State state() const override {
        QAccessible::State s = QAccessibleWidget::state();
        s.checkable = true;
        s.checked = button()->isChecked();
        return s;
    }

    QStringList actionNames() const override {
        return QStringList{pressAction(), toggleAction()} + QAccessibleWidget::actionNames();
    }

    void doAction(const QString& action) override {
        if (!widget()->isEnabled()) return;
        if (action == pressAction() || action == toggleAction())
            button()->click();
        else
            QAccessibleWidget::doAction(action);
    }

private:
    QAbstractButton* button() const { return static_cast<QAbstractButton*>(widget()); }
};

// Qt's slider takes a tool's value with setValue, which tells no listener of
// a user's move; this one hands it to the layer as a user's move.
class TrackbarAccessible final : public QAccessibleWidget, public QAccessibleValueInterface {
public:
    explicit TrackbarAccessible(QWidget* w) : QAccessibleWidget(w, QAccessible::Slider) {}

    void* interface_cast(QAccessible::InterfaceType t) override {
        return t == QAccessible::ValueInterface ? static_cast<QAccessibleValueInterface*>(this)
                                                : QAccessibleWidget::interface_cast(t);
    }

    QVariant currentValue() const override { return slider()->value(); }
    QVariant maximumValue() const override { return slider()->maximum(); }
    QVariant minimumValue() const override { return slider()->minimum(); }
    QVariant minimumStepSize() const override { return slider()->singleStep(); }

    // The value comes from another process: clamped as a double, since a
    // huge one would not fit an int, and no value at all (NaN) is ignored.
    void setCurrentValue(const QVariant& value) override {
        auto* target = dynamic_cast<UserValueTarget*>(widget());
        const double v = value.toDouble();
        if (!target || !widget()->isEnabled() || std::isnan(v)) return;
        const double position = std::clamp(v, double(slider()->minimum()), double(slider()->maximum()));
        target->setValueAsUser(int(std::lround(position)));
    }

private:
    QAbstractSlider* slider() const { return static_cast<QAbstractSlider*>(widget()); }
};

bool isNotification(const QObject* object) {
    return object && object->property(kRoleProperty).toString() == QLatin1String("notification");
}

// The controls are stacked first-on-top, as Win32 stacks a template, which
// puts them last-first among Qt's children; readers get template order. A
// notification lies below them all, first among Qt's children; it is no
// control of the dialog (see NotificationAccessible).
class DialogAccessible final : public QAccessibleWidget {
public:
    explicit DialogAccessible(QWidget* w) : QAccessibleWidget(w, QAccessible::Dialog) {}

    int childCount() const override { return QAccessibleWidget::childCount() - (hasNotification() ? 1 : 0); }

    QAccessibleInterface* child(int index) const override {
        const int count = QAccessibleWidget::childCount();
        return index >= 0 && index < childCount() ? QAccessibleWidget::child(count - 1 - index) : nullptr;
    }

    int indexOfChild(const QAccessibleInterface* child) const override {
        const int index = QAccessibleWidget::indexOfChild(child);
        return index < 0 || isNotification(child->object()) ? -1 : QAccessibleWidget::childCount() - 1 - index;
    }

private:
    bool hasNotification() const {
        const QAccessibleInterface* first = QAccessibleWidget::childCount() > 0 ? QAccessibleWidget::child(0) : nullptr;
        return first && isNotification(first->object());
    }
};

// A notification answers to the application, not to the dialog it lies in:
// a reader speaks a dialog's whole context (its title and every label) before
// any news from inside it.
class NotificationAccessible final : public QAccessibleWidget {
public:
    explicit NotificationAccessible(QWidget* w) : QAccessibleWidget(w, QAccessible::Notification) {}

    QAccessibleInterface* parent() const override { return QAccessible::queryAccessibleInterface(qApp); }
};

QAccessibleInterface* accessibleFor(const QString&, QObject* object) {
    if (!object || !object->isWidgetType()) return nullptr;
    const QString role = object->property(kRoleProperty).toString();
    auto* widget = static_cast<QWidget*>(object);
    if (role == QLatin1String("radio") && qobject_cast<QAbstractButton*>(widget))
        return new CheckableButtonAccessible(widget, QAccessible::RadioButton);
    if (role == QLatin1String("check") && qobject_cast<QAbstractButton*>(widget))
        return new CheckableButtonAccessible(widget, QAccessible::CheckBox);
    if (role == QLatin1String("trackbar") && qobject_cast<QAbstractSlider*>(widget))
        return new TrackbarAccessible(widget);
    if (role == QLatin1String("dialog")) return new DialogAccessible(widget);
    if (role == QLatin1String("notification")) return new NotificationAccessible(widget);
    return nullptr;
}

}  // namespace

void markAsRadioButton(QWidget* widget) {
    widget->setProperty(kRoleProperty, QStringLiteral("radio"));
}

void markAsCheckBox(QWidget* widget) {
    widget->setProperty(kRoleProperty, QStringLiteral("check"));
}

void markAsTrackbar(QWidget* widget) {
    widget->setProperty(kRoleProperty, QStringLiteral("trackbar"));
}

void markAsNotification(QWidget* widget) {
    widget->setProperty(kRoleProperty, QStringLiteral("notification"));
}

void markAsDialog(QWidget* widget) {
    widget->setProperty(kRoleProperty, QStringLiteral("dialog"));
}

void installAccessibleRoles() {
    QAccessible::installFactory(accessibleFor);
    installLevelMeterAccessible();
}

}  // namespace platform::detail
