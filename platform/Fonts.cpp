// Fonts over FreeType and fontconfig.
//
// A PlatformFont is cheap to create: Create only resolves the name to a font file through
// fontconfig's cache. The file is opened when the font is first measured or drawn, and
// each file is opened once per process (faces are shared; every font has its own size
// object on the shared face). Glyphs are hinted with the TrueType bytecode interpreter in
// its classic mode (version 35), which hints both directions (and takes advances from the
// device-metrics table where a font has one), as the Windows rasteriser without ClearType
// does, and rendered one bit per pixel.
//
// The outline faces of the templates are opened from their own FreeType library object:
// they are opened and closed on several threads at once (under its lock), the fonts above
// on one.
#include "platform/Fonts.h"

#include <fontconfig/fontconfig.h>
#include <ft2build.h>
#include FT_FREETYPE_H
#include FT_DRIVER_H
#include FT_MODULE_H
#include FT_SIZES_H
#include FT_TRUETYPE_TABLES_H

#include <strings.h>
#include <algorithm>
#include <array>
#include <cmath>
#include <cstdlib>
#include <map>
#include <memory>
#include <mutex>
#include <tuple>

#include "core/Cp1252.h"
#include "platform/SoftwareCanvas.h"

namespace {

FT_Library Library() {
  static FT_Library library = [] {
    FT_Library lib = nullptr;
    if (FT_Init_FreeType(&lib) != 0) return FT_Library(nullptr);
    FT_UInt version = TT_INTERPRETER_VERSION_35;
    FT_Property_Set(lib, "truetype", "interpreter-version", &version);
    return lib;
  }();
  return library;
}

// One opened font file, shared by every font that resolves to it; kept for the process.
struct SharedFace {
  FT_Face face = nullptr;
  bool failed = false;
};

SharedFace& FaceFor(const std::string& file, int index) {
  static std::map<std::pair<std::string, int>, SharedFace> faces;
  SharedFace& shared = faces[{file, index}];
  if (!shared.face && !shared.failed) {
    FT_Library lib = Library();
    if (!lib || FT_New_Face(lib, file.c_str(), index, &shared.face) != 0) {
      shared.face = nullptr;
      shared.failed = true;
    } else if (FT_Select_Charmap(shared.face, FT_ENCODING_UNICODE) != 0) {
      // Symbol fonts carry no Unicode map; they keep their first map.
    }
  }
  return shared;
}

struct Resolved {
  std::string file;
  int index = 0;
};

// Every installed scalable font file, listed once from fontconfig's cache. Names of
// installed families resolve from this list without a fontconfig match; only aliases
// such as "Arial" go through fontconfig's substitution rules.
struct InstalledFace {
  std::string family;
  int weight;  // fontconfig weight
  int slant;   // fontconfig slant
  std::string file;
  int index;
};

const std::vector<InstalledFace>& InstalledFaces() {
  static const std::vector<InstalledFace> faces = [] {
    std::vector<InstalledFace> list;
    if (!FcInit()) return list;
    FcPattern* pattern = FcPatternCreate();
    FcPatternAddBool(pattern, FC_SCALABLE, FcTrue);
    FcObjectSet* objects =
        FcObjectSetBuild(FC_FAMILY, FC_WEIGHT, FC_SLANT, FC_FILE, FC_INDEX, nullptr);
    if (FcFontSet* set = FcFontList(nullptr, pattern, objects)) {
      for (int i = 0; i < set->nfont; ++i) {
        FcChar8* family = nullptr;
        FcChar8* file = nullptr;
        InstalledFace face{};
        // A font may list several family names (localised ones); the first is its own.
        if (FcPatternGetString(set->fonts[i], FC_FAMILY, 0, &family) != FcResultMatch ||
            FcPatternGetString(set->fonts[i], FC_FILE, 0, &file) != FcResultMatch)
          continue;
        face.family = reinterpret_cast<const char*>(family);
        face.file = reinterpret_cast<const char*>(file);
        if (FcPatternGetInteger(set->fonts[i], FC_WEIGHT, 0, &face.weight) != FcResultMatch)
          face.weight = FC_WEIGHT_REGULAR;
        if (FcPatternGetInteger(set->fonts[i], FC_SLANT, 0, &face.slant) != FcResultMatch)
          face.slant = FC_SLANT_ROMAN;
        if (FcPatternGetInteger(set->fonts[i], FC_INDEX, 0, &face.index) != FcResultMatch)
          face.index = 0;
        list.push_back(std::move(face));
      }
      FcFontSetDestroy(set);
    }
    FcObjectSetDestroy(objects);
    FcPatternDestroy(pattern);
    // A fixed order, so the same description always picks the same file.
    std::sort(list.begin(), list.end(), [](const InstalledFace& a, const InstalledFace& b) {
      return std::tie(a.family, a.weight, a.slant, a.file, a.index) <
             std::tie(b.family, b.weight, b.slant, b.file, b.index);
    });
    return list;
  }();
  return faces;
}

// fontconfig's answer for a face name, weight and slant, cached: the same description is
// asked for again and again (four fonts per typeface, the template fonts every run).
bool Resolve(const LogFont& description, Resolved* out) {
  static std::map<std::tuple<std::string, int, bool>, Resolved> cache;
  const auto key = std::make_tuple(description.faceName, description.weight >= 600 ? 700 : 400,
                                   description.italic);
  if (auto it = cache.find(key); it != cache.end()) {
    *out = it->second;
    return !out->file.empty();
  }
  Resolved result;
  const int wantWeight = description.weight >= 600 ? FC_WEIGHT_BOLD : FC_WEIGHT_REGULAR;
  const bool wantItalic = description.italic;
  int bestCost = -1;
  for (const InstalledFace& face : InstalledFaces()) {
    if (face.family != description.faceName) continue;
    const bool italic = face.slant != FC_SLANT_ROMAN;
    const int cost = (italic != wantItalic ? 1000 : 0) + std::abs(face.weight - wantWeight);
    if (bestCost < 0 || cost < bestCost) {
      bestCost = cost;
      result.file = face.file;
      result.index = face.index;
    }
  }
  if (bestCost < 0 && FcInit()) {
    FcPattern* pattern = FcPatternCreate();
    if (!description.faceName.empty())
      FcPatternAddString(pattern, FC_FAMILY,
                         reinterpret_cast<const FcChar8*>(description.faceName.c_str()));
    FcPatternAddInteger(pattern, FC_WEIGHT,
                        description.weight >= 600 ? FC_WEIGHT_BOLD : FC_WEIGHT_REGULAR);
    FcPatternAddInteger(pattern, FC_SLANT, description.italic ? FC_SLANT_ITALIC : FC_SLANT_ROMAN);
    FcPatternAddBool(pattern, FC_SCALABLE, FcTrue);
    FcConfigSubstitute(nullptr, pattern, FcMatchPattern);
    FcDefaultSubstitute(pattern);
    FcResult res = FcResultNoMatch;
    FcPattern* match = FcFontMatch(nullptr, pattern, &res);
    if (match) {
      FcChar8* file = nullptr;
      int index = 0;
      if (FcPatternGetString(match, FC_FILE, 0, &file) == FcResultMatch && file) {
        result.file = reinterpret_cast<const char*>(file);
        if (FcPatternGetInteger(match, FC_INDEX, 0, &index) == FcResultMatch) result.index = index;
      }
      FcPatternDestroy(match);
    }
    FcPatternDestroy(pattern);
  }
  cache[key] = result;
  *out = result;
  return !result.file.empty();
}

// A rendered glyph: rows of one byte per pixel (1 ink, 0 paper).
struct GlyphBitmap {
  bool ready = false;
  int32_t advance = 0;  // hinted advance, pixels
  int32_t left = 0;     // from the pen position to the bitmap's first column
  int32_t top = 0;      // from the baseline up to the bitmap's first row
  int32_t width = 0, rows = 0;
  std::vector<uint8_t> ink;
};

}  // namespace

struct PlatformFont::Impl {
  LogFont description;
  Resolved resolved;
  bool loaded = false;  // Load has run (successfully or not)
  FT_Face face = nullptr;
  FT_Size size = nullptr;
  int32_t ascent = 0, descent = 0;
  std::array<GlyphBitmap, 256> glyphs;

  // Opens the face and sets the size on first use. Without a face every measure is 0 and
  // nothing is drawn.
  bool Load() {
    if (loaded) return face != nullptr;
    loaded = true;
    SharedFace& shared = FaceFor(resolved.file, resolved.index);
    if (!shared.face) return false;
    FT_Face f = shared.face;
    if (FT_New_Size(f, &size) != 0) {
      size = nullptr;
      return false;
    }
    FT_Activate_Size(size);

    int32_t winAscent = 0, winDescent = 0;
    if (auto* os2 = static_cast<TT_OS2*>(FT_Get_Sfnt_Table(f, FT_SFNT_OS2));
        os2 && os2->version != 0xFFFF && (os2->usWinAscent || os2->usWinDescent)) {
      winAscent = os2->usWinAscent;
      winDescent = os2->usWinDescent;
    } else {
      winAscent = f->ascender;
      winDescent = -f->descender;
    }
    const int32_t unitsPerEm = std::max<int32_t>(1, f->units_per_EM);
    const int32_t cell = std::max<int32_t>(1, winAscent + winDescent);

    // The em size in 1/64 pixel. A cell height scales the Windows cell to that height
    // exactly, so the size may be fractional, as it is for GDI.
    int64_t em64;
    if (description.height < 0) {
      em64 = -int64_t(description.height) * 64;
    } else if (description.height > 0) {
      em64 = (int64_t(description.height) * unitsPerEm * 64 + cell / 2) / cell;
    } else {
      em64 = 16 * 64;  // a height of 0 asks for the default size
    }
    em64 = std::clamp<int64_t>(em64, 64, 4000 * 64);
    if (FT_Set_Char_Size(f, 0, FT_F26Dot6(em64), 72, 72) != 0) {
      FT_Done_Size(size);
      size = nullptr;
      return false;
    }
    // GDI rounds the scaled metrics to the nearest pixel, halves up.
    ascent = int32_t((int64_t(winAscent) * em64 + 32 * unitsPerEm) / (64 * int64_t(unitsPerEm)));
    descent = int32_t((int64_t(winDescent) * em64 + 32 * unitsPerEm) / (64 * int64_t(unitsPerEm)));
    face = f;
    return true;
  }

  // Selects this font's size on the shared face.
  void Activate() const { FT_Activate_Size(size); }

  const GlyphBitmap& Glyph(uint8_t code) {
    GlyphBitmap& g = glyphs[code];
    if (g.ready) return g;
    g.ready = true;
    Activate();
    const FT_UInt index = FT_Get_Char_Index(face, Cp1252ToCodePoint(code));
    if (FT_Load_Glyph(face, index, FT_LOAD_TARGET_MONO) != 0) return g;
    FT_GlyphSlot slot = face->glyph;
    g.advance = int32_t((slot->advance.x + 32) >> 6);
    if (FT_Render_Glyph(slot, FT_RENDER_MODE_MONO) != 0) return g;
    const FT_Bitmap& bitmap = slot->bitmap;
    g.left = slot->bitmap_left;
    g.top = slot->bitmap_top;
    g.width = int32_t(bitmap.width);
    g.rows = int32_t(bitmap.rows);
    g.ink.assign(size_t(g.width) * size_t(g.rows), 0);
    for (int32_t r = 0; r < g.rows; ++r) {
      const uint8_t* row = bitmap.buffer + int64_t(r) * bitmap.pitch;
      for (int32_t c = 0; c < g.width; ++c) {
        if (bitmap.pixel_mode == FT_PIXEL_MODE_MONO)
          g.ink[size_t(r) * g.width + c] = (row[c >> 3] >> (7 - (c & 7))) & 1;
        else
          g.ink[size_t(r) * g.width + c] = row[c] >= 128;
      }
    }
    return g;
  }
};

PlatformFont::PlatformFont(Impl* impl) : impl_(impl) {}

PlatformFont* PlatformFont::Create(const LogFont& description) {
  Resolved resolved;
  if (!Resolve(description, &resolved)) return nullptr;
  auto* impl = new Impl;
  impl->description = description;
  impl->resolved = resolved;
  return new PlatformFont(impl);
}

PlatformFont::~PlatformFont() {
  if (impl_->size) FT_Done_Size(impl_->size);
  delete impl_;
}

const LogFont& PlatformFont::Description() const {
  return impl_->description;
}

const std::string& PlatformFont::FontFile() const {
  return impl_->resolved.file;
}

int32_t PlatformFont::PixelsPerEm() const {
  if (!impl_->Load()) return 0;
  return impl_->size->metrics.y_ppem;
}

int32_t PlatformFont::Ascent() const {
  return impl_->Load() ? impl_->ascent : 0;
}

int32_t PlatformFont::Descent() const {
  return impl_->Load() ? impl_->descent : 0;
}

int32_t PlatformFont::TextHeight(const std::string&) const {
  return Ascent() + Descent();
}

int32_t PlatformFont::TextWidth(const std::string& text) const {
  if (!impl_->Load()) return 0;
  int32_t width = 0;
  for (unsigned char ch : text) width += impl_->Glyph(ch).advance;
  return width;
}

void PlatformFont::TextOut(SoftwareCanvas& canvas, int32_t x, int32_t y, const std::string& text,
                           TColor color) const {
  if (!impl_->Load()) return;
  if (canvas.brushStyle == BrushStyle::Solid)
    canvas.FillRect(x, y, x + TextWidth(text), y + impl_->ascent + impl_->descent);
  const int32_t baseline = y + impl_->ascent;
  int32_t penX = x;
  for (unsigned char ch : text) {
    const GlyphBitmap& g = impl_->Glyph(ch);
    const int32_t left = penX + g.left, top = baseline - g.top;
    for (int32_t r = 0; r < g.rows; ++r) {
      const int32_t py = top + r;
      if (py < 0 || py >= canvas.Height()) continue;
      const uint8_t* row = g.ink.data() + size_t(r) * g.width;
      for (int32_t c = 0; c < g.width; ++c)
        if (row[c]) canvas.SetPixel(left + c, py, color);
    }
    penX += g.advance;
  }
}

std::vector<LogFont> EnumerateTypefaces() {
  std::vector<LogFont> result;
  for (const InstalledFace& face : InstalledFaces()) {
    if (!result.empty() && result.back().faceName == face.family) continue;
    LogFont description;
    description.faceName = face.family;
    result.push_back(description);
  }
  return result;
}

#if defined(__SANITIZE_ADDRESS__)
// fontconfig loses a few bytes of its own while it parses its configuration files (once
// per process); every program that uses fonts would otherwise fail the leak check. Weak, so
// that a program with suppressions of its own keeps them.
extern "C" __attribute__((weak)) const char* __lsan_default_suppressions() {
  return "leak:libfontconfig.so\n";
}
#endif

std::string FontEngineVersion() {
  FT_Int major = 0, minor = 0, patch = 0;
  if (FT_Library library = Library()) FT_Library_Version(library, &major, &minor, &patch);
  return "FreeType " + std::to_string(major) + "." + std::to_string(minor) + "." +
         std::to_string(patch);
}

namespace {

// The outline faces' FreeType library object; opening and closing faces must not overlap.
std::mutex& OutlineLibraryMutex() {
  static std::mutex mutex;
  return mutex;
}

FT_Library OutlineLibrary() {
  static FT_Library library = [] {
    FT_Library lib = nullptr;
    return FT_Init_FreeType(&lib) == 0 ? lib : nullptr;
  }();
  return library;
}

// The file and face index of exactly this family and style, or an empty path.
std::pair<std::string, int> FindFaceFile(const std::string& family, bool bold, bool italic) {
  std::pair<std::string, int> found{"", 0};
  if (!FcInit()) return found;
  FcPattern* pattern = FcPatternCreate();
  FcPatternAddString(pattern, FC_FAMILY, reinterpret_cast<const FcChar8*>(family.c_str()));
  FcPatternAddInteger(pattern, FC_WEIGHT, bold ? FC_WEIGHT_BOLD : FC_WEIGHT_REGULAR);
  FcPatternAddInteger(pattern, FC_SLANT, italic ? FC_SLANT_ITALIC : FC_SLANT_ROMAN);
  FcPatternAddBool(pattern, FC_SCALABLE, FcTrue);
  FcConfigSubstitute(nullptr, pattern, FcMatchPattern);
  FcDefaultSubstitute(pattern);
  FcResult result;
  if (FcPattern* match = FcFontMatch(nullptr, pattern, &result)) {
    FcChar8* name = nullptr;
    FcChar8* file = nullptr;
    int weight = 0, slant = 0, index = 0;
    FcPatternGetInteger(match, FC_WEIGHT, 0, &weight);
    FcPatternGetInteger(match, FC_SLANT, 0, &slant);
    FcPatternGetInteger(match, FC_INDEX, 0, &index);
    FcBool emboldened = FcFalse;
    FcPatternGetBool(match, FC_EMBOLDEN, 0, &emboldened);
    FcMatrix* slanted = nullptr;
    bool madeUp = emboldened || FcPatternGetMatrix(match, FC_MATRIX, 0, &slanted) == FcResultMatch;
    bool sameStyle =
        !madeUp && (weight >= FC_WEIGHT_DEMIBOLD) == bold && (slant != FC_SLANT_ROMAN) == italic;
    if (FcPatternGetString(match, FC_FAMILY, 0, &name) == FcResultMatch &&
        FcPatternGetString(match, FC_FILE, 0, &file) == FcResultMatch && sameStyle &&
        strcasecmp(reinterpret_cast<const char*>(name), family.c_str()) == 0)
      found = {reinterpret_cast<const char*>(file), index};
    FcPatternDestroy(match);
  }
  FcPatternDestroy(pattern);
  return found;
}

}  // namespace

struct OutlineFace::Face {
  FT_Face face = nullptr;
  ~Face() {
    std::lock_guard lock(OutlineLibraryMutex());
    if (face) FT_Done_Face(face);
  }
};

OutlineFace::OutlineFace(std::unique_ptr<Face> face, std::string file)
    : face_(std::move(face)), file_(std::move(file)) {}

OutlineFace::~OutlineFace() = default;

std::unique_ptr<OutlineFace> OutlineFace::Open(const std::string& family, bool bold, bool italic) {
  auto [file, index] = FindFaceFile(family, bold, italic);
  if (file.empty()) return nullptr;
  auto face = std::make_unique<Face>();
  {
    std::lock_guard lock(OutlineLibraryMutex());
    if (!OutlineLibrary() || FT_New_Face(OutlineLibrary(), file.c_str(), index, &face->face) != 0) {
      face->face = nullptr;
      return nullptr;
    }
  }
  if (FT_Select_Charmap(face->face, FT_ENCODING_UNICODE) != 0) return nullptr;
  return std::unique_ptr<OutlineFace>(new OutlineFace(std::move(face), file));
}

bool OutlineFace::DrawGray(uint8_t code, int32_t pixelsPerEm, GrayGlyph& out, double shiftX,
                           double shiftY) const {
  FT_Face face = face_->face;
  if (pixelsPerEm < 1 || FT_Set_Pixel_Sizes(face, 0, FT_UInt(pixelsPerEm)) != 0) return false;
  FT_Vector delta{FT_Pos(std::lround(shiftX * 64)), FT_Pos(std::lround(-shiftY * 64))};
  FT_Set_Transform(face, nullptr, &delta);
  FT_UInt index = FT_Get_Char_Index(face, Cp1252ToCodePoint(code));
  if (index == 0 || FT_Load_Glyph(face, index, FT_LOAD_NO_HINTING | FT_LOAD_RENDER) != 0)
    return false;
  const FT_Bitmap& bitmap = face->glyph->bitmap;
  if (bitmap.pixel_mode != FT_PIXEL_MODE_GRAY) return false;
  out.width = int32_t(bitmap.width);
  out.height = int32_t(bitmap.rows);
  out.top = face->glyph->bitmap_top;
  out.coverage.resize(size_t(out.width) * size_t(out.height));
  for (int32_t y = 0; y < out.height; ++y)
    std::copy_n(bitmap.buffer + y * bitmap.pitch, out.width,
                out.coverage.begin() + ptrdiff_t(y) * out.width);
  return true;
}
