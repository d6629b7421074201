// The editor tests' session: one Qt application and the editor started on
// the player core's bundle, made once for the whole program.
#pragma once

namespace editortest {

// Makes the application and loads the bundle on first use, then starts the
// editor; a failure is a fatal test failure.
void StartEditorSession();

} // namespace editortest
