#pragma once

#include <QProgressBar>
#include <optional>

namespace ferrocase {

// A progress bar from 0 to 100 that keeps fractional values: 0.01 is a value of its own, not 0.
class PercentBar : public QProgressBar {
    Q_OBJECT

public:
    explicit PercentBar(QWidget* parent = nullptr);

    float percent() const { return percent_; }
    // Refuses a value outside 0 to 100 (or not a number) and keeps the previous one.
    bool set_percent(float percent);

private:
    float percent_ = 0.0F;
};

// numerator / denominator × 100, worked out in double precision and handed on in single precision;
// nothing when the denominator is 0.
std::optional<float> percent_of(qint64 numerator, qint64 denominator);

} // namespace ferrocase
