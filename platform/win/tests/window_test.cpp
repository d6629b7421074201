// Window classes, the life of a window and its object, parents, titles and
// the search within one process.
#include "platform/sys/log.h"
#include "platform/win/dispatch.h"
#include "platform/win/loop.h"
#include "platform/win/tests/support/fn_window.h"
#include "platform/win/tests/support/test_session.h"
#include "platform/win/window.h"

#include <gtest/gtest.h>

#include <set>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

using namespace win;
using namespace wintest;

namespace {

class WindowTest : public ::testing::Test {
protected:
  void SetUp() override { StartTestSession(); }
};

// Logs every lifecycle message as "<tag>:<message>" and its own deletion.
class LoggingWindow : public Window {
public:
  LoggingWindow(std::string tag, std::vector<std::string>& log) : tag_(std::move(tag)), log_(log) {}
  ~LoggingWindow() override { log_.push_back(tag_ + ":deleted"); }
  LResult WindowProc(uint32_t message, WParam wParam, LParam lParam) override {
    switch (message) {
    case WM_NCCREATE:
      log_.push_back(tag_ + ":nccreate");
      return ncCreateResult;
    case WM_CREATE:
      log_.push_back(tag_ + ":create");
      created = *AsCreateStruct(lParam);
      createdTitle = std::string(created.title);
      return createResult;
    case WM_DESTROY:
      log_.push_back(tag_ + ":destroy");
      return 0;
    case WM_NCDESTROY:
      log_.push_back(tag_ + ":ncdestroy");
      return 0;
    default:
      return Window::WindowProc(message, wParam, lParam);
    }
  }
  void Detached() override { log_.push_back(tag_ + ":detached"); }

  LResult ncCreateResult = 1;
  LResult createResult = 0;
  CreateStruct created;
  std::string createdTitle;

private:
  std::string tag_;
  std::vector<std::string>& log_;
};

TEST_F(WindowTest, ClassesAreRegisteredOnceByNameWithoutRegardToCase) {
  auto factory = [] { return std::make_unique<Window>(); };
  EXPECT_FALSE(RegisterClass({"", 0, factory}));
  EXPECT_FALSE(RegisterClass({"NoFactory", 0, nullptr}));
  EXPECT_TRUE(RegisterClass({"CStaff", 0, factory}));
  EXPECT_FALSE(RegisterClass({"cstaff", 0, factory}));
  EXPECT_TRUE(IsClassRegistered("CSTAFF"));
  EXPECT_EQ(MakeWindow("NoSuchClass"), 0u);

  Hwnd h = MakeWindow("cStaff");
  ASSERT_NE(h, 0u);
  EXPECT_EQ(GetClassName(h), std::optional<std::string>("CStaff"));
  EXPECT_TRUE(DestroyWindow(h));

  EXPECT_TRUE(UnregisterClass("CStaff"));
  EXPECT_FALSE(UnregisterClass("CStaff"));
  EXPECT_EQ(MakeWindow("CStaff"), 0u);
}

TEST_F(WindowTest, ObjectsLiveFromCreationToNcDestroyInOrder) {
  std::vector<std::string> log;
  int made = 0;
  RegisterClass({"LifeParent", 0, [&] {
                   ++made;
                   return std::make_unique<LoggingWindow>("parent", log);
                 }});
  RegisterClass({"LifeChild", 0, [&] {
                   ++made;
                   return std::make_unique<LoggingWindow>("child", log);
                 }});

  CreateParams p;
  p.className = "LifeParent";
  p.title = "MESSAGE";
  p.createParam = 4242;
  p.style = WS_POPUP;
  p.width = 10;
  Hwnd parent = CreateWindow(p);
  ASSERT_NE(parent, 0u);
  auto* object = static_cast<LoggingWindow*>(GetWindowObject(parent));
  ASSERT_NE(object, nullptr);
  EXPECT_EQ(object->GetHwnd(), parent);
  EXPECT_EQ(object->created.createParam, 4242);
  EXPECT_EQ(object->created.width, 10);
  EXPECT_EQ(object->createdTitle, "MESSAGE");

  CreateParams c;
  c.className = "LifeChild";
  c.parent = parent;
  c.id = 2000;
  Hwnd child = CreateWindow(c);
  ASSERT_NE(child, 0u);
  EXPECT_NE(child, parent);
  EXPECT_EQ(GetParent(child), parent);
  EXPECT_EQ(GetDlgCtrlId(child), 2000u);
  EXPECT_EQ(made, 2);

  log.clear();
  EXPECT_TRUE(DestroyWindow(parent));
  EXPECT_EQ(log, (std::vector<std::string>{"parent:destroy", "child:destroy", "child:ncdestroy",
                                           "child:deleted", "parent:ncdestroy", "parent:deleted"}));
  EXPECT_FALSE(IsWindow(parent));
  EXPECT_FALSE(IsWindow(child));
  EXPECT_FALSE(DestroyWindow(parent));
  EXPECT_EQ(SendMessage(parent, WM_USER), 0);
  EXPECT_FALSE(PostMessage(parent, WM_USER));
}

TEST_F(WindowTest, RefusedCreationCleansUp) {
  struct Row {
    LResult ncCreate;
    LResult create;
    std::vector<std::string> log;
  };
  const Row rows[] = {
      {0, 0, {"w:nccreate", "w:ncdestroy", "w:deleted"}},
      {1, -1, {"w:nccreate", "w:create", "w:destroy", "w:ncdestroy", "w:deleted"}},
  };
  std::vector<std::string> log;
  LResult ncCreate = 1, create = 0;
  RegisterClass({"Refusing", 0, [&] {
                   auto w = std::make_unique<LoggingWindow>("w", log);
                   w->ncCreateResult = ncCreate;
                   w->createResult = create;
                   return w;
                 }});
  for (const auto& row : rows) {
    log.clear();
    ncCreate = row.ncCreate;
    create = row.create;
    EXPECT_EQ(MakeWindow("Refusing", "refused"), 0u);
    EXPECT_EQ(log, row.log);
    EXPECT_EQ(FindWindow("Refusing", std::nullopt), 0u);
  }
}

TEST_F(WindowTest, AttachedObjectIsDetachedNotDeleted) {
  std::vector<std::string> log;
  RegisterClass({"Attachable", 0, [] { return std::make_unique<Window>(); }});
  LoggingWindow object("attached", log);
  CreateParams p;
  p.className = "Attachable";
  p.object = &object;
  Hwnd h = CreateWindow(p);
  ASSERT_NE(h, 0u);
  EXPECT_EQ(GetWindowObject(h), &object);
  EXPECT_TRUE(DestroyWindow(h));
  EXPECT_EQ(log,
            (std::vector<std::string>{"attached:nccreate", "attached:create", "attached:destroy",
                                      "attached:ncdestroy", "attached:detached"}));
  EXPECT_EQ(object.GetHwnd(), 0u);
}

TEST_F(WindowTest, WindowDestroyedInsideItsOwnHandlerKeepsItsObjectUntilReturn) {
  struct Seen {
    bool deleted = false;
    bool objectAliveAfterDestroy = false;
    bool windowAliveAfterDestroy = true;
  } seen;
  struct Closing : Window {
    explicit Closing(Seen& s) : seen(s) {}
    ~Closing() override { seen.deleted = true; }
    LResult WindowProc(uint32_t message, WParam wParam, LParam lParam) override {
      if (message != WM_CLOSE)
        return Window::WindowProc(message, wParam, lParam);
      Window::WindowProc(message, wParam, lParam); // destroys the window
      seen.objectAliveAfterDestroy = !seen.deleted;
      seen.windowAliveAfterDestroy = IsWindow(GetHwnd());
      return answer; // a member, read after the window is gone
    }
    Seen& seen;
    LResult answer = 77;
  };
  RegisterClass({"SelfClosing", 0, [&] { return std::make_unique<Closing>(seen); }});
  Hwnd h = MakeWindow("SelfClosing");
  ASSERT_NE(h, 0u);
  EXPECT_EQ(SendMessage(h, WM_CLOSE), 77);
  EXPECT_TRUE(seen.objectAliveAfterDestroy);
  EXPECT_FALSE(seen.windowAliveAfterDestroy);
  EXPECT_TRUE(seen.deleted);
  EXPECT_FALSE(IsWindow(h));
}

TEST_F(WindowTest, ExceptionsStopAtTheWindowProcedure) {
  RegisterFnClass("Throwing", [](Hwnd, uint32_t message, WParam, LParam) -> LResult {
    if (message == WM_USER)
      throw std::runtime_error("handler failed");
    return 0;
  });
  Hwnd h = MakeWindow("Throwing");
  ASSERT_NE(h, 0u);
  sys::ScopedLogCapture log;
  EXPECT_EQ(SendMessage(h, WM_USER), 0);
  EXPECT_TRUE(IsWindow(h));
  EXPECT_TRUE(log.Holds("threw on message 0x0400: handler failed")) << log.Lines().size();
  DestroyWindow(h);
}

TEST_F(WindowTest, FindsByClassAndTitleAtTopLevelUnderParentAndAmongMessageOnly) {
  RegisterFnClass("VEXO3REMOTE", nullptr);
  RegisterFnClass("MSG_REMOTE", nullptr);
  RegisterFnClass("MSG_TAMBLO", nullptr);
  Hwnd top = MakeWindow("VEXO3REMOTE", "host");
  Hwnd remote = MakeWindow("MSG_REMOTE", "MESSAGE", top);
  Hwnd tamblo = MakeWindow("MSG_TAMBLO", "MESSAGE", top);
  Hwnd hidden = MakeWindow("MSG_TAMBLO", "MESSAGE", kHwndMessage);
  Hwnd later = MakeWindow("VEXO3REMOTE", "second");
  ASSERT_TRUE(top && remote && tamblo && hidden && later);

  struct Row {
    Hwnd parent;
    std::optional<std::string_view> cls, title;
    Hwnd expected;
  };
  const Row rows[] = {
      {0, "VEXO3REMOTE", std::nullopt, top}, // the first created wins
      {0, "vexo3remote", "SECOND", later},   // case does not matter
      {0, std::nullopt, "host", top},
      {0, "MSG_REMOTE", std::nullopt, 0}, // children are not top-level
      {top, "MSG_REMOTE", "MESSAGE", remote},
      {top, "MSG_TAMBLO", "MESSAGE", tamblo},
      {top, std::nullopt, std::nullopt, remote},
      {top, "MSG_TAMBLO", "other", 0},
      {later, "MSG_TAMBLO", std::nullopt, 0},
      {kHwndMessage, "MSG_TAMBLO", std::nullopt, hidden},
      {0, "MSG_TAMBLO", std::nullopt, 0}, // message-only windows are hidden
  };
  for (const auto& row : rows)
    EXPECT_EQ(FindWindowEx(row.parent, row.cls, row.title), row.expected)
        << (row.cls ? *row.cls : "*") << " / " << (row.title ? *row.title : "*");

  EXPECT_EQ(GetParent(hidden), 0u);
  EXPECT_TRUE(SetWindowText(later, "renamed"));
  EXPECT_EQ(GetWindowText(later), std::optional<std::string>("renamed"));
  EXPECT_EQ(FindWindow(std::nullopt, "renamed"), later);
  EXPECT_EQ(SendMessage(later, WM_SETTEXT, 0, reinterpret_cast<LParam>("by message")), 1);
  EXPECT_EQ(FindWindow(std::nullopt, "by message"), later);

  DestroyWindow(top);
  EXPECT_EQ(FindWindow("VEXO3REMOTE", std::nullopt), later);
  EXPECT_EQ(FindWindowEx(top, "MSG_REMOTE", std::nullopt), 0u);
  DestroyWindow(later);
  DestroyWindow(hidden);
}

TEST_F(WindowTest, SetParentMovesAWindowButRefusesCycles) {
  RegisterFnClass("Movable", nullptr);
  Hwnd a = MakeWindow("Movable", "a");
  Hwnd b = MakeWindow("Movable", "b", a);
  Hwnd c = MakeWindow("Movable", "c", b);
  EXPECT_FALSE(SetParent(a, c)); // c is under a
  EXPECT_FALSE(SetParent(a, a));
  EXPECT_FALSE(SetParent(b, 0x7FFF0001u)); // dead parent
  EXPECT_TRUE(SetParent(c, 0));
  EXPECT_EQ(FindWindow("Movable", "c"), c);
  EXPECT_EQ(GetParent(c), 0u);
  DestroyWindow(a);
  EXPECT_TRUE(IsWindow(c)); // no longer a's descendant
  DestroyWindow(c);
}

TEST_F(WindowTest, HandlesAreDistinctAndOnlyTheOwnerThreadDestroys) {
  RegisterFnClass("Many", nullptr);
  std::set<Hwnd> seen;
  std::vector<Hwnd> all;
  for (int i = 0; i < 200; ++i) {
    Hwnd h = MakeWindow("Many");
    ASSERT_NE(h, 0u);
    EXPECT_LT(h, 0x80000000u);
    EXPECT_TRUE(seen.insert(h).second);
    all.push_back(h);
  }
  bool destroyedElsewhere = true;
  std::thread other([&] { destroyedElsewhere = DestroyWindow(all[0]); });
  other.join();
  EXPECT_FALSE(destroyedElsewhere);
  for (Hwnd h : all)
    EXPECT_TRUE(DestroyWindow(h));
  Hwnd fresh = MakeWindow("Many");
  EXPECT_EQ(seen.count(fresh), 0u); // a handle is never handed out twice
  DestroyWindow(fresh);
}

} // namespace
