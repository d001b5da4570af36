#pragma once
// Row files live in the working directory, so tests that touch them work in a
// fresh temporary folder and return to the old directory when they end.

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

class ScopedWorkingDirectory {
public:
    ScopedWorkingDirectory() : old_(QDir::currentPath())
    {
        QVERIFY2(dir_.isValid(), "no temporary folder");
        QVERIFY(QDir::setCurrent(dir_.path()));
    }
    ~ScopedWorkingDirectory() { QDir::setCurrent(old_); }
    ScopedWorkingDirectory(const ScopedWorkingDirectory&) = delete;
    ScopedWorkingDirectory& operator=(const ScopedWorkingDirectory&) = delete;

    QString Path() const { return dir_.path(); }

private:
    QString old_;
    QTemporaryDir dir_;
};

// Copies a row file of the fixture folder into the working directory.
inline bool CopyRowFixture(const QString& fixture, const QString& as = QString())
{
    return QFile::copy(QStringLiteral(RECHENKOV_TEST_DATA "/rowfiles/") + fixture, as.isEmpty() ? fixture : as);
}

// The whole content of a file in the working directory.
inline QByteArray FileBytes(const QString& name)
{
    QFile file(name);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}
