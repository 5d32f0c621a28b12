#pragma once
// What of a shown window the user cannot see whole: a widget that reaches past its window's
// client area or past the widget it sits in, or an entry of a list that reaches past the list.
#include <QWidget>
#include <string>
#include <vector>

namespace zel::qttest {

// One line per widget or list entry that is cut, naming it and where it lies; empty when
// everything shows whole.
std::vector<std::string> CutWidgets(const QWidget& window);

}  // namespace zel::qttest
