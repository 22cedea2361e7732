// The recognition run: every object of the page is classified in reading order and its
// character appended to the text of its line, with word gaps, full stops, hyphen joins
// and the sharp s. The run also records what it read as the page result (pageText).
#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <new>

#include "app/MainUnit.h"
#include "app/classic/ClassifyAll.h"
#include "core/Cp1252.h"
#include "layout/DotTests.h"
#include "output/LineFitting.h"
#include "platform/SoftwareCanvas.h"
#include "recognition/Alphabet.h"

namespace {

constexpr size_t kMaxAlternatives = 3;

std::string CharUtf8(char ch) {
  return Cp1252ToUtf8(std::string_view(&ch, 1));
}

PageBox ToPageBox(const Box& box) {
  return {box.Left, box.Top, box.Right, box.Bottom};
}

// The overlap ratio (0 ... 1) of a candidate; the rules that settle a character (the dot
// over an i, a t between the levels) raise a score beyond 1, which is then certain.
double Confidence(double score) {
  return std::clamp(score, 0.0, 1.0);
}

// The object as the page result keeps it: its box on the page as found, its character
// with the best candidate's score, and the next candidates as alternatives.
PageChar MakePageChar(const PageObject& object, char c) {
  const Box& found = object.unskewedBox;
  const bool unskewed = found.Left || found.Top || found.Right || found.Bottom;
  PageChar pageChar;
  pageChar.code = uint8_t(c);
  pageChar.box = ToPageBox(unskewed ? found : object.box);
  pageChar.confidence = Confidence(object.candidates[0].score);
  for (int i = 1; i < kCandidateCount && pageChar.alternatives.size() < kMaxAlternatives; ++i) {
    const Candidate& candidate = object.candidates[i];
    if (candidate.score <= 0) break;  // sorted: only zeros follow
    if (candidate.charIndex < 1 || candidate.charIndex > kAlphabetSize) continue;
    const uint8_t code = AlphabetChar(candidate.charIndex);
    if (code == pageChar.code) continue;
    pageChar.alternatives.push_back({code, Confidence(candidate.score)});
  }
  return pageChar;
}

// The text assembly of one run: appends each object's character to its line's text and to
// the log's last line, with word gaps, full stops, hyphen joins and the sharp s, and keeps
// the page result in step with the text.
class TextAssembly {
 public:
  explicit TextAssembly(TMainForm& form) : form_(form) {}

  void Add(const PageObject& object, int32_t line, char c);
  // The full stop still owed goes to the end of the last line's text.
  void Finish() {
    FlushFullStop(prevLine_);
    wordLength_ = 0;
    std::vector<RowPiece> pieces;
    const std::vector<std::string> rows = UnfittedRows(form_.lines, &pieces);
    form_.SetClassicPageText(RowLines(rows, pieces, form_.lines, form_.lineChars));
  }

 private:
  void LogAppend(const std::string& utf8) {
    const int32_t last = form_.window.LogCount() - 1;
    if (last >= 0) form_.window.LogSetLine(last, form_.window.LogLine(last) + utf8);
  }
  // A character with a dot beside its foot owes a full stop, written before whatever
  // comes next: the next word, the next line or the end of the run.
  void FlushFullStop(int32_t line) {
    if (!pendingStop_) return;
    LogAppend(".");
    AppendChar(line, pendingStopChar_);
    pendingStop_ = false;
  }
  void ChangeLine();
  void RemoveLineEndHyphen();
  bool StartsWord(const Box& box, int32_t line, char c) const;
  void Emit(int32_t line, const PageChar& pageChar, bool newWord);
  void AppendChar(int32_t line, const PageChar& pageChar);
  void NoteFullStop(const Box& unskewedBox);
  void MarkDone(const Box& box);

  TMainForm& form_;
  int32_t prevLine_ = -1;
  int32_t prevRight_ = -1;  // -1: no gap to measure
  char prevChar_ = '\0';
  int32_t wordLength_ = 0;
  bool pendingStop_ = false;
  PageChar pendingStopChar_;
};

void TextAssembly::Add(const PageObject& object, int32_t line, char c) {
  // Taken first: removing a hyphen moves the records of `objects`.
  const Box box = object.box, unskewedBox = object.unskewedBox;
  PageChar pageChar = MakePageChar(object, c);
  if (prevLine_ != -1 && line != prevLine_) ChangeLine();
  const bool newWord = StartsWord(box, line, c);
  if (!newWord && (c == 'B' || c == 'R') && wordLength_ > 0) c = char(kSharpS);
  pageChar.code = uint8_t(c);
  Emit(line, pageChar, newWord);
  ++wordLength_;
  NoteFullStop(unskewedBox);
  prevLine_ = line;
  prevRight_ = box.Right;
  prevChar_ = c;
  MarkDone(box);
}

void TextAssembly::ChangeLine() {
  if (prevChar_ == '-') {
    RemoveLineEndHyphen();
    return;
  }
  prevRight_ = -1;
  FlushFullStop(prevLine_);
  wordLength_ = 0;
  form_.Log("");
}

// The hyphen that ended the previous line stands just before the current object: it goes,
// and this line's first character joins its word (prevRight keeps the hyphen's edge).
void TextAssembly::RemoveLineEndHyphen() {
  TDynaArray<PageObject>& objects = form_.objects;
  const int32_t index = objects.cursor - 1;
  if (index >= 1) {
    ReleasePageObject(*objects.At(index - 1));
    objects.Delete(index - 1);
    objects.Select(index - 1);
    objects.cursor = index;
  }
  --wordLength_;
}

bool TextAssembly::StartsWord(const Box& box, int32_t line, char c) const {
  if (prevRight_ == -1) return false;
  const int32_t thirdHeight = form_.lines.Select(line - 1)->thirdHeight;
  const int32_t gap = box.Left - prevRight_;
  return gap > thirdHeight || (gap > thirdHeight / 2.0 && c == 'j');
}

void TextAssembly::Emit(int32_t line, const PageChar& pageChar, bool newWord) {
  const char c = char(pageChar.code);
  if (!newWord) {
    if (c == ',') wordLength_ = 0;
    LogAppend(CharUtf8(c));
    AppendChar(line, pageChar);
    return;
  }
  FlushFullStop(line);
  wordLength_ = 0;
  LogAppend(" " + CharUtf8(c));
  form_.AppendToLineText(line, ' ');
  AppendChar(line, pageChar);
}

// The page result keeps every character of a line's text but its blanks, in the text's
// order; its words are made from the laid-out text (RowLines), so they break where it does.
void TextAssembly::AppendChar(int32_t line, const PageChar& pageChar) {
  form_.AppendToLineText(line, char(pageChar.code));
  if (line >= 1 && line <= form_.lines.Count)
    form_.lineChars[form_.lines.At(line - 1)->number].push_back(pageChar);
}

void TextAssembly::NoteFullStop(const Box& unskewedBox) {
  if (form_.findaccentpoint(unskewedBox) <= 0) return;
  pendingStop_ = true;
  pendingStopChar_ = PageChar();
  pendingStopChar_.code = '.';
  pendingStopChar_.confidence = 1.0;
  for (int32_t i = 0; i < form_.dots.Count; ++i) {
    const Box& dot = form_.dots.At(i)->box;
    if (!IsPointBeside(dot, unskewedBox)) continue;
    pendingStopChar_.box = ToPageBox(dot);
    break;
  }
}

// The object recognised: painted over in red on the page view.
void TextAssembly::MarkDone(const Box& box) {
  Canvas& view = form_.window.PaintBox1Canvas();
  view.brushColor = clRed;
  view.brushStyle = BrushStyle::Solid;
  view.penColor = clRed;
  view.penStyle = PenStyle::Solid;
  const double zoom = form_.settings.ZoomEd;
  view.Rectangle(int32_t(zoom * box.Left / 100), int32_t(zoom * box.Top / 100),
                 int32_t(zoom * box.Right / 100), int32_t(zoom * box.Bottom / 100));
}

}  // namespace

void TMainForm::RegBtnClick() {
  // The objects are classified up front on all cores; the run takes the results in order.
  ClassifiedPage page;
  RecognitionRun(TakeClassifiedObject, &page);
}

void TMainForm::SetClassicPageText(std::vector<PageLine> pageLines) {
  pageText = PageText();
  pageText.width = DIBWidth(bwImage);
  pageText.height = DIBHeight(bwImage);
  pageText.blocks.emplace_back();  // the classic layout knows no blocks: one for the page
  pageText.blocks[0].lines = std::move(pageLines);
  pageText.Summarise();
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
  Log("Starting OCR process...");
  Log("");
  cancelRequested = false;

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

  TextAssembly assembly(*this);
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
    const char c = char(uint8_t(classify(*this, context)));
    assembly.Add(*currentObject, line, c);
  }
  assembly.Finish();
  Log("done.");
}
