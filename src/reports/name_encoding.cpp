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

// Encodings whose code units are wider than a byte, by the folded names
// iconv and browsers know them by: a name's bytes are not text in them.
bool HasWideCodeUnits(const std::string& folded) {
  for (const std::string_view wide :
       {"utf16", "utf32", "ucs2", "ucs4", "wchart", "iso10646ucs", "10646"})
    if (folded.starts_with(wide)) return true;
  for (const std::string_view wide : {"unicode", "unicodelittle", "unicodebig", "csunicode"})
    if (folded == wide) return true;
  return false;
}

[[noreturn]] void RefuseWide(const std::string& encoding) {
  throw std::invalid_argument(
      "--name-encoding " + ShownText(encoding) +
      ": its characters are 2 or 4 bytes wide (as in UTF-16, UCS-2, UTF-32, UCS-4 and "
      "WCHAR_T), and names are stored one byte at a time in a code page such as "
      "windows-1252, shift_jis or utf-8");
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

  // Whether a single byte, 'A', decodes into a character by itself: not in
  // an encoding of wider code units, which waits for the rest of one.
  bool DecodesByteByByte() {
    char letter[] = "A";
    char* in = letter;
    std::size_t in_left = 1;
    char buffer[16];
    char* put = buffer;
    std::size_t put_left = sizeof buffer;
    const std::size_t result = iconv(handle_, &in, &in_left, &put, &put_left);
    iconv(handle_, nullptr, nullptr, nullptr, nullptr);
    return result != static_cast<std::size_t>(-1) && in_left == 0 && put != buffer;
  }

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
  if (encoding.find('\0') != std::string::npos)
    throw std::invalid_argument("--name-encoding " + ShownText(encoding) +
                                ": an encoding's name holds no NUL character");
  const std::string folded = Folded(encoding);
  if (folded == "windows1252" || folded == "cp1252") return {};
  if (folded == "utf8") return ReplaceInvalidUtf8;
  if (HasWideCodeUnits(folded)) RefuseWide(encoding);
#ifdef TORVIK_HAVE_ICONV
  if (Iconv known(encoding); !encoding.empty() && known.ok()) {
    if (!known.DecodesByteByByte()) RefuseWide(encoding);
    return [encoding](std::string_view stored) { return Iconv(encoding).Decode(stored); };
  }
  throw std::invalid_argument("--name-encoding " + ShownText(encoding) +
                              ": iconv knows no such encoding ('iconv -l' lists them)");
#else
  throw std::invalid_argument("--name-encoding " + ShownText(encoding) +
                              ": this build decodes names as Windows-1252 or UTF-8 only (it "
                              "has no iconv)");
#endif
}

}  // namespace torvik
