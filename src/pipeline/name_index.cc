// NameIndex: the one instance of the name index the tools use, compiled here once; the
// template is in the header so that tests can give it hashes of their own.
#include "pipeline/name_index.h"

namespace tagtree {

template class BasicNameIndex<NameHashing>;

}  // namespace tagtree
