// Opening a PDF with MuPDF and running its pages through the GDI device.
#include "pdf_document.h"

#include <cstring>
#include <vector>

#include "gdi_device.h"
#include "win/error.h"

namespace rt7700pdf {

namespace {

// MuPDF's notes on what it repaired are not the user's business; its errors become ours.
void Quiet(void*, const char*) {}

}  // namespace

struct Document::Impl {
  fz_context* ctx = nullptr;
  std::string bytes;
  fz_document* doc = nullptr;
  std::vector<fz_page*> pages;
  std::vector<fz_rect> bounds;
  std::unique_ptr<FontRegistry> fonts = std::make_unique<FontRegistry>();

  ~Impl() {
    if (ctx == nullptr) return;
    fonts.reset();
    for (fz_page* p : pages) fz_drop_page(ctx, p);
    fz_drop_document(ctx, doc);
    fz_drop_context(ctx);
  }
};

bool LooksLikePdf(const std::string& head) {
  // A job file that names "%PDF-" early on stays a job file.
  const size_t first = head.find_first_not_of(" \t\r\n");
  if (first != std::string::npos && (head[first] == '{' || head.compare(first, 3, "\xEF\xBB\xBF") == 0)) return false;
  return head.substr(0, 1024).find("%PDF-") != std::string::npos;
}

Document::Document(std::unique_ptr<Impl> impl) : impl_(std::move(impl)) {}
Document::~Document() = default;

std::unique_ptr<Document> Document::Open(std::string bytes, std::string* error) {
  auto impl = std::make_unique<Impl>();
  impl->ctx = fz_new_context(nullptr, nullptr, FZ_STORE_DEFAULT);
  if (impl->ctx == nullptr) {
    *error = "no memory for the PDF reader";
    return nullptr;
  }
  fz_context* ctx = impl->ctx;
  fz_set_warning_callback(ctx, Quiet, nullptr);
  fz_set_error_callback(ctx, Quiet, nullptr);
  impl->bytes = std::move(bytes);
  fz_stream* stream = nullptr;
  fz_var(stream);
  const char* volatile problem = nullptr;
  fz_try(ctx) {
    fz_register_document_handlers(ctx);
    stream = fz_open_memory(ctx, reinterpret_cast<const unsigned char*>(impl->bytes.data()), impl->bytes.size());
    impl->doc = fz_open_document_with_stream(ctx, "application/pdf", stream);
    if (fz_needs_password(ctx, impl->doc)) {
      problem = "encrypted: it needs a password";
    } else if (!fz_has_permission(ctx, impl->doc, FZ_PERMISSION_PRINT)) {
      problem = "encrypted: its owner does not allow printing";
    } else {
      int count = fz_count_pages(ctx, impl->doc);
      if (count <= 0) problem = "damaged: it has no pages";
      for (int i = 0; i < count; ++i) {
        impl->pages.push_back(fz_load_page(ctx, impl->doc, i));
        fz_rect r = fz_bound_page(ctx, impl->pages.back());
        if (fz_is_empty_rect(r) || r.x1 - r.x0 > 14400 || r.y1 - r.y0 > 14400) {
          problem = "damaged: a page has no usable size";
          break;
        }
        impl->bounds.push_back(r);
      }
    }
  }
  fz_always(ctx) { fz_drop_stream(ctx, stream); }
  fz_catch(ctx) {
    *error = std::string("damaged: ") + fz_caught_message(ctx);
    return nullptr;
  }
  if (problem != nullptr) {
    *error = problem;
    return nullptr;
  }
  return std::unique_ptr<Document>(new Document(std::move(impl)));
}

int Document::Pages() const { return static_cast<int>(impl_->pages.size()); }

PageSize Document::Size(int index) const {
  const fz_rect& r = impl_->bounds[index];
  return {r.x1 - r.x0, r.y1 - r.y0};
}

std::optional<std::string> Document::Draw(HDC hdc, int index, const Transform& t) const {
  fz_context* ctx = impl_->ctx;
  const fz_rect& r = impl_->bounds[index];
  int level = SaveDC(hdc);
  if (level == 0) return "SaveDC failed (error " + std::to_string(GetLastError()) + ")";
  // A logical unit is a fraction of a device pixel, so coordinates keep what GDI's integers lose.
  if (SetMapMode(hdc, MM_ANISOTROPIC) == 0 || !SetWindowOrgEx(hdc, 0, 0, nullptr) ||
      !SetWindowExtEx(hdc, kSubPixels, kSubPixels, nullptr) || !SetViewportExtEx(hdc, 1, 1, nullptr) ||
      !SetViewportOrgEx(hdc, 0, 0, nullptr) || SetBkMode(hdc, TRANSPARENT) == 0) {
    std::string e = "the mapping mode failed (error " + std::to_string(GetLastError()) + ")";
    (void)RestoreDC(hdc, level);
    return e;
  }
  fz_matrix m = fz_translate(-r.x0, -r.y0);
  m = fz_concat(m, fz_make_matrix(static_cast<float>(t.a), static_cast<float>(t.b), static_cast<float>(t.c),
                                  static_cast<float>(t.d), static_cast<float>(t.e), static_cast<float>(t.f)));
  m = fz_concat(m, fz_scale(kSubPixels, kSubPixels));
  std::string error;
  fz_device* dev = nullptr;
  fz_var(dev);
  fz_try(ctx) {
    dev = NewGdiDevice(ctx, hdc, impl_->fonts.get(), &error);
    fz_run_page(ctx, impl_->pages[index], dev, m, nullptr);
    fz_close_device(ctx, dev);
  }
  fz_always(ctx) { fz_drop_device(ctx, dev); }
  fz_catch(ctx) {
    if (error.empty()) error = fz_caught_message(ctx);
  }
  if (!RestoreDC(hdc, level) && error.empty()) error = "RestoreDC failed (error " + std::to_string(GetLastError()) + ")";
  if (!error.empty()) return error;
  return std::nullopt;
}

}  // namespace rt7700pdf
