#include "elements/find_form.h"

#include "elements/element_list_pane.h"
#include "elements/element_search.h"
#include "platform/guarded.h"
#include "platform/services.h"
#include "widgets/design_font.h"

#include <QApplication>
#include <QComboBox>
#include <QGroupBox>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QScreen>

QPointer<TFindForm> FindForm;

namespace {
// QLineEdit's own default, which stands for "no limit".
constexpr int unlimitedLength = 32767;
constexpr int codeLength = 10;
} // namespace

TFindForm::TFindForm(QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowCloseButtonHint
                          | Qt::WindowStaysOnTopHint)
{
    setObjectName(QStringLiteral("FindForm"));
    // The design's positions are pixels for the program's small dialog font.
    setFont(dorvin::designFont());
    setWindowTitle(QStringLiteral("Поиск элемента"));
    setModal(false);
    // The program ends when its main window closes, whether or not this dialog is shown.
    setAttribute(Qt::WA_QuitOnClose, false);
    setFixedSize(245, 95);

    GroupBox2 = new QGroupBox(QStringLiteral("Найти текст:"), this);
    GroupBox2->setObjectName(QStringLiteral("GroupBox2"));
    GroupBox2->setGeometry(5, 5, 234, 84);

    FindTextEdit = new QLineEdit(GroupBox2);
    FindTextEdit->setObjectName(QStringLiteral("FindTextEdit"));
    FindTextEdit->setGeometry(10, 22, 215, 21);
    FindTextEdit->setMaxLength(codeLength);

    Label1 = new QLabel(QStringLiteral("В поле:"), GroupBox2);
    Label1->setObjectName(QStringLiteral("Label1"));
    Label1->move(10, 54);
    Label1->adjustSize();

    FieldCombo = new QComboBox(GroupBox2);
    FieldCombo->setObjectName(QStringLiteral("FieldCombo"));
    FieldCombo->setEditable(true);
    // Typing into the combo must never add items of its own.
    FieldCombo->setInsertPolicy(QComboBox::NoInsert);
    FieldCombo->addItems({QStringLiteral("Код"), QStringLiteral("Наименование")});
    FieldCombo->setGeometry(50, 50, 98, FieldCombo->sizeHint().height());

    Button3 = new QPushButton(QStringLiteral("Закрыть"), GroupBox2);
    Button3->setObjectName(QStringLiteral("Button3"));
    Button3->setGeometry(160, 48, 65, 24);
    Button3->setAutoDefault(false);

    FieldListBox = new QListWidget(this);
    FieldListBox->setObjectName(QStringLiteral("FieldListBox"));
    FieldListBox->addItems({QStringLiteral("Наименование=MODEL"), QStringLiteral("Код=CODE")});
    FieldListBox->hide();

    setTabOrder(FindTextEdit, Button3);
    setTabOrder(Button3, FieldCombo);
    FindTextEdit->setFocus();

    connect(FindTextEdit, &QLineEdit::textChanged, this, [this] { guardedSearch(); });
    connect(FieldCombo, &QComboBox::activated, this, [this](int index) { FieldComboClick(index); });
    connect(Button3, &QPushButton::clicked, this, [this] { Button3Click(); });

    if (const QScreen* screen = QGuiApplication::primaryScreen()) {
        const QRect area = screen->availableGeometry();
        move(area.center() - QPoint(width() / 2, height() / 2));
    }
    FormCreate();
}

void TFindForm::setEditor(QWidget* editor)
{
    if (m_editor == editor)
        return;
    if (m_editor)
        m_editor->removeEventFilter(this);
    m_editor = editor;
    // The dialog never outlives the editor window it works on: it goes when that closes.
    if (editor)
        editor->installEventFilter(this);
}

bool TFindForm::eventFilter(QObject* watched, QEvent* event)
{
    // The type is tested first: while the editor window is being destroyed it still sends
    // events here, and looking at the guarded pointer then would cast a half-destroyed
    // object.
    if (event->type() == QEvent::Close && watched == m_editor)
        hide();
    return QDialog::eventFilter(watched, event);
}

QWidget* TFindForm::editor() const
{
    return m_editor.data();
}

ElementListPane* TFindForm::elementList() const
{
    return m_editor ? m_editor->findChild<ElementListPane*>(QString(), Qt::FindDirectChildrenOnly) : nullptr;
}

void TFindForm::FormCreate()
{
    FieldCombo->setCurrentIndex(0);
}

QString TFindForm::searchedField() const
{
    const QString name = FieldCombo->currentText();
    for (int i = 0; i < FieldListBox->count(); ++i) {
        const QString line = FieldListBox->item(i)->text();
        const int eq = line.indexOf(QLatin1Char('='));
        if (eq >= 0 && line.left(eq).compare(name, Qt::CaseInsensitive) == 0)
            return line.mid(eq + 1);
    }
    return {};
}

int TFindForm::columnOfField(const QString& field)
{
    if (field == QLatin1String("CODE"))
        return 0;
    if (field == QLatin1String("MODEL"))
        return 1;
    return -1;
}

void TFindForm::guardedSearch()
{
    dorvin::runGuarded([this] { Button1Click(); });
}

void TFindForm::Button1Click()
{
    const QString field = searchedField();
    // A combo text that names no field searches nothing and leaves the element list alone.
    ElementListPane* elements = elementList();
    if (field.isEmpty() || !elements)
        return;
    if (dorvin::elements::locateElement(*elements, field, FindTextEdit->text())) {
        dorvin::elements::setElementColumn(*elements, columnOfField(field));
        dorvin::services().beep();
    }
}

void TFindForm::FieldComboClick(int index)
{
    // Clearing is a change of the text, so the search runs once for the empty text; an
    // edit box that is already empty would not report a change, so the search runs here.
    if (FindTextEdit->text().isEmpty())
        guardedSearch();
    else
        FindTextEdit->clear();
    FindTextEdit->setMaxLength(index == 0 ? codeLength : unlimitedLength);
}

void TFindForm::Button3Click()
{
    hide();
}

void TFindForm::keyPressEvent(QKeyEvent* event)
{
    if (event->key() == Qt::Key_Escape && event->modifiers() == Qt::NoModifier) {
        Button3->click();
        return;
    }
    QDialog::keyPressEvent(event);
}

TFindForm* ensureFindForm(QWidget* parent)
{
    if (!FindForm)
        FindForm = new TFindForm(parent);
    return FindForm;
}
