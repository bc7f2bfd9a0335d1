#include "bases/name_form.h"

#include "bases/base_names.h"
#include "platform/guarded.h"
#include "platform/services.h"

#include <QFrame>
#include <QLineEdit>
#include <QPushButton>

TNameForm::TNameForm(QWidget* owner)
    : QDialog(owner, Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint | Qt::CustomizeWindowHint
                         | Qt::WindowTitleHint | Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint)
{
    setObjectName(QStringLiteral("NameForm"));
    setWindowTitle(QStringLiteral("Новое имя базы элементов"));
    QFont f(QStringLiteral("MS Sans Serif"));
    f.setPointSize(8);
    setFont(f);
    setFixedSize(341, 83);

    Bevel1 = new QFrame(this);
    Bevel1->setObjectName(QStringLiteral("Bevel1"));
    Bevel1->setFrameShape(QFrame::Box);
    Bevel1->setFrameShadow(QFrame::Sunken);
    Bevel1->setGeometry(0, 0, 341, 50);

    Edit1 = new QLineEdit(this);
    Edit1->setObjectName(QStringLiteral("Edit1"));
    Edit1->setGeometry(6, 15, 329, 21);
    Edit1->setMaxLength(100);

    BitBtn1 = new QPushButton(QStringLiteral("ОК"), this);
    BitBtn1->setObjectName(QStringLiteral("BitBtn1"));
    BitBtn1->setGeometry(89, 56, 75, 25);
    BitBtn1->setDefault(true);

    BitBtn2 = new QPushButton(QStringLiteral("Отмена"), this);
    BitBtn2->setObjectName(QStringLiteral("BitBtn2"));
    BitBtn2->setGeometry(177, 56, 75, 25);
    BitBtn2->setAutoDefault(false);

    connect(BitBtn1, &QPushButton::clicked, this, [this] { dorvin::runGuarded([this] { BitBtn1Click(); }); });
    connect(BitBtn2, &QPushButton::clicked, this, &QDialog::reject);
    Edit1->setFocus();
}

void TNameForm::BitBtn1Click()
{
    const QString name = Edit1->text();
    if (name.isEmpty()) {
        dorvin::services().beep();
        dorvin::services().message(QStringLiteral("Имя базы элементов не должно быть пустой строкой!"));
        Edit1->setText(InitialName);
        Edit1->selectAll();
        Edit1->setFocus();
        return;
    }
    const QString problem = dorvin::bases::nameProblem(name, OtherNames);
    if (!problem.isEmpty()) {
        dorvin::services().message(problem);
        Edit1->selectAll();
        Edit1->setFocus();
        return;
    }
    accept();
}
