#include "dbaware/db_text.h"

#include "platform/profile_file.h"
#include "storage/client_table.h"

namespace dorvin {

namespace {

class TextObserver : public TableObserver {
public:
    explicit TextObserver(TDBText* label) : m_label(label) {}
    void rowsReset() override { m_label->refresh(); }
    void currentChanged() override { m_label->refresh(); }
    void rowChanged(int) override { m_label->refresh(); }
    void rowInserted(int) override { m_label->refresh(); }
    void rowRemoved(int) override { m_label->refresh(); }
    void stateChanged() override { m_label->refresh(); }

private:
    TDBText* m_label;
};

} // namespace

TDBText::TDBText(QWidget* parent) : QLabel(parent)
{
    setAlignment(Qt::AlignCenter);
    setTextFormat(Qt::PlainText);
}

TDBText::~TDBText()
{
    setDataSource(nullptr);
}

void TDBText::setDataSource(DataSource* source, const std::string& fieldName)
{
    m_connection.disconnect();
    m_observer.reset();
    m_source = source;
    m_field = fieldName;
    if (source && source->dataSet()) {
        m_observer = std::make_unique<TextObserver>(this);
        m_connection = source->dataSet()->observe(*m_observer);
    }
    refresh();
}

void TDBText::refresh()
{
    ClientTable* table = m_source ? m_source->dataSet() : nullptr;
    Field* field = table ? table->findField(m_field) : nullptr;
    setText(field && table->active() ? fromCp1251(field->asString()) : QString());
}

} // namespace dorvin
