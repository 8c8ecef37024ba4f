#include "ui/percent_bar.h"

#include <cmath>

namespace ferrocase {
// The widget holds whole percents, which is what it draws and what a screen reader announces; the
// value itself stays exact in percent_.
PercentBar::PercentBar(QWidget* parent) : QProgressBar(parent) {
    setRange(0, 100);
    setValue(0);
    setTextVisible(false);
}

bool PercentBar::set_percent(float percent) {
    if (!(percent >= 0.0F && percent <= 100.0F)) {
        return false;
    }
    percent_ = percent;
    setValue(static_cast<int>(std::lround(percent)));
    return true;
}

std::optional<float> percent_of(qint64 numerator, qint64 denominator) {
    if (denominator == 0) {
        return std::nullopt;
    }
    const double quotient = static_cast<double>(numerator) / static_cast<double>(denominator);
    return static_cast<float>(quotient * 100.0);
}

} // namespace ferrocase
