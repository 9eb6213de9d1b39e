#include "ui/Icons.h"

namespace ui {

namespace {

QIcon twoSizes(const QString &large, const QString &small)
{
    QIcon icon;
    icon.addFile(large, QSize(32, 32));
    icon.addFile(small, QSize(16, 16));
    return icon;
}

} // namespace

QIcon logoIcon()
{
    return twoSizes(QStringLiteral(":/icons/logo32.xpm"), QStringLiteral(":/icons/logo16.xpm"));
}

QIcon magnetIcon()
{
    return twoSizes(QStringLiteral(":/icons/magnet32.xpm"), QStringLiteral(":/icons/magnet16.xpm"));
}

QPixmap logoImage()
{
    return QPixmap(QStringLiteral(":/icons/logo32.xpm"));
}

} // namespace ui
