// A desk file the user may read but not write: the desk refuses it with its reason and
// leaves it as it was, rather than showing an allocation it could never save.
//
// Root writes through file modes, so as root the opening runs in a child process that
// has dropped to the unprivileged user "nobody".

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <sqlite3.h>

#include <pwd.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include "CDeskDatabase.h"

using namespace desk;

namespace {

// The desk's answer for the file, as an unprivileged user: *refused is set when it did
// not open it, and the text is its error.
QString errorWithoutPrivileges(const QString& path, bool* refused)
{
    int fds[2];
    if (pipe(fds) != 0)
        return QStringLiteral("no pipe");
    const pid_t pid = fork();
    if (pid == 0) {
        close(fds[0]);
        const passwd* nobody = getpwnam("nobody");
        if (geteuid() == 0 && (!nobody || setgid(nobody->pw_gid) != 0 || setuid(nobody->pw_uid) != 0))
            _exit(3);
        QString error;
        const bool opened = static_cast<bool>(CDeskDatabase::open(path, &error));
        const QByteArray text = error.toUtf8();
        const bool written = write(fds[1], text.constData(), static_cast<size_t>(text.size())) == text.size();
        _exit(opened ? 1 : written ? 0 : 4);
    }
    close(fds[1]);
    QByteArray text;
    char buffer[512];
    for (ssize_t n; (n = read(fds[0], buffer, sizeof buffer)) > 0;)
        text.append(buffer, static_cast<int>(n));
    close(fds[0]);
    int status = 0;
    waitpid(pid, &status, 0);
    *refused = WIFEXITED(status) && WEXITSTATUS(status) == 0;
    return WIFEXITED(status) && WEXITSTATUS(status) == 3 ? QStringLiteral("could not drop to the user nobody")
                                                         : QString::fromUtf8(text);
}

QByteArray contentsOf(const QString& path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

} // namespace

TEST(ReadOnlyDeskFile, shouldRefuseAFileOrFolderItCannotWriteAndLeaveItUntouched)
{
    // Given a desk file made by an earlier run
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString path = QDir(dir.path()).filePath(QStringLiteral("desk.sqlite"));
    {
        QString error;
        ASSERT_TRUE(CDeskDatabase::open(path, &error)) << error.toStdString();
    }
    const QByteArray before = contentsOf(path);
    ASSERT_EQ(chmod(QFile::encodeName(dir.path()).constData(), 0755), 0);

    struct SCase { const char* what; mode_t fileMode; mode_t dirMode; const char* expected; };
    const SCase cases[] = {
        // the file is in WAL mode: even reading needs the shared-memory file beside it
        {"read-only file", 0444, 0755, "数据库为只读"},
        {"read-only folder", 0666, 0555, "数据库为只读"},
    };
    for (const SCase& c : cases) {
        SCOPED_TRACE(c.what);
        chmod(QFile::encodeName(path).constData(), c.fileMode);
        chmod(QFile::encodeName(dir.path()).constData(), c.dirMode);

        // When the desk opens it without the right to write
        bool refused = false;
        const QString error = errorWithoutPrivileges(path, &refused);

        // Then it is refused, naming the file and the reason, and left as it was
        EXPECT_TRUE(refused) << error.toStdString();
        EXPECT_TRUE(error.startsWith(path + QStringLiteral(": "))) << error.toStdString();
        EXPECT_TRUE(error.contains(QString::fromUtf8(c.expected))) << error.toStdString();
        EXPECT_EQ(contentsOf(path), before);
    }
    chmod(QFile::encodeName(dir.path()).constData(), 0755);
    chmod(QFile::encodeName(path).constData(), 0644);
}
