#include "app/Picture.h"

#include <QImage>

static void InitIconResources() { Q_INIT_RESOURCE(icons); }

void InitResources()
{
    static bool done = false;
    if (!done) {
        InitIconResources();
        done = true;
    }
}

Picture LoadPicture(const QString& name)
{
    InitResources();
    return std::make_shared<const QPixmap>(QPixmap::fromImage(QImage(QStringLiteral(":/icons/") + name)));
}
