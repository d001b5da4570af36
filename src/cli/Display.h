#pragma once
// Qt's application object, made for what a command needs. Work without a
// window never needs a display; a window without one is refused with a German
// sentence instead of Qt's English abort. Both programs, rechenkov and
// rechenkov-verlauf, create their application object here.

#include <QString>

#include <memory>

class QApplication;

namespace cli {

// "Rechenkov braucht für dieses Fenster eine grafische Oberfläche."
QString NoDisplayText();

// For work without a window (worksheets to a file or the printer, the CSV,
// the switch): Qt draws offscreen unless QT_QPA_PLATFORM names a platform, so
// a missing or dead display (cron, tmux after logout, a closed ssh -X) never
// stops it.
std::unique_ptr<QApplication> ApplicationWithoutDisplay(int& argc, char** argv);

// For windows: Qt connects to the display as ever; the windows never fall back
// to drawing offscreen. Where Qt cannot connect (no display set, or one that
// is gone), `withoutDisplay` goes to standard error and the process ends with
// exit code 1; nothing has been opened or written by then.
std::unique_ptr<QApplication> ApplicationOnDisplay(int& argc, char** argv, const QString& withoutDisplay);

} // namespace cli
