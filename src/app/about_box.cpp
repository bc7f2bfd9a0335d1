#include "app/about_box.h"

#include "platform/guarded.h"
#include "platform/services.h"
#include "widgets/hints.h"
#include "widgets/icons.h"

#include <QFrame>
#include <QLabel>
#include <QMouseEvent>
#include <QPushButton>
#include <QScreen>

QString TAboutBox::supportAddress()
{
    return QStringLiteral("support@dorvin.example");
}

QString TAboutBox::mailLink(const QString& address)
{
    // Passed as it stands: no percent escapes, and a raw line feed in the body.
    return QStringLiteral("mailto:") + address
           + QStringLiteral("?subject=Dorvin 1.4, редактор базы данных элементов.&body=Здравствуйте! \n"
                            "Я использую Вашу программу Dorvin 1.4")
           + QStringLiteral(", и у меня возникли следующие вопросы:");
}

TAboutBox::TAboutBox(QWidget* parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("AboutBox"));
    setWindowTitle(QStringLiteral("О программе"));
    setWindowFlags(Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint | Qt::WindowTitleHint
                   | Qt::WindowCloseButtonHint | Qt::CustomizeWindowHint);
    QFont base(QStringLiteral("MS Sans Serif"));
    base.setPointSize(8);
    setFont(base);
    setFixedSize(255, 238);

    auto place = [](QWidget* w, const char* name, int x, int y, int width = -1, int height = -1) {
        w->setObjectName(QString::fromLatin1(name));
        if (width < 0) {
            w->adjustSize();
            w->move(x, y);
        } else {
            w->setGeometry(x, y, width, height);
        }
    };

    OKButton = new QPushButton(QStringLiteral("OK"), this);
    place(OKButton, "OKButton", 90, 204, 75, 25);
    OKButton->setDefault(true);
    OKButton->setAutoDefault(true);
    connect(OKButton, &QPushButton::clicked, this, &QDialog::accept);

    Panel1 = new QFrame(this);
    Panel1->setFrameStyle(QFrame::Panel | QFrame::Raised);
    Panel1->setLineWidth(2);
    Panel1->setMidLineWidth(0);
    place(Panel1, "Panel1", 11, 8, 233, 185);

    Label1 = new QLabel(QStringLiteral("TOLVEK"), Panel1);
    {
        QFont f(QStringLiteral("Arial Black"));
        f.setPointSize(14);
        f.setBold(true);
        f.setItalic(true);
        Label1->setFont(f);
    }
    place(Label1, "Label1", 8, 4, 94, 27);

    ProgramIcon = new QLabel(Panel1);
    ProgramIcon->setPixmap(dorvin::icons::programIcon().pixmap(32, 32));
    place(ProgramIcon, "ProgramIcon", 192, 8, 32, 32);

    Bevel1 = new QFrame(Panel1);
    Bevel1->setFrameStyle(QFrame::Box | QFrame::Sunken);
    place(Bevel1, "Bevel1", 8, 32, 177, 81);

    ProductName = new QLabel(QStringLiteral("Редактор базы данных элементов DorvinDB"), Panel1);
    {
        QFont f(QStringLiteral("Arial"));
        f.setPointSize(9);
        f.setBold(true);
        ProductName->setFont(f);
    }
    ProductName->setWordWrap(true);
    ProductName->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    place(ProductName, "ProductName", 24, 40, 140, 30);

    Version = new QLabel(QStringLiteral("Версия 1.4 от 27.12.2005"), Panel1);
    place(Version, "Version", 24, 84);

    Comments = new QLabel(QStringLiteral("По всем возникающим вопросам обращайтесь по адресу:"), Panel1);
    Comments->setWordWrap(true);
    Comments->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    place(Comments, "Comments", 8, 120, 175, 26);

    Label7 = new QLabel(supportAddress(), Panel1);
    {
        QFont f = Label7->font();
        f.setUnderline(true);
        Label7->setFont(f);
        QPalette pal = Label7->palette();
        pal.setColor(QPalette::WindowText, QColor(0, 0, 255));
        Label7->setPalette(pal);
    }
    Label7->setTextFormat(Qt::PlainText);
    Label7->setCursor(Qt::PointingHandCursor);
    dorvin::setControlHint(Label7, QStringLiteral("Нажмите здесь, чтобы написать письмо разработчику."),
                           true);
    place(Label7, "Label7", 8, 156);
    Label7->installEventFilter(this);

    if (const QScreen* screen = this->screen())
        move(screen->availableGeometry().center() - rect().center());
}

void TAboutBox::Label7Click()
{
    // The answer of the shell is not examined: the box shows no message of its own.
    dorvin::services().openWithDesktop(mailLink(Label7->text()));
}

bool TAboutBox::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == Label7 && event->type() == QEvent::MouseButtonRelease) {
        auto* mouse = static_cast<QMouseEvent*>(event);
        if (mouse->button() == Qt::LeftButton && Label7->rect().contains(mouse->position().toPoint()))
            dorvin::runGuarded([this] { Label7Click(); });
        return true;
    }
    return QDialog::eventFilter(watched, event);
}
