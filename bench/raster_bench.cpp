// Raster output: a 600-dpi A4 page of one-bit rows that look like scanned text, compressed row by
// row with the method choice and written to the output channel, against a memcpy of the same bytes;
// and a 24-bpp photograph printed through WriteRasterImage (grey, dither, compression, output),
// against one plain pass over its bytes. Bytes go to a printer whose port is /dev/null.
#include <benchmark/benchmark.h>

#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "bench_channel.h"
#include "bench_ratio.h"
#include "core/pdev.h"
#include "devmode/tracked_alloc.h"
#include "graphics/graphics.h"
#include "platform/engine_objects.h"
#include "platform/spooler_admin.h"
#include "platform/test_hooks.h"
#include "win/memory.h"
#include "win/spooler.h"

namespace {

constexpr LONG kPageDots = 4960, kPageRows = 7016;  // A4 at 600 dpi
constexpr uint32_t kPageRowBytes = (kPageDots + 31) / 32 * 4;
constexpr LONG kPhotoWidth = 2400, kPhotoHeight = 1600;  // 4 by 2.7 inches at 600 dpi

uint32_t Next(uint32_t& seed) {
  seed = seed * 1103515245 + 12345;
  return seed >> 8;
}

// Lines of "characters" (short black strokes of random widths) between white margins and gaps.
const std::vector<uint8_t>& TextPage() {
  static const std::vector<uint8_t> page = [] {
    std::vector<uint8_t> rows(size_t{kPageRowBytes} * kPageRows, 0);
    uint32_t seed = 99;
    for (LONG top = 600; top + 70 < kPageRows - 600; top += 110) {
      std::vector<std::pair<LONG, LONG>> strokes;
      for (LONG x = 600; x < kPageDots - 600;) {
        const LONG width = 4 + static_cast<LONG>(Next(seed) % 9);
        strokes.push_back({x, x + width});
        x += width + 3 + static_cast<LONG>(Next(seed) % 30);
      }
      for (LONG y = top; y < top + 70; ++y) {
        uint8_t* row = rows.data() + size_t{kPageRowBytes} * static_cast<size_t>(y);
        for (const auto& [from, to] : strokes) {
          if ((Next(seed) & 7) == 0) continue;  // strokes come and go, as letters do
          for (LONG x = from; x < to; ++x) row[x / 8] |= static_cast<uint8_t>(0x80 >> (x % 8));
        }
      }
    }
    return rows;
  }();
  return page;
}

// Smooth colour fields with noise, as a photograph has: bytes blue, green, red.
const std::vector<uint8_t>& Photo() {
  static const std::vector<uint8_t> photo = [] {
    std::vector<uint8_t> bits(size_t{kPhotoWidth} * 3 * kPhotoHeight);
    uint32_t seed = 7;
    for (LONG y = 0; y < kPhotoHeight; ++y)
      for (LONG x = 0; x < kPhotoWidth; ++x) {
        uint8_t* p = bits.data() + (size_t{static_cast<size_t>(y)} * kPhotoWidth + static_cast<size_t>(x)) * 3;
        const int noise = static_cast<int>(Next(seed) % 16);
        p[0] = static_cast<uint8_t>((x / 10 + noise) & 0xFF);
        p[1] = static_cast<uint8_t>((y / 7 + x / 20 + noise) & 0xFF);
        p[2] = static_cast<uint8_t>((255 - y / 8 + noise) & 0xFF);
      }
    return bits;
  }();
  return photo;
}

void BM_MemcpyPage(benchmark::State& state) {
  const std::vector<uint8_t>& page = TextPage();
  std::vector<uint8_t> to(page.size());
  for (auto _ : state) {
    std::memcpy(to.data(), page.data(), page.size());
    benchmark::DoNotOptimize(to.data());
    benchmark::ClobberMemory();
  }
  state.SetBytesProcessed(state.iterations() * static_cast<int64_t>(page.size()));
}

void BM_CompressPage(benchmark::State& state) {
  Channel channel;
  const std::vector<uint8_t>& page = TextPage();
  for (auto _ : state) {
    benchmark::DoNotOptimize(render::SendRasterRows(channel.pdev(), page.data(), kPageRowBytes, kPageRows));
    benchmark::DoNotOptimize(render::FlushOutput(channel.pdev()));
  }
  state.SetBytesProcessed(state.iterations() * static_cast<int64_t>(page.size()));
}

void BM_PassOverPhoto(benchmark::State& state) {
  const std::vector<uint8_t>& photo = Photo();
  for (auto _ : state) {
    uint32_t sum = 0;
    for (uint8_t b : photo) sum += b;
    benchmark::DoNotOptimize(sum);
  }
  state.SetBytesProcessed(state.iterations() * static_cast<int64_t>(Photo().size()));
}

void BM_PrintPhoto(benchmark::State& state) {
  Channel channel;
  std::vector<uint8_t>& photo = const_cast<std::vector<uint8_t>&>(Photo());
  SURFOBJ so{};
  so.sizlBitmap = SIZEL{kPhotoWidth, kPhotoHeight};
  so.pvScan0 = so.pvBits = photo.data();
  so.lDelta = kPhotoWidth * 3;
  so.iBitmapFormat = BMF_24BPP;
  so.iType = STYPE_BITMAP;
  platform::engine::EngineXlate blueFirst = platform::engine::EngineXlate::FromBgr();
  const RECTL place{300, 300, 300 + kPhotoWidth, 300 + kPhotoHeight};
  for (auto _ : state) {
    benchmark::DoNotOptimize(render::WriteRasterImage(channel.pdev(), nullptr, &so, so.sizlBitmap, POINTL{0, 0},
                                                      place, blueFirst.get(), false, &place));
    benchmark::DoNotOptimize(render::FlushOutput(channel.pdev()));
  }
  state.SetBytesProcessed(state.iterations() * static_cast<int64_t>(photo.size()));
}

}  // namespace

BENCHMARK(BM_MemcpyPage)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_CompressPage)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_PassOverPhoto)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_PrintPhoto)->Unit(benchmark::kMillisecond);

int main(int argc, char** argv) {
  return benchsupport::RunPaired(argc, argv, {{"BM_CompressPage", "BM_MemcpyPage"}, {"BM_PrintPhoto", "BM_PassOverPhoto"}});
}
