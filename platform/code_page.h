// The program's own texts are Windows-1251 bytes; most stations send UTF-8.
// The window shows a text as UTF-8 when its bytes are valid UTF-8 and as
// Windows-1251 otherwise. The bytes themselves are never changed.
#pragma once

#include <string>
#include <string_view>

namespace platform {

// True when the bytes are well-formed UTF-8 (no overlong forms, no
// surrogates, nothing above U+10FFFF). An empty or pure ASCII text is UTF-8.
bool isValidUtf8(std::string_view bytes);

// The bytes read as Windows-1251, in UTF-8. The one byte the code page leaves
// undefined (0x98) becomes U+FFFD.
std::string windows1251ToUtf8(std::string_view bytes);

// The text as the window shows it, in UTF-8.
std::string displayTextUtf8(std::string_view bytes);

}  // namespace platform
