#include "platform/Application.h"

#include "platform/Accessibility.h"
#include "compat/Fonts.h"
#include "compat/Picture.h"

#include <QApplication>
#include <QLibraryInfo>
#include <QLocale>
#include <QTranslator>

void PrepareApplication(QApplication& app)
{
    InstallFontSubstitutes();
    InitResources();
    InstallLabelAccessibility();
    // Windows hand over by hiding themselves; only the quit button ends the program.
    app.setQuitOnLastWindowClosed(false);
    QLocale::setDefault(QLocale(QLocale::German, QLocale::Germany));
    auto* translator = new QTranslator(&app);
    if (translator->load(QStringLiteral("qtbase_de"), QLibraryInfo::path(QLibraryInfo::TranslationsPath)))
        QApplication::installTranslator(translator);
}
