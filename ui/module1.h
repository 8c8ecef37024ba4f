#pragma once

#include <cstdint>

class QWidget;

namespace ferrocase {

// Pins the window above the windows of every program (flag not 0) or releases it (flag 0),
// keeping its position and size. Writes 1 into the flag when the window ends up as asked, else 0.
void set_always_on_top(QWidget& window, std::int16_t& flag);

} // namespace ferrocase
