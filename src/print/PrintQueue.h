#pragma once
// What a CUPS queue says about itself and about a job sent to it, which Qt's
// printer classes do not tell: whether it takes jobs now, whether it is
// stopped and why, and whether a job was taken, waits or was given up. Also
// sends a finished PDF to a queue as one job, so its number is known.

#include <QByteArray>
#include <QString>

namespace printqueue {

struct QueueState {
    bool answered = false; // the print server knew the queue
    bool accepting = true;
    bool stopped = false;
    QString message;     // what the queue says of itself ("Papierstau"); may be empty
    QByteArray resource; // "/printers/NAME" or "/classes/NAME", as the server knows it
};

QueueState AskQueue(const QString& queue);

// A German sentence when the queue takes no jobs now; empty otherwise.
QString Refusal(const QString& queue, const QueueState& state);

enum class Fate {
    OnItsWay, // taken and being printed, or printed
    Waiting,  // taken, but the queue is stopped or holds it
    Failed,   // not taken, or given up
};

struct Sent {
    Fate fate = Fate::Failed;
    QString said; // a German sentence for Waiting and Failed
};

// How long a job is followed after it is handed over: long enough for a
// queue that fails at once to say so, short enough not to keep anyone waiting.
inline constexpr int kWatchMs = 4000;

// Sends the PDF in `fd` (from its start) to the queue as one job and watches
// it for up to `watchMs` milliseconds, until it is printed, given up or waits.
Sent SendPdf(const QString& queue, int fd, const QString& title, int watchMs);

// Around a job that Qt's own printing hands over (the print dialog's printer):
// asks the queue before, and looks for the job of ours it got afterwards. An
// empty queue name (printing into a file) asks nothing.
class JobAfter {
public:
    explicit JobAfter(const QString& queue);
    // Why the queue takes no job now; empty when it does.
    const QString& Refusal() const { return refusal_; }
    // What became of the job handed over since (Failed when none came).
    Sent Follow(int watchMs = kWatchMs) const;

private:
    QString queue_;
    QString refusal_;
    int before_ = 0;
};

} // namespace printqueue
