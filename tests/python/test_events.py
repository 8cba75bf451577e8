"""Robot events delivered to Python callables on the robot-event thread."""
import gc
import os
import sys
import threading
import time
import weakref

import pytest

from conftest import Recorder, close_context, lib, open_context, wait_until
from test_methods import DYNAMICS

STARTUP_DONE, SHUTDOWN_DONE, AT_TARGET, STATE_CHANGED, LINK_LOST = 20, 21, 22, 25, 27
FAR = (1.0, 0.0, 0.0, 0.0, 0.0, 0.0)
HOME = (0.0,) * 6


def native_threads():
    return len(os.listdir("/proc/self/task"))


@pytest.fixture
def fresh():
    """The event thread stopped before and after the test."""
    lib.uninitialize()
    yield
    lib.uninitialize()


def test_set_robot_event_callback_refuses_what_is_not_callable(robot):
    with pytest.raises(TypeError, match="parameter must be callable"):
        lib.set_robot_event_callback(robot, 5)
    assert lib.set_robot_event_callback(31999, print) == 1002
    assert lib.set_robot_event_callback(robot, print) == 0


def test_link_loss_reaches_the_callable_as_a_dict(fresh, own_controller):
    sim = own_controller()
    assert lib.initialize() == 0
    h = open_context(sim.port)
    recorder = Recorder()
    assert lib.set_robot_event_callback(h, recorder) == 0
    sim.stop()
    assert recorder.wait_for_type(LINK_LOST)
    event = recorder.events[recorder.types().index(LINK_LOST)]
    assert list(event) == ["type", "code", "content"]
    assert isinstance(event["code"], int) and isinstance(event["content"], str)
    assert threading.get_ident() not in recorder.threads
    lib.destory_context(h)


def test_arrival_and_state_events_are_not_delivered(robot, trace):
    recorder = Recorder()
    assert lib.set_robot_event_callback(robot, recorder) == 0
    assert lib.move_joint(robot, (0.05,) * 6) == 0
    assert lib.move_stop(robot) == 0
    assert lib.robot_shutdown(robot) == 0
    assert recorder.wait_for_type(SHUTDOWN_DONE)
    # The queue is in arrival order, so arrival and stop events would have come first.
    assert recorder.types() == [SHUTDOWN_DONE]
    content = recorder.events[0]["content"]
    assert trace.has("INFO", "emit event type:21 code:0 str:%s, rshd=%d" % (content, robot))
    assert trace.has("INFO", "call event_callback, type:21 code:0 str:%s" % content)
    assert not trace.has("INFO", "emit event type:22 code:0 str:at target position, rshd=%d"
                         % robot)


def test_a_second_registration_replaces_and_releases_the_first(robot):
    def first(event):
        calls.append(("first", event["type"]))
    calls = []
    first_ref = weakref.ref(first)
    assert lib.set_robot_event_callback(robot, first) == 0
    second = Recorder()
    assert lib.set_robot_event_callback(robot, second) == 0
    del first
    gc.collect()
    assert first_ref() is None
    assert lib.robot_shutdown(robot) == 0
    assert second.wait_for_type(SHUTDOWN_DONE)
    assert calls == []


def test_initialize_twice_starts_one_thread(fresh):
    before = native_threads()
    assert lib.initialize() == 0
    assert lib.initialize() == 0
    assert native_threads() == before + 1
    assert lib.uninitialize() == 0
    assert wait_until(lambda: native_threads() <= before, 2)


def test_uninitialize_without_thread_keeps_registrations(fresh, controller):
    h = open_context(controller.port)

    def callback(event):
        pass
    ref = weakref.ref(callback)
    assert lib.set_robot_event_callback(h, callback) == 0
    del callback
    assert lib.uninitialize() == 0
    assert ref() is not None
    assert lib.initialize() == 0
    assert lib.uninitialize() == 0
    gc.collect()
    assert ref() is None


def test_uninitialize_returns_promptly_with_the_thread_running(fresh, controller):
    assert lib.initialize() == 0
    h = open_context(controller.port)
    assert lib.set_robot_event_callback(h, Recorder()) == 0
    started = time.monotonic()
    assert lib.uninitialize() == 0
    assert time.monotonic() - started < 2.0
    assert lib.get_login_status(h) is None


# 2.5 s outlasts the stopper's wait, so it gives up waiting, yet must not cancel the thread
# inside Python.
@pytest.mark.parametrize("seconds", [0.5, 2.5])
def test_uninitialize_while_a_callable_runs_waits_for_it_without_deadlock(fresh, controller,
                                                                          trace, seconds):
    entered = threading.Event()
    finished = threading.Event()

    def slow(event):
        entered.set()
        time.sleep(seconds)  # sleeps without the interpreter lock
        lib.get_robot_state(h)  # and calls back into the module
        finished.set()
    assert lib.initialize() == 0
    h = open_context(controller.port)
    assert lib.set_robot_event_callback(h, slow) == 0
    assert lib.robot_shutdown(h) == 0
    assert entered.wait(5)
    started = time.monotonic()
    assert lib.uninitialize() == 0
    assert finished.is_set()
    assert time.monotonic() - started < seconds + 2.0
    assert trace.has("INFO", "cancel robot event thread...") == (seconds > 2)


def test_a_callable_that_raises_is_reported_and_delivery_goes_on(robot, monkeypatch):
    reported = []
    monkeypatch.setattr(sys, "unraisablehook", lambda info: reported.append(info))

    def failing(event):
        if event["type"] == SHUTDOWN_DONE:
            raise RuntimeError("callback failed")
    recorder = Recorder(failing)
    assert lib.set_robot_event_callback(robot, recorder) == 0
    assert lib.robot_shutdown(robot) == 0
    assert lib.robot_startup(robot, 6, DYNAMICS) == 0
    assert recorder.wait_for_type(STARTUP_DONE)
    assert wait_until(lambda: reported, 2)
    assert isinstance(reported[0].exc_value, RuntimeError)
    assert reported[0].exc_traceback is not None
    assert lib.get_robot_state(robot) is not None  # no error left set


def test_events_behind_a_slow_callable_are_delivered_without_a_further_signal(robot):
    recorder = Recorder(lambda event: time.sleep(0.3))
    assert lib.set_robot_event_callback(robot, recorder) == 0
    assert lib.robot_shutdown(robot) == 0
    assert lib.robot_startup(robot, 6, DYNAMICS) == 0
    assert recorder.wait_for_type(STARTUP_DONE, 4)
    assert recorder.types() == [SHUTDOWN_DONE, STARTUP_DONE]


def test_a_blocked_callable_never_holds_up_the_receive_thread(robot):
    release = threading.Event()
    recorder = Recorder(lambda event: release.wait(10))
    assert lib.set_robot_event_callback(robot, recorder) == 0
    try:
        assert lib.robot_shutdown(robot) == 0
        assert recorder.wait_for_type(SHUTDOWN_DONE)
        # Startup waits for its event on the receive thread while the callable is blocked.
        started = time.monotonic()
        assert lib.robot_startup(robot, 6, DYNAMICS) == 0
        assert time.monotonic() - started < 5.0
        assert lib.get_robot_state(robot) is not None
    finally:
        release.set()
    assert recorder.wait_for_type(STARTUP_DONE)


def test_events_and_move_stop_during_a_blocking_move(fresh, own_controller):
    sim = own_controller(travel_scale=5.0)
    assert lib.initialize() == 0
    mover = open_context(sim.port)
    watcher = open_context(sim.port)
    recorder = Recorder()
    assert lib.set_robot_event_callback(watcher, recorder) == 0
    move_done = threading.Event()
    seen = {}

    def stop_button():
        wait_until(lambda: lib.get_robot_state(mover) == 1, 5)
        assert lib.robot_shutdown(watcher) == 0
        seen["delivered"] = recorder.wait_for_type(SHUTDOWN_DONE, 3)
        seen["during_move"] = not move_done.is_set()
        seen["stop"] = lib.move_stop(mover)

    button = threading.Thread(target=stop_button)
    started = time.monotonic()
    button.start()
    result = lib.move_joint(mover, FAR)  # 5 s of travel if nobody stops it
    elapsed = time.monotonic() - started
    move_done.set()
    button.join(5)
    assert not button.is_alive()
    assert seen == {"delivered": True, "during_move": True, "stop": 0}
    assert result != 0 and elapsed < 4.0
    close_context(mover)
    close_context(watcher)


def test_uninitialize_from_inside_a_callable_then_restart(fresh, controller):
    results = []

    def stopper(event):
        results.append(lib.uninitialize())
    before = native_threads()
    assert lib.initialize() == 0
    h = open_context(controller.port)
    assert lib.set_robot_event_callback(h, stopper) == 0
    assert lib.robot_shutdown(h) == 0
    assert wait_until(lambda: results, 5) == [0]
    assert lib.get_login_status(h) is None
    assert wait_until(lambda: native_threads() <= before, 3)
    assert lib.initialize() == 0
    h = open_context(controller.port)
    recorder = Recorder()
    assert lib.set_robot_event_callback(h, recorder) == 0
    assert lib.robot_shutdown(h) == 0
    assert recorder.wait_for_type(SHUTDOWN_DONE)
    close_context(h)


def test_events_from_two_busy_contexts_are_all_delivered_in_order(robot, controller):
    other = open_context(controller.port)
    recorders = {robot: Recorder(), other: Recorder()}
    for handle, recorder in recorders.items():
        assert lib.set_robot_event_callback(handle, recorder) == 0

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
    sim = own_controller(travel_scale=5.0)
    assert lib.initialize() == 0
    mover = open_context(sim.port)
    outcome = {}

    def move():
        outcome["result"] = lib.move_joint(mover, FAR)
    thread = threading.Thread(target=move)
    thread.start()
    assert wait_until(lambda: lib.get_robot_state(mover) == 1, 5)
    assert lib.destory_context(mover) == 0
    thread.join(4)
    assert not thread.is_alive()
    assert outcome["result"] != 0
