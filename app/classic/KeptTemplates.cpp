// A template set kept across recognition runs: the fonts do not change between the pages
// of a batch, so their templates are rendered once, and between runs they come from the
// user's cache folder.
#include "app/MainUnit.h"
#include "platform/SoftwareCanvas.h"
#include "recognition/TemplateCache.h"
#include "recognition/Templates.h"

void TMainForm::KeepTemplateSet() {
  if (keptTemplates) return;
  auto kept = std::make_unique<TemplateSet>();
  const std::string cacheFile = TemplateCacheFile();
  const std::string key = TemplateCacheKey(TemplateFontFiles());
  if (ReadTemplateCache(cacheFile, key, kept.get())) {
    TemplateSetChanged();
  } else {
    SoftwareCanvas bitmap;
    templateSet = kept.get();
    BuildTemplateSet(bitmap);  // announces the new set to the matcher
    templateSet = nullptr;
    WriteTemplateCache(cacheFile, key, *kept);
  }
  keptTemplates = std::move(kept);
}
