// One GUI application for the whole test program, made before the first
// test on the main thread: fonts need it.
#include <QGuiApplication>
#include <gtest/gtest.h>

#include <cstdlib>
#include <memory>

namespace {

class GuiApplicationEnvironment : public ::testing::Environment {
public:
  void SetUp() override {
    setenv("QT_QPA_PLATFORM", "offscreen", 0);
    static int argc = 1;
    static char name[] = "lyric_tests";
    static char* argv[] = {name, nullptr};
    app_ = std::make_unique<QGuiApplication>(argc, argv);
  }
  void TearDown() override { app_.reset(); }

private:
  std::unique_ptr<QGuiApplication> app_;
};

const auto* const kEnvironment = ::testing::AddGlobalTestEnvironment(new GuiApplicationEnvironment);

} // namespace
