// Regions of device pixels over pixman's 32-bit regions, which keep GDI's y-x banded rectangles.
#include <pixman.h>

#include "engine/engine_internal.h"

namespace platform::engine {

Region::Region() : impl_(std::make_unique<Impl>()) {}

Region::Region(const RECTL& rect) : Region() {
  if (rect.left < rect.right && rect.top < rect.bottom) {
    pixman_box32_t box = ToBox(rect);
    pixman_region32_reset(&impl_->region, &box);
  }
}

Region Region::FromRects(std::span<const RECTL> rects) {
  std::vector<pixman_box32_t> boxes;
  boxes.reserve(rects.size());
  for (const RECTL& r : rects) {
    if (r.left < r.right && r.top < r.bottom) boxes.push_back(ToBox(r));
  }
  Region out;
  if (!boxes.empty()) {
    pixman_region32_fini(&out.impl_->region);
    pixman_region32_init_rects(&out.impl_->region, boxes.data(), static_cast<int>(boxes.size()));
  }
  return out;
}

Region::~Region() = default;

Region::Region(const Region& other) : Region() {
  pixman_region32_copy(&impl_->region, &other.impl_->region);
}

Region& Region::operator=(const Region& other) {
  if (this != &other) pixman_region32_copy(&impl_->region, &other.impl_->region);
  return *this;
}

// A moved-from region stays a valid empty region.
Region::Region(Region&& other) noexcept : Region() { std::swap(impl_, other.impl_); }

Region& Region::operator=(Region&& other) noexcept {
  std::swap(impl_, other.impl_);
  return *this;
}

bool Region::IsEmpty() const { return !pixman_region32_not_empty(&impl_->region); }

RECTL Region::Bounds() const {
  if (IsEmpty()) return RECTL{0, 0, 0, 0};
  const pixman_box32_t* b = pixman_region32_extents(&impl_->region);
  return RECTL{b->x1, b->y1, b->x2, b->y2};
}

std::vector<RECTL> Region::Rects() const {
  int n = 0;
  const pixman_box32_t* boxes = pixman_region32_rectangles(&impl_->region, &n);
  std::vector<RECTL> out;
  out.reserve(static_cast<size_t>(n));
  for (int i = 0; i < n; ++i) out.push_back(RECTL{boxes[i].x1, boxes[i].y1, boxes[i].x2, boxes[i].y2});
  return out;
}

size_t Region::RectCount() const { return static_cast<size_t>(pixman_region32_n_rects(&impl_->region)); }

bool Region::Contains(LONG x, LONG y) const {
  return pixman_region32_contains_point(&impl_->region, x, y, nullptr) != 0;
}

bool Region::operator==(const Region& other) const {
  return pixman_region32_equal(&impl_->region, &other.impl_->region) != 0;
}

Region& Region::Union(const Region& other) {
  pixman_region32_union(&impl_->region, &impl_->region, &other.impl_->region);
  return *this;
}

Region& Region::Intersect(const Region& other) {
  pixman_region32_intersect(&impl_->region, &impl_->region, &other.impl_->region);
  return *this;
}

Region& Region::Subtract(const Region& other) {
  pixman_region32_subtract(&impl_->region, &impl_->region, &other.impl_->region);
  return *this;
}

Region& Region::Xor(const Region& other) {
  Region both(*this);
  both.Intersect(other);
  Union(other);
  return Subtract(both);
}

Region& Region::Offset(LONG dx, LONG dy) {
  pixman_region32_translate(&impl_->region, dx, dy);
  return *this;
}

std::optional<Region> Region::Combine(const Region& a, const Region& b, int mode) {
  Region out(a);
  switch (mode) {
    case kRegionAnd: return std::move(out.Intersect(b));
    case kRegionOr: return std::move(out.Union(b));
    case kRegionXor: return std::move(out.Xor(b));
    case kRegionDiff: return std::move(out.Subtract(b));
    case kRegionCopy: return out;
    default: return std::nullopt;
  }
}

}  // namespace platform::engine
