#pragma once
// The thread that carries the local record to the school's server. The
// child's program only ever writes the local SQLite file; this thread reads
// it through the store's reading open, and sends what the server does not
// hold yet in batches, one transaction each. Every row carries the identity
// it was given when it was recorded (a time-ordered random id), and the
// server drops a row it already has: whatever fails when, and wherever a
// copy of the record sends from, each answer arrives exactly once.
//
// The server's connection is made to send and closed as soon as nothing
// waits, so a room of idle computers holds none of the server's slots.
// Every wait is bounded: the connection's keepalives and TCP timeout, the
// server's statement timeout, and a guard that tells a send taking too long
// in the state ("wartet seit …") and at last cuts its connection.

#include "school/School.h"

#include <QString>
#include <QThread>

#include <chrono>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <thread>

namespace history {
class HistoryStore;
}

namespace school {

class SchoolSender : public QThread {
public:
    struct Options {
        QString recordPath;
        QString statePath;
        QString connection;
        QString klasse;
        QString computer;
        int retrySeconds = 30; // after a failure (shortened at random, so a room does not retry at once)
        int batch = 500;
        int slowSeconds = 15; // a send taking longer is told in the state
        int cutSeconds = 60;  // then its connection is cut and it counts as failed
    };

    explicit SchoolSender(Options options);
    ~SchoolSender() override;

    // Something new may be in the local record. Any thread.
    void Wake();
    // Asks for a last attempt and waits for the thread at most `ms`; true
    // when it has ended. Otherwise the send still under way is cut off, so
    // the thread ends soon after (at the latest when a connection attempt
    // times out).
    bool StopWithin(int ms);

protected:
    void run() override;

private:
    enum class Result { Sent, NothingToSend, Failed };
    // Sends everything waiting, batch by batch; with `send` false only counts what waits.
    Result SendAll(bool send);
    bool OpenRecord();
    bool OpenServer(QString& why);
    void CloseServer();
    // The state file, written under the lock shared with the guard; false when it could not be written.
    bool Publish(const SendState& st);
    void Guard();
    // Shuts the server connection's socket down, so a blocked call returns. Under mutex_.
    void CutLocked();
    // Marks the beginning (and end) of a call to the server, for the guard.
    void Busy(bool on);

    const Options options_;
    const QString serverConnection_;
    std::unique_ptr<history::HistoryStore> record_;
    SendState memory_; // what this run knows was sent, should the state file not be writable

    std::mutex mutex_;
    std::condition_variable wake_;
    bool woken_ = false;
    bool stopping_ = false;
    // The guard's view of the send under way.
    std::condition_variable guardWake_;
    std::thread guard_;
    bool guardEnd_ = false;
    bool busy_ = false;
    bool told_ = false; // the state already says the send waits
    bool cut_ = false;
    std::chrono::steady_clock::time_point busySince_;
    int socket_ = -1;
    SendState published_;
    std::mutex stateMutex_;
};

} // namespace school
