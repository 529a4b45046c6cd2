// PDF documents for the tools: read with MuPDF, each page drawn through the platform's GDI calls
// (paths, clips, images, text) on a printer or memory device context. MuPDF stays behind this
// header; only the tools link it.
#pragma once

#include <memory>
#include <optional>
#include <string>

#include "win/wingdi.h"

namespace rt7700pdf {

// A PDF by its content: "%PDF-" within the first kilobyte, as readers accept it, in anything but
// a JSON object.
bool LooksLikePdf(const std::string& head);

// Maps a page's points (origin its top-left corner, y down) to device pixels: x' = a·x + c·y + e,
// y' = b·x + d·y + f.
struct Transform {
  double a = 1, b = 0, c = 0, d = 1, e = 0, f = 0;
};

struct PageSize {
  double width = 0, height = 0;  // points, as the page shows (its rotation applied)
};

class Document {
 public:
  // Null with the reason ("encrypted", "damaged: ...") when the bytes are no printable PDF. Every
  // page is loaded here, so a document that opens has no page that cannot be read.
  static std::unique_ptr<Document> Open(std::string bytes, std::string* error);
  ~Document();
  Document(const Document&) = delete;
  Document& operator=(const Document&) = delete;

  int Pages() const;
  PageSize Size(int index) const;  // index from 0

  // Draws the page, annotations and form fields as a viewer shows them, on `hdc` (a printer
  // between StartPage and EndPage, or a memory DC); the device context's state is as it was
  // afterwards. Returns what failed.
  std::optional<std::string> Draw(HDC hdc, int index, const Transform& toDevice) const;

  struct Impl;

 private:
  explicit Document(std::unique_ptr<Impl> impl);
  std::unique_ptr<Impl> impl_;
};

}  // namespace rt7700pdf
