// MuPDF's device calls as GDI: paths and glyph outlines become GDI paths (filled, stroked or
// selected as the clip), clips nest through SaveDC/RestoreDC, plain images go out with
// StretchDIBits. What GDI has no call for (shadings, transparency groups, soft masks, tiling
// patterns, rotated images, stencils) MuPDF draws into a picture at the device's resolution, laid
// on the page where it is at least half covered.
#include "gdi_device.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <functional>
#include <optional>
#include <vector>

#include <ft2build.h>
#include FT_FREETYPE_H

#include "truetype_file.h"
#include "win/error.h"

namespace rt7700pdf {
namespace {

// The largest em, in device pixels, that text in a Type 1 or CFF font prints at as bitmaps.
constexpr float kLargestBitmapEm = 1024;

// A colour no drawn pixel keeps: what TransparentBlt leaves alone.
constexpr COLORREF kKey = RGB(0xFE, 0x01, 0xFD);

struct State {
  fz_context* ctx = nullptr;
  HDC hdc = nullptr;
  std::string* error = nullptr;
  FontRegistry* fonts = nullptr;
  std::vector<int> clips;  // the SaveDC level each pushed clip restores
  // While a group, a soft mask or a tiling pattern is recorded for MuPDF to draw.
  fz_display_list* list = nullptr;
  fz_device* recorder = nullptr;
  int depth = 0;

  void Failed(const char* call) {
    if (error->empty()) *error = std::string(call) + " failed (error " + std::to_string(GetLastError()) + ")";
  }
  void Check(bool ok, const char* call) {
    if (!ok) Failed(call);
  }
};

struct GdiDevice {
  fz_device super;
  State* state;
};

State* Of(fz_device* dev) { return reinterpret_cast<GdiDevice*>(dev)->state; }

void ToRgb(fz_context* ctx, fz_colorspace* cs, const float* color, fz_color_params params, float* rgb) {
  fz_try(ctx) { fz_convert_color(ctx, cs, color, fz_device_rgb(ctx), rgb, nullptr, params); }
  fz_catch(ctx) { rgb[0] = rgb[1] = rgb[2] = 0; }
}

// The colour, and a translucent one as it shows on white paper.
COLORREF Rgb(fz_context* ctx, fz_colorspace* cs, const float* color, fz_color_params params, float alpha = 1) {
  float rgb[3] = {0, 0, 0};
  ToRgb(ctx, cs, color, params, rgb);
  const float a = std::clamp(alpha, 0.0f, 1.0f);
  auto byte = [a](float v) { return static_cast<BYTE>(std::lround((std::clamp(v, 0.0f, 1.0f) * a + 1 - a) * 255)); };
  return RGB(byte(rgb[0]), byte(rgb[1]), byte(rgb[2]));
}

// A path's figures in logical units.
struct Figures {
  fz_matrix m = fz_identity;
  fz_point last{0, 0}, start{0, 0};
  std::vector<POINT> points;
  std::vector<BYTE> types;

  void Add(float x, float y, BYTE type) {
    fz_point p = fz_transform_point_xy(x, y, m);
    points.push_back({static_cast<LONG>(std::lround(p.x)), static_cast<LONG>(std::lround(p.y))});
    types.push_back(type);
  }
  void MoveTo(float x, float y) {
    if (!types.empty() && types.back() == PT_MOVETO) {
      points.pop_back();
      types.pop_back();
    }
    Add(x, y, PT_MOVETO);
    last = start = {x, y};
  }
  // After a close, drawing goes on from where the closed figure started.
  bool NeedsMove() const { return types.empty() || (types.back() & PT_CLOSEFIGURE) != 0; }
  void LineTo(float x, float y) {
    if (NeedsMove()) MoveTo(last.x, last.y);
    Add(x, y, PT_LINETO);
    last = {x, y};
  }
  void CurveTo(float x1, float y1, float x2, float y2, float x3, float y3) {
    if (NeedsMove()) MoveTo(last.x, last.y);
    Add(x1, y1, PT_BEZIERTO);
    Add(x2, y2, PT_BEZIERTO);
    Add(x3, y3, PT_BEZIERTO);
    last = {x3, y3};
  }
  void Close() {
    if (types.empty() || types.back() == PT_MOVETO || (types.back() & PT_CLOSEFIGURE)) return;
    types.back() |= PT_CLOSEFIGURE;
    last = start;
  }
};

void WalkMove(fz_context*, void* arg, float x, float y) { static_cast<Figures*>(arg)->MoveTo(x, y); }
void WalkLine(fz_context*, void* arg, float x, float y) { static_cast<Figures*>(arg)->LineTo(x, y); }
void WalkCurve(fz_context*, void* arg, float x1, float y1, float x2, float y2, float x3, float y3) {
  static_cast<Figures*>(arg)->CurveTo(x1, y1, x2, y2, x3, y3);
}
void WalkClose(fz_context*, void* arg) { static_cast<Figures*>(arg)->Close(); }
void WalkQuad(fz_context*, void* arg, float x1, float y1, float x2, float y2) {
  auto* f = static_cast<Figures*>(arg);
  fz_point a = f->last;
  f->CurveTo(a.x + 2 * (x1 - a.x) / 3, a.y + 2 * (y1 - a.y) / 3, x2 + 2 * (x1 - x2) / 3, y2 + 2 * (y1 - y2) / 3, x2, y2);
}
void WalkCurveV(fz_context*, void* arg, float x2, float y2, float x3, float y3) {
  auto* f = static_cast<Figures*>(arg);
  f->CurveTo(f->last.x, f->last.y, x2, y2, x3, y3);
}
void WalkCurveY(fz_context*, void* arg, float x1, float y1, float x3, float y3) {
  static_cast<Figures*>(arg)->CurveTo(x1, y1, x3, y3, x3, y3);
}
void WalkRect(fz_context*, void* arg, float x1, float y1, float x2, float y2) {
  auto* f = static_cast<Figures*>(arg);
  f->MoveTo(x1, y1);
  f->LineTo(x2, y1);
  f->LineTo(x2, y2);
  f->LineTo(x1, y2);
  f->Close();
}

constexpr fz_path_walker kWalker = {WalkMove, WalkLine, WalkCurve, WalkClose, WalkQuad, WalkCurveV, WalkCurveY, WalkRect};

void AddPath(fz_context* ctx, const fz_path* path, fz_matrix ctm, Figures* out) {
  out->m = ctm;
  fz_walk_path(ctx, path, &kWalker, out);
}

// The figures as the device context's path; false when a call fails.
bool Emit(HDC hdc, const Figures& f) {
  if (!BeginPath(hdc)) return false;
  const size_t n = f.points.size();
  for (size_t i = 0; i < n;) {
    BYTE type = f.types[i] & ~PT_CLOSEFIGURE;
    size_t run = 1;
    bool ok = true;
    if (type == PT_MOVETO) {
      ok = MoveToEx(hdc, f.points[i].x, f.points[i].y, nullptr);
    } else if (type == PT_LINETO) {
      while (i + run < n && f.types[i + run - 1] == PT_LINETO && (f.types[i + run] & ~PT_CLOSEFIGURE) == PT_LINETO)
        ++run;
      ok = PolylineTo(hdc, &f.points[i], static_cast<DWORD>(run));
    } else {
      run = std::min<size_t>(3, n - i);
      ok = run == 3 && PolyBezierTo(hdc, &f.points[i], 3);
    }
    if (!ok) {
      (void)AbortPath(hdc);
      return false;
    }
    i += run;
    if ((f.types[i - 1] & PT_CLOSEFIGURE) && !CloseFigure(hdc)) {
      (void)AbortPath(hdc);
      return false;
    }
  }
  return EndPath(hdc);
}

fz_path* Outline(fz_context* ctx, fz_font* font, int gid, fz_matrix m) {
  fz_path* volatile path = nullptr;
  fz_try(ctx) { path = fz_outline_glyph(ctx, font, gid, m); }
  fz_catch(ctx) { return nullptr; }
  return path;
}

void AddSpan(fz_context* ctx, const fz_text_span* span, fz_matrix ctm, Figures* out) {
  for (int i = 0; i < span->len; ++i) {
    const fz_text_item& item = span->items[i];
    if (item.gid < 0) continue;
    fz_matrix tm = span->trm;
    tm.e = item.x;
    tm.f = item.y;
    fz_path* path = Outline(ctx, span->font, item.gid, fz_concat(tm, ctm));
    if (path == nullptr) continue;  // a glyph that draws nothing
    AddPath(ctx, path, fz_identity, out);
    fz_drop_path(ctx, path);
  }
}

// Glyph outlines of the text in logical units; false when a glyph has none (a Type 3 font), so
// the text must be drawn by MuPDF instead.
bool AddText(fz_context* ctx, const fz_text* text, fz_matrix ctm, Figures* out) {
  for (const fz_text_span* span = text->head; span != nullptr; span = span->next) {
    if (fz_font_t3_procs(ctx, span->font) != nullptr) return false;
    AddSpan(ctx, span, ctm, out);
  }
  return true;
}

fz_irect DeviceBox(fz_rect logical) {
  return fz_irect_from_rect(fz_transform_rect(logical, fz_scale(1.0f / kSubPixels, 1.0f / kSubPixels)));
}

// The clip's box in device pixels; empty when nothing can be drawn.
fz_irect ClipBox(HDC hdc) {
  RECT r{};
  int kind = GetClipBox(hdc, &r);
  if (kind == NULLREGION || kind == ERROR) return fz_empty_irect;
  fz_rect logical{static_cast<float>(r.left), static_cast<float>(r.top), static_cast<float>(r.right),
                  static_cast<float>(r.bottom)};
  return DeviceBox(logical);
}

// Lays a premultiplied RGBA picture on the page, each of its pixels `step` device pixels wide:
// pixels under half covered stay as they are, the others are composed on white.
void Lay(State* s, fz_pixmap* pix, int step) {
  const int w = fz_pixmap_width(s->ctx, pix), h = fz_pixmap_height(s->ctx, pix);
  const int x = fz_pixmap_x(s->ctx, pix), y = fz_pixmap_y(s->ctx, pix);
  const int unit = kSubPixels * step;  // logical units a picture pixel covers
  const unsigned char* src = fz_pixmap_samples(s->ctx, pix);
  const ptrdiff_t srcStride = fz_pixmap_stride(s->ctx, pix);
  BITMAPINFO bi{};
  bi.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
  bi.bmiHeader.biWidth = w;
  bi.bmiHeader.biHeight = -h;
  bi.bmiHeader.biPlanes = 1;
  bi.bmiHeader.biBitCount = 24;
  bi.bmiHeader.biCompression = BI_RGB;
  void* bits = nullptr;
  HBITMAP bitmap = CreateDIBSection(s->hdc, &bi, DIB_RGB_COLORS, &bits, nullptr, 0);
  if (bitmap == nullptr) return s->Failed("CreateDIBSection");
  const size_t stride = (size_t(w) * 3 + 3) & ~size_t{3};
  bool anyKey = false, anyInk = false;
  for (int row = 0; row < h; ++row) {
    const unsigned char* p = src + row * srcStride;
    auto* q = static_cast<BYTE*>(bits) + row * stride;
    for (int col = 0; col < w; ++col, p += 4, q += 3) {
      if (p[3] < 128) {
        q[0] = static_cast<BYTE>(kKey >> 16);
        q[1] = static_cast<BYTE>(kKey >> 8);
        q[2] = static_cast<BYTE>(kKey);
        anyKey = true;
        continue;
      }
      anyInk = true;
      const int white = 255 - p[3];
      q[2] = static_cast<BYTE>(std::min(255, p[0] + white));
      q[1] = static_cast<BYTE>(std::min(255, p[1] + white));
      q[0] = static_cast<BYTE>(std::min(255, p[2] + white));
      if (RGB(q[2], q[1], q[0]) == kKey) q[0] ^= 1;
    }
  }
  if (anyInk) {
    if (!anyKey) {
      s->Check(StretchDIBits(s->hdc, x * unit, y * unit, w * unit, h * unit, 0, 0, w, h, bits,
                             &bi, DIB_RGB_COLORS, SRCCOPY) != 0,
               "StretchDIBits");
    } else {
      HDC memory = CreateCompatibleDC(s->hdc);
      HGDIOBJ previous = memory != nullptr ? SelectObject(memory, bitmap) : nullptr;
      if (previous == nullptr) {
        s->Failed("a memory DC");
      } else {
        s->Check(TransparentBlt(s->hdc, x * unit, y * unit, w * unit, h * unit, memory, 0, 0, w,
                                h, kKey),
                 "TransparentBlt");
        (void)SelectObject(memory, previous);
      }
      if (memory != nullptr) (void)DeleteDC(memory);
    }
  }
  (void)DeleteObject(bitmap);
}

// MuPDF draws `draw` (given a device with the page's logical matrix) into a picture over the
// logical box `bounds`, cut to the clip; the picture is laid on the page.
void Rasterize(State* s, fz_rect bounds, const std::function<void(fz_device*)>& draw) {
  fz_irect area = fz_intersect_irect(DeviceBox(bounds), ClipBox(s->hdc));
  if (fz_is_empty_irect(area)) return;
  // A picture of more than 16 million pixels (a page's shading at 600 dpi) is drawn at half or a
  // quarter of the resolution: smooth shades lose nothing a halftone keeps.
  int step = 1;
  while (step < 4 && double(area.x1 - area.x0) / step * (double(area.y1 - area.y0) / step) > 16e6) step *= 2;
  area = {area.x0 / step, area.y0 / step, (area.x1 + step - 1) / step, (area.y1 + step - 1) / step};
  fz_context* ctx = s->ctx;
  fz_pixmap* pix = nullptr;
  fz_device* dev = nullptr;
  fz_var(pix);
  fz_var(dev);
  fz_try(ctx) {
    pix = fz_new_pixmap_with_bbox(ctx, fz_device_rgb(ctx), area, nullptr, 1);
    fz_clear_pixmap(ctx, pix);
    dev = fz_new_draw_device(ctx, fz_scale(1.0f / (kSubPixels * step), 1.0f / (kSubPixels * step)), pix);
    draw(dev);
    fz_close_device(ctx, dev);
  }
  fz_always(ctx) { fz_drop_device(ctx, dev); }
  fz_catch(ctx) {
    fz_drop_pixmap(ctx, pix);
    if (s->error->empty()) *s->error = std::string("drawing a picture: ") + fz_caught_message(ctx);
    return;
  }
  Lay(s, pix, step);
  fz_drop_pixmap(ctx, pix);
}

// A clip MuPDF draws as coverage (stroked outlines, stencils): the pixels at least half covered
// become the clip region.
void PushMaskClip(State* s, fz_rect bounds, const std::function<void(fz_device*)>& draw) {
  int level = SaveDC(s->hdc);
  s->clips.push_back(level);
  if (level == 0) return s->Failed("SaveDC");
  fz_irect area = fz_intersect_irect(DeviceBox(bounds), ClipBox(s->hdc));
  fz_context* ctx = s->ctx;
  fz_pixmap* pix = nullptr;
  fz_device* dev = nullptr;
  fz_var(pix);
  fz_var(dev);
  if (!fz_is_empty_irect(area)) {
    fz_try(ctx) {
      pix = fz_new_pixmap_with_bbox(ctx, nullptr, area, nullptr, 1);
      fz_clear_pixmap(ctx, pix);
      dev = fz_new_draw_device(ctx, fz_scale(1.0f / kSubPixels, 1.0f / kSubPixels), pix);
      draw(dev);
      fz_close_device(ctx, dev);
    }
    fz_always(ctx) { fz_drop_device(ctx, dev); }
    fz_catch(ctx) {
      fz_drop_pixmap(ctx, pix);
      pix = nullptr;
    }
  }
  HRGN region = CreateRectRgn(0, 0, 0, 0);
  if (region == nullptr) return s->Failed("CreateRectRgn");
  if (pix != nullptr) {
    const unsigned char* a = fz_pixmap_samples(ctx, pix);
    const ptrdiff_t stride = fz_pixmap_stride(ctx, pix);
    const int w = fz_pixmap_width(ctx, pix), h = fz_pixmap_height(ctx, pix);
    for (int row = 0; row < h; ++row) {
      const unsigned char* p = a + row * stride;
      for (int col = 0; col < w;) {
        if (p[col] < 128) {
          ++col;
          continue;
        }
        int end = col;
        while (end < w && p[end] >= 128) ++end;
        // Rows with the same run join into one rectangle.
        int rows = 1;
        while (row + rows < h) {
          const unsigned char* next = a + (row + rows) * stride;
          if ((col > 0 && next[col - 1] >= 128) || (end < w && next[end] >= 128)) break;
          bool same = true;
          for (int k = col; k < end && same; ++k) same = next[k] >= 128;
          if (!same) break;
          ++rows;
        }
        HRGN run = CreateRectRgn(area.x0 + col, area.y0 + row, area.x0 + end, area.y0 + row + rows);
        if (run != nullptr) {
          (void)CombineRgn(region, region, run, RGN_OR);
          (void)DeleteObject(run);
        }
        // The rows below are covered now; clear them so they are not added again.
        for (int r = 1; r < rows; ++r) std::memset(const_cast<unsigned char*>(a) + (row + r) * stride + col, 0, size_t(end - col));
        col = end;
      }
    }
    fz_drop_pixmap(ctx, pix);
  }
  s->Check(ExtSelectClipRgn(s->hdc, region, RGN_AND) != ERROR, "ExtSelectClipRgn");
  (void)DeleteObject(region);
}

void PushPathClip(State* s, const Figures& f, bool evenOdd) {
  int level = SaveDC(s->hdc);
  s->clips.push_back(level);
  if (level == 0) return s->Failed("SaveDC");
  if (f.points.empty()) {
    s->Check(IntersectClipRect(s->hdc, 0, 0, 0, 0) != ERROR, "IntersectClipRect");
    return;
  }
  s->Check(SetPolyFillMode(s->hdc, evenOdd ? ALTERNATE : WINDING) != 0, "SetPolyFillMode");
  s->Check(Emit(s->hdc, f), "the clip path");
  s->Check(SelectClipPath(s->hdc, RGN_AND), "SelectClipPath");
}

void FillFigures(State* s, const Figures& f, bool evenOdd, COLORREF colour) {
  if (f.points.empty()) return;
  HBRUSH brush = CreateSolidBrush(colour);
  if (brush == nullptr) return s->Failed("CreateSolidBrush");
  HGDIOBJ oldBrush = SelectObject(s->hdc, brush);
  HGDIOBJ oldPen = SelectObject(s->hdc, GetStockObject(NULL_PEN));
  s->Check(SetPolyFillMode(s->hdc, evenOdd ? ALTERNATE : WINDING) != 0, "SetPolyFillMode");
  s->Check(Emit(s->hdc, f), "the path");
  s->Check(FillPath(s->hdc), "FillPath");
  (void)SelectObject(s->hdc, oldPen);
  (void)SelectObject(s->hdc, oldBrush);
  (void)DeleteObject(brush);
}

// PDF dashes start `phase` into the pattern; GDI's start at its beginning, so the pattern is
// turned to begin where the phase points (a zero-length piece keeps on and off alternating).
std::vector<DWORD> Dashes(const fz_stroke_state* stroke, double scale) {
  std::vector<double> pattern;
  for (int i = 0; i < stroke->dash_len; ++i) pattern.push_back(std::max(0.0f, stroke->dash_list[i]) * scale);
  if (pattern.size() % 2 == 1) pattern.insert(pattern.end(), pattern.begin(), pattern.end());
  double total = 0;
  for (double d : pattern) total += d;
  if (total <= 0) return {};
  double phase = std::fmod(stroke->dash_phase * scale, total);
  if (phase < 0) phase += total;
  std::vector<double> turned;
  size_t i = 0;
  while (phase >= pattern[i]) phase -= pattern[i++];
  // Piece i is entered `phase` in; an off piece starts the turned pattern with an empty dash.
  if (i % 2 == 1) turned.push_back(0);
  turned.push_back(pattern[i] - phase);
  for (size_t k = i + 1; k < pattern.size(); ++k) turned.push_back(pattern[k]);
  for (size_t k = 0; k < i; ++k) turned.push_back(pattern[k]);
  turned.push_back(phase);
  if (turned.size() % 2 == 1) turned.push_back(0);
  std::vector<DWORD> out;
  for (double d : turned) out.push_back(static_cast<DWORD>(std::lround(d)));
  return out;
}

HPEN MakePen(const fz_stroke_state* stroke, fz_matrix ctm, COLORREF colour) {
  const double scale = fz_matrix_expansion(ctm);
  // Thinner than a device pixel draws one pixel wide, as MuPDF draws it.
  DWORD width = static_cast<DWORD>(std::max<long>(kSubPixels, std::lround(stroke->linewidth * scale)));
  UINT cap = stroke->start_cap == FZ_LINECAP_BUTT ? PS_ENDCAP_FLAT
             : stroke->start_cap == FZ_LINECAP_SQUARE ? PS_ENDCAP_SQUARE
                                                      : PS_ENDCAP_ROUND;
  // GDI mitres up to a limit of 10; a lower limit of at most √2 bevels every corner sharper than a
  // right angle, which is what such a limit mostly does.
  UINT join = stroke->linejoin == FZ_LINEJOIN_ROUND   ? PS_JOIN_ROUND
              : stroke->linejoin == FZ_LINEJOIN_BEVEL ? PS_JOIN_BEVEL
              : stroke->miterlimit < 1.415f          ? PS_JOIN_BEVEL
                                                      : PS_JOIN_MITER;
  LOGBRUSH solid{BS_SOLID, colour, 0};
  std::vector<DWORD> dashes = stroke->dash_len > 0 ? Dashes(stroke, scale) : std::vector<DWORD>{};
  bool anyDash = false;
  for (size_t i = 0; i < dashes.size(); i += 2) anyDash = anyDash || dashes[i + 1] != 0;
  if (!anyDash) dashes.clear();
  return ExtCreatePen(PS_GEOMETRIC | (dashes.empty() ? PS_SOLID : PS_USERSTYLE) | cap | join, width, &solid,
                      static_cast<DWORD>(dashes.size()), dashes.empty() ? nullptr : dashes.data());
}

void StrokeFigures(State* s, const Figures& f, const fz_stroke_state* stroke, fz_matrix ctm, COLORREF colour) {
  if (f.points.empty()) return;
  HPEN pen = MakePen(stroke, ctm, colour);
  if (pen == nullptr) return s->Failed("ExtCreatePen");
  HGDIOBJ oldPen = SelectObject(s->hdc, pen);
  HGDIOBJ oldBrush = SelectObject(s->hdc, GetStockObject(NULL_BRUSH));
  s->Check(Emit(s->hdc, f), "the path");
  s->Check(StrokePath(s->hdc), "StrokePath");
  (void)SelectObject(s->hdc, oldBrush);
  (void)SelectObject(s->hdc, oldPen);
  (void)DeleteObject(pen);
}

// ---- Recording what MuPDF draws itself ----

bool Recording(State* s) { return s->recorder != nullptr; }

void StartRecording(State* s) {
  fz_context* ctx = s->ctx;
  fz_try(ctx) {
    s->list = fz_new_display_list(ctx, fz_infinite_rect);
    s->recorder = fz_new_list_device(ctx, s->list);
  }
  fz_catch(ctx) {
    fz_drop_display_list(ctx, s->list);
    s->list = nullptr;
    s->recorder = nullptr;
    if (s->error->empty()) *s->error = std::string("recording a group: ") + fz_caught_message(ctx);
  }
  s->depth = 0;
}

// After each recorded call that closes something: the recording ends when all it opened is closed.
void MaybeFinish(State* s) {
  if (s->depth > 0) return;
  fz_context* ctx = s->ctx;
  fz_device* recorder = s->recorder;
  fz_display_list* list = s->list;
  s->recorder = nullptr;
  s->list = nullptr;
  bool ok = true;
  fz_try(ctx) { fz_close_device(ctx, recorder); }
  fz_always(ctx) { fz_drop_device(ctx, recorder); }
  fz_catch(ctx) { ok = false; }
  if (ok) {
    fz_rect bounds = fz_bound_display_list(ctx, list);
    Rasterize(s, bounds, [&](fz_device* dev) { fz_run_display_list(ctx, list, dev, fz_identity, fz_infinite_rect, nullptr); });
  }
  fz_drop_display_list(ctx, list);
}

// ---- The device's calls ----

void FillPathCall(fz_context* ctx, fz_device* dev, const fz_path* path, int evenOdd, fz_matrix ctm, fz_colorspace* cs,
                  const float* color, float alpha, fz_color_params params) {
  State* s = Of(dev);
  if (Recording(s)) return fz_fill_path(ctx, s->recorder, path, evenOdd, ctm, cs, color, alpha, params);
  if (alpha <= 0) return;
  Figures f;
  AddPath(ctx, path, ctm, &f);
  FillFigures(s, f, evenOdd != 0, Rgb(ctx, cs, color, params, alpha));
}

void StrokePathCall(fz_context* ctx, fz_device* dev, const fz_path* path, const fz_stroke_state* stroke, fz_matrix ctm,
                    fz_colorspace* cs, const float* color, float alpha, fz_color_params params) {
  State* s = Of(dev);
  if (Recording(s)) return fz_stroke_path(ctx, s->recorder, path, stroke, ctm, cs, color, alpha, params);
  if (alpha <= 0) return;
  Figures f;
  AddPath(ctx, path, ctm, &f);
  StrokeFigures(s, f, stroke, ctm, Rgb(ctx, cs, color, params, alpha));
}

void ClipPathCall(fz_context* ctx, fz_device* dev, const fz_path* path, int evenOdd, fz_matrix ctm, fz_rect scissor) {
  State* s = Of(dev);
  if (Recording(s)) {
    ++s->depth;
    return fz_clip_path(ctx, s->recorder, path, evenOdd, ctm, scissor);
  }
  Figures f;
  AddPath(ctx, path, ctm, &f);
  PushPathClip(s, f, evenOdd != 0);
}

void ClipStrokePathCall(fz_context* ctx, fz_device* dev, const fz_path* path, const fz_stroke_state* stroke,
                        fz_matrix ctm, fz_rect scissor) {
  State* s = Of(dev);
  if (Recording(s)) {
    ++s->depth;
    return fz_clip_stroke_path(ctx, s->recorder, path, stroke, ctm, scissor);
  }
  float black = 1;
  PushMaskClip(s, fz_bound_path(ctx, path, stroke, ctm), [&](fz_device* d) {
    fz_stroke_path(ctx, d, path, stroke, ctm, fz_device_gray(ctx), &black, 1, fz_default_color_params);
  });
}

// Whether MuPDF draws the font with a face of its own: a substitute or its built-in standard face.
bool MuPdfFace(fz_context* ctx, fz_font* font) {
  if (font->flags.ft_substitute) return true;
  int length = 0;
  const unsigned char* builtin = fz_lookup_base14_font(ctx, fz_font_name(ctx, font), &length);
  unsigned char* data = nullptr;
  return builtin != nullptr && font->buffer != nullptr && fz_buffer_storage(ctx, font->buffer, &data) != 0 &&
         data == builtin;
}

// The machine's face for a standard font the PDF names without embedding it (MuPDF then draws
// its own built-in face or a substitute): one of the same metrics, so the PDF's glyph positions fit.
std::u16string MachineFamily(fz_context* ctx, fz_font* font) {
  if (!MuPdfFace(ctx, font)) return {};
  std::string name = fz_font_name(ctx, font);
  if (name.size() > 7 && name[6] == '+') name = name.substr(7);  // a subset's tag
  auto starts = [&name](const char* prefix) { return name.rfind(prefix, 0) == 0; };
  if (starts("Symbol") || starts("ZapfDingbats") || starts("Dingbats")) return {};
  if (starts("Courier") || starts("NimbusMono") || fz_font_is_monospaced(ctx, font)) return u"Liberation Mono";
  if (starts("Times") || starts("NimbusRoman") || fz_font_is_serif(ctx, font)) return u"Liberation Serif";
  return u"Liberation Sans";
}

// A span in an embedded font as the printer's own text: the font registered with the engine and
// each glyph placed where the PDF puts it. TrueType text, upright or turned, goes as the character
// the rewritten cmap gives each glyph (the driver downloads scalable fonts for characters, not
// glyph indices); upright text in other embedded fonts by glyph index, which the driver downloads
// as bitmaps. False when the span cannot go this way; nothing is drawn then.
bool PrinterSpan(State* s, const fz_text_span* span, fz_matrix ctm, COLORREF colour) {
  fz_context* ctx = s->ctx;
  if (s->fonts == nullptr) return false;
  // Turned text is fine; slanted, stretched or mirrored text is not.
  const fz_matrix m = fz_concat(span->trm, ctm);
  const float size = std::hypot(m.a, m.b);
  if (span->wmode != 0 || size < 1 || size > 1e6f || std::fabs(m.c - m.b) > 1e-2f * size ||
      std::fabs(m.d + m.a) > 1e-2f * size)
    return false;
  // Counter-clockwise on the page (y runs down), in tenths of a degree.
  const double angle = std::atan2(-m.b, m.a);
  const int escapement = static_cast<int>(std::lround(angle * 1800 / M_PI) + 3600) % 3600;
  const double ux = std::cos(angle), uy = -std::sin(angle);
  const FontRegistry::Registered registered = s->fonts->Family(ctx, span->font);
  std::u16string family = registered.family;
  const bool byIndex = registered.glyphIndices;
  // Bitmaps of turned glyphs would be the engine's, not the printer's, and huge ones outweigh
  // their outlines: those stay outlines.
  if (byIndex && (escapement != 0 || size > kLargestBitmapEm * kSubPixels)) return false;
  // A standard font goes by its characters, in the machine's face.
  const bool machine = family.empty();
  if (machine) family = MachineFamily(ctx, span->font);
  if (family.empty()) return false;
  std::vector<WCHAR> glyphs;
  std::vector<POINT> at;
  for (int i = 0; i < span->len; ++i) {
    const fz_text_item& item = span->items[i];
    if (machine && item.ucs == ' ') continue;  // the next glyph's position carries the space
    if (machine && (item.gid < 0 || item.ucs < 0x20 || item.ucs > 0xFFFF || (item.ucs >= 0xD800 && item.ucs < 0xE000)))
      return false;  // ligatures and control codes: as outlines
    if (item.gid < 0) continue;
    if (byIndex && item.gid > 0xFFFF) return false;
    const char16_t c = machine  ? static_cast<char16_t>(item.ucs)
                       : byIndex ? static_cast<char16_t>(item.gid)
                                 : GlyphCharacter(item.gid);
    if (c == 0 && !byIndex) return false;
    fz_point p = fz_transform_point_xy(item.x, item.y, ctm);
    glyphs.push_back(c);
    at.push_back({static_cast<LONG>(std::lround(p.x)), static_cast<LONG>(std::lround(p.y))});
  }
  if (glyphs.empty()) return true;
  // Spacing along the baseline and down from it, between rounded places so that it does not drift.
  std::vector<INT> dx(2 * glyphs.size(), 0);
  auto along = [&](size_t i) { return std::lround((at[i].x - at[0].x) * ux + (at[i].y - at[0].y) * uy); };
  auto down = [&](size_t i) { return std::lround(-(at[i].x - at[0].x) * uy + (at[i].y - at[0].y) * ux); };
  for (size_t i = 0; i + 1 < glyphs.size(); ++i) {
    dx[2 * i] = static_cast<INT>(along(i + 1) - along(i));
    dx[2 * i + 1] = static_cast<INT>(down(i + 1) - down(i));
  }
  const bool bold = machine && fz_font_is_bold(ctx, span->font), italic = machine && fz_font_is_italic(ctx, span->font);
  HFONT font = CreateFontW(-static_cast<int>(std::lround(size)), 0, escapement, escapement, bold ? 700 : 400, italic, 0, 0,
                           DEFAULT_CHARSET,
                           0, 0, 0, 0, family.c_str());
  if (font == nullptr) return false;
  HGDIOBJ old = SelectObject(s->hdc, font);
  if (machine) {
    // Only when the machine's face has every character.
    std::vector<WORD> indices(glyphs.size());
    if (GetGlyphIndicesW(s->hdc, glyphs.data(), static_cast<int>(glyphs.size()), indices.data(),
                         GGI_MARK_NONEXISTING_GLYPHS) == GDI_ERROR ||
        std::find(indices.begin(), indices.end(), 0xFFFF) != indices.end()) {
      (void)SelectObject(s->hdc, old);
      (void)DeleteObject(font);
      return false;
    }
  }
  (void)SetTextColor(s->hdc, colour);
  (void)SetTextAlign(s->hdc, TA_BASELINE | TA_LEFT);
  s->Check(ExtTextOutW(s->hdc, at[0].x, at[0].y, ETO_PDY | (byIndex ? ETO_GLYPH_INDEX : 0u), nullptr, glyphs.data(),
                       static_cast<UINT>(glyphs.size()), dx.data()),
           "ExtTextOutW");
  (void)SelectObject(s->hdc, old);
  (void)DeleteObject(font);
  return true;
}

bool HasType3(fz_context* ctx, const fz_text* text) {
  for (const fz_text_span* span = text->head; span != nullptr; span = span->next)
    if (fz_font_t3_procs(ctx, span->font) != nullptr) return true;
  return false;
}

void FillTextCall(fz_context* ctx, fz_device* dev, const fz_text* text, fz_matrix ctm, fz_colorspace* cs,
                  const float* color, float alpha, fz_color_params params) {
  State* s = Of(dev);
  if (Recording(s)) return fz_fill_text(ctx, s->recorder, text, ctm, cs, color, alpha, params);
  if (alpha <= 0) return;
  const COLORREF colour = Rgb(ctx, cs, color, params, alpha);
  if (!HasType3(ctx, text)) {
    Figures f;
    for (const fz_text_span* span = text->head; span != nullptr; span = span->next)
      if (!PrinterSpan(s, span, ctm, colour)) AddSpan(ctx, span, ctm, &f);
    return FillFigures(s, f, false, colour);
  }
  Rasterize(s, fz_bound_text(ctx, text, nullptr, ctm),
            [&](fz_device* d) { fz_fill_text(ctx, d, text, ctm, cs, color, alpha, params); });
}

void StrokeTextCall(fz_context* ctx, fz_device* dev, const fz_text* text, const fz_stroke_state* stroke, fz_matrix ctm,
                    fz_colorspace* cs, const float* color, float alpha, fz_color_params params) {
  State* s = Of(dev);
  if (Recording(s)) return fz_stroke_text(ctx, s->recorder, text, stroke, ctm, cs, color, alpha, params);
  if (alpha <= 0) return;
  Figures f;
  if (AddText(ctx, text, ctm, &f)) return StrokeFigures(s, f, stroke, ctm, Rgb(ctx, cs, color, params, alpha));
  Rasterize(s, fz_bound_text(ctx, text, stroke, ctm),
            [&](fz_device* d) { fz_stroke_text(ctx, d, text, stroke, ctm, cs, color, alpha, params); });
}

void ClipTextCall(fz_context* ctx, fz_device* dev, const fz_text* text, fz_matrix ctm, fz_rect scissor) {
  State* s = Of(dev);
  if (Recording(s)) {
    ++s->depth;
    return fz_clip_text(ctx, s->recorder, text, ctm, scissor);
  }
  Figures f;
  if (AddText(ctx, text, ctm, &f)) return PushPathClip(s, f, false);
  float black = 1;
  PushMaskClip(s, fz_bound_text(ctx, text, nullptr, ctm), [&](fz_device* d) {
    fz_fill_text(ctx, d, text, ctm, fz_device_gray(ctx), &black, 1, fz_default_color_params);
  });
}

void ClipStrokeTextCall(fz_context* ctx, fz_device* dev, const fz_text* text, const fz_stroke_state* stroke,
                        fz_matrix ctm, fz_rect scissor) {
  State* s = Of(dev);
  if (Recording(s)) {
    ++s->depth;
    return fz_clip_stroke_text(ctx, s->recorder, text, stroke, ctm, scissor);
  }
  float black = 1;
  PushMaskClip(s, fz_bound_text(ctx, text, stroke, ctm), [&](fz_device* d) {
    fz_stroke_text(ctx, d, text, stroke, ctm, fz_device_gray(ctx), &black, 1, fz_default_color_params);
  });
}

void IgnoreTextCall(fz_context* ctx, fz_device* dev, const fz_text* text, fz_matrix ctm) {
  State* s = Of(dev);
  if (Recording(s)) fz_ignore_text(ctx, s->recorder, text, ctm);
}

void FillShadeCall(fz_context* ctx, fz_device* dev, fz_shade* shade, fz_matrix ctm, float alpha,
                   fz_color_params params) {
  State* s = Of(dev);
  if (Recording(s)) return fz_fill_shade(ctx, s->recorder, shade, ctm, alpha, params);
  Rasterize(s, fz_bound_shade(ctx, shade, ctm), [&](fz_device* d) { fz_fill_shade(ctx, d, shade, ctm, alpha, params); });
}

// An upright image without transparency goes out as it is; the rest MuPDF draws.
bool PlainImage(State* s, fz_image* image, fz_matrix ctm, float alpha, fz_color_params params) {
  if (alpha < 1 || image->mask != nullptr || image->imagemask) return false;
  const float tiny = 1e-3f * (std::fabs(ctm.a) + std::fabs(ctm.b) + std::fabs(ctm.c) + std::fabs(ctm.d));
  if (std::fabs(ctm.b) > tiny || std::fabs(ctm.c) > tiny) return false;
  fz_context* ctx = s->ctx;
  fz_pixmap* pix = nullptr;
  fz_pixmap* rgb = nullptr;
  fz_var(pix);
  fz_var(rgb);
  fz_try(ctx) {
    fz_matrix device = fz_concat(ctm, fz_scale(1.0f / kSubPixels, 1.0f / kSubPixels));
    pix = fz_get_pixmap_from_image(ctx, image, nullptr, &device, nullptr, nullptr);
    if (!fz_pixmap_alpha(ctx, pix))
      rgb = fz_pixmap_colorspace(ctx, pix) == fz_device_rgb(ctx) ? fz_keep_pixmap(ctx, pix)
                                                                  : fz_convert_pixmap(ctx, pix, fz_device_rgb(ctx),
                                                                                      nullptr, nullptr, params, 0);
  }
  fz_always(ctx) { fz_drop_pixmap(ctx, pix); }
  fz_catch(ctx) {
    fz_drop_pixmap(ctx, rgb);
    return false;
  }
  if (rgb == nullptr) return false;
  const int w = fz_pixmap_width(ctx, rgb), h = fz_pixmap_height(ctx, rgb);
  const unsigned char* src = fz_pixmap_samples(ctx, rgb);
  const ptrdiff_t srcStride = fz_pixmap_stride(ctx, rgb);
  const size_t stride = (size_t(w) * 3 + 3) & ~size_t{3};
  std::vector<BYTE> bits(stride * size_t(h));
  // A destination running left or up is the picture mirrored.
  const bool flipX = ctm.a < 0, flipY = ctm.d < 0;
  for (int row = 0; row < h; ++row) {
    const unsigned char* p = src + (flipY ? h - 1 - row : row) * srcStride;
    BYTE* q = bits.data() + size_t(row) * stride;
    for (int col = 0; col < w; ++col) {
      const unsigned char* px = p + 3 * (flipX ? w - 1 - col : col);
      q[3 * col] = px[2];
      q[3 * col + 1] = px[1];
      q[3 * col + 2] = px[0];
    }
  }
  fz_drop_pixmap(ctx, rgb);
  BITMAPINFO bi{};
  bi.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
  bi.bmiHeader.biWidth = w;
  bi.bmiHeader.biHeight = -h;
  bi.bmiHeader.biPlanes = 1;
  bi.bmiHeader.biBitCount = 24;
  bi.bmiHeader.biCompression = BI_RGB;
  const long x0 = std::lround(std::min(ctm.e, ctm.e + ctm.a)), x1 = std::lround(std::max(ctm.e, ctm.e + ctm.a));
  const long y0 = std::lround(std::min(ctm.f, ctm.f + ctm.d)), y1 = std::lround(std::max(ctm.f, ctm.f + ctm.d));
  if (x1 > x0 && y1 > y0)
    s->Check(StretchDIBits(s->hdc, static_cast<int>(x0), static_cast<int>(y0), static_cast<int>(x1 - x0),
                           static_cast<int>(y1 - y0), 0, 0, w, h, bits.data(), &bi, DIB_RGB_COLORS, SRCCOPY) != 0,
             "StretchDIBits");
  return true;
}

void FillImageCall(fz_context* ctx, fz_device* dev, fz_image* image, fz_matrix ctm, float alpha, fz_color_params params) {
  State* s = Of(dev);
  if (Recording(s)) return fz_fill_image(ctx, s->recorder, image, ctm, alpha, params);
  if (PlainImage(s, image, ctm, alpha, params)) return;
  Rasterize(s, fz_transform_rect(fz_unit_rect, ctm),
            [&](fz_device* d) { fz_fill_image(ctx, d, image, ctm, alpha, params); });
}

fz_pixmap* DecodedMask(fz_context* ctx, fz_image* image, fz_matrix ctm) {
  fz_pixmap* volatile pix = nullptr;
  fz_try(ctx) {
    fz_matrix device = fz_concat(ctm, fz_scale(1.0f / kSubPixels, 1.0f / kSubPixels));
    pix = fz_get_pixmap_from_image(ctx, image, nullptr, &device, nullptr, nullptr);
  }
  fz_catch(ctx) { return nullptr; }
  return pix;
}

// An upright stencil (a scanned page's text, a barcode) as a one-bit picture that paints the
// brush where the stencil is set and leaves the page elsewhere (raster operation PSDPxax), at the
// stencil's own resolution: no page-sized picture.
bool PlainStencil(State* s, fz_image* image, fz_matrix ctm, COLORREF colour) {
  const float tiny = 1e-3f * (std::fabs(ctm.a) + std::fabs(ctm.b) + std::fabs(ctm.c) + std::fabs(ctm.d));
  if (std::fabs(ctm.b) > tiny || std::fabs(ctm.c) > tiny) return false;
  fz_context* ctx = s->ctx;
  fz_pixmap* pix = DecodedMask(ctx, image, ctm);
  if (pix == nullptr) return false;
  if (fz_pixmap_components(ctx, pix) != 1) {
    fz_drop_pixmap(ctx, pix);
    return false;
  }
  const int w = fz_pixmap_width(ctx, pix), h = fz_pixmap_height(ctx, pix);
  const unsigned char* src = fz_pixmap_samples(ctx, pix);
  const ptrdiff_t srcStride = fz_pixmap_stride(ctx, pix);
  const size_t stride = ((size_t(w) + 31) / 32) * 4;
  std::vector<BYTE> bits(stride * size_t(h), 0xFF);
  const bool flipX = ctm.a < 0, flipY = ctm.d < 0;
  for (int row = 0; row < h; ++row) {
    const unsigned char* p = src + (flipY ? h - 1 - row : row) * srcStride;
    BYTE* q = bits.data() + size_t(row) * stride;
    for (int col = 0; col < w; ++col)
      if (p[flipX ? w - 1 - col : col] >= 128) q[col / 8] &= static_cast<BYTE>(~(0x80 >> (col % 8)));
  }
  fz_drop_pixmap(ctx, pix);
  struct {
    BITMAPINFOHEADER header;
    RGBQUAD colours[2];
  } bi{};
  bi.header.biSize = sizeof(BITMAPINFOHEADER);
  bi.header.biWidth = w;
  bi.header.biHeight = -h;
  bi.header.biPlanes = 1;
  bi.header.biBitCount = 1;
  bi.header.biCompression = BI_RGB;
  bi.colours[0] = {0, 0, 0, 0};
  bi.colours[1] = {255, 255, 255, 0};
  const long x0 = std::lround(std::min(ctm.e, ctm.e + ctm.a)), x1 = std::lround(std::max(ctm.e, ctm.e + ctm.a));
  const long y0 = std::lround(std::min(ctm.f, ctm.f + ctm.d)), y1 = std::lround(std::max(ctm.f, ctm.f + ctm.d));
  if (x1 <= x0 || y1 <= y0) return true;
  HBRUSH brush = CreateSolidBrush(colour);
  if (brush == nullptr) {
    s->Failed("CreateSolidBrush");
    return true;
  }
  HGDIOBJ old = SelectObject(s->hdc, brush);
  constexpr DWORD kPaintWhereBlack = 0x00B8074A;  // PSDPxax: the brush where the source is black
  s->Check(StretchDIBits(s->hdc, static_cast<int>(x0), static_cast<int>(y0), static_cast<int>(x1 - x0),
                         static_cast<int>(y1 - y0), 0, 0, w, h, bits.data(), reinterpret_cast<const BITMAPINFO*>(&bi),
                         DIB_RGB_COLORS, kPaintWhereBlack) != 0,
           "StretchDIBits");
  (void)SelectObject(s->hdc, old);
  (void)DeleteObject(brush);
  return true;
}

void FillImageMaskCall(fz_context* ctx, fz_device* dev, fz_image* image, fz_matrix ctm, fz_colorspace* cs,
                       const float* color, float alpha, fz_color_params params) {
  State* s = Of(dev);
  if (Recording(s)) return fz_fill_image_mask(ctx, s->recorder, image, ctm, cs, color, alpha, params);
  if (alpha <= 0) return;
  if (PlainStencil(s, image, ctm, Rgb(ctx, cs, color, params, alpha))) return;
  Rasterize(s, fz_transform_rect(fz_unit_rect, ctm),
            [&](fz_device* d) { fz_fill_image_mask(ctx, d, image, ctm, cs, color, alpha, params); });
}

void ClipImageMaskCall(fz_context* ctx, fz_device* dev, fz_image* image, fz_matrix ctm, fz_rect scissor) {
  State* s = Of(dev);
  if (Recording(s)) {
    ++s->depth;
    return fz_clip_image_mask(ctx, s->recorder, image, ctm, scissor);
  }
  float black = 1;
  PushMaskClip(s, fz_transform_rect(fz_unit_rect, ctm), [&](fz_device* d) {
    fz_fill_image_mask(ctx, d, image, ctm, fz_device_gray(ctx), &black, 1, fz_default_color_params);
  });
}

void PopClipCall(fz_context* ctx, fz_device* dev) {
  State* s = Of(dev);
  if (Recording(s)) {
    fz_pop_clip(ctx, s->recorder);
    --s->depth;
    return MaybeFinish(s);
  }
  if (s->clips.empty()) return;
  int level = s->clips.back();
  s->clips.pop_back();
  if (level != 0) s->Check(RestoreDC(s->hdc, level), "RestoreDC");
}

void BeginMaskCall(fz_context* ctx, fz_device* dev, fz_rect area, int luminosity, fz_colorspace* cs, const float* bc,
                   fz_color_params params) {
  State* s = Of(dev);
  if (!Recording(s)) StartRecording(s);
  if (!Recording(s)) return;
  ++s->depth;  // closed by the pop_clip that ends the masked drawing
  fz_begin_mask(ctx, s->recorder, area, luminosity, cs, bc, params);
}

void EndMaskCall(fz_context* ctx, fz_device* dev) {
  State* s = Of(dev);
  if (Recording(s)) fz_end_mask(ctx, s->recorder);
}

void BeginGroupCall(fz_context* ctx, fz_device* dev, fz_rect area, fz_colorspace* cs, int isolated, int knockout,
                    int blendmode, float alpha) {
  State* s = Of(dev);
  // An opaque group that blends normally draws as its contents would.
  if (!Recording(s) && alpha >= 1 && blendmode == FZ_BLEND_NORMAL && !knockout) return;
  if (!Recording(s)) StartRecording(s);
  if (!Recording(s)) return;
  ++s->depth;
  fz_begin_group(ctx, s->recorder, area, cs, isolated, knockout, blendmode, alpha);
}

void EndGroupCall(fz_context* ctx, fz_device* dev) {
  State* s = Of(dev);
  if (!Recording(s)) return;
  fz_end_group(ctx, s->recorder);
  --s->depth;
  MaybeFinish(s);
}

int BeginTileCall(fz_context* ctx, fz_device* dev, fz_rect area, fz_rect view, float xstep, float ystep, fz_matrix ctm,
                  int id) {
  State* s = Of(dev);
  if (!Recording(s)) StartRecording(s);
  if (!Recording(s)) return 0;
  ++s->depth;
  return fz_begin_tile_id(ctx, s->recorder, area, view, xstep, ystep, ctm, id);
}

void EndTileCall(fz_context* ctx, fz_device* dev) {
  State* s = Of(dev);
  if (!Recording(s)) return;
  fz_end_tile(ctx, s->recorder);
  --s->depth;
  // A tiling pattern's recording has no bounds of its own: it fills the clip.
  if (s->depth <= 0) {
    fz_device* recorder = s->recorder;
    fz_display_list* list = s->list;
    s->recorder = nullptr;
    s->list = nullptr;
    bool ok = true;
    fz_try(ctx) { fz_close_device(ctx, recorder); }
    fz_always(ctx) { fz_drop_device(ctx, recorder); }
    fz_catch(ctx) { ok = false; }
    if (ok)
      Rasterize(s, fz_infinite_rect,
                [&](fz_device* d) { fz_run_display_list(ctx, list, d, fz_identity, fz_infinite_rect, nullptr); });
    fz_drop_display_list(ctx, list);
  }
}

void CloseCall(fz_context* ctx, fz_device* dev) {
  State* s = Of(dev);
  if (Recording(s)) {
    fz_drop_device(ctx, s->recorder);
    fz_drop_display_list(ctx, s->list);
    s->recorder = nullptr;
    s->list = nullptr;
  }
  while (!s->clips.empty()) PopClipCall(ctx, dev);
}

void DropCall(fz_context* ctx, fz_device* dev) {
  State* s = Of(dev);
  if (s->recorder != nullptr) fz_drop_device(ctx, s->recorder);
  if (s->list != nullptr) fz_drop_display_list(ctx, s->list);
  delete s;
}

// The family name the platform's engine gives a Type 1 or CFF face: its own, in ASCII; empty
// when it has none.
std::u16string EngineFamily(FT_Face face) {
  if (face == nullptr || face->family_name == nullptr) return {};
  std::u16string out;
  for (const char* c = face->family_name; *c != 0; ++c) {
    if (static_cast<unsigned char>(*c) < 0x20 || static_cast<unsigned char>(*c) > 0x7E) return {};
    out.push_back(static_cast<char16_t>(*c));
  }
  return out;
}

bool SameName(const std::u16string& a, const std::u16string& b) {
  auto lower = [](char16_t c) { return c >= u'A' && c <= u'Z' ? static_cast<char16_t>(c + 32) : c; };
  return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(),
                                            [&](char16_t x, char16_t y) { return lower(x) == lower(y); });
}

}  // namespace

FontRegistry::~FontRegistry() {
  for (HANDLE h : handles_) (void)RemoveFontMemResourceEx(h);
}

FontRegistry::Registered FontRegistry::Family(fz_context* ctx, fz_font* font) {
  std::array<unsigned char, 16> digest{};
  fz_font_digest(ctx, font, digest.data());
  auto known = families_.find(digest);
  if (known != families_.end()) return known->second;
  families_[digest] = Registered();  // until it is registered
  if (font->buffer == nullptr || fz_font_t3_procs(ctx, font) != nullptr) return {};
  unsigned char* data = nullptr;
  size_t size = fz_buffer_storage(ctx, font->buffer, &data);
  Registered r;
  std::optional<std::vector<uint8_t>> file;
  const bool renamed = !IsType1OrBareCff(data, size);
  if (renamed) {
    const int n = trueTypes_;
    r.family = u"PDF font " + std::u16string(1, u'A' + static_cast<char16_t>(n % 26)) +
               std::u16string(1, u'0' + static_cast<char16_t>(n / 26 % 10)) +
               std::u16string(1, u'0' + static_cast<char16_t>(n / 260 % 10));
    file = RenamedTrueType(data, size, r.family);
    r.glyphIndices = IsOpenTypeCff(data, size);
  } else if (!MuPdfFace(ctx, font)) {
    // Type 1 and bare CFF files have no name table to rewrite: they go by the family name the
    // engine reads from them, while no other font of the document, nor a machine face the
    // standard fonts go by, has claimed it.
    r.family = EngineFamily(static_cast<FT_Face>(fz_font_ft_face(ctx, font)));
    for (const auto& [d, other] : families_)
      if (SameName(other.family, r.family)) r.family.clear();
    for (const char16_t* machine : {u"Liberation Sans", u"Liberation Serif", u"Liberation Mono"})
      if (SameName(machine, r.family)) r.family.clear();
    if (!r.family.empty()) file.emplace(data, data + size);
    r.glyphIndices = true;
  }
  if (!file) return {};
  DWORD faces = 0;
  HANDLE h = AddFontMemResourceEx(file->data(), static_cast<DWORD>(file->size()), nullptr, &faces);
  if (h == nullptr || faces == 0) return {};
  handles_.push_back(h);
  if (renamed) ++trueTypes_;
  families_[digest] = r;
  return r;
}

fz_device* NewGdiDevice(fz_context* ctx, HDC hdc, FontRegistry* fonts, std::string* error) {
  GdiDevice* dev = fz_new_derived_device(ctx, GdiDevice);
  dev->state = new State;
  dev->state->ctx = ctx;
  dev->state->hdc = hdc;
  dev->state->error = error;
  dev->state->fonts = fonts;
  fz_device* d = &dev->super;
  d->close_device = CloseCall;
  d->drop_device = DropCall;
  d->fill_path = FillPathCall;
  d->stroke_path = StrokePathCall;
  d->clip_path = ClipPathCall;
  d->clip_stroke_path = ClipStrokePathCall;
  d->fill_text = FillTextCall;
  d->stroke_text = StrokeTextCall;
  d->clip_text = ClipTextCall;
  d->clip_stroke_text = ClipStrokeTextCall;
  d->ignore_text = IgnoreTextCall;
  d->fill_shade = FillShadeCall;
  d->fill_image = FillImageCall;
  d->fill_image_mask = FillImageMaskCall;
  d->clip_image_mask = ClipImageMaskCall;
  d->pop_clip = PopClipCall;
  d->begin_mask = BeginMaskCall;
  d->end_mask = EndMaskCall;
  d->begin_group = BeginGroupCall;
  d->end_group = EndGroupCall;
  d->begin_tile = BeginTileCall;
  d->end_tile = EndTileCall;
  return d;
}

}  // namespace rt7700pdf
