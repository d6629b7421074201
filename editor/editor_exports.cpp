// The song editor's entry points for a host, and its share of the player
// core's start: the five document templates.
#include "editor/editor.h"

#include "editor/event_view.h"
#include "editor/track_view.h"

#include "core/player/tambloapp.h"
#include "core/player/transport_exports.h"
#include "platform/ui/modal/modal_hook.h"
#include "platform/ui/resource/cursor_resource.h"
#include "platform/ui/resource/menu_resource.h"
#include "platform/ui/window/screen.h"
#include "platform/win/dispatch.h"

#include <cstdio>

namespace editor {

ui::FrameResources EditorApp::Resources() const {
  if (!bundle)
    return {};
  const res::Bundle b = *bundle;
  return {b.Files(), [b](uint32_t id) { return b.String(id); }};
}

EditorApp& TheEditor() {
  static EditorApp* app = new EditorApp;
  return *app;
}

bool StartEditor(const res::Bundle& bundle, std::string* error) {
  EditorApp& app = TheEditor();
  app.bundle = bundle;
  app.templates.clear();
  app.manager = ui::DocManager();
  const ui::FrameResources resources = app.Resources();
  for (uint32_t id : kTemplateIds) {
    auto t = std::make_unique<ui::DocTemplate>(
        id, resources,
        ui::DocTemplate::Factories{[] { return std::make_unique<CTambloDoc>(); },
                                   [] { return std::make_unique<CChildFrame>(); },
                                   [id]() -> std::unique_ptr<ui::View> {
                                     if (id == kTrackTemplate)
                                       return std::make_unique<CTrackView>();
                                     if (id == kEventTemplate)
                                       return std::make_unique<CEListView>();
                                     return std::make_unique<CSongTitleView>(id);
                                   }});
    ui::ResourceError failure;
    if (!t->Load(&failure)) {
      if (error)
        *error = "editor template " + std::to_string(id) + ": " + failure.reason;
      app.templates.clear();
      return false;
    }
    app.templates.push_back(std::move(t));
  }
  // Only the track list is registered: the new-document command opens it
  // without asking.
  app.manager.AddDocTemplate(app.templates[0].get());

  // The editor's cursors and pop-up menu.
  app.cursors.clear();
  for (uint32_t id : kCursorIds) {
    ui::ResourceError failure;
    auto image = ui::LoadCursorResource(resources.files, id, &failure);
    ui::CursorHandle cursor = image ? ui::CreateCursor(*image) : nullptr;
    if (!cursor) {
      if (error)
        *error = "editor cursor " + std::to_string(id) + ": " +
                 (failure.reason.empty() ? "cannot be made" : failure.reason);
      app.templates.clear();
      app.cursors.clear();
      return false;
    }
    app.cursors[id] = std::move(cursor);
  }
  ui::ResourceError failure;
  app.popupMenu = ui::LoadMenuResource(resources.files, kPopupMenu, &failure);
  if (!app.popupMenu) {
    if (error)
      *error = "editor menu 316: " + failure.reason;
    app.templates.clear();
    app.cursors.clear();
    return false;
  }
  return true;
}

void EndEditor() {
  EditorApp& app = TheEditor();
  if (app.frame && win::IsWindow(app.frame->GetHwnd()))
    win::DestroyWindow(app.frame->GetHwnd());
  if (app.modalHook)
    ui::RemoveModalHook(app.modalHook);
  app.modalHook = 0;
  app.modalDepth = 0;
  app.closePending = false;
  app.templates.clear();
  app.cursors.clear();
  app.popupMenu.reset();
  app.manager = ui::DocManager();
  app.bundle.reset();
}

int32_t OpenEditor() {
  EditorApp& app = TheEditor();
  if (app.frame && win::IsWindow(app.frame->GetHwnd()))
    return 1;
  if (app.templates.empty())
    return 1;
  auto* frame = new CEditorFrame;
  ui::ResourceError error;
  if (!frame->LoadFrame(app.Resources(), kFrameResource, kFrameStyle, 0, &error)) {
    std::fprintf(stderr, "song editor: %s\n", error.reason.c_str());
    delete frame;
    return 1;
  }
  if (!frame->CreateParts()) {
    std::fprintf(stderr, "song editor: its tool bar cannot be made\n");
    win::DestroyWindow(frame->GetHwnd());
    return 1;
  }
  app.frame = frame;
  app.closePending = false;
  if (!app.modalHook)
    app.modalHook = ui::AddModalHook([](bool entering) {
      EditorApp& editor = TheEditor();
      editor.modalDepth += entering ? 1 : -1;
      if (!entering && editor.modalDepth == 0 && editor.closePending && editor.frame)
        win::PostMessage(editor.frame->GetHwnd(), kDestroyLater);
    });
  frame->SetDocManager(&app.manager);
  ui::ShowWindow(frame->GetHwnd(), ui::SW_SHOW);
  app.manager.OnFileNew(*frame);
  return 1;
}

int32_t CloseEditor() {
  EditorApp& app = TheEditor();
  if (!app.frame || !win::IsWindow(app.frame->GetHwnd()))
    return 1;
  if (app.modalDepth > 0) {
    // A dialog or box of the editor is up: it ends as cancelled, and the
    // frame goes after the handler that showed it has returned.
    app.closePending = true;
    ui::CancelModalsOwnedBy(app.frame->GetHwnd());
    return 1;
  }
  win::DestroyWindow(app.frame->GetHwnd());
  return 1;
}

namespace {

// The frame of a message for the frame or a window inside it.
CEditorFrame* FrameFor(const void* msg) {
  CEditorFrame* frame = TheEditor().frame;
  if (!frame || !msg || !win::IsWindow(frame->GetHwnd()))
    return nullptr;
  const auto* m = static_cast<const win::Msg*>(msg);
  return ui::IsWithin(m->hwnd, frame->GetHwnd()) ? frame : nullptr;
}

} // namespace

} // namespace editor

extern "C" {

int32_t tamblo_OpenEditor(void) {
  return editor::OpenEditor();
}

int32_t tamblo_CloseEditor(void) {
  return editor::CloseEditor();
}

int32_t Tamblo_RepaintEditor(void) {
  if (editor::CEditorFrame* frame = editor::TheEditor().frame)
    frame->Repaint();
  return 0;
}

int32_t tamblo_ProcessMessageFilter(int32_t, void* msg) {
  editor::CEditorFrame* frame = editor::FrameFor(msg);
  return frame && frame->PreTranslateMessage(*static_cast<const win::Msg*>(msg)) ? 1 : 0;
}

int32_t Tamblo_PreTranslateMessage(void* msg) {
  editor::CEditorFrame* frame = editor::FrameFor(msg);
  return frame && frame->PreTranslateMessage(*static_cast<const win::Msg*>(msg)) ? 1 : 0;
}

} // extern "C"

namespace {

// The player core starts the editor's templates with its own start.
const bool kHooked = [] {
  core::SetEditorHooks({&editor::StartEditor, &editor::EndEditor});
  return true;
}();

} // namespace
