# Reads Kelvo's accessibility tree over AT-SPI as a screen reader does: finds the start button and,
# once a project is chosen through its menu, presses it; then finds the elapsed time and hears the
# focus event the start raises. Each step is retried until it holds or the whole run times out.
# Exits 0 when everything was seen.
import subprocess
import sys

import pyatspi
from gi.repository import GLib

waiting_for = [None]  # the step not yet seen
heard = []
menus = []  # a popup menu is no child of the application: it is met through its showing event
failures = []


def find(node, test, depth=0):
    if node is None or depth > 40:
        return None
    try:
        if test(node):
            return node
        for i in range(node.childCount):
            found = find(node.getChildAtIndex(i), test, depth + 1)
            if found is not None:
                return found
    except Exception:  # a child gone while walking: the next try walks again
        return None
    return None


def kelvo():
    desktop = pyatspi.Registry.getDesktop(0)
    for i in range(desktop.childCount):
        app = desktop.getChildAtIndex(i)
        if app is not None and app.name == "Kelvo":
            return app
    return None


def has(node, state):
    return node.getState().contains(state)


def showing(name, role):
    return find(kelvo(), lambda n: n.name == name and n.getRole() == role
                and has(n, pyatspi.STATE_SHOWING))


def press(node, action="Press"):
    act = node.queryAction()
    for i in range(act.nActions):
        if act.getName(i) == action:
            return act.doAction(i)
    return False


def start_button_found():
    return showing("Start timer", pyatspi.ROLE_PUSH_BUTTON) is not None


def project_menu_opened():
    chooser = showing("Project", pyatspi.ROLE_PUSH_BUTTON)
    return chooser is not None and press(chooser)


def project_chosen():
    item = find(menus[-1] if menus else None,
                lambda n: n.getRole() == pyatspi.ROLE_MENU_ITEM
                and n.name not in ("", "No Project") and has(n, pyatspi.STATE_ENABLED))
    return item is not None and press(item)


def timer_started():
    start = showing("Start timer", pyatspi.ROLE_PUSH_BUTTON)
    if start is None or not has(start, pyatspi.STATE_ENABLED):
        return False
    # An item pressed over AT-SPI leaves its menu open: Escape closes it, as a user would.
    if has(menus[-1], pyatspi.STATE_SHOWING):
        subprocess.run(["xdotool", "key", "Escape"], check=False)
        return False
    # Focused first, as a keyboard user's would be: the start then hands the focus on.
    return press(start, "SetFocus") and press(start)


def elapsed_time_shown():
    elapsed = showing("Elapsed time", pyatspi.ROLE_LABEL)
    return elapsed is not None and ":" in elapsed.description


def start_heard():
    return "Stop timer" in heard


STEPS = [
    (start_button_found, 'a showing push button named "Start timer"'),
    (project_menu_opened, 'the "Project" chooser pressed'),
    (project_chosen, "a project chosen from its menu"),
    (timer_started, '"Start timer" enabled, the menu closed, start pressed'),
    (elapsed_time_shown, 'a showing "Elapsed time" with the time as its description'),
    (start_heard, 'the focus event on "Stop timer" after the start'),
]


def run_step(index):
    step, what = STEPS[index]
    waiting_for[0] = what
    try:
        done = step()
    except Exception as error:  # the object went away between finding and asking: try again
        print("retry: %s (%s)" % (what, error))
        done = False
    if not done:
        return True  # called again by the timeout
    print("ok: " + what)
    if index + 1 == len(STEPS):
        pyatspi.Registry.stop()
    else:
        GLib.timeout_add(100, run_step, index + 1)
    return False


def on_focus(event):
    if event.detail1 == 1:
        heard.append(event.source.name)


def on_showing(event):
    if event.detail1 == 1 and event.source.getRole() in (pyatspi.ROLE_MENU, pyatspi.ROLE_POPUP_MENU):
        menus.append(event.source)


def give_up():
    failures.append("never seen: %s (focus events heard: %s)" % (waiting_for[0], heard))
    pyatspi.Registry.stop()
    return False


pyatspi.setCacheLevel(0)  # screens come and go: never a stale child
pyatspi.Registry.registerEventListener(on_focus, "object:state-changed:focused")
pyatspi.Registry.registerEventListener(on_showing, "object:state-changed:showing")
GLib.timeout_add(200, run_step, 0)
GLib.timeout_add_seconds(90, give_up)
pyatspi.Registry.start()
for failure in failures:
    print("FAIL: " + failure)
sys.exit(1 if failures else 0)
