// The small dialogs of the window and the translation of the program's file filters.
#pragma once

#include <QDialog>
#include <QStringList>
#include <string>
#include <vector>

class QLineEdit;

// "Caption|*.EXT;*.EXT|Caption|*.EXT" -> Qt name filters, one per entry, in order
// ("Caption (*.EXT *.ext)"). Patterns are given in both letter cases, because Linux file
// names are case-sensitive and the program's filters are written in capitals; "*.*" means
// every file, with or without a dot.
QStringList NameFiltersFromFilter(const std::string& filter);

// The extension a save dialog appends for a name filter that stands for exactly one
// extension ("TIF - Tagged image file Format (*.TIF *.tif)" -> "TIF"); empty otherwise.
QString DefaultSuffixOfNameFilter(const QString& nameFilter);

// The "Lernen" dialog: asks for the character an object stands for.
class TEntercharForm : public QDialog {
  Q_OBJECT

 public:
  explicit TEntercharForm(QWidget* parent = nullptr);
  QLineEdit* Edit1;
};

// The information dialog of the bar.
class TAboutBox : public QDialog {
  Q_OBJECT

 public:
  explicit TAboutBox(QWidget* parent = nullptr);
};

// The choice of scanner: returns the index chosen or -1.
int32_t RunScannerChoice(QWidget* parent, const std::vector<std::string>& devices);
