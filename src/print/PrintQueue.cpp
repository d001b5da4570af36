#include "print/PrintQueue.h"

#include <QByteArray>
#include <QElapsedTimer>
#include <QStringList>
#include <QThread>

#include <algorithm>
#include <initializer_list>
#include <vector>

#include <cups/cups.h>
#include <unistd.h>

namespace printqueue {

namespace {

// A question to the print server about one printer, class or job.
ipp_t* Ask(ipp_op_t operation, const char* uriName, const QByteArray& uri, std::initializer_list<const char*> wanted)
{
    ipp_t* request = ippNewRequest(operation);
    ippAddString(request, IPP_TAG_OPERATION, IPP_TAG_URI, uriName, nullptr, uri.constData());
    const std::vector<const char*> names(wanted);
    ippAddStrings(request, IPP_TAG_OPERATION, IPP_TAG_KEYWORD, "requested-attributes", static_cast<int>(names.size()),
                  nullptr, names.data());
    ipp_t* response = cupsDoRequest(CUPS_HTTP_DEFAULT, request, "/");
    if (cupsLastError() > IPP_STATUS_OK_EVENTS_COMPLETE) {
        ippDelete(response);
        return nullptr;
    }
    return response;
}

QByteArray Uri(const QByteArray& resource)
{
    char uri[HTTP_MAX_URI];
    httpAssembleURI(HTTP_URI_CODING_ALL, uri, sizeof uri, "ipp", nullptr, "localhost", ippPort(), resource.constData());
    return uri;
}

QString Text(ipp_t* response, const char* name)
{
    ipp_attribute_t* attribute = ippFindAttribute(response, name, IPP_TAG_ZERO);
    return attribute ? QString::fromUtf8(ippGetString(attribute, 0, nullptr)).trimmed() : QString();
}

int Number(ipp_t* response, const char* name)
{
    ipp_attribute_t* attribute = ippFindAttribute(response, name, IPP_TAG_ZERO);
    return attribute ? ippGetInteger(attribute, 0) : 0;
}

// What a person gave as the reason ("Papierstau"); CUPS's own stock words,
// which are English and say no more than the sentence, are left out.
QString Reason(const QString& message)
{
    static const QStringList stock{QStringLiteral("Rejecting Jobs"), QStringLiteral("Accepting Jobs"),
                                   QStringLiteral("Paused"), QStringLiteral("Stopped"), QStringLiteral("Ready")};
    if (message.isEmpty() || stock.contains(message, Qt::CaseInsensitive))
        return QString();
    return QStringLiteral(": ") + message;
}

QString Technical(const QString& detail)
{
    return detail.isEmpty() ? QString() : QStringLiteral("\nTechnische Angabe: ") + detail;
}

QString NotTaken(const QString& queue)
{
    if (cupsLastError() == IPP_STATUS_ERROR_NOT_ACCEPTING_JOBS) {
        QueueState state = AskQueue(queue);
        state.accepting = false;
        return Refusal(queue, state);
    }
    return QStringLiteral("Der Drucker „%1“ hat den Auftrag nicht angenommen.").arg(queue)
        + Technical(QString::fromUtf8(cupsLastErrorString()));
}

// Follows a job until it is printed, given up or found waiting, for up to `watchMs`.
Sent Watch(const QString& queue, int job, int watchMs)
{
    QElapsedTimer clock;
    clock.start();
    for (;;) {
        ipp_t* response = Ask(IPP_OP_GET_JOB_ATTRIBUTES, "job-uri", Uri("/jobs/" + QByteArray::number(job)),
                              {"job-state", "job-printer-state-message"});
        const int state = Number(response, "job-state");
        const QString message = Text(response, "job-printer-state-message");
        const bool forgotten = !response && cupsLastError() == IPP_STATUS_ERROR_NOT_FOUND;
        ippDelete(response);
        // A server that keeps no history forgets a job once it is printed.
        if (forgotten)
            return {Fate::OnItsWay, {}};
        if (state == IPP_JSTATE_CANCELED || state == IPP_JSTATE_ABORTED)
            return {Fate::Failed,
                    QStringLiteral("Der Drucker „%1“ hat den Auftrag abgebrochen.").arg(queue) + Technical(message)};
        if (state == IPP_JSTATE_COMPLETED)
            return {Fate::OnItsWay, {}};
        const QueueState printer = AskQueue(queue);
        if (printer.stopped || state == IPP_JSTATE_STOPPED)
            return {Fate::Waiting, QStringLiteral("Der Drucker „%1“ ist angehalten%2. Der Auftrag wartet, bis er "
                                                  "wieder druckt.")
                                       .arg(queue, Reason(printer.message))};
        if (state == IPP_JSTATE_HELD)
            return {Fate::Waiting, QStringLiteral("Der Drucker „%1“ hält den Auftrag zurück; gedruckt wird er "
                                                  "erst, wenn er freigegeben ist.")
                                           .arg(queue)
                                       + Technical(message)};
        if (clock.elapsed() >= watchMs)
            return {Fate::OnItsWay, {}};
        QThread::msleep(100);
    }
}

} // namespace

QueueState AskQueue(const QString& queue)
{
    QueueState state;
    for (const char* kind : {"/printers/", "/classes/"}) {
        const QByteArray resource = kind + queue.toUtf8();
        ipp_t* response = Ask(IPP_OP_GET_PRINTER_ATTRIBUTES, "printer-uri", Uri(resource),
                              {"printer-state", "printer-state-message", "printer-is-accepting-jobs"});
        if (!response)
            continue;
        state.answered = true;
        state.resource = resource;
        if (ipp_attribute_t* accepting = ippFindAttribute(response, "printer-is-accepting-jobs", IPP_TAG_BOOLEAN))
            state.accepting = ippGetBoolean(accepting, 0);
        state.stopped = Number(response, "printer-state") == IPP_PSTATE_STOPPED;
        state.message = Text(response, "printer-state-message");
        ippDelete(response);
        break;
    }
    return state;
}

QString Refusal(const QString& queue, const QueueState& state)
{
    if (!state.answered || state.accepting)
        return QString();
    return QStringLiteral("Der Drucker „%1“ nimmt gerade keine Aufträge an%2.").arg(queue, Reason(state.message));
}

Sent SendPdf(const QString& queue, int fd, const QString& title, int watchMs)
{
    // One Print-Job request: the print server makes the job only once the
    // whole document has arrived, so an interrupted program leaves no job behind.
    QByteArray resource = AskQueue(queue).resource;
    if (resource.isEmpty())
        resource = "/printers/" + queue.toUtf8();
    ipp_t* request = ippNewRequest(IPP_OP_PRINT_JOB);
    ippAddString(request, IPP_TAG_OPERATION, IPP_TAG_URI, "printer-uri", nullptr, Uri(resource).constData());
    ippAddString(request, IPP_TAG_OPERATION, IPP_TAG_NAME, "requesting-user-name", nullptr, cupsUser());
    ippAddString(request, IPP_TAG_OPERATION, IPP_TAG_NAME, "job-name", nullptr, title.toUtf8().constData());
    ippAddString(request, IPP_TAG_OPERATION, IPP_TAG_MIMETYPE, "document-format", nullptr, CUPS_FORMAT_PDF);
    ::lseek(fd, 0, SEEK_SET);
    ipp_t* response = cupsDoIORequest(CUPS_HTTP_DEFAULT, request, resource.constData(), fd, -1);
    const int job = cupsLastError() <= IPP_STATUS_OK_EVENTS_COMPLETE ? Number(response, "job-id") : 0;
    ippDelete(response);
    if (job <= 0)
        return {Fate::Failed, NotTaken(queue)};
    return Watch(queue, job, watchMs);
}

namespace {

int NewestJob(const QString& queue)
{
    cups_job_t* jobs = nullptr;
    const int count = cupsGetJobs2(CUPS_HTTP_DEFAULT, &jobs, queue.toUtf8().constData(), 1, CUPS_WHICHJOBS_ALL);
    int newest = 0;
    for (int i = 0; i < count; ++i)
        newest = std::max(newest, jobs[i].id);
    cupsFreeJobs(count, jobs);
    return newest;
}

} // namespace

JobAfter::JobAfter(const QString& queue) : queue_(queue)
{
    if (queue_.isEmpty())
        return;
    refusal_ = printqueue::Refusal(queue_, AskQueue(queue_));
    before_ = NewestJob(queue_);
}

Sent JobAfter::Follow(int watchMs) const
{
    if (queue_.isEmpty())
        return {Fate::OnItsWay, {}};
    const int job = NewestJob(queue_);
    if (job > before_)
        return Watch(queue_, job, watchMs);
    const QString refusal = printqueue::Refusal(queue_, AskQueue(queue_));
    return {Fate::Failed, refusal.isEmpty()
                              ? QStringLiteral("Der Drucker „%1“ hat den Auftrag nicht angenommen.").arg(queue_)
                              : refusal};
}

} // namespace printqueue
