#pragma once
// A file list box: the names of the files in the working directory that
// match its pattern, sorted by name. Setting the pattern reads the directory
// afresh; the pattern matches without regard to case ("tabelle.lst" is a
// "*.LST" file). Only readable regular files (and links to them) are listed,
// so every name shown can be opened without blocking. A click on a name
// raises Click.

#include "compat/ListBox.h"

class FileListBox : public ListBox {
    Q_OBJECT
public:
    FileListBox(QWidget* parent, const QString& name, int left, int top, int width, int height);

    QString Pattern() const { return pattern_; }
    void SetPattern(const QString& pattern);
    // Reads the working directory again with the current pattern.
    void Refresh();
    // The name of the selected file, or empty.
    QString FileName() const;

private:
    QString pattern_;
};
