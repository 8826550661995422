// A text cut at every separator, as the form tables and lists are written:
// n separators give n + 1 pieces ("a||b" is "a", "", "b"; "" is one empty
// piece). The pieces point into `text`.
#pragma once

#include <string_view>
#include <vector>

namespace app::look {

std::vector<std::string_view> Pieces(std::string_view text, char separator);

}  // namespace app::look
