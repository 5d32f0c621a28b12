#pragma once
// Where the windows that the monitor opens (settings, connection error) appear: centred over the
// monitor window while it is on the screen, else centred on the screen's available area (the
// connection-error window often opens while the monitor is hidden in the tray). Either way the
// window is kept inside that area, so its title bar can be reached.
class QWidget;

namespace zel::processor {

// Moves the top-level `window`, not yet shown, to where it opens. Its size is the one it will be
// shown with (its size hint unless it was resized).
void PlaceOverMonitor(QWidget& window);

}  // namespace zel::processor
