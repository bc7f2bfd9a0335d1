// Data sources: what binds a table to its views and to the detail tables linked to it.
#include "storage/client_table_internal.h"

namespace dorvin {

using namespace table_detail;

// ---------------------------------------------------------------- DataSource

DataSource::DataSource(std::string name, ClientTable* table) : name_(std::move(name))
{
    setDataSet(table);
}

DataSource::~DataSource()
{
    setDataSet(nullptr);
    const auto details = details_;
    for (ClientTable* d : details)
        d->detachMaster();
}

void DataSource::setDataSet(ClientTable* table)
{
    if (table_ == table)
        return;
    if (table_) {
        auto& s = table_->sources_;
        s.erase(std::remove(s.begin(), s.end(), this), s.end());
    }
    table_ = table;
    if (table_)
        table_->sources_.push_back(this);
    const auto details = details_;
    for (ClientTable* d : details)
        d->masterRecordChanged(true);
}
} // namespace dorvin
