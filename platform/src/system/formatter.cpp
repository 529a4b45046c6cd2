// wvsprintfA: the platform's small formatter, with its conversions and its 1024-character limit.
// Always the C locale: no grouping, '.' never appears, digits are ASCII.
#include <cstdarg>
#include <cstdint>
#include <string>

#include "platform/utf16.h"
#include "win/text.h"

namespace {

constexpr size_t kLimit = 1024;  // characters including the NUL

class Out {
 public:
  explicit Out(char* dst) : dst_(dst) {}
  void Put(char c) {
    if (n_ < kLimit - 1) dst_[n_++] = c;
  }
  void Put(std::string_view s) {
    for (char c : s) Put(c);
  }
  void Repeat(char c, size_t count) {
    for (size_t i = 0; i < count; ++i) Put(c);
  }
  int Finish() {
    dst_[n_] = 0;
    return static_cast<int>(n_);
  }

 private:
  char* dst_;
  size_t n_ = 0;
};

struct Spec {
  bool left = false;
  bool alternate = false;
  bool zero = false;
  size_t width = 0;
  bool hasPrecision = false;
  size_t precision = 0;
  enum { kDefault, kShort, kLong, kLong64 } size = kDefault;
};

// Digits of v written backwards from the end of `buf`; returns where they start.
char* Digits(uint64_t v, unsigned base, bool upper, char* end) {
  const char* digits = upper ? "0123456789ABCDEF" : "0123456789abcdef";
  do {
    *--end = digits[v % base];
    v /= base;
  } while (v != 0);
  return end;
}

void Padded(Out& out, const Spec& spec, std::string_view prefix, std::string_view body, bool numeric) {
  size_t length = prefix.size() + body.size();
  size_t pad = spec.width > length ? spec.width - length : 0;
  if (spec.left) {
    out.Put(prefix);
    out.Put(body);
    out.Repeat(' ', pad);
  } else if (spec.zero && numeric) {
    out.Put(prefix);
    out.Repeat('0', pad);
    out.Put(body);
  } else {
    out.Repeat(' ', pad);
    out.Put(prefix);
    out.Put(body);
  }
}

}  // namespace

extern "C" int wvsprintfA(LPSTR dst, LPCSTR format, va_list args) {
  if (dst == nullptr) return 0;
  Out out(dst);
  if (format == nullptr) return out.Finish();
  va_list ap;
  va_copy(ap, args);
  for (const char* p = format; *p != 0; ++p) {
    if (*p != '%') {
      out.Put(*p);
      continue;
    }
    ++p;
    if (*p == 0) break;
    Spec spec;
    for (;; ++p) {
      if (*p == '-') spec.left = true;
      else if (*p == '#') spec.alternate = true;
      else if (*p == '0') spec.zero = true;
      else break;
    }
    while (*p >= '0' && *p <= '9') spec.width = spec.width * 10 + static_cast<size_t>(*p++ - '0');
    if (*p == '.') {
      spec.hasPrecision = true;
      ++p;
      while (*p >= '0' && *p <= '9') spec.precision = spec.precision * 10 + static_cast<size_t>(*p++ - '0');
    }
    if (*p == 'h') {
      spec.size = Spec::kShort;
      ++p;
    } else if (*p == 'l') {
      spec.size = Spec::kLong;
      ++p;
    } else if (p[0] == 'I' && p[1] == '6' && p[2] == '4') {
      spec.size = Spec::kLong64;
      p += 3;
    }
    if (*p == 0) break;
    char type = *p;
    switch (type) {
      case 'd':
      case 'i':
      case 'u':
      case 'x':
      case 'X': {
        uint64_t magnitude;
        bool negative = false;
        if (spec.size == Spec::kLong64) {
          int64_t v = va_arg(ap, int64_t);
          if (type == 'd' || type == 'i') {
            negative = v < 0;
            magnitude = negative ? 0 - static_cast<uint64_t>(v) : static_cast<uint64_t>(v);
          } else {
            magnitude = static_cast<uint64_t>(v);
          }
        } else {
          // long is 32 bits on the platform, so h, l and no prefix all read one int.
          int v = va_arg(ap, int);
          if (spec.size == Spec::kShort) v = (type == 'd' || type == 'i') ? static_cast<int16_t>(v) : static_cast<uint16_t>(v);
          if (type == 'd' || type == 'i') {
            negative = v < 0;
            magnitude = negative ? 0 - static_cast<uint64_t>(static_cast<int64_t>(v)) : static_cast<uint64_t>(v);
          } else {
            magnitude = static_cast<uint32_t>(v);
          }
        }
        unsigned base = (type == 'x' || type == 'X') ? 16 : 10;
        // Room for 64-bit digits and a precision of up to the whole output.
        char digits[kLimit + 24];
        char* const end = digits + sizeof digits;
        char* begin = Digits(magnitude, base, type == 'X', end);
        const size_t precision = spec.precision < kLimit ? spec.precision : kLimit;
        while (spec.hasPrecision && static_cast<size_t>(end - begin) < precision) *--begin = '0';
        char prefix[3] = {};
        size_t p = 0;
        if (negative) prefix[p++] = '-';
        if (spec.alternate && base == 16) {
          prefix[p++] = '0';
          prefix[p++] = type == 'X' ? 'X' : 'x';
        }
        Padded(out, spec, std::string_view(prefix, p), std::string_view(begin, static_cast<size_t>(end - begin)),
               !spec.hasPrecision);
        break;
      }
      case 'c':
      case 'C': {
        int v = va_arg(ap, int);
        bool wide = (type == 'C' && spec.size != Spec::kShort) || (type == 'c' && spec.size == Spec::kLong);
        std::string body = wide ? platform::Utf16ToAnsi(std::u16string(1, static_cast<char16_t>(v)))
                                : std::string(1, static_cast<char>(v));
        Padded(out, spec, {}, body, false);
        break;
      }
      case 's':
      case 'S': {
        bool wide = (type == 'S' && spec.size != Spec::kShort) || (type == 's' && spec.size == Spec::kLong);
        std::string converted;
        std::string_view body;
        if (wide) {
          const WCHAR* w = va_arg(ap, const WCHAR*);
          converted = w != nullptr ? platform::Utf16ToAnsi(platform::WideField(w, SIZE_MAX / 4)) : "(null)";
          body = converted;
        } else {
          const char* s = va_arg(ap, const char*);
          body = s != nullptr ? std::string_view(s) : std::string_view("(null)");
        }
        if (spec.hasPrecision && body.size() > spec.precision) body = body.substr(0, spec.precision);
        Padded(out, spec, {}, body, false);
        break;
      }
      default:
        out.Put(type);
        break;
    }
  }
  va_end(ap);
  return out.Finish();
}

extern "C" int wsprintfA(LPSTR dst, LPCSTR format, ...) {
  va_list ap;
  va_start(ap, format);
  int n = wvsprintfA(dst, format, ap);
  va_end(ap);
  return n;
}
