// A multi-page PDF written from scratch: text in a standard font, line art, and (optionally) an RGB
// photograph-like image on every page. Shared by the CUPS tests and the PDF benchmark.
#pragma once

#include <cstdio>
#include <string>
#include <vector>

namespace pdfsample {

inline std::string SamplePdf(int pages, bool images) {
  std::string pdf = "%PDF-1.4\n%\xE2\xE3\xCF\xD3\n";
  std::vector<size_t> offsets;  // of objects 1..n
  auto object = [&](const std::string& body) {
    offsets.push_back(pdf.size());
    pdf += std::to_string(offsets.size()) + " 0 obj\n" + body + "\nendobj\n";
  };
  auto stream = [&](const std::string& dictionary, const std::string& data) {
    object("<<" + dictionary + "/Length " + std::to_string(data.size()) + ">>\nstream\n" + data +
           "\nendstream");
  };
  // 1 catalog, 2 page tree, 3 font, 4 image; then a page and its contents per page.
  const int firstPage = 5;
  object("<</Type/Catalog/Pages 2 0 R>>");
  std::string kids;
  for (int p = 0; p < pages; ++p) kids += std::to_string(firstPage + 2 * p) + " 0 R ";
  object("<</Type/Pages/Count " + std::to_string(pages) + "/Kids[" + kids + "]>>");
  object("<</Type/Font/Subtype/Type1/BaseFont/Helvetica/Encoding/WinAnsiEncoding>>");
  const int side = 128;
  std::string pixels;
  for (int y = 0; y < side; ++y) {
    for (int x = 0; x < side; ++x) {
      pixels += static_cast<char>(x * 2);
      pixels += static_cast<char>(y * 2);
      pixels += static_cast<char>((x ^ y) * 2);
    }
  }
  stream("/Type/XObject/Subtype/Image/Width " + std::to_string(side) + "/Height " + std::to_string(side) +
             "/ColorSpace/DeviceRGB/BitsPerComponent 8",
         pixels);
  for (int p = 0; p < pages; ++p) {
    object(
        "<</Type/Page/Parent 2 0 R/MediaBox[0 0 595.28 841.89]/Resources<</Font<</F1 3 0 R>>/XObject<</Im1 4 "
        "0 R>>>>"
        "/Contents " +
        std::to_string(firstPage + 2 * p + 1) + " 0 R>>");
    std::string c = "BT /F1 18 Tf 72 780 Td (Page " + std::to_string(p + 1) + ") Tj ET\n";
    c += "BT /F1 10 Tf 72 750 Td 12 TL\n";
    for (int line = 0; line < 30; ++line) {
      c += "(" + std::to_string(line + 1) +
           ". The quick brown fox jumps over the lazy dog; pack my box with five dozen liquor jugs.) '\n";
    }
    c += "ET\n";
    c += "1 w 72 360 m 523 360 l S\n";
    c += "0.5 g 72 200 150 120 re f 0 g\n";
    c += "2 w [6 3] 0 d 240 200 m 300 340 360 180 420 320 c S [] 0 d\n";
    c += "3 w 1 J 1 j 440 200 m 520 260 l 440 320 l h S\n";
    if (images) c += "q 200 0 0 150 300 40 cm /Im1 Do Q\n";
    stream("", c);
  }
  size_t xref = pdf.size();
  pdf += "xref\n0 " + std::to_string(offsets.size() + 1) + "\n0000000000 65535 f \n";
  for (size_t o : offsets) {
    char entry[24];
    std::snprintf(entry, sizeof entry, "%010zu 00000 n \n", o);
    pdf += entry;
  }
  pdf += "trailer\n<</Size " + std::to_string(offsets.size() + 1) + "/Root 1 0 R>>\nstartxref\n" +
         std::to_string(xref) + "\n%%EOF\n";
  return pdf;
}

}  // namespace pdfsample
