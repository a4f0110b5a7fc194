# SPDX-License-Identifier: GPL-3.0-or-later
"""The program as a screen reader sees it, through the AT-SPI accessibility bus: the role and
name of every control, the values of the scroll bars, the texts of the boxes (also after a
change), the order in which Tab moves the focus, and the progress of a long drawing."""
import os
import signal
import subprocess
import sys
import time

import pyatspi

PROGRAM = sys.argv[1]

# Every control in tab order, from the window's layout table: (role, name), and whether Tab
# reaches it. Each kind of control is seen as the role it acts as.
ROLES = {"picturebox": "canvas", "swatch": "push button", "button": "push button",
         "textbox": "text", "scrollbar": "scroll bar", "label": "label"}
CONTROLS = []
for line in subprocess.run([sys.argv[2]], capture_output=True, text=True,
                           check=True).stdout.splitlines():
    kind, name = line.split("\t")
    CONTROLS.append((ROLES[kind], name, kind != "label"))
# (minimum, maximum, value) of the scroll bars, and the initial texts of the boxes.
BARS = {
    "Anzahl Punkte": (1, 2000, 200),
    "Größe Punkte": (1, 50, 12),
    "Radiuszunahme": (1, 180, 1),
    "Geschwindigkeit": (1, 400, 1),
    "Winkel": (0, 18000, 13750),
}
TEXTS = {
    "Anzahl Punkte": "200",
    "Größe Punkte": "2",
    "Radiuszunahme": "20",
    "Geschwindigkeit": "0",
    "Winkel": "13750",
    "Sonnenblume": "13750",
    "Statusanzeige": "Text1",
}

failures = []


def check(condition, message):
    if not condition:
        failures.append(message)
        print("FAIL:", message)


def start_display():
    # Xvfb picks a free display and writes its number once it accepts connections.
    server = subprocess.Popen(["Xvfb", "-displayfd", "1", "-screen", "0", "1280x1024x24",
                               "-nolisten", "tcp"], stdout=subprocess.PIPE,
                              stderr=subprocess.DEVNULL, text=True)
    number = server.stdout.readline().strip()
    if not number:
        sys.exit("no X display could be started")
    os.environ["DISPLAY"] = f":{number}"
    return server


def find_application(name, timeout=30, stop_early=None):
    end = time.time() + timeout
    while time.time() < end and (stop_early is None or stop_early.poll() is None):
        for app in pyatspi.Registry.getDesktop(0):
            if app is not None and app.name == name and app.childCount > 0:
                return app
        time.sleep(0.2)
    return None


def descendants(node):
    for child in node:
        if child is None:
            continue
        yield child
        yield from descendants(child)


def focused(app):
    for node in descendants(app):
        if node.getState().contains(pyatspi.STATE_FOCUSED):
            return node
    return None


def text_of(node):
    text = node.queryText()
    return text.getText(0, text.characterCount)


def wait_for(condition, timeout=5):
    end = time.time() + timeout
    while time.time() < end:
        if condition():
            return True
        time.sleep(0.1)
    return condition()


def main():
    display = start_display()
    # Its own process group, so that the bus daemon it starts ends with it.
    bus = subprocess.Popen(["/usr/libexec/at-spi-bus-launcher", "--launch-immediately"],
                           start_new_session=True, stdout=subprocess.DEVNULL,
                           stderr=subprocess.DEVNULL)
    time.sleep(0.5)
    environment = dict(os.environ, QT_LINUX_ACCESSIBILITY_ALWAYS_ON="1", QT_QPA_PLATFORM="xcb")
    # Now and then the first connection to a fresh Xvfb is refused; a program that could not
    # open its window is started again, up to three times.
    for attempt in range(3):
        program = subprocess.Popen([PROGRAM], env=environment, stdout=subprocess.DEVNULL,
                                   stderr=subprocess.PIPE, text=True)
        app = find_application("Quirlbild", stop_early=program)
        if app is not None:
            break
        program.kill()
        errors = program.communicate()[1]
        print(f"attempt {attempt + 1}: the program did not appear on the accessibility bus:\n"
              + errors[-2000:])
    try:
        if app is None:
            sys.exit("the program never appeared on the accessibility bus")
        # No window manager runs here: give the window the keyboard focus as one would.
        window_id = subprocess.run(["xdotool", "search", "--sync", "--onlyvisible", "--name",
                                    "^Quirlbild$"], capture_output=True, text=True,
                                   timeout=15).stdout.split()[0]
        subprocess.run(["xdotool", "windowfocus", "--sync", window_id], check=True, timeout=15)
        window = app[0]
        check(window.getRoleName() == "frame" and window.name == "Quirlbild",
              f"window: {window.getRoleName()} {window.name!r}")
        nodes = [node for node in descendants(window)]
        seen = [(node.getRoleName(), node.name) for node in nodes]
        print("tree:")
        for node in descendants(app):
            print("  ", node.getRoleName(), "|", node.name)
        for role, name, _ in CONTROLS:
            check((role, name) in seen, f"no {role} named {name!r}")
        check(len(nodes) == len(CONTROLS), f"{len(nodes)} accessible controls, not {len(CONTROLS)}")

        by_name = {}
        for node in nodes:
            by_name.setdefault((node.getRoleName(), node.name), node)
        for name, (low, high, value) in BARS.items():
            bar = by_name[("scroll bar", name)].queryValue()
            check((bar.minimumValue, bar.maximumValue, bar.currentValue) == (low, high, value),
                  f"bar {name}: {bar.minimumValue} {bar.maximumValue} {bar.currentValue}")
        for name, text in TEXTS.items():
            check(text_of(by_name[("text", name)]) == text, f"text {name}: {text_of(by_name[('text', name)])!r}")

        # The drawing surface's description tells the picture.
        canvas = by_name[("canvas", "Zeichenfläche")]
        described = "Punkte in drei Farben, Winkel 137,50°, Größe 2, Radiuszunahme 20, Hintergrund weiß"
        print("description at start-up:", repr(canvas.description))
        check(canvas.description == "600 " + described, f"description {canvas.description!r}")

        # A change through the bar's value reaches its box as the program writes it.
        by_name[("scroll bar", "Anzahl Punkte")].queryValue().currentValue = 201
        check(wait_for(lambda: text_of(by_name[("text", "Anzahl Punkte")]) == " 201"),
              f"after the bar moved, row 0 reads {text_of(by_name[('text', 'Anzahl Punkte')])!r}")
        check(by_name[("scroll bar", "Anzahl Punkte")].queryValue().currentValue == 201,
              "bar 0 did not take 201")
        check(wait_for(lambda: canvas.description == "603 " + described),
              f"description after row 0 became 201: {canvas.description!r}")
        print("description after row 0 = 201:", repr(canvas.description))
        by_name[("push button", "löschen")].queryAction().doAction(0)
        check(wait_for(lambda: canvas.description == "Leer, Hintergrund weiß"),
              f"description after löschen: {canvas.description!r}")
        print("description after löschen:", repr(canvas.description))

        # Focus: on the drawing surface at the start, then Tab through every focusable control
        # in tab order and round to the start again.
        expected = [(role, name) for role, name, tab in CONTROLS if tab]
        check(wait_for(lambda: focused(app) is not None), "nothing has the focus")
        def focused_control():
            node = focused(app)
            return (node.getRoleName(), node.name) if node else None

        order = [focused_control()]
        for _ in range(len(expected)):
            before = order[-1]
            subprocess.run(["xdotool", "key", "Tab"], check=True, timeout=15)
            # The focus moves when the program has handled the key; a loaded machine is slow.
            wait_for(lambda: focused_control() not in (None, before), timeout=10)
            order.append(focused_control())
        print("focus order:", ", ".join(f"{o[0]} {o[1]}" if o else "none" for o in order))
        check(order == expected + [expected[0]], f"focus order {order}")

        # F1 opens the help window: its text reads out every key; Escape closes it.
        subprocess.run(["xdotool", "key", "F1"], check=True, timeout=15)
        def help_text():
            return next((node for node in descendants(app) if node.name == "Hilfetext"), None)
        check(wait_for(lambda: help_text() is not None, timeout=10), "F1 shows no help text")
        node = help_text()
        if node is not None:
            text = node.queryText().getText(0, -1)
            for named in ("Strg+C", "Strg+S", "Strg+Umschalt+S", "Escape", "Tab", "GPL"):
                check(named in text, f"the help text does not name {named}")
            subprocess.run(["xdotool", "key", "Escape"], check=True, timeout=15)
            check(wait_for(lambda: help_text() is None, timeout=10), "Escape leaves the help open")
        subprocess.run(["xdotool", "windowfocus", "--sync", window_id], check=True, timeout=15)

        # A drawing of seconds (row 1 = 3, row 2 = 0.0001, row 0 = 30000000, each pasted at once)
        # shows a progress bar along the surface whose button stops it; the status box then says so.
        subprocess.run(["xdotool", "windowsize", "--sync", window_id, "1040", "720"], timeout=15)
        def paste_into(name, text):
            subprocess.run(["xclip", "-selection", "clipboard"], input=text, text=True,
                           check=True, timeout=15)
            extents = by_name[("text", name)].queryComponent().getExtents(pyatspi.DESKTOP_COORDS)
            subprocess.run(["xdotool", "mousemove", str(extents.x + extents.width // 2),
                            str(extents.y + extents.height // 2), "click", "1", "key", "ctrl+a",
                            "key", "ctrl+v"], check=True, timeout=15)
            check(wait_for(lambda: text_of(by_name[("text", name)]) == text, timeout=30),
                  f"{name} reads {text_of(by_name[('text', name)])!r}, not {text!r}")
        paste_into("Größe Punkte", "3")
        paste_into("Radiuszunahme", "0.0001")
        paste_into("Anzahl Punkte", "30000000")
        def progress_bar():
            return next((node for node in descendants(app)
                         if node.getRoleName() == "progress bar"), None)
        check(wait_for(lambda: progress_bar() is not None, timeout=20), "no progress bar shown")
        bar = progress_bar()
        cancel = None
        if bar is not None:
            cancel = next((node for node in bar.parent
                           if node.getRoleName() == "push button" and node.name == "Abbrechen"),
                          None)
        check(cancel is not None, "no button to stop the drawing")
        if cancel is not None:
            # A screen reader sets a bar while the drawing runs: its handler waits for the
            # drawing to end, and then writes the bar's value into the row and draws anew (a
            # short drawing: 30 points a band).
            by_name[("scroll bar", "Anzahl Punkte")].queryValue().currentValue = 30
            check(text_of(by_name[("text", "Anzahl Punkte")]) == "30000000",
                  "the bar's handler ran inside the drawing")
            cancel.queryAction().doAction(0)
            check(wait_for(lambda: text_of(by_name[("text", "Statusanzeige")])
                           == "Zeichnung abgebrochen", timeout=10),
                  f"status after stopping: {text_of(by_name[('text', 'Statusanzeige')])!r}")
            check(wait_for(lambda: text_of(by_name[("text", "Anzahl Punkte")]) == " 30",
                           timeout=30),
                  f"after the drawing, row 0 reads {text_of(by_name[('text', 'Anzahl Punkte')])!r}")
            check(program.poll() is None, "the program ended")
            check(wait_for(lambda: progress_bar() is None, timeout=30), "the progress bar stays")
    finally:
        program.kill()
        os.killpg(bus.pid, signal.SIGTERM)
        display.terminate()  # a killed server would leave its lock behind
        display.wait()
    count = 1
    print(f"{count - (1 if failures else 0)} passed, {1 if failures else 0} failed")
    sys.exit(1 if failures else 0)


main()
