#include "cli/Display.h"

#include "cli/Console.h"

#include "platform/Application.h"

#include <QApplication>

#include <cstdio>
#include <cstdlib>
#include <mutex>
#include <vector>

namespace cli {

namespace {

// Qt's messages while the application object is built, held back until it is
// clear whether the platform came up.
struct HeldMessage {
    QtMsgType type;
    QByteArray file, function, category;
    int line;
    QString text;
};

std::mutex g_mutex;
std::vector<HeldMessage> g_held;
QByteArray g_withoutPlatform;

// The only fatal error Qt raises while it builds the application object is
// that no platform could be started: for xcb, that it could not connect to
// the display. Qt would abort with exit code 134 and English lines; the
// German sentence replaces them. Nothing of the program has run yet, so
// ending here loses nothing.
void HoldOrRefuse(QtMsgType type, const QMessageLogContext& context, const QString& text)
{
    if (type == QtFatalMsg) {
        std::fwrite(g_withoutPlatform.constData(), 1, static_cast<std::size_t>(g_withoutPlatform.size()), stderr);
        std::fflush(stderr);
        std::_Exit(1);
    }
    const std::lock_guard lock(g_mutex);
    g_held.push_back({type, context.file, context.function, context.category, context.line, text});
}

std::unique_ptr<QApplication> Build(int& argc, char** argv, const QString& withoutPlatform)
{
    g_withoutPlatform = Encode(withoutPlatform.isEmpty() ? QString() : withoutPlatform + QLatin1Char('\n'));
    const QtMessageHandler previous = qInstallMessageHandler(HoldOrRefuse);
    auto app = std::make_unique<QApplication>(argc, argv);
    qInstallMessageHandler(previous);
    // The platform is up: what Qt said meanwhile is said now, as it would have been.
    std::vector<HeldMessage> held;
    {
        const std::lock_guard lock(g_mutex);
        held.swap(g_held);
    }
    for (const HeldMessage& m : held)
        qt_message_output(m.type,
                          QMessageLogContext(m.file.isNull() ? nullptr : m.file.constData(), m.line,
                                             m.function.isNull() ? nullptr : m.function.constData(),
                                             m.category.isNull() ? nullptr : m.category.constData()),
                          m.text);

    QApplication::setApplicationName(QStringLiteral("rechenkov"));
    // The windows belong to the menu entry of this name, on X11 and on Wayland.
    QGuiApplication::setDesktopFileName(QStringLiteral("org.example.Rechenkov"));
    PrepareApplication(*app);
    return app;
}

} // namespace

QString NoDisplayText() { return QStringLiteral("Rechenkov braucht für dieses Fenster eine grafische Oberfläche."); }

std::unique_ptr<QApplication> ApplicationWithoutDisplay(int& argc, char** argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    return Build(argc, argv,
                 QStringLiteral("Die Qt-Plattform „%1“ (QT_QPA_PLATFORM) ließ sich nicht starten.")
                     .arg(qEnvironmentVariable("QT_QPA_PLATFORM")));
}

std::unique_ptr<QApplication> ApplicationOnDisplay(int& argc, char** argv, const QString& withoutDisplay)
{
    return Build(argc, argv, withoutDisplay);
}

} // namespace cli
