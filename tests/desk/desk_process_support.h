#pragma once
// Runs the desk executable as a separate process, offscreen, with a home of its own so
// that the user's settings and data stay untouched.

#include <QProcess>
#include <QProcessEnvironment>
#include <QStringList>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace desktest {

struct SDeskRun {
    int exitCode = -1;   // -1: crashed or did not finish
    QString out;
    QString err;
};

// withDisplay false: as on a machine without any display.
inline SDeskRun runDesk(const QTemporaryDir& home, const QStringList& arguments, bool withDisplay = true)
{
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    for (const char* variable : {"QT_QPA_PLATFORM", "DISPLAY", "WAYLAND_DISPLAY"})
        env.remove(QLatin1String(variable));
    if (withDisplay)
        env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    env.insert(QStringLiteral("HOME"), home.path());
    env.insert(QStringLiteral("XDG_CONFIG_HOME"), home.filePath(QStringLiteral("config")));
    env.insert(QStringLiteral("XDG_DATA_HOME"), home.filePath(QStringLiteral("data")));
    QProcess desk;
    desk.setProcessEnvironment(env);
    desk.start(QStringLiteral(BTA_DESK_EXECUTABLE), arguments);
    SDeskRun run;
    if (!desk.waitForFinished(120000)) {
        desk.kill();
        desk.waitForFinished();
        ADD_FAILURE() << "the desk did not finish: " << arguments.join(' ').toStdString();
        return run;
    }
    run.exitCode = desk.exitStatus() == QProcess::NormalExit ? desk.exitCode() : -1;
    run.out = QString::fromUtf8(desk.readAllStandardOutput());
    run.err = QString::fromUtf8(desk.readAllStandardError());
    return run;
}

} // namespace desktest
