// The widget of a progress bar control: a level meter.
#pragma once

#include <QWidget>

namespace platform::detail {

// A smooth Win32 progress bar, painted here: a flat fill inside a one-pixel
// frame. The level meters get a new value 20 times a second, so a new value
// repaints only the strip between the old and the new end of the fill, and
// nothing when the fill keeps its length in pixels. Screen readers see a
// picture with a value they may read, never a changing value they would
// announce (a progress bar's changes are read aloud for as long as it moves).
class LevelMeterWidget final : public QWidget {
public:
    explicit LevelMeterWidget(QWidget* parent);

    // Dialog's thread: the range and position of the control's model.
    void showLevel(int rangeMin, int rangeMax, int pos);

    int minimum() const { return min_; }
    int maximum() const { return max_; }
    int value() const { return value_; }

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    int fillEnd() const;  // the first pixel column after the fill

    int min_ = 0, max_ = 100, value_ = 0;
    int shownEnd_ = 1;  // fillEnd() of the last paint or strip update
};

// Once per process, with the QApplication.
void installLevelMeterAccessible();

}  // namespace platform::detail
