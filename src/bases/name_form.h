#pragma once
// The name input dialog: asks for a new display name of a base list entry.
#include <QDialog>
#include <QStringList>

class QFrame;
class QLineEdit;
class QPushButton;

class TNameForm : public QDialog {
    Q_OBJECT
public:
    explicit TNameForm(QWidget* owner = nullptr);

    QFrame* Bevel1 = nullptr;
    QLineEdit* Edit1 = nullptr;
    QPushButton* BitBtn1 = nullptr; // "ОК"
    QPushButton* BitBtn2 = nullptr; // "Отмена"

    // The name the dialog was opened with; an empty entry is answered by restoring it.
    QString InitialName;
    // The names of the other entries of the list. A name that the settings file could not
    // keep apart from one of them is refused while the dialog stays open.
    QStringList OtherNames;

    // "ОК": closes with the OK result when the typed name can be used; otherwise explains
    // why not and keeps the dialog open.
    void BitBtn1Click();
};
