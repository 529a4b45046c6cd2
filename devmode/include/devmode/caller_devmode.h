// A devmode handed in by an application: read only within the dmSize + dmDriverExtra bytes it
// claims. The 8 header bytes (dmSpecVersion .. dmDriverExtra) are always read, since they are
// what says how long the record is.
#pragma once

#include <cstddef>
#include <cstdint>

#include "win/devmode.h"

namespace devmode {

class CallerDevmode {
 public:
  explicit CallerDevmode(const DEVMODEW* record);

  bool present() const { return record_ != nullptr; }
  WORD dmSize() const { return dmSize_; }
  WORD dmDriverExtra() const { return dmDriverExtra_; }
  WORD dmSpecVersion() const { return specVersion_; }
  WORD dmDriverVersion() const { return driverVersion_; }
  // Bytes of the public part this record holds: min(dmSize, 220).
  size_t publicBytes() const { return publicBytes_; }
  // The public part as a full DEVMODEW: fields beyond publicBytes() are zero and their dmFields
  // bits are cleared, so a short record contributes only the fields it holds.
  DEVMODEW PublicPart() const;
  // The private bytes just behind the public part, or nullptr when fewer than `size` exist.
  const std::byte* Private(size_t size) const;

 private:
  const std::byte* record_;
  WORD specVersion_ = 0;
  WORD driverVersion_ = 0;
  WORD dmSize_ = 0;
  WORD dmDriverExtra_ = 0;
  size_t publicBytes_ = 0;
};

// dmFields bits whose field lies (wholly) beyond `publicBytes`.
DWORD FieldsBeyond(size_t publicBytes);

}  // namespace devmode
