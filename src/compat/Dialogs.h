#pragma once
// Modal message boxes and the one-line input box. Everything goes through
// one replaceable service: the real one shows Qt dialogs with German button
// captions, tests install a scripted one that records every call.

#include <QString>

#include <memory>

class QWidget;

// The four message styles the program uses; the numbers are the classic ones.
enum class MsgStyle {
    OkOnly = 0,
    YesNoStop = 4 + 16 + 256,          // stop icon, No is the default
    YesNoQuestion = 4 + 32 + 256,      // question icon, No is the default
    YesNoStopYesDefault = 4 + 16,      // stop icon, Yes is the default
};

enum class MsgResult { Ok = 1, Yes = 6, No = 7 };

class DialogService {
public:
    virtual ~DialogService() = default;
    virtual MsgResult MsgBox(const QString& text, MsgStyle style, const QString& title) = 0;
    // Returns the text typed, or an empty text on Cancel.
    virtual QString InputBox(const QString& prompt, const QString& title, const QString& defaultText) = 0;
};

// Shows a message; a carriage return in `text` breaks the line.
MsgResult MsgBox(const QString& text, MsgStyle style, const QString& title);
QString InputBox(const QString& prompt, const QString& title, const QString& defaultText = QString());

// Installs a replacement (tests); passing nothing restores the real dialogs.
void SetDialogService(std::unique_ptr<DialogService> service);

// The real dialogs, for tests that answer them by hand.
std::unique_ptr<DialogService> MakeQtDialogService();

// The carriage return that ends every message line.
inline const QString CR = QStringLiteral("\r");
