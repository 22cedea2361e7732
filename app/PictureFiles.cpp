#include "app/PictureFiles.h"

const char* const kOpenPictureFilter =
    "All "
    "pictures|*.BMP;*.DIB;*.GIF;*.IFF;*.JIF;*.JPG;*.LBM;*.PCX;*.RLE;*.TGA;*.TIF;*.PNG;*.EMF;*.PDF|"
    "BMP - Windows, OS/2 Bitmap|*.BMP|"
    "DIB - Windows, OS/2 DIB|*.DIB|"
    "GIF - CompuServe Graphics Interchange|*.GIF|"
    "IFF - Amiga|*.IFF|"
    "JIF - JPEG - JFIF Compilant|*.JIF|"
    "JPG - JPEG - JFIF Compilant|*.JPG|"
    "LBM - Deluxe Paint|*.LBM|"
    "PCX - ZSoft Paintbrush|*.PCX|"
    "RLE - Windows RLE|*.RLE|"
    "TGA - Truevision Targa|*.TGA|"
    "TIF - Tagged image file Format|*.TIF|"
    "PNG - Portable Graphics Network|*.PNG|"
    "EMF - Windows Enhanced Metafile|*.EMF|"
    "PDF - Portable Document Format|*.PDF|"
    "All files (*.*)|*.*";

const char* const kSaveExtensions[kSaveFilterEntries + 1] = {
    "", ".BMP", ".DIB", ".GIF", ".IFF", ".JIF", ".JPG", ".LBM", ".PCX", ".RLE", ".TGA", ".TIF"};

std::string SavePictureName(const std::string& name, int32_t filterIndex) {
  const size_t slash = name.rfind('/');
  const size_t dot = name.rfind('.');
  const bool hasExtension = dot != std::string::npos && (slash == std::string::npos || dot > slash);
  if (hasExtension || filterIndex < 1 || filterIndex > kSaveFilterEntries) return name;
  return name + kSaveExtensions[filterIndex];
}
