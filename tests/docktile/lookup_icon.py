"""lookup_icon.py QT_PROBE SIZE...

Looks the application's icon up as a GTK panel does, with GTK 3's icon theme, and prints for each
size "gtk SIZE FILE GREY": the file found and the grey level at the icon's centre as drawn from it
at that size (-1 and "-" when nothing is found); then the same from Qt through QT_PROBE. Run on a
display, in the environment of the session under test."""

import subprocess
import sys

import gi

gi.require_version("Gtk", "3.0")
from gi.repository import Gtk  # noqa: E402


def centre_grey(pixbuf):
    x, y = pixbuf.get_width() // 2, pixbuf.get_height() // 2
    offset = y * pixbuf.get_rowstride() + x * pixbuf.get_n_channels()
    red, green, blue = pixbuf.get_pixels()[offset : offset + 3]
    # As Qt's qGray weighs them.
    return (red * 11 + green * 16 + blue * 5) // 32


probe, sizes = sys.argv[1], sys.argv[2:]
theme = Gtk.IconTheme.get_default()
for size in sizes:
    info = theme.lookup_icon("app.dravik.application", int(size), 0)
    found = (info.get_filename(), centre_grey(info.load_icon())) if info else ("-", -1)
    print("gtk", size, *found, flush=True)
subprocess.run([probe, *sizes], check=True)
