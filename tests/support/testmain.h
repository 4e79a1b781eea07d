#pragma once

#include "testprofile.h"

#include <QTest>
#ifdef QT_WIDGETS_LIB
#include <QApplication>
using TestApplication = QApplication;
#else
#include <QCoreApplication>
using TestApplication = QCoreApplication;
#endif

// Like QTEST_MAIN, but the whole test runs in a fresh profile (see TestProfile) with the
// organisation and application name that the program sets.
#define TARNWICK_TEST_MAIN(TestObject)                                                                                 \
    int main(int argc, char *argv[])                                                                                   \
    {                                                                                                                  \
        TestProfile profile;                                                                                           \
        QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts); /* for the web views */                            \
        TestApplication app(argc, argv);                                                                               \
        QCoreApplication::setOrganizationName(QStringLiteral("Tarnwick"));                                             \
        QCoreApplication::setApplicationName(QStringLiteral("Tarnwick"));                                              \
        TestObject tc;                                                                                                 \
        QTEST_SET_MAIN_SOURCE_PATH                                                                                     \
        return QTest::qExec(&tc, argc, argv);                                                                          \
    }
