#pragma once
// Hints: each control may carry a hint "short|long". The short part (the text before the
// first vertical bar) pops up as a tooltip where the control shows tooltips; the long
// part (the text after the first bar, or the whole hint when it has none) is what the
// status bar shows while the mouse is over the control.
#include <QString>

class QWidget;
class QObject;

namespace dorvin {

void setControlHint(QWidget* control, const QString& hint, bool tooltip);
QString controlHint(const QObject* control);

QString shortHint(const QString& hint);
QString longHint(const QString& hint);

// The hint that applies at a widget: its own, or that of its nearest parent with one.
QString hintAt(const QWidget* widget);

} // namespace dorvin
