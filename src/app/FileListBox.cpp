#include "app/FileListBox.h"

#include <QDir>
#include <QListWidget>

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
    const QStringList names = QDir::current().entryList(QStringList{pattern_}, QDir::Files,
                                                        QDir::Name | QDir::IgnoreCase);
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
