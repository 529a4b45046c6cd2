// Paper, media-type and tray tables. Linear scans that stop at the first match or the terminator.
#include "devmode/paper_tables.h"

#include <algorithm>

#include "devmode/render_settings.h"
#include "devmode/trace.h"

namespace devmode {
namespace {

constexpr PaperEntry kPapers[] = {
    {9, 26, "A4"},          {1, 2, "LETTER"},       {5, 3, "LEGAL"},        {7, 1, "EXEC"},
    {13, 45, "JIS B5"},     {70, 24, "A6"},         {11, 25, "A5"},         {20, 81, "COM10"},
    {27, 90, "DL"},         {28, 91, "C5"},         {31, 92, "C6ENV"},      {34, 100, "B5"},
    {37, 80, "MONARCH"},    {43, 71, "JPOST"},      {6, 15, "STATEMENT"},   {14, 10, "FOLIO"},
    {241, 328, "B6"},       {242, 326, "ZL"},       {243, 123, "OFICIO"},   {245, 34, "16K"},
    {250, 17, "BIG16K"},    {246, 316, "32K"},      {252, 317, "BIG32K"},   {276, 330, "YOUGATA4"},
    {277, 331, "POSTCARD"}, {278, 332, "YOUNAGA3"}, {279, 333, "NAGAGATA3"}, {280, 334, "YOUGATA2"},
    {240, 329, "LONG"},     {-1, 0, nullptr}};

constexpr int16_t M = 118;  // every unprintable margin

constexpr PaperGeometryEntry G(int16_t paper, int16_t w, int16_t h, int16_t lw, int16_t lh) {
  return {paper, {w, h, M, M, M, M}, {lw, lh, M, M, M, M}};
}

constexpr PaperGeometryEntry kGeometries[] = {
    G(9, 4960, 7015, 7015, 4960),    G(1, 5100, 6600, 6600, 5100),   G(5, 5100, 8400, 8400, 5100),
    G(7, 4350, 6300, 6300, 4350),    G(13, 4299, 6070, 6070, 4299),  G(70, 2480, 3496, 3496, 2480),
    G(11, 3496, 4960, 4960, 3496),   G(20, 2474, 5700, 5700, 2474),  G(27, 2598, 5196, 5196, 2598),
    G(28, 3826, 5409, 5409, 3826),   G(31, 2692, 3826, 3826, 2692),  G(34, 4157, 5905, 5905, 4157),
    G(37, 2324, 4486, 4500, 2324),   G(43, 2362, 3496, 3496, 2362),  G(6, 3307, 5102, 5102, 3307),
    G(14, 5102, 7795, 7795, 5102),   G(241, 2952, 4157, 4157, 2952), G(242, 2834, 5433, 5433, 2834),
    G(243, 5102, 8102, 8102, 5102),  G(245, 4370, 6142, 6142, 4370), G(250, 4606, 6378, 6378, 4606),
    G(246, 3071, 4370, 4370, 3071),  G(252, 3189, 4606, 4606, 3189), G(276, 2480, 5551, 5551, 2480),
    G(277, 3496, 4724, 4724, 3496),  G(278, 2835, 5551, 5551, 2835), G(279, 2835, 5551, 5551, 2835),
    G(280, 2693, 3827, 3827, 2693),  G(240, 4960, 28346, 28346, 4960)};
static_assert(std::size(kGeometries) == 29);

constexpr MediaEntry kMedia[] = {{1, 6, "PLAIN"},     {257, 6, "TOUGH"},         {258, 9, "ENVELOPE"},
                                 {259, 10, "CARDSTOCK"}, {263, 7, "LABELS"},     {2, 13, "TRANSPARENCY"},
                                 {264, 7, "TISSUE"},     {-1, 0, nullptr}};

struct Tray {
  int16_t defaultSource;
  uint16_t trayIndex;
  const char* pjlLine;
};

constexpr Tray kTrays[] = {{7, 0, nullptr},
                           {4, 1, "@PJL SET INTRAY1=%s\r\n"},
                           {1, 2, "@PJL SET INTRAY2=%s\r\n"},
                           {257, 3, "@PJL SET INTRAY3=%s\r\n"},
                           {258, 4, "@PJL SET INTRAY4=%s\r\n"}};

constexpr int kPclSources[] = {7, 0, 1, 4, 5};  // by tray index

constexpr int16_t kManualFeedPapers[] = {20, 27, 28, 31, 37, 43, 240, 242, 276, 277, 278, 279, 280};
constexpr int16_t kTwoSidedPapers[] = {9, 1, 5, 14, 243};

template <typename C>
bool Contains(const C& c, int v) {
  return std::find(std::begin(c), std::end(c), v) != std::end(c);
}

}  // namespace

std::span<const PaperEntry> Papers() { return {kPapers, std::size(kPapers) - 1}; }
std::span<const PaperGeometryEntry> PaperGeometries() { return kGeometries; }
std::span<const MediaEntry> MediaTypes() { return {kMedia, std::size(kMedia) - 1}; }

const PaperEntry& LookupPaper(int paperNumber) {
  const PaperEntry* e = kPapers;
  while (e->paperNumber != -1 && e->paperNumber != paperNumber) ++e;
  return *e;
}

const MediaEntry& LookupMedia(int64_t mediaNumber) {
  const MediaEntry* e = kMedia;
  while (e->mediaNumber != -1 && e->mediaNumber != mediaNumber) ++e;
  return *e;
}

const MediaEntry& MediaOrPlain(int64_t mediaNumber) {
  const MediaEntry& e = LookupMedia(mediaNumber);
  return e.mediaNumber == -1 ? kMedia[0] : e;
}

bool IsTablePaper(int paperNumber) { return paperNumber != -1 && LookupPaper(paperNumber).paperNumber != -1; }

const PageGeometry* PortraitGeometry(int paperNumber) {
  for (const auto& g : kGeometries) {
    if (g.paperNumber == paperNumber) return &g.portrait;
  }
  return nullptr;
}

bool GetPageGeometry(int paperNumber, const RenderSettings& settings, PageGeometry* out) {
  const DEVMODEW& pub = settings.pub;
  PageGeometry g{};
  if (paperNumber >= kFirstCustomPaper) {
    int q = pub.dmPrintQuality;
    auto w = static_cast<int32_t>(settings.priv.paperWidth * static_cast<double>(q) / 254 + 0.5);
    auto h = static_cast<int32_t>(settings.priv.paperLength * static_cast<double>(q) / 254 + 0.5);
    w = std::clamp<int32_t>(w, 0, INT16_MAX);
    h = std::clamp<int32_t>(h, 0, INT16_MAX);
    g = {static_cast<int16_t>(w), static_cast<int16_t>(h), M, M, M, M};
    if (pub.dmOrientation == DMORIENT_LANDSCAPE) std::swap(g.width, g.height);
  } else {
    const PaperGeometryEntry* entry = nullptr;
    for (const auto& e : kGeometries) {
      if (e.paperNumber == paperNumber) entry = &e;
    }
    if (entry == nullptr || (pub.dmOrientation != DMORIENT_PORTRAIT && pub.dmOrientation != DMORIENT_LANDSCAPE)) {
      DebugTrace("File:%s\nLine:%d\n", "paper_tables.cpp", __LINE__);
      return false;
    }
    g = pub.dmOrientation == DMORIENT_PORTRAIT ? entry->portrait : entry->landscape;
  }
  if (pub.dmYResolution == 300) {
    g = {static_cast<int16_t>(g.width / 2), static_cast<int16_t>(g.height / 2), static_cast<int16_t>(g.left / 2),
         static_cast<int16_t>(g.top / 2),   static_cast<int16_t>(g.right / 2), static_cast<int16_t>(g.bottom / 2)};
  }
  *out = g;
  return true;
}

int PclPageSizeCode(int paperNumber, bool feedShortEdge) {
  if (paperNumber >= kFirstCustomPaper) return kPclPageSizeCustom;
  if (paperNumber == kPaperA5 && !feedShortEdge) return kPclPageSizeA5LongEdge;
  const PaperEntry& e = LookupPaper(paperNumber);
  return e.paperNumber == -1 ? kPclPageSizeDefault : e.pclCode;
}

const char* PjlPaperName(int paperNumber, bool feedShortEdge) {
  const PaperEntry& e = LookupPaper(paperNumber);
  if (e.paperNumber == -1) return nullptr;
  if (paperNumber == kPaperA5 && !feedShortEdge) return "A5L";
  return e.pjlName;
}

uint16_t TrayIndexFor(int defaultSource, int paperNumber) {
  uint16_t index = 0;
  for (const auto& t : kTrays) {
    if (t.defaultSource == defaultSource) index = t.trayIndex;
  }
  if (Contains(kManualFeedPapers, paperNumber)) index = 1;
  return index;
}

int PclPaperSource(uint16_t trayIndex) {
  return trayIndex < std::size(kPclSources) ? kPclSources[trayIndex] : kPclSources[0];
}

const char* PjlTrayLine(int defaultSource) {
  for (const auto& t : kTrays) {
    if (t.defaultSource == defaultSource) return t.pjlLine;
  }
  return nullptr;
}

const char* PjlTrayLineOfIndex(uint16_t trayIndex) {
  for (const auto& t : kTrays) {
    if (t.trayIndex == trayIndex) return t.pjlLine;
  }
  return nullptr;
}

bool TwoSidedPaper(int paperNumber) { return Contains(kTwoSidedPapers, paperNumber); }

CustomSizeValues CustomPaperCommandValues(int32_t widthTenthMm, int32_t lengthTenthMm, bool landscape) {
  auto toDecipoints = [](int32_t v) { return static_cast<int>(static_cast<int64_t>(v) * 720 / 254); };
  // The limits belong to the paper as it is fed, so they apply before landscape turns it.
  CustomSizeValues v{std::clamp(toDecipoints(widthTenthMm), 2550, 6123),
                     std::clamp(toDecipoints(lengthTenthMm), 3401, 10091)};
  if (landscape) std::swap(v.width, v.length);
  return v;
}

int32_t PixelsToTenthMm(int32_t pixels) { return static_cast<int32_t>(pixels * 254.0 / 600.0 + 0.5); }

}  // namespace devmode
