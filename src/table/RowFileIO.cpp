// Disk side of row files; the format itself is in RowFile.cpp.
#include "table/RowFileIO.h"

#include "platform/FileWriter.h"

#include "platform/FileNames.h"

#include <QFile>

#include <array>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace rows {

ReadResult LoadRowFile(const QString& path)
{
    // Opened without waiting: a FIFO or a device under a row file's name
    // would otherwise hold the program until someone writes to it. Only a
    // regular file is read.
    const int fd = ::open(QFile::encodeName(LocalPath(path)).constData(), O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY);
    if (fd < 0)
        return {};
    struct stat info {};
    if (::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) {
        ::close(fd);
        return {};
    }
    QFile file;
    // Unbuffered: our own block is the only copy of the data held in memory.
    if (!file.open(fd, QIODevice::ReadOnly | QIODevice::Unbuffered, QFileDevice::AutoCloseHandle)) {
        ::close(fd);
        return {};
    }

    std::array<char, 512> block{};
    qint64 filled = 0;
    qint64 pos = 0;
    bool readFailed = false;
    const std::function<int()> next = [&]() -> int {
        if (pos == filled) {
            filled = file.read(block.data(), static_cast<qint64>(block.size()));
            pos = 0;
            if (filled <= 0) {
                readFailed = filled < 0;
                filled = 0;
                return -1;
            }
        }
        return static_cast<unsigned char>(block[static_cast<std::size_t>(pos++)]);
    };

    ReadResult result = ReadRowFields(next);
    if (readFailed)
        result.ok = false;
    return result;
}

bool SaveRowFile(const QString& path, const QStringList& items63)
{
    if (items63.size() != kFieldCount)
        return false;
    std::vector<std::string> items;
    items.reserve(static_cast<std::size_t>(kFieldCount));
    for (const QString& item : items63)
        items.push_back(item.toLatin1().toStdString());
    const std::string bytes = FormatRowFile(items);
    if (bytes.empty())
        return false;

    return files::WriteFile(path, files::Replace::Always, [&](files::FileWriter& file) {
               return file.Write(bytes.data(), static_cast<qint64>(bytes.size()));
           }) == files::Error::None;
}

} // namespace rows
