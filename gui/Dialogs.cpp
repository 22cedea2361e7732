#include "gui/Dialogs.h"

#include <QDialogButtonBox>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QInputDialog>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QRegularExpression>
#include <QVBoxLayout>

#include "app/MainUnit.h"
#include "gui/Icons.h"

QStringList NameFiltersFromFilter(const std::string& filter) {
  const QStringList parts = QString::fromStdString(filter).split('|');
  QStringList result;
  for (qsizetype i = 0; i + 1 < parts.size(); i += 2) {
    QString caption = parts[i].trimmed();
    // A caption that already names its patterns, like "Text files (*.txt)", keeps only
    // its words: Qt reads the patterns from the last pair of parentheses.
    caption.remove(QRegularExpression(R"(\s*\([^()]*\)\s*$)"));
    QStringList patterns;
    for (const QString& raw : parts[i + 1].split(';', Qt::SkipEmptyParts)) {
      const QString pattern = raw.trimmed();
      if (pattern.isEmpty()) continue;
      if (pattern == "*.*" || pattern == "*") {
        patterns << "*";
        continue;
      }
      for (const QString& p : {pattern, pattern.toLower(), pattern.toUpper()})
        if (!patterns.contains(p)) patterns << p;
    }
    if (patterns.isEmpty()) patterns << "*";
    if (caption.isEmpty()) caption = patterns.join(' ');
    result << caption + " (" + patterns.join(' ') + ")";
  }
  return result;
}

QString DefaultSuffixOfNameFilter(const QString& nameFilter) {
  static const QRegularExpression tail(R"(\(([^()]*)\)\s*$)");
  const QRegularExpressionMatch match = tail.match(nameFilter);
  if (!match.hasMatch()) return {};
  QString suffix;
  for (const QString& pattern : match.captured(1).split(' ', Qt::SkipEmptyParts)) {
    static const QRegularExpression single(R"(^\*\.([A-Za-z0-9_]+)$)");
    const QRegularExpressionMatch m = single.match(pattern);
    if (!m.hasMatch()) return {};
    if (suffix.isEmpty()) {
      suffix = m.captured(1);
    } else if (suffix.compare(m.captured(1), Qt::CaseInsensitive) != 0) {
      return {};  // more than one extension: the caller's table decides
    }
  }
  return suffix;
}

TEntercharForm::TEntercharForm(QWidget* parent) : QDialog(parent) {
  setObjectName("EntercharForm");
  setWindowTitle("Lernen");
  setMinimumWidth(260);
  auto* layout = new QVBoxLayout(this);
  auto* form = new QFormLayout;
  Edit1 = new QLineEdit(this);
  Edit1->setObjectName("Edit1");
  form->addRow(new QLabel("Character:", this), Edit1);
  layout->addLayout(form);
  auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
  layout->addWidget(buttons);
  connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
  connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
}

TAboutBox::TAboutBox(QWidget* parent) : QDialog(parent) {
  setObjectName("AboutBox");
  setWindowTitle("Information");
  auto* layout = new QVBoxLayout(this);
  auto* top = new QHBoxLayout;
  auto* picture = new QLabel(this);
  picture->setPixmap(ApplicationIcon().pixmap(64, 64));
  top->addWidget(picture, 0, Qt::AlignTop);
  auto* text = new QLabel(this);
  text->setTextFormat(Qt::RichText);
  text->setText(QString("<h2>%1</h2><p>Version 1.0</p>"
                        "<p>Optical character recognition for printed pages:<br>"
                        "open or scan a page, recognise it, save the text.</p>")
                    .arg(kApplicationTitle));
  top->addWidget(text, 1);
  layout->addLayout(top);
  auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok, this);
  layout->addWidget(buttons);
  connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
}

int32_t RunScannerChoice(QWidget* parent, const std::vector<std::string>& devices) {
  if (devices.empty()) {
    QMessageBox::information(parent, kApplicationTitle, "No scanner was found.");
    return -1;
  }
  QStringList items;
  for (const std::string& device : devices) items << QString::fromStdString(device);
  QInputDialog dialog(parent);
  dialog.setObjectName("ScannerChoice");
  dialog.setWindowTitle("Choose scanner");
  dialog.setLabelText("Scanner:");
  dialog.setComboBoxItems(items);
  dialog.setComboBoxEditable(false);
  if (dialog.exec() != QDialog::Accepted) return -1;
  return int32_t(items.indexOf(dialog.textValue()));
}
