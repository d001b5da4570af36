#include "platform/x11/HeldKeys.h"

#include <QCoreApplication>
#include <QKeyEvent>

namespace {

// Qt tells a held key by the release and press pair the X server sends for
// each repeat, but only while the same window has the keyboard: when the
// message box opened by a key closes on its first repeat, the further
// repeats reach the window behind it as fresh presses; likewise the first
// repeat may reach a box just opened as a fresh press, its release having
// gone to the window behind. Such a pair carries one time stamp; no hand
// releases and presses a key within a millisecond.
class HeldKeyWatch final : public QObject {
public:
    static HeldKeyWatch& Instance()
    {
        static auto* watch = [] {
            auto* w = new HeldKeyWatch;
            QCoreApplication::instance()->installEventFilter(w);
            return w;
        }();
        return *watch;
    }

    bool IsRepeat(const QKeyEvent& press) const
    {
        return press.isAutoRepeat() ||
               (press.key() == releasedKey_ && press.timestamp() != 0 && press.timestamp() == releasedAt_);
    }

protected:
    bool eventFilter(QObject*, QEvent* event) override
    {
        if (event->type() == QEvent::KeyRelease) {
            const auto* key = static_cast<const QKeyEvent*>(event);
            releasedKey_ = key->key();
            releasedAt_ = key->timestamp();
        }
        return false;
    }

private:
    int releasedKey_ = 0;
    quint64 releasedAt_ = 0;
};

} // namespace

void WatchHeldKeys() { HeldKeyWatch::Instance(); }

bool IsHeldKeyRepeat(const QKeyEvent& press) { return HeldKeyWatch::Instance().IsRepeat(press); }
