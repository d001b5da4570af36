#pragma once
// A picture shown by a picture box. Assigning one box's picture to another
// shares the very same object, and pictures are compared by that identity,
// never by their pixels: the operation button's sign is recognised this way.

#include <QPixmap>
#include <QString>

#include <memory>

using Picture = std::shared_ptr<const QPixmap>;

// Loads one of the compiled-in icons (":/icons/<name>"); every call makes a
// new picture with an identity of its own, even for the same file.
Picture LoadPicture(const QString& name);

// The compiled-in icons live in the core library and must be registered once.
void InitResources();
