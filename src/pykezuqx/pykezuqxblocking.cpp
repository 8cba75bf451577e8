#include "pykezuqxblocking.h"

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <system_error>
#include <thread>

#include "rsrobotcontrol.h"

namespace {

// How soon a pending signal's handler runs, and so how soon a move is stopped.
const std::chrono::milliseconds kSignalSlice(50);
// A stop that reached the controller before the move itself stops nothing, so it is sent again
// this often until the call has ended.
const std::chrono::seconds kStopAgain(1);

// The end of a call on the helper thread.
class CallEnd {
public:
    void set(int rc) {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_rc = rc;
        m_ended = true;
        m_changed.notify_all();
    }

    bool waitFor(std::chrono::milliseconds duration) {
        std::unique_lock<std::mutex> lock(m_mutex);
        return m_changed.wait_for(lock, duration, [this] { return m_ended; });
    }

    // Read once the helper thread is joined.
    int rc() const { return m_rc; }

private:
    std::mutex m_mutex;
    std::condition_variable m_changed;
    bool m_ended = false;
    int m_rc = 0;
};

int withoutGil(const std::function<int()> &call) {
    PyThreadState *state = PyEval_SaveThread();
    const int rc = call();
    PyEval_RestoreThread(state);
    return rc;
}

// The rest of the wait after a handler raised: the lock stays released, so other threads, a
// move_stop among them, and the robot-event thread go on.
void waitAfterInterrupt(RSHD rshd, BlockingKind kind, CallEnd &end) {
    do {
        if (kind == BlockingKind::Move) {
            rs_move_stop(rshd);
        }
    } while (!end.waitFor(kStopAgain));
    // A move held up on its way to the link can reach the controller after the stop, and the
    // event of that earlier stop then ends the call while the arm goes on: unless the arm
    // arrived or the link is gone, one more stop follows the call's end.
    if (kind == BlockingKind::Move && end.rc() != kezu_robot_namespace::ErrnoSucc &&
        end.rc() != kezu_robot_namespace::ErrCode_SocketDisconnect) {
        rs_move_stop(rshd);
    }
}

}  // namespace

bool run_blocking(RSHD rshd, BlockingKind kind, const std::function<int()> &call, int &rc) {
    // The interpreter only lets its main thread run signal handlers.
    if (!_PyOS_IsMainThread()) {
        rc = withoutGil(call);
        return true;
    }
    // A handler that raises before the call means it is not made at all.
    if (PyErr_CheckSignals() != 0) {
        return false;
    }
    CallEnd end;
    std::atomic<bool> interrupted{false};
    std::thread helper;
    try {
        helper = std::thread([&] { end.set(interrupted ? 0 : call()); });
    } catch (const std::system_error &) {
        // Without a thread to spare, handlers wait for the call's end as they would in C code.
        rc = withoutGil(call);
        return true;
    }
    PyThreadState *state = PyEval_SaveThread();
    while (!interrupted && !end.waitFor(kSignalSlice)) {
        PyEval_RestoreThread(state);
        interrupted = PyErr_CheckSignals() != 0;
        state = PyEval_SaveThread();
    }
    if (interrupted) {
        waitAfterInterrupt(rshd, kind, end);
    }
    helper.join();
    PyEval_RestoreThread(state);
    rc = end.rc();
    return !interrupted;
}
