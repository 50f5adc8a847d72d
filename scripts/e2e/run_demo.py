#!/usr/bin/env python3
"""make run, headless: installs the demo application with the installer the way a person would,
on the X display given in DISPLAY (scripts/run.sh starts a virtual one).

For 150 % and then 100 % DPI: the quit box over the welcome view (cancelled) and the notice box that
refuses a folder holding the user's files (the run ends there, nothing installed); welcome view, the
customise view with a typed folder, install, the installing view, the finish view -- each saved to
bin/screenshots/ -- then the finish button. Then, at the same DPI, a copy of the installer whose payload is
damaged upgrades that installation: its failure view is saved too, and its close button ends it with the
damaged installer's exit code while the installation stays as it was. Afterwards it prints where the application was installed, the uninstall entry, the three
links and the run's log.
"""

import argparse
import shutil
import sys
import time
from pathlib import Path

sys.path.insert(0, str(Path(__file__).resolve().parent))
import driver  # noqa: E402

FOLDER = r"C:\Apps\vexor\Quillon"
# A folder of the user's: the installer refuses it with its notice box.
USERS_FOLDER = r"C:\Demo\My Notes"
LINKS = (
    r"C:\users\Public\Desktop\Quillon.lnk",
    r"C:\ProgramData\Microsoft\Windows\Start Menu\Programs\Quillon\Quillon.lnk",
    r"C:\ProgramData\Microsoft\Windows\Start Menu\Programs\Quillon\卸载Quillon.lnk",
)


def run_once(session, root, dpi, shots):
    session.set_dpi(dpi)
    # The product starts only the system's icacls; the demo build (the product plus the gate, see
    # tests/CMakeLists.txt) holds its permissions step for the installing view's screenshot.
    staged = driver.stage_installer(session, session.build / "run-demo" / "QuillonSetup.exe",
                                    session.build / "run-stage", gate=True)
    log = driver.LogReader(session.log_file())
    print(f"== {dpi * 100 // 96} % DPI: welcome -> customise ({FOLDER}) -> install -> finish", flush=True)
    process, finish = driver.click_through(session, staged, FOLDER, shots=shots, suffix=f"_{dpi * 100 // 96}",
                                           log=log)
    code = driver.finish_and_wait(session, process, finish)
    launcher = session.wait_window("visible", driver.LAUNCHER_CLASS, timeout=30)
    print(f"   installer exit code {code}; the launcher started (process {launcher.pid})", flush=True)
    session.probe("close", driver.LAUNCHER_CLASS)
    session.wait_window("gone", driver.LAUNCHER_CLASS, timeout=30)
    return code, log


def run_boxes(session, root, dpi, shots):
    """The two boxes over the main window: the quit question (cancelled), then the notice that refuses the
    user's folder; a system close then ends the run before anything is installed."""
    session.set_dpi(dpi)
    staged = driver.stage_installer(session, root / "bin" / "QuillonSetup.exe", session.build / "run-stage-boxes")
    users = session.unix_path(USERS_FOLDER)
    users.mkdir(parents=True, exist_ok=True)
    (users / "notes.txt").write_text("the user's own notes\n")
    percent = dpi * 100 // 96
    print(f"== {percent} % DPI: the quit box, then the notice box for {USERS_FOLDER}", flush=True)
    process = session.start(staged, cwd=str(staged.parent))
    window = session.wait_window("visible")
    session.click(window, "close_btn")
    box = session.wait_window("visible", driver.MSGBOX_CLASS, timeout=20)
    session.move_mouse_away()
    # The main window's area: the box is centred over it, and the picture shows the two apart.
    session.screenshot(window, shots / f"5_quit_box_{percent}.png")
    session.click(box, "msg_cancel_btn", driver.MSGBOX_POINTS, 380)
    session.wait_window("gone", driver.MSGBOX_CLASS, timeout=20)

    expanded = session.type_into_customise_view(window, USERS_FOLDER)
    session.click(expanded, "install_btn")
    box = session.wait_window("visible", driver.MSGBOX_CLASS, timeout=20)
    session.move_mouse_away()
    session.screenshot(expanded, shots / f"7_notice_{percent}.png")
    session.click(box, "msg_ok_btn", driver.NOTICE_POINTS, 380)
    session.wait_window("gone", driver.MSGBOX_CLASS, timeout=20)
    session.probe("close", driver.MAIN_CLASS)  # before installation a system close ends the run at once
    code = process.wait(timeout=60)
    print(f"   installer exit code {code}; {USERS_FOLDER} kept: {(users / 'notes.txt').exists()}", flush=True)
    return code


def run_failure(session, root, dpi, shots):
    """A damaged installer over the installation: the failure view, then its close button."""
    session.set_dpi(dpi)
    staged = driver.stage_installer(session, root / "bin" / "QuillonSetup.exe",
                                    session.build / "run-stage-damaged", damaged=True)
    log = driver.LogReader(session.log_file())
    print(f"== {dpi * 100 // 96} % DPI: a damaged installer -> install -> failure view", flush=True)
    process = session.start(staged, cwd=str(staged.parent))
    window = session.wait_window("visible")
    session.click(window, "install_btn")  # the field proposes the installed folder
    log.wait_for("安装结果 :", timeout=120)
    time.sleep(0.5)
    session.move_mouse_away()
    session.screenshot(session.window(), shots / f"6_failure_{dpi * 100 // 96}.png")
    session.click(window, "failure_close_btn")
    code = process.wait(timeout=60)
    print(f"   installer exit code {code}", flush=True)
    return code


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--root", required=True)
    parser.add_argument("--build", required=True)
    args = parser.parse_args()
    root = Path(args.root).resolve()
    session = driver.Session(root, args.build)
    shots = root / "bin" / "screenshots"
    # The run installs into a folder of its own prefix. One left by an earlier run whose uninstall entry is
    # gone (the end-to-end tests remove it) is no longer known as an installation, and the installer would
    # rightly refuse it as the user's: each run starts without it.
    shutil.rmtree(session.unix_path(FOLDER), ignore_errors=True)

    try:
        boxes = [run_boxes(session, root, 144, shots), run_boxes(session, root, 96, shots)]
        codes = [run_once(session, root, 144, shots)[0], run_failure(session, root, 144, shots)]
        code, log = run_once(session, root, 96, shots)
        codes += [code, run_failure(session, root, 96, shots)]
    finally:
        session.set_dpi(96)

    installed = session.unix_path(FOLDER)
    files = [p for p in installed.rglob("*") if p.is_file()]
    print()
    print(f"Installed in {FOLDER}  ({installed}): {len(files)} files, "
          f"{sum(p.stat().st_size for p in files)} bytes")
    for entry in sorted(installed.iterdir()):
        print(f"   {entry.name}{'/' if entry.is_dir() else ''}")
    print()
    print(f"Uninstall entry {session.uninstall_key}")
    for name, value in (session.uninstall_entry() or {}).items():
        print(f"   {name} = {value}")
    print()
    print("Links")
    for link in LINKS:
        status, text = session.probe("link", link)
        target = next((line[len("target="):] for line in text.splitlines() if line.startswith("target=")), None)
        print(f"   {link} -> {target if status == 0 else '(missing)'}")
    print()
    print(f"Log {session.log_file()} (this run)")
    for line in log.lines():
        print(f"   {line}")
    print()
    print(f"Screenshots in {shots}:")
    for shot in sorted(shots.glob("*.png")):
        print(f"   {shot.name}")
    # The installations succeed (0), the damaged installer fails with a failure class's code, the runs that
    # only showed the boxes end with 0.
    return 0 if codes[0] == codes[2] == 0 and codes[1] > 1 and codes[3] > 1 and boxes == [0, 0] else 1


if __name__ == "__main__":
    sys.exit(main())
