"""The real program driven the way assistive technology drives it, in a desktop session of the
test's own, against the demo session's ProFTPD and its saved "Demo server" profile.

With no further argument the controls are found by role and accessible name and pressed: the
program connects, shows the server's files and disconnects, and SIGTERM ends it cleanly.

With "keyboard" (and "window-manager", for a desktop's window manager) only keys drive it, and the
accessibility tree only tells where the focus is and what the window shows: Tab to Connect and
Return, into a folder by typing its name, a download by its shortcut into the local folder, a new
folder and its new name each typed into a dialog after which the keys must reach the window again,
and Ctrl+Q ends the program."""

import os
import signal
import sys
import tempfile
import time

from desktop_session import DesktopSession

PROGRAM_NAMES = ("dravik", "Dravik FTP")
NOTES = b"# Notes\n\n- Try a download, then an upload.\n"


def press_buttons(session, demo_process):
    session.control(PROGRAM_NAMES, "PUSH_BUTTON", "Connect").queryAction().doAction(0)
    session.control(PROGRAM_NAMES, "TABLE_CELL", "Welcome.txt")
    session.control(PROGRAM_NAMES, "PUSH_BUTTON", "Disconnect").queryAction().doAction(0)
    session.control(PROGRAM_NAMES, "PUSH_BUTTON", "Connect")
    demo_process.send_signal(signal.SIGTERM)
    return demo_process.wait(60)


def tab_to(session, control):
    for _ in range(30):
        if control in session.focus(PROGRAM_NAMES):
            return
        session.keys("shift+Tab")
        time.sleep(0.3)
    raise AssertionError("Shift+Tab never reached %s" % (control,))


def type_ahead(session, name):
    # Letters typed within the table's pause of 0.4 s of the last ones would extend that search.
    time.sleep(0.5)
    session.type(name)
    session.wait_for_focus(PROGRAM_NAMES, ("table cell", name))


def answer_prompt(session, field, text):
    session.wait_for_focus(PROGRAM_NAMES, ("text", field))
    session.keys("ctrl+a")
    session.type(text)
    session.keys("Return")


def wait_for_file(path, content, seconds=30):
    deadline = time.monotonic() + seconds
    while not (os.path.exists(path) and open(path, "rb").read() == content):
        if time.monotonic() > deadline:
            raise AssertionError("%s did not arrive" % path)
        time.sleep(0.2)


def use_keys(session, demo_process):
    session.control(PROGRAM_NAMES, "PUSH_BUTTON", "Connect")
    tab_to(session, ("push button", "Connect"))
    session.keys("Return")
    session.control(PROGRAM_NAMES, "TABLE_CELL", "Documents")
    tab_to(session, ("table", "Server"))
    type_ahead(session, "Documents")
    session.keys("Return")
    session.control(PROGRAM_NAMES, "TABLE_CELL", "Notes.md")
    type_ahead(session, "Notes.md")
    session.keys("ctrl+d")
    # The local pane shows the session's home, which has no Downloads folder.
    wait_for_file(os.path.join(session.environment["HOME"], "Notes.md"), NOTES)

    # The server's commands wait for the download's end.
    session.control(PROGRAM_NAMES, "PUSH_BUTTON", "New folder on server", states=("ENABLED",))
    session.keys("F7")
    answer_prompt(session, "Folder name", "Drafts")
    session.control(PROGRAM_NAMES, "TABLE_CELL", "Drafts")
    # The dialog has closed: the keys go to the table again, on the folder just made.
    session.wait_for_focus(PROGRAM_NAMES, ("table cell", "Drafts"))
    session.keys("F2")
    answer_prompt(session, "New name", "Final")
    session.control(PROGRAM_NAMES, "TABLE_CELL", "Final")
    session.wait_for_focus(PROGRAM_NAMES, ("table cell", "Final"))
    session.keys("ctrl+q")
    return demo_process.wait(60)


def main(demo, program, *mode):
    drive = use_keys if "keyboard" in mode else press_buttons
    with DesktopSession("window-manager" in mode) as session, \
            tempfile.TemporaryDirectory(prefix="dravik-demo-") as data:
        demo_process = session.start([demo, "--data", data, "--keyring-on-this-bus", program])
        session.join()
        code = drive(session, demo_process)
        assert code == 0, "the session ended with %d" % code


if __name__ == "__main__":
    main(*sys.argv[1:])
