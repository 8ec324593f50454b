// A standard V.250 modem of another make, taken with --any-modem: it fails
// the vendor's identification test (procedures::Found::standard), so it is
// spoken to in the standard commands alone (AT+GCI, as a modem of ours
// without AT*nc is), and a read that finds no AT+GCI list refuses it.
#include "modem/dialect.h"

namespace modem {

// The same table as AT+GCI's, kept as one of its own: a conversation that
// speaks it stays in it when its list answer comes (read_country_list), so
// what another make must be told differently would go here alone. The read
// starts in it, so it is asked AT+GCI=? alone, and a refusal goes on to
// nothing, as AT+GCI's does.
const Dialect& standard_dialect() {
    static const Dialect standard = gci_dialect();
    return standard;
}

} // namespace modem
