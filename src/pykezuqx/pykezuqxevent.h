#ifndef PYKEZUQXEVENT_H
#define PYKEZUQXEVENT_H

#include "pykezuqxcompat.h"

#include <pthread.h>

#include <atomic>
#include <cstdint>
#include <map>
#include <utility>
#include <vector>

#include "KezuRobotMetaType.h"
#include "rstype.h"

// Robot events reach Python in two steps: the receive thread of a connection queues a copy
// (it must never wait for Python), and one robot-event thread takes the interpreter lock and
// calls the callable registered for the event's handle with a dictionary.

// One registration: the callable (a reference owned by the registry), the handle copy the
// SDK passes back to callback_robot_event, and a number that no other registration shares, so
// a stop releases exactly the registrations it found when it began.
struct RS_EVENT_CALLBACK {
    PyObject *callback;
    RSHD *p_rshd;
    std::uint64_t serial;
};

typedef std::map<RSHD, RS_EVENT_CALLBACK> RS_EVENT_CALLBACK_MAP;
typedef std::vector<std::pair<RSHD, kezu_robot_namespace::RobotEventInfo *>> RS_EVENT_MAP;

// The registry is read and written only under the interpreter lock; g_event_mutex guards the
// queue and each thread's end flag, g_event_cond announces queued events and a thread's end.
extern RS_EVENT_CALLBACK_MAP g_python_callback_robot_event;
extern RS_EVENT_MAP g_rs_event;
extern pthread_mutex_t g_event_mutex;
extern pthread_cond_t g_event_cond;
extern std::atomic<bool> g_exit_system;
extern pthread_t g_robot_event_thread_handle;

// Registered with the SDK for every handle; runs on the receive thread.
void callback_robot_event(const kezu_robot_namespace::RobotEventInfo *eventInfo, void *arg);
void emit_robot_event(RSHD rshd, const kezu_robot_namespace::RobotEventInfo *event);
void process_robot_event();
void *robot_event_thread(void *arg);
void cleanup_handler(void *arg);
void set_robot_event_callback(RSHD *p_rshd, PyObject *python_callback);
PyObject *get_robot_event_callback(RSHD rshd);
// Releases the registration and the queued events of a context that has been destroyed.
void drop_robot_event_callback(RSHD rshd);

// The Python methods of the robot events; called with the interpreter lock held.
PyObject *pykezuqx_initialize(PyObject *self, PyObject *args);
PyObject *pykezuqx_uninitialize(PyObject *self, PyObject *args);
PyObject *pykezuqx_set_robot_event_callback(PyObject *self, PyObject *args);

#endif
