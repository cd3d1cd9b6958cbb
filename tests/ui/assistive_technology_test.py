"""A screen reader's path through an alert: find the program on the AT-SPI bus, find the button by
its role and accessible name, press it, and see the program receive that answer."""

import subprocess
import sys
import time

from desktop_session import DesktopSession


def find_button(pyatspi, application_name, button_name):
    def is_button(accessible):
        return accessible.getRole() == pyatspi.ROLE_PUSH_BUTTON and accessible.name == button_name

    for application in pyatspi.Registry.getDesktop(0):
        if application is not None and application.name == application_name:
            return pyatspi.findDescendant(application, is_button)
    return None


def main(probe):
    with DesktopSession() as session:
        program = session.start([probe], stdout=subprocess.PIPE, text=True)
        session.join()
        import pyatspi

        button = None
        deadline = time.monotonic() + 30
        while button is None and time.monotonic() < deadline and program.poll() is None:
            button = find_button(pyatspi, "alert-probe", "Quit")
            time.sleep(0.1)
        if button is None:
            print("no button 'Quit' in the program's accessibility tree")
            return 1
        button.queryAction().doAction(0)
        answer = program.communicate(timeout=30)[0].strip()
        if answer != "answer 1":
            print("the program received %r" % answer)
            return 1
        return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1]))
