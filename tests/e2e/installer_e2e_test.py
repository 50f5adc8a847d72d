#!/usr/bin/env python3
"""The installer under Wine on the test display, driven through mouse and keyboard, checked against the prefix
(files, registry, links, processes), the daily log and the events the local HTTPS test server receives.
CTest runs each case on its own: installer_e2e_test.py --root R --build B InstallerEndToEnd.test_full_install
"""

import argparse
import json
import os
import re
import shutil
import subprocess
import sys
import tempfile
import time
import unittest
from pathlib import Path

ARGS = None
MARKER = "quillon_installation.ini"
RECORD = "quillon_installed_files.txt"
UNINSTALL_EXIT_NO_RECORD = 4  # unins000.exe's (uninstaller/uninstall_job.h)
# ExitCodeFor (engine/install_failure.h) of the failure classes these cases meet.
EXIT_DAMAGED_INSTALLER = 4
EXIT_FOLDER_NOT_USABLE = 5
EXIT_ANOTHER_INSTALLER_RUNS = 8  # kExitAnotherInstallerRuns (ui/silent_install.h)
INSTALL_EVENTS = ["install_click", "install_start", "install_complete"]
LINKS = {
    r"C:\users\Public\Desktop\Quillon.lnk": "quillon_launcher.exe",
    r"C:\ProgramData\Microsoft\Windows\Start Menu\Programs\Quillon\Quillon.lnk": "quillon_launcher.exe",
    r"C:\ProgramData\Microsoft\Windows\Start Menu\Programs\Quillon\卸载Quillon.lnk": "unins000.exe",
}
# A folder of the user's: the installer must never take it. Its parent holds nothing else.
USERS_FOLDER = r"C:\E2E\mine"
USERS_TREE = {"mine": None, "mine/sub": None, "mine/thesis.txt": b"chapter one\r\n",
              "mine/sub/notes.txt": b"remember the footnotes\r\n"}


def load_driver(root):
    sys.path.insert(0, str(Path(root) / "scripts" / "e2e"))
    import driver
    return driver


def tree(root):
    """Every folder (None) and file (its bytes) under root, by its path relative to root."""
    return {p.relative_to(root).as_posix(): None if p.is_dir() else p.read_bytes() for p in Path(root).rglob("*")}


class InstallerEndToEnd(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.d = load_driver(ARGS.root)
        cls.root = Path(ARGS.root).resolve()
        cls.build = Path(ARGS.build).resolve()
        # The 32-bit lane runs on an X display of its own, started by its fixture (scripts/wine32-lane.sh).
        display = None
        if ARGS.arch == "win32":
            display = (cls.build / "wineprefix32.display").read_text().split()[0]
        cls.session = cls.d.Session(cls.root, cls.build, display=display, arch=ARGS.arch)
        cls.test_build = cls.build / "tests" / "e2e" / "QuillonSetup.exe"
        cls.product = cls.root / "bin" / "QuillonSetup.exe"
        cls.demo_tree = cls.build / "demo-tree"
        # The lanes run side by side: each stages its installers and saves its pictures in folders of its own.
        lane = "32" if ARGS.arch == "win32" else ""
        cls.shots = cls.root / "bin" / f"screenshots{lane}"
        cls.stage_root = cls.build / "tests" / f"e2e-stage{lane}"

    def setUp(self):
        d, s = self.d, self.session
        for cls in (d.MAIN_CLASS, d.LAUNCHER_CLASS):
            if s.window(cls).found:
                s.probe("close", cls)
                s.wait_window("gone", cls, timeout=30)
        s.set_dpi(96)
        s.reg_delete(s.uninstall_key)
        self.marker = s.temp_folder() / "quillon" / "upgrade" / "quillon_upload.log"
        if self.marker.exists():
            self.marker.unlink()
        # Where earlier installers wrote their skin to read it back; nothing may write it now.
        self.skin_copy = s.temp_folder() / "quillon" / "installer_skin.zip"
        if self.skin_copy.exists():
            self.skin_copy.unlink()
        # The folders the cases install into. A folder left by an earlier case without its uninstall entry
        # would count as the user's and be refused.
        for folder in ("C:\\E2E", s.program_files + "\\vexor"):
            shutil.rmtree(s.unix_path(folder), ignore_errors=True)
        self.stage_dir = self.stage_root / self._testMethodName
        self.log = d.LogReader(s.log_file())
        self.telemetry = d.TelemetryReader(self.build / "tests" / "telemetry_server", s.machine_guid())
        self.processes = []

    def tearDown(self):
        for process in self.processes:
            if process.poll() is None:
                process.kill()
        s = self.session
        if s.window(self.d.LAUNCHER_CLASS).found:
            s.probe("close", self.d.LAUNCHER_CLASS)
        self.marker.unlink(missing_ok=True)
        s.set_dpi(96)

    def stage(self, exe=None, **options):
        return self.d.stage_installer(self.session, exe or self.test_build, self.stage_dir, **options)

    def start(self, staged, *args):
        process = self.session.start(staged, *args, cwd=str(Path(staged).parent))
        self.processes.append(process)
        return process

    def wait_exit(self, process, timeout=60):
        try:
            return process.wait(timeout=timeout)
        except subprocess.TimeoutExpired:
            self.fail(f"the installer did not end; log:\n{self.log.text()}")

    def update(self, staged, code=0):
        self.assertEqual(self.wait_exit(self.start(staged, "-update")), code, self.log.text())

    def start_install(self, staged, folder):
        s, process = self.session, self.start(staged)
        s.click(s.type_into_customise_view(s.wait_window("visible"), folder), "install_btn")
        return process

    def install_until_gate(self, folder):
        staged = self.stage(gate=True)
        process = self.start_install(staged, folder)
        self.session.wait_for(lambda: self.d.gate_reached(staged), "the worker's permissions step")
        return staged, process

    def assert_events(self, expected, timeout=20):
        """The events were raised in the expected order (the log's "SendLog" lines) and exactly these reached
        the test server, each with the time it was raised; the server may receive them in any order."""
        self.telemetry.wait_for_count(len(expected), timeout)
        raised = [json.loads(line.split("SendLog  ", 1)[1])["data"]
                  for line in self.log.lines() if "SendLog  " in line]
        self.assertEqual([event["event_name"] for event in raised], expected)
        key = lambda event: (event["event_name"], event["event_time"])  # noqa: E731
        self.assertEqual(sorted(map(key, self.telemetry.events())), sorted(map(key, raised)))

    def assert_installed(self, folder, users_files=()):
        """The folder holds the demo tree, the marker, the record (listing exactly the demo tree and the
        marker) and users_files; nothing lies beside it; the uninstall entry names it."""
        installed, demo = self.session.unix_path(folder), tree(self.demo_tree)
        name = installed.name
        expected = {name: None, **{f"{name}/{n}": data for n, data in demo.items()}}
        found = tree(installed.parent)  # a temporary or backup folder left beside it would show here
        differing = {n for n in expected.keys() | found.keys() if expected.get(n, 0) != found.get(n, 0)}
        self.assertCountEqual(differing, [f"{name}/{n}" for n in (MARKER, RECORD, *users_files)], folder)
        record = (installed / RECORD).read_text(encoding="utf-8").splitlines()[1:]
        self.assertCountEqual(record, [n.replace("/", "\\") + ("\\" if data is None else "")
                                       for n, data in demo.items()] + [MARKER])
        entry = self.session.uninstall_entry() or {}
        self.assertEqual([entry.get(k) for k in ("InstallLocation", "DisplayName", "DisplayIcon", "UninstallString")],
                         [folder, "Quillon", folder + "\\quillon_launcher.exe", folder + "\\unins000.exe"])
        self.assertRegex(entry.get("DisplayVersion", ""), r"^\d+\.\d+\.\d+\.\d+$")

    def assert_links(self, folder):
        for link, program in LINKS.items():
            status, text = self.session.probe("link", link)
            self.assertEqual(status, 0, f"{link} missing")
            self.assertIn(f"target={folder}\\{program}", text.splitlines(), link)

    def assert_unregistered(self):
        self.assertIsNone(self.session.uninstall_entry())
        for link in LINKS:
            self.assertNotEqual(self.session.probe("link", link)[0], 0, f"{link} left behind")

    def make_users_folder(self):
        root = self.session.unix_path(r"C:\E2E")
        for name, data in USERS_TREE.items():
            (root / name).mkdir(parents=True, exist_ok=True) if data is None else (root / name).write_bytes(data)

    def assert_users_folder_intact(self):
        # Beside the folder as in it: no temporary or backup folder either.
        self.assertEqual(tree(self.session.unix_path(r"C:\E2E")), USERS_TREE)

    def run_into_users_folder(self, *args):
        """Into a registered folder of the user's the installer installs nothing and sends nothing."""
        self.make_users_folder()
        self.session.set_install_location(USERS_FOLDER)
        self.assertEqual(self.wait_exit(self.start(self.stage(), *args)), EXIT_FOLDER_NOT_USABLE)
        self.assert_users_folder_intact()
        self.assert_events([])
        self.assertNotIn("安装结果", self.log.text())
        return self.log.text()

    def assert_launcher_started(self, folder):
        # Wine's desktop has a shell, which starts the launcher: a direct start would log the launcher's id.
        self.session.wait_window("visible", self.d.LAUNCHER_CLASS, timeout=30)
        self.assertIn(f"OnInstallFinishBtnClick Process::LaunchProcess {folder}\\quillon_launcher.exe "
                      "desktop-shell", self.log.text())

    def test_full_install(self):
        """Welcome -> customise with a typed folder -> install -> finish -> the application starts."""
        d, s = self.d, self.session
        folder = r"C:\E2E\vexor\Quillon"
        staged = self.stage(gate=True)
        process, finish = d.click_through(s, staged, folder, shots=self.shots, suffix="_100", log=self.log)
        self.processes.append(process)
        self.assertEqual(finish.height, 400)
        self.assertEqual(d.finish_and_wait(s, process, finish), 0)

        self.assert_installed(folder)
        self.assert_links(folder)
        self.assert_launcher_started(folder)
        self.assertFalse(self.skin_copy.exists())
        log = self.log.text()
        for line in ("isUpdate flag :0", "第一次Kill 共关闭了", "第二次Kill 共关闭了", "第三次Kill 共关闭了",
                     "安装结果 :0", "SendLog  {"):
            self.assertIn(line, log)
        self.assert_events(INSTALL_EVENTS)

    def test_screen_reader_walks_the_views_and_installs(self):
        """A screen reader (Active Accessibility, from another process) reads the welcome view's controls,
        starts the installation through the install button's default action, reads the progress as a value
        and closes the finish view through the close button's."""
        d, s = self.d, self.session
        staged = self.stage(gate=True)
        process = self.start(staged)
        window = s.wait_window("visible")
        elements = s.accessible_tree()
        self.assertEqual((elements[0]["name"], elements[0]["role"]), ("Quillon 安装程序", "client"))
        children = {e["name"]: e for e in elements[1:]}
        title = next((n for n in children if re.fullmatch(r"Quillon V\d+\.\d+\.\d+\.\d+ 安装", n)), "title")
        self.assertEqual({name: e["role"] for name, e in children.items()}, {
            title: "statictext", "云端同步": "statictext", "多端协作": "statictext", "隐私加密": "statictext",
            "最小化": "pushbutton", "关闭": "pushbutton", "立即安装": "pushbutton", "遇到问题？加入用户交流群": "link",
            "我已阅读并同意 《用户协议》": "checkbutton", "《用户协议》": "link", "自定义安装": "pushbutton"})
        self.assertEqual([children[n]["state"] for n in ("立即安装", "我已阅读并同意 《用户协议》", "《用户协议》")],
                         [{"focusable", "focused"}, {"focusable", "checked"}, {"focusable", "linked"}])
        self.assertEqual(children["立即安装"]["action"], "按下")
        left, top, width, height = children["立即安装"]["location"]
        self.assertTrue(window.left < left and left + width < window.right and
                        window.top < top and top + height < window.bottom, children["立即安装"])

        s.press_accessible("立即安装")
        s.wait_for(lambda: d.gate_reached(staged), "the worker's permissions step")
        progress = [e for e in s.accessible_tree()[1:] if e["role"] == "progressbar"]
        self.assertEqual([e["name"] for e in progress], ["安装进度"])
        self.assertRegex(progress[0]["value"], r"^\d{1,3}%$")
        d.release_gate(staged)
        self.log.wait_for("安装结果 :0", timeout=120)
        self.assertIn("立即体验", [e["name"] for e in s.accessible_tree()[1:]])
        s.press_accessible("关闭")
        self.assertEqual(self.wait_exit(process), 0)
        self.assert_events(INSTALL_EVENTS + ["install_finish_close_click"])

    def test_views_at_150_percent(self):
        """The same walk at 150 % DPI: the window and its views are half as large again; the quit box is
        cancelled on the way, and closing from the finish view reports its event."""
        d, s = self.d, self.session
        s.set_dpi(144)
        staged = self.stage(gate=True)
        process = self.start(staged)
        window = s.wait_window("visible")
        self.assertEqual((window.width, window.height), (900, 600))
        s.click(window, "close_btn")
        box = s.wait_window("visible", d.MSGBOX_CLASS, timeout=20)
        self.assertEqual((box.width, box.height), (570, 285))
        s.move_mouse_away()
        s.screenshot(box, self.shots / "5_quit_box_150.png")
        s.click(box, "msg_cancel_btn", d.MSGBOX_POINTS, 380)
        s.wait_window("gone", d.MSGBOX_CLASS, timeout=20)
        s.probe("close", d.MAIN_CLASS)  # a system close before installation ends the run at once
        self.assertEqual(self.wait_exit(process), 0)

        process, finish = d.click_through(s, staged, r"C:\E2E\vexor\Quillon", shots=self.shots, suffix="_150",
                                          log=self.log)
        self.processes.append(process)
        self.assertEqual((finish.width, finish.height), (900, 600))
        s.click(finish, "close_btn")
        self.assertEqual(self.wait_exit(process), 0)
        self.assertFalse(s.window(d.LAUNCHER_CLASS).found)
        self.assert_events(INSTALL_EVENTS + ["install_finish_close_click"])

    def test_quit_confirmation(self):
        """Closing the welcome view asks first: cancel and the box's own close keep the installer, OK ends it."""
        d, s = self.d, self.session
        process = self.start(self.stage())
        window = s.wait_window("visible")
        for answer in ("msg_cancel_btn", "msg_close_btn", "msg_ok_btn"):
            s.click(window, "close_btn")
            box = s.wait_window("visible", d.MSGBOX_CLASS, timeout=20)
            self.assertFalse(s.window(d.MAIN_CLASS).enabled, "the main window is disabled under the box")
            if answer == "msg_cancel_btn":
                s.move_mouse_away()
                s.screenshot(box, self.shots / "5_quit_box_100.png")
            s.click(box, answer, d.MSGBOX_POINTS, 380)
            if answer != "msg_ok_btn":
                s.wait_window("gone", d.MSGBOX_CLASS, timeout=20)
                still = s.window(d.MAIN_CLASS)
                self.assertTrue(still.visible and still.enabled, answer)
                self.assertIsNone(process.poll())
        self.assertEqual(self.wait_exit(process), 0)
        self.assert_events(["install_close_click"])
        self.assertIsNone(s.uninstall_entry())

    def test_welcome_view_refusals(self):
        """Unticking the agreement disables install; a folder that cannot be created opens the customise view
        instead of installing; the two links open the configured pages."""
        d, s = self.d, self.session
        process = self.start(self.stage())
        window = s.wait_window("visible")
        for control in ("qq_contact_btn", "agreement_btn", "agree_checkbox", "install_btn"):
            s.click(window, control)
        time.sleep(2)
        self.assertEqual(s.window().height, 400, "install started with the agreement unticked")
        self.assertNotIn("install_click", self.log.text())

        s.click(window, "agree_checkbox")
        expanded = s.type_into_customise_view(window, r"vexor\Quillon")
        s.click(expanded, "extend_btn")  # back to the welcome view, where the install button is
        s.wait_for(lambda: s.window().height == 400, "welcome view")
        s.click(window, "install_btn")
        self.log.wait_for("安装路径无效", timeout=20)
        self.assertEqual(s.window().height, 467, "the customise view shows the folder to correct")
        self.assertNotIn("install_click", self.log.text())
        self.assertFalse((self.stage_dir / "vexor").exists(), "unpacked beside the installer")

        s.key("alt+F4")
        self.assertEqual(self.wait_exit(process), 0)
        self.assert_events([])
        urls = (self.stage_dir / "opened_urls.txt").read_text().splitlines()
        self.assertEqual(urls, [ARGS.support_url, ARGS.agreement_url])

    def test_users_folder_refused(self):
        """A typed folder that holds the user's files starts nothing: a notice says why, the customise view
        stays with the field, and the files stay as they were."""
        d, s = self.d, self.session
        self.make_users_folder()
        process = self.start_install(self.stage(), USERS_FOLDER)
        box = s.wait_window("visible", d.MSGBOX_CLASS, timeout=20)
        self.assertFalse(s.window(d.MAIN_CLASS).enabled, "the main window is disabled under the notice")
        self.log.wait_for(f'安装路径不可用，未开始安装："{USERS_FOLDER}"', timeout=20)
        s.click(box, "msg_ok_btn", d.NOTICE_POINTS, 380)
        s.wait_window("gone", d.MSGBOX_CLASS, timeout=20)
        self.assertEqual(s.window().height, 467, "the customise view shows the folder to correct")
        self.assertNotIn("install_click", self.log.text())
        s.key("alt+F4")
        self.assertEqual(self.wait_exit(process), 0)
        self.assert_users_folder_intact()
        self.assert_events([])

    def test_update_into_users_folder_fails(self):
        """"-update" into a registered folder that holds the user's files also starts nothing."""
        log = self.run_into_users_folder("-update")
        self.assertIn("升级失败", log)
        self.assertNotIn("LaunchProcess", log)
        self.assertFalse(self.session.window(self.d.LAUNCHER_CLASS).found)

    def test_silent_into_users_folder_fails(self):
        """"/S" without "/D=" takes the registered folder; an unknown switch is logged and ignored."""
        log = self.run_into_users_folder("/quiet", "/S")
        self.assertIn('未知的命令行参数，已忽略："/quiet"', log)
        self.assertIn(f'安装路径不可用，未开始安装："{USERS_FOLDER}"', log)

    def test_damaged_installer_fails_and_leaves_nothing(self):
        """A damaged payload ends on the failure view; its close button ends the process with the damaged
        installer's code, and the machine holds nothing of the attempt: no entry, no links, no folders."""
        s = self.session
        for link in LINKS:
            s.unix_path(link).unlink(missing_ok=True)
        process = self.start_install(self.stage(damaged=True), r"C:\E2E\vexor\Quillon")
        self.log.wait_for("安装结果 :-1", timeout=120)
        window = s.window()
        self.assertEqual(window.height, 400)
        s.click(window, "failure_close_btn")
        self.assertEqual(self.wait_exit(process), EXIT_DAMAGED_INSTALLER)
        self.assert_unregistered()
        self.assertFalse(s.unix_path(r"C:\E2E").exists(), "folders left behind")
        self.assert_events(INSTALL_EVENTS + ["install_finish_close_click"])

    def test_system_close_during_installation(self):
        """Alt+F4 while the worker runs hides the window; the process ends only after the worker's result,
        with the folder completely swapped into place."""
        d, s = self.d, self.session
        folder = r"C:\E2E\vexor\Quillon"
        staged, process = self.install_until_gate(folder)
        s.key("alt+F4")
        s.wait_window("hidden", timeout=20)
        time.sleep(1)
        self.assertIsNone(process.poll(), "the process ended while the worker was running")
        self.assertNotIn("安装结果", self.log.text())
        d.release_gate(staged)
        self.assertEqual(self.wait_exit(process), 0)
        self.assertIn("安装结果 :0", self.log.text())
        self.assert_installed(folder)
        self.assertFalse(s.window(d.LAUNCHER_CLASS).found)
        self.assert_events(INSTALL_EVENTS)

    def test_update_mode_keeps_users_files(self):
        """"-update" installs at once into the registered folder, launches the application and closes; a
        plugin the user then adds to the installation is still there after the next "-update"."""
        folder = r"C:\E2E\update\vexor\Quillon"
        self.session.set_install_location(folder + "\\")
        staged = self.stage()
        self.update(staged)
        self.assertIn("isUpdate flag :1", self.log.text())
        self.assert_installed(folder)
        self.assert_launcher_started(folder)
        self.assert_events(["upgrade_install_click", "upgrade_install_start", "upgrade_install_complete"])
        self.session.close_window(self.d.LAUNCHER_CLASS)
        plugin = self.session.unix_path(folder + r"\plugins\my_plugin.dll")
        plugin.write_bytes(b"MZ the user's plugin")
        self.update(staged)
        self.assert_installed(folder, users_files=["plugins/my_plugin.dll"])
        self.assertEqual(plugin.read_bytes(), b"MZ the user's plugin")
        self.assert_launcher_started(folder)
        self.assertEqual(self.log.text().count("保留了原安装中不属于安装包的 1 个文件和 0 个文件夹"), 1)

    def test_signed_installer_update(self):
        """A copy signed as a build with a certificate signs it still installs: the payload is intact."""
        folder = r"C:\E2E\signed\vexor\Quillon"
        self.session.set_install_location(folder)
        staged = self.stage()
        self.d.sign_with_test_certificate(self.root, staged, self.stage_dir / "certificate")
        self.update(staged)
        self.assert_installed(folder)

    def test_full_disk_upgrade(self):
        """An upgrade whose new tree does not fit beside the old one fails before anything is touched: the
        old installation stays byte for byte, no temporary folder is left, the log gives the cause with its
        figures, the exit code says "not enough space", and the old application still starts."""
        s = self.session
        mount = Path(tempfile.mkdtemp(prefix="quillon-small-disk-"))
        subprocess.run(["mount", "-t", "tmpfs", "-o", "size=16m", "tmpfs", str(mount)], check=True)
        self.addCleanup(lambda: (subprocess.run(["umount", "-l", str(mount)]), mount.rmdir()))
        self.addCleanup(s.map_drive("t", mount))
        folder = r"T:\vexor\Quillon"
        s.set_install_location(folder)
        staged = self.stage()
        self.update(staged)
        self.assert_launcher_started(folder)
        s.close_window(self.d.LAUNCHER_CLASS)

        before = tree(mount)
        free = os.statvfs(mount)
        (mount / "filler.bin").write_bytes(b"\0" * (free.f_bavail * free.f_frsize - (256 << 10)))  # 256 KiB left
        self.update(staged, 2)  # not enough space
        # A temporary folder left beside the installation would show here too.
        self.assertEqual({n: data for n, data in tree(mount).items() if n != "filler.bin"}, before)
        self.assertRegex(self.log.text(), r"磁盘空间不足：需要 \d+ 字节，可用 \d+ 字节")
        self.assert_launcher_started(folder)

    def test_upgrade_marker_relaunch(self):
        """With the application's upgrade marker present, a normal start hands over to a copy of itself
        started with " -update" and shows no window of its own."""
        self.marker.parent.mkdir(parents=True, exist_ok=True)
        self.marker.write_text("upgrade")
        # An icacls.exe beside the product, as one planted in Downloads would be: never run.
        self.assertEqual(self.wait_exit(self.start(self.stage(self.product, gate=True))), 0)
        self.log.wait_for("isUpdate flag :1", timeout=60)
        text = self.log.text()
        self.assertRegex(text, r"更新逻辑触发二次启动，进程号：\d+")
        self.assertNotIn("更新逻辑触发二次启动，进程号：4294967295", text)
        self.assertNotIn("isUpdate flag :0", text)
        self.assert_launcher_started(self.session.program_files + r"\vexor\Quillon")
        self.assertTrue(self.marker.exists(), "the marker belongs to the application")
        self.assertFalse((self.stage_dir / "icacls.log").exists(), "the product ran the icacls.exe beside it")

    def test_single_instance(self):
        """Two starts at the same moment give one installer; a later start while the installer's window
        exists restores and activates that window only."""
        d, s = self.d, self.session
        staged = self.stage(self.product)
        starts = [self.start(staged), self.start(staged)]
        s.wait_window("visible")
        s.wait_for(lambda: any(p.poll() is not None for p in starts), "one of the two starts to end")
        codes = [p.poll() for p in starts]
        self.assertCountEqual(codes, [0, None], "one start goes on, the other ends with 0")
        first = starts[codes.index(None)]
        self.assertEqual(s.window().count, 1)
        self.log.wait_for("isUpdate flag :0")
        self.assertIn("iconic=1", s.probe("minimize", d.MAIN_CLASS)[1])
        self.assertEqual(self.wait_exit(self.start(staged)), 0)
        window = s.window()
        self.assertTrue(window.visible and not window.iconic)
        self.assertIsNone(first.poll())
        time.sleep(1.5)  # the log is flushed once a second
        self.assertEqual(self.log.text().count("isUpdate flag"), 1)
        s.probe("close", d.MAIN_CLASS)
        self.assertEqual(self.wait_exit(first), 0)

    def test_second_start_during_installation(self):
        """A start while the installation runs only brings the installer forward and starts no second
        worker; after Alt+F4 hid the window it shows it again, and the installer then stays open past the
        end of the installation instead of closing."""
        d, s = self.d, self.session
        folder = r"C:\E2E\vexor\Quillon"
        staged, process = self.install_until_gate(folder)
        for hide in (False, True):
            if hide:
                s.key("alt+F4")
                s.wait_window("hidden", timeout=20)
            self.assertEqual(self.wait_exit(self.start(staged)), 0)
            window = s.window()
            self.assertTrue(window.visible and not window.iconic, f"after hiding: {hide}")
            self.assertEqual(window.count, 1)
            self.assertIsNone(process.poll())
        d.release_gate(staged)
        self.log.wait_for("安装结果 :0", timeout=60)
        # A close still pending would have destroyed the window while logging the result.
        self.assertTrue(s.window().visible, "the window closed although a later start asked for it")
        self.assertIsNone(process.poll())
        self.assertEqual([self.log.text().count(n) for n in ("isUpdate flag", "安装结果")], [1, 1])
        s.probe("close", d.MAIN_CLASS)
        self.assertEqual(self.wait_exit(process), 0)
        self.assert_installed(folder)
        self.assert_events(INSTALL_EVENTS)

    def test_silent_install(self):
        """"/S" with "/D=" (a folder with a space, the raw rest of the command line) installs with no window
        ever shown, sends the install events, starts nothing, and ends with 0; a second silent start meanwhile
        ends at once with its own code and leaves the first alone."""
        d, s = self.d, self.session
        folder = r"C:\E2E\silent dir\Quillon"
        # Watches for a main window, shown or not, during the whole run; it ends only if it finds one.
        watcher = self.start(s.helpers / "win_probe.exe", "wait", d.MAIN_CLASS, "found", 600000)
        staged = self.stage(gate=True)
        # Separate arguments reach the program unquoted: "/D=C:\E2E\silent dir\Quillon" as typed.
        process = self.start(staged, "/s", r"/D=C:\E2E\silent", r"dir\Quillon")
        s.wait_for(lambda: d.gate_reached(staged), "the worker's permissions step")
        self.assertEqual(self.wait_exit(self.start(staged, "/S")), EXIT_ANOTHER_INSTALLER_RUNS)
        self.assertFalse(s.window(d.MSGBOX_CLASS).found)
        self.assertIsNone(process.poll())
        d.release_gate(staged)
        self.assertEqual(self.wait_exit(process), 0, self.log.text())
        self.assertIsNone(watcher.poll(), "a main window appeared")

        self.assert_installed(folder)
        self.assert_links(folder)
        log = self.log.text()
        self.assertIn(f'静默安装，安装路径："{folder}"', log)
        self.assertIn("安装结果 :0", log)
        self.assertNotIn("LaunchProcess", log)
        self.assertEqual(log.count("isUpdate flag"), 1)
        self.assert_events(INSTALL_EVENTS)
        self.assertFalse(s.window(d.LAUNCHER_CLASS).found)

    def test_crash_dump(self):
        """An access violation in an installer started from a folder with "logs" leaves the dump there."""
        s = self.session
        process = self.start(self.stage(self.product, logs=True))
        code, text = s.probe("crash", s.wait_window("visible").pid)
        # The installer ended through the access violation (0xC0000005), not by an exit of its own.
        self.assertEqual((code, text.strip().splitlines()[-1:]), (0, ["exit=c0000005"]), text)
        self.assertEqual(self.wait_exit(process), 0xC0000005 & 0xFF)
        self.assertEqual((self.stage_dir / "logs" / "installer_crash.dmp").read_bytes()[:4], b"MDMP")

    def test_uninstall(self):
        """unins000.exe /S, run from the installation while the application runs, stops it and removes what
        was installed, the links, the taskbar pin and the entry; the user's files and folders stay. Without a
        record only the links, the pin and the entry go, and the exit code says so."""
        d, s = self.d, self.session
        folder = r"C:\E2E\uninstall\vexor\Quillon"
        installed = s.unix_path(folder)
        users_files = {"docs": None, "projects": None, "docs/my notes.txt": b"mine\r\n",
                       "projects/draft.txt": b"draft\r\n"}
        temp = s.temp_folder().parts  # ...drive_c/users/<name>/..., the user's profile folder
        pin = Path(*temp[:temp.index("drive_c") + 3], "AppData", "Roaming", "Microsoft", "Internet Explorer",
                   "Quick Launch", "User Pinned", "TaskBar", "Quillon.lnk")
        for with_record in (True, False):
            shutil.rmtree(s.unix_path(r"C:\E2E"), ignore_errors=True)
            self.session.set_install_location(folder)
            self.update(self.stage())
            s.wait_window("visible", d.LAUNCHER_CLASS, timeout=30)
            self.assert_links(folder)
            pin.parent.mkdir(parents=True, exist_ok=True)
            shutil.copyfile(s.unix_path(next(iter(LINKS))), pin)  # a pin of the launcher in this folder
            if not with_record:
                (installed / RECORD).unlink()
            for name, data in users_files.items():
                (installed / name).mkdir(exist_ok=True) if data is None else (installed / name).write_bytes(data)
            before = tree(installed)

            log = d.LogReader(s.log_file("unins000.exe"))
            if with_record:
                # Closing the window that asks first keeps the application as it is.
                process = self.start(installed / "unins000.exe")
                s.wait_window("visible", "QuillonUninstallWnd", timeout=30)
                s.probe("close", "QuillonUninstallWnd")
                self.assertEqual(self.wait_exit(process), 0)
                log.wait_for("uninstall finished: exit code 0")
                self.assertTrue(s.window(d.LAUNCHER_CLASS).found, "the application was stopped")
                self.assertEqual(tree(installed), before)
                self.assertIsNotNone(s.uninstall_entry())
                log = d.LogReader(s.log_file("unins000.exe"))
            code = self.wait_exit(self.start(installed / "unins000.exe", "/S"))
            # The temporary copy deletes the original program after the original has ended.
            log.wait_for("uninstall finished: exit code")
            self.assertEqual(code, 0 if with_record else UNINSTALL_EXIT_NO_RECORD, log.text())
            self.assertEqual(tree(installed), users_files if with_record else before)
            self.assertFalse(s.window(d.LAUNCHER_CLASS).found, "the application still runs")
            self.assert_unregistered()
            self.assertFalse(s.unix_path(list(LINKS)[1]).parent.exists(), "start menu folder left")
            self.assertFalse(pin.exists(), "taskbar pin left")


def main():
    global ARGS
    parser = argparse.ArgumentParser()
    parser.add_argument("--root", required=True)
    parser.add_argument("--build", required=True)
    parser.add_argument("--support-url", default="")
    parser.add_argument("--agreement-url", default="")
    parser.add_argument("--arch", choices=["win64", "win32"], default="win64",
                        help="the Windows the cases run on: 64-bit (build/wineprefix) or 32-bit (build/wineprefix32)")
    ARGS, rest = parser.parse_known_args()
    unittest.main(argv=[sys.argv[0], *rest], verbosity=2)


if __name__ == "__main__":
    main()
