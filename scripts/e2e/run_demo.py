#!/usr/bin/env python3
"""make run, headless: installs the demo application with bin/QuillonSetup.exe the way a person would,
on the X display given in DISPLAY (scripts/run.sh starts a virtual one).

For 150 % and then 100 % DPI: welcome view, the customise view with a typed folder, install, the
installing view, the finish view -- each saved to bin/screenshots/ -- then the finish button. Afterwards
it prints where the application was installed, the uninstall entry, the three links and the run's log.
"""

import argparse
import sys
import time
from pathlib import Path

sys.path.insert(0, str(Path(__file__).resolve().parent))
import driver  # noqa: E402

FOLDER = r"C:\Apps\vexor\Quillon"
LINKS = (
    r"C:\users\Public\Desktop\Quillon.lnk",
    r"C:\ProgramData\Microsoft\Windows\Start Menu\Programs\Quillon\Quillon.lnk",
    r"C:\ProgramData\Microsoft\Windows\Start Menu\Programs\Quillon\卸载Quillon.lnk",
)


def run_once(session, root, dpi, shots):
    session.set_dpi(dpi)
    staged = driver.stage_installer(session, root / "bin" / "QuillonSetup.exe",
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


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--root", required=True)
    parser.add_argument("--build", required=True)
    args = parser.parse_args()
    root = Path(args.root).resolve()
    session = driver.Session(root, args.build)
    shots = root / "bin" / "screenshots"

    try:
        run_once(session, root, 144, shots)
        code, log = run_once(session, root, 96, shots)
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
    print(f"Uninstall entry {driver.UNINSTALL_KEY}")
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
    return code


if __name__ == "__main__":
    sys.exit(main())
