// The encodings that --name-encoding names: Windows-1252 and UTF-8 built
// in, any other through iconv where the build has it.
#include <algorithm>
#include <cctype>
#include <stdexcept>

#include "base/utf8.h"
#include "torvik32c/reports.h"

#ifdef TORVIK_HAVE_ICONV
#include <iconv.h>

#include <cerrno>
#endif

namespace torvik {

namespace {

constexpr std::string_view kReplacement = "\xEF\xBF\xBD";  // U+FFFD

// "Windows-1252" and "cp1252" alike: lower case, without '-' and '_'.
std::string Folded(const std::string& name) {
  std::string folded;
  for (const char c : name)
    if (c != '-' && c != '_')
      folded += static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return folded;
}

// UTF-8 as it is; each maximal part of a sequence that is cut short or
// broken, and each byte that starts none, as U+FFFD (as browsers' and
// Python's decoders replace them).
std::string ReplacingInvalidUtf8(std::string_view bytes) {
  std::string out;
  for (std::size_t i = 0; i < bytes.size();) {
    const Utf8Prefix prefix = Utf8PrefixAt(bytes, i);
    if (prefix.needed != 0 && prefix.matched == prefix.needed) {
      out.append(bytes, i, prefix.needed);
      i += prefix.needed;
    } else {
      out += kReplacement;
      i += prefix.matched == 0 ? 1 : prefix.matched;
    }
  }
  return out;
}

#ifdef TORVIK_HAVE_ICONV
// An iconv conversion into UTF-8, opened for each name: names are few, and
// a descriptor may not be shared between threads.
class Iconv {
 public:
  explicit Iconv(const std::string& encoding) : handle_(iconv_open("UTF-8", encoding.c_str())) {}
  ~Iconv() {
    if (ok()) iconv_close(handle_);
  }
  Iconv(const Iconv&) = delete;
  Iconv& operator=(const Iconv&) = delete;

  bool ok() const { return handle_ != reinterpret_cast<iconv_t>(-1); }

  // The bytes as UTF-8; a byte that doesn't decode becomes U+FFFD and the
  // decoding goes on after it.
  std::string Decode(std::string_view bytes) {
    std::string out;
    char buffer[256];
    char* in = const_cast<char*>(bytes.data());
    std::size_t in_left = bytes.size();
    while (in_left > 0) {
      char* put = buffer;
      std::size_t put_left = sizeof buffer;
      const std::size_t result = iconv(handle_, &in, &in_left, &put, &put_left);
      out.append(buffer, static_cast<std::size_t>(put - buffer));
      if (result != static_cast<std::size_t>(-1) || errno == E2BIG) continue;
      // EILSEQ or EINVAL: a byte that starts nothing, or a sequence cut short.
      out += kReplacement;
      ++in;
      --in_left;
      iconv(handle_, nullptr, nullptr, nullptr, nullptr);
    }
    char* put = buffer;
    std::size_t put_left = sizeof buffer;
    iconv(handle_, nullptr, nullptr, &put, &put_left);  // a stateful encoding's shift back
    out.append(buffer, static_cast<std::size_t>(put - buffer));
    return out;
  }

 private:
  iconv_t handle_;
};
#endif

}  // namespace

bool NameEncodingsByIconv() {
#ifdef TORVIK_HAVE_ICONV
  return true;
#else
  return false;
#endif
}

NameDecoder NameDecoderFor(const std::string& encoding) {
  const std::string folded = Folded(encoding);
  if (folded == "windows1252" || folded == "cp1252") return {};
  if (folded == "utf8") return ReplacingInvalidUtf8;
#ifdef TORVIK_HAVE_ICONV
  if (!encoding.empty() && Iconv(encoding).ok())
    return [encoding](std::string_view stored) { return Iconv(encoding).Decode(stored); };
  throw std::invalid_argument("--name-encoding " + ShownText(encoding) +
                              ": iconv knows no such encoding ('iconv -l' lists them)");
#else
  throw std::invalid_argument("--name-encoding " + ShownText(encoding) +
                              ": this build decodes names as Windows-1252 or UTF-8 only (it "
                              "has no iconv)");
#endif
}

}  // namespace torvik
