#pragma once
// The find dialog: finds an element of the current type by its code or model name while
// the user types. One instance lives as long as the application; closing only hides it,
// so the typed text and the chosen field stay from one showing to the next.
#include <QDialog>
#include <QPointer>
#include <QString>

class QComboBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QListWidget;
class QPushButton;
class ElementListPane;

class TFindForm : public QDialog {
    Q_OBJECT
public:
    explicit TFindForm(QWidget* parent = nullptr);

    // The editor window whose element list pane is searched. The dialog outlives editor
    // windows opened by a host program; a destroyed editor simply leaves nothing to search.
    void setEditor(QWidget* editor);
    QWidget* editor() const;

    QGroupBox* GroupBox2 = nullptr;
    QLineEdit* FindTextEdit = nullptr;
    QLabel* Label1 = nullptr;
    QComboBox* FieldCombo = nullptr;
    QPushButton* Button3 = nullptr;
    QListWidget* FieldListBox = nullptr; // never shown: "item=FIELD" for each FieldCombo item

    void FormCreate();
    void Button1Click();
    void FieldComboClick(int index);
    void Button3Click();

    // The field searched for the combo's text ("CODE", "MODEL"), empty when the text names
    // no item; and the element grid column of that field (-1 when none).
    QString searchedField() const;
    static int columnOfField(const QString& field);

protected:
    void keyPressEvent(QKeyEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    // Runs the search with errors reported the way every handler reports them.
    void guardedSearch();
    // The element list pane of the editor window; null when there is none.
    ElementListPane* elementList() const;

    QPointer<QWidget> m_editor;
};

// The application's one find dialog; null until it is created.
extern QPointer<TFindForm> FindForm;

// Creates the find dialog hidden, unless it exists already; returns it. The program
// creates it at start-up with no parent; an editor window opened by a host program
// creates it on first use as its own child, so it is usable beside that modal window
// and goes with it.
TFindForm* ensureFindForm(QWidget* parent = nullptr);
