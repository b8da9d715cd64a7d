#pragma once
// The pieces of compact JSON the listing is made of.
#include <string>
#include <string_view>

namespace escuta {

// A JSON string literal with its quotes: '"' and '\' escaped, the solidus
// written as "\/", control characters escaped, other text as raw UTF-8.
// Bytes that are not valid UTF-8 become U+FFFD, one per maximal invalid
// sequence, so the document always parses.
std::string textoJson(std::string_view texto);

}  // namespace escuta
