#include "pdf_job.h"

#include <sys/stat.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>

#include "devmode/locale_paper.h"
#include "devmode/paper_tables.h"
#include "input_file.h"
#include "job_file.h"
#include "preview.h"
#include "win/error.h"

namespace rt7700print {
namespace {

// Tenths of a millimetre a page may differ from a paper and still be printed on it as it is.
constexpr double kMatchTenthMm = 20;

enum class Placement {
  AsIs,          // the paper was chosen for the page
  ShrinkToFit,   // the paper the user chose: a page larger than it is made smaller
  Fit,           // the default paper: the page is scaled to fill it
  FitPrintable,  // fit-to-page: scaled into the printable area
};

struct PageChoice {
  JobSettings settings;
  Placement placement = Placement::AsIs;
};

double TenthMm(double points) {
  return points * 254.0 / 72.0;
}

std::string Number(double v) {
  char text[32];
  std::snprintf(text, sizeof text, "%.3f", v);
  return text;
}

PageChoice Choose(const PdfInput& pdf, long long page) {
  PageChoice c{pdf.base, Placement::AsIs};
  const rt7700pdf::PageSize size = pdf.document->Size(pdf.pages[static_cast<size_t>(page - 1)]);
  const bool wide = size.width > size.height;
  const bool orientationGiven = pdf.base.origins.count("orientation-requested") != 0;
  auto turn = [&] {
    if (!orientationGiven) c.settings.orientation = wide ? DMORIENT_LANDSCAPE : DMORIENT_PORTRAIT;
  };
  if (pdf.base.paper) {
    turn();
    c.placement = pdf.fitToPage ? Placement::FitPrintable : Placement::ShrinkToFit;
    return c;
  }
  const double w = TenthMm(size.width), h = TenthMm(size.height);
  const double shortSide = std::min(w, h), longSide = std::max(w, h);
  // The nearest of the printer's papers, either way round.
  std::optional<SHORT> best;
  double bestError = kMatchTenthMm;
  for (const auto& g : devmode::PaperGeometries()) {
    if (g.paperNumber >= devmode::kFirstCustomPaper) continue;
    const double pw = devmode::PixelsToTenthMm(g.portrait.width),
                 ph = devmode::PixelsToTenthMm(g.portrait.height);
    const double error = std::max(std::fabs(pw - shortSide), std::fabs(ph - longSide));
    if (error <= bestError) {
      bestError = error;
      best = g.paperNumber;
    }
  }
  JobSettings trial = pdf.base;
  if (best) {
    trial.paper = *best;
    trial.customSize.reset();
  } else if (ApplySetting(trial, "media",
                          "custom." + Number(std::min(size.width, size.height)) + "x" +
                              Number(std::max(size.width, size.height)),
                          "", "")) {
    trial = pdf.base;  // beyond the printer's custom sizes
  }
  // Two-sided printing keeps to its papers; another paper would refuse the job.
  if (trial.paper && !CheckCombination(trial)) {
    c.settings = trial;
    turn();
    c.placement = pdf.fitToPage ? Placement::FitPrintable : Placement::AsIs;
    return c;
  }
  c.settings.paper = static_cast<SHORT>(devmode::DefaultPaperForLocale());
  c.settings.customSize.reset();
  turn();
  c.placement = pdf.fitToPage ? Placement::FitPrintable : Placement::Fit;
  return c;
}

// "1-3,7,10-": pages from 1; a range past the end stops at the last page.
std::optional<std::vector<int>> ParseRanges(const std::string& text, int count) {
  std::vector<int> pages;
  size_t start = 0;
  auto number = [](const std::string& s) -> std::optional<long> {
    if (s.empty() || s.size() > 9 || s.find_first_not_of("0123456789") != std::string::npos)
      return std::nullopt;
    long v = std::stol(s);
    return v >= 1 ? std::optional<long>(v) : std::nullopt;
  };
  while (start <= text.size()) {
    size_t end = text.find(',', start);
    std::string part = text.substr(start, end == std::string::npos ? std::string::npos : end - start);
    start = end == std::string::npos ? text.size() + 1 : end + 1;
    size_t dash = part.find('-');
    std::optional<long> first, last;
    if (dash == std::string::npos) {
      first = last = number(part);
    } else {
      first = number(part.substr(0, dash));
      last = dash + 1 == part.size() ? std::optional<long>(count) : number(part.substr(dash + 1));
    }
    if (!first || !last || *first > *last) return std::nullopt;
    for (long p = *first; p <= std::min<long>(*last, count); ++p) pages.push_back(static_cast<int>(p - 1));
  }
  std::sort(pages.begin(), pages.end());
  pages.erase(std::unique(pages.begin(), pages.end()), pages.end());
  return pages;
}

}  // namespace

std::optional<InputError> OpenPdfInput(const std::string& path, PdfInput& pdf) {
  if (path.empty()) return std::nullopt;
  const bool standardInput = path == "-";
  const std::string where = standardInput ? "standard input" : path;
  struct stat st {};
  const bool stream =
      !standardInput && ::stat(path.c_str(), &st) == 0 && !S_ISREG(st.st_mode) && !S_ISDIR(st.st_mode);
  InputFile file;
  if (stream) {
    // A pipe or device gives its bytes once: they are kept for the job file reader when they are
    // not a PDF, which may then be no larger than a job file.
    file = ReadInputFile(path, kMaxPdfBytes, Beyond::Refuse, [](const std::string& head) {
      return rt7700pdf::LooksLikePdf(head) ? kMaxPdfBytes : kMaxJobFileBytes;
    });
    if (file.problem == InputFile::Problem::None && !rt7700pdf::LooksLikePdf(file.bytes)) {
      pdf.jobText = std::move(file.bytes);
      return std::nullopt;
    }
    if (file.problem == InputFile::Problem::TooLarge && !rt7700pdf::LooksLikePdf(file.bytes))
      return InputError{path, "(file)",
                        "expected a job file of at most " + std::to_string(kMaxJobFileBytes >> 20) +
                            " MB; this one is larger"};
  } else {
    if (!standardInput) {
      InputFile head = ReadInputFile(path, kHeadBytes, Beyond::Keep);
      if (head.problem != InputFile::Problem::None || !rt7700pdf::LooksLikePdf(head.bytes))
        return std::nullopt;  // the job file reader says what is wrong with it
    }
    file = ReadInputFile(standardInput ? "/dev/stdin" : path, kMaxPdfBytes, Beyond::Refuse);
  }
  switch (file.problem) {
    case InputFile::Problem::None:
      break;
    case InputFile::Problem::Unreadable:
      return InputError{where, "(document)", std::string("cannot be read: ") + std::strerror(file.error)};
    case InputFile::Problem::Folder:
      return InputError{where, "(document)", "expected a file, got a folder"};
    case InputFile::Problem::TooLarge:
      return InputError{where, "(document)",
                        "expected a PDF of at most " + std::to_string(kMaxPdfBytes >> 20) + " MB"};
  }
  if (!rt7700pdf::LooksLikePdf(file.bytes))
    return InputError{where, "(document)", "expected a PDF (job files are read from a named file)"};
  std::string why;
  pdf.document = rt7700pdf::Document::Open(std::move(file.bytes), &why);
  if (!pdf.document) return InputError{where, "(document)", "cannot print this PDF: " + why};
  pdf.name = standardInput ? "standard input" : path;
  pdf.pages.clear();
  for (int i = 0; i < pdf.document->Pages(); ++i) pdf.pages.push_back(i);
  return std::nullopt;
}

std::optional<InputError> TakePdfOption(PdfInput& pdf, const std::string& name, const std::string& value,
                                        const std::string& field) {
  if (name == "fit-to-page") {
    if (value == "true" || value == "yes" || value == "on") {
      pdf.fitToPage = true;
    } else if (value == "false" || value == "no" || value == "off") {
      pdf.fitToPage = false;
    } else {
      return InputError{"command line", field, "expected true or false"};
    }
    return std::nullopt;
  }
  auto pages = ParseRanges(value, pdf.document->Pages());
  if (!pages) return InputError{"command line", field, "expected page ranges such as 1-3,7,10-"};
  if (pages->empty())
    return InputError{"command line", field,
                      "expected pages within the document's " + std::to_string(pdf.document->Pages())};
  pdf.pages = *pages;
  pdf.ranges = value;
  return std::nullopt;
}

long long PdfPagesToPrint(PdfInput& pdf, const JobSettings& settings) {
  pdf.base = settings;
  pdf.current.reset();
  return static_cast<long long>(pdf.pages.size());
}

JobSettings PdfPageSettings(const PdfInput& pdf, long long page) {
  return Choose(pdf, page).settings;
}

std::optional<std::string> ResetForPdfPage(HDC hdc, const PdfInput& pdf, long long page,
                                           const std::u16string& printer) {
  const JobSettings settings = PdfPageSettings(pdf, page);
  const PdfInput::Paper paper{settings.paper, settings.customSize, settings.orientation};
  // The printer starts on the job's settings, an unset paper being the locale's (known once the
  // printer is set up).
  if (!pdf.current)
    pdf.current =
        PdfInput::Paper{pdf.base.paper.value_or(static_cast<SHORT>(devmode::DefaultPaperForLocale())),
                        pdf.base.customSize, pdf.base.orientation};
  if (pdf.current == paper) return std::nullopt;
  devmode::StoredDevmode stored{};
  BuildStoredDevmode(settings, printer, &stored);
  if (ResetDCW(hdc, &stored.pub) == nullptr)
    return "page " + std::to_string(page) + ", ResetDCW failed (error " + std::to_string(GetLastError()) +
           ")";
  pdf.current = paper;
  return std::nullopt;
}

rt7700pdf::Transform PlacePdfPage(HDC printer, const PdfInput& pdf, long long page) {
  const PageChoice c = Choose(pdf, page);
  const rt7700pdf::PageSize size = pdf.document->Size(pdf.pages[static_cast<size_t>(page - 1)]);
  const double dpiX = GetDeviceCaps(printer, LOGPIXELSX), dpiY = GetDeviceCaps(printer, LOGPIXELSY);
  const double pageW = size.width * dpiX / 72, pageH = size.height * dpiY / 72;
  double x = 0, y = 0, w = GetDeviceCaps(printer, PHYSICALWIDTH), h = GetDeviceCaps(printer, PHYSICALHEIGHT);
  if (c.placement == Placement::FitPrintable) {
    x = GetDeviceCaps(printer, PHYSICALOFFSETX);
    y = GetDeviceCaps(printer, PHYSICALOFFSETY);
    w = GetDeviceCaps(printer, HORZRES);
    h = GetDeviceCaps(printer, VERTRES);
  }
  double scale = 1;
  if (c.placement != Placement::AsIs && pageW > 0 && pageH > 0) scale = std::min(w / pageW, h / pageH);
  if (c.placement == Placement::ShrinkToFit) scale = std::min(1.0, scale);
  rt7700pdf::Transform t;
  t.a = scale * dpiX / 72;
  t.d = scale * dpiY / 72;
  t.e = x + (w - pageW * scale) / 2;
  t.f = y + (h - pageH * scale) / 2;
  return t;
}

std::optional<std::string> DrawPdfPage(HDC hdc, const PdfInput& pdf, long long page) {
  rt7700pdf::Transform t = PlacePdfPage(hdc, pdf, page);
  t.e -= GetDeviceCaps(hdc, PHYSICALOFFSETX);
  t.f -= GetDeviceCaps(hdc, PHYSICALOFFSETY);
  if (auto e = pdf.document->Draw(hdc, pdf.pages[static_cast<size_t>(page - 1)], t))
    return "PDF page " + std::to_string(pdf.pages[static_cast<size_t>(page - 1)] + 1) + ": " + *e;
  return std::nullopt;
}

std::optional<std::string> PreviewPdfPage(HDC printer, const PdfInput& pdf, long long page, int dpi,
                                          const std::string& file, const std::u16string& printerName) {
  if (auto e = ResetForPdfPage(printer, pdf, page, printerName)) return e;
  rt7700pdf::Transform t = PlacePdfPage(printer, pdf, page);
  const double sx = static_cast<double>(dpi) / GetDeviceCaps(printer, LOGPIXELSX);
  const double sy = static_cast<double>(dpi) / GetDeviceCaps(printer, LOGPIXELSY);
  t.a *= sx;
  t.e *= sx;
  t.d *= sy;
  t.f *= sy;
  const int index = pdf.pages[static_cast<size_t>(page - 1)];
  return PreviewPicture(printer, dpi, file, [&](HDC dc) -> std::optional<std::string> {
    if (auto e = pdf.document->Draw(dc, index, t)) return "PDF page " + std::to_string(index + 1) + ": " + *e;
    return std::nullopt;
  });
}

}  // namespace rt7700print
