// Engine bitmaps: EngCreateBitmap, EngLockSurface and EngUnlockSurface over the surface table.
#include <map>
#include <mutex>

#include "engine/device_table.h"
#include "win/error.h"

namespace platform::engine {

LONG BitmapRowBytes(ULONG format, LONG width) {
  static constexpr int kBits[] = {0, 1, 4, 8, 16, 24, 32};
  if (format < BMF_1BPP || format > BMF_32BPP || width <= 0 || width > (1 << 24)) return 0;
  int64_t bits = int64_t(width) * kBits[format];
  return static_cast<LONG>(((bits + 31) / 32) * 4);
}

}  // namespace platform::engine

namespace {

std::mutex g_lock;
std::map<SURFOBJ*, std::unique_ptr<SURFOBJ>> g_locked;

}  // namespace

// lWidth is the row size in bytes (0: padded to 4 bytes); without BMF_TOPDOWN the first row in
// memory is the bottom one, so pvScan0 points at the last row and lDelta is negative.
extern "C" HBITMAP EngCreateBitmap(SIZEL sizl, LONG lWidth, ULONG iFormat, FLONG fl, PVOID pvBits) {
  LONG row = platform::engine::BitmapRowBytes(iFormat, sizl.cx);
  if (row == 0 || sizl.cy <= 0 || sizl.cy > (1 << 24) || (lWidth != 0 && lWidth < row)) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return nullptr;
  }
  if (lWidth != 0) row = lWidth;
  uint64_t size = uint64_t(row) * uint64_t(sizl.cy);
  if (size > (1ULL << 31)) {
    SetLastError(ERROR_NOT_ENOUGH_MEMORY);
    return nullptr;
  }
  platform::engine::Surface s;
  s.size = sizl;
  s.format = iFormat;
  s.type = STYPE_BITMAP;
  s.bitmapFlags = static_cast<USHORT>(fl & (BMF_TOPDOWN | BMF_NOZEROINIT | BMF_DONTCACHE));
  s.bitsSize = static_cast<ULONG>(size);
  if (pvBits != nullptr) {
    s.bits = pvBits;
    s.bitmapFlags |= BMF_USERMEM;
  } else {
    s.ownedBits = std::make_shared<std::vector<BYTE>>(size);
    s.bits = s.ownedBits->data();
  }
  bool topDown = (fl & BMF_TOPDOWN) != 0;
  s.scan0 = topDown ? s.bits : static_cast<BYTE*>(s.bits) + size - row;
  s.delta = topDown ? row : -row;
  return reinterpret_cast<HBITMAP>(platform::engine::CreateSurface(s));
}

extern "C" SURFOBJ* EngLockSurface(HSURF hsurf) {
  auto s = platform::engine::FindSurface(hsurf);
  if (!s) return nullptr;
  auto so = std::make_unique<SURFOBJ>();
  so->dhsurf = s->dhsurf;
  so->hsurf = hsurf;
  so->hdev = s->hdev;
  so->sizlBitmap = s->size;
  so->cjBits = s->bitsSize;
  so->pvBits = s->bits;
  so->pvScan0 = s->scan0;
  so->lDelta = s->delta;
  so->iBitmapFormat = s->format;
  so->iType = s->type;
  so->fjBitmap = s->bitmapFlags;
  SURFOBJ* out = so.get();
  std::lock_guard g(g_lock);
  g_locked[out] = std::move(so);
  return out;
}

extern "C" void EngUnlockSurface(SURFOBJ* pso) {
  std::lock_guard g(g_lock);
  g_locked.erase(pso);
}
