#include "compat/FileListBox.h"

#include <QFile>
#include <QListWidget>
#include <QRegularExpression>

#include <algorithm>

#include <dirent.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// Whether the directory entry `raw` belongs in the list: a regular file, or a
// link to one, that this user may read, under a name that survives the way
// from bytes to text and back (one that does not could never be opened by
// the name shown). Anything else (a folder, a FIFO that would block the
// reader, a device, a broken link) is left out.
bool Listable(const QByteArray& raw, const QString& name)
{
    if (QFile::encodeName(name) != raw)
        return false;
    struct stat info {};
    return ::stat(raw.constData(), &info) == 0 && S_ISREG(info.st_mode) && ::access(raw.constData(), R_OK) == 0;
}

} // namespace

FileListBox::FileListBox(QWidget* parent, const QString& name, int left, int top, int width, int height)
    : ListBox(parent, name, left, top, width, height)
{
}

void FileListBox::SetPattern(const QString& pattern)
{
    pattern_ = pattern;
    Refresh();
}

void FileListBox::Refresh()
{
    const QRegularExpression match = QRegularExpression::fromWildcard(pattern_, Qt::CaseInsensitive);
    QStringList names;
    if (DIR* dir = ::opendir(".")) {
        while (const dirent* entry = ::readdir(dir)) {
            const QByteArray raw(entry->d_name);
            // Hidden files stay hidden, as in any file dialog.
            if (raw.startsWith('.'))
                continue;
            const QString name = QFile::decodeName(raw);
            if (match.match(name).hasMatch() && Listable(raw, name))
                names << name;
        }
        ::closedir(dir);
    }
    std::sort(names.begin(), names.end(), [](const QString& l, const QString& r) {
        const int order = QString::compare(l, r, Qt::CaseInsensitive);
        return order != 0 ? order < 0 : l < r;
    });
    const QSignalBlocker quiet(Widget());
    Clear();
    for (const QString& n : names)
        AddItem(n);
}

QString FileListBox::FileName() const
{
    const int index = ListIndex();
    return index >= 0 ? List(index) : QString();
}
