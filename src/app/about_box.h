#pragma once
// The About box: product name, version and date, the maker, and a link that starts a mail
// message to the developer.
#include <QDialog>

class QLabel;
class QPushButton;
class QFrame;

class TAboutBox : public QDialog {
    Q_OBJECT
public:
    explicit TAboutBox(QWidget* parent = nullptr);

    QPushButton* OKButton = nullptr;
    QFrame* Panel1 = nullptr;
    QLabel* Label1 = nullptr;
    QLabel* ProgramIcon = nullptr;
    QFrame* Bevel1 = nullptr;
    QLabel* ProductName = nullptr;
    QLabel* Version = nullptr;
    QLabel* Comments = nullptr;
    QLabel* Label7 = nullptr;

    // The developer's support address shown in Label7.
    static QString supportAddress();
    // The mail link for an address, exactly as it is handed to the desktop.
    static QString mailLink(const QString& address);

    void Label7Click();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
};
