#include "dbaware/db_text.h"

namespace dorvin {

TDBText::TDBText(QWidget* parent) : QLabel(parent)
{
    setAlignment(Qt::AlignCenter);
    setTextFormat(Qt::PlainText);
}

} // namespace dorvin
