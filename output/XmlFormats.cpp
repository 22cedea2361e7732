// hOCR and ALTO XML, written through libxml2's text writer so that every name, attribute
// and character comes out as correct, escaped XML.
#include <libxml/xmlwriter.h>

#include <charconv>
#include <memory>

#include "core/Cp1252.h"
#include "output/FormatWriters.h"

namespace {

using XmlBufferPtr = std::unique_ptr<xmlBuffer, decltype(&xmlBufferFree)>;
using XmlWriterPtr = std::unique_ptr<xmlTextWriter, decltype(&xmlFreeTextWriter)>;

// A character that XML cannot carry (the C0 controls) becomes U+FFFD; the rest is UTF-8.
std::string XmlText(const std::string& cp1252) {
  std::string utf8;
  for (const char c : cp1252) {
    const uint8_t byte = uint8_t(c);
    if (byte < 0x20) {
      AppendUtf8(0xFFFD, &utf8);
      continue;
    }
    AppendUtf8(Cp1252ToCodePoint(byte), &utf8);
  }
  return utf8;
}

// Whether a character of a name may stand in the XML as it is: not a control character
// (C0, DEL, C1), a surrogate or a non-character (U+FDD0 to U+FDEF, the last two of each
// plane), none of which XML allows or a reader should meet.
bool IsPlainNameCharacter(char32_t c) {
  const bool control = c < 0x20 || (c >= 0x7F && c <= 0x9F);
  const bool surrogate = c >= 0xD800 && c <= 0xDFFF;
  const bool nonCharacter = (c >= 0xFDD0 && c <= 0xFDEF) || (c & 0xFFFE) == 0xFFFE;
  return !control && !surrogate && !nonCharacter && c <= 0x10FFFF;
}

// A name from outside (a file name) as well-formed XML: broken UTF-8 and every character
// that IsPlainNameCharacter refuses become U+FFFD.
std::string XmlName(const std::string& utf8) {
  std::string clean;
  for (size_t pos = 0; pos < utf8.size();) {
    const char32_t c = Utf8Next(utf8, &pos);
    AppendUtf8(IsPlainNameCharacter(c) ? c : 0xFFFD, &clean);
  }
  return clean;
}

// Numbers the same whatever the user's locale: a point, never a comma.
std::string Fixed(double value, int decimals) {
  char text[32];
  const auto result =
      std::to_chars(text, text + sizeof text, value, std::chars_format::fixed, decimals);
  return std::string(text, result.ptr);
}

// A thin layer over the text writer: element and attribute calls with std::string.
class Xml {
 public:
  // html: elements without content still get an end tag, as HTML readers of XHTML need
  // (<div/> would open a div for them); only EndVoid closes an element in its start tag.
  explicit Xml(bool html = false)
      : html_(html),
        buffer_(xmlBufferCreate(), &xmlBufferFree),
        writer_(nullptr, &xmlFreeTextWriter) {
    writer_.reset(xmlNewTextWriterMemory(buffer_.get(), 0));
    xmlTextWriterSetIndent(writer_.get(), 1);
    xmlTextWriterSetIndentString(writer_.get(), BAD_CAST " ");
    xmlTextWriterStartDocument(writer_.get(), "1.0", "UTF-8", nullptr);
  }
  void Doctype(const char* name, const char* publicId, const char* systemId) {
    xmlTextWriterWriteDTD(writer_.get(), BAD_CAST name, BAD_CAST publicId, BAD_CAST systemId,
                          nullptr);
  }
  void Start(const char* name) { xmlTextWriterStartElement(writer_.get(), BAD_CAST name); }
  void End() {
    if (html_)
      xmlTextWriterFullEndElement(writer_.get());
    else
      xmlTextWriterEndElement(writer_.get());
  }
  void EndVoid() { xmlTextWriterEndElement(writer_.get()); }
  void Attribute(const char* name, const std::string& value) {
    xmlTextWriterWriteAttribute(writer_.get(), BAD_CAST name, BAD_CAST value.c_str());
  }
  void Attribute(const char* name, int64_t value) { Attribute(name, std::to_string(value)); }
  void Text(const std::string& utf8) {
    xmlTextWriterWriteString(writer_.get(), BAD_CAST utf8.c_str());
  }
  void Element(const char* name, const std::string& utf8) {
    Start(name);
    Text(utf8);
    End();
  }
  // What was written since the last call, taken out of the buffer: a document is written
  // piece by piece, and only the piece not yet taken is held.
  std::string Take() {
    if (writer_) xmlTextWriterFlush(writer_.get());
    std::string piece(reinterpret_cast<const char*>(xmlBufferContent(buffer_.get())),
                      size_t(xmlBufferLength(buffer_.get())));
    xmlBufferEmpty(buffer_.get());
    return piece;
  }
  std::string Finish() {
    xmlTextWriterEndDocument(writer_.get());
    writer_.reset();  // flushes into the buffer
    return Take();
  }

 private:
  bool html_;
  XmlBufferPtr buffer_;
  XmlWriterPtr writer_;
};

bool HasText(const PageWord& word) {
  return !word.chars.empty();
}
bool HasText(const PageLine& line) {
  for (const PageWord& word : line.words)
    if (HasText(word)) return true;
  return false;
}
bool HasText(const PageBlock& block) {
  for (const PageLine& line : block.lines)
    if (HasText(line)) return true;
  return false;
}

// ---- hOCR ----

// hOCR boxes run from the first pixel to one past the last.
std::string Bbox(const PageBox& box) {
  return "bbox " + std::to_string(box.left) + " " + std::to_string(box.top) + " " +
         std::to_string(box.right + 1) + " " + std::to_string(box.bottom + 1);
}

int Percent(double confidence) {
  return int(std::clamp(confidence, 0.0, 1.0) * 100.0 + 0.5);
}

// A quoted hOCR string property: backslash and quote are escaped.
std::string HocrQuoted(const std::string& utf8) {
  std::string quoted = "\"";
  for (const char c : utf8) {
    if (c == '"' || c == '\\') quoted += '\\';
    quoted += c;
  }
  return quoted + "\"";
}

void HocrLine(Xml& xml, const PageLine& line, const std::string& id, int32_t quarterTurns,
              int* wordNumber) {
  xml.Start("span");
  xml.Attribute("class", "ocr_line");
  xml.Attribute("id", "line_" + id);
  std::string title = Bbox(line.box);
  // The baseline as slope and offset from the box's lower left corner.
  if (line.baseline != 0)
    title += "; baseline 0 " + std::to_string(line.baseline - line.box.bottom);
  // On a page scanned on its side or upside down, the text's turn (degrees anticlockwise).
  if (quarterTurns % 4 != 0) title += "; textangle " + std::to_string(90 * (quarterTurns % 4));
  xml.Attribute("title", title);
  for (const PageWord& word : line.words) {
    if (!HasText(word)) continue;
    xml.Start("span");
    xml.Attribute("class", "ocrx_word");
    xml.Attribute("id", "word_" + std::to_string(++*wordNumber));
    xml.Attribute("title",
                  Bbox(word.box) + "; x_wconf " + std::to_string(Percent(word.confidence)));
    xml.Text(XmlText(word.Text()));
    xml.End();
  }
  xml.End();
}

void HocrPage(Xml& xml, const DocumentPage& page, int pageIndex, const std::string& pictureName,
              int* wordNumber) {
  const std::string pageId = std::to_string(pageIndex + 1);
  xml.Start("div");
  xml.Attribute("class", "ocr_page");
  xml.Attribute("id", "page_" + pageId);
  PageBox whole{0, 0, page.text.width - 1, page.text.height - 1};
  xml.Attribute("title", "image " + HocrQuoted(XmlName(pictureName)) + "; " + Bbox(whole) +
                             "; ppageno " + std::to_string(pageIndex));
  if (!page.text.language.empty()) xml.Attribute("lang", page.text.language);
  int blockNumber = 0, lineNumber = 0;
  for (const PageBlock& block : page.text.blocks) {
    if (!HasText(block)) continue;
    const std::string blockId = pageId + "_" + std::to_string(++blockNumber);
    xml.Start("div");
    xml.Attribute("class", "ocr_carea");
    xml.Attribute("id", "block_" + blockId);
    xml.Attribute("title", Bbox(block.box));
    // A block is one paragraph: the recognisers do not split blocks further.
    xml.Start("p");
    xml.Attribute("class", "ocr_par");
    xml.Attribute("id", "par_" + blockId);
    xml.Attribute("title", Bbox(block.box));
    for (const PageLine& line : block.lines)
      if (HasText(line))
        HocrLine(xml, line, pageId + "_" + std::to_string(++lineNumber), page.text.quarterTurns,
                 wordNumber);
    xml.End();
    xml.End();
  }
  xml.End();
}

// ---- ALTO ----

void AltoBox(Xml& xml, const PageBox& box) {
  xml.Attribute("HPOS", box.left);
  xml.Attribute("VPOS", box.top);
  xml.Attribute("WIDTH", box.Width());
  xml.Attribute("HEIGHT", box.Height());
}

// The white between two words of a line, where it begins on the page and how long it is, along
// the line as its text runs: rightwards, or on a page scanned on its side or upside down
// (`quarterTurns` clockwise to make it upright) upwards, leftwards or downwards.
struct WordGap {
  int32_t x = 0, y = 0, length = 0;
};
WordGap GapBetween(const PageBox& before, const PageBox& after, const PageBox& line,
                   int32_t quarterTurns) {
  switch (quarterTurns % 4) {
    case 1:
      return {line.left, after.bottom + 1, std::max(0, before.top - after.bottom - 1)};
    case 2:
      return {after.right + 1, line.top, std::max(0, before.left - after.right - 1)};
    case 3:
      return {line.left, before.bottom + 1, std::max(0, after.top - before.bottom - 1)};
    default:
      return {before.right + 1, line.top, std::max(0, after.left - before.right - 1)};
  }
}

void AltoLine(Xml& xml, const PageLine& line, const std::string& id, int32_t quarterTurns) {
  xml.Start("TextLine");
  xml.Attribute("ID", "line_" + id);
  AltoBox(xml, line.box);
  const PageWord* previous = nullptr;
  int wordNumber = 0;
  for (const PageWord& word : line.words) {
    if (!HasText(word)) continue;
    if (previous) {
      xml.Start("SP");
      const WordGap gap = GapBetween(previous->box, word.box, line.box, quarterTurns);
      xml.Attribute("HPOS", gap.x);
      xml.Attribute("VPOS", gap.y);
      xml.Attribute("WIDTH", gap.length);
      xml.End();
    }
    xml.Start("String");
    xml.Attribute("ID", "string_" + id + "_" + std::to_string(++wordNumber));
    AltoBox(xml, word.box);
    xml.Attribute("WC", Fixed(std::clamp(word.confidence, 0.0, 1.0), 2));
    xml.Attribute("CONTENT", XmlText(word.Text()));
    xml.End();
    previous = &word;
  }
  xml.End();
}

void AltoPage(Xml& xml, const PageText& text, int pageIndex) {
  const std::string pageId = std::to_string(pageIndex + 1);
  xml.Start("Page");
  xml.Attribute("ID", "page_" + pageId);
  xml.Attribute("PHYSICAL_IMG_NR", pageIndex + 1);
  xml.Attribute("WIDTH", text.width);
  xml.Attribute("HEIGHT", text.height);
  xml.Start("PrintSpace");
  AltoBox(xml, PageBox{0, 0, text.width - 1, text.height - 1});
  int blockNumber = 0, lineNumber = 0;
  for (const PageBlock& block : text.blocks) {
    if (!HasText(block)) continue;
    xml.Start("TextBlock");
    xml.Attribute("ID", "block_" + pageId + "_" + std::to_string(++blockNumber));
    AltoBox(xml, block.box);
    if (!text.language.empty()) xml.Attribute("LANG", text.language);
    // The text's turn on a page scanned on its side or upside down (degrees anticlockwise).
    if (text.quarterTurns % 4 != 0) xml.Attribute("ROTATION", 90 * (text.quarterTurns % 4));
    for (const PageLine& line : block.lines)
      if (HasText(line))
        AltoLine(xml, line, pageId + "_" + std::to_string(++lineNumber), text.quarterTurns);
    xml.End();
  }
  xml.End();
  xml.End();
}

void AltoDescription(Xml& xml, const std::string& pictureName) {
  xml.Start("Description");
  xml.Element("MeasurementUnit", "pixel");
  xml.Start("sourceImageInformation");
  xml.Element("fileName", XmlName(pictureName));
  xml.End();
  xml.Start("OCRProcessing");
  xml.Attribute("ID", "ocr_processing_1");
  xml.Start("ocrProcessingStep");
  xml.Start("processingSoftware");
  xml.Element("softwareName", "Quillon");
  xml.End();
  xml.End();
  xml.End();
  xml.End();
}

void HocrStart(Xml& xml, const std::string& pictureName) {
  xml.Doctype("html", "-//W3C//DTD XHTML 1.0 Transitional//EN",
              "http://www.w3.org/TR/xhtml1/DTD/xhtml1-transitional.dtd");
  xml.Start("html");
  xml.Attribute("xmlns", "http://www.w3.org/1999/xhtml");
  xml.Start("head");
  xml.Element("title", XmlName(pictureName));
  xml.Start("meta");
  xml.Attribute("http-equiv", "Content-Type");
  xml.Attribute("content", "text/html;charset=utf-8");
  xml.EndVoid();
  xml.Start("meta");
  xml.Attribute("name", "ocr-system");
  xml.Attribute("content", "quillon");
  xml.EndVoid();
  xml.Start("meta");
  xml.Attribute("name", "ocr-capabilities");
  xml.Attribute("content", "ocr_page ocr_carea ocr_par ocr_line ocrx_word");
  xml.EndVoid();
  xml.End();
  xml.Start("body");
}

void AltoStart(Xml& xml, const std::string& pictureName) {
  xml.Start("alto");
  xml.Attribute("xmlns", "http://www.loc.gov/standards/alto/ns-v4#");
  xml.Attribute("xmlns:xsi", "http://www.w3.org/2001/XMLSchema-instance");
  xml.Attribute("xsi:schemaLocation",
                "http://www.loc.gov/standards/alto/ns-v4# "
                "http://www.loc.gov/alto/v4/alto-4-2.xsd");
  AltoDescription(xml, pictureName);
  xml.Start("Layout");
}

// hOCR and ALTO page by page: the document's start before the first page, its open
// elements (html and body; alto and Layout) closed at the end.
class XmlStream : public PageStream {
 public:
  XmlStream(bool hocr, std::string pictureName)
      : hocr_(hocr), pictureName_(std::move(pictureName)), xml_(hocr) {
    if (hocr_)
      HocrStart(xml_, pictureName_);
    else
      AltoStart(xml_, pictureName_);
  }
  std::string Page(const DocumentPage& page) override {
    if (hocr_)
      HocrPage(xml_, page, pageIndex_++, pictureName_, &wordNumber_);
    else
      AltoPage(xml_, page.text, pageIndex_++);
    return xml_.Take();
  }
  std::string End() override {
    xml_.End();
    xml_.End();
    return xml_.Finish();
  }

 private:
  bool hocr_;
  std::string pictureName_;
  Xml xml_;
  int pageIndex_ = 0, wordNumber_ = 0;
};

}  // namespace

PageStream* NewHocrStream(const std::string& pictureName) {
  return new XmlStream(true, pictureName);
}

PageStream* NewAltoStream(const std::string& pictureName) {
  return new XmlStream(false, pictureName);
}
