// The recognition run: every object of the page is classified in reading order and its
// character appended to the text of its line, with word gaps, full stops, hyphen joins
// and the sharp s.
#include <cstdlib>
#include <cstring>
#include <memory>
#include <new>

#include "app/MainUnit.h"
#include "core/Cp1252.h"
#include "platform/SoftwareCanvas.h"

namespace {

constexpr uint8_t kSharpS = 223;  // 'ß' in Windows-1252

std::string CharUtf8(char ch) {
  return Cp1252ToUtf8(std::string_view(&ch, 1));
}

}  // namespace

void TMainForm::RegBtnClick() {
  RecognitionRun([](TMainForm& form, void*) { return form.ClassifyObject(); }, nullptr);
}

void TMainForm::AppendToLineText(int32_t line, char ch) {
  if (line < 1 || line > lines.Count) return;
  TextLine* record = lines.Select(line - 1);
  const size_t oldLength = record->text ? std::strlen(record->text) : 0;
  char* text = static_cast<char*>(std::malloc(oldLength + 2));
  if (!text) throw std::bad_alloc();
  if (oldLength > 0) std::memcpy(text, record->text, oldLength);
  text[oldLength] = ch;
  text[oldLength + 1] = '\0';
  std::free(record->text);
  record->text = text;
}

void TMainForm::RecognitionRun(ClassifyStep classify, void* context) {
  // The live text grows on the log's last line.
  const auto logAppend = [this](const std::string& utf8) {
    const int32_t last = window.LogCount() - 1;
    if (last >= 0) window.LogSetLine(last, window.LogLine(last) + utf8);
  };

  Log("Starting OCR process...");
  Log("");
  cancelRequested = false;
  int32_t prevLine = -1;
  int32_t prevRight = -1;
  char prevChar = '\0';
  int32_t wordLength = 0;
  bool pendingStop = false;

  // The templates live exactly as long as the run (unless kept across runs); so does the
  // bitmap they are drawn on.
  SoftwareCanvas bitmap;
  std::unique_ptr<TemplateSet> templates(keptTemplates ? nullptr : new TemplateSet());
  templateSet = keptTemplates ? keptTemplates.get() : templates.get();
  struct TemplateRelease {
    TMainForm* form;
    ~TemplateRelease() { form->templateSet = nullptr; }
  } release{this};
  if (!keptTemplates) BuildTemplateSet(bitmap);

  objects.First();
  while (objects.Next() && !cancelRequested) {
    // A repaint walks `objects` with the list's own cursor: keep ours across the pump.
    const int32_t cursor = objects.cursor;
    window.ProcessMessages();
    if (cursor < 1 || cursor > objects.Count) break;  // the list changed under the run
    objects.Select(cursor - 1);
    objects.cursor = cursor;

    const int32_t line = currentObject->line;
    if (line < 1 || line > lines.Count) continue;  // not placed on a line: nothing to append to
    lines.Select(line - 1);
    const int32_t code = classify(*this, context);
    char c = char(uint8_t(code));
    const Box box = currentObject->box;
    const Box unskewedBox = currentObject->unskewedBox;

    if (prevLine != -1 && line != prevLine) {
      if (prevChar == '-') {
        // The hyphen that ended the previous line stands just before this object: it goes,
        // and this line's first character joins its word.
        const int32_t index = objects.cursor - 1;
        if (index >= 1) {
          ReleasePageObject(*objects.At(index - 1));
          objects.Delete(index - 1);
          objects.Select(index - 1);
          objects.cursor = index;
        }
        --wordLength;
      } else {
        prevRight = -1;
        if (pendingStop) {
          logAppend(".");
          AppendToLineText(prevLine, '.');
          pendingStop = false;
        }
        wordLength = 0;
        Log("");
      }
    }

    const int32_t thirdHeight = lines.Select(line - 1)->thirdHeight;
    bool newWord = false;
    if (prevRight != -1) {
      const int32_t gap = box.Left - prevRight;
      newWord = gap > thirdHeight || (gap > thirdHeight / 2.0 && c == 'j');
    }

    if (!newWord) {
      if (c == ',') {
        wordLength = 0;
      } else if ((c == 'B' || c == 'R') && wordLength > 0) {
        c = char(kSharpS);
      }
      logAppend(CharUtf8(c));
      AppendToLineText(line, c);
    } else {
      if (pendingStop) {
        logAppend(".");
        AppendToLineText(line, '.');
        pendingStop = false;
      }
      wordLength = 0;
      logAppend(" " + CharUtf8(c));
      AppendToLineText(line, ' ');
      AppendToLineText(line, c);
    }

    ++wordLength;
    if (findaccentpoint(unskewedBox) > 0) pendingStop = true;
    prevLine = line;
    prevRight = box.Right;
    prevChar = c;

    Canvas& view = window.PaintBox1Canvas();
    view.brushColor = clRed;
    view.brushStyle = BrushStyle::Solid;
    view.penColor = clRed;
    view.penStyle = PenStyle::Solid;
    const double zoom = settings.ZoomEd;
    view.Rectangle(int32_t(zoom * box.Left / 100), int32_t(zoom * box.Top / 100),
                   int32_t(zoom * box.Right / 100), int32_t(zoom * box.Bottom / 100));
  }

  if (pendingStop) {
    logAppend(".");
    AppendToLineText(prevLine, '.');
    pendingStop = false;
  }
  wordLength = 0;
  Log("done.");
}
