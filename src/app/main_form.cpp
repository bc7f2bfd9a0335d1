// The main window's life: creation, the base list, opening the current base, showing,
// closing, hints, mouse-wheel translation, help, and the window's own layout commands.
#include "app/main_form.h"

#include "app/about_box.h"
#include "app/screen_fit.h"
#include "dbaware/table_grid.h"
#include "platform/file_names.h"
#include "platform/guarded.h"
#include "platform/profile_file.h"
#include "platform/program_dir.h"
#include "storage/error.h"
#include "widgets/design_font.h"
#include "widgets/hints.h"
#include "widgets/text_grid.h"

#include <QApplication>
#include <QCloseEvent>
#include <QComboBox>
#include <QGroupBox>
#include <QHeaderView>
#include <QKeyEvent>
#include <QScreen>
#include <QShortcut>
#include <QWheelEvent>

QPointer<TMainForm> MainForm;

namespace {

const QString designCaption = QStringLiteral("База данных элементов кабельных сетей");
const QString settingsFile = QStringLiteral("Dorvin.ini");

// Hands every event of the application to the main window before it is dispatched.
class ApplicationEventsHook : public QObject {
public:
    ApplicationEventsHook(TMainForm* form, std::function<bool(QObject*, QEvent*)> filter)
        : QObject(form), m_filter(std::move(filter))
    {
        setObjectName(QStringLiteral("ApplicationEvents1"));
        qApp->installEventFilter(this);
    }
    ~ApplicationEventsHook() override
    {
        if (qApp)
            qApp->removeEventFilter(this);
    }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override { return m_filter(watched, event); }

private:
    std::function<bool(QObject*, QEvent*)> m_filter;
};

} // namespace

TMainForm::TMainForm(QWidget* parent) : QMainWindow(parent)
{
    setObjectName(QStringLiteral("MainForm"));
    setWindowTitle(designCaption);
    // The window's font for every control; the layout is in pixels and is not scaled.
    setFont(dorvin::designFont());

    // The panes come first among the window's children, so that they outlive none of the
    // controls they build.
    m_types = new TypePane(*this, this);
    m_elements = new ElementListPane(*this, this);
    m_exchange = new ElementExchange(*this, *m_elements, this);
    m_params = new ParamsPane(*this, this);

    buildImageLists();
    buildLayout();
    buildActions();
    buildMenus();
    connectControls();
    ApplicationEvents1 = new ApplicationEventsHook(
        this, [this](QObject* watched, QEvent* event) { return applicationEvent(watched, event); });
    auto* help = new QShortcut(QKeySequence(Qt::Key_F1), this);
    help->setContext(Qt::WindowShortcut);
    connect(help, &QShortcut::activated, this, [this] {
        const int context = helpContextOf(QApplication::focusWidget());
        if (context != 0)
            dorvin::services().showHelpContext(context);
        else
            dorvin::services().showHelpContents();
    });

    dorvin::openInsideScreen(this, QSize(714, 526), QSize(640, 480));

    dorvin::runGuarded([this] { FormCreate(); });
}

void TMainForm::FormCreate()
{
    setPanesEnabled(false);
    m_exchange->startIn(dorvin::programDirectory());
    // (ShowApplicationHint is reached through ApplicationEvents1, installed with the window.)
    m_params->FormCreate();
    createDataModule();
    attachTableHandlers();
    m_params->readN1Index();
    if (ReadBaseList()) {
        OpenCurrentBase();
        m_types->GroupsTableAfterScroll();
        m_params->ParamsTableAfterScroll();
        Panel1Resize();
    }
}

bool TMainForm::ReadBaseList()
{
    bool result = false;
    try {
        const dorvin::ProfileFile ini = dorvin::ProfileFile::open(dorvin::programFile(settingsFile));
        if (ini.hasSection(QStringLiteral("Bases"))) {
            const QSignalBlocker blockAlias(AliasComboBox);
            AliasComboBox->clear();
            AliasComboBox->addItems(ini.keys(QStringLiteral("Bases")));
            ComboBox1->clear();
            ComboBox1->addItems(ini.sectionValues(QStringLiteral("Bases")));
            const QString current = ini.readString(QStringLiteral("CurBase"), QStringLiteral("Рабочая база"));
            if (!current.isEmpty()) {
                AliasComboBox->setCurrentIndex(baseLineOfName(current));
                result = true;
            }
        }
    } catch (const std::exception&) {
        // An unreadable settings file reads like one without a base list.
    }
    return result;
}

int TMainForm::baseLineOfName(const QString& name) const
{
    for (int i = 0; i < ComboBox1->count(); ++i) {
        const QString line = ComboBox1->itemText(i);
        const qsizetype eq = line.indexOf(u'=');
        const QString lineName = eq < 0 ? line : line.left(eq);
        if (lineName.compare(name, Qt::CaseInsensitive) == 0)
            return i;
    }
    return -1;
}

QString TMainForm::basePathOfName(const QString& name) const
{
    const int i = baseLineOfName(name);
    if (i < 0)
        return {};
    const QString line = ComboBox1->itemText(i);
    const qsizetype eq = line.indexOf(u'=');
    return eq < 0 ? QString() : line.mid(eq + 1);
}

void TMainForm::OpenCurrentBase()
{
    setPanesEnabled(false);
    const QString previousPath = currentBasePath();
    // Whatever fails below leaves the base that was open loaded (saving changes nothing in
    // the tables, and a failed load leaves them as they were): keep it usable instead of a
    // disabled window whose later saves would also fail.
    auto keepOpenBase = [&] {
        if (previousPath.isEmpty() || currentBasePath() != previousPath)
            return;
        const int line = baseLineOfName(m_openBaseName);
        AliasComboBox->setCurrentIndex(line < AliasComboBox->count() ? line : -1);
        setPanesEnabled(true);
    };
    try {
        if (!previousPath.isEmpty())
            saveBase(previousPath);
        const QString name = AliasComboBox->currentText();
        const QString path = dorvin::ResolveBasePath(basePathOfName(name));
        loadBase(path);
        setWindowTitle(QStringLiteral("База элементов: ") + name);
        m_openBaseName = name;
    } catch (...) {
        keepOpenBase();
        throw;
    }
    m_params->fillFrequencyColumns();
    setPanesEnabled(true);
}

void TMainForm::AliasComboBoxClick()
{
    OpenCurrentBase();
}

void TMainForm::FormShow()
{
    Panel1Resize();
}

void TMainForm::FormClose()
{
    const QString path = currentBasePath();
    if (!path.isEmpty()) {
        try {
            saveBase(path);
        } catch (const std::exception& e) {
            dorvin::services().message(QStringLiteral("Не удалось сохранить базу! Причина:\n")
                                       + dorvin::errorText(e));
        }
    }
    detachTableHandlers();
}

void TMainForm::setPanesEnabled(bool enabled)
{
    m_params->setEnabled(enabled);
    m_elements->setEnabled(enabled);
    m_types->setEnabled(enabled);
}

void TMainForm::showEvent(QShowEvent* event)
{
    QMainWindow::showEvent(event);
    if (!event->spontaneous())
        dorvin::runGuarded([this] { FormShow(); });
}

void TMainForm::closeEvent(QCloseEvent* event)
{
    if (!m_closed) {
        m_closed = true;
        dorvin::runGuarded([this] { FormClose(); });
    }
    event->accept();
}

void TMainForm::resizeEvent(QResizeEvent* event)
{
    QMainWindow::resizeEvent(event);
    dorvin::runGuarded([this] { Panel1Resize(); });
}

void TMainForm::changeEvent(QEvent* event)
{
    QMainWindow::changeEvent(event);
    if (event->type() == QEvent::ActivationChange && isActiveWindow())
        dorvin::runGuarded([this] { Panel1Resize(); });
}

bool TMainForm::eventFilter(QObject* watched, QEvent* event)
{
    // The column rules depend on the grids' own client widths, which also change when a
    // scroll bar comes or goes: run them when those change too.
    if (event->type() == QEvent::Resize && !m_closed) {
        if (watched == ElemDBGrid->viewport())
            dorvin::runGuarded([this] { Panel1Resize(); });
        else if (watched == DBGrid1->viewport())
            dorvin::runGuarded([this] { m_types->Panel2Resize(); });
        else if (watched == ParamsGrid->viewport())
            dorvin::runGuarded([this] { m_params->Panel7Resize(); });
    }
    return QMainWindow::eventFilter(watched, event);
}

// ---- hints ----

void TMainForm::setApplicationHint(const QString& hint)
{
    if (hint == m_applicationHint)
        return;
    m_applicationHint = hint;
    dorvin::runGuarded([this] { ShowApplicationHint(); });
}

void TMainForm::ShowApplicationHint()
{
    setStatusPanelText(0, dorvin::longHint(m_applicationHint));
}

// ---- every event of the program passes here first ----

bool TMainForm::applicationEvent(QObject* watched, QEvent* event)
{
    switch (event->type()) {
    case QEvent::Wheel: {
        // One wheel turn becomes exactly one Up or Down key press for the window that has
        // the keyboard, whatever the distance: grids and lists move by one row per turn.
        auto* wheel = static_cast<QWheelEvent*>(event);
        const int distance = wheel->angleDelta().y();
        if (distance == 0)
            return false; // horizontal wheels and scroll-phase markers pass unchanged
        QWidget* target = QApplication::focusWidget();
        auto* receiver = qobject_cast<QWidget*>(watched);
        if (!target || (receiver && target->window() != receiver->window()))
            target = receiver;
        if (!target)
            return false;
        const int key = distance > 0 ? Qt::Key_Up : Qt::Key_Down;
        QKeyEvent press(QEvent::KeyPress, key, Qt::NoModifier);
        QCoreApplication::sendEvent(target, &press);
        return true;
    }
    case QEvent::ShortcutOverride: {
        // The window's command shortcuts come before a control's own use of the same keys
        // (Ctrl+C in a cell editor copies the parameter values).
        auto* w = qobject_cast<QWidget*>(watched);
        if (!w || w->window() != this)
            return false;
        auto* key = static_cast<QKeyEvent*>(event);
        const QKeySequence pressed(key->keyCombination());
        for (const ActionRule& rule : m_actionRules)
            if (!rule.action->shortcut().isEmpty() && rule.action->shortcut() == pressed)
                return true; // not accepted: the shortcut goes to the action
        return false;
    }
    case QEvent::Enter:
        if (auto* w = qobject_cast<QWidget*>(watched))
            setApplicationHint(dorvin::hintAt(w));
        return false;
    case QEvent::Leave:
        if (auto* w = qobject_cast<QWidget*>(watched))
            setApplicationHint(w->isWindow() ? QString() : dorvin::hintAt(w->parentWidget()));
        return false;
    default: return false;
    }
}

// ---- commands of the window ----

void TMainForm::ActionExitExecute()
{
    close();
}

void TMainForm::N11Click()
{
    dorvin::services().showHelpContents();
}

void TMainForm::N3Click()
{
    TAboutBox about(this);
    about.exec();
}

// ---- resize rules ----

void TMainForm::Panel1Resize()
{
    m_elements->fitColumns();
}

void TMainForm::Splitter1CanResize(int& newSize, bool& accept)
{
    accept = newSize > 320;
}

void TMainForm::Splitter2CanResize(int& newSize, bool& accept)
{
    accept = newSize > 220;
}

void TMainForm::Splitter1Moved()
{
    m_params->widthChanged();
}

// ---- what the panes ask of the window ----

void TMainForm::elementTypeReached()
{
    m_elements->typeReached();
}

void TMainForm::applyParamsEdit()
{
    m_params->AppButClick();
}

void TMainForm::cancelParamsEdit()
{
    m_params->CancelClick();
}

void TMainForm::paramsStateChanged()
{
    m_params->ParamsSourceStateChange();
}

void TMainForm::paramsRowReached()
{
    m_params->ParamsTableAfterScroll();
}

void TMainForm::refreshParamValues()
{
    m_params->RefreshParamValues();
}
