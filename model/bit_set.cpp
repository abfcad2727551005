#include "model/bit_set.h"

namespace mirx::model {

// The one size the console uses is compiled here once.
template class BitSet<kClientSetBits>;

} // namespace mirx::model
