#include "platform/FileNames.h"

QString LocalPath(const QString& name)
{
    return name.startsWith(QLatin1Char(':')) ? QStringLiteral("./") + name : name;
}
