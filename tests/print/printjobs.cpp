#include "tests/print/printjobs.h"

#include <cups/cups.h>

std::optional<QList<Job>> jobs(const QString& queue)
{
    ipp_t* request = ippNewRequest(IPP_OP_GET_JOBS);
    const QByteArray uri = "ipp://localhost/printers/" + queue.toUtf8();
    ippAddString(request, IPP_TAG_OPERATION, IPP_TAG_URI, "printer-uri", nullptr, uri.constData());
    ippAddString(request, IPP_TAG_OPERATION, IPP_TAG_KEYWORD, "which-jobs", nullptr, "all");
    static const char* const wanted[]
        = { "job-id", "job-state", "job-name", "copies", "print-color-mode", "print-quality" };
    ippAddStrings(request, IPP_TAG_OPERATION, IPP_TAG_KEYWORD, "requested-attributes", 6, nullptr, wanted);
    ipp_t* response = cupsDoRequest(CUPS_HTTP_DEFAULT, request, "/");
    if (!response || cupsLastError() > IPP_STATUS_OK_CONFLICTING) {
        ippDelete(response);
        return std::nullopt;
    }
    QList<Job> found;
    Job job;
    const auto flush = [&] {
        if (job.id != 0)
            found.append(job);
        job = Job {};
    };
    for (ipp_attribute_t* a = ippFirstAttribute(response); a; a = ippNextAttribute(response)) {
        const char* name = ippGetName(a);
        if (!name) {
            flush();
            continue;
        }
        const QLatin1String n(name);
        if (n == QLatin1String("job-id"))
            job.id = ippGetInteger(a, 0);
        else if (n == QLatin1String("job-state"))
            job.state = ippGetInteger(a, 0);
        else if (n == QLatin1String("job-name"))
            job.name = QString::fromUtf8(ippGetString(a, 0, nullptr));
        else if (n == QLatin1String("copies"))
            job.copies = ippGetInteger(a, 0);
        else if (n == QLatin1String("print-color-mode"))
            job.colorMode = QString::fromUtf8(ippGetString(a, 0, nullptr));
        else if (n == QLatin1String("print-quality"))
            job.quality = ippGetInteger(a, 0);
    }
    flush();
    ippDelete(response);
    return found;
}
