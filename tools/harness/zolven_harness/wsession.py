"""A private session bus and sway on its headless backend, with waybar's tray (a
StatusNotifierItem host) that can come later; D-Bus calls through python3-dbus, the tree of
windows through swaymsg, screenshots through grim."""

import json
import os
import pwd
import shutil
import subprocess
import time

from .basics import Failure, check, stop_process, wait_for

WATCHER = "org.kde.StatusNotifierWatcher"
ITEM_IFACE = "org.kde.StatusNotifierItem"
MENU_IFACE = "com.canonical.dbusmenu"

WAYBAR_CONFIG = {"layer": "top", "position": "top", "height": 32,
                 "modules-right": ["tray"], "tray": {"icon-size": 22, "spacing": 6}}
PANEL_STYLES = {"dark": "#000000", "light": "#ffffff"}

TOOLS = ("sway", "swaymsg", "waybar", "dbus-daemon", "grim")


def missing_tools():
    missing = [t for t in TOOLS if not shutil.which(t)]
    try:
        import dbus  # noqa: F401
    except ImportError:
        missing.append("python3-dbus")
    return missing


def session_bus(log):
    """A private session bus: (its dbus-daemon, its address)."""
    read_end, write_end = os.pipe()
    proc = subprocess.Popen(
        ["dbus-daemon", "--session", "--nofork", "--print-address=%d" % write_end],
        pass_fds=(write_end,), stdout=log, stderr=subprocess.STDOUT)
    os.close(write_end)
    with os.fdopen(read_end) as f:
        address = f.readline().strip()
    check(address, "dbus-daemon did not start")
    return proc, address


class WaylandSession:
    """sway with one 1280 x 1024 headless output and a session bus. sway refuses to run as
    root: then it runs as nobody in a folder of its own, and the rest (bus, waybar, the
    program) stays with the caller, who may reach nobody's socket."""

    def __init__(self, workdir):
        self.workdir = workdir
        self.procs = {}
        self.logs = []
        try:
            self._start()
        except BaseException:
            self.close()
            raise

    def _log(self, name):
        f = open(os.path.join(self.workdir, name + ".log"), "wb")
        self.logs.append(f)
        return f

    def _start(self):
        import dbus

        self.procs["dbus"], address = session_bus(self._log("dbus"))
        self.bus_address = address
        self.bus = dbus.bus.BusConnection(address)

        self.sway_dir = os.path.join(self.workdir, "sway-run")
        os.makedirs(self.sway_dir, mode=0o700)
        config = os.path.join(self.workdir, "sway.config")
        with open(config, "w") as f:
            f.write("xwayland disable\noutput HEADLESS-1 resolution 1280x1024 position 0 0\n"
                    "default_border none\ndefault_floating_border none\n")
        os.chmod(config, 0o644)
        env = {"PATH": os.environ.get("PATH", "/usr/bin:/bin"), "HOME": self.sway_dir,
               "XDG_RUNTIME_DIR": self.sway_dir, "WLR_BACKENDS": "headless",
               "WLR_LIBINPUT_NO_DEVICES": "1", "WLR_RENDERER": "pixman",
               "WLR_HEADLESS_OUTPUTS": "1", "LANG": "C.UTF-8"}
        command = ["sway", "-c", config]
        if os.getuid() == 0:
            nobody = pwd.getpwnam("nobody")
            os.chown(self.sway_dir, nobody.pw_uid, nobody.pw_gid)
            # nobody reads the config through the folders above it.
            for folder in (self.workdir,):
                os.chmod(folder, 0o755)
            command = ["setpriv", "--reuid", str(nobody.pw_uid), "--regid", str(nobody.pw_gid),
                       "--clear-groups", *command]
        self.procs["sway"] = subprocess.Popen(command, env=env, stdout=self._log("sway"),
                                              stderr=subprocess.STDOUT)

        def sockets():
            if self.procs["sway"].poll() is not None:
                raise Failure("sway ended at start (see sway.log)")
            names = os.listdir(self.sway_dir)
            ipc = [n for n in names if n.startswith("sway-ipc.")]
            wl = [n for n in names if n.startswith("wayland-") and not n.endswith(".lock")]
            return (ipc[0], wl[0]) if ipc and wl else None
        ipc, wl = wait_for("sway's sockets", sockets)
        self.ipc = os.path.join(self.sway_dir, ipc)
        self.wayland_display = os.path.join(self.sway_dir, wl)
        wait_for("sway to answer", lambda: self.swaymsg("-t", "get_version", check_rc=False))
        # What the program and waybar need; a folder of ours for their runtime files.
        self.run_dir = os.path.join(self.workdir, "client-run")
        os.makedirs(self.run_dir, mode=0o700)
        self.env = {"WAYLAND_DISPLAY": self.wayland_display,
                    "DBUS_SESSION_BUS_ADDRESS": self.bus_address}

    def swaymsg(self, *args, check_rc=True):
        result = subprocess.run(["swaymsg", "-s", self.ipc, *args], capture_output=True,
                                timeout=30)
        if result.returncode != 0:
            if check_rc:
                raise Failure(f"swaymsg {' '.join(args)}: {result.stdout.decode()}"
                              f"{result.stderr.decode()}")
            return None
        return result.stdout.decode()

    # The tray --------------------------------------------------------------------------------

    def start_panel(self, style="dark"):
        """waybar with its tray: the StatusNotifierWatcher and a host."""
        folder = os.path.join(self.workdir, "waybar-" + style)
        os.makedirs(folder, exist_ok=True)
        with open(os.path.join(folder, "config"), "w") as f:
            json.dump(WAYBAR_CONFIG, f)
        with open(os.path.join(folder, "style.css"), "w") as f:
            f.write("* { border: none; border-radius: 0; min-height: 0; }\n"
                    f"window#waybar {{ background: {PANEL_STYLES[style]}; }}\n"
                    "#tray { padding: 0 8px; }\n")
        env = dict(os.environ)
        env.update(self.env)
        env.update({"XDG_RUNTIME_DIR": self.run_dir, "HOME": folder, "LANG": "C.UTF-8",
                    "GDK_BACKEND": "wayland", "XDG_CONFIG_HOME": folder})
        env.pop("DISPLAY", None)
        self.procs["waybar"] = subprocess.Popen(
            ["waybar", "-c", os.path.join(folder, "config"), "-s",
             os.path.join(folder, "style.css")],
            env=env, stdout=self._log("waybar-" + style), stderr=subprocess.STDOUT)
        wait_for("waybar's StatusNotifierWatcher", lambda: self.has_name(WATCHER))
        wait_for("waybar's bar", lambda: "waybar" in (self.swaymsg("-t", "get_outputs") or "")
                 or self._layer_mapped(), timeout=20)

    def _layer_mapped(self):
        # Layer surfaces are not in the tree: the log says when the bar is up.
        path = [f.name for f in self.logs if "waybar" in f.name][-1]
        with open(path, "rb") as f:
            return b"Bar configured" in f.read()

    def stop_panel(self):
        proc = self.procs.pop("waybar", None)
        if proc:
            stop_process(proc)

    def has_name(self, name):
        return bool(self.bus.name_has_owner(name))

    def items(self):
        """The registered StatusNotifierItems, as (bus name, object path)."""
        if not self.has_name(WATCHER):
            return []
        watcher = self.bus.get_object(WATCHER, "/StatusNotifierWatcher")
        names = watcher.Get(WATCHER, "RegisteredStatusNotifierItems",
                            dbus_interface="org.freedesktop.DBus.Properties")
        result = []
        for entry in names:
            service, _, path = str(entry).partition("/")
            result.append((service, "/" + path if path else "/StatusNotifierItem"))
        return result

    def item(self, timeout=30):
        """The one registered item, once it is there."""
        found = wait_for("the tray item to register", lambda: self.items(), timeout=timeout)
        check(len(found) == 1, f"more than one tray item: {found}")
        return found[0]

    def item_property(self, item, name):
        obj = self.bus.get_object(*item)
        return obj.Get(ITEM_IFACE, name, dbus_interface="org.freedesktop.DBus.Properties")

    def activate(self, item):
        self.bus.get_object(*item).Activate(0, 0, dbus_interface=ITEM_IFACE)

    def click_menu(self, item, label):
        """Clicks the menu entry labelled label, as a host does: com.canonical.dbusmenu Event."""
        import dbus

        menu_path = str(self.item_property(item, "Menu"))
        menu = self.bus.get_object(item[0], menu_path)
        _, layout = menu.GetLayout(0, -1, dbus.Array([], signature="s"), dbus_interface=MENU_IFACE)
        entries = {}

        def walk(node):
            node_id, props, children = node
            if "label" in props:
                entries[str(props["label"]).replace("&", "")] = int(node_id)
            for child in children:
                walk(child)
        walk(layout)
        check(label in entries, f"no menu entry {label!r} in {sorted(entries)}")
        menu.Event(entries[label], "clicked", dbus.Int32(0, variant_level=1),
                   dbus.UInt32(int(time.time()) & 0xFFFFFFFF), dbus_interface=MENU_IFACE)

    def icon_pixmaps(self, item):
        """The item's IconPixmap: [(width, height, ARGB32 bytes in network order)]."""
        return [(int(w), int(h), bytes(data)) for w, h, data in
                self.item_property(item, "IconPixmap")]

    # Windows ----------------------------------------------------------------------------------

    def views(self):
        """Every window in sway's tree: dicts with app_id, name, rect, floating, visible."""
        tree = json.loads(self.swaymsg("-t", "get_tree"))
        found = []

        def walk(node, floating):
            if node.get("type") in ("con", "floating_con") and node.get("pid"):
                found.append({"app_id": node.get("app_id"), "name": node.get("name"),
                              "rect": node["rect"], "floating": floating,
                              "visible": node.get("visible"), "focused": node.get("focused")})
            for child in node.get("nodes", []):
                walk(child, floating)
            for child in node.get("floating_nodes", []):
                walk(child, True)
        walk(tree, False)
        return found

    def view(self, name, timeout=30, prefix=False):
        def find():
            match = [v for v in self.views()
                     if v["name"] == name or (prefix and (v["name"] or "").startswith(name))]
            return match[0] if match else None
        return wait_for(f"the window {name!r}", find, timeout=timeout)

    def gone(self, name, timeout=30):
        wait_for(f"the window {name!r} to go",
                 lambda: not [v for v in self.views() if v["name"] == name], timeout=timeout)

    def grab(self, box):
        """Pixels of an output box (x, y, w, h) as an xsession.Image."""
        from .xsession import Image
        env = dict(os.environ)
        env.update(self.env)
        env["XDG_RUNTIME_DIR"] = self.run_dir
        ppm = subprocess.run(["grim", "-t", "ppm", "-g", "%d,%d %dx%d" % box, "-"], env=env,
                             check=True, timeout=30, capture_output=True).stdout
        return Image.from_ppm(ppm)

    def screenshot(self, path, box=None):
        args = ["grim"]
        if box:
            args += ["-g", "%d,%d %dx%d" % box]
        env = dict(os.environ)
        env.update(self.env)
        env["XDG_RUNTIME_DIR"] = self.run_dir
        subprocess.run([*args, path], env=env, check=True, timeout=30, capture_output=True)
        return path

    def close(self):
        for name in ("waybar", "sway", "dbus"):
            proc = self.procs.pop(name, None)
            if proc:
                stop_process(proc)
        for f in self.logs:
            f.close()
