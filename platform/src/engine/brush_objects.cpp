// BRUSHOBJ: solid, hatch and pattern brushes. The driver realizes a brush through its
// DrvRealizeBrush on the first BRUSHOBJ_pvGetRbrush, into memory from BRUSHOBJ_pvAllocRbrush that
// the brush owns; the realization is kept until the brush dies or is bound to another driver.
#include <array>
#include <cstring>

#include "engine/device_table.h"
#include "engine/engine_internal.h"

namespace platform::engine {
namespace {

// The realization is capped so that a driver's bad size cannot exhaust memory.
constexpr ULONG kMaxRealization = 64u << 20;
constexpr LONG kMaxPatternSide = 4096;

// 8×8 hatch rows, most significant bit leftmost; a set bit is a hatch line pixel.
constexpr BYTE kHatchRows[6][8] = {
    {0x00, 0x00, 0x00, 0x00, 0xFF, 0x00, 0x00, 0x00},  // horizontal
    {0x08, 0x08, 0x08, 0x08, 0x08, 0x08, 0x08, 0x08},  // vertical
    {0x80, 0x40, 0x20, 0x10, 0x08, 0x04, 0x02, 0x01},  // forward diagonal, top left to bottom right
    {0x01, 0x02, 0x04, 0x08, 0x10, 0x20, 0x40, 0x80},  // backward diagonal
    {0x08, 0x08, 0x08, 0x08, 0xFF, 0x08, 0x08, 0x08},  // cross
    {0x81, 0x42, 0x24, 0x18, 0x18, 0x24, 0x42, 0x81},  // diagonal cross
};

}  // namespace

struct EngineBrush::Impl {
  Header<BRUSHOBJ, EngineBrush::Impl, 0x48535242> head;
  ULONG hatch = HS_DDI_MAX;
  COLORREF colour = 0;
  std::vector<BYTE> bits;  // the pattern surface's rows, top first
  SURFOBJ surface{};
  HSURF hsurf = nullptr;
  std::optional<EngineXlate> xlate;
  SURFOBJ* target = nullptr;
  PFN_DrvRealizeBrush realize = nullptr;
  std::vector<std::unique_ptr<uint64_t[]>> blocks;
  int realizeCalls = 0;
  bool realizing = false;

  Impl() { head.owner = this; }
  ~Impl() {
    if (hsurf != nullptr) DeleteSurface(hsurf);
  }

  // The pattern surface over `bits` (rows of `row` bytes, top first).
  void MakeSurface(ULONG format, LONG width, LONG height, LONG row) {
    Surface s;
    s.size = SIZEL{width, height};
    s.format = format;
    s.type = STYPE_BITMAP;
    s.bitmapFlags = BMF_TOPDOWN | BMF_USERMEM;
    s.bits = bits.data();
    s.bitsSize = static_cast<ULONG>(bits.size());
    s.scan0 = bits.data();
    s.delta = row;
    hsurf = CreateSurface(s);
    surface.hsurf = hsurf;
    surface.sizlBitmap = s.size;
    surface.cjBits = s.bitsSize;
    surface.pvBits = s.bits;
    surface.pvScan0 = s.scan0;
    surface.lDelta = row;
    surface.iBitmapFormat = format;
    surface.iType = STYPE_BITMAP;
    surface.fjBitmap = s.bitmapFlags;
  }

  void DropRealization() {
    head.obj.pvRbrush = nullptr;
    blocks.clear();
  }
};

EngineBrush::EngineBrush(std::unique_ptr<Impl> impl) : impl_(std::move(impl)) {}

EngineBrush EngineBrush::Solid(COLORREF rgb) {
  auto impl = std::make_unique<Impl>();
  impl->colour = rgb & 0x00FFFFFF;
  impl->head.obj.iSolidColor = impl->colour;
  // Asked for a realization anyway, the driver gets an 8×8 24-bpp pattern of the colour.
  impl->bits.resize(8 * 24);
  for (size_t i = 0; i < 64; ++i) {
    impl->bits[i * 3] = static_cast<BYTE>(impl->colour >> 16);
    impl->bits[i * 3 + 1] = static_cast<BYTE>(impl->colour >> 8);
    impl->bits[i * 3 + 2] = static_cast<BYTE>(impl->colour);
  }
  impl->MakeSurface(BMF_24BPP, 8, 8, 24);
  impl->xlate = EngineXlate::FromBgr();
  return EngineBrush(std::move(impl));
}

EngineBrush EngineBrush::Hatch(ULONG style, COLORREF rgb, COLORREF background) {
  auto impl = std::make_unique<Impl>();
  impl->hatch = style < HS_DDI_MAX ? style : HS_HORIZONTAL;
  impl->colour = rgb & 0x00FFFFFF;
  impl->head.obj.iSolidColor = 0xFFFFFFFF;
  // Colour 0 of the pattern is the hatch colour, as vector drivers expect; 1 the background.
  impl->bits.assign(8 * 4, 0);
  for (int y = 0; y < 8; ++y) impl->bits[size_t(y) * 4] = static_cast<BYTE>(~kHatchRows[impl->hatch][y]);
  impl->MakeSurface(BMF_1BPP, 8, 8, 4);
  impl->xlate = EngineXlate::Indexed({impl->colour, background & 0x00FFFFFF});
  return EngineBrush(std::move(impl));
}

std::optional<EngineBrush> EngineBrush::Pattern(const PatternBits& p) {
  LONG row = BitmapRowBytes(p.format, p.width);
  LONG used = row == 0 ? 0 : static_cast<LONG>((int64_t(p.width) * std::array<int, 7>{0, 1, 4, 8, 16, 24, 32}[p.format] + 7) / 8);
  if (row == 0 || p.width > kMaxPatternSide || p.height <= 0 || p.height > kMaxPatternSide || p.stride < used ||
      p.bits.size() < size_t(p.stride) * size_t(p.height - 1) + size_t(used)) {
    return std::nullopt;
  }
  auto impl = std::make_unique<Impl>();
  impl->head.obj.iSolidColor = 0xFFFFFFFF;
  impl->bits.assign(size_t(row) * size_t(p.height), 0);
  for (LONG y = 0; y < p.height; ++y) {
    std::memcpy(impl->bits.data() + size_t(y) * size_t(row), p.bits.data() + size_t(y) * size_t(p.stride), size_t(used));
  }
  impl->MakeSurface(p.format, p.width, p.height, row);
  if (p.format <= BMF_8BPP) impl->xlate = EngineXlate::Indexed(p.palette);
  else impl->xlate = EngineXlate::FromBgr();
  return EngineBrush(std::move(impl));
}

EngineBrush::~EngineBrush() = default;
EngineBrush::EngineBrush(EngineBrush&&) noexcept = default;
EngineBrush& EngineBrush::operator=(EngineBrush&&) noexcept = default;
BRUSHOBJ* EngineBrush::get() { return &impl_->head.obj; }

void EngineBrush::BindDriver(SURFOBJ* target, PFN_DrvRealizeBrush realize) {
  if (impl_->target == target && impl_->realize == realize) return;
  impl_->DropRealization();
  impl_->target = target;
  impl_->realize = realize;
}

bool EngineBrush::IsSolid() const { return impl_->head.obj.iSolidColor != 0xFFFFFFFF; }
int EngineBrush::RealizeCalls() const { return impl_->realizeCalls; }

bool BrushPattern(BRUSHOBJ* pbo, SURFOBJ** pattern, XLATEOBJ** xlo) {
  auto* b = decltype(EngineBrush::Impl::head)::From(pbo);
  if (b == nullptr) return false;
  *pattern = &b->surface;
  *xlo = b->xlate ? b->xlate->get() : nullptr;
  return true;
}

}  // namespace platform::engine

using BrushHeader = decltype(platform::engine::EngineBrush::Impl::head);

extern "C" PVOID BRUSHOBJ_pvAllocRbrush(BRUSHOBJ* pbo, ULONG cj) {
  auto* b = BrushHeader::From(pbo);
  if (b == nullptr || cj == 0 || cj > platform::engine::kMaxRealization) return nullptr;
  b->blocks.push_back(std::make_unique<uint64_t[]>((cj + 7) / 8));
  return b->blocks.back().get();
}

extern "C" PVOID BRUSHOBJ_pvGetRbrush(BRUSHOBJ* pbo) {
  auto* b = BrushHeader::From(pbo);
  if (b == nullptr) return nullptr;
  if (pbo->pvRbrush != nullptr) return pbo->pvRbrush;
  if (b->realize == nullptr || b->realizing) return nullptr;
  b->realizing = true;
  size_t before = b->blocks.size();
  ++b->realizeCalls;
  XLATEOBJ* xlo = b->xlate ? b->xlate->get() : nullptr;
  BOOL ok = b->realize(pbo, b->target, &b->surface, nullptr, xlo, b->hatch);
  b->realizing = false;
  if (!ok || b->blocks.size() == before) {
    b->blocks.resize(before);
    return nullptr;
  }
  // The realization is the last block the driver asked for; earlier ones of the call stay owned.
  pbo->pvRbrush = b->blocks.back().get();
  return pbo->pvRbrush;
}

// The brush's colour as 0x00BBGGRR: a solid brush's colour, a hatch brush's hatch colour;
// 0xFFFFFFFF for a pattern brush.
extern "C" ULONG BRUSHOBJ_ulGetBrushColor(BRUSHOBJ* pbo) {
  auto* b = BrushHeader::From(pbo);
  if (b == nullptr) return pbo != nullptr ? pbo->iSolidColor : 0xFFFFFFFF;
  if (pbo->iSolidColor != 0xFFFFFFFF) return pbo->iSolidColor;
  return b->hatch < HS_DDI_MAX ? b->colour : 0xFFFFFFFF;
}
