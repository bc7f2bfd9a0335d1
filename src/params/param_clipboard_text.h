#pragma once
// The plain text in which parameter values travel through the clipboard:
//   **Параметры**<CR>1,000<CR>2,000<CR>3,000
// a header line, then one value text per row, lines separated by a single carriage return
// and nothing after the last one.
#include <QString>
#include <QStringList>

namespace dorvin {

// The header line, compared exactly (letter case included, no blanks around it).
inline const QString kParamClipboardHeader = QStringLiteral("**Параметры**");

// The most lines a paste can use: the header and one value for each of the 96 rows.
inline constexpr int kMaxParamClipboardLines = 97;

// The clipboard text for these value texts (row Top first).
QString paramClipboardText(const QStringList& valueTexts);

// Splits text into lines at every CR, every LF and every CR LF pair; a line break at the
// very end adds no empty line, so "a\r\nb\r\n" gives {"a", "b"} and "" gives nothing.
// At most `maxLines` lines are returned (a negative limit means no limit): whatever text
// an outside program put on the clipboard, a paste never copies more of it than it can use.
QStringList splitClipboardLines(const QString& text, qsizetype maxLines = -1);

// What a paste of these lines at row `top` (1..96) does.
enum class PasteCheck {
    NotParameters, // one line or less, or no header line: nothing but a refresh
    NoRoom,        // more values than rows top..96: the beep and the message
    Fits,          // lines[1..] go into rows top, top + 1, ...
};
PasteCheck checkParamPaste(const QStringList& lines, int top);

} // namespace dorvin
