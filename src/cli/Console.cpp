#include "cli/Console.h"

#include <QByteArray>

namespace cli {

QByteArray Encode(const QString& text) { return text.toLocal8Bit(); }

void Put(std::FILE* stream, const QString& text)
{
    const QByteArray bytes = Encode(text);
    std::fwrite(bytes.constData(), 1, static_cast<std::size_t>(bytes.size()), stream);
    std::fflush(stream);
}

void Say(std::FILE* stream, const QString& text) { Put(stream, text + QLatin1Char('\n')); }

} // namespace cli
