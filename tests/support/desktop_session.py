"""A desktop of one test's own, driven the way assistive technology drives it: Xvfb, a private
session bus, the AT-SPI bus with its registry, and on request a window manager. Programs started
through the session find them all; the test process itself joins them when it calls join() before
importing pyatspi. Keys are typed through the X server's test extension, as a keyboard would."""

import os
import shutil
import subprocess
import tempfile
import time

# A bus with no service directories: nothing the machine has installed is started on it.
BUS_CONFIGURATION = """<busconfig><type>session</type><listen>unix:path={path}</listen>
<auth>EXTERNAL</auth><policy context="default"><allow send_destination="*" eavesdrop="true"/>
<allow eavesdrop="true"/><allow own="*"/></policy></busconfig>"""

BUS_LAUNCHER = "/usr/libexec/at-spi-bus-launcher"
REGISTRY = "/usr/libexec/at-spi2-registryd"


# Items report the focus as their container's current item even while the container lacks it.
ITEMS = ("ROLE_LIST_ITEM", "ROLE_TABLE_CELL", "ROLE_PAGE_TAB")


class DesktopSession:
    def __init__(self, window_manager=False):
        self.window_manager = window_manager
        self.folder = tempfile.mkdtemp(prefix="dravik-desktop-")
        self.processes = []
        self.environment = {k: v for k, v in os.environ.items() if not k.startswith(("XDG_", "DBUS_", "AT_SPI"))}

    def __enter__(self):
        try:
            self._start()
        except BaseException:
            self.__exit__(None, None, None)
            raise
        return self

    def __exit__(self, *exception):
        for process in reversed(self.processes):
            if process.poll() is None:
                process.terminate()
                try:
                    process.wait(10)
                except subprocess.TimeoutExpired:
                    process.kill()
                    process.wait()
        shutil.rmtree(self.folder, ignore_errors=True)

    def start(self, arguments, **options):
        """Starts a program on the session's display, buses and folders; stopped at the end."""
        process = subprocess.Popen(arguments, env=self.environment, **options)
        self.processes.append(process)
        return process

    def join(self):
        """Points this process at the session, so that pyatspi, imported afterwards, finds it."""
        os.environ.clear()
        os.environ.update(self.environment)

    def control(self, programs, role, name, seconds=60, states=()):
        """Waits for the control of that role ("PUSH_BUTTON") and accessible name, in all of
        `states` ("ENABLED"), in the tree of the first of `programs` (application names) that shows
        one; after join()."""
        import pyatspi

        wanted = getattr(pyatspi, "ROLE_" + role)
        required = [getattr(pyatspi, "STATE_" + state) for state in states]

        def matches(accessible):
            held = accessible.getState()
            return accessible.getRole() == wanted and accessible.name == name and all(map(held.contains, required))

        deadline = time.monotonic() + seconds
        while time.monotonic() < deadline:
            for application in pyatspi.Registry.getDesktop(0):
                if application is not None and application.name in programs:
                    found = pyatspi.findDescendant(application, matches)
                    if found is not None:
                        return found
            time.sleep(0.2)
        raise AssertionError("no %s %r %s in the accessibility tree of %s" % (role, name, states, " or ".join(programs)))

    def focus(self, programs):
        """The (role name, accessible name) of the control with the keyboard focus, and of its
        current item if it has items, in the first of `programs` that has the focus; after join()."""
        import pyatspi
        from gi.repository import GLib

        items = {getattr(pyatspi, role) for role in ITEMS}

        def holds(accessible):
            return accessible.getState().contains(pyatspi.STATE_FOCUSED) and (
                accessible.getRole() not in items or holds(accessible.parent))

        for application in pyatspi.Registry.getDesktop(0):
            try:
                if application is not None and application.name in programs:
                    focused = pyatspi.findAllDescendants(application, holds)
                    if focused:
                        return [(accessible.getRoleName(), accessible.name) for accessible in focused]
            except GLib.GError:
                return []  # a control went away while it was read: ask again
        return []

    def wait_for_focus(self, programs, control, seconds=30):
        deadline = time.monotonic() + seconds
        while control not in self.focus(programs):
            if time.monotonic() > deadline:
                raise AssertionError("the focus is on %s, not on %s" % (self.focus(programs), control))
            time.sleep(0.1)

    def keys(self, *names):
        """Presses keys as xdotool names them ("Tab", "ctrl+d") on whatever window has the focus."""
        subprocess.run(["xdotool", "key", "--delay", "60"] + list(names), env=self.environment, check=True)

    def type(self, text):
        subprocess.run(["xdotool", "type", "--delay", "60", text], env=self.environment, check=True)

    def _start(self):
        for name in ("runtime", "config", "data", "cache", "home"):
            os.mkdir(os.path.join(self.folder, name), 0o700)
        self.environment.update(
            XDG_RUNTIME_DIR=os.path.join(self.folder, "runtime"),
            XDG_CONFIG_HOME=os.path.join(self.folder, "config"),
            XDG_DATA_HOME=os.path.join(self.folder, "data"),
            XDG_CACHE_HOME=os.path.join(self.folder, "cache"),
            HOME=os.path.join(self.folder, "home"),
            QT_QPA_PLATFORM="xcb",
            QT_LINUX_ACCESSIBILITY_ALWAYS_ON="1",
            LANG="C.UTF-8",
        )
        self.environment.pop("DISPLAY", None)
        self.environment.pop("WAYLAND_DISPLAY", None)

        # Xvfb writes the number of a display it could open to the descriptor it is given.
        reader, writer = os.pipe()
        self.start(["Xvfb", "-displayfd", str(writer), "-screen", "0", "1280x800x24", "-nolisten", "tcp"],
                   pass_fds=(writer,), stderr=subprocess.DEVNULL)
        os.close(writer)
        with os.fdopen(reader) as display:
            number = display.readline().strip()
        if not number:
            raise RuntimeError("Xvfb did not start")
        self.environment["DISPLAY"] = ":" + number
        if self.window_manager:
            self._start_window_manager()

        configuration = os.path.join(self.folder, "bus.conf")
        with open(configuration, "w") as file:
            file.write(BUS_CONFIGURATION.format(path=os.path.join(self.folder, "bus")))
        bus = self.start(["dbus-daemon", "--config-file=" + configuration, "--print-address", "--nofork"],
                         stdout=subprocess.PIPE)
        address = bus.stdout.readline().decode().strip()
        if not address:
            raise RuntimeError("the session bus did not start")
        self.environment["DBUS_SESSION_BUS_ADDRESS"] = address

        self.start([BUS_LAUNCHER, "--launch-immediately"], stderr=subprocess.DEVNULL)
        self._wait_for_name("org.a11y.Bus")
        self.start([REGISTRY], stderr=subprocess.DEVNULL)

    def _start_window_manager(self):
        ready = os.path.join(self.folder, "window-manager-ready")
        self.start(["openbox", "--sm-disable", "--startup", "touch " + ready],
                   stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        deadline = time.monotonic() + 20
        while not os.path.exists(ready):
            if time.monotonic() > deadline:
                raise RuntimeError("the window manager did not start")
            time.sleep(0.05)

    def _wait_for_name(self, name):
        ask = ["dbus-send", "--session", "--print-reply", "--dest=org.freedesktop.DBus", "/org/freedesktop/DBus",
               "org.freedesktop.DBus.NameHasOwner", "string:" + name]
        deadline = time.monotonic() + 20
        while time.monotonic() < deadline:
            reply = subprocess.run(ask, env=self.environment, capture_output=True, text=True)
            if "boolean true" in reply.stdout:
                return
            time.sleep(0.05)
        raise RuntimeError(name + " did not appear on the session bus")
