"""Drives the real installer under Wine on an X display the way a person would: it finds the window,
moves the mouse to the buttons and clicks (xdotool), types into the folder field, and takes screenshots
(ImageMagick's import). What X11 cannot tell (window state, link targets, the temporary folder) comes from
win_probe.exe, run in the same Wine session.

Used by scripts/e2e/run_demo.py (make run) and by the end-to-end tests in tests/e2e/.
"""

import json
import os
import re
import shutil
import subprocess
import tempfile
import time
from pathlib import Path

MAIN_CLASS = "QuillonUpdateMainWnd"
MSGBOX_CLASS = "MsgBoxWnd"
LAUNCHER_CLASS = "QuillonLauncherWindow"
# The uninstall entry as the installer, a 32-bit program, names it. The system shows it the 32-bit registry
# view: on 64-bit Windows, where reg.exe is a 64-bit program, that is the Wow6432Node branch.
UNINSTALL_KEY_32 = (r"HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall"
                    r"\{7A31C0DE-2F4B-4E19-9C5D-3B8E6A0F1D27}}_is1")
UNINSTALL_KEY_WOW64 = (r"HKLM\Software\Wow6432Node\Microsoft\Windows\CurrentVersion\Uninstall"
                       r"\{7A31C0DE-2F4B-4E19-9C5D-3B8E6A0F1D27}}_is1")

# Centres of the controls, in logical pixels of the 600-pixel-wide main window and of the 380-pixel-wide
# message box, as their skins lay them out.
MAIN_POINTS = {
    "close_btn": (585, 15),
    "min_btn": (555, 15),
    "install_btn": (300, 326),
    "qq_contact_btn": (300, 363),
    "agree_checkbox": (40, 381),
    "agreement_btn": (161, 381),
    "extend_btn": (551, 380),
    "path_input": (292, 434),
    "browse_path_btn": (542, 432),
    "install_finish_btn": (300, 326),
    "retry_btn": (220, 300),
    "failure_close_btn": (380, 300),
}
MSGBOX_POINTS = {
    "msg_close_btn": (365, 15),
    "msg_ok_btn": (238, 161),
    "msg_cancel_btn": (329, 161),
}
# The notice box (same window class and size as the quit box) has only OK, where the quit box has cancel.
NOTICE_POINTS = {
    "msg_close_btn": (365, 15),
    "msg_ok_btn": (329, 161),
}
ZSTD_MAGIC = bytes.fromhex("28B52FFD")
PAYLOAD_INDEX_MAGIC = bytes.fromhex("5E2A4D18")  # the skippable frame the packer puts first


class DriverError(AssertionError):
    pass


class Window:
    """One line of win_probe.exe about a top-level window."""

    def __init__(self, line):
        self.line = line.strip()
        self.found = not self.line.startswith("none")
        fields = dict(re.findall(r"(\w+)=(\S+)", self.line))
        self.pid = int(fields.get("pid", "0"))
        self.visible = fields.get("visible") == "1"
        self.iconic = fields.get("iconic") == "1"
        self.enabled = fields.get("enabled") == "1"
        self.foreground = fields.get("foreground") == "1"
        self.count = int(fields.get("windows", "0"))  # windows of the class
        self.left, self.top, self.right, self.bottom = (int(v) for v in fields.get("rect", "0,0,0,0").split(","))

    @property
    def width(self):
        return self.right - self.left

    @property
    def height(self):
        return self.bottom - self.top

    def __repr__(self):
        return f"Window({self.line})"


class Session:
    """A Wine prefix with its settings, an X display, and the helper programs of the build. arch "win64" is
    the build's prefix, a 64-bit Windows running the 32-bit installer under WoW64; "win32" a 32-bit Windows
    (build/wineprefix32)."""

    def __init__(self, root, build, display=None, arch="win64"):
        self.root = Path(root).resolve()
        self.build = Path(build).resolve()
        self.arch = arch
        self.prefix = self.build / ("wineprefix32" if arch == "win32" else "wineprefix")
        # Where the system shows a 32-bit program the uninstall entry and its Program Files folder.
        self.uninstall_key = UNINSTALL_KEY_32 if arch == "win32" else UNINSTALL_KEY_WOW64
        self.program_files = r"C:\Program Files" if arch == "win32" else r"C:\Program Files (x86)"
        self.helpers = self.build / "tests" / "e2e"
        self.env = dict(os.environ)
        self.env.update({
            "WINEPREFIX": str(self.prefix),
            "WINEARCH": arch,
            "WINEDEBUG": self.env.get("WINEDEBUG", "-all"),
            "WINEDLLOVERRIDES": "mscoree,mshtml=;winemenubuilder.exe=d",
        })
        if display:
            self.env["DISPLAY"] = display
        if not self.env.get("DISPLAY"):
            raise DriverError("no X display: start Xvfb and set DISPLAY")
        subprocess.run(["bash", "-c", 'source "$1" "$2" "$3" && wine_prefix_ensure',
                        "wine-env", str(self.root / "scripts" / "wine-env.sh"), str(self.prefix), arch],
                       env=self.env, check=True)
        self._temp = None
        self._machine_guid = None

    # --- Running Windows programs -----------------------------------------------------------------

    def wine(self, *args, timeout=120, check=False):
        """Runs a program to its end; returns (exit code, output). Output goes through a file: Wine's
        background processes may inherit the handles and outlive the program."""
        with tempfile.TemporaryFile() as out:
            code = subprocess.run(["wine", *[str(a) for a in args]], stdin=subprocess.DEVNULL, stdout=out,
                                  stderr=subprocess.STDOUT, env=self.env, timeout=timeout).returncode
            out.seek(0)
            text = out.read().decode("utf-8", "replace")
        if check and code != 0:
            raise DriverError(f"{args} exited with {code}: {text}")
        return code, text

    def probe(self, *args, timeout=120):
        return self.wine(self.helpers / "win_probe.exe", *args, timeout=timeout)

    def start(self, exe, *args, cwd=None):
        """Starts a program in the background; returns the Popen whose return code is the program's."""
        log = tempfile.TemporaryFile()
        process = subprocess.Popen(["wine", str(exe), *[str(a) for a in args]], stdin=subprocess.DEVNULL,
                                   stdout=log, stderr=subprocess.STDOUT, env=self.env, cwd=cwd)
        process.output_file = log
        return process

    def window(self, cls=MAIN_CLASS):
        lines = [line for line in self.probe("window", cls)[1].splitlines() if line.startswith(("hwnd=", "none"))]
        return Window(lines[-1] if lines else "none")

    def wait_window(self, state="visible", cls=MAIN_CLASS, timeout=60):
        code, text = self.probe("wait", cls, state, int(timeout * 1000), timeout=timeout + 60)
        lines = [line for line in text.splitlines() if line.startswith(("hwnd=", "none"))]
        window = Window(lines[-1] if lines else "none")
        if code != 0:
            raise DriverError(f"window {cls} did not become {state} in {timeout} s: {window}")
        if state == "visible":
            time.sleep(0.8)  # a click sent before the new window is mapped on the X side gets lost
        return window

    def close_window(self, cls, timeout=30):
        """Asks the window to close, as the system does, and waits until it is gone."""
        self.probe("close", cls)
        self.wait_window("gone", cls, timeout=timeout)

    def wait_for(self, condition, what, timeout=60, step=0.2):
        deadline = time.monotonic() + timeout
        while True:
            value = condition()
            if value:
                return value
            if time.monotonic() > deadline:
                raise DriverError(f"timed out waiting for {what}")
            time.sleep(step)

    # --- Paths --------------------------------------------------------------------------------------

    def unix_path(self, windows_path):
        """C:\\x\\y -> <prefix>/drive_c/x/y, Z:\\x -> /x."""
        drive, rest = windows_path[0].lower(), windows_path[2:].replace("\\", "/").lstrip("/")
        if drive == "z":
            return Path("/") / rest
        return self.prefix / f"drive_{drive}" / rest

    def windows_path(self, unix_path):
        unix_path = str(Path(unix_path).resolve())
        prefix_c = str(self.prefix / "drive_c")
        if unix_path.startswith(prefix_c + "/"):
            return "C:" + unix_path[len(prefix_c):].replace("/", "\\")
        return "Z:" + unix_path.replace("/", "\\")

    def map_drive(self, letter, folder):
        """Makes the host folder the prefix's drive letter:, in place of what it was; returns the undo."""
        drive = self.prefix / "dosdevices" / f"{letter}:"
        if drive.is_symlink():
            drive.unlink()
        drive.symlink_to(folder)
        return drive.unlink

    def temp_folder(self):
        if self._temp is None:
            self._temp = self.unix_path(self.probe("temp")[1].strip().splitlines()[-1])
        return self._temp

    def log_file(self, exe_name="QuillonSetup.exe"):
        return self.temp_folder() / "quillon" / "install logs" / f"{exe_name}{time.strftime('%Y_%m_%d')}.log"

    # --- Registry -------------------------------------------------------------------------------------

    def reg_query(self, key):
        """Values of a key as {name: data}; None when the key does not exist."""
        code, text = self.wine("reg", "query", key)
        if code != 0:
            return None
        values = {}
        for line in text.splitlines():
            match = re.match(r"\s+(\S.*?)\s+(REG_\w+)\s+(.*)$", line)
            if match:
                values[match.group(1)] = match.group(3).rstrip("\r")
        return values

    def uninstall_entry(self):
        """The uninstall entry's text values as the installer (a 32-bit program) sees them; None without it."""
        status, text = self.probe("reg", UNINSTALL_KEY_32.split("\\", 1)[1])
        if status != 0:
            return None
        return dict(line.split("=", 1) for line in text.splitlines() if "=" in line)

    def machine_guid(self):
        """The prefix's MachineGuid, which the installer reports as its device_id."""
        if self._machine_guid is None:
            # The installer reads the 64-bit view; the 32-bit one has no MachineGuid.
            view = ["/reg:64"] if self.arch == "win64" else []
            code, text = self.wine("reg", "query", r"HKLM\Software\Microsoft\Cryptography", "/v", "MachineGuid",
                                   *view)
            found = re.search(r"MachineGuid\s+REG_SZ\s+(\S+)", text)
            if code != 0 or not found:
                raise DriverError(f"{self.prefix} has no MachineGuid: {text}")
            self._machine_guid = found.group(1)
        return self._machine_guid

    def reg_delete(self, key):
        self.wine("reg", "delete", key, "/f")

    def set_install_location(self, folder):
        """An uninstall entry naming folder, as an earlier installation leaves it."""
        self.wine("reg", "add", self.uninstall_key, "/v", "InstallLocation", "/t", "REG_SZ", "/d", folder, "/f",
                  check=True)

    def set_dpi(self, dpi):
        """Makes programs started from now on see a monitor of this many dots per inch."""
        if dpi == 96:
            self.wine("reg", "delete", r"HKCU\Control Panel\Desktop", "/v", "LogPixels", "/f")
        else:
            self.wine("reg", "add", r"HKCU\Control Panel\Desktop", "/v", "LogPixels", "/t", "REG_DWORD",
                      "/d", str(dpi), "/f", check=True)

    # --- Input and screenshots --------------------------------------------------------------------------

    def xdotool(self, *args):
        subprocess.run(["xdotool", *[str(a) for a in args]], env=self.env, check=True)

    def click_at(self, x, y):
        self.xdotool("mousemove", x, y)
        time.sleep(0.15)  # lets the button see the mouse arrive before it is pressed
        self.xdotool("click", "1")
        time.sleep(0.2)

    def click(self, window, control, points=MAIN_POINTS, logical_width=600):
        scale = window.width / logical_width
        x, y = points[control]
        self.click_at(window.left + round(x * scale), window.top + round(y * scale))

    def key(self, *keys):
        self.xdotool("key", "--delay", "60", *keys)
        time.sleep(0.2)

    def type_text(self, text):
        self.xdotool("type", "--delay", "40", text)
        time.sleep(0.2)

    def type_into_customise_view(self, window, folder):
        """Opens the customise view from the welcome view (window) and types folder into its field, in place
        of what the field proposed; returns the window, taller by the customise view."""
        self.click(window, "extend_btn")
        expanded = self.wait_for(lambda: (lambda w: w if w.height > window.height else None)(self.window()),
                                 "the customise view", timeout=20)
        self.click(expanded, "path_input")
        self.key("ctrl+a")
        self.type_text(folder)
        return expanded

    def accessible_tree(self, cls=MAIN_CLASS):
        """What a screen reader sees of the window: a list of dicts (id, name, role, state as a set, value,
        action, location as a tuple), the window itself first, then its children in order."""
        code, text = self.probe("a11y", cls)
        if code != 0:
            raise DriverError(f"no accessible tree for {cls}: {text}")
        pattern = re.compile(r"^id=(\d+) name=(.*?) role=(\S+) state=(\S*) value=(.*?) action=(.*?)"
                             r"(?: location=(-?\d+),(-?\d+),(\d+),(\d+))?$")
        elements = []
        for line in text.splitlines():
            found = pattern.match(line.rstrip("\r"))
            if found:
                g = found.groups()
                elements.append({"id": int(g[0]), "name": g[1], "role": g[2],
                                 "state": set(filter(None, g[3].split(","))), "value": g[4], "action": g[5],
                                 "location": tuple(int(n) for n in g[6:10]) if g[6] is not None else None})
        return elements

    def press_accessible(self, name, cls=MAIN_CLASS):
        """Carries out the default action of the window's accessible child with that name."""
        code, text = self.probe("press", cls, name)
        if code != 0:
            raise DriverError(f"default action of {name!r} failed: {text}")

    def screenshot(self, window, path):
        path = Path(path)
        path.parent.mkdir(parents=True, exist_ok=True)
        time.sleep(0.5)  # the last paint
        subprocess.run(["import", "-window", "root", "-crop",
                        f"{window.width}x{window.height}+{window.left}+{window.top}", "+repage", str(path)],
                       env=self.env, check=True)
        return path

    def move_mouse_away(self):
        # The bottom right corner: no window of the installer or of the other GUI tests lies there.
        self.xdotool("mousemove", 1915, 1075)


def stage_installer(session, exe, folder, gate=False, logs=False, damaged=False):
    """Copies the installer into a fresh folder of its own; with gate, an icacls.exe beside it holds the
    install worker at its permissions step until release_gate (only the test and demo builds start it, see
    tests/e2e/icacls_beside_installer.cpp); with logs, a "logs" folder for crash dumps;
    with damaged, the copy's payload is damaged (damage_payload)."""
    folder = Path(folder)
    shutil.rmtree(folder, ignore_errors=True)
    folder.mkdir(parents=True)
    staged = folder / "QuillonSetup.exe"
    shutil.copy2(exe, staged)
    if damaged:
        damage_payload(staged, session.build / "payload" / "payload.tar.zst")
    if gate:
        shutil.copy2(session.helpers / "icacls_gate.exe", folder / "icacls.exe")
    if logs:
        (folder / "logs").mkdir()
    return staged


def damage_payload(exe, payload_file):
    """Inverts 64 bytes in the middle of the payload resource of exe, keeping every size: the payload is the
    Zstandard stream (its index frame, or a frame with magic 28 B5 2F FD, first) that starts with the same
    bytes as the build's payload file. The decoder then meets a damaged block or a wrong checksum."""
    exe, payload = Path(exe), Path(payload_file).read_bytes()
    data = bytearray(exe.read_bytes())
    if not payload.startswith((ZSTD_MAGIC, PAYLOAD_INDEX_MAGIC)):
        raise DriverError(f"{payload_file} is not a Zstandard stream")
    starts, at = [], data.find(payload[:64])
    while at != -1:
        starts.append(at)
        at = data.find(payload[:64], at + 1)
    if len(starts) != 1:
        raise DriverError(f"payload frame of {exe} not found exactly once ({len(starts)})")
    middle = starts[0] + len(payload) // 2
    data[middle:middle + 64] = bytes(b ^ 0xFF for b in data[middle:middle + 64])
    exe.write_bytes(bytes(data))


def release_gate(staged):
    (Path(staged).parent / "icacls.release").write_text("go")


def gate_reached(staged):
    log = Path(staged).parent / "icacls.log"
    return log.exists() and log.stat().st_size > 0


class LogReader:
    """The installer's daily log from the point this reader was made."""

    def __init__(self, path):
        self.path = Path(path)
        self.start = self.path.stat().st_size if self.path.exists() else 0

    def text(self):
        if not self.path.exists():
            return ""
        with open(self.path, "rb") as f:
            f.seek(self.start)
            return f.read().decode("utf-8", "replace")

    def lines(self):
        return self.text().splitlines()

    def wait_for(self, fragment, timeout=60):
        deadline = time.monotonic() + timeout
        while fragment not in self.text():
            if time.monotonic() > deadline:
                raise DriverError(f"log line with {fragment!r} did not appear; log:\n{self.text()}")
            time.sleep(0.2)


class TelemetryReader:
    """Requests received by the local HTTPS test server (tests/telemetry/https_test_server.py) whose events
    carry device_id: the server is shared with programs of other prefixes, whose MachineGuids differ."""

    def __init__(self, folder, device_id):
        self.file = Path(folder) / "requests.jsonl"
        self.device_id = device_id
        self.start = self.file.stat().st_size if self.file.exists() else 0

    def events(self):
        if not self.file.exists():
            return []
        with open(self.file, "rb") as f:
            f.seek(self.start)
            lines = f.read().decode("utf-8").splitlines()
        events = []
        for line in lines:
            request = json.loads(line)
            body = json.loads(bytes.fromhex(request["body_hex"]).decode("utf-8"))
            if body["data"].get("device_id") == self.device_id:
                events.append(body["data"])
        return events

    def wait_for_count(self, count, timeout=20):
        """Waits until count events arrived or timeout passed, then a moment longer for any that follow."""
        deadline = time.monotonic() + timeout
        while len(self.events()) < count and time.monotonic() < deadline:
            time.sleep(0.2)
        time.sleep(0.5)


def click_through(session, staged, folder, shots=None, suffix="", log=None, timeout=120):
    """Welcome -> customise (types folder) -> install -> finish, like a person, saving a screenshot of each
    view to shots/<view><suffix>.png when shots is given. The installer must be staged with the icacls gate
    so that the installing view can be seen. Returns the running process and the finish view's window."""
    shots = Path(shots) if shots else None
    log = log or LogReader(session.log_file())
    process = session.start(staged, cwd=str(Path(staged).parent))
    window = session.wait_window("visible")
    session.move_mouse_away()
    if shots:
        session.screenshot(window, shots / f"1_welcome{suffix}.png")

    expanded = session.type_into_customise_view(window, folder)
    session.move_mouse_away()
    if shots:
        session.screenshot(expanded, shots / f"2_customise{suffix}.png")

    session.click(expanded, "install_btn")
    session.wait_for(lambda: gate_reached(staged), "the install worker to reach its permissions step",
                     timeout=timeout)
    installing = session.window()
    session.move_mouse_away()
    if shots:
        session.screenshot(installing, shots / f"3_installing{suffix}.png")
    release_gate(staged)

    log.wait_for("安装结果 :", timeout=timeout)
    finish = session.window()
    time.sleep(0.5)
    session.move_mouse_away()
    if shots:
        session.screenshot(finish, shots / f"4_finish{suffix}.png")
    return process, finish


def finish_and_wait(session, process, finish, timeout=60):
    """Clicks the finish button; returns the installer's exit code."""
    session.click(finish, "install_finish_btn")
    try:
        return process.wait(timeout=timeout)
    except subprocess.TimeoutExpired:
        raise DriverError("the installer did not end after the finish button")


def sign_with_test_certificate(root, exe, folder):
    """Signs exe in place with scripts/sign.sh, as a build given a certificate does, using a throwaway
    self-signed certificate made in folder; returns the certificate (PEM) that verifies the signature."""
    folder = Path(folder)
    folder.mkdir(parents=True, exist_ok=True)
    key, certificate, pkcs12, password = (folder / n for n in ("key.pem", "ca.pem", "signer.p12", "password.txt"))
    password.write_text("throwaway pass phrase\n")
    subprocess.run(["openssl", "req", "-x509", "-newkey", "rsa:2048", "-nodes", "-keyout", key, "-out", certificate,
                    "-days", "2", "-subj", "/CN=Quillon Test Signer", "-addext", "extendedKeyUsage=codeSigning"],
                   check=True, capture_output=True)
    subprocess.run(["openssl", "pkcs12", "-export", "-inkey", key, "-in", certificate, "-out", pkcs12,
                    "-passout", f"file:{password}"], check=True, capture_output=True)
    subprocess.run(["bash", Path(root) / "scripts" / "sign.sh", "--pkcs12", pkcs12, "--password-file", password,
                    "--description", "Quillon Setup", exe], check=True)
    return certificate
