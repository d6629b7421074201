// One GUI application for a whole test program, made before the first test
// on the main thread: fonts need it. A test program includes this from one
// of its files.
#pragma once

#include <QGuiApplication>
#include <gtest/gtest.h>

#include <cstdlib>
#include <memory>

namespace gditest {

class GuiApplicationEnvironment : public ::testing::Environment {
public:
  void SetUp() override {
    setenv("QT_QPA_PLATFORM", "offscreen", 0);
    static int argc = 1;
    static char name[] = "vexo_tests";
    static char* argv[] = {name, nullptr};
    app_ = std::make_unique<QGuiApplication>(argc, argv);
  }
  void TearDown() override { app_.reset(); }

private:
  std::unique_ptr<QGuiApplication> app_;
};

inline const auto* const kGuiEnvironment =
    ::testing::AddGlobalTestEnvironment(new GuiApplicationEnvironment);

} // namespace gditest
