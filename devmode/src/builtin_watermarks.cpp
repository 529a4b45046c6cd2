#include "devmode/builtin_watermarks.h"

#include "platform/utf16.h"

namespace devmode {
namespace {

struct Seed {
  uint16_t kind;
  const char16_t* name;
  const char16_t* text;
  uint16_t size;
  int16_t angle;
  uint16_t scale;
  uint16_t transparent;
  uint16_t reserved802;
};

constexpr Seed kSeeds[kBuiltInWatermarkCount] = {
    {0, u"[No Watermark]", u"", 54, 0, 100, 0, 0},
    {1, u"Confidential", u"Confidential", 114, 45, 0, 1, 1},
    {1, u"Watermark", u"Watermark", 114, 45, 0, 1, 1},
    {1, u"<New>", u"<New>", 72, 0, 0, 1, 1},
};

}  // namespace

WatermarkRecord BuiltInWatermark(int index) {
  WatermarkRecord r{};
  if (index < 0 || index >= kBuiltInWatermarkCount) index = 0;
  const Seed& s = kSeeds[index];
  r.WatermarkKind = s.kind;
  platform::CopyWideField(r.Name, std::size(r.Name), s.name);
  platform::CopyWideField(r.Text, std::size(r.Text), s.text);
  platform::CopyWideField(r.Typeface, std::size(r.Typeface), u"Arial");
  r.Size = s.size;
  r.Angle = s.angle;
  r.Scale = s.scale;
  r.Position = 5;
  r.Transparent = s.transparent;
  r.Reserved802 = s.reserved802;
  r.HorizontalPosition = 50;
  r.VerticalPosition = 50;
  r.GreyLevel = 1;
  return r;
}

}  // namespace devmode
