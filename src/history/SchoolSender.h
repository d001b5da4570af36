#pragma once
// The thread that carries the local record to the school's server. The
// child's program only ever writes the local SQLite file; this thread, with
// connections of its own, reads what the server does not hold yet and sends
// it in batches, one transaction each. Every row carries the local record's
// id and its row number there, and the server drops a row it already has,
// so whatever fails when, each answer arrives exactly once. It also
// checkpoints the local record's log, which the child's thread no longer does.

#include "history/School.h"

#include <QString>
#include <QThread>

#include <condition_variable>
#include <mutex>

namespace school {

class SchoolSender : public QThread {
public:
    struct Options {
        QString recordPath;
        QString statePath;
        QString connection;
        QString klasse;
        QString computer;
        int retrySeconds = 30; // after a failure; also the longest sleep while all is sent
        int batch = 500;
    };

    explicit SchoolSender(Options options);
    ~SchoolSender() override;

    // Something new may be in the local record. Any thread.
    void Wake();
    // Asks for a last attempt and waits for the thread at most `ms`; true when it has ended.
    bool StopWithin(int ms);

protected:
    void run() override;

private:
    enum class Result { Sent, NothingToSend, Failed };
    // Sends everything waiting, batch by batch.
    Result SendAll();
    bool OpenRecord();
    bool OpenServer(QString& why);
    void Fail(SendState& st, const QString& why);

    const Options options_;
    const QString recordConnection_;
    const QString serverConnection_;
    std::mutex mutex_;
    std::condition_variable wake_;
    bool woken_ = false;
    bool stopping_ = false;
};

} // namespace school
