#pragma once
// The one application object of a benchmark program that draws: offscreen (unless
// QT_QPA_PLATFORM says otherwise), with the fixed
// font and the built-in texts and pictures the screens load, made on first use.
#include "resources/BuiltInBitmaps.h"
#include "resources/BuiltInStrings.h"

#include <QApplication>
#include <QFont>

inline QApplication& BenchApp()
{
    static int argc = 1;
    static char name[] = "bench";
    static char* argv[] = {name, nullptr};
    static QApplication* app = []
    {
        // Offscreen unless the run names a platform (xcb: timing on a real X server).
        if (!qEnvironmentVariableIsSet("QT_QPA_PLATFORM"))
            qputenv("QT_QPA_PLATFORM", "offscreen");
        auto* a = new QApplication(argc, argv);
        QApplication::setFont(QFont(QStringLiteral("DejaVu Sans"), 9));
        RegisterBuiltInStrings();
        RegisterBuiltInBitmaps();
        return a;
    }();
    return *app;
}
