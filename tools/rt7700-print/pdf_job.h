// A PDF as the job: its pages, the ones chosen with page-ranges, and for each the paper and the
// place on it the page gets.
#pragma once

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "job_settings.h"
#include "pdf_document.h"

namespace rt7700print {

constexpr size_t kMaxPdfBytes = size_t{1} << 30;

struct PdfInput {
  std::unique_ptr<rt7700pdf::Document> document;
  std::string name;               // for the document name: the file's name, or "standard input"
  std::optional<std::string> jobText;  // a job file read from a pipe or device, which is read once
  std::vector<int> pages;         // the document's pages to print, from 0
  bool fitToPage = false;         // -o fit-to-page: into the printable area
  std::optional<std::string> ranges;  // -o page-ranges, as given
  JobSettings base;               // the settings before each page's paper is chosen
  // The paper the printer was last given (paper, custom size, orientation), so that a page on the
  // same paper as the one before goes without ResetDCW (which would start a new sheet).
  struct Paper {
    std::optional<SHORT> paper;
    std::optional<std::pair<SHORT, SHORT>> customSize;
    SHORT orientation = 0;
    bool operator==(const Paper&) const = default;
  };
  mutable std::optional<Paper> current;
};

// When `path` holds a PDF ("-": standard input, which must), opens it into `pdf`; a file that is
// no PDF leaves `pdf` empty. The error when the PDF cannot be printed.
std::optional<InputError> OpenPdfInput(const std::string& path, PdfInput& pdf);

// Takes page-ranges and fit-to-page out of the options (entries with name, value, field); for a PDF
// only, else they stay and are refused as unknown settings.
template <typename Options>
std::optional<InputError> TakePdfOptions(PdfInput& pdf, Options& options);
std::optional<InputError> TakePdfOption(PdfInput& pdf, const std::string& name, const std::string& value,
                                        const std::string& field);

// Once the settings are known: keeps them as each page's starting point and returns the number of
// pages to print.
long long PdfPagesToPrint(PdfInput& pdf, const JobSettings& settings);

// The settings of the job's `page` (from 1): the paper matching the PDF page, a custom paper, or
// the settings' paper with the page scaled to fit.
JobSettings PdfPageSettings(const PdfInput& pdf, long long page);

// Before StartPage: the printer takes the page's paper (ResetDCW). The error text on failure.
std::optional<std::string> ResetForPdfPage(HDC hdc, const PdfInput& pdf, long long page, const std::u16string& printer);

// Between StartPage and EndPage.
std::optional<std::string> DrawPdfPage(HDC hdc, const PdfInput& pdf, long long page);

// DIR/page-NNN.png of the job's `page`, on the paper the page gets.
std::optional<std::string> PreviewPdfPage(HDC printer, const PdfInput& pdf, long long page, int dpi,
                                          const std::string& file, const std::u16string& printerName);

// Where the page goes on the printer's paper, in the printer's device pixels from the paper's
// corner (the printable area's offset not taken off).
rt7700pdf::Transform PlacePdfPage(HDC printer, const PdfInput& pdf, long long page);

template <typename Options>
std::optional<InputError> TakePdfOptions(PdfInput& pdf, Options& options) {
  if (!pdf.document) return std::nullopt;
  for (auto it = options.begin(); it != options.end();) {
    if (it->name != "page-ranges" && it->name != "fit-to-page") {
      ++it;
      continue;
    }
    if (auto e = TakePdfOption(pdf, it->name, it->value, it->field)) return e;
    it = options.erase(it);
  }
  return std::nullopt;
}

}  // namespace rt7700print
