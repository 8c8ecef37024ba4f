#include "ui/frame_yield.h"

#include <QCoreApplication>

namespace ferrocase {

void FrameYield::operator()() {
    if (since_last_.isValid() && since_last_.elapsed() < frame_milliseconds) {
        return;
    }
    QCoreApplication::processEvents();
    since_last_.start();
}

} // namespace ferrocase
