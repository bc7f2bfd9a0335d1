#pragma once
// The base selection dialog: chooses the current base and creates, copies, adds, removes
// and renames entries of the base list.
//
// The dialog works on its own copy of the list (AliasListBox for the names, the hidden
// ComboBox1 for the "name=path" lines, always at the same positions); the caller takes the
// list over only when the dialog is confirmed. Create and copy write their new base files
// at once.
#include "platform/services.h"

#include <QDialog>
#include <QStringList>

#include <functional>

class QAction;
class QComboBox;
class QFrame;
class QLabel;
class QListWidget;
class QMenu;
class QPushButton;
class TDataM;

class TOpenBaseDialog : public QDialog {
    Q_OBJECT
public:
    // `dataModule` is the editor's data module: the base it holds is written back before a
    // create or copy. It may be null (then nothing is written back).
    TOpenBaseDialog(QWidget* owner, TDataM* dataModule);
    ~TOpenBaseDialog() override;

    // ---- components (objectName = member name) ----
    QFrame* Bevel1 = nullptr; // frame of the name and path labels
    QFrame* Bevel2 = nullptr; // frame of the list and the command buttons
    QLabel* Label1 = nullptr; // "Имя:"
    QLabel* Label2 = nullptr; // "Путь:"
    QLabel* NameLabel = nullptr;
    QLabel* PathLabel = nullptr;
    QListWidget* AliasListBox = nullptr;
    QComboBox* ComboBox1 = nullptr;
    QPushButton* CreateEmptyBtn = nullptr;
    QPushButton* CreateCopyBtn = nullptr;
    QPushButton* AddButton = nullptr;
    QPushButton* RemoveButt = nullptr;
    QPushButton* RenameBut = nullptr;
    QPushButton* OKBtn = nullptr;
    QPushButton* CancelBtn = nullptr;
    QMenu* ContextMenu = nullptr;
    QAction* ActionCreateEmpty = nullptr;
    QAction* ActionCopy = nullptr;
    QAction* ActionAdd = nullptr;
    QAction* ActionDelete = nullptr;
    QAction* ActionRename = nullptr;
    dorvin::FileDialogOptions SaveDialog1; // create and copy
    dorvin::FileDialogOptions OpenDialog1; // add

    // ---- handlers ----
    void AliasListBoxClick();
    void SetPath(const QString& path);
    void AliasListBoxDblClick();
    void ActionCreateEmptyExecute();
    void ActionCopyExecute();
    void AddExisting();
    void ActionDeleteExecute();
    void ActionRenameExecute();
    void ActionCopyUpdate();

    // True when no entry has exactly this name (letter case significant).
    bool IsNameFree(const QString& name) const;
    // The name itself, or the first of name_0, name_1, ... that the settings file can keep
    // apart from every entry (names differing only in letter case count as taken).
    QString MakeUniqueName(const QString& name) const;

    // ---- the list ----
    // Fills both lists (names and their "name=path" lines, same order and number) and
    // selects `selected` (-1: nothing).
    void setEntries(const QStringList& names, const QStringList& lines, int selected);
    QStringList names() const;
    QStringList lines() const;
    // The selected position in AliasListBox; -1 when nothing is selected.
    int selectedIndex() const;

    // Where the commands' hints go while the mouse is over a button or menu item (the
    // editor's status bar); an empty text clears it.
    void setHintSink(std::function<void(const QString&)> sink);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

private:
    QAction* newAction(const char* name, const QString& caption, const QString& hint,
                       void (TOpenBaseDialog::*execute)());
    QPushButton* newCommandButton(const char* name, QAction* action, int y);
    void showHint(const QString& hint);
    // The base the editor holds, written back before its data module's file is reused.
    void writeBackOpenBase();
    QString openBasePath() const;
    // Refuses (with a message) a target that would destroy the open base or the template.
    bool targetAccepted(const QString& target);
    // Appends the entry, selects it and lets the user name it at once.
    void addEntry(const QString& name, const QString& path);

    TDataM* m_dataModule;
    std::function<void(const QString&)> m_hintSink;
};
