#include "devmode/caller_devmode.h"

#include <algorithm>
#include <cstring>

#include "devmode/stored_devmode.h"

namespace devmode {
namespace {

struct FieldBit {
  size_t end;  // offset just past the field
  DWORD bit;
};

constexpr FieldBit kFieldEnds[] = {
    {offsetof(DEVMODEW, dmOrientation) + 2, DM_ORIENTATION},
    {offsetof(DEVMODEW, dmPaperSize) + 2, DM_PAPERSIZE},
    {offsetof(DEVMODEW, dmPaperLength) + 2, DM_PAPERLENGTH},
    {offsetof(DEVMODEW, dmPaperWidth) + 2, DM_PAPERWIDTH},
    {offsetof(DEVMODEW, dmScale) + 2, DM_SCALE},
    {offsetof(DEVMODEW, dmCopies) + 2, DM_COPIES},
    {offsetof(DEVMODEW, dmDefaultSource) + 2, DM_DEFAULTSOURCE},
    {offsetof(DEVMODEW, dmPrintQuality) + 2, DM_PRINTQUALITY},
    {offsetof(DEVMODEW, dmColor) + 2, DM_COLOR},
    {offsetof(DEVMODEW, dmDuplex) + 2, DM_DUPLEX},
    {offsetof(DEVMODEW, dmYResolution) + 2, DM_YRESOLUTION},
    {offsetof(DEVMODEW, dmTTOption) + 2, DM_TTOPTION},
    {offsetof(DEVMODEW, dmCollate) + 2, DM_COLLATE},
    {offsetof(DEVMODEW, dmFormName) + 64, DM_FORMNAME},
    {offsetof(DEVMODEW, dmLogPixels) + 2, DM_LOGPIXELS},
    {offsetof(DEVMODEW, dmBitsPerPel) + 4, DM_BITSPERPEL},
    {offsetof(DEVMODEW, dmPelsWidth) + 4, DM_PELSWIDTH},
    {offsetof(DEVMODEW, dmPelsHeight) + 4, DM_PELSHEIGHT},
    {offsetof(DEVMODEW, dmDisplayFlags) + 4, DM_DISPLAYFLAGS | DM_NUP},
    {offsetof(DEVMODEW, dmDisplayFrequency) + 4, DM_DISPLAYFREQUENCY},
    {offsetof(DEVMODEW, dmICMMethod) + 4, DM_ICMMETHOD},
    {offsetof(DEVMODEW, dmICMIntent) + 4, DM_ICMINTENT},
    {offsetof(DEVMODEW, dmMediaType) + 4, DM_MEDIATYPE},
    {offsetof(DEVMODEW, dmDitherType) + 4, DM_DITHERTYPE},
    {offsetof(DEVMODEW, dmPanningWidth) + 4, DM_PANNINGWIDTH},
    {offsetof(DEVMODEW, dmPanningHeight) + 4, DM_PANNINGHEIGHT},
};

WORD ReadWord(const std::byte* p) {
  WORD v;
  std::memcpy(&v, p, 2);
  return v;
}

}  // namespace

DWORD FieldsBeyond(size_t publicBytes) {
  DWORD bits = 0;
  for (const auto& f : kFieldEnds) {
    if (f.end > publicBytes) bits |= f.bit;
  }
  // The display members share the printer members' place in the union.
  if (publicBytes < offsetof(DEVMODEW, dmOrientation) + 16) bits |= DM_POSITION | DM_DISPLAYORIENTATION | DM_DISPLAYFIXEDOUTPUT;
  return bits;
}

CallerDevmode::CallerDevmode(const DEVMODEW* record) : record_(reinterpret_cast<const std::byte*>(record)) {
  if (record_ == nullptr) return;
  specVersion_ = ReadWord(record_ + offsetof(DEVMODEW, dmSpecVersion));
  driverVersion_ = ReadWord(record_ + offsetof(DEVMODEW, dmDriverVersion));
  dmSize_ = ReadWord(record_ + offsetof(DEVMODEW, dmSize));
  dmDriverExtra_ = ReadWord(record_ + offsetof(DEVMODEW, dmDriverExtra));
  publicBytes_ = std::min<size_t>(dmSize_, kPublicSize);
}

DEVMODEW CallerDevmode::PublicPart() const {
  DEVMODEW pub{};
  if (record_ == nullptr) return pub;
  std::memcpy(&pub, record_, publicBytes_);
  // The header is part of every record, whatever dmSize says.
  pub.dmSpecVersion = specVersion_;
  pub.dmDriverVersion = driverVersion_;
  pub.dmSize = dmSize_;
  pub.dmDriverExtra = dmDriverExtra_;
  if (publicBytes_ < offsetof(DEVMODEW, dmFields) + 4) {
    pub.dmFields = 0;
  } else {
    pub.dmFields &= ~FieldsBeyond(publicBytes_);
  }
  return pub;
}

const std::byte* CallerDevmode::Private(size_t size) const {
  if (record_ == nullptr || dmDriverExtra_ < size) return nullptr;
  return record_ + dmSize_;
}

}  // namespace devmode
