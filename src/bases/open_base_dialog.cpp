#include "bases/open_base_dialog.h"

#include "bases/base_names.h"
#include "bases/modal.h"
#include "bases/name_form.h"
#include "platform/file_names.h"
#include "platform/guarded.h"
#include "platform/program_dir.h"
#include "storage/data_module.h"
#include "widgets/hints.h"

#include <QAction>
#include <QComboBox>
#include <QEvent>
#include <QFrame>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QPushButton>
#include <QScreen>

namespace {

template <typename W> W* named(W* widget, const char* name)
{
    widget->setObjectName(QString::fromLatin1(name));
    return widget;
}

QFrame* newFrame(QWidget* owner, const char* name, const QRect& geometry)
{
    auto* frame = named(new QFrame(owner), name);
    frame->setFrameShape(QFrame::Box);
    frame->setFrameShadow(QFrame::Sunken);
    frame->setGeometry(geometry);
    return frame;
}

QLabel* newLabel(QWidget* owner, const char* name, const QString& text, int x, int y, int width)
{
    auto* label = named(new QLabel(text, owner), name);
    label->setGeometry(x, y, width, 13);
    return label;
}

const QString templateFileName = QStringLiteral("Template.cds");

// Reads one base file and writes its content to another through a data module of its
// own, so the editor's tables, views and current base path are never touched: a create or
// copy cannot leave the editor holding the template or the source under another base's
// name.
void copyBase(const QString& from, const QString& to)
{
    TDataM scratch;
    scratch.LoadBase(from.toStdString());
    scratch.SaveBase(to.toStdString());
}

} // namespace

TOpenBaseDialog::TOpenBaseDialog(QWidget* owner, TDataM* dataModule)
    : QDialog(owner, Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint | Qt::CustomizeWindowHint
                         | Qt::WindowTitleHint | Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint),
      m_dataModule(dataModule)
{
    setObjectName(QStringLiteral("OpenBaseDialog"));
    setWindowTitle(QStringLiteral("Выбор базы данных"));
    QFont f(QStringLiteral("MS Sans Serif"));
    f.setPixelSize(10);
    setFont(f);
    setFixedSize(415, 252);

    Bevel1 = newFrame(this, "Bevel1", QRect(5, 2, 404, 43));
    Label1 = newLabel(this, "Label1", QStringLiteral("Имя:"), 16, 8, 30);
    NameLabel = newLabel(this, "NameLabel", QStringLiteral("Не выбрано"), 48, 8, 356);
    Label2 = newLabel(this, "Label2", QStringLiteral("Путь:"), 16, 24, 30);
    PathLabel = newLabel(this, "PathLabel", QStringLiteral("Не выбран"), 48, 24, 356);

    Bevel2 = newFrame(this, "Bevel2", QRect(5, 50, 404, 167));
    AliasListBox = named(new QListWidget(this), "AliasListBox");
    AliasListBox->setGeometry(11, 58, 276, 150);
    AliasListBox->setSelectionMode(QAbstractItemView::SingleSelection);
    AliasListBox->setContextMenuPolicy(Qt::CustomContextMenu);
    AliasListBox->viewport()->installEventFilter(this);

    ComboBox1 = named(new QComboBox(this), "ComboBox1");
    ComboBox1->setVisible(false);

    ActionCreateEmpty =
        newAction("ActionCreateEmpty", QStringLiteral("Создать..."),
                  QStringLiteral("Создать новую базу элементов"), &TOpenBaseDialog::ActionCreateEmptyExecute);
    ActionCopy = newAction("ActionCopy", QStringLiteral("Сделать копию"),
                           QStringLiteral("Создать новую базу элементов - копию указанной"),
                           &TOpenBaseDialog::ActionCopyExecute);
    ActionAdd = newAction("ActionAdd", QStringLiteral("Добавить..."), QStringLiteral("Добавить новую базу"),
                          &TOpenBaseDialog::AddExisting);
    ActionDelete = newAction("ActionDelete", QStringLiteral("Удалить"),
                             QStringLiteral("Удалить базу из списка используемых"),
                             &TOpenBaseDialog::ActionDeleteExecute);
    ActionRename = newAction("ActionRename", QStringLiteral("Переименовать..."),
                             QStringLiteral("Переименовать базу"), &TOpenBaseDialog::ActionRenameExecute);

    CreateEmptyBtn = newCommandButton("CreateEmptyBtn", ActionCreateEmpty, 63);
    CreateCopyBtn = newCommandButton("CreateCopyBtn", ActionCopy, 92);
    AddButton = newCommandButton("AddButton", ActionAdd, 121);
    RemoveButt = newCommandButton("RemoveButt", ActionDelete, 150);
    RenameBut = newCommandButton("RenameBut", ActionRename, 179);

    ContextMenu = named(new QMenu(this), "ContextMenu");
    for (QAction* action : {ActionCreateEmpty, ActionCopy, ActionAdd, ActionDelete, ActionRename})
        ContextMenu->addAction(action);
    connect(ContextMenu, &QMenu::aboutToHide, this, [this] { showHint({}); });
    connect(AliasListBox, &QWidget::customContextMenuRequested, this, [this](const QPoint& pos) {
        ActionCopyUpdate();
        ContextMenu->popup(AliasListBox->viewport()->mapToGlobal(pos));
    });

    OKBtn = named(new QPushButton(QStringLiteral("OK"), this), "OKBtn");
    OKBtn->setGeometry(106, 224, 75, 25);
    CancelBtn = named(new QPushButton(QStringLiteral("Отмена"), this), "CancelBtn");
    CancelBtn->setGeometry(218, 224, 75, 25);
    for (QPushButton* button : {OKBtn, CancelBtn}) {
        button->setAutoDefault(false);
        button->setDefault(false);
    }
    connect(OKBtn, &QPushButton::clicked, this, &QDialog::accept);
    connect(CancelBtn, &QPushButton::clicked, this, &QDialog::reject);

    // Selecting an entry by mouse or keyboard shows its name and path.
    connect(AliasListBox, &QListWidget::currentRowChanged, this, [this] {
        dorvin::runGuarded([this] {
            AliasListBoxClick();
            ActionCopyUpdate();
        });
    });

    SaveDialog1.title = QStringLiteral("Создать новую базу");
    SaveDialog1.filter = QStringLiteral("Базы элементов (*.CBB)|*.CBB");
    SaveDialog1.defaultExtension = QStringLiteral("CBB");
    SaveDialog1.overwritePrompt = true;

    OpenDialog1.title = QStringLiteral("Добавить новую базу");
    OpenDialog1.filter = SaveDialog1.filter;
    OpenDialog1.defaultExtension = SaveDialog1.defaultExtension;
    OpenDialog1.mustExist = true;

    if (QScreen* s = screen())
        move(s->availableGeometry().center() - QPoint(width() / 2, height() / 2));
    ActionCopyUpdate();
}

TOpenBaseDialog::~TOpenBaseDialog()
{
    // The mouse may still be over a command when the dialog goes.
    showHint({});
}

QAction* TOpenBaseDialog::newAction(const char* name, const QString& caption, const QString& hint,
                                    void (TOpenBaseDialog::*execute)())
{
    auto* action = named(new QAction(caption, this), name);
    action->setStatusTip(hint);
    action->setProperty("dorvinHint", hint);
    connect(action, &QAction::triggered, this,
            [this, execute] { dorvin::runGuarded([this, execute] { (this->*execute)(); }); });
    connect(action, &QAction::hovered, this, [this, hint] { showHint(hint); });
    return action;
}

QPushButton* TOpenBaseDialog::newCommandButton(const char* name, QAction* action, int y)
{
    auto* button = named(new QPushButton(action->text(), this), name);
    button->setGeometry(292, y, 110, 24);
    button->setAutoDefault(false);
    dorvin::setControlHint(button, action->statusTip(), false);
    button->setEnabled(action->isEnabled());
    button->installEventFilter(this);
    connect(button, &QPushButton::clicked, action, &QAction::trigger);
    connect(action, &QAction::changed, button, [button, action] {
        button->setEnabled(action->isEnabled());
        button->setText(action->text());
    });
    return button;
}

void TOpenBaseDialog::setHintSink(std::function<void(const QString&)> sink)
{
    m_hintSink = std::move(sink);
}

void TOpenBaseDialog::showHint(const QString& hint)
{
    if (m_hintSink)
        m_hintSink(hint);
}

bool TOpenBaseDialog::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == AliasListBox->viewport() && event->type() == QEvent::MouseButtonDblClick) {
        dorvin::runGuarded([this] { AliasListBoxDblClick(); });
        return true;
    }
    if (auto* button = qobject_cast<QPushButton*>(watched)) {
        if (event->type() == QEvent::Enter)
            showHint(dorvin::controlHint(button));
        else if (event->type() == QEvent::Leave)
            showHint({});
    }
    return QDialog::eventFilter(watched, event);
}

void TOpenBaseDialog::keyPressEvent(QKeyEvent* event)
{
    // Neither OK nor Cancel answers to Enter or Esc: the dialog closes only by its buttons,
    // a double click in the list or the window's close box.
    switch (event->key()) {
    case Qt::Key_Escape:
    case Qt::Key_Return:
    case Qt::Key_Enter: event->accept(); return;
    default: QDialog::keyPressEvent(event);
    }
}

// ---------------------------------------------------------------------------------------
// The list
// ---------------------------------------------------------------------------------------

void TOpenBaseDialog::setEntries(const QStringList& names, const QStringList& lines, int selected)
{
    const QSignalBlocker blockList(AliasListBox);
    AliasListBox->clear();
    AliasListBox->addItems(names);
    ComboBox1->clear();
    ComboBox1->addItems(lines);
    if (selected >= 0 && selected < names.size()) {
        AliasListBox->setCurrentRow(selected);
        ComboBox1->setCurrentIndex(selected);
    } else {
        AliasListBox->setCurrentRow(-1);
    }
    ActionCopyUpdate();
}

QStringList TOpenBaseDialog::names() const
{
    QStringList result;
    for (int i = 0; i < AliasListBox->count(); ++i)
        result << AliasListBox->item(i)->text();
    return result;
}

QStringList TOpenBaseDialog::lines() const
{
    QStringList result;
    for (int i = 0; i < ComboBox1->count(); ++i)
        result << ComboBox1->itemText(i);
    return result;
}

int TOpenBaseDialog::selectedIndex() const
{
    const int row = AliasListBox->currentRow();
    return row >= 0 && row < AliasListBox->count() ? row : -1;
}

bool TOpenBaseDialog::IsNameFree(const QString& name) const
{
    for (int i = 0; i < ComboBox1->count(); ++i) {
        if (dorvin::bases::lineName(ComboBox1->itemText(i)) == name)
            return false;
    }
    return true;
}

QString TOpenBaseDialog::MakeUniqueName(const QString& name) const
{
    const auto taken = [this](const QString& candidate) {
        for (int i = 0; i < ComboBox1->count(); ++i) {
            if (dorvin::bases::sameKeyInSettings(dorvin::bases::lineName(ComboBox1->itemText(i)), candidate))
                return true;
        }
        return false;
    };
    if (!taken(name))
        return name;
    // One of the first count + 1 candidates is always free.
    for (int n = 0;; ++n) {
        const QString candidate = name + u'_' + QString::number(n);
        if (!taken(candidate))
            return candidate;
    }
}

// ---------------------------------------------------------------------------------------
// Handlers
// ---------------------------------------------------------------------------------------

void TOpenBaseDialog::AliasListBoxClick()
{
    const int row = selectedIndex();
    if (AliasListBox->count() == 0 || row < 0 || row >= ComboBox1->count())
        return;
    SetPath(dorvin::ResolveBasePath(dorvin::bases::linePath(ComboBox1->itemText(row))));
    NameLabel->setText(AliasListBox->item(row)->text());
}

void TOpenBaseDialog::SetPath(const QString& path)
{
    PathLabel->setText(dorvin::shortenedPath(path));
}

void TOpenBaseDialog::AliasListBoxDblClick()
{
    accept();
}

void TOpenBaseDialog::ActionCopyUpdate()
{
    ActionCopy->setEnabled(selectedIndex() >= 0);
}

QString TOpenBaseDialog::openBasePath() const
{
    return m_dataModule ? QString::fromStdString(m_dataModule->currentBasePath()) : QString();
}

void TOpenBaseDialog::writeBackOpenBase()
{
    const QString path = openBasePath();
    if (!path.isEmpty())
        m_dataModule->SaveBase(path.toStdString());
}

bool TOpenBaseDialog::targetAccepted(const QString& target)
{
    const QString problem =
        dorvin::bases::targetProblem(target, openBasePath(), dorvin::programFile(templateFileName));
    if (problem.isEmpty())
        return true;
    dorvin::services().message(problem);
    return false;
}

void TOpenBaseDialog::ActionCreateEmptyExecute()
{
    const QString file = dorvin::services().saveFile(SaveDialog1);
    if (file.isEmpty() || !targetAccepted(file))
        return;
    writeBackOpenBase();
    copyBase(dorvin::programFile(templateFileName), file);
    addEntry(MakeUniqueName(dorvin::bases::storableName(dorvin::nameFromFileName(file))), file);
}

void TOpenBaseDialog::ActionCopyExecute()
{
    const int row = selectedIndex();
    if (row < 0 || row >= ComboBox1->count())
        return;
    const QString file = dorvin::services().saveFile(SaveDialog1);
    if (file.isEmpty())
        return;
    const QString name = MakeUniqueName(dorvin::bases::storableName(
        dorvin::removeFileExtension(AliasListBox->item(row)->text() + QStringLiteral("(копия)"))));
    const QString source = dorvin::ResolveBasePath(dorvin::bases::linePath(ComboBox1->itemText(row)));
    if (!targetAccepted(file))
        return;
    writeBackOpenBase();
    copyBase(source, file);
    addEntry(name, file);
}

void TOpenBaseDialog::AddExisting()
{
    const QStringList files = dorvin::services().openFiles(OpenDialog1);
    if (files.isEmpty() || files.front().isEmpty())
        return;
    const QString& file = files.front();
    const QString problem = dorvin::bases::targetProblem(file, {}, {});
    if (!problem.isEmpty()) {
        dorvin::services().message(problem);
        return;
    }
    addEntry(MakeUniqueName(dorvin::bases::storableName(dorvin::nameFromFileName(file))), file);
}

void TOpenBaseDialog::addEntry(const QString& name, const QString& path)
{
    ComboBox1->addItem(name + u'=' + path);
    {
        const QSignalBlocker blockList(AliasListBox);
        AliasListBox->addItem(name);
        AliasListBox->setCurrentRow(AliasListBox->count() - 1);
    }
    ComboBox1->setCurrentIndex(ComboBox1->count() - 1);
    AliasListBoxClick();
    ActionCopyUpdate();
    ActionRenameExecute();
}

void TOpenBaseDialog::ActionDeleteExecute()
{
    const int row = selectedIndex();
    if (row < 0 || row >= ComboBox1->count())
        return;
    const QString name = AliasListBox->item(row)->text();
    if (!dorvin::services().question(QStringLiteral("Удалить базу элементов:\n'") + name
                                     + QStringLiteral("'\nиз списка используемых?")))
        return;
    ComboBox1->removeItem(row);
    {
        // The labels go on showing the removed entry when it was the last one.
        const QSignalBlocker blockList(AliasListBox);
        delete AliasListBox->takeItem(row);
        AliasListBox->setCurrentRow(AliasListBox->count() > 0 ? 0 : -1);
    }
    if (AliasListBox->count() > 0) {
        ComboBox1->setCurrentIndex(0);
        AliasListBoxClick();
    }
    ActionCopyUpdate();
}

void TOpenBaseDialog::ActionRenameExecute()
{
    const int row = selectedIndex();
    if (row < 0 || row >= ComboBox1->count())
        return;
    const QString oldName = AliasListBox->item(row)->text();

    TNameForm form(this);
    form.Edit1->setText(oldName);
    form.InitialName = oldName;
    QStringList others = names();
    others.removeAt(row);
    form.OtherNames = others;
    if (dorvin::runModal(&form) != QDialog::Accepted)
        return;

    const QString name = form.Edit1->text();
    if (IsNameFree(name)) {
        const QString path = dorvin::bases::linePath(ComboBox1->itemText(row));
        ComboBox1->setItemText(row, name + u'=' + path);
        AliasListBox->item(row)->setText(name);
        NameLabel->setText(name);
    } else if (name != oldName) {
        dorvin::services().message(QStringLiteral("База с именем: '") + name
                                   + QStringLiteral("' \nуже есть в списке!"));
    }
}
