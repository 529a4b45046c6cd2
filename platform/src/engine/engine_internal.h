// Inside the engine objects: the records behind the DDI pointers and the lookups from a DDI
// pointer back to its owner.
#pragma once

#include <pixman.h>

#include <cstdint>
#include <memory>
#include <mutex>
#include <unordered_set>
#include <vector>

#include "platform/engine_objects.h"

namespace platform::engine {

struct Region::Impl {
  pixman_region32_t region;
  Impl() { pixman_region32_init(&region); }
  ~Impl() { pixman_region32_fini(&region); }
  Impl(const Impl&) = delete;
  Impl& operator=(const Impl&) = delete;
};

inline pixman_box32_t ToBox(const RECTL& r) { return pixman_box32_t{r.left, r.top, r.right, r.bottom}; }

// Each DDI record is the first member of a standard-layout header that names its owner, so a
// pointer handed to a hook leads back to the engine object. Live headers are registered: a
// foreign pointer (a caller's own record) is rejected before anything past its record is read.
template <typename Ddi, typename Owner, uint32_t Tag>
struct Header {
  Ddi obj{};
  uint32_t tag = Tag;
  Owner* owner = nullptr;

  Header() { Register(this); }
  Header(const Header& o) : obj(o.obj), tag(o.tag), owner(o.owner) { Register(this); }
  Header& operator=(const Header& o) {
    obj = o.obj;
    tag = o.tag;
    owner = o.owner;
    return *this;
  }
  ~Header() {
    std::lock_guard g(Lock());
    Live().erase(this);
  }

  static Owner* From(const Ddi* p) {
    if (p == nullptr) return nullptr;
    std::lock_guard g(Lock());
    auto it = Live().find(reinterpret_cast<const void*>(p));
    if (it == Live().end()) return nullptr;
    auto* h = reinterpret_cast<const Header*>(p);
    return h->tag == Tag ? h->owner : nullptr;
  }

 private:
  static void Register(const Header* h) {
    std::lock_guard g(Lock());
    Live().insert(h);
  }
  // Never destroyed: engine objects kept in static tables may outlive any static here.
  static std::unordered_set<const void*>& Live() {
    static auto* live = new std::unordered_set<const void*>;
    return *live;
  }
  static std::mutex& Lock() {
    static auto* m = new std::mutex;
    return *m;
  }
};

struct PathRecord {
  FLONG flags;
  size_t first;
  ULONG count;
};

// A cosmetic line of a path and the runs of its pixels inside the clip.
struct ClipLine {
  POINTFIX a;
  POINTFIX b;
  LONG styleState;
  std::vector<RUN> runs;
};

struct EnginePath::Impl {
  Header<PATHOBJ, EnginePath::Impl, 0x48544150> head;
  PathPoints path;
  std::vector<PathRecord> records;
  size_t nextRecord = 0;
  bool ownedByEngine = false;  // made by CLIPOBJ_ppoGetPath, freed by EngDeletePath
  std::vector<ClipLine> clipLines;
  size_t nextLine = 0;
  size_t nextRun = 0;

  explicit Impl(PathPoints p);
};

struct EngineClip::Impl {
  Header<CLIPOBJ, EngineClip::Impl, 0x50494C43> head;
  Region visible;
  std::vector<RECTL> rects;  // in the order of the last CLIPOBJ_cEnumStart
  size_t next = 0;
};

struct EngineXlate::Impl {
  Header<XLATEOBJ, EngineXlate::Impl, 0x54414C58> head;
  std::vector<ULONG> table;
  bool swapRedBlue = false;
  ULONG masks[3] = {0, 0, 0};  // red, green, blue of PAL_BITFIELDS sources
};

// One channel of a packed pixel scaled to 0..255, and an 8-bit channel packed under a mask.
ULONG ChannelOf(ULONG pixel, ULONG mask);
ULONG PackChannel(ULONG value8, ULONG mask);

// The pattern surface and translation of an engine brush; false for a foreign BRUSHOBJ.
bool BrushPattern(BRUSHOBJ* pbo, SURFOBJ** pattern, XLATEOBJ** xlo);

// The pixels a CLIPOBJ lets through within `bounds` (null or a foreign object: all of them).
Region ClipRegion(CLIPOBJ* pco, const RECTL& bounds);

struct EngineXform::Impl {
  Header<XFORMOBJ, EngineXform::Impl, 0x4D524F58> head;
  XFORML xf{1, 0, 0, 1, 0, 0};
};

using PathHeader = decltype(EnginePath::Impl::head);
using ClipHeader = decltype(EngineClip::Impl::head);
using XlateHeader = decltype(EngineXlate::Impl::head);
using XformHeader = decltype(EngineXform::Impl::head);

// Pixel indices along a line's major axis that lie inside `clip` (null: unclipped), merged into
// runs in index order. The pixels a line covers are defined in clip_lines.cpp.
std::vector<RUN> LineRuns(POINTFIX a, POINTFIX b, const Region* clip);
int64_t LinePixelCount(POINTFIX a, POINTFIX b);

}  // namespace platform::engine
