// A template set kept across recognition runs: the fonts do not change between the pages
// of a batch, so their templates are rendered once.
#include "app/MainUnit.h"
#include "platform/SoftwareCanvas.h"

void TMainForm::KeepTemplateSet() {
  if (keptTemplates) return;
  auto kept = std::make_unique<TemplateSet>();
  SoftwareCanvas bitmap;
  templateSet = kept.get();
  BuildTemplateSet(bitmap);  // announces the new set to the matcher
  templateSet = nullptr;
  keptTemplates = std::move(kept);
}
