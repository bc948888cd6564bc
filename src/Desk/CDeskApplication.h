#pragma once
// The desk's start-up: command line, scenario, database, store, then the window, a
// screenshot, a dump of one bond's stored allocation, or a CSV export or import.

#include <QString>
#include <QStringList>

class QCoreApplication;

namespace desk {

struct SDeskOptions {
    QString dbPath;           // empty: the file in the user's data directory
    QString scenarioPath;     // empty: the built-in sample
    QString screenshotPath;   // render the window into this file and exit
    QString bondCode;         // bond shown first; empty: the scenario's default
    QString dumpBondCode;     // print this bond's stored allocation as JSON and exit
    QString exportPath;       // write table three of --bond to this CSV file and exit
    QString importPath;       // load this CSV file into --bond, save and exit
    bool timings = false;     // print the start-up's phase times to stderr at the end
    QString historyBondCode;  // print this bond's allocation history as JSON and exit
};

class CDeskApplication {
public:
    enum EExitStatus { ES_OK = 0, ES_FAILED = 1, ES_BAD_INPUT = 2, ES_REFUSED = 3 };

    // Reads the options; false with a message for an unknown option or a missing value.
    static bool parseOptions(const QStringList& arguments, SDeskOptions* out, QString* error);
    // Whether the options need no window (the caller may then start without a display).
    static bool isHeadless(const QStringList& arguments);
    // Whether the options draw the panel without a screen (a screenshot, an export, an import).
    static bool rendersOffscreen(const QStringList& arguments);
    // Whether a window can be shown: a display, or a Qt platform chosen by the environment.
    static bool hasDisplay();
    // Says that the window needs a display (and how to do without one); the exit status.
    static int refuseWithoutDisplay();
    // Qt's own texts (the standard buttons' 确定 and 取消, its dialogs) in Chinese, whatever
    // the user's locale, as every other text of the desk; false when they are not installed.
    static bool installQtTranslations();
    // Log lines go to stderr, never among the output on stdout (a dump, the help).
    static void logToStderr();

    // Runs the desk and returns the process exit status; errors go to stderr.
    static int run(QCoreApplication& app);
};

} // namespace desk
