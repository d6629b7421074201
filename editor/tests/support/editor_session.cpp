#include "editor/tests/support/editor_session.h"

#include "editor/editor.h"
#include "platform/res/bundle.h"

#include <QApplication>
#include <gtest/gtest.h>

#include <string>

namespace editortest {

void StartEditorSession() {
  static int argc = 1;
  static char name[] = "editor_tests";
  static char* argv[] = {name, nullptr};
  if (!QCoreApplication::instance())
    new QApplication(argc, argv);
  std::string error;
  static auto bundle = res::Bundle::Load("rTamblo", VEXO_BIN_DIR, &error);
  ASSERT_TRUE(bundle) << error;
  ASSERT_TRUE(editor::StartEditor(*bundle, &error)) << error;
}

} // namespace editortest
