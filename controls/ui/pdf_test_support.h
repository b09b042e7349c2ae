// Reading back a printed PDF in tests, with poppler-utils: its text
// (pdftotext), the words with their positions (pdftotext -bbox) and its
// document information (pdfinfo); and the printer that writes it.
#pragma once

#include <gtest/gtest.h>

#include <QPrinter>
#include <QProcess>
#include <QRegularExpression>
#include <QString>
#include <QStringList>
#include <string>
#include <vector>

#include "platform/headless/temp_dir.h"

namespace quill {

// A printer at its high resolution that writes "out.pdf" in a temporary
// folder (a fixture's base).
struct PdfPrinter {
  PdfPrinter() {
    printer.setOutputFormat(QPrinter::PdfFormat);
    printer.setOutputFileName(QString::fromStdString(pdf));
  }
  TempDir dir;
  std::string pdf = dir.File("out.pdf");
  QPrinter printer{QPrinter::HighResolution};
};

// Runs a program and returns its standard output (UTF-8).
inline QString RunTool(const QString& program, const QStringList& args) {
  QProcess proc;
  proc.start(program, args);
  EXPECT_TRUE(proc.waitForFinished(30000)) << program.toStdString();
  EXPECT_EQ(proc.exitCode(), 0) << program.toStdString();
  return QString::fromUtf8(proc.readAllStandardOutput());
}

// The PDF's text, pages ending with a form feed; with `layout` the words
// keep their places on the line.
inline QString PdfText(const std::string& pdf, bool layout = false) {
  QStringList args;
  if (layout) args << "-layout";
  args << QString::fromStdString(pdf) << "-";
  return RunTool("pdftotext", args);
}

// A value of pdfinfo ("Title", "Pages", ...).
inline QString PdfInfo(const std::string& pdf, const QString& key) {
  const QString info = RunTool("pdfinfo", {QString::fromStdString(pdf)});
  const auto m = QRegularExpression("^" + key + ": +(.*)$", QRegularExpression::MultilineOption)
                     .match(info);
  return m.captured(1);
}

// A word and the top left corner of its box, in points from the page's.
struct PdfWord {
  QString text;
  int page;  // from 0
  double x, y;
};

inline std::vector<PdfWord> PdfWords(const std::string& pdf) {
  const QString xml = RunTool("pdftotext", {"-bbox", QString::fromStdString(pdf), "-"});
  std::vector<PdfWord> words;
  int page = -1;
  static const QRegularExpression re(
      "<page |<word xMin=\"([0-9.]+)\" yMin=\"([0-9.]+)\"[^>]*>([^<]*)</word>");
  for (auto it = re.globalMatch(xml); it.hasNext();) {
    const auto m = it.next();
    if (m.captured(0) == "<page ") {
      ++page;
    } else {
      words.push_back({m.captured(3), page, m.captured(1).toDouble(), m.captured(2).toDouble()});
    }
  }
  return words;
}

}  // namespace quill
