#include "core/OverwriteGuard.h"

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstring>
#include <mutex>
#include <set>
#include <string_view>
#include <utility>

#include "core/RegularFiles.h"
#include "core/codecs/Codec.h"

namespace {

// Read of a file: the longest header, and room for the creator of a PDF.
constexpr size_t kHeadBytes = 1024;
// A PDF written page by page has its Info after the pages: with the page tree and the
// cross-reference table of a document of a few thousand pages.
constexpr size_t kTailBytes = 64 * 1024;
static_assert(kHeadBytes >= kLongestReadableHeader);

struct Head {
  const uint8_t* d;
  size_t n;
  std::string_view tail = {};  // the file's last bytes, where a streamed PDF has its Info
  bool Has(size_t at, const char* text, size_t length) const {
    return n >= at + length && std::memcmp(d + at, text, length) == 0;
  }
  uint32_t U16(size_t at) const { return uint32_t(d[at]) | uint32_t(d[at + 1]) << 8; }
};

bool IsBmp(const Head& h) {
  // "BM" also begins ordinary words; the size of a known info header settles it.
  static const uint8_t kInfoSizes[] = {12, 40, 52, 56, 64, 108, 124};
  return h.Has(0, "BM", 2) && h.n >= 18 && h.d[15] == 0 && h.d[16] == 0 && h.d[17] == 0 &&
         std::memchr(kInfoSizes, h.d[14], sizeof kInfoSizes) != nullptr;
}

bool IsPng(const Head& h) {
  return h.Has(0, "\x89PNG\r\n\x1a\n", 8);
}
bool IsJpeg(const Head& h) {
  return h.Has(0, "\xFF\xD8\xFF", 3);
}
bool IsGif(const Head& h) {
  return h.Has(0, "GIF87a", 6) || h.Has(0, "GIF89a", 6);
}

bool IsTiff(const Head& h) {  // classic and BigTIFF, either byte order
  return h.Has(0, "II*\0", 4) || h.Has(0, "MM\0*", 4) || h.Has(0, "II+\0", 4) ||
         h.Has(0, "MM\0+", 4);
}

bool IsWebp(const Head& h) {
  return h.Has(0, "RIFF", 4) && h.Has(8, "WEBP", 4);
}

bool IsJpeg2000(const Head& h) {
  return h.Has(0, "\0\0\0\x0CjP  \r\n\x87\n", 12) || h.Has(0, "\xFF\x4F\xFF\x51", 4);
}

bool IsIff(const Head& h) {
  return h.Has(0, "FORM", 4) && (h.Has(8, "ILBM", 4) || h.Has(8, "PBM ", 4));
}

// A netpbm header whole: a text that merely begins with "P2" is no picture.
bool IsPnm(const Head& h) {
  codecs::PnmHeader header;
  return h.Has(0, "P7\nWIDTH ", 9) || codecs::ReadPnmHeader(h.d, h.n, &header);
}

// PCX has a one-byte signature; its whole 128-byte header must make sense.
bool IsPcx(const Head& h) {
  if (h.n < 128 || h.d[0] != 0x0A) return false;
  const uint8_t version = h.d[1], encoding = h.d[2], bpp = h.d[3], planes = h.d[65];
  return (version == 0 || (version >= 2 && version <= 5)) && encoding <= 1 &&
         (bpp == 1 || bpp == 2 || bpp == 4 || bpp == 8) && planes >= 1 && planes <= 4 &&
         h.U16(8) >= h.U16(4) && h.U16(10) >= h.U16(6);
}

// TGA has no signature at its start (the footer is optional): the 18-byte header must
// describe a picture that the reader takes.
bool IsTga(const Head& h) {
  if (h.n < 18) return false;
  const uint8_t mapType = h.d[1], type = h.d[2], mapBits = h.d[7], depth = h.d[16];
  const uint8_t base = type & 7u;
  const bool mapped = base == 1 && mapType == 1 && depth == 8;
  const bool grey = base == 3 && depth == 8;
  const bool colour = base == 2 && (depth == 15 || depth == 16 || depth == 24 || depth == 32);
  const bool mapOk =
      mapType == 0 || mapBits == 15 || mapBits == 16 || mapBits == 24 || mapBits == 32;
  const bool interleaved = (h.d[17] & 0xC0) != 0;
  return mapType <= 1 && (type & ~8u) <= 3 && (mapped || grey || colour) && mapOk && !interleaved &&
         h.U16(12) > 0 && h.U16(14) > 0;
}

// Windows metafiles are refused by the reader, but are the user's pictures all the same.
bool IsMetafile(const Head& h) {
  return (h.n >= 44 && h.Has(0, "\x01\0\0\0", 4) && h.Has(40, " EMF", 4)) ||
         h.Has(0, "\xD7\xCD\xC6\x9A", 4) ||
         (h.n >= 6 && (h.d[0] == 1 || h.d[0] == 2) && h.Has(1, "\0\x09\0\0", 4) &&
          (h.d[5] == 1 || h.d[5] == 3));
}

// A searchable PDF this program wrote from pictures (its writer names it the creator, in the
// Info at the file's top or, written page by page, at its end) is its own output: the next
// run replaces it, and its pictures live on elsewhere.
bool IsPdf(const Head& h) {
  static constexpr std::string_view kOwnMark = "/Creator(Quillon)";
  const std::string_view text(reinterpret_cast<const char*>(h.d), h.n);
  return h.Has(0, "%PDF-", 5) && text.find(kOwnMark) == std::string_view::npos &&
         h.tail.find(kOwnMark) == std::string_view::npos;
}

struct ReadableFormat {
  const char* what;
  bool (*begins)(const Head&);
};

// One entry per format the program reads (or knows as the user's pictures).
constexpr ReadableFormat kReadableFormats[] = {
    {"a BMP picture", IsBmp},
    {"a PNG picture", IsPng},
    {"a JPEG picture", IsJpeg},
    {"a GIF picture", IsGif},
    {"a TIFF picture", IsTiff},
    {"a WebP picture", IsWebp},
    {"a JPEG 2000 picture", IsJpeg2000},
    {"an IFF picture", IsIff},
    {"a PNM picture", IsPnm},
    {"a PCX picture", IsPcx},
    {"a TGA picture", IsTga},
    {"a Windows metafile", IsMetafile},
    {"a PDF document", IsPdf},
};

using FileId = std::pair<dev_t, ino_t>;

std::mutex& ProtectedMutex() {
  static std::mutex mutex;
  return mutex;
}

std::set<FileId>& ProtectedFiles() {
  static std::set<FileId> files;
  return files;
}

bool IsProtected(const struct stat& info) {
  std::lock_guard<std::mutex> lock(ProtectedMutex());
  return ProtectedFiles().count({info.st_dev, info.st_ino}) > 0;
}

// Up to `size` bytes from `offset`; fewer at the file's end or on an error.
size_t ReadAt(int fd, off_t offset, void* buffer, size_t size) {
  size_t got = 0;
  while (got < size) {
    const ssize_t n =
        ::pread(fd, static_cast<char*>(buffer) + got, size - got, offset + off_t(got));
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) break;
    got += size_t(n);
  }
  return got;
}

}  // namespace

const char* ReadableFormatOf(const uint8_t* head, size_t size, std::string_view tail) {
  const Head h{head, size, tail};
  for (const ReadableFormat& format : kReadableFormats)
    if (format.begins(h)) return format.what;
  return nullptr;
}

const char* ReadableFormatOfFile(const std::string& path) {
  std::string ignored;
  const int fd = OpenRegularFile(path, &ignored);
  if (fd < 0) return nullptr;
  uint8_t head[kHeadBytes];
  const size_t got = ReadAt(fd, 0, head, sizeof head);
  std::string tail;
  const off_t size = ::lseek(fd, 0, SEEK_END);
  if (got >= 5 && std::memcmp(head, "%PDF-", 5) == 0 && size > off_t(sizeof head)) {
    tail.resize(size_t(std::min<off_t>(size, off_t(kTailBytes))));
    tail.resize(ReadAt(fd, size - off_t(tail.size()), tail.data(), tail.size()));
  }
  ::close(fd);
  return ReadableFormatOf(head, got, tail);
}

void ProtectFromOverwrite(const std::string& path) {
  struct stat info {};
  if (path.empty() || path == "-" || ::stat(path.c_str(), &info) != 0) return;
  std::lock_guard<std::mutex> lock(ProtectedMutex());
  ProtectedFiles().insert({info.st_dev, info.st_ino});
}

std::string OverwriteRefusal(const std::string& path) {
  struct stat info {};
  // A new file replaces nothing; a FIFO or a device is written into, not replaced.
  if (path == "-" || ::stat(path.c_str(), &info) != 0 || !S_ISREG(info.st_mode)) return "";
  if (IsProtected(info))
    return "\"" + path + "\" is the picture itself (read by this run); it is not replaced.";
  if (const char* format = ReadableFormatOfFile(path))
    return "\"" + path + "\" is " + format + "; it is not replaced.";
  return "";
}
