#include "widgets/image_list.h"

namespace dorvin {

TImageList::TImageList(const QSize& size, QObject* parent) : QObject(parent), m_size(size) {}

QIcon TImageList::icon(int index) const
{
    return index >= 0 && index < m_images.size() ? m_images[index] : QIcon();
}

} // namespace dorvin
