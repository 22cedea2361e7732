// The classic template set as rendered from the fonts, kept in the user's cache folder:
// rendering its 280 glyphs costs a small picture's run a sixth of its time, and the fonts
// rarely change. A file is used only when its key, which names everything the rendering
// depends on (the font engine, the alphabet, the fonts' descriptions and the files they
// resolve to with their sizes and times), is exactly the one asked for; any other file is
// rendered again and replaced.
#pragma once

#include <string>
#include <vector>

#include "recognition/GlyphTypes.h"

// $XDG_CACHE_HOME/quillon/classic-templates, else ~/.cache/quillon/classic-templates;
// empty when neither can be had.
std::string TemplateCacheFile();

// The key of the set rendered from the four template fonts' files (template font 1 first).
// Empty when a font was not found: such a set is not kept.
std::string TemplateCacheKey(const std::vector<std::string>& fontFiles);

// Reads the set kept under `key`. False, leaving *set untouched, when the file is missing,
// was kept under another key or is damaged.
bool ReadTemplateCache(const std::string& file, const std::string& key, TemplateSet* set);

// Keeps the set under `key`, making the folder when needed. A failure costs only the next
// run's rendering, so it is not reported.
void WriteTemplateCache(const std::string& file, const std::string& key, const TemplateSet& set);
