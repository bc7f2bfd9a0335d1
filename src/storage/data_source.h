#pragma once
// Data sources: a table's handle for views and for the detail tables linked to it.
#include <functional>
#include <string>
#include <vector>

namespace dorvin {

class ClientTable;

// Binds a table to views and to detail tables. Master links go through the master's data
// source; stateChange runs whenever the bound table's state changes.
class DataSource {
public:
    explicit DataSource(std::string name = {}, ClientTable* table = nullptr);
    ~DataSource();
    DataSource(const DataSource&) = delete;
    DataSource& operator=(const DataSource&) = delete;

    const std::string& name() const { return name_; }
    ClientTable* dataSet() const { return table_; }
    void setDataSet(ClientTable* table);

    std::function<void(DataSource&)> stateChange;

private:
    friend class ClientTable;
    std::string name_;
    ClientTable* table_ = nullptr;
    std::vector<ClientTable*> details_;
};
} // namespace dorvin
