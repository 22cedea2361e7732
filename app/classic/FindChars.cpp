// Object search (FindCharsBtnClick): finds the 4-connected ink objects of the search area
// of the black/white page, keeps those that reach the minimal size, takes round dots
// aside into `dots`, drops hair-thin specks and drawings and hands the rest to the line
// finding.
// ClearChars releases the objects and dots of the last search.
#include <algorithm>
#include <chrono>
#include <cstring>
#include <new>
#include <string>

#include "app/MainUnit.h"
#include "app/classic/RecordOrder.h"
#include "core/Median.h"
#include "layout/ObjectSearch.h"

namespace {

constexpr const char* kNoMemoryMessage = "Error: Not enough memory for this function!!!";
constexpr int32_t kObjectListChunk = 10000;
// An object this many times as wide and as high as the page's letters is a drawing.
constexpr int32_t kDrawingToLetterHeight = 10;

// Milliseconds of a steady clock in 32 bits, as the timing lines of the log count them.
uint32_t GetTickCount() {
  using namespace std::chrono;
  return uint32_t(duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count());
}

// Lets the window's pending events run once per span of the fill.
class WindowPump final : public SpanListener {
 public:
  explicit WindowPump(WindowInterface& window) : window_(window) {}
  void Span() override { window_.ProcessMessages(); }

 private:
  WindowInterface& window_;
};

void ReportNoMemory(TMainForm& form) {
  form.window.MessageBox(kNoMemoryMessage, kApplicationTitle, MessageIcon::Error,
                         MessageButtons::Ok);
}

void ClearLastSearch(TMainForm& form) {
  form.ClearChars();
  form.ClearLines();
  form.bottomCounts.Clear();
  form.objects.chunk = kObjectListChunk;  // only while the lists are empty
  form.dots.chunk = kObjectListChunk;
}

void LogSearchStart(TMainForm& form) {
  form.Log("Search for objects...");
  form.Log(std::to_string(DIBWidth(form.bwImage)) + " x " +
           std::to_string(DIBHeight(form.bwImage)) + " Pixel...");
}

// Clips the search area to a width x height page (stored back).
void ClipSearchArea(PageBox& area, int32_t width, int32_t height) {
  if (area.left < 0) area.left = 0;
  if (area.top < 0) area.top = 0;
  if (area.right > width - 1) area.right = width - 1;
  if (area.bottom > height - 1) area.bottom = height - 1;
}

struct KeptObjects {
  int32_t count = 0;  // drawings included, as the size test counts them
  int64_t heightSum = 0;
  int32_t drawings = 0;  // left out at once, never cut out
};

// Appends the object `bounds` of the map to `objects` with its cut-out image.
void KeepObject(TMainForm& form, RasterImage& work, const FillBounds& bounds) {
  RasterImage image{};
  if (!CutOutObject(work, bounds, &image, form.objectImageMaker)) throw std::bad_alloc();
  PageObject* object;
  try {
    object = form.objects.Add();
  } catch (const std::bad_alloc&) {
    deldib(&image);
    throw;
  }
  object->image = image;
  object->box = {bounds.minX, bounds.minY, bounds.maxX, bounds.maxY};
}

// Scans the search area for unvisited ink; every object found is filled, then kept when
// it reaches the minimal size, or left marked. Throws std::bad_alloc.
KeptObjects CollectObjects(TMainForm& form, RasterImage& work) {
  const int32_t width = DIBWidth(work), height = DIBHeight(work);
  const int32_t minObjSize = form.settings.MinObjSizeED;
  const PageBox area = form.searchArea;
  KeptObjects kept;
  std::vector<FillSeed> workList;
  WindowPump pump(form.window);
  for (int32_t y = area.top; y <= area.bottom; ++y) {
    const uint8_t* row = DIBRow(work, height - 1 - y);
    for (int32_t x = area.left; x <= area.right; ++x) {
      // Paper and visited ink dominate a row: jump to its next unvisited ink. Marks only
      // ever leave kInkUnvisited, so nothing skipped can become a start later.
      const void* next = std::memchr(row + x, kInkUnvisited, size_t(area.right - x + 1));
      if (!next) break;
      x = int32_t(static_cast<const uint8_t*>(next) - row);
      FillBounds bounds{width, height, -1, -1};
      FillObject(work, x, y, bounds, workList, &pump);
      const int32_t w = bounds.maxX - bounds.minX + 1, h = bounds.maxY - bounds.minY + 1;
      // Too small: the pixels keep their mark and are neither ink nor paper from now on.
      if (!(w >= minObjSize || h >= minObjSize)) continue;
      ++kept.count;
      kept.heightSum += h;
      // A drawing would only be read as a letter of garbage, and its cut-out would cost
      // three bytes for every pixel of its box, which may be most of the page.
      if (IsDrawing(bounds)) {
        TakeObjectMarks(work, bounds);
        ++kept.drawings;
        continue;
      }
      KeepObject(form, work, bounds);
    }
  }
  return kept;
}

void LogObjectsFound(TMainForm& form, const KeptObjects& kept) {
  const uint32_t now = GetTickCount();
  form.Log("Objects found: " + std::to_string(form.objects.Count + kept.drawings) + "; Time:" +
           std::to_string(TicksBetween(uint32_t(form.stepStartTicks), now)) + "msek....");
  form.stepStartTicks = int32_t(GetTickCount());
}

// Visits the objects from the last to the first: round dots go to `dots`, hair-thin
// specks are dropped; big objects (pictures, rules, initials) all stay. Throws
// std::bad_alloc.
void SetDotsAndSpecksAside(TMainForm& form, const KeptObjects& kept) {
  if (kept.count == 0) return;
  const int64_t big = 10 * (kept.heightSum / kept.count);
  std::vector<int32_t> keep;
  keep.reserve(size_t(form.objects.Count));
  for (int32_t i = form.objects.Count - 1; i >= 0; --i) {
    PageObject* object = form.objects.At(i);
    const int32_t w = object->box.Right - object->box.Left + 1;
    const int32_t h = object->box.Bottom - object->box.Top + 1;
    if (h < big && w < big) {
      if (IsRoundDot(object->image)) {
        PageObject* dot = form.dots.Add();
        object = form.objects.At(i);
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
  ArrangeRecords(form.objects, keep);
}

// The height of the page's letters: the median height of its objects (0 for none).
int32_t MedianHeight(TDynaArray<PageObject>& objects) {
  std::vector<int32_t> heights;
  heights.reserve(size_t(objects.Count));
  for (int32_t i = 0; i < objects.Count; ++i) {
    const Box& b = objects.At(i)->box;
    heights.push_back(b.Bottom - b.Top + 1);
  }
  return Median(std::move(heights));
}

// Objects whose width and height both reach kDrawingToLetterHeight times the height of
// the page's letters leave `objects`: no glyph is that large beside the text of its page.
// Answers how many left.
int32_t SetLargeObjectsApart(TMainForm& form) {
  const int64_t large = int64_t(kDrawingToLetterHeight) * MedianHeight(form.objects);
  std::vector<int32_t> keep;
  keep.reserve(size_t(form.objects.Count));
  int32_t setApart = 0;
  for (int32_t i = 0; i < form.objects.Count; ++i) {
    PageObject* object = form.objects.At(i);
    const Box& b = object->box;
    if (large > 0 && b.Right - b.Left + 1 >= large && b.Bottom - b.Top + 1 >= large) {
      ReleasePageObject(*object);
      ++setApart;
      continue;
    }
    keep.push_back(i);
  }
  if (setApart > 0) ArrangeRecords(form.objects, keep);
  return setApart;
}

// The line finding over the objects again, from the boxes as found: a large object pulls
// the text beside it into its own line.
void FindLinesAgain(TMainForm& form) {
  for (int32_t i = 0; i < form.objects.Count; ++i) {
    PageObject* object = form.objects.At(i);
    object->box = object->unskewedBox;
  }
  form.ClearLines();
  form.PaintBox1Paint();  // without the line boxes of the first pass
  form.stepStartTicks = int32_t(GetTickCount());
  form.findlinesoftext();
}

// Large objects are only told from letters once the line finding has run: it has to see
// them, as the picture exclusion weighs the lines of a picture by the slant of all their
// objects. The drawings that the search left out never reached it.
void SetDrawingsApart(TMainForm& form, int32_t drawings) {
  const int32_t large = SetLargeObjectsApart(form);
  if (large == 0 && drawings == 0) return;
  form.Log("Drawings left out (not read as letters): " + std::to_string(drawings + large));
  if (large > 0) FindLinesAgain(form);
}

}  // namespace

void TMainForm::ClearChars() {
  for (int32_t i = 0; i < objects.Count; ++i) ReleasePageObject(*objects.At(i));
  for (int32_t i = 0; i < dots.Count; ++i) ReleasePageObject(*dots.At(i));
  objects.Clear();
  dots.Clear();
}

void TMainForm::ClearLines() {
  for (int32_t i = 0; i < lines.Count; ++i) ReleaseTextLine(*lines.At(i));
  lines.Clear();
  lineChars.clear();
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

  // The search keeps its marks in a map of its own, one byte per pixel, so that the page
  // itself is never written and stays exactly as it was, whatever happens.
  const bool pageUsable = bwImage.pixels && DIBBitCount(bwImage) == 24;
  RasterImage work{};
  if (pageUsable) {
    work = MakeSearchMap(bwImage, objectImageMaker);
    if (!work.pixels) {
      deldib(&work);
      ReportNoMemory(*this);
      return;  // page, lists and results of the last search stay as they were
    }
  }
  struct SearchMap {
    RasterImage& image;
    ~SearchMap() { deldib(&image); }
  } workOwner{work};

  ClearLastSearch(*this);
  LogSearchStart(*this);
  stepStartTicks = int32_t(GetTickCount());
  KeptObjects kept;
  try {
    if (pageUsable) {
      ClipSearchArea(searchArea, DIBWidth(work), DIBHeight(work));
      kept = CollectObjects(*this, work);
    }
    LogObjectsFound(*this, kept);
    SetDotsAndSpecksAside(*this, kept);
  } catch (const std::bad_alloc&) {
    // No half result: the map goes with workOwner, the page itself was not touched.
    ClearChars();
    ReportNoMemory(*this);
    return;
  }

  // The objects show at once, under the line boxes that the line finding draws next.
  PaintBox1Paint();
  stepStartTicks = int32_t(GetTickCount());
  try {
    findlinesoftext();
    SetDrawingsApart(*this, kept.drawings);
  } catch (const std::bad_alloc&) {
    ClearChars();
    ClearLines();
    ReportNoMemory(*this);
  }
}
