// Built once more on its own with only the public records header in view (tests/CMakeLists.txt):
// the facade header is all a C++ user includes.
#include "serviceinterface.h"

#include <type_traits>

static_assert(!std::is_copy_constructible<ServiceInterface>::value, "a facade owns its connection");
