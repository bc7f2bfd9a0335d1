#pragma once
// The element list's exchange-file commands: saving the current element to an .exp file,
// inserting elements from such files, and opening the find dialog over the list.
#include "platform/services.h"

#include <QObject>
#include <QString>

class ElementListPane;
class QWidget;

namespace dorvin {
class PaneHost;
}

class ElementExchange : public QObject {
    Q_OBJECT
public:
    // `window` is the editor window the find dialog searches and sits beside.
    ElementExchange(dorvin::PaneHost& host, ElementListPane& elements, QWidget* window);

    // The file dialogs of the two commands; both start in `folder`.
    dorvin::FileDialogOptions OpenDialog1;
    dorvin::FileDialogOptions SaveDialog1;
    void startIn(const QString& folder);

    // Handlers.
    void CopyBtnClick();
    void InsertFromFile();
    void FindClick();

private:
    void insertElementFromFile(const QString& file);

    dorvin::PaneHost& m_host;
    ElementListPane& m_elements;
    QWidget* m_window;
};
