// Scanner over SANE: device list, acquisition of one page into a RasterImage, the store
// of scanned pages by number, and the worker thread of a scan.
#include "platform/Scanner.h"

#include <dlfcn.h>
#include <sane/sane.h>
#include <sane/saneopts.h>

#include <algorithm>
#include <cstring>
#include <map>
#include <new>
#include <system_error>

namespace {

// SANE's library is loaded when the user first scans: it brings the USB and device
// libraries with it, which a recognition from the command line would load for nothing.
struct SaneLibrary {
  decltype(&::sane_init) init = nullptr;
  decltype(&::sane_exit) exit = nullptr;
  decltype(&::sane_get_devices) get_devices = nullptr;
  decltype(&::sane_open) open = nullptr;
  decltype(&::sane_close) close = nullptr;
  decltype(&::sane_get_option_descriptor) get_option_descriptor = nullptr;
  decltype(&::sane_control_option) control_option = nullptr;
  decltype(&::sane_get_parameters) get_parameters = nullptr;
  decltype(&::sane_start) start = nullptr;
  decltype(&::sane_read) read = nullptr;
  decltype(&::sane_cancel) cancel = nullptr;
  decltype(&::sane_strstatus) strstatus = nullptr;
};

template <typename Function>
bool Bind(void* library, const char* name, Function* function) {
  *function = reinterpret_cast<Function>(dlsym(library, name));
  return *function != nullptr;
}

// The library with every function bound, or null when it is missing or incomplete.
const SaneLibrary* LoadSane() {
  static const SaneLibrary* const loaded = []() -> const SaneLibrary* {
    // Global, as if linked: the backends SANE loads in turn expect its symbols there.
    void* library = dlopen("libsane.so.1", RTLD_NOW | RTLD_GLOBAL);
    if (!library) return nullptr;
    static SaneLibrary sane;
    const bool complete =
        Bind(library, "sane_init", &sane.init) && Bind(library, "sane_exit", &sane.exit) &&
        Bind(library, "sane_get_devices", &sane.get_devices) &&
        Bind(library, "sane_open", &sane.open) && Bind(library, "sane_close", &sane.close) &&
        Bind(library, "sane_get_option_descriptor", &sane.get_option_descriptor) &&
        Bind(library, "sane_control_option", &sane.control_option) &&
        Bind(library, "sane_get_parameters", &sane.get_parameters) &&
        Bind(library, "sane_start", &sane.start) && Bind(library, "sane_read", &sane.read) &&
        Bind(library, "sane_cancel", &sane.cancel) &&
        Bind(library, "sane_strstatus", &sane.strstatus);
    return complete ? &sane : nullptr;
  }();
  return loaded;
}

// Only called inside a session, which has loaded the library.
const SaneLibrary& Sane() {
  return *LoadSane();
}

// SANE keeps process-wide state between sane_init and sane_exit: one session at a time.
std::mutex& SaneMutex() {
  static std::mutex mutex;
  return mutex;
}

// Pages scanned and not yet collected, by number.
struct ScanStore {
  std::mutex mutex;
  std::map<int32_t, RasterImage> pages;
  int32_t nextId = 1;
  ~ScanStore() {
    for (auto& [id, image] : pages) deldib(&image);
  }
};
ScanStore& Store() {
  static ScanStore store;
  return store;
}

constexpr int32_t kScanResolution = 300;  // dpi asked of the device; the pages are for OCR

class SaneSession {
 public:
  SaneSession() : status(LoadSane() ? Sane().init(nullptr, nullptr) : SANE_STATUS_UNSUPPORTED) {}
  ~SaneSession() {
    if (status == SANE_STATUS_GOOD) Sane().exit();
  }
  // Why the session could not start.
  std::string Problem() const {
    return LoadSane() ? Sane().strstatus(status) : "the SANE library (libsane.so.1) is missing";
  }
  SaneSession(const SaneSession&) = delete;
  SaneSession& operator=(const SaneSession&) = delete;
  SANE_Status status;
};

std::string Text(const char* s) {
  return s ? s : "";
}

bool ReadDevices(std::vector<ScannerDevice>* devices, std::string* error) {
  const SANE_Device** list = nullptr;
  const SANE_Status st = Sane().get_devices(&list, SANE_FALSE);
  if (st != SANE_STATUS_GOOD) {
    *error = std::string("The scanners cannot be listed: ") + Sane().strstatus(st);
    return false;
  }
  devices->clear();
  for (int32_t i = 0; list && list[i]; ++i)
    devices->push_back({Text(list[i]->name), Text(list[i]->vendor) + " " + Text(list[i]->model) +
                                                 " (" + Text(list[i]->type) + ")"});
  return true;
}

// Best effort: a device that refuses an option scans with its own setting.
void SetOptions(SANE_Handle handle) {
  for (SANE_Int i = 1;; ++i) {
    const SANE_Option_Descriptor* d = Sane().get_option_descriptor(handle, i);
    if (!d) break;
    if (!d->name || !SANE_OPTION_IS_SETTABLE(d->cap) || !SANE_OPTION_IS_ACTIVE(d->cap)) continue;
    if (std::strcmp(d->name, SANE_NAME_SCAN_MODE) == 0 && d->type == SANE_TYPE_STRING &&
        d->constraint_type == SANE_CONSTRAINT_STRING_LIST) {
      for (const SANE_String_Const* s = d->constraint.string_list; *s; ++s)
        if (std::strcmp(*s, SANE_VALUE_SCAN_MODE_GRAY) == 0) {
          std::vector<char> value(size_t(std::max<SANE_Int>(d->size, 8)), 0);
          std::strncpy(value.data(), *s, value.size() - 1);
          Sane().control_option(handle, i, SANE_ACTION_SET_VALUE, value.data(), nullptr);
          break;
        }
    } else if (std::strcmp(d->name, SANE_NAME_SCAN_RESOLUTION) == 0 &&
               (d->type == SANE_TYPE_INT || d->type == SANE_TYPE_FIXED) && d->size >= 4) {
      const bool fixed = d->type == SANE_TYPE_FIXED;
      auto toWord = [fixed](int32_t dpi) { return fixed ? SANE_FIX(double(dpi)) : SANE_Word(dpi); };
      auto toDpi = [fixed](SANE_Word w) { return fixed ? SANE_UNFIX(w) : double(w); };
      SANE_Word value = toWord(kScanResolution);
      if (d->constraint_type == SANE_CONSTRAINT_RANGE) {
        value = std::clamp(value, d->constraint.range->min, d->constraint.range->max);
      } else if (d->constraint_type == SANE_CONSTRAINT_WORD_LIST) {
        const SANE_Word* list = d->constraint.word_list;  // list[0] is the count
        if (list[0] < 1) continue;
        value = list[1];
        for (SANE_Word k = 1; k <= list[0]; ++k)
          if (std::abs(toDpi(list[k]) - kScanResolution) < std::abs(toDpi(value) - kScanResolution))
            value = list[k];
      }
      Sane().control_option(handle, i, SANE_ACTION_SET_VALUE, &value, nullptr);
    }
  }
}

// Sample `index` of a row of samples of `depth` bits, as 0 ... 255.
uint8_t Sample(const uint8_t* row, int64_t index, int32_t depth) {
  switch (depth) {
    case 1:
      return ((row[index >> 3] >> (7 - (index & 7))) & 1) ? 255 : 0;
    case 16: {
      uint16_t v;
      std::memcpy(&v, row + 2 * index, 2);  // native byte order
      return uint8_t(v >> 8);
    }
    default:
      return row[index];
  }
}

void MakeImage(RasterImage* out, int32_t width, int32_t height, int32_t bits) {
  std::vector<uint8_t> info(kBitmapInfoSize, 0);
  auto* table = reinterpret_cast<RgbQuad*>(info.data() + sizeof(BitmapInfoHeader));
  int32_t count = 0;
  if (bits == 1) {
    // SANE line art: a set bit is black.
    table[0] = {255, 255, 255, 0};
    table[1] = {0, 0, 0, 0};
    count = 2;
  } else if (bits == 8) {
    for (int32_t g = 0; g < 256; ++g) table[g] = {uint8_t(g), uint8_t(g), uint8_t(g), 0};
    count = 256;
  }
  newdib(out, width, height, bits, count ? info.data() : nullptr, count);
}

// Writes one frame of SANE data into the image (made on the first frame).
bool StoreFrame(const SANE_Parameters& p, const std::vector<uint8_t>& data, int32_t lines,
                RasterImage* image, std::string* error) {
  const int32_t w = p.pixels_per_line;
  const bool grey = p.format == SANE_FRAME_GRAY;
  if (!image->pixels) {
    const int32_t bits = grey ? (p.depth == 1 ? 1 : 8) : 24;
    MakeImage(image, w, lines, bits);
    if (!image->pixels) {
      *error = DIBErrorText(*image);
      return false;
    }
  } else if (DIBWidth(*image) != w || DIBHeight(*image) != lines || DIBBitCount(*image) != 24) {
    *error = "The scanner sent frames of different sizes.";
    return false;
  }
  for (int32_t y = 0; y < lines; ++y) {
    const uint8_t* src = data.data() + int64_t(y) * p.bytes_per_line;
    uint8_t* dst = DIBRow(*image, lines - 1 - y);
    switch (p.format) {
      case SANE_FRAME_GRAY:
        if (p.depth == 1)
          std::memcpy(dst, src, size_t((w + 7) / 8));
        else
          for (int32_t x = 0; x < w; ++x) dst[x] = Sample(src, x, p.depth);
        break;
      case SANE_FRAME_RGB:
        for (int32_t x = 0; x < w; ++x) {
          dst[3 * x + 2] = Sample(src, 3 * int64_t(x), p.depth);
          dst[3 * x + 1] = Sample(src, 3 * int64_t(x) + 1, p.depth);
          dst[3 * x + 0] = Sample(src, 3 * int64_t(x) + 2, p.depth);
        }
        break;
      default: {  // one channel of a three-pass scan
        const int32_t channel = p.format == SANE_FRAME_RED     ? 2
                                : p.format == SANE_FRAME_GREEN ? 1
                                                               : 0;
        for (int32_t x = 0; x < w; ++x) dst[3 * x + channel] = Sample(src, x, p.depth);
      }
    }
  }
  return true;
}

bool ScanFrames(SANE_Handle handle, RasterImage* image, std::string* error) {
  for (;;) {
    SANE_Status st = Sane().start(handle);
    if (st != SANE_STATUS_GOOD) {
      *error = std::string("The scan could not start: ") + Sane().strstatus(st);
      return false;
    }
    SANE_Parameters p;
    st = Sane().get_parameters(handle, &p);
    if (st != SANE_STATUS_GOOD) {
      *error = std::string("The scanner gives no picture size: ") + Sane().strstatus(st);
      return false;
    }
    const bool formatOk = p.format == SANE_FRAME_GRAY || p.format == SANE_FRAME_RGB ||
                          p.format == SANE_FRAME_RED || p.format == SANE_FRAME_GREEN ||
                          p.format == SANE_FRAME_BLUE;
    const int64_t samples = p.format == SANE_FRAME_RGB ? 3 : 1;
    if (!formatOk || (p.depth != 1 && p.depth != 8 && p.depth != 16) || p.pixels_per_line <= 0 ||
        p.bytes_per_line < (samples * p.pixels_per_line * p.depth + 7) / 8) {
      *error = "The scanner sends a picture format that cannot be read.";
      return false;
    }
    if ((p.lines > 0 && int64_t(p.lines) * p.pixels_per_line > kMaxImagePixels) ||
        int64_t(p.bytes_per_line) > kMaxImagePixels ||
        (p.lines > 0 && int64_t(p.lines) * p.bytes_per_line > kMaxImagePixels * 6)) {
      *error = "The scanned picture would be too large.";
      return false;
    }
    // A hand scanner does not know its length beforehand (lines < 0): read to the end.
    const int64_t limit = p.lines > 0 ? int64_t(p.lines) * p.bytes_per_line : kMaxImagePixels * 6;
    std::vector<uint8_t> data;
    if (p.lines > 0) data.reserve(size_t(limit));
    std::vector<uint8_t> chunk(64 * 1024);
    for (;;) {
      SANE_Int got = 0;
      st = Sane().read(handle, chunk.data(), SANE_Int(chunk.size()), &got);
      if (st == SANE_STATUS_EOF) break;
      if (st != SANE_STATUS_GOOD) {
        *error = std::string("The scan failed: ") + Sane().strstatus(st);
        return false;
      }
      const int64_t room = limit - int64_t(data.size());
      data.insert(data.end(), chunk.begin(), chunk.begin() + std::clamp<int64_t>(got, 0, room));
      if (int64_t(data.size()) >= limit && p.lines <= 0) {
        *error = "The scanned picture is too large.";
        return false;
      }
    }
    const int64_t lines = int64_t(data.size()) / p.bytes_per_line;
    if (lines <= 0) {
      *error = "The scanner sent no picture.";
      return false;
    }
    if (!StoreFrame(p, data, int32_t(std::min<int64_t>(lines, INT32_MAX)), image, error))
      return false;
    if (p.last_frame) return true;
  }
}

}  // namespace

bool ScannerListDevices(std::vector<ScannerDevice>* devices, std::string* error) {
  std::unique_lock lock(SaneMutex(), std::try_to_lock);
  if (!lock.owns_lock()) {
    *error = "A scan is in progress.";
    return false;
  }
  SaneSession session;
  if (session.status != SANE_STATUS_GOOD) {
    *error = std::string("The scanner access (SANE) cannot start: ") + session.Problem();
    return false;
  }
  return ReadDevices(devices, error);
}

void ScannerAcquire(const std::string& deviceName, RasterImage* out) {
  std::memset(out, 0, sizeof(*out));
  std::lock_guard lock(SaneMutex());
  SaneSession session;
  std::string error;
  if (session.status != SANE_STATUS_GOOD) {
    DIBSetErrorText(*out,
                    std::string("The scanner access (SANE) cannot start: ") + session.Problem());
    return;
  }
  std::string name = deviceName;
  if (name.empty()) {
    std::vector<ScannerDevice> devices;
    if (!ReadDevices(&devices, &error)) {
      DIBSetErrorText(*out, error);
      return;
    }
    if (devices.empty()) {
      DIBSetErrorText(*out, "No scanner was found.");
      return;
    }
    name = devices.front().name;
  }
  SANE_Handle handle = nullptr;
  const SANE_Status st = Sane().open(name.c_str(), &handle);
  if (st != SANE_STATUS_GOOD) {
    DIBSetErrorText(*out, "The scanner \"" + name + "\" cannot be opened: " + Sane().strstatus(st));
    return;
  }
  SetOptions(handle);
  RasterImage image;
  std::memset(&image, 0, sizeof(image));
  bool ok = false;
  try {
    ok = ScanFrames(handle, &image, &error);
  } catch (const std::bad_alloc&) {
    error = "Not enough memory for the scanned picture.";
  }
  Sane().cancel(handle);
  Sane().close(handle);
  if (!ok) {
    deldib(&image);
    DIBSetErrorText(*out, error);
    return;
  }
  *out = image;
}

void GetScanedDib(RasterImage* out, int32_t scanId) {
  std::memset(out, 0, sizeof(*out));
  ScanStore& store = Store();
  std::lock_guard lock(store.mutex);
  auto it = store.pages.find(scanId);
  if (it == store.pages.end()) {
    DIBSetErrorText(*out, "There is no scanned picture number " + std::to_string(scanId) + ".");
    return;
  }
  *out = it->second;
  store.pages.erase(it);
}

ScannerLink::~ScannerLink() {
  WaitForScan();
}

bool ScannerLink::TWAIN_SelectScanner(
    const std::function<int32_t(const std::vector<std::string>&)>& choose, std::string* error) {
  std::vector<ScannerDevice> devices;
  if (!ScannerListDevices(&devices, error)) return false;
  if (devices.empty()) {
    *error = "No scanner was found.";
    return false;
  }
  std::vector<std::string> lines;
  for (const ScannerDevice& d : devices) lines.push_back(d.name + "  " + d.description);
  const int32_t chosen = choose(lines);
  if (chosen >= 0 && chosen < int32_t(devices.size())) source = devices[size_t(chosen)].name;
  return true;
}

bool ScannerLink::TWAIN_ScanImage(std::function<void(int32_t)> done, std::string* error) {
  if (busy_) {
    *error = "A scan is in progress.";
    return false;
  }
  if (worker_.joinable()) worker_.join();
  busy_ = true;
  try {
    worker_ = std::thread([this, device = source, done = std::move(done)] {
      RasterImage image;
      ScannerAcquire(device, &image);
      int32_t id;
      {
        ScanStore& store = Store();
        std::lock_guard lock(store.mutex);
        id = store.nextId++;
        store.pages[id] = image;
      }
      busy_ = false;
      done(id);
    });
  } catch (const std::system_error&) {
    busy_ = false;
    *error = "The scan could not start: no thread for it.";
    return false;
  }
  return true;
}

void ScannerLink::WaitForScan() {
  if (worker_.joinable()) worker_.join();
}
