#pragma once
// A read-only label that shows one field of the current row of a data source.
#include "storage/table_observer.h"

#include <QLabel>

#include <memory>

#include <string>

namespace dorvin {

class DataSource;

class TDBText : public QLabel {
    Q_OBJECT
public:
    explicit TDBText(QWidget* parent = nullptr);
    ~TDBText() override;

    // Shows `fieldName` of the source's current row; nullptr unbinds (empty text).
    void setDataSource(DataSource* source, const std::string& fieldName = {});
    DataSource* dataSource() const { return m_source; }

    // Reads the field again.
    void refresh();

private:
    DataSource* m_source = nullptr;
    std::string m_field;
    std::unique_ptr<TableObserver> m_observer;
    ObserverConnection m_connection; // detaches before the observer goes
};

} // namespace dorvin
