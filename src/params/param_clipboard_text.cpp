#include "params/param_clipboard_text.h"

namespace dorvin {

QString paramClipboardText(const QStringList& valueTexts)
{
    QString text = kParamClipboardHeader;
    for (const QString& value : valueTexts) {
        text += QLatin1Char('\r');
        text += value;
    }
    return text;
}

QStringList splitClipboardLines(const QString& text, qsizetype maxLines)
{
    QStringList lines;
    const qsizetype size = text.size();
    qsizetype start = 0;
    while (start < size && (maxLines < 0 || lines.size() < maxLines)) {
        qsizetype end = start;
        while (end < size && text[end] != QLatin1Char('\r') && text[end] != QLatin1Char('\n'))
            ++end;
        lines.append(text.mid(start, end - start));
        if (end < size && text[end] == QLatin1Char('\r') && end + 1 < size
            && text[end + 1] == QLatin1Char('\n'))
            ++end;
        start = end + 1;
    }
    return lines;
}

PasteCheck checkParamPaste(const QStringList& lines, int top)
{
    const qsizetype n = lines.size();
    if (n <= 1 || lines.first() != kParamClipboardHeader)
        return PasteCheck::NotParameters;
    if (n > kMaxParamClipboardLines || 97 - top < n - 1)
        return PasteCheck::NoRoom;
    return PasteCheck::Fits;
}

} // namespace dorvin
