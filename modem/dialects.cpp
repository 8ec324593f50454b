#include "modem/dialect.h"

namespace modem {
namespace {

// The dialects a modem of ours may speak, in the order a read asks their
// list queries: a refused query goes on to the next (refused_list_next).
// A new dialect is its own file and a line here.
const Dialect& (*const DIALECTS[])() = {nc_dialect, gci_dialect};

} // namespace

const Dialect& first_dialect() {
    return DIALECTS[0]();
}

const Dialect* dialect_by_list_command(uint32_t code) {
    for (auto dialect : DIALECTS) {
        if (dialect().list_query.code == code) {
            return &dialect();
        }
    }
    return nullptr;
}

} // namespace modem
