// Pages of multi-page picture files. A PDF's pages come from the PDF module. TIFF pages are read by
// Leptonica straight from the file, one directory at a time. A GIF page is one frame: the frame's
// bytes are cut out with the file's header and colour table into a one-frame GIF that Leptonica
// then reads, so no more than one frame is ever held in memory.
#include "core/RasterPages.h"

#include <fcntl.h>
#include <leptonica/allheaders.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <memory>
#include <new>
#include <set>
#include <string>
#include <vector>

#include "core/PdfPages.h"
#include "core/RasterDecode.h"
#include "core/RegularFiles.h"

namespace {

enum class PagedKind { Single, Tiff, Gif };

constexpr const char* kTiledTiff =
    "The TIFF picture is stored in tiles, which cannot be read; a TIFF stored in strips can "
    "(libtiff's \"tiffcp -s\" makes one).";

struct FileCloser {
  void operator()(FILE* f) const { std::fclose(f); }
};
using File = std::unique_ptr<FILE, FileCloser>;

// Only regular files, opened without waiting (core/RegularFiles.h).
File OpenPictureFile(const char* fileName) {
  std::string ignored;
  const int fd = fileName ? OpenRegularFile(fileName, &ignored) : -1;
  if (fd < 0) return nullptr;
  FILE* f = fdopen(fd, "rb");
  if (!f) ::close(fd);
  return File(f);
}

PagedKind KindOf(FILE* f) {
  uint8_t magic[4] = {};
  if (std::fread(magic, 1, 4, f) != 4) return PagedKind::Single;
  std::rewind(f);
  if ((magic[0] == 'I' && magic[1] == 'I' && (magic[2] == 42 || magic[2] == 43) && !magic[3]) ||
      (magic[0] == 'M' && magic[1] == 'M' && !magic[2] && (magic[3] == 42 || magic[3] == 43)))
    return PagedKind::Tiff;
  if (std::memcmp(magic, "GIF8", 4) == 0) return PagedKind::Gif;
  return PagedKind::Single;
}

// ---- GIF frames ----

// Where one frame lies in the file: its graphic control extension (transparency), when
// one comes right before it, and its image block from the descriptor to the data's end.
struct GifFrame {
  long controlStart = -1, controlEnd = -1;
  long imageStart = 0, imageEnd = 0;
};

bool SkipSubBlocks(FILE* f) {
  for (;;) {
    const int size = std::fgetc(f);
    if (size == EOF) return false;
    if (size == 0) return true;
    if (std::fseek(f, size, SEEK_CUR) != 0) return false;
  }
}

// The size in bytes of a colour table announced by a packed flags byte.
long ColourTableSize(int packed) {
  return (packed & 0x80) ? 3L << ((packed & 7) + 1) : 0;
}

// Walks the blocks of a GIF: the header with the global colour table goes to *head, the
// frames are counted, and frame `wanted` (when there is one) is located in *frame.
// Returns the number of frames up to `wanted` + 1, or all of them; 0 for a broken file.
int32_t WalkGif(FILE* f, int32_t wanted, std::vector<uint8_t>* head, GifFrame* frame) {
  head->resize(13);
  if (std::fread(head->data(), 1, 13, f) != 13) return 0;
  head->resize(13 + size_t(ColourTableSize((*head)[10])));
  if (std::fread(head->data() + 13, 1, head->size() - 13, f) != head->size() - 13) return 0;
  int32_t frames = 0;
  long controlStart = -1, controlEnd = -1;
  for (;;) {
    const long at = std::ftell(f);
    const int block = std::fgetc(f);
    if (block == 0x3B || block == EOF) return frames;  // a cut file keeps its whole frames
    if (block == 0x21) {
      const int label = std::fgetc(f);
      if (label == EOF || !SkipSubBlocks(f)) return frames;
      if (label == 0xF9) controlStart = at, controlEnd = std::ftell(f);
      continue;
    }
    if (block != 0x2C) return frames;
    uint8_t descriptor[9];
    if (std::fread(descriptor, 1, 9, f) != 9) return frames;
    if (std::fseek(f, ColourTableSize(descriptor[8]) + 1, SEEK_CUR) != 0 || !SkipSubBlocks(f))
      return frames;
    if (frames == wanted) {
      *frame = {controlStart, controlEnd, at, std::ftell(f)};
      return frames + 1;
    }
    ++frames;
    controlStart = controlEnd = -1;
  }
}

bool AppendFileRange(FILE* f, long start, long end, std::vector<uint8_t>* bytes) {
  const size_t old = bytes->size();
  bytes->resize(old + size_t(end - start));
  return std::fseek(f, start, SEEK_SET) == 0 &&
         std::fread(bytes->data() + old, 1, size_t(end - start), f) == size_t(end - start);
}

// Frame `page` as a GIF of its own: the frame's size becomes the screen's, its place the
// top left corner.
bool OneFrameGif(FILE* f, int32_t page, std::vector<uint8_t>* gif, std::string* error) {
  GifFrame frame;
  if (WalkGif(f, page, gif, &frame) != page + 1) {
    *error = "The picture file has no page " + std::to_string(page + 1) + ".";
    return false;
  }
  if (frame.controlStart >= 0 && !AppendFileRange(f, frame.controlStart, frame.controlEnd, gif))
    return false;
  const size_t image = gif->size();
  if (!AppendFileRange(f, frame.imageStart, frame.imageEnd, gif)) return false;
  gif->push_back(0x3B);
  uint8_t* descriptor = gif->data() + image + 1;
  std::memcpy(gif->data() + 6, descriptor + 4, 4);  // screen width and height
  std::memset(descriptor, 0, 4);                    // left and top
  return true;
}

// ---- TIFF pages ----

// Counts the directories of a TIFF (classic or BigTIFF) by walking their chain: each
// directory ends with the offset of the next. Leptonica's counting through libtiff keeps
// memory for every directory it passed. A chain that loops or leaves the file ends the
// count there.
// Whether the directory whose entries follow at the file's position holds the tags of
// a picture stored in tiles (TileWidth 322 ... TileByteCounts 325).
template <typename Number>
bool HasTileTag(FILE* f, uint64_t entries, int entrySize, const Number& number) {
  constexpr uint64_t kTileWidth = 322, kTileByteCounts = 325;
  const long start = std::ftell(f);
  uint8_t entry[20];
  bool tiled = false;
  for (uint64_t i = 0; i < entries && !tiled; ++i) {
    if (std::fread(entry, 1, size_t(entrySize), f) != size_t(entrySize)) break;
    const uint64_t tag = number(entry, 2);
    tiled = tag >= kTileWidth && tag <= kTileByteCounts;
  }
  std::fseek(f, start, SEEK_SET);
  return tiled;
}

int32_t WalkTiff(FILE* f, int32_t wanted, bool* tiled) {
  uint8_t header[16] = {};
  if (std::fread(header, 1, 16, f) < 8) return 0;
  const bool little = header[0] == 'I', big = (little ? header[2] : header[3]) == 43;
  auto number = [little](const uint8_t* bytes, int size) {
    uint64_t value = 0;
    for (int i = 0; i < size; ++i) value |= uint64_t(bytes[little ? i : size - 1 - i]) << (8 * i);
    return value;
  };
  const int offsetSize = big ? 8 : 4, countSize = big ? 8 : 2, entrySize = big ? 20 : 12;
  std::fseek(f, 0, SEEK_END);
  const uint64_t fileSize = uint64_t(std::ftell(f));
  uint64_t offset = number(header + (big ? 8 : 4), offsetSize);
  int32_t pages = 0;
  std::set<uint64_t> seen;
  while (offset >= 8 && offset < fileSize && seen.insert(offset).second) {
    uint8_t bytes[8];
    if (std::fseek(f, long(offset), SEEK_SET) != 0 ||
        std::fread(bytes, 1, countSize, f) != size_t(countSize))
      break;
    const uint64_t entries = number(bytes, countSize);
    if (entries > fileSize) break;
    if (pages++ == wanted && tiled) *tiled = HasTileTag(f, entries, entrySize, number);
    if (std::fseek(f, long(offset + countSize + entries * entrySize), SEEK_SET) != 0 ||
        std::fread(bytes, 1, offsetSize, f) != size_t(offsetSize))
      break;
    offset = number(bytes, offsetSize);
  }
  return pages;
}

int32_t CountTiffPages(FILE* f) {
  return WalkTiff(f, -1, nullptr);
}

// A page's size from its directory. Leptonica's reading of it from a file leaves libtiff's
// handle behind when libtiff refuses the directory (a damaged page of a document whose
// other pages read); its reading from memory closes it, so the file is mapped, not copied.
bool TiffPageSize(const char* fileName, int32_t page, l_int32* w, l_int32* h) {
  const int fd = ::open(fileName, O_RDONLY | O_CLOEXEC);
  if (fd < 0) return false;
  struct stat facts {};
  void* mapped = ::fstat(fd, &facts) == 0 && facts.st_size > 0
                     ? ::mmap(nullptr, size_t(facts.st_size), PROT_READ, MAP_PRIVATE, fd, 0)
                     : MAP_FAILED;
  ::close(fd);
  if (mapped == MAP_FAILED) return false;
  l_int32 bps = 0, spp = 0, res = 0, cmap = 0, format = 0;
  const bool read = readHeaderMemTiff(static_cast<const l_uint8*>(mapped), size_t(facts.st_size),
                                      page, w, h, &bps, &spp, &res, &cmap, &format) == 0;
  ::munmap(mapped, size_t(facts.st_size));
  return read;
}

bool ReadTiffPage(const char* fileName, int32_t page, int64_t maxPixels, RasterImage* out,
                  std::string* error) {
  l_int32 w = 0, h = 0;
  if (!TiffPageSize(fileName, page, &w, &h)) {
    *error = "Page " + std::to_string(page + 1) + " of the picture file is damaged or missing.";
    return false;
  }
  // Checked before decoding, so that a lying directory cannot make Leptonica allocate.
  if (w <= 0 || h <= 0 || int64_t(w) * h > std::min(maxPixels, kMaxImagePixels)) {
    *error = "Page " + std::to_string(page + 1) + " is too large or empty (" + std::to_string(w) +
             " x " + std::to_string(h) + " pixels).";
    return false;
  }
  PIX* pix = pixReadTiff(fileName, page);
  if (!pix) {
    *error = "Page " + std::to_string(page + 1) + " of the picture file is damaged.";
    return false;
  }
  const bool ok = RasterFromPix(pix, out, error);
  pixDestroy(&pix);
  return ok;
}

bool ReadPage(const char* fileName, int32_t page, int64_t maxPixels, RasterImage* out,
              std::string* error) {
  const File f = OpenPictureFile(fileName);
  const PagedKind kind = f ? KindOf(f.get()) : PagedKind::Single;
  // Leptonica's reading of a missing page leaves libtiff's memory behind: asked first.
  if (kind == PagedKind::Tiff && page < CountTiffPages(f.get()))
    return ReadTiffPage(fileName, page, maxPixels, out, error);
  if (kind == PagedKind::Gif) {
    std::vector<uint8_t> gif;
    if (!OneFrameGif(f.get(), page, &gif, error)) {
      if (error->empty()) *error = "The picture file could not be read completely.";
      return false;
    }
    return DecodeLeptonicaBytes(gif, maxPixels, out, error);
  }
  *error = "The picture file has no page " + std::to_string(page + 1) + ".";
  return false;
}

// Leptonica reads TIFF pictures stored in strips only; one in tiles is refused with that
// reason rather than as damaged.
bool IsTiledTiffPage(const char* fileName, int32_t page) {
  const File f = OpenPictureFile(fileName);
  bool tiled = false;
  if (f && KindOf(f.get()) == PagedKind::Tiff) WalkTiff(f.get(), page, &tiled);
  return tiled;
}

// ---- PDF pages ----

bool ReadPdfPage(const char* fileName, int32_t page, int64_t maxPixels, RasterImage* out,
                 std::string* error) {
  const PdfModule* pdf = LoadPdfModule(error);
  if (!pdf) return false;
  PIX* pix = pdf->readPage(fileName, page, std::min(maxPixels, kMaxImagePixels), error);
  if (!pix) return false;
  const bool ok = RasterFromPix(pix, out, error);
  pixDestroy(&pix);
  return ok;
}

}  // namespace

int32_t DIBPageCount(const char* fileName) {
  if (IsPdfFile(fileName)) {
    std::string error;
    const PdfModule* pdf = LoadPdfModule(&error);
    const int32_t count = pdf ? pdf->pageCount(fileName, &error) : 0;
    return count > 1 ? count : 1;  // a PDF that cannot be read says why when it is opened
  }
  const File f = OpenPictureFile(fileName);
  if (!f) return 1;
  int32_t count = 1;
  switch (KindOf(f.get())) {
    case PagedKind::Tiff:
      count = CountTiffPages(f.get());
      break;
    case PagedKind::Gif: {
      std::vector<uint8_t> head;
      count = WalkGif(f.get(), -1, &head, nullptr);
      break;
    }
    case PagedKind::Single:
      break;
  }
  return count > 1 ? count : 1;
}

void OpenDibPage(RasterImage* out, const char* fileName, int32_t page, int64_t maxPixels,
                 bool directColour) {
  const bool pdf = IsPdfFile(fileName);
  if (!pdf && IsTiledTiffPage(fileName, page)) {
    std::memset(out, 0, sizeof(*out));
    DIBSetErrorText(*out, kTiledTiff);
    return;
  }
  if (!pdf && page == 0 && DIBPageCount(fileName) == 1) {
    OpenDibLimited(out, fileName, maxPixels, directColour);
    return;
  }
  std::memset(out, 0, sizeof(*out));
  std::string error;
  bool ok = false;
  try {
    QuietRasterLibrary();
    ok = page >= 0 && (pdf ? ReadPdfPage(fileName, page, maxPixels, out, &error)
                           : ReadPage(fileName, page, maxPixels, out, &error));
    if (page < 0) error = "There is no page " + std::to_string(page + 1) + ".";
  } catch (const std::bad_alloc&) {
    error = "Not enough memory for the picture.";
  }
  if (!ok) {
    deldib(out);
    std::memset(out, 0, sizeof(*out));
    DIBSetErrorText(*out, error.empty() ? "The picture could not be read." : error);
  }
}
