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

// One robot-event thread, shared by the thread and its stopper.
struct EventThread {
    pthread_t handle{};
    std::uintptr_t generation = 0;
    bool ended = false;  // under g_event_mutex; the stopper waits for it
};

// Counts the threads started. A thread whose stop is still under way when a new one starts,
// or that was stopped from inside one of its own callables (and is not joined), leaves on its
// own once it sees a newer generation.
std::atomic<std::uintptr_t> g_event_thread_generation{0};

// The running thread, null while none runs. Guarded by g_thread_control_mutex, which is held
// only for moments, never while the thread is joined nor with the interpreter lock: a callable
// may start or stop the thread while another thread's stop is joining it.
std::shared_ptr<EventThread> g_event_thread;
pthread_mutex_t g_thread_control_mutex = PTHREAD_MUTEX_INITIALIZER;

std::uint64_t g_registration_serial = 0;  // under the interpreter lock

bool isCurrent(const EventThread &thread) {
    return !g_exit_system && thread.generation == g_event_thread_generation;
}

// Now in whole seconds plus kWaitSeconds: a wait on it lasts between one and two seconds.
timespec waitDeadline() {
    timespec deadline{};
    deadline.tv_sec = time(nullptr) + kWaitSeconds;
    return deadline;
}

// Waits up to two seconds for a queued event or the stop flag. Cancellation is enabled only
// inside this wait, so the thread is never cancelled while it waits for or holds the
// interpreter lock.
void waitForEvents(const EventThread &self) {
    pthread_mutex_lock(&g_event_mutex);
    pthread_cleanup_push(cleanup_handler, nullptr);
    if (g_rs_event.empty() && isCurrent(self)) {
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
    auto thread = std::make_shared<EventThread>();
    {
        // Cleared before the thread exists, so a stop right after the start cannot be lost; a
        // thread whose stop is still under way wakes to see it is no longer current.
        PthreadLock lock(g_event_mutex);
        thread->generation = ++g_event_thread_generation;
        g_exit_system = false;
        pthread_cond_broadcast(&g_event_cond);
    }
    auto *shared = new std::shared_ptr<EventThread>(thread);
    const int err = pthread_create(&thread->handle, nullptr, robot_event_thread, shared);
    if (err != 0) {
        delete shared;
        g_exit_system = true;
        W_ERROR("create event thread failed! %s", strerror(err));
        return kThreadCreateFailed;
    }
    g_event_thread = thread;
    g_robot_event_thread_handle = thread->handle;
    return 0;
}

// The running thread, told to stop, or null when none runs.
std::shared_ptr<EventThread> takeEventThread() {
    PthreadLock control(g_thread_control_mutex);
    std::shared_ptr<EventThread> thread = std::move(g_event_thread);
    g_event_thread = nullptr;
    g_robot_event_thread_handle = 0;
    if (thread != nullptr) {
        PthreadLock lock(g_event_mutex);
        g_exit_system = true;
        pthread_cond_broadcast(&g_event_cond);
    }
    return thread;
}

void joinEventThread(const EventThread &thread) {
    if (pthread_equal(thread.handle, pthread_self())) {
        // Stopped from one of its own callables: it leaves once that callable returns.
        pthread_detach(thread.handle);
        return;
    }
    bool ended = false;
    {
        PthreadLock lock(g_event_mutex);
        const timespec deadline = waitDeadline();
        while (!thread.ended &&
               pthread_cond_timedwait(&g_event_cond, &g_event_mutex, &deadline) != ETIMEDOUT) {
        }
        ended = thread.ended;
    }
    if (!ended) {
        // Takes effect only in the thread's wait for events, never inside Python.
        W_INFO("cancel robot event thread...");
        pthread_cancel(thread.handle);
    }
    pthread_join(thread.handle, nullptr);
}

typedef std::vector<std::pair<RSHD, std::uint64_t>> Registrations;

Registrations registeredNow() {
    Registrations now;
    for (const auto &entry : g_python_callback_robot_event) {
        now.emplace_back(entry.first, entry.second.serial);
    }
    return now;
}

// Releasing a callable can run Python code that registers again or starts and stops the
// thread, so the entries leave the registry before anything is released.
void release(const std::vector<RS_EVENT_CALLBACK> &registrations) {
    for (const RS_EVENT_CALLBACK &registration : registrations) {
        delete registration.p_rshd;
        Py_XDECREF(registration.callback);
    }
}

void releaseRegistrations(const Registrations &registrations) {
    std::vector<RS_EVENT_CALLBACK> taken;
    for (const auto &registration : registrations) {
        auto found = g_python_callback_robot_event.find(registration.first);
        if (found != g_python_callback_robot_event.end() &&
            found->second.serial == registration.second) {
            taken.push_back(found->second);
            g_python_callback_robot_event.erase(found);
        }
    }
    release(taken);
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
    const std::unique_ptr<std::shared_ptr<EventThread>> shared(
        static_cast<std::shared_ptr<EventThread> *>(arg));
    EventThread &self = **shared;
    pthread_setcancelstate(PTHREAD_CANCEL_DISABLE, nullptr);
    while (isCurrent(self)) {
        // A wake-up by time-out delivers too: an event whose signal came while the thread was
        // delivering is never left behind.
        waitForEvents(self);
        process_robot_event();
    }
    {
        PthreadLock lock(g_event_mutex);
        self.ended = true;
    }
    pthread_cond_broadcast(&g_event_cond);
    return nullptr;
}

void set_robot_event_callback(RSHD *p_rshd, PyObject *python_callback) {
    g_python_callback_robot_event[*p_rshd] =
        RS_EVENT_CALLBACK{python_callback, p_rshd, ++g_registration_serial};
}

PyObject *get_robot_event_callback(RSHD rshd) {
    auto found = g_python_callback_robot_event.find(rshd);
    return found != g_python_callback_robot_event.end() ? found->second.callback : nullptr;
}

void drop_robot_event_callback(RSHD rshd) {
    std::vector<std::unique_ptr<RobotEventInfo>> queued;
    {
        PthreadLock lock(g_event_mutex);
        auto kept = g_rs_event.begin();
        for (auto &event : g_rs_event) {
            if (event.first == rshd) {
                queued.emplace_back(event.second);
            } else {
                *kept++ = event;
            }
        }
        g_rs_event.erase(kept, g_rs_event.end());
    }
    auto found = g_python_callback_robot_event.find(rshd);
    if (found != g_python_callback_robot_event.end()) {
        const RS_EVENT_CALLBACK registration = found->second;
        g_python_callback_robot_event.erase(found);
        release({registration});
    }
}

PyObject *pykezuqx_initialize(PyObject * /*self*/, PyObject * /*args*/) {
    int rc = 0;
    Py_BEGIN_ALLOW_THREADS;
    {
        PthreadLock control(g_thread_control_mutex);
        rc = rs_initialize();
        if (rc == 0 && g_event_thread == nullptr) {
            rc = startEventThread();
        }
    }
    Py_END_ALLOW_THREADS;
    return PyInt_FromLong(rc);
}

PyObject *pykezuqx_uninitialize(PyObject * /*self*/, PyObject * /*args*/) {
    // Only what is registered now is released: a context made and registered while this stop
    // goes on lives on.
    const Registrations registrations = registeredNow();
    int rc = 0;
    std::shared_ptr<EventThread> thread;
    // Without the interpreter lock: the thread may be waiting for it to deliver a last event.
    Py_BEGIN_ALLOW_THREADS;
    rc = rs_uninitialize();
    thread = takeEventThread();
    if (thread != nullptr) {
        joinEventThread(*thread);
    }
    Py_END_ALLOW_THREADS;
    if (thread != nullptr) {
        releaseRegistrations(registrations);
    }
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
    RS_EVENT_CALLBACK previous{nullptr, nullptr, 0};
    auto found = g_python_callback_robot_event.find(rshd);
    const bool hadPrevious = found != g_python_callback_robot_event.end();
    if (hadPrevious) {
        previous = found->second;
    }
    Py_INCREF(callable);
    RSHD *copy = new RSHD(rshd);
    set_robot_event_callback(copy, callable);
    // Kept under the interpreter lock: the registration is quick (it waits at most for a
    // running queueing callback), and the registry and the SDK then always agree.
    const int rc = rs_setcallback_robot_event(rshd, callback_robot_event, copy);
    // The SDK no longer hands out the earlier copy once it has taken the new one. A refused
    // registration took nothing, so the registry is put back as it was.
    RS_EVENT_CALLBACK unused = previous;
    if (rc != 0) {
        unused = g_python_callback_robot_event[rshd];
        if (hadPrevious) {
            g_python_callback_robot_event[rshd] = previous;
        } else {
            g_python_callback_robot_event.erase(rshd);
        }
    }
    release({unused});
    return PyInt_FromLong(rc);
}
