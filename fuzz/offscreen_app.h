#pragma once
// The application object a fuzz target that draws or lays out text needs, created once on
// the offscreen platform so no display is needed.
#include <QGuiApplication>

inline QGuiApplication* offscreenApplication(const char* programName)
{
    static int argc = 1;
    static char name[64] = {};
    static char* argv[] = {name, nullptr};
    static QGuiApplication* instance = [programName] {
        qstrncpy(name, programName, sizeof name);
        qputenv("QT_QPA_PLATFORM", "offscreen");
        return new QGuiApplication(argc, argv);
    }();
    return instance;
}
