#pragma once
#include <QIcon>
#include <QList>
#include <QObject>
#include <QSize>

namespace dorvin {

// A numbered list of equally sized pictures.
class TImageList : public QObject {
    Q_OBJECT
public:
    TImageList(const QSize& size, QObject* parent = nullptr);
    QSize imageSize() const { return m_size; }
    int count() const { return static_cast<int>(m_images.size()); }
    void add(const QIcon& icon) { m_images.append(icon); }
    QIcon icon(int index) const;

private:
    QSize m_size;
    QList<QIcon> m_images;
};

} // namespace dorvin
