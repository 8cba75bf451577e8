#include "pykezuqxevent.h"

#include <cerrno>
#include <cstdint>
#include <cstring>
#include <ctime>
#include <memory>

#include "globalutil.h"
#include "pthreadlock.h"
#include "pykezuqxconvert.h"
#include "rsrobotcontrol.h"

using namespace kezu_robot_namespace;
using kezu_robot_logtrace::W_ERROR;
using kezu_robot_logtrace::W_INFO;

RS_EVENT_CALLBACK_MAP g_python_callback_robot_event;
RS_EVENT_MAP g_rs_event;
pthread_mutex_t g_event_mutex = PTHREAD_MUTEX_INITIALIZER;
pthread_cond_t g_event_cond = PTHREAD_COND_INITIALIZER;
std::atomic<bool> g_exit_system{true};
pthread_t g_robot_event_thread_handle = 0;

namespace {

enum { kThreadCreateFailed = 1004, kWaitSeconds = 2 };

// Set by the robot-event thread under g_event_mutex as its last act; the stopper waits on it.
bool g_event_thread_ended = false;

// Counts the threads started. A thread stopped from inside one of its own callables is not
// joined; it leaves on its own once that callable returns, even if a new thread has started
// (and cleared the stop flag) meanwhile.
std::atomic<std::uintptr_t> g_event_thread_generation{0};

// Serialises starting and stopping the thread. Taken only without the interpreter lock, so a
// thread holding the interpreter lock never waits for it.
pthread_mutex_t g_thread_control_mutex = PTHREAD_MUTEX_INITIALIZER;

// Now in whole seconds plus kWaitSeconds: a wait on it lasts between one and two seconds.
timespec waitDeadline() {
    timespec deadline{};
    deadline.tv_sec = time(nullptr) + kWaitSeconds;
    return deadline;
}

// Waits up to two seconds for a queued event or the stop flag. Cancellation is enabled only
// inside this wait, so the thread is never cancelled while it waits for or holds the
// interpreter lock.
void waitForEvents() {
    pthread_mutex_lock(&g_event_mutex);
    pthread_cleanup_push(cleanup_handler, nullptr);
    if (g_rs_event.empty() && !g_exit_system) {
        const timespec deadline = waitDeadline();
        int state = 0;
        pthread_setcancelstate(PTHREAD_CANCEL_ENABLE, &state);
        pthread_cond_timedwait(&g_event_cond, &g_event_mutex, &deadline);
        pthread_setcancelstate(PTHREAD_CANCEL_DISABLE, &state);
    }
    pthread_cleanup_pop(1);
}

RS_EVENT_MAP takeQueuedEvents() {
    RS_EVENT_MAP events;
    PthreadLock lock(g_event_mutex);
    events.swap(g_rs_event);
    return events;
}

// A callable's exception is printed with its traceback, as for any Python thread, and
// cleared; delivery goes on.
void callEventCallback(PyObject *callable, const RobotEventInfo &event) {
    W_INFO("call event_callback, type:%d code:%d str:%s", event.eventType, event.eventCode,
           event.eventContent.c_str());
    PyObject *dict = make_return_robot_event(&event);
    PyObject *arguments = dict != nullptr ? Py_BuildValue("(N)", dict) : nullptr;
    // The callable may replace its own registration while it runs.
    Py_INCREF(callable);
    PyObject *result = arguments != nullptr ? PyObject_CallObject(callable, arguments) : nullptr;
    if (result == nullptr) {
        PyErr_WriteUnraisable(callable);
    }
    Py_XDECREF(result);
    Py_XDECREF(arguments);
    Py_DECREF(callable);
}

void deliver(RS_EVENT_MAP &events) {
    PyGILState_STATE gil = PyGILState_Ensure();
    for (auto &queued : events) {
        std::unique_ptr<RobotEventInfo> event(queued.second);
        if (g_exit_system) {
            continue;
        }
        PyObject *callable = get_robot_event_callback(queued.first);
        if (callable != nullptr) {
            callEventCallback(callable, *event);
        }
    }
    PyGILState_Release(gil);
}

int startEventThread() {
    {
        PthreadLock lock(g_event_mutex);
        g_event_thread_ended = false;
    }
    // Cleared before the thread exists, so a stop right after the start cannot be lost.
    g_exit_system = false;
    void *generation = reinterpret_cast<void *>(++g_event_thread_generation);
    const int err =
        pthread_create(&g_robot_event_thread_handle, nullptr, robot_event_thread, generation);
    if (err != 0) {
        g_exit_system = true;
        g_robot_event_thread_handle = 0;
        W_ERROR("create event thread failed! %s", strerror(err));
        return kThreadCreateFailed;
    }
    return 0;
}

void stopEventThread() {
    const pthread_t thread = g_robot_event_thread_handle;
    g_robot_event_thread_handle = 0;
    bool ended = false;
    {
        PthreadLock lock(g_event_mutex);
        g_exit_system = true;
        pthread_cond_broadcast(&g_event_cond);
    }
    if (pthread_equal(thread, pthread_self())) {
        // Stopped from one of its own callables: it leaves once that callable returns.
        pthread_detach(thread);
        return;
    }
    {
        PthreadLock lock(g_event_mutex);
        const timespec deadline = waitDeadline();
        while (!g_event_thread_ended &&
               pthread_cond_timedwait(&g_event_cond, &g_event_mutex, &deadline) != ETIMEDOUT) {
        }
        ended = g_event_thread_ended;
    }
    if (!ended) {
        // Takes effect only in the thread's wait for events, never inside Python.
        W_INFO("cancel robot event thread...");
        pthread_cancel(thread);
    }
    pthread_join(thread, nullptr);
}

// Releasing a callable can run Python code that registers again, so the registry is emptied
// before anything is released.
void clearRegistry() {
    RS_EVENT_CALLBACK_MAP registrations;
    registrations.swap(g_python_callback_robot_event);
    for (auto &entry : registrations) {
        Py_XDECREF(entry.second.callback);
        delete entry.second.p_rshd;
    }
}

}  // namespace

void cleanup_handler(void * /*arg*/) { pthread_mutex_unlock(&g_event_mutex); }

void callback_robot_event(const RobotEventInfo *eventInfo, void *arg) {
    if (eventInfo != nullptr && arg != nullptr) {
        emit_robot_event(*static_cast<RSHD *>(arg), eventInfo);
    }
}

void emit_robot_event(RSHD rshd, const RobotEventInfo *event) {
    if (event->eventType == RobotEvent_atTrackTargetPos ||
        event->eventType == RobotEvent_robotControllerStateChaned) {
        return;
    }
    std::unique_ptr<RobotEventInfo> copy(new RobotEventInfo(*event));
    {
        PthreadLock lock(g_event_mutex);
        W_INFO("emit event type:%d code:%d str:%s, rshd=%u", event->eventType, event->eventCode,
               event->eventContent.c_str(), static_cast<unsigned>(rshd));
        g_rs_event.emplace_back(rshd, copy.get());
        copy.release();
    }
    // The stopper may wait on the same condition, so wake everyone.
    pthread_cond_broadcast(&g_event_cond);
}

void process_robot_event() {
    RS_EVENT_MAP events = takeQueuedEvents();
    if (!events.empty()) {
        deliver(events);
    }
}

void *robot_event_thread(void *arg) {
    const std::uintptr_t generation = reinterpret_cast<std::uintptr_t>(arg);
    pthread_setcancelstate(PTHREAD_CANCEL_DISABLE, nullptr);
    while (!g_exit_system && generation == g_event_thread_generation) {
        // A wake-up by time-out delivers too: an event whose signal came while the thread was
        // delivering is never left behind.
        waitForEvents();
        process_robot_event();
    }
    {
        PthreadLock lock(g_event_mutex);
        if (generation == g_event_thread_generation) {
            g_event_thread_ended = true;
        }
    }
    pthread_cond_broadcast(&g_event_cond);
    return nullptr;
}

void set_robot_event_callback(RSHD *p_rshd, PyObject *python_callback) {
    g_python_callback_robot_event[*p_rshd] = RS_EVENT_CALLBACK{python_callback, p_rshd};
}

PyObject *get_robot_event_callback(RSHD rshd) {
    auto found = g_python_callback_robot_event.find(rshd);
    return found != g_python_callback_robot_event.end() ? found->second.callback : nullptr;
}

PyObject *pykezuqx_initialize(PyObject * /*self*/, PyObject * /*args*/) {
    int rc = 0;
    Py_BEGIN_ALLOW_THREADS;
    {
        PthreadLock control(g_thread_control_mutex);
        rc = rs_initialize();
        if (rc == 0 && g_robot_event_thread_handle == 0) {
            rc = startEventThread();
        }
    }
    Py_END_ALLOW_THREADS;
    return PyInt_FromLong(rc);
}

PyObject *pykezuqx_uninitialize(PyObject * /*self*/, PyObject * /*args*/) {
    // The interpreter lock is released while contexts are deleted and the thread is stopped:
    // the thread may be waiting for it to deliver a last event.
    PyThreadState *state = PyEval_SaveThread();
    pthread_mutex_lock(&g_thread_control_mutex);
    const int rc = rs_uninitialize();
    const bool ran = g_robot_event_thread_handle != 0;
    if (ran) {
        stopEventThread();
    }
    PyEval_RestoreThread(state);
    if (ran) {
        clearRegistry();
    }
    pthread_mutex_unlock(&g_thread_control_mutex);
    return PyInt_FromLong(rc);
}

PyObject *pykezuqx_set_robot_event_callback(PyObject * /*self*/, PyObject *args) {
    int handle = 0;
    PyObject *callable = nullptr;
    if (!PyArg_ParseTuple(args, "iO:setcallback_robot_event", &handle, &callable)) {
        PyErr_Clear();
        return PyInt_FromLong(0);
    }
    if (!PyCallable_Check(callable)) {
        PyErr_SetString(PyExc_TypeError, "parameter must be callable");
        return nullptr;
    }
    const RSHD rshd = static_cast<RSHD>(handle & 0xFFFF);
    RS_EVENT_CALLBACK previous{nullptr, nullptr};
    auto found = g_python_callback_robot_event.find(rshd);
    if (found != g_python_callback_robot_event.end()) {
        previous = found->second;
    }
    Py_INCREF(callable);
    RSHD *copy = new RSHD(rshd);
    set_robot_event_callback(copy, callable);
    // Kept under the interpreter lock: the registration is quick (it waits at most for a
    // running queueing callback), and the registry and the SDK then always agree.
    const int rc = rs_setcallback_robot_event(rshd, callback_robot_event, copy);
    // The SDK no longer hands out the earlier copy once it has taken the new one.
    delete previous.p_rshd;
    Py_XDECREF(previous.callback);
    return PyInt_FromLong(rc);
}
