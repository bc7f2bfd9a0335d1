#include "widgets/hints.h"

#include <QVariant>
#include <QWidget>

namespace dorvin {

namespace {
constexpr const char* hintProperty = "dorvinHint";
}

QString shortHint(const QString& hint)
{
    const qsizetype bar = hint.indexOf(u'|');
    return bar < 0 ? hint : hint.left(bar);
}

QString longHint(const QString& hint)
{
    const qsizetype bar = hint.indexOf(u'|');
    return bar < 0 ? hint : hint.mid(bar + 1);
}

void setControlHint(QWidget* control, const QString& hint, bool tooltip)
{
    control->setProperty(hintProperty, hint);
    control->setToolTip(tooltip ? shortHint(hint) : QString());
}

QString controlHint(const QObject* control)
{
    return control ? control->property(hintProperty).toString() : QString();
}

QString hintAt(const QWidget* widget)
{
    for (const QWidget* w = widget; w; w = w->parentWidget()) {
        const QString h = controlHint(w);
        if (!h.isEmpty())
            return h;
        if (w->isWindow())
            break;
    }
    return {};
}

} // namespace dorvin
