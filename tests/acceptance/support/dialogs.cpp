#include "support/dialogs.h"

#include "support/user.h"

#include <QAbstractButton>
#include <QApplication>
#include <QDialog>
#include <QFileDialog>
#include <QMessageBox>
#include <QtTest>

namespace acceptance {

namespace {

SeenDialog describeDialog(QWidget* dialog)
{
    SeenDialog seen;
    seen.title = dialog->windowTitle();
    if (auto* box = qobject_cast<QMessageBox*>(dialog)) {
        seen.kind = QStringLiteral("message");
        seen.text = box->text();
    } else if (qobject_cast<QFileDialog*>(dialog)) {
        seen.kind = QStringLiteral("file");
    } else {
        seen.kind = QString::fromLatin1(dialog->metaObject()->className());
    }
    for (QAbstractButton* b : dialog->findChildren<QAbstractButton*>())
        if (b->isVisible() && !b->text().isEmpty())
            seen.buttons << b->text().remove(QLatin1Char('&'));
    return seen;
}

} // namespace

Dialogs::Dialogs()
{
    m_timer.setInterval(25);
    QObject::connect(&m_timer, &QTimer::timeout, [this] { poll(); });
    m_timer.start();
}

Dialogs::~Dialogs() = default;

void Dialogs::answer(Answer answer)
{
    m_answers.push_back(std::move(answer));
}

void Dialogs::clickButton(const QString& text)
{
    answer([text](QWidget* dialog) {
        for (QAbstractButton* b : dialog->findChildren<QAbstractButton*>()) {
            if (b->isVisible() && b->text().remove(QLatin1Char('&')) == text) {
                QTest::mouseClick(b, Qt::LeftButton);
                return;
            }
        }
        // No such button: the user can only give up.
        QTest::keyClick(dialog, Qt::Key_Escape);
    });
}

void Dialogs::typeAndEnter(const QString& text)
{
    answer([text](QWidget* dialog) {
        User user;
        if (!dialog->isAncestorOf(QApplication::focusWidget()))
            dialog->setFocus();
        if (auto* file = qobject_cast<QFileDialog*>(dialog)) {
            // The file name box has the focus when the dialog opens; a user selects what it
            // proposes and overtypes it.
            Q_UNUSED(file);
            user.press(Qt::Key_A, Qt::ControlModifier);
        }
        user.type(text);
        user.press(Qt::Key_Return);
    });
}

void Dialogs::pressKey(int key)
{
    answer([key](QWidget*) { User().press(key); });
}

void Dialogs::poll()
{
    if (m_answering)
        return;
    QWidget* dialog = QApplication::activeModalWidget();
    if (!dialog || !dialog->isVisible() || dialog == m_current)
        return;
    m_current = dialog;
    SeenDialog seen = describeDialog(dialog);
    Answer answer;
    if (!m_answers.empty()) {
        answer = std::move(m_answers.front());
        m_answers.pop_front();
    } else {
        seen.expected = false;
        answer = [](QWidget* d) { QTest::keyClick(d, Qt::Key_Escape); };
    }
    m_seen.push_back(seen);
    m_answering = true;
    // The answer runs from the dialog's own event loop, as a user's input would arrive.
    QPointer<QWidget> target(dialog);
    QPointer<QWidget> owner(dialog->parentWidget() ? dialog->parentWidget()->window() : nullptr);
    QTimer::singleShot(30, &m_timer, [this, target, owner, answer] {
        m_answering = false;
        if (target && target->isVisible())
            answer(target);
        // The window manager gives the keyboard back to the window the box belonged to;
        // a platform without one does not.
        QTimer::singleShot(30, &m_timer, [target, owner] {
            if (owner && owner->isVisible() && (!target || !target->isVisible())
                && !QApplication::activeModalWidget() && QApplication::activeWindow() != owner)
                owner->activateWindow();
        });
    });
}

QStringList Dialogs::messages() const
{
    QStringList texts;
    for (const SeenDialog& d : m_seen)
        if (d.kind == QLatin1String("message"))
            texts << d.text;
    return texts;
}

QString Dialogs::describe() const
{
    QStringList lines;
    for (const SeenDialog& d : m_seen)
        lines << QStringLiteral("%1%2 \"%3\": %4 [%5]")
                     .arg(d.expected ? QString() : QStringLiteral("UNEXPECTED "), d.kind, d.title, d.text,
                          d.buttons.join(QLatin1Char('|')));
    return lines.join(QLatin1Char('\n'));
}

} // namespace acceptance
