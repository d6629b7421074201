#include "platform/ui/docview/doc_template.h"

#include "platform/ui/controls/list_box.h"
#include "platform/ui/dialog/dialog.h"
#include "platform/ui/docview/document.h"
#include "platform/ui/docview/view.h"
#include "platform/ui/frame/mdi_frame_wnd.h"
#include "platform/ui/resource/menu_resource.h"

#include <algorithm>

namespace ui {
namespace {

// The question which kind of document to make.
constexpr const char* kNewDialog = R"(DIALOG 0 0 160 90
CAPTION "New"
LISTBOX 100 "" 7 7 100 76
DEFBUTTON IDOK "OK" 113 7 40 14
BUTTON IDCANCEL "Cancel" 113 24 40 14
)";
constexpr int32_t kNewList = 100;

class NewDialog : public Dialog {
public:
  NewDialog(DialogTemplate t, std::vector<std::string> names)
      : Dialog(std::move(t)), names_(std::move(names)) {}
  int chosen = -1;

protected:
  bool OnInitDialog() override {
    auto* list = Item<ListBox>(kNewList);
    for (const std::string& name : names_)
      list->AddString(name);
    list->SetSelection(0);
    return true;
  }
  void OnOK() override {
    chosen = Item<ListBox>(kNewList)->Selection();
    EndDialog(IDOK);
  }

private:
  std::vector<std::string> names_;
};

std::vector<std::string> Lines(const std::string& text) {
  std::vector<std::string> lines;
  size_t start = 0;
  while (start <= text.size()) {
    size_t end = text.find('\n', start);
    if (end == std::string::npos)
      end = text.size();
    lines.push_back(text.substr(start, end - start));
    start = end + 1;
  }
  return lines;
}

} // namespace

DocTemplate::DocTemplate(uint32_t resourceId, FrameResources resources, Factories factories)
    : resourceId_(resourceId), resources_(std::move(resources)), factories_(std::move(factories)) {}

DocTemplate::~DocTemplate() {
  for (auto& document : documents_)
    document->template_ = nullptr;
}

bool DocTemplate::Load(ResourceError* error) {
  auto has = [&](const char* folder, const char* extension) {
    return resources_.files &&
           resources_.files(ResourcePath(folder, resourceId_, extension)).has_value();
  };
  if (has("menus", ".txt") && !(menu_ = LoadMenuResource(resources_.files, resourceId_, error)))
    return false;
  if (has("accelerators", ".txt") &&
      !(keys_ = LoadAccelerators(resources_.files, resourceId_, error)))
    return false;
  if (has("icons", ".png") && !(icon_ = LoadIconResource(resources_.files, resourceId_, error)))
    return false;
  if (resources_.strings)
    strings_ = Lines(resources_.strings(resourceId_).value_or(""));
  return true;
}

std::string DocTemplate::GetDocString(DocString which) const {
  const auto index = static_cast<size_t>(which);
  return index < strings_.size() ? strings_[index] : std::string();
}

Document* DocTemplate::OpenNewDocument(MdiFrameWnd& frame) {
  if (!factories_.document)
    return nullptr;
  std::unique_ptr<Document> owned = factories_.document();
  if (!owned)
    return nullptr;
  Document* document = owned.get();
  document->template_ = this;
  documents_.push_back(std::move(owned));
  if (document->Title().empty())
    document->SetTitle(GetDocString(kDocName));
  if (!document->OnNewDocument()) {
    RemoveDocument(document);
    return nullptr;
  }
  MdiChildWnd* child = CreateNewFrame(*document, frame);
  if (!child) {
    if (std::any_of(documents_.begin(), documents_.end(),
                    [&](const auto& d) { return d.get() == document; }) &&
        document->Views().empty())
      RemoveDocument(document);
    return nullptr;
  }
  InitialUpdateFrame(*child, *document);
  return document;
}

MdiChildWnd* DocTemplate::CreateNewFrame(Document& document, MdiFrameWnd& frame) {
  if (!factories_.view)
    return nullptr;
  std::unique_ptr<MdiChildWnd> child =
      factories_.frame ? factories_.frame() : std::make_unique<MdiChildWnd>();
  std::unique_ptr<View> view = factories_.view();
  if (!child || !view)
    return nullptr;
  if (!child->Create(frame, document.Title(), menu_, keys_))
    return nullptr;
  MdiChildWnd* made = child.release(); // its window owns it now
  if (!view->Create(*made, document)) {
    win::DestroyWindow(made->GetHwnd());
    return nullptr;
  }
  made->SetActiveView(view.release()); // likewise
  return made;
}

void DocTemplate::InitialUpdateFrame(MdiChildWnd& child, Document& document) {
  (void)document;
  child.Activate();
  if (View* view = child.ActiveView())
    view->OnInitialUpdate();
}

void DocTemplate::RemoveDocument(Document* document) {
  auto it = std::find_if(documents_.begin(), documents_.end(),
                         [&](const auto& d) { return d.get() == document; });
  if (it != documents_.end())
    documents_.erase(it);
}

void DocManager::AddDocTemplate(DocTemplate* docTemplate) {
  if (docTemplate &&
      std::find(templates_.begin(), templates_.end(), docTemplate) == templates_.end())
    templates_.push_back(docTemplate);
}

Document* DocManager::OnFileNew(MdiFrameWnd& frame) {
  if (templates_.empty())
    return nullptr;
  DocTemplate* chosen = templates_.front();
  if (templates_.size() > 1) {
    std::vector<std::string> names;
    for (DocTemplate* t : templates_)
      names.push_back(t->GetDocString(DocTemplate::kFileNewName));
    auto form = ParseDialogTemplate(kNewDialog);
    if (!form)
      return nullptr;
    NewDialog question(*form, std::move(names));
    if (question.DoModal(frame.GetHwnd()) != IDOK || question.chosen < 0 ||
        question.chosen >= static_cast<int>(templates_.size()))
      return nullptr;
    chosen = templates_[static_cast<size_t>(question.chosen)];
  }
  return chosen->OpenNewDocument(frame);
}

} // namespace ui
