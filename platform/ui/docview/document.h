// Documents: what views show. A document keeps its views (each in a child
// frame of the multiple-document frame), tells them of changes
// (UpdateAllViews, the sender left out), and is asked whether it may close
// when its last frame is about to close (SaveModified). It belongs to its
// template and goes when its last view has gone. Owner's thread only.
#pragma once

#include "platform/ui/frame/command.h"

#include <cstdint>
#include <string>
#include <vector>

namespace ui {

class DocTemplate;
class MdiChildWnd;
class View;

class Document : public CommandTarget {
public:
  Document() = default;
  ~Document() override;
  Document(const Document&) = delete;
  Document& operator=(const Document&) = delete;

  const std::string& Title() const { return title_; }
  // The title (UTF-8), also on every frame of the document.
  virtual void SetTitle(std::string title);
  const std::vector<View*>& Views() const { return views_; }
  DocTemplate* Template() const { return template_; }

  // OnUpdate(sender, hint) of every view but sender.
  void UpdateAllViews(View* sender, intptr_t hint = 0);

  // The new-document hook: false refuses the new document.
  virtual bool OnNewDocument() { return true; }
  // The may-close hook: asked when the document's last frame closes; false
  // keeps the frame (and the document) open.
  virtual bool SaveModified() { return true; }
  // Whether frame may close: SaveModified when it is the last frame that
  // shows the document, else true.
  virtual bool CanCloseFrame(MdiChildWnd& frame);

  void AddView(View* view);
  // A view went; the document goes too once it has none.
  void RemoveView(View* view);

private:
  friend class DocTemplate;
  DocTemplate* template_ = nullptr;
  std::string title_;
  std::vector<View*> views_;
};

} // namespace ui
