// Delivery on the Qt event loop across the life of several application
// objects: a program (or a test) may end its application and make another.
#include "platform/win/dispatch.h"
#include "platform/win/loop.h"
#include "platform/win/tests/support/fn_window.h"
#include "platform/win/tests/support/test_session.h"
#include "platform/win/window.h"

#include <QCoreApplication>
#include <QTimer>
#include <gtest/gtest.h>

#include <memory>
#include <thread>

using namespace win;
using namespace wintest;

namespace {

constexpr uint32_t kItem = WM_USER + 40;

TEST(QtLoop, EachNewApplicationStillDeliversPosts) {
  StartTestSession();
  static int argc = 1;
  static char name[] = "win_tests";
  static char* argv[] = {name, nullptr};
  for (int round = 0; round < 3; ++round) {
    auto app = std::make_unique<QCoreApplication>(argc, argv);
    int seen = 0;
    const std::string cls = "QtLoopSink" + std::to_string(round);
    ASSERT_TRUE(RegisterFnClass(cls, [&](Hwnd, uint32_t message, WParam, LParam) -> LResult {
      if (message == kItem && ++seen == 100)
        QCoreApplication::quit();
      return 0;
    }));
    Hwnd sink = MakeWindow(cls);
    ASSERT_NE(sink, 0u);
    std::thread poster([&] {
      for (int i = 0; i < 100; ++i)
        PostMessage(sink, kItem, i);
    });
    // The application's own loop delivers, not ours; the timer only bounds
    // a failure.
    QTimer::singleShot(10000, [] { QCoreApplication::exit(1); });
    EXPECT_EQ(QCoreApplication::exec(), 0) << "round " << round;
    poster.join();
    EXPECT_EQ(seen, 100) << "round " << round;
    DestroyWindow(sink);
    app.reset();
  }
}

} // namespace
