// Document templates and the document manager. A template joins a
// document class, a child-frame class and a view class under a bundle
// resource id that names the child's menu (menus/<id>.txt), its keys
// (accelerators/<id>.txt), icon (icons/<id>.png) and document strings
// (string id: lines of window title, document name, new-file name, filter
// name, filter extension). It owns its documents. The manager holds the
// templates registered with it; its new-document command opens the first
// one, asking which when several are registered. Templates and managers
// belong to the library that made them. Owner's thread only.
#pragma once

#include "platform/ui/frame/command.h"
#include "platform/ui/modal/menu.h"
#include "platform/ui/resource/accelerator.h"
#include "platform/ui/resource/icon_resource.h"

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace ui {

class Document;
class MdiChildWnd;
class MdiFrameWnd;
class View;

class DocTemplate {
public:
  struct Factories {
    std::function<std::unique_ptr<Document>()> document;
    std::function<std::unique_ptr<MdiChildWnd>()> frame; // none: a plain MdiChildWnd
    std::function<std::unique_ptr<View>()> view;
  };
  // Document string lines.
  enum DocString { kWindowTitle = 0, kDocName, kFileNewName, kFilterName, kFilterExt };

  DocTemplate(uint32_t resourceId, FrameResources resources, Factories factories);
  ~DocTemplate();
  DocTemplate(const DocTemplate&) = delete;
  DocTemplate& operator=(const DocTemplate&) = delete;

  // Reads the menu, keys, icon and strings; false when one is malformed.
  bool Load(ResourceError* error = nullptr);

  uint32_t ResourceId() const { return resourceId_; }
  const std::optional<Menu>& SharedMenu() const { return menu_; }
  const std::optional<IconImage>& Icon() const { return icon_; }
  std::string GetDocString(DocString which) const;
  const std::vector<std::unique_ptr<Document>>& Documents() const { return documents_; }

  // A new document (refused when its OnNewDocument says no) in a new child
  // frame of frame, with its initial update; nullptr on failure.
  Document* OpenNewDocument(MdiFrameWnd& frame);
  // A new child frame of frame with a view of document; nullptr on failure.
  MdiChildWnd* CreateNewFrame(Document& document, MdiFrameWnd& frame);
  // Activates child and gives its views their initial update.
  void InitialUpdateFrame(MdiChildWnd& child, Document& document);
  // Deletes document (it has no views left).
  void RemoveDocument(Document* document);

private:
  uint32_t resourceId_;
  FrameResources resources_;
  Factories factories_;
  std::optional<Menu> menu_;
  std::optional<AcceleratorTable> keys_;
  std::optional<IconImage> icon_;
  std::vector<std::string> strings_;
  std::vector<std::unique_ptr<Document>> documents_;
};

class DocManager {
public:
  // Registers a template (not owned; it outlives the manager's use).
  void AddDocTemplate(DocTemplate* docTemplate);
  const std::vector<DocTemplate*>& Templates() const { return templates_; }
  // The new-document command: none registered does nothing; one opens it
  // without a question; several ask which (a dialog listing their new-file
  // names), cancel opening nothing.
  Document* OnFileNew(MdiFrameWnd& frame);

private:
  std::vector<DocTemplate*> templates_;
};

} // namespace ui
