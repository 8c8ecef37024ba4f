#include "ui/module1.h"

#include <QWidget>

namespace ferrocase {

void set_always_on_top(QWidget& window, std::int16_t& flag) {
    const bool pin = flag != 0;
    const bool was_visible = window.isVisible();
    const QPoint position = window.pos();
    const QSize size = window.size();
    // Changing a window's flags hides it; a window not shown yet keeps its first placement.
    window.setWindowFlag(Qt::WindowStaysOnTopHint, pin);
    if (was_visible) {
        window.move(position);
        window.resize(size);
        window.show();
    }
    flag = window.windowFlags().testFlag(Qt::WindowStaysOnTopHint) == pin ? 1 : 0;
}

} // namespace ferrocase
