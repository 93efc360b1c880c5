#!/usr/bin/env python3
"""A loopback HTTP server for tests, the demo and the benchmarks: serves the files of a folder
and misbehaves on request, path by path.

usage: http_server.py [--root DIR] [--port N] [--rule PATH BEHAVIOURS]... [--rules FILE]
                      [--log FILE] [--port-file FILE] [--tls DIR] [--timeout SECONDS]
                      [--sent-file FILE]
                      [-- COMMAND ARGS...]

  --root DIR        folder served: GET /a/b.dat answers with DIR/a/b.dat, read afresh on every
                    request (default: the current folder); a missing file is a 404
  --port N          port on 127.0.0.1 (default 0: a free one)
  --rule PATH B     behaviours B (one argument, blank-separated tokens) for PATH; a PATH ending
                    in '*' is a prefix; the first matching rule counts, --rules before --rule
  --rules FILE      more rules, one "PATH BEHAVIOURS" per line ('#' starts a comment), read
                    again on every request, so a test can change them between requests
  --log FILE        one JSON line per request: time, method, path and the request headers
                    (emptied at the start)
  --port-file FILE  the port, written once the server listens (for scripts)
  --sent-file FILE  the number of body bytes sent so far, rewritten after each answer
  --tls DIR         also serves the same folder and rules over https, on four more ports:
                    certificates made in DIR with openssl at start: a test CA (DIR/ca.der,
                    to be trusted by the client) and, signed by it, one for 127.0.0.1
                    (HTTPS_TEST_PORT), one for another name (HTTPS_OTHER_NAME_PORT), an
                    expired one (HTTPS_EXPIRED_PORT); and one from a CA nobody trusts
                    (HTTPS_UNTRUSTED_PORT). The four ports and HTTPS_TEST_CA (the CA's DER
                    file) go into COMMAND's environment and, as NAME=VALUE lines, DIR/ports
  --timeout S       ends the server (and kills COMMAND) after S seconds; 0: no limit
  -- COMMAND        runs COMMAND with HTTP_TEST_PORT, HTTP_TEST_ROOT, HTTP_TEST_RULES and
                    HTTP_TEST_LOG in its environment, stops when it ends and exits with its
                    code (124 after the timeout); without COMMAND the server runs until
                    SIGTERM, SIGINT or the timeout

Behaviours:
  status=N           answer N with a short text body (304: no body)
  redirect=LOCATION  302 to LOCATION
  no-last-modified   no Last-Modified header (default: the file's modification time)
  last-modified=T    Last-Modified of T seconds since 1970
  conditional        a file not modified after the request's If-Modified-Since (to the
                     second) is answered 304 without a body, as most servers do; without
                     this token the header is ignored
  conditional=exact  304 only when If-Modified-Since equals the Last-Modified, as nginx does
                     by default
  no-length          no Content-Length: the body ends when the connection closes
  length=N           announce Content-Length N whatever the body is
  delay=MS           wait MS milliseconds before answering
  pieces=SIZE/MS     send the body SIZE bytes at a time, MS milliseconds apart
  drop=N             announce the whole body, send only its first N bytes and close
  stall=N            announce the whole body, send its first N bytes, then send nothing more
                     until the client goes away (at most 120 s)
"""

import argparse
import email.utils
import http.server
import json
import os
import select
import signal
import socket
import ssl
import subprocess
import sys
import threading
import time


def parse_behaviours(text):
    out = {}
    for token in text.split():
        key, _, value = token.partition("=")
        out[key] = value
    return out


def read_rules_file(path):
    rules = []
    try:
        with open(path, encoding="utf-8") as f:
            for line in f:
                line = line.split("#", 1)[0].strip()
                if line:
                    pattern, _, behaviours = line.partition(" ")
                    rules.append((pattern, behaviours))
    except FileNotFoundError:
        pass
    return rules


class Config:
    def __init__(self, args):
        self.root = os.path.abspath(args.root)
        self.rules = [(p, b) for p, b in args.rule or []]
        self.rules_file = args.rules
        self.log = args.log
        self.log_lock = threading.Lock()
        self.sent_file = args.sent_file
        self.sent = 0
        if self.log:
            open(self.log, "w").close()  # this run's requests only

    def behaviours(self, path):
        rules = (read_rules_file(self.rules_file) if self.rules_file else []) + self.rules
        for pattern, behaviours in rules:
            if pattern == path or (pattern.endswith("*") and path.startswith(pattern[:-1])):
                return parse_behaviours(behaviours)
        return {}

    def count_sent(self, n):
        if not self.sent_file:
            return
        with self.log_lock:
            self.sent += n
            with open(self.sent_file + ".part", "w") as f:
                f.write("%d\n" % self.sent)
            os.replace(self.sent_file + ".part", self.sent_file)

    def record(self, handler):
        if not self.log:
            return
        entry = {"time": time.time(), "method": handler.command, "path": handler.path,
                 "headers": [[k, v] for k, v in handler.headers.items()]}
        with self.log_lock, open(self.log, "a", encoding="utf-8") as f:
            f.write(json.dumps(entry) + "\n")


class Handler(http.server.BaseHTTPRequestHandler):
    server_version = "costupdate-test"
    config = None  # set before serving

    def log_message(self, format, *args):
        pass

    def do_HEAD(self):
        self.answer(send_body=False)

    def do_GET(self):
        self.answer(send_body=True)

    def answer(self, send_body):
        config = self.config
        config.record(self)
        path = self.path.split("?", 1)[0]
        b = config.behaviours(path)
        if "delay" in b:
            time.sleep(int(b["delay"]) / 1000)
        if "redirect" in b:
            self.send_response(302)
            self.send_header("Location", b["redirect"])
            self.send_header("Content-Length", "0")
            self.end_headers()
            return
        status = int(b.get("status", "200"))
        body, mtime = b"", None
        if status == 200:
            file = os.path.normpath(os.path.join(config.root, path.lstrip("/")))
            if not file.startswith(config.root + os.sep) or not os.path.isfile(file):
                status = 404
            else:
                with open(file, "rb") as f:
                    body = f.read()
                mtime = os.path.getmtime(file)
        if status != 200 and status != 304:
            body = ("status %d\n" % status).encode()
        if "last-modified" in b:
            mtime = float(b["last-modified"])
        if status == 200 and mtime is not None and "conditional" in b:
            if self.not_modified(int(mtime), b["conditional"] == "exact"):
                status, body = 304, b""
        sent = len(body) if send_body else 0
        for cut in ("drop", "stall"):
            if cut in b:
                sent = min(sent, int(b[cut]))
        config.count_sent(sent)
        self.send_response(status)
        if mtime is not None and "no-last-modified" not in b:
            self.send_header("Last-Modified", email.utils.formatdate(mtime, usegmt=True))
        if "length" in b:
            self.send_header("Content-Length", b["length"])
        elif "no-length" not in b:
            self.send_header("Content-Length", str(len(body)))
        self.end_headers()
        if not send_body:
            return
        if "drop" in b:
            self.wfile.write(body[: int(b["drop"])])
            self.wfile.flush()
            self.close_connection = True
            return
        if "stall" in b:
            self.wfile.write(body[: int(b["stall"])])
            self.wfile.flush()
            self.wait_for_client_to_leave(120)
            return
        if "pieces" in b:
            size, _, pause = b["pieces"].partition("/")
            size, pause = max(1, int(size)), int(pause or "0") / 1000
            for i in range(0, len(body), size):
                if i:
                    time.sleep(pause)
                self.wfile.write(body[i: i + size])
                self.wfile.flush()
            return
        self.wfile.write(body)

    def not_modified(self, mtime, exact):
        """Whether the request's If-Modified-Since says the client has the file of mtime."""
        text = self.headers.get("If-Modified-Since")
        try:
            since = email.utils.parsedate_to_datetime(text).timestamp() if text else None
        except (TypeError, ValueError):
            since = None
        if since is None:
            return False
        return mtime == int(since) if exact else mtime <= since

    def wait_for_client_to_leave(self, seconds):
        end = time.time() + seconds
        while time.time() < end:
            ready, _, _ = select.select([self.connection], [], [], 0.2)
            if ready:
                try:
                    if not self.connection.recv(4096):
                        return
                except OSError:
                    return


CA_CONFIG = """[ca]
default_ca = test
[test]
database = index.txt
new_certs_dir = .
serial = serial
default_md = sha256
policy = any
unique_subject = no
[any]
commonName = supplied
[good]
basicConstraints = CA:FALSE
extendedKeyUsage = serverAuth
# Wine matches the host of an address against DNS names only, even an IP address's.
subjectAltName = IP:127.0.0.1, DNS:127.0.0.1, DNS:localhost
[other]
basicConstraints = CA:FALSE
extendedKeyUsage = serverAuth
subjectAltName = DNS:other-name.invalid
"""


def make_certificates(folder):
    """The test CA, the rogue CA and the four servers' certificates: {name: (cert, key)}."""
    os.makedirs(folder, exist_ok=True)

    def openssl(*args):
        subprocess.run(("openssl",) + args, cwd=folder, check=True, stdout=subprocess.DEVNULL,
                       stderr=subprocess.PIPE)

    with open(os.path.join(folder, "ca.cnf"), "w") as f:
        f.write(CA_CONFIG)
    open(os.path.join(folder, "index.txt"), "w").close()
    with open(os.path.join(folder, "serial"), "w") as f:
        f.write("%016x\n" % int(time.time() * 1000))  # fresh serials on every run
    for ca, name in (("ca", "costupdate test CA"), ("rogue", "costupdate untrusted CA")):
        openssl("req", "-x509", "-newkey", "rsa:2048", "-nodes", "-keyout", ca + ".key", "-out",
                ca + ".pem", "-days", "30", "-subj", "/CN=" + name)
    openssl("x509", "-in", "ca.pem", "-outform", "DER", "-out", "ca.der")
    servers = {
        # name: signing CA, extensions, validity
        "good": ("ca", "good", ("-days", "30")),
        "other": ("ca", "other", ("-days", "30")),
        "expired": ("ca", "good", ("-startdate", "20200101000000Z", "-enddate",
                                   "20200201000000Z")),
        "untrusted": ("rogue", "good", ("-days", "30")),
    }
    out = {}
    for name, (ca, extensions, validity) in servers.items():
        openssl("req", "-newkey", "rsa:2048", "-nodes", "-keyout", name + ".key", "-out",
                name + ".csr", "-subj", "/CN=127.0.0.1")
        openssl("ca", "-batch", "-notext", "-config", "ca.cnf", "-cert", ca + ".pem", "-keyfile",
                ca + ".key", "-in", name + ".csr", "-out", name + ".pem", "-extensions",
                extensions, *validity)
        out[name] = (os.path.join(folder, name + ".pem"), os.path.join(folder, name + ".key"))
    return out


def start_tls_servers(folder):
    """The https servers over the same handler; their environment variables."""
    env = {"HTTPS_TEST_CA": os.path.abspath(os.path.join(folder, "ca.der"))}
    names = {"good": "HTTPS_TEST_PORT", "other": "HTTPS_OTHER_NAME_PORT",
             "expired": "HTTPS_EXPIRED_PORT", "untrusted": "HTTPS_UNTRUSTED_PORT"}
    servers = []
    for name, (cert, key) in make_certificates(folder).items():
        context = ssl.SSLContext(ssl.PROTOCOL_TLS_SERVER)
        context.load_cert_chain(cert, key)
        server = Server(("127.0.0.1", 0), Handler)
        # The handshake in the handler's thread: a client that never completes one must
        # not hold up the others.
        server.socket = context.wrap_socket(server.socket, server_side=True,
                                            do_handshake_on_connect=False)
        threading.Thread(target=server.serve_forever, daemon=True).start()
        env[names[name]] = str(server.server_address[1])
        servers.append(server)
    with open(os.path.join(folder, "ports.part"), "w") as f:
        f.writelines("%s=%s\n" % item for item in sorted(env.items()))
    os.replace(os.path.join(folder, "ports.part"), os.path.join(folder, "ports"))
    return servers, env


class Server(http.server.ThreadingHTTPServer):
    daemon_threads = True
    request_queue_size = 512  # hundreds of downloads connect at once

    def handle_error(self, request, client_address):
        pass  # a client that goes away mid-answer is part of the tests


def main():
    argv = sys.argv[1:]
    command = []
    if "--" in argv:
        at = argv.index("--")
        argv, command = argv[:at], argv[at + 1:]
    parser = argparse.ArgumentParser(description="Loopback HTTP server for tests.")
    parser.add_argument("--root", default=".")
    parser.add_argument("--port", type=int, default=0)
    parser.add_argument("--rule", nargs=2, action="append", metavar=("PATH", "BEHAVIOURS"))
    parser.add_argument("--rules")
    parser.add_argument("--log")
    parser.add_argument("--port-file")
    parser.add_argument("--sent-file")
    parser.add_argument("--tls")
    parser.add_argument("--timeout", type=float, default=0)
    args = parser.parse_args(argv)

    Handler.config = Config(args)
    server = Server(("127.0.0.1", args.port), Handler)
    port = server.server_address[1]
    threading.Thread(target=server.serve_forever, daemon=True).start()
    tls_servers, tls_env = start_tls_servers(args.tls) if args.tls else ([], {})
    if args.port_file:
        with open(args.port_file + ".part", "w") as f:
            f.write("%d\n" % port)
        os.replace(args.port_file + ".part", args.port_file)

    deadline = time.time() + args.timeout if args.timeout > 0 else None
    code = 0
    if command:
        env = dict(os.environ, HTTP_TEST_PORT=str(port), HTTP_TEST_ROOT=Handler.config.root,
                   HTTP_TEST_RULES=os.path.abspath(args.rules) if args.rules else "",
                   HTTP_TEST_LOG=os.path.abspath(args.log) if args.log else "", **tls_env)
        child = subprocess.Popen(command, env=env, start_new_session=True)
        try:
            code = child.wait(timeout=None if deadline is None else deadline - time.time())
        except subprocess.TimeoutExpired:
            print("http_server.py: %s ran out of time" % command[0], file=sys.stderr)
            os.killpg(child.pid, signal.SIGKILL)
            child.wait()
            code = 124
    else:
        stop = threading.Event()
        signal.signal(signal.SIGTERM, lambda *_: stop.set())
        signal.signal(signal.SIGINT, lambda *_: stop.set())
        stop.wait(None if deadline is None else max(0, deadline - time.time()))
    for s in [server] + tls_servers:
        s.shutdown()
        s.server_close()
    return code


if __name__ == "__main__":
    sys.exit(main())
