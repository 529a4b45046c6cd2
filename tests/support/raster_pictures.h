// PCL raster graphics as a printer reads them, for tests: one transferred row of compression
// method 0, 2 or 3 decoded against the seed row, and a stream's raster pictures drawn onto a page.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace testsupport {

// Decodes the row `data` of `method` into `seed` (the previous row, whose size is the row's room):
// methods 0 and 2 replace the whole row (zeros after the data), method 3 changes the seed. Returns
// what is wrong (empty when nothing): data cut inside a command, bytes past the row, an unknown
// method. The seed holds what was decoded up to the fault.
std::string DecodeRasterRow(int method, std::string_view data, std::vector<uint8_t>& seed);

struct RasterPicture {
  long x = 0, y = 0;  // the cursor where it started, in dots
  long width = 0, height = 0;
  std::vector<int> methods;  // of each row, in order
};

// A page of dots, black or white.
struct RasterPage {
  long width = 0, height = 0;
  std::vector<uint8_t> dots;  // 1 black, row by row
  std::vector<RasterPicture> pictures;
  std::vector<std::string> faults;  // rows that did not decode, dots that fell off the page

  bool Black(long x, long y) const { return dots[static_cast<size_t>(y * width + x)] != 0; }
  long BlackCount() const;
};

// The raster pictures of `stream` ("\e*r%ds%dt1A" ... "\e*rC", rows of "\e*b%dW" after "\e*b%dM")
// drawn at the cursor ("\e*p%dx%dY") on a page of width x height dots. Bits past a picture's width
// are not drawn.
RasterPage DrawRasterPictures(std::string_view stream, long width, long height);

}  // namespace testsupport
