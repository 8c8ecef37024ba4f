#pragma once

#include <QElapsedTimer>

namespace ferrocase {

// The engine yields at every block; letting events through every time costs a large file close to
// half of its speed. This lets them through at most about once per screen frame.
class FrameYield {
public:
    void operator()();

private:
    static constexpr qint64 frame_milliseconds = 16;
    QElapsedTimer since_last_;
};

} // namespace ferrocase
