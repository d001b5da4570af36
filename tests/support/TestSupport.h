#pragma once
// What the tests share: a scripted dialog service that records every message
// and input box and answers from a queue, a fixed clock for the random seed,
// a recorder for ending the process, and a fresh start of the program
// between test cases.

#include "compat/Dialogs.h"
#include "compat/Surface.h"

#include <QString>
#include <QStringList>

#include <deque>
#include <vector>

struct DialogCall {
    enum class Kind { Message, Input };
    Kind kind;
    QString text; // message text or input prompt
    QString title;
    MsgStyle style = MsgStyle::OkOnly;
    QString defaultText;
};

class ScriptedDialogs final : public DialogService {
public:
    MsgResult MsgBox(const QString& text, MsgStyle style, const QString& title) override;
    QString InputBox(const QString& prompt, const QString& title, const QString& defaultText) override;

    // Answers used in order; with none queued a question gets No and an input box Cancel.
    std::deque<MsgResult> answers;
    std::deque<QString> inputs;
    std::vector<DialogCall> calls;
};

// Starts the program afresh for one test case: destroys every window, puts the
// shared variables back, installs scripted dialogs, a fixed time of day and a
// recorder for the end of the process, and returns the dialogs.
ScriptedDialogs& FreshProgram(double timeOfDay = 36000.5);

// How often the program asked to end the process since FreshProgram.
int EndProcessCalls();

// The display-list operations of one kind.
std::vector<DrawOp> OpsOfKind(const Surface& s, DrawOp::Kind kind);
// The texts printed, in order.
QStringList PrintedTexts(const Surface& s);
