#include "processor/windows/placement.h"

#include <QApplication>
#include <QLayout>
#include <QRect>
#include <QScreen>
#include <QWidget>
#include <algorithm>

#include "processor/windows/monitor_widget.h"

namespace zel::processor {
namespace {

QWidget* VisibleMonitor() {
    for (QWidget* w : QApplication::topLevelWidgets())
        if (qobject_cast<frmMonitor*>(w) && w->isVisible() && !w->isMinimized()) return w;
    return nullptr;
}

// The start of a span of `length` centred on `centre`, kept within [low, low + room) when it fits.
int Place(int centre, int length, int low, int room) {
    const int start = centre - length / 2;
    if (length >= room) return low;
    return std::clamp(start, low, low + room - length);
}

}  // namespace

void PlaceOverMonitor(QWidget& window) {
    if (!window.isWindow()) return;
    // The size it will be shown with: the size hint (which a window gets only up to two thirds
    // of the screen), then grown to what its layout needs at the least, as showing it would.
    window.ensurePolished();
    if (!window.testAttribute(Qt::WA_Resized)) window.adjustSize();
    if (QLayout* layout = window.layout()) layout->activate();
    QWidget* monitor = VisibleMonitor();
    QScreen* screen = monitor ? monitor->screen() : window.screen();
    if (!screen) screen = QGuiApplication::primaryScreen();
    if (!screen) return;
    const QRect area = screen->availableGeometry();
    const QRect over = monitor ? monitor->frameGeometry() : area;
    const QPoint centre = over.center();
    // With its platform window made, the frame the platform puts around it is known (where
    // the window manager tells it only later, the frame is left out).
    window.winId();
    const QSize size = window.frameGeometry().size();
    window.move(Place(centre.x(), size.width(), area.left(), area.width()),
                Place(centre.y(), size.height(), area.top(), area.height()));
}

}  // namespace zel::processor
