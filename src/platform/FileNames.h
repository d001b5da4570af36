#pragma once
// File names as the user sees them: the names a file list shows and the names
// typed into an input box, which live in the working directory unless they
// say otherwise. Qt takes a name that starts with ":" for one of the
// program's built-in resources, so every such name goes through LocalPath
// before it reaches a Qt file class.

#include <QString>

// The path under which `name` is opened or created: the name itself, with
// "./" before it when it starts with ":".
QString LocalPath(const QString& name);
