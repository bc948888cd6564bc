#include "CDeskTimings.h"

#include <QByteArray>
#include <QEvent>
#include <QTimer>
#include <QWidget>
#include <sys/resource.h>
#include <time.h>
#include <unistd.h>

namespace desk {

namespace {

// A widget's children paint after it in the same pass: the pass is over when the events
// queued during it come up.
class CFirstPaintWatch : public QObject {
public:
    CFirstPaintWatch(QWidget* widget, const char* phase) : QObject(widget), phase_(phase)
    {
        widget->installEventFilter(this);
    }
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (event->type() == QEvent::Paint && !seen_) {
            seen_ = true;
            watched->removeEventFilter(this);
            QTimer::singleShot(0, this, [this] {
                CDeskTimings::instance().mark(phase_);
                deleteLater();
            });
        }
        return false;
    }

private:
    const char* phase_;
    bool seen_ = false;
};

} // namespace

CDeskTimings& CDeskTimings::instance()
{
    static CDeskTimings timings;
    return timings;
}

qint64 CDeskTimings::threadCpuNanoseconds()
{
    timespec t{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
    return static_cast<qint64>(t.tv_sec) * 1000000000 + t.tv_nsec;
}

CDeskTimings::SSpan CDeskTimings::now() const
{
    return {clock_.nsecsElapsed(), threadCpuNanoseconds()};
}

long CDeskTimings::peakResidentKiB()
{
    rusage usage{};
    return getrusage(RUSAGE_SELF, &usage) == 0 ? usage.ru_maxrss : 0;
}

long CDeskTimings::residentKiB()
{
    // statm: total and resident size in pages
    long pages = 0, resident = 0;
    std::FILE* statm = std::fopen("/proc/self/statm", "r");
    if (statm) {
        if (std::fscanf(statm, "%ld %ld", &pages, &resident) != 2)
            resident = 0;
        std::fclose(statm);
    }
    return resident * (sysconf(_SC_PAGESIZE) / 1024);
}

void CDeskTimings::addPhase(const char* name, const SSpan& span)
{
    phases_.push_back({name, span, peakResidentKiB(), residentKiB()});
}

void CDeskTimings::start()
{
    clock_.start();
    started_ = lastMark_ = now();
    splitOff_ = SSpan();
    phases_.clear();
}

void CDeskTimings::mark(const char* phase)
{
    if (!clock_.isValid())
        return;
    const SSpan at = now();
    addPhase(phase, SSpan{at.wall - lastMark_.wall - splitOff_.wall, at.cpu - lastMark_.cpu - splitOff_.cpu});
    lastMark_ = at;
    splitOff_ = SSpan();
}

void CDeskTimings::split(const char* part, qint64 nanoseconds, qint64 cpuNanoseconds)
{
    if (!clock_.isValid())
        return;
    addPhase(part, SSpan{nanoseconds, cpuNanoseconds});
    splitOff_.wall += nanoseconds;
    splitOff_.cpu += cpuNanoseconds;
}

void CDeskTimings::markAfterFirstPaint(QWidget* widget, const char* phase)
{
    new CFirstPaintWatch(widget, phase);   // owned by the widget until it has marked
}

void CDeskTimings::print(std::FILE* out) const
{
    // printf's %f would follow the process locale (a comma under de_DE).
    const auto ms = [](qint64 nanoseconds) { return QByteArray::number(nanoseconds / 1e6, 'f', 3); };
    const auto line = [out, &ms](const std::string& phase, const SSpan& span) {
        std::fprintf(out, "timings: %s %s ms cpu %s ms\n", phase.c_str(), ms(span.wall).constData(),
                     ms(span.cpu).constData());
    };
    for (const SPhase& phase : phases_)
        line(phase.name, phase.span);
    line("total", SSpan{lastMark_.wall - started_.wall, lastMark_.cpu - started_.cpu});
    for (const SPhase& phase : phases_)
        std::fprintf(out, "memory: %s peak %s MiB now %s MiB\n", phase.name.c_str(),
                     QByteArray::number(phase.peakKiB / 1024.0, 'f', 1).constData(),
                     QByteArray::number(phase.residentKiB / 1024.0, 'f', 1).constData());
    std::fflush(out);
}

CDeskTimings::CPrintAtExit::~CPrintAtExit()
{
    if (!out_)
        return;
    CDeskTimings::instance().mark("close");
    CDeskTimings::instance().print(out_);
}

} // namespace desk
