#ifndef PYKEZUQXBLOCKING_H
#define PYKEZUQXBLOCKING_H

#include "pykezuqxcompat.h"

#include <functional>

#include "rstype.h"

// Calls that can block for long: moves, which wait until the arm arrives, and the start-up
// and shutdown waits. Python runs signal handlers (the one that raises KeyboardInterrupt on
// Ctrl-C among them) only on its main thread and only while that thread holds the interpreter
// lock. So a call made on the main thread runs on a helper thread, while the main thread
// comes back to Python in short slices to let it run its handlers; when a handler raises, a
// move is stopped, the call is waited for to its end without the lock, and the exception goes
// to the script. A handler that returns normally leaves the call alone. Calls made on other
// threads run there, without the lock, as every other call does.
enum class BlockingKind { Wait, Move };

// Runs call without the interpreter lock (which the caller holds) and stores its result in rc.
// False, with the handler's exception set, when a signal handler raised meanwhile.
bool run_blocking(RSHD rshd, BlockingKind kind, const std::function<int()> &call, int &rc);

#endif
