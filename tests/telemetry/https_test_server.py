#!/usr/bin/env python3
"""A real HTTPS server on 127.0.0.1:443 for the telemetry tests, run as a CTest fixture.

  start  makes a certificate authority for this run and a server certificate for "localhost" signed by
         it, makes the authority trusted in the build's Wine prefix (trust_test_ca.exe), and starts the
         server in the background
  stop   stops the server and removes the authority from the prefix again
  serve  the server itself (started by "start")

The tests steer the server through files in its folder (--dir):
  mode           what the next answers are: "200" (default, body "ok"), "500" (body "server failed"),
                 "empty" (200 without a body), "long" (200 with LONG_BODY_SIZE bytes, see long_body) or
                 "never" (see Handler.hold_open)
  requests.jsonl one JSON object per request received: method, path, headers ([name, value] pairs in
                 the order sent) and body_hex
"""
import argparse
import http.server
import json
import os
import secrets
import signal
import socket
import socketserver
import ssl
import subprocess
import sys
import tempfile
import threading
import time
from pathlib import Path

HOST = "127.0.0.1"  # loopback only
PORT = 443
CA_NAME = "Quillon Telemetry Test CA"  # trust_test_ca.exe finds the authority by this name
SERVER_NAME = "localhost"
IDLE_LIMIT_S = 600  # the server ends by itself when no test has talked to it for this long
LIFETIME_LIMIT_S = 3600
HOLD_LIMIT_S = 60  # longest time a "never" answer is held open
LONG_BODY_SIZE = 24000


def long_body():
    """Body of the "long" mode: "00000|00001|..." -- several 8192-byte reads, each part distinct."""
    return "".join(f"{i:05d}|" for i in range(LONG_BODY_SIZE // 6)).encode()


class State:
    def __init__(self, folder):
        self.folder = Path(folder)
        self.lock = threading.Lock()
        self.last_activity = time.monotonic()

    def mode(self):
        try:
            return (self.folder / "mode").read_text().strip() or "200"
        except OSError:
            return "200"

    def record(self, entry):
        with self.lock:
            self.last_activity = time.monotonic()
            with open(self.folder / "requests.jsonl", "a", encoding="utf-8") as out:
                out.write(json.dumps(entry) + "\n")


class Handler(http.server.BaseHTTPRequestHandler):
    protocol_version = "HTTP/1.1"
    server_version = "QuillonTestServer"
    sys_version = ""

    def do_POST(self):
        state = self.server.state
        length = int(self.headers.get("Content-Length") or 0)
        body = self.rfile.read(length) if length > 0 else b""
        state.record({
            "method": self.command,
            "path": self.path,
            "headers": [[name, value] for name, value in self.headers.items()],
            "body_hex": body.hex(),
        })
        mode = state.mode()
        if mode == "never":
            self.hold_open(state)
            return
        answers = {"500": (500, b"server failed"), "empty": (200, b""), "long": (200, long_body())}
        self.reply(*answers.get(mode, (200, b"ok")))

    def reply(self, status, body):
        self.send_response(status)
        self.send_header("Content-Type", "text/plain")
        self.send_header("Content-Length", str(len(body)))
        self.end_headers()
        self.wfile.write(body)
        self.wfile.flush()

    def hold_open(self, state):
        """Starts an answer and does not finish it while the mode stays "never".

        A header line every second keeps the client's 5000 ms receive time-out from ending the request,
        so the request stays in flight for as long as the test needs. Once the mode changes (or after
        HOLD_LIMIT_S) the answer is completed with an empty body.
        """
        self.wfile.write(b"HTTP/1.1 200 OK\r\nContent-Type: text/plain\r\n")
        self.wfile.flush()
        started = time.monotonic()
        while state.mode() == "never" and time.monotonic() - started < HOLD_LIMIT_S:
            time.sleep(1)
            self.wfile.write(b"X-Hold: waiting\r\n")
            self.wfile.flush()
        self.wfile.write(b"Content-Length: 0\r\n\r\n")
        self.wfile.flush()
        self.close_connection = True

    def log_message(self, fmt, *args):
        sys.stderr.write("%s %s\n" % (self.address_string(), fmt % args))


class Server(socketserver.ThreadingMixIn, http.server.HTTPServer):
    daemon_threads = True
    request_queue_size = 128  # fifty clients connect at once

    def __init__(self, state, context):
        super().__init__((HOST, PORT), Handler)
        self.state = state
        self.context = context

    def finish_request(self, request, client_address):
        # The handshake runs on the connection's own thread, so one slow client holds up nobody else.
        request.settimeout(HOLD_LIMIT_S + 10)
        try:
            tls = self.context.wrap_socket(request, server_side=True)
        except (ssl.SSLError, OSError) as error:
            sys.stderr.write(f"handshake with {client_address} failed: {error}\n")
            return
        try:
            super().finish_request(tls, client_address)
        finally:
            tls.close()

    def handle_error(self, request, client_address):
        sys.stderr.write(f"connection from {client_address} ended: {sys.exc_info()[1]!r}\n")


def serve(args):
    state = State(args.dir)
    context = ssl.SSLContext(ssl.PROTOCOL_TLS_SERVER)
    context.load_cert_chain(Path(args.dir) / "server.pem", Path(args.dir) / "server.key")
    server = Server(state, context)
    started = time.monotonic()

    def watchdog():
        while True:
            time.sleep(5)
            now = time.monotonic()
            if now - state.last_activity > IDLE_LIMIT_S or now - started > LIFETIME_LIMIT_S:
                sys.stderr.write("idle or lifetime limit reached; stopping\n")
                server.shutdown()
                return

    threading.Thread(target=watchdog, daemon=True).start()
    (Path(args.dir) / "ready").write_text(str(os.getpid()))
    server.serve_forever(poll_interval=0.2)
    server.server_close()


def openssl(*arguments, cwd):
    subprocess.run(["openssl", *arguments], cwd=cwd, check=True, stdout=subprocess.DEVNULL,
                   stderr=subprocess.PIPE)


def make_certificates(folder):
    """A fresh authority and a server certificate for SERVER_NAME; the authority's key is deleted once
    it has signed, so nothing can be signed with it afterwards even if the authority stays trusted."""
    config = f"""[req]
distinguished_name = dn
prompt = no
[dn]
CN = {CA_NAME}
[ca]
basicConstraints = critical, CA:TRUE
keyUsage = critical, keyCertSign, cRLSign
subjectKeyIdentifier = hash
[server]
basicConstraints = critical, CA:FALSE
keyUsage = critical, digitalSignature, keyEncipherment
extendedKeyUsage = serverAuth
subjectAltName = DNS:{SERVER_NAME}
authorityKeyIdentifier = keyid
subjectKeyIdentifier = hash
"""
    (folder / "openssl.cnf").write_text(config)
    with tempfile.TemporaryDirectory(dir=folder) as private:
        ca_key = Path(private) / "ca.key"
        openssl("req", "-config", "openssl.cnf", "-x509", "-newkey", "rsa:2048", "-nodes", "-sha256",
                "-keyout", str(ca_key), "-out", "ca.pem", "-days", "2", "-extensions", "ca",
                "-set_serial", str(secrets.randbits(62)), cwd=folder)
        openssl("req", "-config", "openssl.cnf", "-new", "-newkey", "rsa:2048", "-nodes", "-sha256",
                "-keyout", "server.key", "-out", "server.csr", "-subj", f"/CN={SERVER_NAME}", cwd=folder)
        openssl("x509", "-req", "-in", "server.csr", "-CA", "ca.pem", "-CAkey", str(ca_key), "-sha256",
                "-days", "2", "-set_serial", str(secrets.randbits(62)), "-extfile", "openssl.cnf",
                "-extensions", "server", "-out", "server.pem", cwd=folder)
    openssl("x509", "-in", "ca.pem", "-outform", "der", "-out", "ca.der", cwd=folder)


def windows_path(path):
    return "Z:" + str(Path(path).resolve()).replace("/", "\\")


def run_trust_tool(args, *tool_arguments):
    result = subprocess.run([args.wine_run, args.prefix, args.trust_tool, *tool_arguments],
                            stdin=subprocess.DEVNULL, capture_output=True, text=True)
    print(result.stdout.strip(), result.stderr.strip())
    if result.returncode != 0:
        raise SystemExit(f"trust_test_ca {' '.join(tool_arguments)} failed with {result.returncode}")


def server_pid(folder):
    """Pid of a server started from this folder that is still running, or None."""
    try:
        pid = int((folder / "server.pid").read_text())
        cmdline = Path(f"/proc/{pid}/cmdline").read_bytes().split(b"\0")
    except (OSError, ValueError):
        return None
    script = os.fsencode(Path(__file__).name)
    return pid if any(part.endswith(script) for part in cmdline) and b"serve" in cmdline else None


def stop_server(folder):
    pid = server_pid(folder)
    if pid is None:
        return
    os.kill(pid, signal.SIGTERM)
    for _ in range(50):
        if server_pid(folder) is None:
            break
        time.sleep(0.1)
    else:
        os.kill(pid, signal.SIGKILL)
    (folder / "server.pid").unlink(missing_ok=True)


def start(args):
    folder = Path(args.dir)
    folder.mkdir(parents=True, exist_ok=True)
    stop_server(folder)  # left over from a run that was cut short
    for name in ("ready", "mode", "requests.jsonl"):
        (folder / name).unlink(missing_ok=True)
    make_certificates(folder)
    run_trust_tool(args, "add", windows_path(folder / "ca.der"))

    with open(folder / "server.log", "w") as log:
        child = subprocess.Popen([sys.executable, str(Path(__file__).resolve()), "serve", "--dir", str(folder)],
                                 stdin=subprocess.DEVNULL, stdout=log, stderr=log, start_new_session=True)
    (folder / "server.pid").write_text(str(child.pid))
    deadline = time.monotonic() + 15
    while not (folder / "ready").exists():
        if child.poll() is not None or time.monotonic() > deadline:
            sys.stderr.write((folder / "server.log").read_text())
            raise SystemExit(f"the test server did not start on {HOST}:{PORT}")
        time.sleep(0.1)
    with socket.create_connection((HOST, PORT), timeout=5):
        pass
    print(f"test server listening on {HOST}:{PORT} (pid {child.pid})")


def stop(args):
    folder = Path(args.dir)
    stop_server(folder)
    run_trust_tool(args, "remove")
    for name in ("server.key", "server.csr"):
        (folder / name).unlink(missing_ok=True)
    print("test server stopped")


def main():
    parser = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    parser.add_argument("command", choices=["start", "stop", "serve"])
    parser.add_argument("--dir", required=True, help="the server's folder (certificates, mode, records)")
    parser.add_argument("--wine-run", help="scripts/wine-run.sh")
    parser.add_argument("--prefix", help="the build's Wine prefix")
    parser.add_argument("--trust-tool", help="trust_test_ca.exe")
    args = parser.parse_args()
    {"start": start, "stop": stop, "serve": serve}[args.command](args)


if __name__ == "__main__":
    main()
