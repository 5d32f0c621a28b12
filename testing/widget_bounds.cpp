#include "testing/widget_bounds.h"

#include <QAbstractItemView>
#include <QString>

namespace zel::qttest {
namespace {

std::string Describe(const QWidget& w, const QRect& r) {
    const QString name = w.objectName().isEmpty() ? w.metaObject()->className() : w.objectName();
    return QStringLiteral("%1 at %2,%3 %4x%5")
        .arg(name)
        .arg(r.x())
        .arg(r.y())
        .arg(r.width())
        .arg(r.height())
        .toStdString();
}

}  // namespace

std::vector<std::string> CutWidgets(const QWidget& window) {
    std::vector<std::string> cut;
    const QRect client = window.rect();
    for (const QWidget* w : window.findChildren<QWidget*>()) {
        if (w->isWindow() || !w->isVisibleTo(&window)) continue;
        const QRect inWindow(w->mapTo(&window, QPoint(0, 0)), w->size());
        if (!client.contains(inWindow))
            cut.push_back(Describe(*w, inWindow) + " reaches past the window's " +
                          std::to_string(client.width()) + "x" + std::to_string(client.height()));
        else if (!w->parentWidget()->rect().contains(w->geometry()))
            cut.push_back(Describe(*w, w->geometry()) + " reaches past " +
                          Describe(*w->parentWidget(), w->parentWidget()->rect()));
        if (const auto* view = qobject_cast<const QAbstractItemView*>(w)) {
            const QAbstractItemModel* model = view->model();
            for (int row = 0; model && row < model->rowCount(view->rootIndex()); ++row) {
                const QRect entry = view->visualRect(model->index(row, 0, view->rootIndex()));
                if (!view->viewport()->rect().contains(entry))
                    cut.push_back(Describe(*w, inWindow) + ": entry " + std::to_string(row) +
                                  " at " + std::to_string(entry.y()) + "+" +
                                  std::to_string(entry.height()) + " of a list " +
                                  std::to_string(view->viewport()->height()) + " high");
            }
        }
    }
    return cut;
}

}  // namespace zel::qttest
