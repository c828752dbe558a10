#include "platform/accessibility.h"

#include <QAbstractButton>
#include <QAccessible>
#include <QAccessibleWidget>
#include <QVariant>

#include "platform/qt_text.h"

namespace platform::detail {

namespace {

constexpr const char* kRoleProperty = "tunelarkAccessibleRole";

// Qt names a checkable button without auto-exclusion a check box.
class RadioButtonAccessible final : public QAccessibleWidget {
public:
    explicit RadioButtonAccessible(QWidget* w) : QAccessibleWidget(w, QAccessible::RadioButton) {
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

    QStringList actionNames() const override { return QStringList{pressAction()} + QAccessibleWidget::actionNames(); }

    void doAction(const QString& action) override {
        if (action == pressAction()) button()->click();
        else QAccessibleWidget::doAction(action);
    }

private:
    QAbstractButton* button() const { return static_cast<QAbstractButton*>(widget()); }
};

// The controls are stacked first-on-top, as Win32 stacks a template, which
// puts them last-first among Qt's children; readers get template order.
class DialogAccessible final : public QAccessibleWidget {
public:
    explicit DialogAccessible(QWidget* w) : QAccessibleWidget(w, QAccessible::Dialog) {}

    QAccessibleInterface* child(int index) const override {
        const int count = childCount();
        return index >= 0 && index < count ? QAccessibleWidget::child(count - 1 - index) : nullptr;
    }

    int indexOfChild(const QAccessibleInterface* child) const override {
        const int index = QAccessibleWidget::indexOfChild(child);
        return index < 0 ? index : childCount() - 1 - index;
    }
};

QAccessibleInterface* accessibleFor(const QString&, QObject* object) {
    if (!object || !object->isWidgetType()) return nullptr;
    const QString role = object->property(kRoleProperty).toString();
    auto* widget = static_cast<QWidget*>(object);
    if (role == QLatin1String("radio") && qobject_cast<QAbstractButton*>(widget)) return new RadioButtonAccessible(widget);
    if (role == QLatin1String("dialog")) return new DialogAccessible(widget);
    return nullptr;
}

}  // namespace

void markAsRadioButton(QWidget* widget) {
    widget->setProperty(kRoleProperty, QStringLiteral("radio"));
}

void markAsDialog(QWidget* widget) {
    widget->setProperty(kRoleProperty, QStringLiteral("dialog"));
}

void installAccessibleRoles() {
    QAccessible::installFactory(accessibleFor);
}

}  // namespace platform::detail
