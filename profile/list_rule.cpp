#include "profile/list_rule.h"

namespace profile {

size_t list_item_end(std::string_view text) {
    const size_t comma = text.find(',');
    return comma != std::string_view::npos ? comma : text.find(')');
}

} // namespace profile
