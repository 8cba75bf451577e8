"""Robot events delivered to Python callables on the robot-event thread."""
import gc
import os
import signal
import sys
import threading
import time
import weakref

import pytest

from conftest import (DYNAMICS, WORKDIR, Recorder, child, close_context, lib, open_context,
                      wait_child, wait_until)

STARTUP_DONE, SHUTDOWN_DONE, LINK_LOST = 20, 21, 27
FAR = (1.0, 0.0, 0.0, 0.0, 0.0, 0.0)


def native_threads():
    return len(os.listdir("/proc/self/task"))


def started(sim):
    assert lib.initialize() == 0
    return open_context(sim.port)


def listen(handle, action=None):
    recorder = Recorder(action)
    assert lib.set_robot_event_callback(handle, recorder) == 0
    return recorder


@pytest.fixture
def fresh():
    """The event thread stopped before and after the test."""
    lib.uninitialize()
    yield
    lib.uninitialize()


def test_set_robot_event_callback_keeps_nothing_it_refuses(robot, controller):
    with pytest.raises(TypeError, match="parameter must be callable"):
        lib.set_robot_event_callback(robot, 5)
    lib.destory_context(gone := open_context(controller.port))
    for handle in (31999, gone):
        callback = lambda event: None  # noqa: E731
        ref = weakref.ref(callback)
        assert lib.set_robot_event_callback(handle, callback) == 1002
        del callback
        gc.collect()
        assert ref() is None, handle
    assert lib.set_robot_event_callback(robot, print) == 0


def test_link_loss_reaches_the_callable_as_a_dict(fresh, own_controller):
    sim = own_controller()
    h = started(sim)
    recorder = listen(h)
    sim.stop()
    assert recorder.wait_for_type(LINK_LOST)
    event = recorder.events[recorder.types().index(LINK_LOST)]
    assert list(event) == ["type", "code", "content"]
    assert isinstance(event["code"], int) and isinstance(event["content"], str)
    assert threading.get_ident() not in recorder.threads
    lib.destory_context(h)


def test_arrival_and_state_events_are_not_delivered(robot, trace):
    recorder = listen(robot)
    assert lib.move_joint(robot, (0.05,) * 6) == 0
    assert lib.move_stop(robot) == 0
    assert lib.robot_shutdown(robot) == 0
    assert recorder.wait_for_type(SHUTDOWN_DONE)
    # The queue is in arrival order, so arrival (22) and state (25) events would come first.
    assert recorder.types() == [SHUTDOWN_DONE]
    content = recorder.events[0]["content"]
    assert trace.has("INFO", "emit event type:21 code:0 str:%s, rshd=%d" % (content, robot))
    assert trace.has("INFO", "call event_callback, type:21 code:0 str:%s" % content)
    assert not trace.has("INFO", "emit event type:22 code:0 str:at target position, rshd=%d"
                         % robot)


def test_a_second_registration_replaces_and_releases_the_first(robot):
    def first(event):
        calls.append(event)
    calls = []
    first_ref = weakref.ref(first)
    assert lib.set_robot_event_callback(robot, first) == 0
    second = listen(robot)
    del first
    gc.collect()
    assert first_ref() is None
    assert lib.robot_shutdown(robot) == 0
    assert second.wait_for_type(SHUTDOWN_DONE)
    assert calls == []


def test_initialize_twice_starts_one_thread_and_uninitialize_stops_it_promptly(fresh,
                                                                              controller):
    before = native_threads()
    assert (lib.initialize(), lib.initialize()) == (0, 0)
    assert native_threads() == before + 1
    listen(h := open_context(controller.port))
    started_at = time.monotonic()
    assert lib.uninitialize() == 0
    assert time.monotonic() - started_at < 2.0
    assert lib.get_login_status(h) is None
    assert wait_until(lambda: native_threads() <= before, 2)


def test_a_registration_lives_until_its_context_is_destroyed_or_the_thread_stops(fresh,
                                                                                 controller):
    refs = []

    def register(handle):
        callback = lambda event: None  # noqa: E731
        refs.append(weakref.ref(callback))
        assert lib.set_robot_event_callback(handle, callback) == 0
    register(h := open_context(controller.port))
    register(open_context(controller.port))
    assert lib.destory_context(h) == 0
    gc.collect()
    assert [ref() is None for ref in refs] == [True, False]
    assert lib.uninitialize() == 0  # no thread ran
    assert refs[1]() is not None
    assert (lib.initialize(), lib.uninitialize()) == (0, 0)
    gc.collect()
    assert refs[1]() is None


# 2.5 s outlasts the stopper's wait, so it gives up waiting, yet must not cancel the thread
# inside Python. A context made and registered meanwhile keeps its registration.
@pytest.mark.parametrize("seconds", [0.5, 2.5])
def test_uninitialize_while_a_callable_runs_waits_for_it_without_deadlock(fresh, robot, trace,
                                                                          controller, seconds):
    entered, finished = threading.Event(), threading.Event()
    late, handles = Recorder(), []

    def slow(event):
        entered.set()
        time.sleep(seconds)  # sleeps without the interpreter lock
        handles.append(open_context(controller.port))  # and calls back into the module
        assert lib.set_robot_event_callback(handles[0], late) == 0
        finished.set()
    assert lib.set_robot_event_callback(robot, slow) == 0
    assert lib.robot_shutdown(robot) == 0
    assert entered.wait(5)
    started_at = time.monotonic()
    assert lib.uninitialize() == 0
    assert finished.is_set()
    assert time.monotonic() - started_at < seconds + 2.0
    assert trace.has("INFO", "cancel robot event thread...") == (seconds > 2)
    assert (lib.initialize(), lib.robot_shutdown(handles[0])) == (0, 0)
    assert late.wait_for_type(SHUTDOWN_DONE)
    close_context(handles[0])


# Each may hang: the thread is stopped while a callable starts or stops it, or while dropping
# a callable runs a __del__ that does.
START_STOP_RACES = r"""
import threading, time
from conftest import Controller, lib, open_context

class Owner:
    def __init__(self, handle):
        lib.set_robot_event_callback(handle, self.on_event)

    def on_event(self, event):
        pass

    def __del__(self):
        print("result: del", lib.uninitialize(), lib.initialize(), flush=True)

sim = Controller()
try:
    lib.initialize()
    Owner(open_context(sim.port))
    print("result: uninitialize", lib.uninitialize(), flush=True)
    for action in (lib.initialize, lib.uninitialize):
        entered = threading.Event()

        def busy(event, action=action):
            entered.set()
            time.sleep(0.5)  # while the uninitialize below joins this thread
            print("result: callable", action.__name__, action(), flush=True)
        h = open_context(sim.port)
        lib.initialize()
        lib.set_robot_event_callback(h, busy)
        lib.robot_shutdown(h)
        entered.wait(5)
        print("result: stop", lib.uninitialize(), flush=True)
    lib.uninitialize()
finally:
    sim.stop()
"""


def test_starting_or_stopping_while_a_stop_is_under_way_returns():
    rc, results, err = wait_child(child(START_STOP_RACES), timeout=30)
    assert rc == 0, err[-2000:]
    assert results == ["del 0 0", "uninitialize 0", "callable initialize 0", "stop 0",
                       "callable uninitialize 0", "stop 0"]


def test_a_raising_or_slow_callable_does_not_stop_later_deliveries(robot, monkeypatch):
    reported = []
    monkeypatch.setattr(sys, "unraisablehook", reported.append)

    def slow_then_failing(event):
        time.sleep(0.3)  # the next event is queued meanwhile: no further signal wakes the thread
        if event["type"] == SHUTDOWN_DONE:
            raise RuntimeError("callback failed")
    recorder = listen(robot, slow_then_failing)
    assert lib.robot_shutdown(robot) == 0
    assert lib.robot_startup(robot, 6, DYNAMICS) == 0
    assert recorder.wait_for_type(STARTUP_DONE, 4)
    assert recorder.types() == [SHUTDOWN_DONE, STARTUP_DONE]
    assert wait_until(lambda: reported, 2)
    assert isinstance(reported[0].exc_value, RuntimeError)
    assert reported[0].exc_traceback is not None
    assert lib.get_robot_state(robot) is not None  # no error left set


def test_a_blocked_callable_never_holds_up_the_receive_thread(robot):
    release = threading.Event()
    recorder = listen(robot, lambda event: release.wait(10))
    try:
        assert lib.robot_shutdown(robot) == 0
        assert recorder.wait_for_type(SHUTDOWN_DONE)
        # Startup waits for its event on the receive thread while the callable is blocked.
        started_at = time.monotonic()
        assert lib.robot_startup(robot, 6, DYNAMICS) == 0
        assert time.monotonic() - started_at < 5.0
        assert lib.get_robot_state(robot) is not None
    finally:
        release.set()
    assert recorder.wait_for_type(STARTUP_DONE)


def test_events_and_move_stop_during_a_blocking_move(fresh, own_controller):
    sim = own_controller(travel_scale=5.0)
    mover, watcher = started(sim), open_context(sim.port)
    recorder = listen(watcher)
    move_done = threading.Event()
    seen = {}

    def stop_button():
        wait_until(lambda: lib.get_robot_state(mover) == 1, 5)
        assert lib.robot_shutdown(watcher) == 0
        seen["delivered"] = recorder.wait_for_type(SHUTDOWN_DONE, 3)
        seen["during_move"] = not move_done.is_set()
        seen["stop"] = lib.move_stop(mover)

    button = threading.Thread(target=stop_button)
    started_at = time.monotonic()
    button.start()
    result = lib.move_joint(mover, FAR)  # 5 s of travel if nobody stops it
    elapsed = time.monotonic() - started_at
    move_done.set()
    button.join(5)
    assert not button.is_alive()
    assert seen == {"delivered": True, "during_move": True, "stop": 0}
    assert result != 0 and elapsed < 4.0
    close_context(mover)
    close_context(watcher)


# A blocking move on the main thread, and one on another thread (of another counterpart), are
# under way when the child gets SIGINT; the handler is Python's own or one that returns. A
# script may catch the interrupt and start its next move at once.
CTRL_C = r"""
import signal, threading
from conftest import lib, open_context, wait_until

FAR = (1.0, 0.0, 0.0, 0.0, 0.0, 0.0)
NEXT = (0.3, 0.0, 0.0, 0.0, 0.0, 0.0)
mover, other = open_context(int(sys.argv[1])), open_context(int(sys.argv[2]))
if sys.argv[4] == "returns":
    signal.signal(signal.SIGINT, lambda *_: print(
        "result: handled while moving", lib.get_robot_state(mover) == 1, flush=True))
others = []
threading.Thread(target=lambda: others.append(lib.move_joint(other, FAR))).start()

def mark_when_moving():
    if wait_until(lambda: lib.get_robot_state(mover) == lib.get_robot_state(other) == 1, 10):
        open(sys.argv[3], "w").close()
threading.Thread(target=mark_when_moving).start()
try:
    print("result: move", lib.move_joint(mover, FAR), flush=True)
except KeyboardInterrupt:
    print("result: KeyboardInterrupt", flush=True)
    if sys.argv[4] == "moves on":
        print("result: next move", lib.move_joint(mover, NEXT), flush=True)
wait_until(lambda: others, 10)
print("result: other move", others, flush=True)
lib.uninitialize()
"""


# The arm that moves on brakes for 50 ms: the stop's event comes after the next move began.
@pytest.mark.parametrize("handler, travel, expected, arm", [
    ("raises", 20.0, ["KeyboardInterrupt"], "stopped midway"),
    ("returns", 2.0, ["handled while moving True", "move 0"], "at the target"),
    ("moves on", 2.0, ["KeyboardInterrupt", "next move 0"], "at the next target"),
])
def test_ctrl_c_during_a_blocking_move(own_controller, handler, travel, expected, arm):
    sim = own_controller(travel_scale=travel, brake_ms=50 if handler == "moves on" else 0)
    other = own_controller(travel_scale=3.0)
    watcher = open_context(sim.port)
    start = lib.get_current_waypoint(watcher)["joint"][0]
    marker = os.path.join(WORKDIR, "moving-" + handler)
    proc = child(CTRL_C, sim.port, other.port, marker, handler)
    assert wait_until(lambda: os.path.exists(marker) or proc.poll() is not None, 10)
    proc.send_signal(signal.SIGINT)
    rc, results, err = wait_child(proc, 30)
    assert rc == 0, err[-2000:]
    assert results == expected + ["other move [0]"]
    # Only a stop that reached the counterpart leaves its arm short of the target.
    end = lib.get_current_waypoint(watcher)["joint"][0]
    assert ("at the target" if end == FAR[0] else "at the next target" if end == 0.3
            else "stopped midway" if start < end < FAR[0] else end) == arm
    close_context(watcher)


def test_uninitialize_from_inside_a_callable_then_restart(fresh, controller):
    results = []
    before = native_threads()
    h = started(controller)
    assert lib.set_robot_event_callback(h, lambda event: results.append(lib.uninitialize())) == 0
    assert lib.robot_shutdown(h) == 0
    assert wait_until(lambda: results, 5) == [0]
    assert lib.get_login_status(h) is None
    assert wait_until(lambda: native_threads() <= before, 3)
    h = started(controller)
    recorder = listen(h)
    assert lib.robot_shutdown(h) == 0
    assert recorder.wait_for_type(SHUTDOWN_DONE)
    close_context(h)


def test_events_from_two_busy_contexts_are_all_delivered_in_order(robot, controller):
    other = open_context(controller.port)
    recorders = {h: listen(h) for h in (robot, other)}

    def shut_down_often(handle):
        for _ in range(30):
            assert lib.robot_shutdown(handle) == 0
    threads = [threading.Thread(target=shut_down_often, args=(h,)) for h in recorders]
    for thread in threads:
        thread.start()
    for thread in threads:
        thread.join(30)
    assert not any(thread.is_alive() for thread in threads)
    for recorder in recorders.values():
        assert wait_until(lambda: len(recorder.types()) >= 30, 5)
        assert recorder.types() == [SHUTDOWN_DONE] * 30
    close_context(other)


def test_destroying_a_context_while_its_move_blocks(fresh, own_controller):
    mover = started(own_controller(travel_scale=5.0))
    outcome = {}
    thread = threading.Thread(target=lambda: outcome.update(result=lib.move_joint(mover, FAR)))
    thread.start()
    assert wait_until(lambda: lib.get_robot_state(mover) == 1, 5)
    assert lib.destory_context(mover) == 0
    thread.join(4)
    assert not thread.is_alive()
    assert outcome["result"] != 0
