#include <gtest/gtest.h>

#include <QApplication>

#include "ScriptedPrompt.h"

int main(int argc, char** argv) {
    // Test discovery runs the program outside ctest's environment too.
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    testing::InitGoogleTest(&argc, argv);
    QApplication app(argc, argv);
    // Expects nothing: a prompt outside a test's own script fails that test instead of
    // waiting for a click that never comes.
    CScriptedPrompt strict;
    return RUN_ALL_TESTS();
}
