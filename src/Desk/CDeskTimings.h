#pragma once
// Where the desk's start-up time goes: the phases of one run, timed from the moment main()
// began, printed to stderr when the desk is started with --timings. Each phase has its
// wall time and the UI thread's CPU time (which a machine busy with other work stretches
// less), and the process's peak and present resident memory when it ended.

#include <QElapsedTimer>
#include <cstdio>
#include <string>
#include <utility>
#include <vector>

class QWidget;

namespace desk {

class CDeskTimings {
public:
    // The one clock of the process, started by main() before the application object exists.
    static CDeskTimings& instance();
    void start();

    // Closes the phase that began at the previous mark (or at start) under this name.
    void mark(const char* phase);
    // Takes time already counted in the current phase out into a phase of its own (a part
    // measured by whoever did it, like the report view inside a bond load).
    void split(const char* part, qint64 nanoseconds, qint64 cpuNanoseconds);
    // Marks the phase once the widget's first paint, children included, is done.
    void markAfterFirstPaint(QWidget* widget, const char* phase);
    // One line per phase, "timings: <phase> <wall ms> ms cpu <ms> ms", then the total; then
    // one line per phase, "memory: <phase> peak <MiB> MiB now <MiB> MiB".
    void print(std::FILE* out) const;

    // Marks "close" and prints when it goes, if it was given a stream.
    class CPrintAtExit {
    public:
        explicit CPrintAtExit(std::FILE* out) : out_(out) {}
        ~CPrintAtExit();
        CPrintAtExit(const CPrintAtExit&) = delete;
        CPrintAtExit& operator=(const CPrintAtExit&) = delete;

    private:
        std::FILE* out_;   // not owned; null: print nothing
    };

    // The calling thread's CPU time so far.
    static qint64 threadCpuNanoseconds();

private:
    struct SSpan {
        qint64 wall = 0;
        qint64 cpu = 0;
    };
    SSpan now() const;
    static long peakResidentKiB();
    static long residentKiB();
    void addPhase(const char* name, const SSpan& span);

    QElapsedTimer clock_;
    SSpan started_;
    SSpan lastMark_;
    SSpan splitOff_;   // counted by split() since the last mark
    struct SPhase {
        std::string name;
        SSpan span;
        long peakKiB = 0;       // of the process, when the phase ended
        long residentKiB = 0;   // the same, resident then
    };
    std::vector<SPhase> phases_;
};

} // namespace desk
