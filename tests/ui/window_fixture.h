#pragma once

#include <gtest/gtest.h>

#include <QApplication>
#include <QTest>
#include <functional>
#include <memory>

#include "app/program.h"
#include "event_loop_wait.h"
#include "fixtures/held_clipboard.h"
#include "fixtures/recording_dialogs.h"
#include "fixtures/temp_dir.h"
#include "ui/main_window.h"
#include "ui/qt_text.h"

namespace clipmill::ui::testing {

// A program in a temporary program folder with its main window shown (offscreen).
class WindowTest : public ::testing::Test {
protected:
    void SetUp() override {
        program = std::make_unique<Program>(ProgramFile{dir.path(), "clipmill"}, Desktop{dialogs, clipboard, [] { return ScreenSize{1920, 1080}; }});
        program->prepareMainWindow();
        window = std::make_unique<MainWindow>(*program);
        window->setTerminate([this](int exitCode) { exitCodes.push_back(exitCode); });
        window->show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(window.get()));
    }

    void TearDown() override {
        window.reset();
        program.reset();
    }

    template <typename T = QWidget>
    T* widget(const std::string& name) const {
        return window->findChild<T*>(toQt(name));
    }

    // Processes events until the condition holds, for at most `ms` milliseconds.
    static ::testing::AssertionResult waitUntil(const std::function<bool()>& condition, int ms = 5000) {
        return clipmill::testing::waitUntil(condition, ms);
    }

    clipmill::testing::TempDir dir;
    clipmill::testing::RecordingDialogs dialogs;
    clipmill::testing::HeldClipboard clipboard;
    std::unique_ptr<Program> program;
    std::unique_ptr<MainWindow> window;
    std::vector<int> exitCodes;  // each time the window ended the program
};

}  // namespace clipmill::ui::testing
