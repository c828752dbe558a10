#include "platform/control_widgets.h"

#include <QAccessible>
#include <QCheckBox>
#include <QGroupBox>
#include <QKeyEvent>
#include <QLabel>
#include <QListWidget>
#include <QMouseEvent>
#include <QPainter>
#include <QPushButton>
#include <QRadioButton>
#include <QSlider>
#include <QStyle>
#include <QStyleOptionSlider>

#include <algorithm>

#include "platform/accessibility.h"
#include "platform/announcement.h"
#include "platform/dialog_events.h"
#include "platform/gui_thread.h"
#include "platform/level_meter_widget.h"
#include "platform/qt_text.h"
#include "platform/radio_group.h"
#include "platform/static_text_widget.h"

namespace platform::detail {

namespace {

// What every control widget holds: its dialog and its model, shared so that
// neither goes away while Qt still delivers an event to the widget.
struct ControlLink {
    std::shared_ptr<DialogState> dialog;
    std::shared_ptr<ControlModel> model;
};

// A Win32 button takes a click anywhere in its window, not only on the
// indicator and text as Qt's check boxes and radio buttons do.
class CheckBoxWidget final : public QCheckBox {
public:
    CheckBoxWidget(ControlLink link, QWidget* parent) : QCheckBox(parent), link_(std::move(link)) {
        markAsCheckBox(this);
    }

protected:
    bool hitButton(const QPoint& pos) const override { return rect().contains(pos); }
    void nextCheckState() override { userToggledCheck(*link_.dialog, *link_.model); }

private:
    ControlLink link_;
};

class RadioButtonWidget final : public QRadioButton {
public:
    RadioButtonWidget(ControlLink link, QWidget* parent) : QRadioButton(parent), link_(std::move(link)) {
        setAutoExclusive(false);  // the group follows Win32's rule instead
        markAsRadioButton(this);
    }

protected:
    bool hitButton(const QPoint& pos) const override { return rect().contains(pos); }
    void nextCheckState() override { userChoseRadio(*link_.dialog, *link_.model); }

    void keyPressEvent(QKeyEvent* event) override {
        const int key = event->key();
        const bool arrow = key == Qt::Key_Up || key == Qt::Key_Down || key == Qt::Key_Left || key == Qt::Key_Right;
        if (!arrow || (event->modifiers() & ~Qt::KeypadModifier)) {
            QRadioButton::keyPressEvent(event);
            return;
        }
        moveInRadioGroup(*link_.dialog, *link_.model, key == Qt::Key_Down || key == Qt::Key_Right);
        event->accept();
    }

private:
    ControlLink link_;
};

class ListBoxWidget final : public QListWidget {
public:
    ListBoxWidget(ControlLink link, QWidget* parent, QSize base) : QListWidget(parent), link_(std::move(link)) {
        setSelectionMode(QAbstractItemView::SingleSelection);
        setEditTriggers(QAbstractItemView::NoEditTriggers);
        setTextElideMode(Qt::ElideNone);  // Win32 clips a long row
        setUniformItemSizes(true);
        if (link_.model->templ.style & LBS_MULTICOLUMN) {
            // Rows run down and wrap into further columns; the list scrolls
            // sideways. Win32's default column is about 25 average characters.
            setFlow(QListView::TopToBottom);
            setWrapping(true);
            setResizeMode(QListView::Adjust);
            setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
            setGridSize(QSize(25 * base.width(), base.height()));
        }
        connect(this, &QListWidget::itemSelectionChanged, this, [this] { selectionChangedByUser(); });
    }

    void showModel(const ControlState& s, bool itemsChanged) {
        syncing_ = true;
        if (itemsChanged) {
            clear();
            for (const auto& row : s.items) addItem(listRowDisplayText(row));
        }
        if (s.curSel >= 0 && s.curSel < count()) {
            selectionModel()->select(model()->index(s.curSel, 0), QItemSelectionModel::ClearAndSelect);
            setCaret(s.curSel);
            scrollToItem(item(s.curSel));
        } else {
            clearSelection();
        }
        syncing_ = false;
    }

protected:
    // A row can only be chosen, never deselected: Win32 single-selection
    // lists have no Ctrl+click and no click into empty space.
    QItemSelectionModel::SelectionFlags selectionCommand(const QModelIndex& index, const QEvent* event) const override {
        if (!index.isValid()) return QItemSelectionModel::NoUpdate;
        const auto flags = QListWidget::selectionCommand(index, event);
        return (flags & QItemSelectionModel::Deselect) ? QItemSelectionModel::NoUpdate : flags;
    }

    // As Win32's single-selection list box: while the caret row is not the
    // selected one (nothing is selected yet, or the program cleared the
    // selection), a moving key selects the caret row instead of moving, so
    // the first row can be chosen from the keyboard.
    void keyPressEvent(QKeyEvent* event) override {
        showCaret();
        if (movesCaret(*event) && count() > 0 && (selectedRow() == LB_ERR || selectedRow() != currentRow())) {
            const int row = std::max(currentRow(), 0);
            setCurrentRow(row, QItemSelectionModel::ClearAndSelect);
            // The caret did not move, so the view tells no reader of it.
            QAccessibleEvent focus(this, QAccessible::Focus);
            focus.setChild(row);
            QAccessible::updateAccessibility(&focus);
            event->accept();
        } else {
            QListWidget::keyPressEvent(event);
        }
        if (!hasFocus()) hideCaret();
    }

    // The caret row reads as focused to screen readers; it is kept aside
    // while the list has no focus, so that one object only is focused.
    void focusInEvent(QFocusEvent* event) override {
        showCaret();
        QListWidget::focusInEvent(event);
    }

    void focusOutEvent(QFocusEvent* event) override {
        QListWidget::focusOutEvent(event);
        hideCaret();
    }

private:
    static bool movesCaret(const QKeyEvent& event) {
        switch (event.key()) {
        case Qt::Key_Up:
        case Qt::Key_Down:
        case Qt::Key_Left:
        case Qt::Key_Right:
        case Qt::Key_Home:
        case Qt::Key_End:
        case Qt::Key_PageUp:
        case Qt::Key_PageDown:
            return event.modifiers() == Qt::NoModifier || event.modifiers() == Qt::KeypadModifier;
        default:
            return false;
        }
    }

    void setCaret(int row) {
        if (hasFocus())
            setCurrentRow(row, QItemSelectionModel::NoUpdate);
        else
            caretRow_ = row;
    }

    void showCaret() {
        if (caretRow_ >= 0 && caretRow_ < count() && !currentIndex().isValid())
            setCurrentRow(caretRow_, QItemSelectionModel::NoUpdate);
        caretRow_ = -1;
    }

    void hideCaret() {
        if (!currentIndex().isValid()) return;
        caretRow_ = currentRow();
        selectionModel()->setCurrentIndex(QModelIndex(), QItemSelectionModel::NoUpdate);
    }

    // No input of a person empties a single-selection list; an assistive
    // tool's select clears the selection first, and only the row it then
    // selects is news to the dialog. The caret follows that row, so the
    // arrow keys go on from it.
    void selectionChangedByUser() {
        const int row = selectedRow();
        if (syncing_ || row == LB_ERR) return;
        if (currentRow() != row) setCaret(row);
        userSelectedRow(*link_.dialog, *link_.model, row);
    }

    int selectedRow() const {
        const auto rows = selectedIndexes();
        return rows.isEmpty() ? LB_ERR : rows.first().row();
    }

    ControlLink link_;
    bool syncing_ = false;
    int caretRow_ = -1;  // the caret row while the list has no focus
};

int trackbarCode(int sliderAction) {
    switch (sliderAction) {
    case QAbstractSlider::SliderSingleStepAdd:
        return TB_LINEDOWN;
    case QAbstractSlider::SliderSingleStepSub:
        return TB_LINEUP;
    case QAbstractSlider::SliderPageStepAdd:
        return TB_PAGEDOWN;
    case QAbstractSlider::SliderPageStepSub:
        return TB_PAGEUP;
    case QAbstractSlider::SliderToMinimum:
        return TB_TOP;
    case QAbstractSlider::SliderToMaximum:
        return TB_BOTTOM;
    case QAbstractSlider::SliderMove:
        return TB_THUMBTRACK;
    default:
        return -1;
    }
}

QSlider::TickPosition tickPosition(DWORD style) {
    if (style & TBS_NOTICKS) return QSlider::NoTicks;
    if (style & TBS_BOTH) return QSlider::TicksBothSides;
    if (style & TBS_VERT) return (style & TBS_LEFT) ? QSlider::TicksLeft : QSlider::TicksRight;
    return (style & TBS_TOP) ? QSlider::TicksAbove : QSlider::TicksBelow;
}

class TrackbarWidget final : public QSlider, public UserValueTarget {
public:
    TrackbarWidget(ControlLink link, QWidget* parent)
        : QSlider((link.model->templ.style & TBS_VERT) ? Qt::Vertical : Qt::Horizontal, parent),
          link_(std::move(link)) {
        if (orientation() == Qt::Vertical) {
            // Win32 puts position 0 of a vertical trackbar at the top, and
            // the Up key lowers the position.
            setInvertedAppearance(true);
            setInvertedControls(true);
        }
        setTickPosition(platform::detail::tickPosition(link_.model->templ.style));
        markAsTrackbar(this);
        connect(this, &QAbstractSlider::actionTriggered, this, [this](int action) {
            const int code = trackbarCode(action);
            if (code >= 0) moved(code);  // sliderPosition() is already the new one
        });
    }

    void showModel(const ControlState& s) {
        const QSignalBlocker blocker(this);
        setRange(s.rangeMin, s.rangeMax);
        setPageStep(s.pageSize);
        setValue(s.pos);
        marks_ = s.tics;
        update();
    }

    // Reaches the dialog as the end of a drag to that position does.
    void setValueAsUser(int value) override {
        {
            const QSignalBlocker blocker(this);
            setValue(value);
        }
        moved(TB_THUMBPOSITION);
        moved(TB_ENDTRACK);
    }

protected:
    void paintEvent(QPaintEvent*) override {
        QPainter painter(this);
        QStyleOptionSlider option;
        initStyleOption(&option);
        // The style lays out room for the marks, but the marks are Win32's:
        // the two ends and the positions set by TBM_SETTIC.
        option.subControls = QStyle::SC_SliderGroove | QStyle::SC_SliderHandle;
        style()->drawComplexControl(QStyle::CC_Slider, &option, &painter, this);
        if (tickPosition() != NoTicks) paintMarks(painter, option);
    }

    void mousePressEvent(QMouseEvent* event) override {
        QSlider::mousePressEvent(event);
        tracking_ = true;
    }

    void mouseReleaseEvent(QMouseEvent* event) override {
        const bool dragged = isSliderDown();
        QSlider::mouseReleaseEvent(event);
        if (dragged) moved(TB_THUMBPOSITION);
        if (tracking_) moved(TB_ENDTRACK);
        tracking_ = false;
    }

    void keyReleaseEvent(QKeyEvent* event) override {
        QSlider::keyReleaseEvent(event);
        static const int keys[] = {Qt::Key_Left,   Qt::Key_Right,    Qt::Key_Up,   Qt::Key_Down,
                                   Qt::Key_PageUp, Qt::Key_PageDown, Qt::Key_Home, Qt::Key_End};
        if (!event->isAutoRepeat() && std::find(std::begin(keys), std::end(keys), event->key()) != std::end(keys))
            moved(TB_ENDTRACK);
    }

private:
    void moved(int code) { userMovedTrackbar(*link_.dialog, *link_.model, sliderPosition(), code); }

    void paintMarks(QPainter& painter, const QStyleOptionSlider& option) {
        const bool horizontal = orientation() == Qt::Horizontal;
        const QRect groove = style()->subControlRect(QStyle::CC_Slider, &option, QStyle::SC_SliderGroove, this);
        const QRect handle = style()->subControlRect(QStyle::CC_Slider, &option, QStyle::SC_SliderHandle, this);
        const int handleLength = horizontal ? handle.width() : handle.height();
        const int start = horizontal ? groove.x() : groove.y();
        const int span = (horizontal ? groove.width() : groove.height()) - handleLength;
        std::vector<int> marks = marks_;
        marks.push_back(minimum());
        marks.push_back(maximum());
        painter.setPen(palette().color(QPalette::WindowText));
        const QSlider::TickPosition where = tickPosition();
        for (int value : marks) {
            const int at = start + handleLength / 2 +
                           QStyle::sliderPositionFromValue(minimum(), maximum(), value, span, option.upsideDown);
            if (horizontal) {
                if (where & TicksAbove) painter.drawLine(at, handle.top() - 5, at, handle.top() - 2);
                if (where & TicksBelow) painter.drawLine(at, handle.bottom() + 2, at, handle.bottom() + 5);
            } else {
                if (where & TicksLeft) painter.drawLine(handle.left() - 5, at, handle.left() - 2, at);
                if (where & TicksRight) painter.drawLine(handle.right() + 2, at, handle.right() + 5, at);
            }
        }
    }

    ControlLink link_;
    std::vector<int> marks_;
    bool tracking_ = false;
};

QLabel* createStatic(const ControlTemplate& t, QWidget* parent) {
    auto* label = new StaticTextWidget(parent);
    label->setTextFormat(Qt::PlainText);
    label->setWordWrap(true);
    label->setMargin(0);
    Qt::Alignment horizontal = Qt::AlignLeft;
    if ((t.style & SS_TYPEMASK) == SS_CENTER) horizontal = Qt::AlignHCenter;
    if ((t.style & SS_TYPEMASK) == SS_RIGHT) horizontal = Qt::AlignRight;
    label->setAlignment(horizontal | Qt::AlignTop);
    if (t.accessibleName) label->setAccessibleDescription(QString::fromUtf8(t.accessibleName));
    return label;
}

QWidget* createWidget(const ControlLink& link, QWidget* parent, QSize base) {
    const ControlTemplate& t = link.model->templ;
    switch (t.kind) {
    case ControlKind::ListBox:
        return new ListBoxWidget(link, parent, base);
    case ControlKind::PushButton: {
        auto* button = new QPushButton(parent);
        button->setAutoDefault(false);
        QObject::connect(button, &QPushButton::clicked, button, [link] { userClicked(*link.dialog, *link.model); });
        return button;
    }
    case ControlKind::StaticText:
        return createStatic(t, parent);
    case ControlKind::Trackbar:
        return new TrackbarWidget(link, parent);
    case ControlKind::ProgressBar:
        return new LevelMeterWidget(parent);
    case ControlKind::RadioButton:
    case ControlKind::CheckBox: {
        QAbstractButton* button = t.kind == ControlKind::RadioButton
                                      ? static_cast<QAbstractButton*>(new RadioButtonWidget(link, parent))
                                      : new CheckBoxWidget(link, parent);
        QObject::connect(button, &QAbstractButton::clicked, button, [link] { userClicked(*link.dialog, *link.model); });
        return button;
    }
    case ControlKind::GroupBox:
        return new QGroupBox(parent);
    }
    return nullptr;
}

Qt::FocusPolicy focusPolicy(const ControlTemplate& t) {
    switch (t.kind) {
    case ControlKind::StaticText:
    case ControlKind::ProgressBar:
    case ControlKind::GroupBox:
        return Qt::NoFocus;
    default:
        return (t.style & WS_TABSTOP) ? Qt::StrongFocus : Qt::ClickFocus;
    }
}

void showStatic(StaticTextWidget* label, const ControlTemplate& t, const ControlState& s) {
    const QString text = staticDisplayText(s.text, t.style & SS_NOPREFIX);
    // The load text is rewritten 20 times a second, mostly with what it says already.
    if (text == label->text() && !label->accessibleName().isEmpty()) return;
    label->showText(text);
    if (t.announcesChanges) announceText(label, text);
    // Screen readers read a static by what it says now.
    if (text.isEmpty() && t.accessibleName)
        label->setAccessibleName(QString::fromUtf8(t.accessibleName));
    else
        label->setAccessibleName(text);
}

void showState(ControlModel& c, const ControlState& s, bool itemsChanged) {
    QWidget* widget = c.widget.data();
    switch (c.templ.kind) {
    case ControlKind::ListBox:
        static_cast<ListBoxWidget*>(widget)->showModel(s, itemsChanged);
        break;
    case ControlKind::PushButton:
    case ControlKind::RadioButton:
    case ControlKind::CheckBox: {
        auto* button = static_cast<QAbstractButton*>(widget);
        const QString caption = decodeText(s.text);
        // Qt tells readers of a new caption in a form Orca cannot speak: the
        // focused button's new caption ("Play" after "Pause") is told aloud.
        if (caption != button->text() && button->hasFocus()) announceText(button, withoutMnemonics(caption));
        button->setText(caption);
        if (c.templ.kind != ControlKind::PushButton) {
            const QSignalBlocker blocker(button);
            button->setChecked(s.check == BST_CHECKED);
        }
        if (auto dialog = c.dialog.lock(); dialog && c.templ.kind == ControlKind::RadioButton)
            updateRadioTabStop(*dialog, c);
        break;
    }
    case ControlKind::StaticText:
        showStatic(static_cast<StaticTextWidget*>(widget), c.templ, s);
        break;
    case ControlKind::Trackbar:
        static_cast<TrackbarWidget*>(widget)->showModel(s);
        break;
    case ControlKind::ProgressBar:
        static_cast<LevelMeterWidget*>(widget)->showLevel(s.rangeMin, s.rangeMax, s.pos);
        break;
    case ControlKind::GroupBox:
        static_cast<QGroupBox*>(widget)->setTitle(decodeText(s.text));
        break;
    }
}

}  // namespace

QWidget* createControlWidget(const std::shared_ptr<DialogState>& d, const std::shared_ptr<ControlModel>& c,
                             QWidget* parent, QSize base) {
    QWidget* widget = createWidget(ControlLink{d, c}, parent, base);
    widget->setFocusPolicy(focusPolicy(c->templ));
    if (c->templ.accessibleName && c->templ.kind != ControlKind::StaticText)
        widget->setAccessibleName(QString::fromUtf8(c->templ.accessibleName));
    if (c->templ.style & WS_DISABLED) widget->setEnabled(false);
    return widget;
}

void syncControlWidget(ControlModel& c) {
    ControlState state;
    bool itemsChanged;
    {
        MutexLock guard(c.lock);
        c.syncPending = false;
        itemsChanged = c.state.itemsVersion != c.shownItemsVersion;
        c.shownItemsVersion = c.state.itemsVersion;
        if (itemsChanged) {
            state = c.state;
        } else {  // copy all but the rows, which the widget already shows
            std::vector<std::string> rows = std::move(c.state.items);
            state = c.state;
            c.state.items = std::move(rows);
        }
    }
    if (c.widget) showState(c, state, itemsChanged);
}

void queueControlSync(const std::shared_ptr<ControlModel>& c) {
    const std::shared_ptr<DialogState> d = c->dialog.lock();
    {
        MutexLock guard(c->lock);
        if (c->syncPending) return;
        c->syncPending = true;
        // Read under the lock: the window, seen again, first stops the
        // wait and then takes each control's lock to show what is pending.
        if (d && d->controlsWait.load()) return;
    }
    postToGui([c] { syncControlWidget(*c); });
}

void clickControlWidget(ControlModel& c) {
    if (auto* button = qobject_cast<QAbstractButton*>(c.widget.data())) button->click();
}

void focusControlWidget(ControlModel& c) {
    if (c.widget) c.widget->setFocus(Qt::OtherFocusReason);
}

}  // namespace platform::detail
