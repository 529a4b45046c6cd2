// rt7700-devmode: shows the stored devmode the interface library writes by default and the render
// settings the rendering library builds from it, as "name = value" lines. With --from FILE the
// stored devmode is read from a file instead (any length; only what it holds is used); with
// --save FILE the default stored devmode is written to a file.
#include <algorithm>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <string>
#include <vector>

#include "devmode/caller_merge.h"
#include "devmode/render_devmode.h"
#include "input_file.h"
#include "platform/utf16.h"
#include "terminal_text.h"

namespace {

using rt7700print::Printable;

// dmSize and dmDriverExtra are 16 bits each: no record claims more than this.
constexpr size_t kMaxRecordBytes = 0xFFFF + 0xFFFF;

template <typename T>
void Line(const char* section, const char* name, T value) {
  std::printf("%s.%s = %lld\n", section, name, static_cast<long long>(value));
}

void Text(const char* section, const char* name, const WCHAR* field, size_t capacity) {
  std::printf("%s.%s = \"%s\"\n", section, name,
              Printable(platform::Utf16ToUtf8(platform::WideField(field, capacity))).c_str());
}

void Public(const char* s, const DEVMODEW& d) {
  Text(s, "dmDeviceName", d.dmDeviceName, CCHDEVICENAME);
  std::printf("%s.dmSpecVersion = 0x%X\n%s.dmDriverVersion = 0x%X\n", s, d.dmSpecVersion, s, d.dmDriverVersion);
  Line(s, "dmSize", d.dmSize);
  Line(s, "dmDriverExtra", d.dmDriverExtra);
  std::printf("%s.dmFields = 0x%X\n", s, d.dmFields);
  Line(s, "dmOrientation", d.dmOrientation);
  Line(s, "dmPaperSize", d.dmPaperSize);
  Line(s, "dmPaperWidth", d.dmPaperWidth);
  Line(s, "dmPaperLength", d.dmPaperLength);
  Text(s, "dmFormName", d.dmFormName, CCHFORMNAME);
  Line(s, "dmScale", d.dmScale);
  Line(s, "dmCopies", d.dmCopies);
  Line(s, "dmDefaultSource", d.dmDefaultSource);
  Line(s, "dmPrintQuality", d.dmPrintQuality);
  Line(s, "dmYResolution", d.dmYResolution);
  Line(s, "dmColor", d.dmColor);
  Line(s, "dmDuplex", d.dmDuplex);
  Line(s, "dmTTOption", d.dmTTOption);
  Line(s, "dmCollate", d.dmCollate);
  Line(s, "dmICMMethod", d.dmICMMethod);
  Line(s, "dmICMIntent", d.dmICMIntent);
  Line(s, "dmMediaType", d.dmMediaType);
}

void Stored(const devmode::StoredDevmode& d) {
  const char* s = "stored";
  const auto& p = d.priv;
  Public(s, d.pub);
  Line(s, "Duplex", p.Duplex);
  Line(s, "ReverseOrder", LOBYTE(p.reverseOrder));
  Line(s, "MultipleUp", p.MultipleUp);
  Line(s, "PageOrder", p.PageOrder);
  Line(s, "PageBorder", p.PageBorder);
  Line(s, "FeedOrient", p.FeedOrient);
  Text(s, "FavoriteName", p.FavoriteName, 256);
  Line(s, "Rotate180", p.Rotate180);
  Line(s, "Thickness", p.Thickness);
  Line(s, "Zoom", p.zoomPercent);
  Line(s, "FirstPageOnly", p.FirstPageOnly);
  Line(s, "WatermarkData.WatermarkIndex", p.WatermarkData.WatermarkIndex);
  Text(s, "WatermarkData.Name", p.WatermarkData.Name, 33);
  Text(s, "HeaderFontName", p.HeaderFontName, 32);
  Line(s, "HeaderFontSize", p.HeaderFontSize);
}

void Render(const devmode::RenderSettings& r) {
  const char* s = "render";
  Public(s, r.pub);
  const auto& p = r.priv;
  Line(s, "PagesPerSheet", p.PagesPerSheet);
  Line(s, "NupOrder", p.NupOrder);
  Line(s, "NupBorder", p.NupBorder);
  Line(s, "LayoutMode", p.LayoutMode);
  Line(s, "ReverseOrder", p.ReverseOrder);
  Line(s, "TwoSided", p.TwoSided);
  Line(s, "FlipShortEdge", p.FlipShortEdge);
  Line(s, "Rotate180", p.Rotate180);
  Line(s, "DensityLevel", p.DensityLevel);
  Line(s, "RenderModel", p.RenderModel);
  Line(s, "ScaleMode", p.ScaleMode);
  Line(s, "ScalePercent", p.ScalePercent);
  Line(s, "TrayIndex", p.TrayIndex);
  Line(s, "FeedShortEdge", p.feedShortEdge);
  Line(s, "AutoDuplexUnit", p.AutoDuplexUnit);
  Line(s, "Decoration.WatermarkIndex", p.decoration.WatermarkIndex);
  std::printf("%s.Decoration.Grey = 0x%06X\n", s, p.decoration.grey);
  Text(s, "LabelText", p.labelText, 256);
}

int Usage() {
  std::fprintf(stderr, "usage: rt7700-devmode [--device NAME] [--from FILE | --save FILE]\n");
  return 2;
}

}  // namespace

int main(int argc, char** argv) {
  std::u16string device = u"Taliro R7700 PCL5e";
  std::string from, save;
  for (int i = 1; i < argc; ++i) {
    std::string a = argv[i];
    if (a == "--device" && i + 1 < argc) {
      device = platform::Utf8ToUtf16(argv[++i]);
    } else if (a == "--from" && i + 1 < argc) {
      from = argv[++i];
    } else if (a == "--save" && i + 1 < argc) {
      save = argv[++i];
    } else {
      return Usage();
    }
  }

  std::vector<unsigned char> bytes(sizeof(devmode::StoredDevmode));
  auto* stored = reinterpret_cast<devmode::StoredDevmode*>(bytes.data());
  devmode::InitStoredDevmode(stored, device.c_str(), u"Default Settings");
  if (!save.empty()) {
    std::ofstream out(save, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(stored), sizeof *stored);
    if (!out.flush()) {
      std::fprintf(stderr, "rt7700-devmode: cannot write %s\n", Printable(save).c_str());
      return 2;
    }
    return 0;
  }
  if (!from.empty()) {
    // Only what a record can claim is read: a longer file's tail, or a device's endless bytes,
    // can never be part of it.
    auto read = rt7700print::ReadInputFile(from, kMaxRecordBytes, rt7700print::Beyond::Keep);
    const std::string name = Printable(from);
    if (read.problem == rt7700print::InputFile::Problem::Folder) {
      std::fprintf(stderr, "rt7700-devmode: %s: expected a devmode file, got a folder\n", name.c_str());
      return 2;
    }
    if (read.problem != rt7700print::InputFile::Problem::None) {
      std::fprintf(stderr, "rt7700-devmode: cannot read %s: %s\n", name.c_str(), std::strerror(read.error));
      return 2;
    }
    std::vector<unsigned char> file(read.bytes.begin(), read.bytes.end());
    if (file.size() < sizeof(DEVMODEW)) {
      std::fprintf(stderr, "rt7700-devmode: %s: %zu bytes, a devmode has at least %zu\n", name.c_str(), file.size(),
                   sizeof(DEVMODEW));
      return 2;
    }
    auto* pub = reinterpret_cast<const DEVMODEW*>(file.data());
    if (static_cast<size_t>(pub->dmSize) + pub->dmDriverExtra > file.size()) {
      std::fprintf(stderr, "rt7700-devmode: %s: dmSize + dmDriverExtra is %u, the file holds %zu bytes\n", name.c_str(),
                   pub->dmSize + pub->dmDriverExtra, file.size());
      return 2;
    }
    bytes = file;
    bytes.resize(std::max(bytes.size(), sizeof(devmode::StoredDevmode)));
    stored = reinterpret_cast<devmode::StoredDevmode*>(bytes.data());
  } else {
    Stored(*stored);
  }

  devmode::RenderSettings defaults{}, scratch{};
  devmode::Devmod2_InitDevMode(&defaults, device.c_str());
  if (!devmode::ImportStoredDevmode(&stored->pub, &scratch) || !devmode::Devmod2_MergeFieldsHigh(&defaults, &scratch.pub)) {
    std::fprintf(stderr, "rt7700-devmode: the rendering library refuses this devmode (empty device name?)\n");
    return 1;
  }
  Render(defaults);
  return 0;
}
