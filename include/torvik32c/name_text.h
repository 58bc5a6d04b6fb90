// Stored names as text.  A 3DS file stores its object, instance, material
// and texture names as bytes in its author's Windows code page; the BMF
// keeps them as stored.  Where a name is written as text (JSON, glTF, MTL,
// messages), valid UTF-8 stays as it is and anything else is decoded, as
// Windows-1252 unless the caller says otherwise.  Where text is shown to a
// person (a message, a report line), ShownText makes it harmless to a
// terminal: a name or a path can't move the cursor, set the window's title,
// clear the screen or end the line.
#pragma once

#include <filesystem>
#include <functional>
#include <string>
#include <string_view>

#include "torvik32c/export.h"

namespace torvik {

// Decodes the bytes of a stored name that is not valid UTF-8 into UTF-8
// text (the reports component's NameDecoderFor makes one for an encoding by
// name).  It may be called from several threads at once.
using NameDecoder = std::function<std::string(std::string_view stored)>;

// Whether `text` is valid UTF-8 (no overlong forms, surrogates or code
// points past U+10FFFF).
TORVIK_API bool IsValidUtf8(std::string_view text);

// Windows-1252 bytes as UTF-8.  The five bytes the code page leaves
// undefined (0x81, 0x8D, 0x8F, 0x90, 0x9D) become U+0081 and so on, as
// browsers read them.
TORVIK_API std::string Windows1252ToUtf8(std::string_view bytes);

// A stored name as UTF-8 text: valid UTF-8 as it is; anything else through
// `decode`, or as Windows-1252 when `decode` is empty.  Decoding text that
// this returned gives it back unchanged.
TORVIK_API std::string NameUtf8(std::string_view stored, const NameDecoder& decode = {});

// `text` as a person's terminal may show it: C0 control characters (tab and
// newline included) and DEL as \xHH, C1 control characters as \xHH when
// they are raw bytes (0x80 to 0x9F: 0x9B starts a control sequence) and as
// \u00HH when UTF-8 (U+0080 to U+009F), and every other byte that is not
// part of valid UTF-8 as \xHH.  Everything else, backslashes included, is
// kept.  The result holds no control character and is valid UTF-8, so
// showing it again changes nothing.
TORVIK_API std::string ShownText(std::string_view text);

// A stored name in a message: NameUtf8, then ShownText.
TORVIK_API std::string ShownName(std::string_view stored, const NameDecoder& decode = {});

// A path in a message: its bytes through ShownText.
TORVIK_API std::string ShownPath(const std::filesystem::path& path);

}  // namespace torvik
