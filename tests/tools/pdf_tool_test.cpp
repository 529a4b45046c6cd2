// rt7700-print on PDFs the test makes: each page's preview against MuPDF's own rendering of it,
// the printed stream's structure, papers chosen per page, page ranges, and PDFs that cannot print.
#include <cairo-ft.h>
#include <cairo-pdf.h>
#include <cairo.h>
#include <ft2build.h>
#include FT_FREETYPE_H
#include <gtest/gtest.h>
#include <png.h>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <map>
#include <functional>
#include <regex>
#include <string>
#include <thread>
#include <vector>

extern "C" {
#include <mupdf/fitz.h>
}

#include "support/pcl_notation.h"
#include "support/soft_font_reader.h"
#include "support/temp_dir.h"
#include "tool_runner.h"

namespace fs = std::filesystem;

namespace {

const std::string kTool = TOOL_PATH;
constexpr int kDpi = 150;
constexpr char kTrueTypeFont[] = "/usr/share/fonts/truetype/dejavu/DejaVuSans.ttf";
constexpr char kType1Font[] = "/usr/share/fonts/type1/urw-base35/NimbusRoman-Regular.t1";
constexpr char kCffFont[] = "/usr/share/fonts/opentype/urw-base35/NimbusSans-Regular.otf";
constexpr double kA4Width = 595.2756, kA4Height = 841.8898;

struct Grey {
  int width = 0, height = 0;
  std::vector<unsigned char> pixels;
  bool Dark(int x, int y) const { return pixels[size_t(y) * width + x] < 128; }
};

// Both pictures become grey the same way.
unsigned char Luma(const unsigned char* rgb) { return static_cast<unsigned char>((rgb[0] * 77 + rgb[1] * 151 + rgb[2] * 28) >> 8); }

Grey ReadPng(const std::string& path) {
  Grey g;
  png_image image{};
  image.version = PNG_IMAGE_VERSION;
  if (!png_image_begin_read_from_file(&image, path.c_str())) return g;
  image.format = PNG_FORMAT_RGB;
  std::vector<unsigned char> rgb(PNG_IMAGE_SIZE(image));
  if (!png_image_finish_read(&image, nullptr, rgb.data(), 0, nullptr)) return g;
  g.width = static_cast<int>(image.width);
  g.height = static_cast<int>(image.height);
  for (size_t i = 0; i + 2 < rgb.size(); i += 3) g.pixels.push_back(Luma(&rgb[i]));
  return g;
}

// MuPDF's rendering of each page at the previews' resolution, in grey.
std::vector<Grey> Reference(const std::string& pdf) {
  std::vector<Grey> pages;
  fz_context* ctx = fz_new_context(nullptr, nullptr, FZ_STORE_DEFAULT);
  fz_register_document_handlers(ctx);
  fz_document* doc = nullptr;
  fz_var(doc);
  fz_try(ctx) {
    doc = fz_open_document(ctx, pdf.c_str());
    for (int i = 0; i < fz_count_pages(ctx, doc); ++i) {
      fz_pixmap* pix = fz_new_pixmap_from_page_number(ctx, doc, i, fz_scale(kDpi / 72.0f, kDpi / 72.0f),
                                                      fz_device_rgb(ctx), 0);
      Grey g;
      g.width = fz_pixmap_width(ctx, pix);
      g.height = fz_pixmap_height(ctx, pix);
      for (int y = 0; y < g.height; ++y) {
        const unsigned char* row = fz_pixmap_samples(ctx, pix) + y * fz_pixmap_stride(ctx, pix);
        for (int x = 0; x < g.width; ++x) g.pixels.push_back(Luma(row + 3 * x));
      }
      fz_drop_pixmap(ctx, pix);
      pages.push_back(std::move(g));
    }
  }
  fz_always(ctx) { fz_drop_document(ctx, doc); }
  fz_catch(ctx) { pages.clear(); }
  fz_drop_context(ctx);
  return pages;
}

struct Agreement {
  double all = 0;  // pixels alike, of the whole page
  double ink = 0;  // pixels dark in both, of those dark in either
};

// The preview is the whole paper; a page printed as it is sits at its centre.
Agreement Compare(const Grey& preview, const Grey& reference) {
  const int dx = (preview.width - reference.width) / 2, dy = (preview.height - reference.height) / 2;
  long same = 0, total = 0, both = 0, either = 0;
  for (int y = 0; y < reference.height; ++y) {
    for (int x = 0; x < reference.width; ++x) {
      const int px = x + dx, py = y + dy;
      const bool a = px >= 0 && py >= 0 && px < preview.width && py < preview.height && preview.Dark(px, py);
      const bool b = reference.Dark(x, y);
      same += a == b;
      both += a && b;
      either += a || b;
      ++total;
    }
  }
  return {total > 0 ? double(same) / total : 0, either > 0 ? double(both) / either : 1};
}

// Pages drawn with cairo's PDF surface, which writes TrueType and Type 1 fonts, images,
// gradients and transparency groups as PDF has them.
using PageMaker = std::function<void(cairo_t*)>;

void MakePdf(const std::string& path, const std::vector<std::pair<std::pair<double, double>, PageMaker>>& pages) {
  cairo_surface_t* surface = cairo_pdf_surface_create(path.c_str(), pages[0].first.first, pages[0].first.second);
  cairo_t* cr = cairo_create(surface);
  for (const auto& [size, draw] : pages) {
    cairo_pdf_surface_set_size(surface, size.first, size.second);
    cairo_save(cr);
    draw(cr);
    cairo_restore(cr);
    cairo_show_page(cr);
  }
  cairo_destroy(cr);
  cairo_surface_finish(surface);
  cairo_surface_destroy(surface);
}

// Font faces stay loaded while any PDF that uses them is being finished.
class Faces {
 public:
  ~Faces() {
    for (auto& [file, face] : faces_) {
      cairo_font_face_destroy(face.second);
      FT_Done_Face(face.first);
    }
    if (library_ != nullptr) FT_Done_FreeType(library_);
  }
  cairo_font_face_t* Get(const std::string& file) {
    if (library_ == nullptr && FT_Init_FreeType(&library_) != 0) return nullptr;
    auto it = faces_.find(file);
    if (it != faces_.end()) return it->second.second;
    FT_Face face;
    if (FT_New_Face(library_, file.c_str(), 0, &face) != 0) return nullptr;
    cairo_font_face_t* font = cairo_ft_font_face_create_for_ft_face(face, 0);
    faces_[file] = {face, font};
    return font;
  }

 private:
  FT_Library library_ = nullptr;
  std::map<std::string, std::pair<FT_Face, cairo_font_face_t*>> faces_;
};

Faces& TestFaces() {
  static Faces faces;
  return faces;
}

void SetFont(cairo_t* cr, const char* fontFile, double size) {
  cairo_font_face_t* font = TestFaces().Get(fontFile);
  ASSERT_NE(font, nullptr) << fontFile;
  cairo_set_font_face(cr, font);
  cairo_set_font_size(cr, size);
}

void TextIn(cairo_t* cr, const char* fontFile, double size, double x, double y, const char* text) {
  SetFont(cr, fontFile, size);
  cairo_move_to(cr, x, y);
  cairo_show_text(cr, text);
}

cairo_surface_t* Checkers(int w, int h, int cell, cairo_format_t format) {
  cairo_surface_t* img = cairo_image_surface_create(format, w, h);
  unsigned char* p = cairo_image_surface_get_data(img);
  const int stride = cairo_image_surface_get_stride(img);
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x) {
      auto* q = reinterpret_cast<uint32_t*>(p + y * stride) + x;
      const bool dark = ((x / cell + y / cell) & 1) != 0;
      *q = format == CAIRO_FORMAT_ARGB32 ? (dark ? 0xFF202020u : 0x00000000u)
                                          : (dark ? 0xFF000000u | uint32_t(x * 4) << 8 : 0xFFFFFFFFu);
    }
  cairo_surface_mark_dirty(img);
  return img;
}

// ---- The pages ----

void Paths(cairo_t* cr) {
  cairo_set_source_rgb(cr, 0, 0, 0);
  // Both fill rules over the same two squares.
  for (int rule = 0; rule < 2; ++rule) {
    cairo_set_fill_rule(cr, rule == 0 ? CAIRO_FILL_RULE_EVEN_ODD : CAIRO_FILL_RULE_WINDING);
    double x = 60 + rule * 260;
    cairo_rectangle(cr, x, 60, 200, 150);
    cairo_rectangle(cr, x + 40, 100, 120, 70);
    cairo_fill(cr);
  }
  // Strokes: widths, caps, joins, dashes with a phase, a transform that stretches the pen.
  const cairo_line_cap_t caps[] = {CAIRO_LINE_CAP_BUTT, CAIRO_LINE_CAP_ROUND, CAIRO_LINE_CAP_SQUARE};
  const cairo_line_join_t joins[] = {CAIRO_LINE_JOIN_MITER, CAIRO_LINE_JOIN_ROUND, CAIRO_LINE_JOIN_BEVEL};
  for (int i = 0; i < 3; ++i) {
    cairo_set_line_width(cr, 14);
    cairo_set_line_cap(cr, caps[i]);
    cairo_set_line_join(cr, joins[i]);
    cairo_move_to(cr, 80 + i * 170, 330);
    cairo_line_to(cr, 130 + i * 170, 250);
    cairo_line_to(cr, 180 + i * 170, 330);
    cairo_stroke(cr);
  }
  cairo_set_line_cap(cr, CAIRO_LINE_CAP_BUTT);
  double dashes[] = {24, 10, 6, 10};
  cairo_set_dash(cr, dashes, 4, 17);
  cairo_set_line_width(cr, 5);
  cairo_move_to(cr, 60, 380);
  cairo_line_to(cr, 540, 380);
  cairo_stroke(cr);
  cairo_set_dash(cr, nullptr, 0, 0);
  cairo_save(cr);
  cairo_translate(cr, 150, 470);
  cairo_rotate(cr, 0.5);
  cairo_scale(cr, 3, 1);
  cairo_set_line_width(cr, 4);
  cairo_arc(cr, 0, 0, 25, 0, 2 * M_PI);
  cairo_stroke(cr);
  cairo_restore(cr);
  cairo_set_miter_limit(cr, 1.2);
  cairo_set_line_width(cr, 10);
  cairo_set_line_join(cr, CAIRO_LINE_JOIN_MITER);
  cairo_move_to(cr, 320, 520);
  cairo_line_to(cr, 400, 430);
  cairo_line_to(cr, 480, 520);
  cairo_stroke(cr);
  // Nested clips: a rectangle, then a circle with a hole (even-odd), then a curve.
  cairo_save(cr);
  cairo_rectangle(cr, 60, 560, 300, 220);
  cairo_clip(cr);
  cairo_set_fill_rule(cr, CAIRO_FILL_RULE_EVEN_ODD);
  cairo_arc(cr, 200, 670, 120, 0, 2 * M_PI);
  cairo_arc(cr, 200, 670, 50, 0, 2 * M_PI);
  cairo_clip(cr);
  cairo_set_source_rgb(cr, 0.1, 0.1, 0.4);
  cairo_paint(cr);
  cairo_restore(cr);
  // Coloured fills and a translucent one, as they show on paper.
  cairo_set_source_rgb(cr, 0.9, 0.2, 0.2);
  cairo_rectangle(cr, 400, 580, 120, 60);
  cairo_fill(cr);
  cairo_set_source_rgba(cr, 0, 0, 0, 0.8);
  cairo_rectangle(cr, 400, 680, 120, 60);
  cairo_fill(cr);
}

void Text(cairo_t* cr) {
  cairo_set_source_rgb(cr, 0, 0, 0);
  TextIn(cr, kTrueTypeFont, 28, 60, 100, "TrueType: Hamburgefonstiv 0123");
  TextIn(cr, kTrueTypeFont, 12, 60, 140, "Small text, set at twelve points, in a TrueType subset.");
  TextIn(cr, kType1Font, 30, 60, 220, "Type 1: Hamburgefonstiv 4567");
  TextIn(cr, kType1Font, 11, 60, 260, "Eleven points of Type 1 text, the kind old documents carry.");
  cairo_save(cr);
  cairo_translate(cr, 120, 520);
  cairo_rotate(cr, -0.6);
  TextIn(cr, kTrueTypeFont, 36, 0, 0, "Turned text");
  cairo_restore(cr);
  // Outlined text: glyph paths stroked.
  SetFont(cr, kTrueTypeFont, 60);
  cairo_move_to(cr, 60, 700);
  cairo_text_path(cr, "Outline");
  cairo_set_line_width(cr, 2);
  cairo_stroke(cr);
}

void Images(cairo_t* cr) {
  cairo_surface_t* rgb = Checkers(48, 36, 6, CAIRO_FORMAT_RGB24);
  cairo_surface_t* alpha = Checkers(40, 40, 8, CAIRO_FORMAT_ARGB32);
  auto place = [&](cairo_surface_t* img, double x, double y, double scale, double angle) {
    cairo_save(cr);
    cairo_translate(cr, x, y);
    cairo_rotate(cr, angle);
    cairo_scale(cr, scale, scale);
    cairo_set_source_surface(cr, img, 0, 0);
    cairo_pattern_set_filter(cairo_get_source(cr), CAIRO_FILTER_NEAREST);
    cairo_paint(cr);
    cairo_restore(cr);
  };
  place(rgb, 60, 60, 4, 0);       // upright
  place(rgb, 330, 80, 3.5, 0.35);  // turned
  place(alpha, 80, 330, 4, 0);    // with a soft mask
  // A skewed one, mirrored.
  cairo_save(cr);
  cairo_matrix_t skew;
  cairo_matrix_init(&skew, -3, 0.8, 0.9, 3, 520, 330);
  cairo_transform(cr, &skew);
  cairo_set_source_surface(cr, rgb, 0, 0);
  cairo_pattern_set_filter(cairo_get_source(cr), CAIRO_FILTER_NEAREST);
  cairo_paint(cr);
  cairo_restore(cr);
  // Upright but mirrored both ways: an L whose foot ends up at the top left.
  cairo_surface_t* ell = cairo_image_surface_create(CAIRO_FORMAT_RGB24, 30, 30);
  {
    unsigned char* p = cairo_image_surface_get_data(ell);
    const int stride = cairo_image_surface_get_stride(ell);
    for (int y = 0; y < 30; ++y)
      for (int x = 0; x < 30; ++x)
        reinterpret_cast<uint32_t*>(p + y * stride)[x] = (x < 8 || y >= 22) ? 0xFF000000u : 0xFFFFFFFFu;
    cairo_surface_mark_dirty(ell);
  }
  cairo_save(cr);
  cairo_translate(cr, 260, 780);
  cairo_scale(cr, -3, -3);
  cairo_set_source_surface(cr, ell, 0, 0);
  cairo_pattern_set_filter(cairo_get_source(cr), CAIRO_FILTER_NEAREST);
  cairo_paint(cr);
  cairo_restore(cr);
  cairo_surface_destroy(ell);
  // A one-bit stencil painted over a grey square: a ring, the square showing through its middle.
  cairo_surface_t* ring = cairo_image_surface_create(CAIRO_FORMAT_A1, 40, 40);
  {
    unsigned char* p = cairo_image_surface_get_data(ring);
    const int stride = cairo_image_surface_get_stride(ring);
    for (int y = 0; y < 40; ++y)
      for (int x = 0; x < 40; ++x) {
        const double r = std::hypot(x - 19.5, y - 19.5);
        if (r < 19 && r > 10) reinterpret_cast<uint32_t*>(p + y * stride)[x / 32] |= 1u << (x % 32);
      }
    cairo_surface_mark_dirty(ring);
  }
  cairo_set_source_rgb(cr, 0.6, 0.6, 0.6);
  cairo_rectangle(cr, 60, 600, 80, 80);
  cairo_fill(cr);
  cairo_save(cr);
  cairo_translate(cr, 40, 580);
  cairo_scale(cr, 3, 3);
  cairo_set_source_rgb(cr, 0, 0, 0);
  cairo_pattern_t* stencil = cairo_pattern_create_for_surface(ring);
  cairo_pattern_set_filter(stencil, CAIRO_FILTER_NEAREST);
  cairo_mask(cr, stencil);
  cairo_pattern_destroy(stencil);
  cairo_restore(cr);
  cairo_surface_destroy(ring);
  // A stencil: the alpha picture as a mask painted in one colour.
  cairo_save(cr);
  cairo_set_source_rgb(cr, 0, 0, 0.3);
  cairo_translate(cr, 330, 560);
  cairo_scale(cr, 4, 4);
  cairo_mask_surface(cr, alpha, 0, 0);
  cairo_restore(cr);
  cairo_surface_destroy(rgb);
  cairo_surface_destroy(alpha);
}

void ShadingsAndGroups(cairo_t* cr) {
  cairo_pattern_t* linear = cairo_pattern_create_linear(60, 0, 300, 0);
  cairo_pattern_add_color_stop_rgb(linear, 0, 0, 0, 0);
  cairo_pattern_add_color_stop_rgb(linear, 1, 1, 1, 1);
  cairo_rectangle(cr, 60, 60, 240, 150);
  cairo_set_source(cr, linear);
  cairo_fill(cr);
  cairo_pattern_destroy(linear);
  cairo_pattern_t* radial = cairo_pattern_create_radial(450, 150, 10, 450, 150, 100);
  cairo_pattern_add_color_stop_rgb(radial, 0, 0, 0, 0);
  cairo_pattern_add_color_stop_rgb(radial, 1, 0.9, 0.9, 0.9);
  cairo_arc(cr, 450, 150, 100, 0, 2 * M_PI);
  cairo_set_source(cr, radial);
  cairo_fill(cr);
  cairo_pattern_destroy(radial);
  // A group drawn at 70 %: two overlapping squares that do not darken each other.
  cairo_push_group(cr);
  cairo_set_source_rgb(cr, 0, 0, 0);
  cairo_rectangle(cr, 60, 300, 180, 180);
  cairo_fill(cr);
  cairo_rectangle(cr, 160, 400, 180, 180);
  cairo_fill(cr);
  cairo_pop_group_to_source(cr);
  cairo_paint_with_alpha(cr, 0.7);
  // A soft mask: a gradient that fades a black square out.
  cairo_pattern_t* fade = cairo_pattern_create_linear(380, 0, 540, 0);
  cairo_pattern_add_color_stop_rgba(fade, 0, 0, 0, 0, 1);
  cairo_pattern_add_color_stop_rgba(fade, 1, 0, 0, 0, 0);
  cairo_set_source_rgb(cr, 0, 0, 0);
  cairo_save(cr);
  cairo_rectangle(cr, 380, 300, 160, 160);
  cairo_clip(cr);
  cairo_mask(cr, fade);
  cairo_restore(cr);
  cairo_pattern_destroy(fade);
  // A tiling pattern: a small picture repeated over a circle.
  cairo_surface_t* tile = Checkers(8, 8, 4, CAIRO_FORMAT_RGB24);
  cairo_pattern_t* tiles = cairo_pattern_create_for_surface(tile);
  cairo_pattern_set_extend(tiles, CAIRO_EXTEND_REPEAT);
  cairo_pattern_set_filter(tiles, CAIRO_FILTER_NEAREST);
  cairo_matrix_t scale;
  cairo_matrix_init_scale(&scale, 0.25, 0.25);  // 32-point squares
  cairo_pattern_set_matrix(tiles, &scale);
  cairo_arc(cr, 300, 700, 100, 0, 2 * M_PI);
  cairo_set_source(cr, tiles);
  cairo_fill(cr);
  cairo_pattern_destroy(tiles);
  cairo_surface_destroy(tile);
}

// ---- Hand-written PDFs ----

// Objects numbered from 1 in order; the cross-reference table is computed.
std::string WritePdf(const std::vector<std::string>& objects, const std::string& trailerExtra = "") {
  std::string out = "%PDF-1.4\n%\xE2\xE3\xCF\xD3\n";
  std::vector<size_t> offsets;
  for (size_t i = 0; i < objects.size(); ++i) {
    offsets.push_back(out.size());
    out += std::to_string(i + 1) + " 0 obj\n" + objects[i] + "\nendobj\n";
  }
  size_t xref = out.size();
  out += "xref\n0 " + std::to_string(objects.size() + 1) + "\n0000000000 65535 f \n";
  for (size_t o : offsets) {
    char line[32];
    std::snprintf(line, sizeof line, "%010zu 00000 n \n", o);
    out += line;
  }
  out += "trailer\n<< /Size " + std::to_string(objects.size() + 1) + " /Root 1 0 R " + trailerExtra + ">>\nstartxref\n" +
         std::to_string(xref) + "\n%%EOF\n";
  return out;
}

std::string Stream(const std::string& dict, const std::string& data) {
  return "<< " + dict + " /Length " + std::to_string(data.size()) + " >>\nstream\n" + data + "\nendstream";
}

// A page with a text field whose appearance a viewer shows, a check box, and invisible text (as a
// scanned page carries under its picture).
std::string FormPdf() {
  const std::string content =
      "BT /F1 24 Tf 72 760 Td (Form) Tj ET\n"
      "BT 3 Tr /F1 40 Tf 72 600 Td (Invisible words) Tj ET\n";
  const std::string fieldLook = "0 0 0 RG 2 w 1 1 298 38 re S BT /F1 20 Tf 8 12 Td (Filled in) Tj ET";
  const std::string checkLook = "0 g 4 4 22 22 re f";
  return WritePdf({
      "<< /Type /Catalog /Pages 2 0 R /AcroForm << /Fields [4 0 R 6 0 R] >> >>",
      "<< /Type /Pages /Kids [3 0 R] /Count 1 >>",
      "<< /Type /Page /Parent 2 0 R /MediaBox [0 0 595.2756 841.8898] /Resources << /Font << /F1 8 0 R >> >> "
      "/Contents 9 0 R /Annots [4 0 R 6 0 R] >>",
      "<< /Type /Annot /Subtype /Widget /FT /Tx /T (name) /V (Filled in) /Rect [72 500 372 540] /P 3 0 R "
      "/F 4 /AP << /N 5 0 R >> /DA (/F1 20 Tf 0 g) >>",
      Stream("/Type /XObject /Subtype /Form /BBox [0 0 300 40] /Resources << /Font << /F1 8 0 R >> >>", fieldLook),
      "<< /Type /Annot /Subtype /Widget /FT /Btn /T (ok) /V /Yes /AS /Yes /Rect [72 420 102 450] /P 3 0 R /F 4 "
      "/AP << /N << /Yes 7 0 R >> >> >>",
      Stream("/Type /XObject /Subtype /Form /BBox [0 0 30 30]", checkLook),
      "<< /Type /Font /Subtype /Type1 /BaseFont /Helvetica >>",
      Stream("", content),
  });
}

// Text render modes on a standard font (stroked, clipping with a fill through it) and a Type 3
// font whose glyphs are drawn by the PDF itself.
std::string TextModesPdf() {
  const std::string content =
      "BT /F1 48 Tf 1 Tr 2 w 72 740 Td (Stroked) Tj ET\n"
      "q BT /F1 80 Tf 7 Tr 72 560 Td (CLIP) Tj ET 0 0 1 rg 0 560 595 30 re f 0 g 0 620 595 10 re f Q\n"
      "BT /F2 36 Tf 72 400 Td (ABAB) Tj ET\n"
      "0 g 72 300 200 4 re f\n";
  const std::string square = "1000 0 0 0 800 800 d1 0 0 800 800 re f";
  const std::string triangle = "1000 0 0 0 800 800 d1 0 0 m 800 0 l 400 800 l f";
  return WritePdf({
      "<< /Type /Catalog /Pages 2 0 R >>",
      "<< /Type /Pages /Kids [3 0 R] /Count 1 >>",
      "<< /Type /Page /Parent 2 0 R /MediaBox [0 0 595.2756 841.8898] /Resources << /Font << /F1 4 0 R /F2 5 0 R >> >> "
      "/Contents 6 0 R >>",
      "<< /Type /Font /Subtype /Type1 /BaseFont /Helvetica-Bold >>",
      "<< /Type /Font /Subtype /Type3 /FontBBox [0 0 800 800] /FontMatrix [0.001 0 0 0.001 0 0] "
      "/CharProcs << /sq 7 0 R /tri 8 0 R >> /Encoding << /Type /Encoding /Differences [65 /sq /tri] >> "
      "/FirstChar 65 /LastChar 66 /Widths [1000 1000] >>",
      Stream("", content),
      Stream("", square),
      Stream("", triangle),
  });
}

// The family names soft-font headers carry, in the order they are sent.
std::vector<std::string> SoftFontNames(const std::string& stream) {
  std::vector<std::string> names;
  for (size_t at = stream.find("\x1b)s"); at != std::string::npos; at = stream.find("\x1b)s", at + 1)) {
    size_t end = at + 3;
    while (end < stream.size() && std::isdigit(static_cast<unsigned char>(stream[end]))) ++end;
    if (end == at + 3 || end >= stream.size() || stream[end] != 'W') continue;
    if (end + 1 + 64 > stream.size()) continue;
    const std::string field = stream.substr(end + 1 + 48, 16);
    names.push_back(field.substr(0, field.find('\0')));
  }
  return names;
}

class PdfToolTest : public ::testing::Test {
 protected:
  testsupport::TempDir dir;
  // PDF_TEST_KEEP=DIR keeps the PDFs, previews and streams for a look.
  ~PdfToolTest() override {
    if (getenv("PDF_TEST_KEEP")) fs::copy(dir.path(), getenv("PDF_TEST_KEEP"), fs::copy_options::recursive | fs::copy_options::overwrite_existing);
  }
  std::string Path(const std::string& name) const { return (dir.path() / name).string(); }

  tooltest::Result Tool(std::vector<std::string> args) {
    args.insert(args.begin(), kTool);
    return tooltest::Run(args, {{"RT7700_TEST_MODE", "1"}, {"TMPDIR", dir.str()}}, dir.str());
  }

  // Every page's preview agrees with MuPDF's rendering; the printed stream is sound.
  void ExpectPrintsAsMuPdfDraws(const std::string& pdf, double minimumInk) {
    auto reference = Reference(pdf);
    ASSERT_FALSE(reference.empty());
    auto r = Tool({pdf, "--preview", Path("preview"), "--preview-dpi", std::to_string(kDpi)});
    ASSERT_EQ(r.status, 0) << r.err;
    for (size_t i = 0; i < reference.size(); ++i) {
      SCOPED_TRACE("page " + std::to_string(i + 1));
      Grey preview = ReadPng(Path("preview") + "/page-" + (i < 9 ? "00" : "0") + std::to_string(i + 1) + ".png");
      ASSERT_GT(preview.width, 0);
      Agreement a = Compare(preview, reference[i]);
      std::printf("page %zu: %.4f of the pixels alike, %.4f of the ink\n", i + 1, a.all, a.ink);
      EXPECT_GE(a.all, 0.99);
      EXPECT_GE(a.ink, minimumInk);
    }
    r = Tool({pdf, "--output", Path("out.prn")});
    ASSERT_EQ(r.status, 0) << r.err;
    std::string stream = tooltest::ReadFile(Path("out.prn"));
    EXPECT_EQ(testsupport::StructureFaults(stream), std::vector<std::string>{});
    EXPECT_EQ(testsupport::StructureProblems(stream), std::vector<std::string>{});
  }
};

TEST_F(PdfToolTest, PathsStrokesAndClipsPrintAsMuPdfDrawsThem) {
  MakePdf(Path("paths.pdf"), {{{kA4Width, kA4Height}, Paths}});
  ExpectPrintsAsMuPdfDraws(Path("paths.pdf"), 0.95);
}

TEST_F(PdfToolTest, TrueTypeType1AndOutlinedTextPrintAsMuPdfDrawsThem) {
  MakePdf(Path("text.pdf"), {{{kA4Width, kA4Height}, Text}});
  std::string bytes = tooltest::ReadFile(Path("text.pdf"));
  ASSERT_NE(bytes.find("/FontFile2"), std::string::npos) << "no TrueType font in the test PDF";
  ASSERT_NE(bytes.find("/FontFile "), std::string::npos) << "no Type 1 font in the test PDF";
  ExpectPrintsAsMuPdfDraws(Path("text.pdf"), 0.85);
  // The TrueType text goes to the printer as a scalable soft font with the subset's own glyphs,
  // the Type 1 text as bitmap fonts, one a size; the outlined text as graphics.
  std::string stream = tooltest::ReadFile(Path("out.prn"));
  auto fonts = testsupport::ReadSoftFontDownloads(stream);
  EXPECT_EQ(fonts.faults, std::vector<std::string>{});
  const auto names = SoftFontNames(stream);
  EXPECT_EQ(std::count(names.begin(), names.end(), "Nimbus Roman"), 2) << ::testing::PrintToString(names);
  int trueType = 0, bitmaps = 0;
  for (const auto& c : fonts.characters) {
    trueType += c.format == 15;
    bitmaps += c.format == 4;
  }
  // "TrueType: Hamburgefonstiv 0123" and the small line share their letters: a few dozen glyphs.
  EXPECT_GE(trueType, 30);
  EXPECT_LE(trueType, 60);
  // The distinct glyphs of the large Type 1 line and of the small one, a space each among them.
  EXPECT_EQ(bitmaps, 25 + 26);
  EXPECT_EQ(trueType + bitmaps, static_cast<int>(fonts.characters.size()));
}

// Type 1 and CFF text alone: each size a bitmap font of the glyphs at the printer's resolution,
// the letters printed as text, and no glyph drawn as a polygon.
TEST_F(PdfToolTest, Type1AndCffTextPrintAsBitmapFonts) {
  MakePdf(Path("fonts.pdf"), {{{kA4Width, kA4Height}, [](cairo_t* cr) {
                                 cairo_set_source_rgb(cr, 0, 0, 0);
                                 TextIn(cr, kType1Font, 24, 60, 100, "Type 1 at 24 points: Quixotic 89");
                                 TextIn(cr, kType1Font, 9, 60, 130, "Nine points of Type 1, quite small.");
                                 TextIn(cr, kCffFont, 24, 60, 200, "CFF at 24 points: Quixotic 89");
                                 TextIn(cr, kCffFont, 10, 60, 230, "Ten points of CFF text.");
                               }}});
  std::string bytes = tooltest::ReadFile(Path("fonts.pdf"));
  ASSERT_NE(bytes.find("/FontFile "), std::string::npos) << "no Type 1 font in the test PDF";
  ASSERT_NE(bytes.find("/FontFile3"), std::string::npos) << "no CFF font in the test PDF";
  ExpectPrintsAsMuPdfDraws(Path("fonts.pdf"), 0.85);
  std::string stream = tooltest::ReadFile(Path("out.prn"));
  auto fonts = testsupport::ReadSoftFontDownloads(stream);
  EXPECT_EQ(fonts.faults, std::vector<std::string>{});
  EXPECT_EQ(SoftFontNames(stream),
            (std::vector<std::string>{"Nimbus Roman", "Nimbus Roman", "Nimbus Sans", "Nimbus Sans"}));
  EXPECT_EQ(fonts.headerIds.size(), 4u);
  int tall = 0;
  for (const auto& c : fonts.characters) {
    EXPECT_EQ(c.format, 4);
    // A 24-point capital at the printer's 600 dpi is about 130 dots tall.
    if (c.height >= 120) ++tall;
  }
  // The distinct glyphs of each line, a space each among them.
  EXPECT_EQ(fonts.characters.size(), 21u + 20u + 19u + 14u);
  EXPECT_GT(tall, 0);
  EXPECT_EQ(stream.find("PM0"), std::string::npos) << "glyphs drawn as polygons";
}

TEST_F(PdfToolTest, ImagesMasksAndStencilsPrintAsMuPdfDrawsThem) {
  MakePdf(Path("images.pdf"), {{{kA4Width, kA4Height}, Images}});
  ExpectPrintsAsMuPdfDraws(Path("images.pdf"), 0.95);
}

TEST_F(PdfToolTest, ShadingsGroupsAndSoftMasksPrintAsMuPdfDrawsThem) {
  MakePdf(Path("shading.pdf"), {{{kA4Width, kA4Height}, ShadingsAndGroups}});
  ExpectPrintsAsMuPdfDraws(Path("shading.pdf"), 0.95);
}

TEST_F(PdfToolTest, FormFieldsShowAndInvisibleTextDoesNot) {
  std::ofstream(Path("form.pdf"), std::ios::binary) << FormPdf();
  ExpectPrintsAsMuPdfDraws(Path("form.pdf"), 0.9);
  // The standard font the PDF names without embedding it prints in the machine's face, as a
  // scalable soft font.
  auto fonts = testsupport::ReadSoftFontDownloads(tooltest::ReadFile(Path("out.prn")));
  EXPECT_EQ(fonts.faults, std::vector<std::string>{});
  ASSERT_FALSE(fonts.characters.empty());
  for (const auto& c : fonts.characters) EXPECT_EQ(c.format, 15);
  // Nothing of the invisible line is drawn: its band of the page stays white.
  Grey preview = ReadPng(Path("preview") + "/page-001.png");
  ASSERT_GT(preview.width, 0);
  int dark = 0;
  for (int y = (841 - 640) * kDpi / 72; y < (841 - 590) * kDpi / 72; ++y)
    for (int x = 0; x < preview.width; ++x) dark += preview.Dark(x, y);
  EXPECT_EQ(dark, 0);
}

TEST_F(PdfToolTest, StrokedClippingAndType3TextPrintAsMuPdfDrawsThem) {
  std::ofstream(Path("modes.pdf"), std::ios::binary) << TextModesPdf();
  ExpectPrintsAsMuPdfDraws(Path("modes.pdf"), 0.9);
  // The clipping text lets the bar through only inside its letters: dark and white alternate
  // along the bar, and beyond the text the bar is gone.
  Grey preview = ReadPng(Path("preview") + "/page-001.png");
  ASSERT_GT(preview.width, 0);
  const int y = (842 - 575) * kDpi / 72;
  int changes = 0;
  for (int x = 1; x < preview.width; ++x) changes += preview.Dark(x, y) != preview.Dark(x - 1, y);
  EXPECT_GE(changes, 6);
  EXPECT_FALSE(preview.Dark(500 * kDpi / 72, y));
}

// The paper each page of a mixed document is printed on, as the stream selects it.
std::vector<int> PageSizeCodes(const std::string& stream) {
  std::vector<int> codes;
  std::regex command("\x1b&l([0-9]+)A");
  for (auto it = std::sregex_iterator(stream.begin(), stream.end(), command); it != std::sregex_iterator(); ++it)
    codes.push_back(std::stoi((*it)[1]));
  return codes;
}

TEST_F(PdfToolTest, EachPageGetsItsOwnPaper) {
  auto label = [](const char* text) {
    return [text](cairo_t* cr) {
      // A font file of its own: cairo's font lookup keeps fontconfig data to the end.
      SetFont(cr, kTrueTypeFont, 20);
      cairo_move_to(cr, 40, 60);
      cairo_show_text(cr, text);
    };
  };
  // A4; letter turned (1 mm off); a custom size; a poster too large for any paper.
  MakePdf(Path("mixed.pdf"), {{{kA4Width, kA4Height}, label("A4")},
                              {{794, 612}, label("Letter across")},
                              {{300, 400}, label("Custom")},
                              {{1684, 2384}, label("Poster")}});
  auto r = Tool({Path("mixed.pdf"), "--output", Path("mixed.prn"), "-o", "media-source=auto"});
  ASSERT_EQ(r.status, 0) << r.err;
  std::string stream = tooltest::ReadFile(Path("mixed.prn"));
  EXPECT_EQ(testsupport::StructureFaults(stream), std::vector<std::string>{});
  std::vector<int> codes = PageSizeCodes(stream);
  // A4 26, letter 2, custom 101; the poster on the default paper (A4 or letter by locale).
  std::vector<int> distinct;
  for (int c : codes)
    if (distinct.empty() || distinct.back() != c) distinct.push_back(c);
  ASSERT_GE(distinct.size(), 3u) << testsupport::Decode(stream.substr(0, 4000));
  EXPECT_EQ(distinct[0], 26);
  EXPECT_EQ(distinct[1], 2);
  EXPECT_EQ(distinct[2], 101);
  EXPECT_NE(stream.find("\x1b&l1O"), std::string::npos) << "the letter page is not printed across";

  // The previews show each paper: A4 upright, letter across, the custom size, the default paper.
  r = Tool({Path("mixed.pdf"), "--preview", Path("mixed"), "--preview-dpi", "50"});
  ASSERT_EQ(r.status, 0) << r.err;
  Grey a4 = ReadPng(Path("mixed/page-001.png")), letter = ReadPng(Path("mixed/page-002.png"));
  Grey custom = ReadPng(Path("mixed/page-003.png")), poster = ReadPng(Path("mixed/page-004.png"));
  EXPECT_NEAR(a4.width, 413, 1);
  EXPECT_NEAR(a4.height, 585, 1);
  EXPECT_NEAR(letter.width, 550, 1);
  EXPECT_NEAR(letter.height, 425, 1);
  EXPECT_NEAR(custom.width, 208, 1);
  EXPECT_NEAR(custom.height, 278, 1);
  EXPECT_LT(poster.width, 600) << "the poster is not scaled onto a paper";
  EXPECT_GT(poster.height, poster.width);
}

TEST_F(PdfToolTest, APaperChangeThePrinterRefusesFailsTheJobAndKeepsThePreviousFile) {
  auto label = [](cairo_t* cr) {
    cairo_rectangle(cr, 40, 40, 100, 100);
    cairo_fill(cr);
  };
  MakePdf(Path("two.pdf"), {{{kA4Width, kA4Height}, label}, {{612, 792}, label}});
  std::ofstream(Path("out.prn"), std::ios::binary) << "previous job";
  auto r = tooltest::Run({kTool, Path("two.pdf"), "--output", Path("out.prn")},
                         {{"RT7700_TEST_MODE", "1"}, {"RT7700_TEST_DRIVER", FAKE_DRIVER_PATH},
                          {"RT7700_FAKE_DRIVER_FAIL", "ResetPDEV"}, {"TMPDIR", dir.str()}},
                         dir.str());
  EXPECT_EQ(r.status, 1) << r.err;
  EXPECT_NE(r.err.find("page 2, ResetDCW failed"), std::string::npos) << r.err;
  EXPECT_EQ(tooltest::ReadFile(Path("out.prn")), "previous job");
}

TEST_F(PdfToolTest, PageRangesAndFitToPage) {
  std::vector<std::pair<std::pair<double, double>, PageMaker>> pages;
  for (int i = 1; i <= 8; ++i) {
    pages.push_back({{kA4Width, kA4Height}, [i](cairo_t* cr) {
                       // Page i has i bars, so a preview tells which page it is.
                       for (int k = 0; k < i; ++k) cairo_rectangle(cr, 0, 100 + 60.0 * k, kA4Width, 30);
                       cairo_fill(cr);
                     }});
  }
  MakePdf(Path("eight.pdf"), pages);
  auto r = Tool({Path("eight.pdf"), "-o", "page-ranges=1-3,7", "--preview", Path("ranges"), "--preview-dpi", "20"});
  ASSERT_EQ(r.status, 0) << r.err;
  auto bars = [](const Grey& g) {
    int count = 0;
    bool inside = false;
    for (int y = 0; y < g.height; ++y) {
      bool dark = g.Dark(g.width / 2, y);
      count += dark && !inside;
      inside = dark;
    }
    return count;
  };
  std::vector<int> seen;
  for (const auto& e : fs::directory_iterator(Path("ranges"))) (void)e, seen.push_back(0);
  ASSERT_EQ(seen.size(), 4u);
  EXPECT_EQ(bars(ReadPng(Path("ranges/page-001.png"))), 1);
  EXPECT_EQ(bars(ReadPng(Path("ranges/page-003.png"))), 3);
  EXPECT_EQ(bars(ReadPng(Path("ranges/page-004.png"))), 7);

  r = Tool({Path("eight.pdf"), "-o", "page-ranges=9-12"});
  EXPECT_EQ(r.status, 2);
  r = Tool({Path("eight.pdf"), "-o", "page-ranges=3-1", "--output", Path("none.prn")});
  EXPECT_EQ(r.status, 2);
  EXPECT_NE(r.err.find("page-ranges"), std::string::npos) << r.err;

  // Pages on the same paper share the printer's set-up, two-sided too: the page commands are those
  // of a job of as many empty pages.
  r = Tool({Path("eight.pdf"), "-o", "sides=two-sided-long-edge", "--output", Path("eight.prn")});
  ASSERT_EQ(r.status, 0) << r.err;
  r = Tool({"--pages", "8", "-o", "sides=two-sided-long-edge", "--output", Path("empty.prn")});
  ASSERT_EQ(r.status, 0) << r.err;
  std::string eight = tooltest::ReadFile(Path("eight.prn")), empty = tooltest::ReadFile(Path("empty.prn"));
  EXPECT_EQ(PageSizeCodes(eight), PageSizeCodes(empty));
  auto count = [](const std::string& text, const std::string& what) {
    size_t n = 0;
    for (size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + 1)) ++n;
    return n;
  };
  EXPECT_EQ(count(eight, "\x1b&l"), count(empty, "\x1b&l"));
  EXPECT_EQ(count(eight, "\f"), count(empty, "\f"));

  // Fit-to-page keeps the page inside the printable area: its full-width bars no longer touch
  // the paper's edges.
  r = Tool({Path("eight.pdf"), "-o", "page-ranges=1", "--preview", Path("fit"), "--preview-dpi", "50"});
  ASSERT_EQ(r.status, 0) << r.err;
  r = Tool({Path("eight.pdf"), "-o", "page-ranges=1", "-o", "fit-to-page", "--preview", Path("fitted"), "--preview-dpi",
            "50"});
  ASSERT_EQ(r.status, 0) << r.err;
  Grey whole = ReadPng(Path("fit/page-001.png")), fitted = ReadPng(Path("fitted/page-001.png"));
  int y = 120 * 50 / 72;
  EXPECT_TRUE(whole.Dark(0, y));
  EXPECT_FALSE(fitted.Dark(0, y));
  EXPECT_TRUE(fitted.Dark(fitted.width / 2, y));
}

TEST_F(PdfToolTest, DamagedAndEncryptedPdfsWriteNothing) {
  std::ofstream(Path("damaged.pdf"), std::ios::binary) << "%PDF-1.7\n1 0 obj << /Type /Catalog >>\nthen nothing\n";
  // Encrypted with a user password: no key the empty password gives opens it.
  std::string encrypt = "/Encrypt << /Filter /Standard /V 1 /R 2 /O <" + std::string(64, 'A') + "> /U <" +
                        std::string(64, '7') + "> /P -4 >> /ID [<00112233445566778899AABBCCDDEEFF> "
                        "<00112233445566778899AABBCCDDEEFF>]";
  std::ofstream(Path("locked.pdf"), std::ios::binary)
      << WritePdf({"<< /Type /Catalog /Pages 2 0 R >>", "<< /Type /Pages /Kids [3 0 R] /Count 1 >>",
                   "<< /Type /Page /Parent 2 0 R /MediaBox [0 0 200 200] >>"},
                  encrypt);
  tooltest::Result r;
  for (const char* name : {"damaged.pdf", "locked.pdf"}) {
    SCOPED_TRACE(name);
    r = Tool({Path(name), "--output", Path("out.prn")});
    EXPECT_EQ(r.status, 2) << r.err;
    EXPECT_FALSE(fs::exists(Path("out.prn")));
    EXPECT_EQ(std::count(r.err.begin(), r.err.end(), '\n'), 1) << r.err;
    EXPECT_NE(r.err.find(name == std::string("locked.pdf") ? "encrypted" : "damaged"), std::string::npos) << r.err;
  }
  // Standard input: a PDF prints, anything else is refused.
  // A job file is no PDF, whatever its document is called.
  std::ofstream(Path("job.json")) << "{\"document\": \"%PDF-1.7 notes\", \"pages\": 1}";
  r = Tool({Path("job.json"), "--output", Path("job.prn")});
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_TRUE(fs::exists(Path("job.prn")));
  auto fromStdin = [&](const std::string& file) {
    return tooltest::Run({"/bin/sh", "-c", "exec \"$0\" - --output \"$1\" < \"$2\"", kTool, Path("out.prn"), file},
                         {{"RT7700_TEST_MODE", "1"}, {"TMPDIR", dir.str()}}, dir.str());
  };
  r = fromStdin(Path("job.json"));
  EXPECT_EQ(r.status, 2) << r.err;
  EXPECT_FALSE(fs::exists(Path("out.prn")));
  std::ofstream(Path("form.pdf"), std::ios::binary) << FormPdf();
  r = fromStdin(Path("form.pdf"));
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_TRUE(fs::exists(Path("out.prn")));
}

TEST_F(PdfToolTest, ANamedPipeIsReadOnceWhateverItCarries) {
  // The input is probed and read through one opening: a second one would wait for a writer
  // that has gone.
  std::ofstream(Path("form.pdf"), std::ios::binary) << FormPdf();
  std::ofstream(Path("job.json")) << "{\"pages\": 2}";
  for (const char* name : {"form.pdf", "job.json"}) {
    SCOPED_TRACE(name);
    std::string fifo = Path(std::string(name) + ".fifo"), out = Path(std::string(name) + ".prn");
    ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
    std::string bytes = tooltest::ReadFile(Path(name));
    std::thread writer([&] {
      int fd = open(fifo.c_str(), O_WRONLY);
      if (fd >= 0) {
        (void)!write(fd, bytes.data(), bytes.size());
        close(fd);
      }
    });
    auto r = Tool({fifo, "--output", out});
    writer.join();
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_TRUE(fs::exists(out));
  }
}

}  // namespace
