#include "TestEnvironment.h"

#include "model/LocalizedStrings.h"

#include <QApplication>
#include <gtest/gtest.h>

int main(int argc, char** argv) {
    TestEnvironment::setUp();
    ::testing::InitGoogleTest(&argc, argv);
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    int result = 0;
    {
        QApplication application(argc, argv);
        QApplication::setOrganizationName(QStringLiteral("Tonebridge"));
        QApplication::setApplicationName(QStringLiteral("Tonebridge"));
        TestEnvironment::settings();
        LocalizedStrings::install();
        result = RUN_ALL_TESTS();
    }
    TestEnvironment::tearDown();
    return result;
}
