// BRUSHOBJ: solid, hatch and pattern brushes, realized by the driver on first use.
#include "engine/engine_internal.h"

namespace platform::engine {

struct EngineBrush::Impl {
  BRUSHOBJ obj{};
};

EngineBrush::EngineBrush(std::unique_ptr<Impl> impl) : impl_(std::move(impl)) {}
EngineBrush EngineBrush::Solid(COLORREF rgb) {
  auto impl = std::make_unique<Impl>();
  impl->obj.iSolidColor = rgb & 0x00FFFFFF;
  return EngineBrush(std::move(impl));
}
EngineBrush EngineBrush::Hatch(ULONG, COLORREF, COLORREF) {
  auto impl = std::make_unique<Impl>();
  impl->obj.iSolidColor = 0xFFFFFFFF;
  return EngineBrush(std::move(impl));
}
std::optional<EngineBrush> EngineBrush::Pattern(const PatternBits&) { return std::nullopt; }
EngineBrush::~EngineBrush() = default;
EngineBrush::EngineBrush(EngineBrush&&) noexcept = default;
EngineBrush& EngineBrush::operator=(EngineBrush&&) noexcept = default;
BRUSHOBJ* EngineBrush::get() { return &impl_->obj; }
void EngineBrush::BindDriver(SURFOBJ*, PFN_DrvRealizeBrush) {}
bool EngineBrush::IsSolid() const { return impl_->obj.iSolidColor != 0xFFFFFFFF; }
int EngineBrush::RealizeCalls() const { return 0; }

}  // namespace platform::engine

extern "C" PVOID BRUSHOBJ_pvAllocRbrush(BRUSHOBJ*, ULONG) { return nullptr; }
extern "C" PVOID BRUSHOBJ_pvGetRbrush(BRUSHOBJ*) { return nullptr; }
extern "C" ULONG BRUSHOBJ_ulGetBrushColor(BRUSHOBJ* pbo) { return pbo ? pbo->iSolidColor : 0xFFFFFFFF; }
extern "C" HBITMAP EngCreateBitmap(SIZEL, LONG, ULONG, FLONG, PVOID) { return nullptr; }
extern "C" SURFOBJ* EngLockSurface(HSURF) { return nullptr; }
extern "C" void EngUnlockSurface(SURFOBJ*) {}
