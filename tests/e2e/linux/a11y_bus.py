"""Answers org.a11y.Bus on the session bus with the address of our own
accessibility bus.

at-spi-bus-launcher would do this, but the bus it starts admits only its own
user, and one check runs the program as an unprivileged user while the driver
reads it as root. Qt 6.4 finds the accessibility bus only through this
service (its root-window fallback registers nothing), so the driver starts
this stand-in on a session bus both users may use.

Usage: python3 a11y_bus.py ADDRESS   (DBUS_SESSION_BUS_ADDRESS must be set)
Prints "ready" once the name is owned, then serves until terminated.
"""

import signal
import sys

import gi

gi.require_version("Gio", "2.0")
from gi.repository import Gio, GLib  # noqa: E402

INTERFACES = """
<node>
  <interface name="org.a11y.Bus">
    <method name="GetAddress"><arg type="s" direction="out"/></method>
  </interface>
  <interface name="org.a11y.Status">
    <property name="IsEnabled" type="b" access="readwrite"/>
    <property name="ScreenReaderEnabled" type="b" access="readwrite"/>
  </interface>
</node>
"""


def main():
    address = sys.argv[1]
    loop = GLib.MainLoop()
    node = Gio.DBusNodeInfo.new_for_xml(INTERFACES)
    connection = Gio.bus_get_sync(Gio.BusType.SESSION, None)

    def on_call(_conn, _sender, _path, _iface, method, _params, invocation):
        if method == "GetAddress":
            invocation.return_value(GLib.Variant("(s)", (address,)))
        else:
            invocation.return_dbus_error("org.freedesktop.DBus.Error.UnknownMethod", method)

    def on_get(_conn, _sender, _path, _iface, _prop):
        return GLib.Variant("b", True)

    def on_set(*_args):
        return True

    for interface in node.interfaces:
        connection.register_object("/org/a11y/bus", interface, on_call, on_get, on_set)

    def acquired(*_args):
        print("ready", flush=True)

    def lost(*_args):
        print("name lost", file=sys.stderr, flush=True)
        loop.quit()

    Gio.bus_own_name_on_connection(connection, "org.a11y.Bus", Gio.BusNameOwnerFlags.NONE, acquired, lost)
    GLib.unix_signal_add(GLib.PRIORITY_DEFAULT, signal.SIGTERM, loop.quit)
    loop.run()


if __name__ == "__main__":
    main()
