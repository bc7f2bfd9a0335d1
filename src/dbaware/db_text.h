#pragma once
// A read-only label that shows one field of the current row of a data source.
#include <QLabel>

namespace dorvin {

class TDBText : public QLabel {
    Q_OBJECT
public:
    explicit TDBText(QWidget* parent = nullptr);
};

} // namespace dorvin
