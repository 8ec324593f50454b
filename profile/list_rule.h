// How a modem's list of countries ("00,09,B5)") is cut into items. Every
// reading of a list answer follows this one rule, so a list means the same
// countries however it is read.
#pragma once

#include <cstddef>
#include <string_view>

namespace profile {

// Where the item at the start of `text` ends: at the first comma anywhere in
// it, or, only when no comma remains, at the first ")". Items are taken as
// the modem gave them, blanks included. Gives npos when neither follows, so
// a last item without its ")" is no item; an empty item (0) ends the list.
size_t list_item_end(std::string_view text);

} // namespace profile
