// A value that moves to a new target in equal steps, so parameter changes
// glide instead of jumping (a jump in a gain or a filter is heard as a click).
#pragma once

namespace engine::fx {

class Ramp {
public:
    Ramp() = default;
    explicit Ramp(double value) : value_(value), target_(value) {}

    // Reaches target after `steps` calls of next(); at once when steps <= 0.
    void moveTo(double target, int steps) {
        target_ = target;
        remaining_ = steps > 0 ? steps : 0;
        if (remaining_ == 0)
            value_ = target;
        else
            step_ = (target - value_) / remaining_;
    }

    double next() {
        if (remaining_ > 0 && --remaining_ == 0)
            value_ = target_;
        else if (remaining_ > 0)
            value_ += step_;
        return value_;
    }

    double value() const { return value_; }
    bool moving() const { return remaining_ > 0; }

private:
    double value_ = 0;
    double target_ = 0;
    double step_ = 0;
    int remaining_ = 0;
};

}  // namespace engine::fx
