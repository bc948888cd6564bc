#include "HeapPolicy.h"

#if defined(__GLIBC__)
#include <malloc.h>
#endif

namespace ttservice {

void useHeapPolicyForLargeTenders()
{
#if defined(__GLIBC__)
    mallopt(M_MXFAST, 0);
#endif
}

} // namespace ttservice
