// Writes the seed corpora of the fuzz targets: small pieces of the sample page in every
// picture format at every depth, a word list and a learned-grid store.
//   make_seeds SAMPLE.png OUTDIR     (OUTDIR/<target>/ is created for each target)
#include <leptonica/allheaders.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "PdfMaking.h"
#include "core/RasterImage.h"
#include "core/codecs/Codec.h"
#include "devtools/LearnedGrids.h"
#include "recognition/WordList.h"

namespace fs = std::filesystem;

namespace {

void WriteSeed(const fs::path& dir, const std::string& name, const std::vector<uint8_t>& bytes) {
  fs::create_directories(dir);
  std::ofstream(dir / name, std::ios::binary)
      .write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
}

std::vector<uint8_t> PixBytes(PIX* pix, int format) {
  l_uint8* data = nullptr;
  size_t size = 0;
  std::vector<uint8_t> bytes;
  if (pixWriteMem(&data, &size, pix, format) == 0 && data) bytes.assign(data, data + size);
  lept_free(data);
  return bytes;
}

// A plain (ASCII) PBM, once with blanks between the bits and once without.
std::vector<uint8_t> PlainPbm(PIX* bits, bool blanks) {
  const int w = pixGetWidth(bits), h = pixGetHeight(bits);
  std::string text = "P1\n# seed\n" + std::to_string(w) + " " + std::to_string(h) + "\n";
  for (int y = 0; y < h; ++y) {
    for (int x = 0; x < w; ++x) {
      l_uint32 v = 0;
      pixGetPixel(bits, x, y, &v);
      text += v ? '1' : '0';
      if (blanks) text += ' ';
    }
    text += '\n';
  }
  return {text.begin(), text.end()};
}

// The piece of the page at every depth, through each format's writer.
void PictureSeeds(PIX* piece, const fs::path& out, const std::string& tag) {
  PIX* bits = pixConvertTo1(piece, 128);
  PIX* grey = pixConvertTo8(piece, 0);
  PIX* colour = pixConvertTo32(piece);
  PIX* mapped = pixConvertGrayToColormap(grey);
  PIX* depths[] = {bits, grey, colour, mapped};
  const char* depthNames[] = {"1", "8", "24", "map"};
  for (int i = 0; i < 4; ++i) {
    const std::string base = tag + "-" + depthNames[i];
    WriteSeed(out / "png", base + ".png", PixBytes(depths[i], IFF_PNG));
    WriteSeed(out / "gif", base + ".gif", PixBytes(depths[i], IFF_GIF));
    WriteSeed(out / "tiff", base + ".tif",
              PixBytes(depths[i], i == 0 ? IFF_TIFF_G4 : IFF_TIFF_LZW));
    WriteSeed(out / "pnm", base + ".pnm", PixBytes(depths[i], IFF_PNM));
    if (i != 0) WriteSeed(out / "jpeg", base + ".jpg", PixBytes(depths[i], IFF_JFIF_JPEG));
    const std::vector<uint8_t> png = PixBytes(depths[i], IFF_PNG);
    RasterImage image{};
    DecodeDib(&image, png.data(), png.size(), "seed.png", kMaxImagePixels);
    if (image.pixels) {
      std::vector<uint8_t> bytes;
      std::string error;
      for (bool rle : {false, true})
        if (codecs::EncodeBmp(image, rle, &bytes, &error))
          WriteSeed(out / "bmp", base + (rle ? ".rle" : ".bmp"), bytes);
      if (codecs::EncodePcx(image, &bytes, &error)) WriteSeed(out / "pcx", base + ".pcx", bytes);
      for (bool rle : {false, true})
        if (codecs::EncodeTga(image, rle, &bytes, &error))
          WriteSeed(out / "tga", base + (rle ? "-rle.tga" : ".tga"), bytes);
      if (codecs::EncodeIff(image, &bytes, &error)) WriteSeed(out / "iff", base + ".iff", bytes);
    }
    deldib(&image);
  }
  WriteSeed(out / "pnm", tag + "-plain.pbm", PlainPbm(bits, true));
  WriteSeed(out / "pnm", tag + "-packed.pbm", PlainPbm(bits, false));
  for (PIX* pix : depths) pixDestroy(&pix);
}

// Small PDFs of the piece: one page of each stored kind, turned pages, vector text, and
// several pages with bookmarks.
void PdfSeeds(PIX* piece, const fs::path& out) {
  using pdfmaking::PageSpec;
  using pdfmaking::Stored;
  fs::create_directories(out);
  const std::vector<std::pair<std::string, std::vector<PageSpec>>> seeds = {
      {"grey.pdf", {{Stored::Grey}}},
      {"jpeg.pdf", {{Stored::Jpeg}}},
      {"fax.pdf", {{Stored::Fax}}},
      {"turned.pdf", {{Stored::Grey, 90}, {Stored::Fax, 270}}},
      {"text.pdf", {{Stored::Grey, 0, "Quillon"}}},
      {"pages.pdf", {{Stored::Jpeg}, {Stored::Grey, 0, "Seite"}, {Stored::Fax, 180}}},
  };
  for (const auto& [name, pages] : seeds) pdfmaking::MakePdf((out / name).string(), piece, pages);
}

PIX* Piece(PIX* page, int x, int y, int w, int h) {
  BOX* box = boxCreate(x, y, w, h);
  PIX* piece = pixClipRectangle(page, box, nullptr);
  boxDestroy(&box);
  return piece;
}

void TextSeeds(const fs::path& out) {
  const std::string list = EncodeWordList({"Apfel", "Apfelbaum", "aber", "Zug", "\xc4rger"});
  WriteSeed(out / "wordlist", "words.spe", {list.begin(), list.end()});
  std::vector<LearnedGrid> examples(2);
  examples[0].charCode = 'a';
  examples[1].charCode = 0xE4;
  for (int i = 0; i < kGridCells; ++i) {
    examples[0].grid.cells[i] = i % 3 ? 255 : 0;
    examples[1].grid.cells[i] = i % 7 ? 0 : 255;
  }
  const std::string store = FormatLearnedGrids(examples);
  WriteSeed(out / "learned_grids", "store.txt", {store.begin(), store.end()});
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 3) {
    std::fprintf(stderr, "usage: make_seeds SAMPLE.png OUTDIR\n");
    return 2;
  }
  setMsgSeverity(L_SEVERITY_NONE);
  PIX* page = pixRead(argv[1]);
  if (!page) {
    std::fprintf(stderr, "make_seeds: cannot read %s\n", argv[1]);
    return 1;
  }
  const fs::path out = argv[2];
  const int w = pixGetWidth(page), h = pixGetHeight(page);
  // Two corners of the page for the decoders, strips of text lines for the whole run.
  const int pieces[][4] = {{w / 8, h / 8, 40, 24}, {w / 3, h / 4, 24, 40}};
  int n = 0;
  for (const auto& p : pieces) {
    PIX* piece = Piece(page, p[0], p[1], p[2], p[3]);
    if (piece) PictureSeeds(piece, out, "piece" + std::to_string(n++));
    pixDestroy(&piece);
  }
  for (int i = 0; i < 4; ++i) {
    PIX* strip = Piece(page, w / 10, h / 10 + i * h / 6, 150, 60);
    PIX* bits = strip ? pixConvertTo1(strip, 128) : nullptr;
    if (bits)
      WriteSeed(out / "pipeline", "strip" + std::to_string(i) + ".png", PixBytes(bits, IFF_PNG));
    pixDestroy(&bits);
    pixDestroy(&strip);
  }
  TextSeeds(out);
  PIX* corner = Piece(page, w / 8, h / 8, 80, 48);
  if (corner) PdfSeeds(corner, out / "pdf");
  pixDestroy(&corner);
  pixDestroy(&page);
  return 0;
}
