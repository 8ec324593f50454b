// A standard V.250 modem of another make, taken with --any-modem: it fails
// the vendor's identification test (procedures::Found::standard), so it is
// spoken to in the standard commands alone (AT+GCI, as a modem of ours
// without AT*nc is), and a read that finds no AT+GCI list refuses it.
#include "modem/dialect.h"

namespace modem {
namespace {

Dialect made_standard() {
    Dialect standard = gci_dialect();
    // AT*nc is the vendor's; another make is asked the standard list alone.
    standard.refused_list_next = 0;
    return standard;
}

} // namespace

const Dialect& standard_dialect() {
    static const Dialect standard = made_standard();
    return standard;
}

} // namespace modem
