#include "fuzz/FuzzEntries.h"

#include <string_view>

#include "app/DepthUp.h"
#include "app/HeadlessWindow.h"
#include "app/MainUnit.h"
#include "core/RasterImage.h"
#include "core/codecs/Codec.h"
#include "devtools/LearnedGrids.h"
#include "recognition/WordList.h"

namespace fuzz {

namespace {

// Small enough that a lying header cannot run the fuzzer out of memory, large enough for
// every path of the decoders.
constexpr int64_t kDecoderMaxPixels = 4 << 20;
// The whole run on small pictures keeps each input short; the decoders have their own.
constexpr int64_t kPipelineMaxPixels = 160 * 160;

// Touches the first and last byte of every row, so that a decoder that announces more
// than it made shows up under AddressSanitizer.
void TouchRows(const RasterImage& image) {
  if (!image.pixels) return;
  volatile uint8_t sum = 0;
  for (int32_t row = 0; row < DIBHeight(image); ++row) {
    const uint8_t* p = DIBRow(image, row);
    sum = uint8_t(sum + p[0] + p[image.stride - 1]);
  }
}

bool DecodePicture(const std::string& target, const uint8_t* data, size_t size) {
  using Codec = bool (*)(const uint8_t*, size_t, RasterImage*, std::string*, int64_t);
  Codec codec = target == "bmp"   ? codecs::DecodeBmp
                : target == "pcx" ? codecs::DecodePcx
                : target == "tga" ? codecs::DecodeTga
                : target == "iff" ? codecs::DecodeIff
                                  : nullptr;
  RasterImage image{};
  std::string error;
  bool promised = true;
  if (codec) {
    const bool ok = codec(data, size, &image, &error, kDecoderMaxPixels);
    promised = ok == (image.pixels != nullptr) && (ok || !error.empty());
  } else {
    // The name only helps formats with weak signatures; the others go by their bytes.
    DecodeDib(&image, data, size, "picture." + target, kDecoderMaxPixels);
    promised = image.pixels || !DIBErrorText(image).empty();
  }
  promised = promised &&
             (!image.pixels || int64_t(DIBWidth(image)) * DIBHeight(image) <= kDecoderMaxPixels);
  TouchRows(image);
  deldib(&image);
  return promised;
}

bool DecodeWords(const uint8_t* data, size_t size) {
  bool promised = true;
  const WordListDecodeResult result = DecodeWordList(data, size, [&](std::string_view word) {
    promised = promised && word.size() <= size_t(kMaxWordLength);
  });
  // Every entry costs two bytes at least; a stop lies inside the data.
  return promised && size_t(result.words) * 2 <= size &&
         (result.complete || result.badOffset < size);
}

bool ParseGrids(const uint8_t* data, size_t size) {
  const std::string content(reinterpret_cast<const char*>(data), size);
  std::vector<LearnedGrid> examples, again;
  std::string reason;
  if (!ParseLearnedGrids(content, &examples, &reason)) return !reason.empty();
  // What is accepted is written back as a store that reads the same.
  return ParseLearnedGrids(FormatLearnedGrids(examples), &again, &reason) &&
         again.size() == examples.size();
}

struct Program {
  HeadlessWindow window;
  // Beside the extended recogniser's model, so that its learned classifier reads.
  TMainForm form{window, std::string(QUILLON_MODEL_DIR) + "/quillon", {}};
  Program() {
    window.drawsPageView = false;
    form.FormCreate();
  }
};

void Recognise(TMainForm& form, RecogniserKind kind) {
  form.settings.recogniser = kind;
  form.window.LogClear();
  form.TextErkennBtnClick();
}

bool RunPipeline(const uint8_t* data, size_t size) {
  // Fonts and templates are made once, as a program makes them at start-up.
  static Program* program = new Program;
  RasterImage image{};
  DecodeDib(&image, data, size, "page.png", kPipelineMaxPixels);
  if (!image.pixels || (DIBBitCount(image) != 24 && !DepthUpTo(24, image))) {
    deldib(&image);
    return true;
  }
  program->form.InstallPicture(image);
  Recognise(program->form, RecogniserKind::Classic);
  Recognise(program->form, RecogniserKind::Extended);
  return true;
}

}  // namespace

const std::vector<std::string>& TargetNames() {
  static const std::vector<std::string> names = {
      "bmp",  "pcx", "tga",      "iff",           "png",      "jpeg", "gif",
      "tiff", "pnm", "wordlist", "learned_grids", "pipeline", "pdf"};
  return names;
}

bool RunTarget(const std::string& target, const uint8_t* data, size_t size) {
  if (target == "wordlist") return DecodeWords(data, size);
  if (target == "learned_grids") return ParseGrids(data, size);
  if (target == "pipeline") return RunPipeline(data, size);
  if (target == "pdf") return ReadPdf(data, size);
  return DecodePicture(target, data, size);
}

}  // namespace fuzz
