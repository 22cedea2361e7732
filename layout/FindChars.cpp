// Object search (FindCharsBtnClick): finds the 4-connected ink objects of the search area
// of the black/white page, keeps those that reach the minimal size, takes round dots
// aside into `dots`, drops hair-thin specks and hands the rest to the line finding.
// ClearChars releases the objects and dots of the last search.
#include <chrono>
#include <cstring>
#include <new>
#include <string>

#include "app/MainUnit.h"
#include "layout/ObjectSearch.h"
#include "layout/RecordOrder.h"

namespace {

constexpr const char* kNoMemoryMessage = "Error: Not enough memory for this function!!!";

// Milliseconds of a steady clock, as the timing lines of the log count them.
int32_t GetTickCount() {
  using namespace std::chrono;
  return int32_t(duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count());
}

// Lets the window's pending events run once per span of the fill.
class WindowPump final : public SpanListener {
 public:
  explicit WindowPump(WindowInterface& window) : window_(window) {}
  void Span() override { window_.ProcessMessages(); }

 private:
  WindowInterface& window_;
};

}  // namespace

void TMainForm::ClearChars() {
  for (int32_t i = 0; i < objects.Count; ++i) ReleasePageObject(*objects.At(i));
  for (int32_t i = 0; i < dots.Count; ++i) ReleasePageObject(*dots.At(i));
  objects.Clear();
  dots.Clear();
}

void TMainForm::FindCharsBtnClick() {
  // The fill lets window events run; a second search started from one of them would
  // pull the lists away from under this one.
  if (findCharsRunning) return;
  findCharsRunning = true;
  struct RunningFlag {
    bool& flag;
    ~RunningFlag() { flag = false; }
  } running{findCharsRunning};

  // 1. The search keeps its marks in a map of its own, one byte per pixel, so that the page
  // itself is never written and stays exactly as it was, whatever happens.
  const bool pageUsable = bwImage.pixels && DIBBitCount(bwImage) == 24;
  RasterImage work{};
  if (pageUsable) {
    work = MakeSearchMap(bwImage, objectImageMaker);
    if (!work.pixels) {
      deldib(&work);
      window.MessageBox(kNoMemoryMessage, kApplicationTitle, MessageIcon::Error,
                        MessageButtons::Ok);
      return;  // page, lists and results of the last search stay as they were
    }
  }
  struct SearchMap {
    RasterImage& image;
    ~SearchMap() { deldib(&image); }
  } workOwner{work};

  // 2. The results of the last search go.
  ClearChars();
  for (int32_t i = 0; i < lines.Count; ++i) ReleaseTextLine(*lines.At(i));
  lines.Clear();
  bottomCounts.Clear();
  objects.chunk = 10000;  // only while the lists are empty
  dots.chunk = 10000;

  // 3.
  const int32_t width = DIBWidth(work), height = DIBHeight(work);
  Log("Search for objects...");
  Log(std::to_string(DIBWidth(bwImage)) + " x " + std::to_string(DIBHeight(bwImage)) + " Pixel...");

  // 4.
  const int32_t minObjSize = settings.MinObjSizeED;
  stepStartTicks = GetTickCount();

  // 5. Clip the search area to the page (stored back).
  if (pageUsable) {
    if (searchArea.left < 0) searchArea.left = 0;
    if (searchArea.top < 0) searchArea.top = 0;
    if (searchArea.right > width - 1) searchArea.right = width - 1;
    if (searchArea.bottom > height - 1) searchArea.bottom = height - 1;
  }

  // 6. Scan for unvisited ink; every object found is filled, then kept or left marked.
  int64_t heightSum = 0;
  int32_t keptCount = 0;
  try {
    std::vector<FillSeed> workList;
    WindowPump pump(window);
    const int32_t left = searchArea.left, top = searchArea.top;
    const int32_t right = searchArea.right, bottom = searchArea.bottom;
    for (int32_t y = top; y <= bottom && pageUsable; ++y) {
      const uint8_t* row = DIBRow(work, height - 1 - y);
      for (int32_t x = left; x <= right; ++x) {
        // Paper and visited ink dominate a row: jump to its next unvisited ink. Marks only
        // ever leave kInkUnvisited, so nothing skipped can become a start later.
        const void* next = std::memchr(row + x, kInkUnvisited, size_t(right - x + 1));
        if (!next) break;
        x = int32_t(static_cast<const uint8_t*>(next) - row);
        FillBounds bounds{width, height, -1, -1};
        FillObject(work, x, y, bounds, workList, &pump);
        const int32_t w = bounds.maxX - bounds.minX + 1, h = bounds.maxY - bounds.minY + 1;
        // Too small: the pixels keep their mark and are neither ink nor paper from now on.
        if (!(w >= minObjSize || h >= minObjSize)) continue;
        RasterImage image{};
        if (!CutOutObject(work, bounds, &image, objectImageMaker)) throw std::bad_alloc();
        PageObject* object;
        try {
          object = objects.Add();
        } catch (const std::bad_alloc&) {
          deldib(&image);
          throw;
        }
        object->image = image;
        object->box = {bounds.minX, bounds.minY, bounds.maxX, bounds.maxY};
        ++keptCount;
        heightSum += h;
      }
    }
  } catch (const std::bad_alloc&) {
    // No half result: the map goes with workOwner, the page itself was not touched.
    ClearChars();
    window.MessageBox(kNoMemoryMessage, kApplicationTitle, MessageIcon::Error, MessageButtons::Ok);
    return;
  }

  // 7.
  Log("Objects found: " + std::to_string(objects.Count) +
      "; Time:" + std::to_string(GetTickCount() - stepStartTicks) + "msek....");
  stepStartTicks = GetTickCount();

  // 8. Filter, visiting the objects from the last to the first: round dots go to `dots`,
  // hair-thin specks are dropped; big objects (pictures, rules, initials) all stay.
  if (keptCount > 0) {
    const int64_t big = 10 * (heightSum / keptCount);
    try {
      std::vector<int32_t> keep;
      keep.reserve(size_t(objects.Count));
      for (int32_t i = objects.Count - 1; i >= 0; --i) {
        PageObject* object = objects.At(i);
        const int32_t w = object->box.Right - object->box.Left + 1;
        const int32_t h = object->box.Bottom - object->box.Top + 1;
        if (h < big && w < big) {
          if (IsRoundDot(object->image)) {
            PageObject* dot = dots.Add();
            object = objects.At(i);
            std::memcpy(static_cast<void*>(dot), object, sizeof(PageObject));
            std::memset(&object->image, 0, sizeof object->image);  // now owned by `dots`
            continue;
          }
          if (w == 1 || h == 1) {
            ReleasePageObject(*object);
            continue;
          }
        }
        keep.push_back(i);
      }
      ArrangeRecords(objects, keep);
    } catch (const std::bad_alloc&) {
      ClearChars();
      window.MessageBox(kNoMemoryMessage, kApplicationTitle, MessageIcon::Error,
                        MessageButtons::Ok);
      return;
    }
  }

  // 9. - 11.
  window.RepaintPaintBox1();
  stepStartTicks = GetTickCount();
  try {
    findlinesoftext();
  } catch (const std::bad_alloc&) {
    ClearChars();
    for (int32_t i = 0; i < lines.Count; ++i) ReleaseTextLine(*lines.At(i));
    lines.Clear();
    window.MessageBox(kNoMemoryMessage, kApplicationTitle, MessageIcon::Error, MessageButtons::Ok);
  }
  // 12. The map is released by workOwner; bwImage was never written.
}
