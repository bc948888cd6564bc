// bond-allocation-desk: the allocation panel in a window of its own, with the host's
// records kept in a SQLite file.
#include <QApplication>
#include <QCoreApplication>
#include <cstdlib>
#include <ctime>
#include <memory>

#include "CDeskApplication.h"
#include "CDeskTimings.h"

int main(int argc, char** argv)
{
    desk::CDeskTimings::instance().start();
    std::srand(static_cast<unsigned>(std::time(nullptr)));   // the fair distribution's leftovers differ per run
    QCoreApplication::setOrganizationName(QStringLiteral("BondAllocationDesk"));
    QCoreApplication::setApplicationName(QStringLiteral("bond-allocation-desk"));

    QStringList arguments;
    for (int i = 0; i < argc; ++i)
        arguments << QString::fromLocal8Bit(argv[i]);
    desk::CDeskApplication::logToStderr();
    // A screenshot, an export or an import needs no screen.
    if (desk::CDeskApplication::rendersOffscreen(arguments) && !desk::CDeskApplication::hasDisplay())
        qputenv("QT_QPA_PLATFORM", "offscreen");

    std::unique_ptr<QCoreApplication> app;
    if (desk::CDeskApplication::isHeadless(arguments))
        app.reset(new QCoreApplication(argc, argv));
    else if (!desk::CDeskApplication::hasDisplay())
        return desk::CDeskApplication::refuseWithoutDisplay();
    else
        app.reset(new QApplication(argc, argv));
    return desk::CDeskApplication::run(*app);
}
