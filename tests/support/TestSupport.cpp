#include "TestSupport.h"

#include "platform/Application.h"
#include "table/MODUL1.h"
#include "platform/Platform.h"
#include "compat/Windows.h"

#include <QApplication>
#include <QStandardPaths>

MsgResult ScriptedDialogs::MsgBox(const QString& text, MsgStyle style, const QString& title)
{
    calls.push_back({DialogCall::Kind::Message, text, title, style, QString()});
    if (style == MsgStyle::OkOnly)
        return MsgResult::Ok;
    if (answers.empty())
        return MsgResult::No;
    const MsgResult r = answers.front();
    answers.pop_front();
    return r;
}

QString ScriptedDialogs::InputBox(const QString& prompt, const QString& title, const QString& defaultText)
{
    calls.push_back({DialogCall::Kind::Input, prompt, title, MsgStyle::OkOnly, defaultText});
    if (inputs.empty())
        return QString();
    const QString r = inputs.front();
    inputs.pop_front();
    return r;
}

namespace {
int g_endCalls = 0;
ScriptedDialogs* g_dialogs = nullptr;
} // namespace

ScriptedDialogs& FreshProgram(double timeOfDay)
{
    static bool prepared = false;
    if (!prepared) {
        // Settings and the practice record of the tests never mix with the user's.
        QStandardPaths::setTestModeEnabled(true);
        PrepareApplication(*qApp);
        prepared = true;
    }
    DestroyAllWindows();
    MODUL1::Reset();
    auto dialogs = std::make_unique<ScriptedDialogs>();
    g_dialogs = dialogs.get();
    SetDialogService(std::move(dialogs));
    Platform::SetRandomSource(nullptr);
    Platform::SetTimeOfDay([timeOfDay] { return timeOfDay; });
    g_endCalls = 0;
    Platform::SetEndProcess([] { ++g_endCalls; });
    return *g_dialogs;
}

int EndProcessCalls() { return g_endCalls; }

std::vector<DrawOp> OpsOfKind(const Surface& s, DrawOp::Kind kind)
{
    std::vector<DrawOp> out;
    for (const DrawOp& op : s.Operations())
        if (op.kind == kind)
            out.push_back(op);
    return out;
}

QStringList PrintedTexts(const Surface& s)
{
    QStringList out;
    for (const DrawOp& op : OpsOfKind(s, DrawOp::Kind::Print))
        out << op.text;
    return out;
}
