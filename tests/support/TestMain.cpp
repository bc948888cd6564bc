// Shared main of the test programs: a QApplication (offscreen by default) around GoogleTest.
#include <QApplication>
#include <gtest/gtest.h>

#include "services/HostStore.h"

int main(int argc, char** argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    // The tests read back the calls the panel made to the host.
    ttservice::CHostStore::instance().setKeepsCalls(true);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
