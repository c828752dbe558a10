#include "platform/control_widgets.h"

#include <QCheckBox>
#include <QGroupBox>
#include <QKeyEvent>
#include <QLabel>
#include <QListWidget>
#include <QMouseEvent>
#include <QPainter>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QSlider>
#include <QStyle>
#include <QStyleOptionProgressBar>
#include <QStyleOptionSlider>

#include <algorithm>

#include "platform/accessibility.h"
#include "platform/dialog_events.h"
#include "platform/gui_thread.h"
#include "platform/qt_text.h"
#include "platform/static_text_widget.h"

namespace platform::detail {

namespace {

// What every control widget holds: its dialog and its model, shared so that
// neither goes away while Qt still delivers an event to the widget.
struct ControlLink {
    std::shared_ptr<DialogState> dialog;
    std::shared_ptr<ControlModel> model;
};

// A smooth Win32 progress bar: a flat fill inside a one-pixel frame. The
// level meters get a new value 20 times a second, so a new value repaints
// only the strip between the old and the new end of the fill, and nothing
// when the fill keeps its length in pixels.
class LevelBarWidget final : public QProgressBar {
public:
    LevelBarWidget(ControlLink link, QWidget* parent) : QProgressBar(parent), link_(std::move(link)) {
        setAttribute(Qt::WA_OpaquePaintEvent);  // paintEvent covers every pixel
        setTextVisible(false);
    }

    void showModel(const ControlState& s) {
        const int before = fillEnd();
        // QProgressBar repaints at once on a big step; held back, that
        // repaint joins the one paint pass of every change made now.
        link_.dialog->holdingRepaints = true;
        // Qt shows an empty range as a busy bar; Win32 shows an empty bar.
        setRange(s.rangeMin, std::max(s.rangeMax, s.rangeMin + 1));
        setValue(std::clamp(s.pos, minimum(), maximum()));
        link_.dialog->holdingRepaints = false;
        const int after = fillEnd();
        if (after != before) update(QRect(std::min(before, after), 1, std::abs(after - before), height() - 2));
    }

protected:
    void paintEvent(QPaintEvent* event) override {
        QPainter painter(this);
        const QRect inner = rect().adjusted(1, 1, -1, -1);
        // Four strips rather than drawRect: an outline goes through the
        // stroker, which cost more than all the rest of a timer tick.
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
    }

    // Win32 draws no text on a progress bar, and this one is painted above,
    // not by the style. QProgressBar asks this option how far a new value
    // moves the style's bar, and repaints the whole bar at once when it
    // moves a chunk; with no rect there is no style's bar to move, and
    // showModel repaints what changed. The default also formats the text
    // through QLocale, and reads the palette and font, at every new value.
    void initStyleOption(QStyleOptionProgressBar* option) const override {
        option->rect = QRect();
        option->minimum = minimum();
        option->maximum = maximum();
        option->progress = value();
        option->textVisible = false;
        option->state = QStyle::State_Horizontal;
    }

private:
    // The first pixel column after the fill.
    int fillEnd() const {
        const qint64 span = qint64(maximum()) - minimum();
        const int length = std::max(0, width() - 2);
        if (span <= 0) return 1;
        const qint64 shown = std::clamp<qint64>(value(), minimum(), maximum());  // -1 before the first value
        return 1 + int(length * (shown - minimum()) / span);
    }

    ControlLink link_;
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
            setCurrentRow(s.curSel, QItemSelectionModel::ClearAndSelect);
            scrollToItem(item(s.curSel));
        } else {
            clearSelection();
        }
        syncing_ = false;
    }

protected:
    // A row can only be chosen, never deselected: Win32 single-selection
    // lists have no Ctrl+click and no click into empty space.
    QItemSelectionModel::SelectionFlags selectionCommand(const QModelIndex& index,
                                                         const QEvent* event) const override {
        if (!index.isValid()) return QItemSelectionModel::NoUpdate;
        const auto flags = QListWidget::selectionCommand(index, event);
        return (flags & QItemSelectionModel::Deselect) ? QItemSelectionModel::NoUpdate : flags;
    }

private:
    // No input of a person empties a single-selection list; an assistive
    // tool's select clears the selection first, and only the row it then
    // selects is news to the dialog. The caret follows that row, so the
    // arrow keys go on from it.
    void selectionChangedByUser() {
        const int row = selectedRow();
        if (syncing_ || row == LB_ERR) return;
        if (currentRow() != row) setCurrentRow(row, QItemSelectionModel::NoUpdate);
        userSelectedRow(*link_.dialog, *link_.model, row);
    }

    int selectedRow() const {
        const auto rows = selectedIndexes();
        return rows.isEmpty() ? LB_ERR : rows.first().row();
    }

    ControlLink link_;
    bool syncing_ = false;
};

int trackbarCode(int sliderAction) {
    switch (sliderAction) {
    case QAbstractSlider::SliderSingleStepAdd: return TB_LINEDOWN;
    case QAbstractSlider::SliderSingleStepSub: return TB_LINEUP;
    case QAbstractSlider::SliderPageStepAdd: return TB_PAGEDOWN;
    case QAbstractSlider::SliderPageStepSub: return TB_PAGEUP;
    case QAbstractSlider::SliderToMinimum: return TB_TOP;
    case QAbstractSlider::SliderToMaximum: return TB_BOTTOM;
    case QAbstractSlider::SliderMove: return TB_THUMBTRACK;
    default: return -1;
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
        static const int keys[] = {Qt::Key_Left, Qt::Key_Right, Qt::Key_Up, Qt::Key_Down,
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
        QObject::connect(button, &QPushButton::clicked, button,
                         [link] { userClicked(*link.dialog, *link.model); });
        return button;
    }
    case ControlKind::StaticText:
        return createStatic(t, parent);
    case ControlKind::Trackbar:
        return new TrackbarWidget(link, parent);
    case ControlKind::ProgressBar:
        return new LevelBarWidget(link, parent);
    case ControlKind::RadioButton:
    case ControlKind::CheckBox: {
        QAbstractButton* button = t.kind == ControlKind::RadioButton
                                      ? static_cast<QAbstractButton*>(new RadioButtonWidget(link, parent))
                                      : new CheckBoxWidget(link, parent);
        QObject::connect(button, &QAbstractButton::clicked, button,
                         [link] { userClicked(*link.dialog, *link.model); });
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
    if (text == label->text() && !label->accessibleName().isEmpty())
        return;
    label->showText(text);
    // Screen readers read a static by what it says now.
    if (text.isEmpty() && t.accessibleName) label->setAccessibleName(QString::fromUtf8(t.accessibleName));
    else label->setAccessibleName(text);
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
        button->setText(decodeText(s.text));
        if (c.templ.kind != ControlKind::PushButton) {
            const QSignalBlocker blocker(button);
            button->setChecked(s.check == BST_CHECKED);
        }
        break;
    }
    case ControlKind::StaticText:
        showStatic(static_cast<StaticTextWidget*>(widget), c.templ, s);
        break;
    case ControlKind::Trackbar:
        static_cast<TrackbarWidget*>(widget)->showModel(s);
        break;
    case ControlKind::ProgressBar:
        static_cast<LevelBarWidget*>(widget)->showModel(s);
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
        std::lock_guard guard(c.lock);
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
        std::lock_guard guard(c->lock);
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
