#pragma once
// The program's real dialogs (message boxes, questions, file dialogs), answered as a user
// answers them: by looking at what the box says and clicking one of its buttons, or by
// typing a file name. Each dialog that opens while a Dialogs object lives is recorded; an
// answer scheduled beforehand is used for it, and a dialog nobody expected is recorded as
// unexpected and closed with Escape, so a test never hangs on a box.
#include <QPointer>
#include <QString>
#include <QStringList>
#include <QTimer>

#include <deque>
#include <functional>
#include <vector>

class QWidget;

namespace acceptance {

struct SeenDialog {
    QString kind;        // "message", "file" or the dialog's class name
    QString title;       // the window title
    QString text;        // a message box's text
    QStringList buttons; // the texts of its buttons, as shown
    bool expected = true;
};

class Dialogs {
public:
    using Answer = std::function<void(QWidget* dialog)>;

    Dialogs();
    ~Dialogs();

    // The next dialog is answered by clicking the button that shows this text ("OK", "Да").
    void clickButton(const QString& text);
    // The next dialog is answered by typing into its focused field and pressing Enter.
    void typeAndEnter(const QString& text);
    // The next dialog is answered by pressing a key.
    void pressKey(int key);
    // The next dialog is answered by any action.
    void answer(Answer answer);

    // Every dialog seen so far, in order.
    const std::vector<SeenDialog>& seen() const { return m_seen; }
    // The texts of the message boxes seen, in order.
    QStringList messages() const;
    // Answers that are still waiting for their dialog.
    int pendingAnswers() const { return int(m_answers.size()); }
    // Readable list of what was seen, for failure output.
    QString describe() const;
    void clear() { m_seen.clear(); }

private:
    void poll();

    std::deque<Answer> m_answers;
    std::vector<SeenDialog> m_seen;
    QPointer<QWidget> m_current;
    QTimer m_timer;
    bool m_answering = false;
};

} // namespace acceptance
