#!/usr/bin/env python3
"""Kills the programs under Wine at random moments of a Patrol and of a database
write, many times, and checks what it leaves: every cache file holds its old or its new
bytes, every database group its old or its new records, and the database opens.

usage: crash_test.py BIN_DIR WORK_DIR [--rounds N] [--gui-rounds N] [--seed S]
                     [--only patrol|database]

--rounds kills of costupdate-cli.exe (50) and then, when there is a display, --gui-rounds
kills of CostUpdate.exe (10), whose Patrol and apply are started by posting the commands of
their buttons to the main window. After each killed apply of the CLI rounds, no group may
have been written without an undo record, and an undo (itself killed in two rounds of
three, then run again) must bring every group back to its old records.
"""

import argparse
import hashlib
import os
import random
import shutil
import signal
import sqlite3
import subprocess
import sys
import tempfile
import time

HERE = os.path.dirname(os.path.abspath(__file__))
WINE_RUN = os.path.join(HERE, "..", "scripts", "wine-run.sh")


def fail(message):
    print("FAIL: " + message)
    sys.exit(1)


def windows_path(path):
    return "Z:" + os.path.abspath(path).replace("/", "\\")


def wine_env():
    env = dict(os.environ)
    env.setdefault("WINEPREFIX", os.path.join(HERE, "..", "build", "windows", "wineprefix"))
    env.update(LC_ALL="ja_JP.UTF-8", WINEDEBUG="-all", WINEDLLOVERRIDES="mscoree,mshtml=")
    return env


# What the last program run wrote to its standard error, for a failure's message.
last_stderr = b""


def run(args, cwd, timeout=120):
    """Runs a Windows program to its end; (exit code, standard output)."""
    global last_stderr
    done = subprocess.run([WINE_RUN] + args, cwd=cwd, stdout=subprocess.PIPE,
                          stderr=subprocess.PIPE, timeout=timeout)
    last_stderr = done.stderr
    return done.returncode, done.stdout


def check_gone(exe):
    """Fails when a process of the killed program is still there: the kill then missed the
    program (a launcher that starts it as another process, as /usr/bin/wine does for a
    64-bit program once 32-bit Wine is installed)."""
    names = (windows_path(exe).encode(), os.path.abspath(exe).encode())
    for pid in os.listdir("/proc"):
        try:
            with open("/proc/%s/cmdline" % pid, "rb") as f:
                cmdline = f.read()
        except OSError:
            continue
        if cmdline.split(b"\0")[0] in names:
            fail("%s went on running after its process was killed" % exe)


def run_and_kill(args, cwd, delay):
    """Starts a Windows program and kills it after delay seconds unless it ended before;
    True when it was killed. The process started is the Windows process itself."""
    process = subprocess.Popen([WINE_RUN] + args, cwd=cwd, env=wine_env(),
                               stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    try:
        process.wait(timeout=delay)
        return False
    except subprocess.TimeoutExpired:
        process.send_signal(signal.SIGKILL)
        process.wait()
        check_gone(args[0])
        return True


def gui_run_and_kill(bin_dir, exe, args, cwd, commands, delay):
    """Starts the GUI, waits for its main window, posts the commands as button clicks do and
    kills it delay seconds later. The window never ends by itself, so it is always killed."""
    errors = tempfile.TemporaryFile()
    process = subprocess.Popen([WINE_RUN, exe] + args, cwd=cwd, env=wine_env(),
                               stdout=subprocess.DEVNULL, stderr=errors)
    probe = os.path.join(bin_dir, "window_probe.exe")
    try:
        _, report = run([probe, "wait", "CUMainWndClass", "30000"], cwd)
        if b"title=" not in report:
            # What the program did instead: ended, or shows a message.
            state = ("still runs" if process.poll() is None
                     else "ended with %d" % process.returncode)
            _, said = run([probe, "text", "#32770", "0"], cwd)
            errors.seek(0)
            fail("the main window did not open in 30 s: %s; the program %s; a dialog says: %s; "
                 "its standard error: %s"
                 % (report.strip(), state, said.decode("utf-8", "replace").strip() or "-",
                    errors.read()[-500:].decode("utf-8", "replace").strip() or "-"))
        for command in commands:
            run([probe, "command", "CUMainWndClass", "1000", str(command)], cwd)
        time.sleep(delay)
    finally:
        process.send_signal(signal.SIGKILL)
        process.wait()
        errors.close()
    check_gone(exe)
    return True


def timed_run(args, cwd, prepare=lambda: None):
    """Runs the program twice, started as the killed runs are; the exit code and output of
    the second run and the shorter time, which the kills are spread over."""
    times = []
    for _ in range(2):
        prepare()
        start = time.monotonic()
        process = subprocess.Popen([WINE_RUN] + args, cwd=cwd, env=wine_env(),
                                   stdout=subprocess.PIPE, stderr=subprocess.DEVNULL)
        out, _ = process.communicate(timeout=120)
        times.append(time.monotonic() - start)
    return process.returncode, out, min(times)


def content(seed, size):
    """Deterministic bytes that differ from version to version."""
    out = bytearray()
    block = hashlib.sha256(seed.encode()).digest()
    while len(out) < size:
        block = hashlib.sha256(block).digest()
        out += block
    return bytes(out[:size])


def read(path):
    try:
        with open(path, "rb") as f:
            return f.read()
    except FileNotFoundError:
        return None


# The Patrol: eight addresses on the loopback server, bodies sent in pieces so that the
# downloads end, and their cache files are written, at different moments.
def patrol_crashes(bin_dir, work, rounds, rng, gui):
    root = os.path.join(work, "www")
    program = os.path.join(work, "program")
    shutil.rmtree(work, ignore_errors=True)
    os.makedirs(os.path.join(root, "upd"))
    os.makedirs(program)
    for name in ("costupdate-cli.exe", "CostUpdate.exe", "QUPRA.dll"):
        shutil.copy(os.path.join(bin_dir, name), program)
    sizes = [64 << 10, 128 << 10, 256 << 10, 512 << 10, 768 << 10, 1 << 20, 1536 << 10, 2 << 20]
    port_file = os.path.join(work, "port")
    rules = os.path.join(work, "rules.txt")
    with open(rules, "w") as f:
        for i, size in enumerate(sizes):
            f.write("/upd/f%d.dat pieces=%d/%d\n" % (i, max(size // 8, 4096), 20 + 10 * i))
    server = subprocess.Popen([sys.executable, os.path.join(HERE, "http_server.py"), "--root", root,
                               "--rules", rules, "--port-file", port_file, "--timeout", "900"],
                              stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    try:
        for _ in range(100):
            if os.path.exists(port_file) and open(port_file).read().strip():
                break
            time.sleep(0.1)
        port = int(open(port_file).read())
        with open(os.path.join(program, "FavoriteList.txt"), "w") as f:
            for i in range(len(sizes)):
                f.write("file %d,http://127.0.0.1:%d/upd/f%d.dat\r\n" % (i, port, i))
        version = [0] * len(sizes)

        def serve(i):
            with open(os.path.join(root, "upd", "f%d.dat" % i), "wb") as f:
                f.write(content("f%d v%d" % (i, version[i]), sizes[i]))

        for i in range(len(sizes)):
            serve(i)
        cli = [os.path.join(program, "costupdate-cli.exe"), "patrol"]
        code, out, duration = timed_run(cli, program)
        if code != 0:
            fail("the first Patrol ended with %d: %s" % (code, out))
        cache_dir = os.path.join(program, "HDTMP")
        # Which cache file belongs to which address: the one with its bytes.
        cache = {}
        for name in os.listdir(cache_dir):
            data = read(os.path.join(cache_dir, name))
            for i in range(len(sizes)):
                if data == content("f%d v0" % i, sizes[i]):
                    cache[i] = os.path.join(cache_dir, name)
        if len(cache) != len(sizes):
            fail("the first Patrol wrote %d of %d cache files" % (len(cache), len(sizes)))

        killed = mixed = r = 0
        temps = set()
        while killed < rounds and r < 5 * rounds:
            r += 1
            before = {i: read(cache[i]) for i in cache}
            for i in range(len(sizes)):
                if rng.random() < 0.7:
                    version[i] += 1
                    serve(i)
            served = {i: read(os.path.join(root, "upd", "f%d.dat" % i)) for i in cache}
            if gui:
                killed += gui_run_and_kill(bin_dir, os.path.join(program, "CostUpdate.exe"), [],
                                           program, [1563], rng.uniform(0, duration))
            else:
                killed += run_and_kill(cli, program, rng.uniform(0, duration * 0.8))
            new = old = 0
            for i in cache:
                now = read(cache[i])
                if now == served[i] and now != before[i]:
                    new += 1
                elif now == before[i]:
                    old += 1
                else:
                    fail("round %d: cache file of address %d holds neither its old nor its new "
                         "bytes (%s bytes)" % (r, i, None if now is None else len(now)))
            mixed += new > 0 and old > 0 and any(before[i] != served[i] for i in cache)
            # A killed write leaves its temporary file; it is never taken for a cache file.
            temps.update(n for n in os.listdir(cache_dir) if ".tmp" in n)
        # A Patrol that writes every file removes what the killed ones left.
        for i in range(len(sizes)):
            version[i] += 1
            serve(i)
        code, out = run(cli, program)
        if code != 0:
            fail("the Patrol after the kills ended with %d" % code)
        for i in cache:
            if read(cache[i]) != read(os.path.join(root, "upd", "f%d.dat" % i)):
                fail("after the kills a full Patrol did not bring address %d up to date" % i)
        left = [n for n in os.listdir(cache_dir) if ".tmp" in n]
        if left:
            fail("temporary files left after a full Patrol: %s" % left)
        print("%s patrol: %d rounds, %d killed (a Patrol takes %.2f s), %d with some cache files "
              "new and some old, %d temporary files left by killed writes (removed by the "
              "next Patrol)" % ("GUI" if gui else "CLI", r, killed, duration, mixed, len(temps)))
        if killed < rounds:
            fail("only %d of %d runs were killed before they ended" % (killed, rounds))
        return killed
    finally:
        server.terminate()
        server.wait()


# The database: twenty groups of 2,500 records, every record changed by the update file,
# written group by group by `apply`.
GROUPS = 20
PER_GROUP = 2500


def code_text(g, k):
    return "2-%02d-%04d-%04d-0001" % (g + 1, k // 100, k % 100)


def item_line(g, k, version):
    # The prices stay: the window's apply keeps the database's prices.
    return "%s,item %d-%d v%d,note,%d,%d,3,110,1\r\n" % (
        code_text(g, k), g, k, version, 1000 + k, 1100 + k)


def groups_of(path):
    """The records of every group, in group order; fails when the file does not open."""
    db = sqlite3.connect(path)
    try:
        check = db.execute("PRAGMA integrity_check").fetchone()[0]
        if check != "ok":
            fail("integrity check: " + check)
        groups = {}
        for grp, record in db.execute("SELECT grp, record FROM items ORDER BY grp, pos"):
            groups.setdefault(grp, []).append(bytes(record))
        return groups
    finally:
        db.close()


def database_crashes(bin_dir, work, rounds, rng, gui):
    shutil.rmtree(work, ignore_errors=True)
    os.makedirs(work)
    for name in ("costupdate-cli.exe", "CostUpdate.exe", "QUPRA.dll", "qupra-tool.exe"):
        shutil.copy(os.path.join(bin_dir, name), work)
    with open(os.path.join(work, "seed.csv"), "w", newline="") as f:
        for g in range(GROUPS):
            for k in range(PER_GROUP):
                f.write(item_line(g, k, 0))
    with open(os.path.join(work, "update.costupdate"), "w", newline="") as f:
        f.write("title\r\n")
        for g in range(GROUPS):
            for k in range(PER_GROUP):
                f.write(item_line(g, k, 1))
    tool = os.path.join(work, "qupra-tool.exe")
    for args in (["init", windows_path(work)],
                 ["import", windows_path(work), windows_path(os.path.join(work, "seed.csv"))]):
        code, _ = run([tool] + args, work)
        if code != 0:
            fail("qupra-tool %s ended with %d" % (args[0], code))
    db = os.path.join(work, "qupra.db")
    template = os.path.join(work, "old.db")
    shutil.move(db, template)
    old = groups_of(template)

    cli = [os.path.join(work, "costupdate-cli.exe"), "apply", "update.costupdate", "--all",
           "--overwrite-prices"]
    code, out, duration = timed_run(cli, work, lambda: shutil.copy(template, db))
    if code != 0 or not out.strip().endswith(b"written %d" % (GROUPS * PER_GROUP)):
        fail("the first apply ended with %d: %s" % (code, out[-200:]))
    new = groups_of(db)
    if len(old) != GROUPS or len(new) != GROUPS or any(old[g] == new[g] for g in old):
        fail("the first apply did not change every group")

    # Undo of the whole apply, timed from the applied state, whose file the kills then reuse.
    undo_cli = [os.path.join(work, "costupdate-cli.exe"), "undo"]
    undo_dir = os.path.join(work, "Undo")
    applied_db = os.path.join(work, "new.db")
    shutil.copy(db, applied_db)
    # timed_run applied twice, each time to the old database: the newest record is the one of
    # the groups as they are now.
    latest = sorted(n for n in os.listdir(undo_dir) if n.endswith(".undo"))[-1:]
    if not latest:
        fail("the first apply left no undo record")
    record = os.path.join(work, "record.undo")
    shutil.copy(os.path.join(undo_dir, latest[0]), record)

    def applied_with_record():
        shutil.copy(applied_db, db)
        shutil.rmtree(undo_dir, ignore_errors=True)
        os.makedirs(undo_dir)
        shutil.copy(record, os.path.join(undo_dir, latest[0]))

    code, out, undo_duration = timed_run(undo_cli, work, applied_with_record)
    if code != 0 or groups_of(db) != old:
        fail("the undo of the first apply ended with %d or left groups new: %s" % (code, out[-200:]))

    def check_groups(r, when):
        """Opens the database as the program does, then checks every group is old or new;
        the number of old groups and what compare printed."""
        code, out = run([os.path.join(work, "costupdate-cli.exe"), "compare",
                         "update.costupdate"], work)
        if code != 0:
            fail("round %d: compare %s ended with %d: %s"
                 % (r, when, code, last_stderr.decode("cp932", "replace").strip()))
        now = groups_of(db)
        old_groups = 0
        for g in old:
            if now.get(g) == old[g]:
                old_groups += 1
            elif now.get(g) != new[g]:
                fail("round %d: %s, group %d holds neither its old nor its new records"
                     % (r, when, g))
        return old_groups, out

    killed = mixed = r = undo_killed = 0
    while killed < rounds and r < 5 * rounds:
        r += 1
        for name in ("qupra.db", "qupra.db-journal"):
            if os.path.exists(os.path.join(work, name)):
                os.remove(os.path.join(work, name))
        shutil.copy(template, db)
        shutil.rmtree(undo_dir, ignore_errors=True)
        if gui:
            # Select all, then apply; the window is killed while the apply runs or after.
            killed += gui_run_and_kill(bin_dir, os.path.join(work, "CostUpdate.exe"),
                                       ["update.costupdate"], work, [2000, 1919],
                                       rng.uniform(0, duration))
        else:
            # Over the whole run: its groups are written in its last part, which kills within
            # 80% of it missed once the programs started quickly. A run that ends first is
            # not counted, and the loop goes on.
            killed += run_and_kill(cli, work, rng.uniform(0, duration * 1.1))
        # The program itself opens the file first, as a user's next start would (rolling back
        # what the killed write left); it shows exactly the items of the groups still old.
        old_groups, out = check_groups(r, "after the killed apply")
        shown = out.strip().splitlines()[-1].decode("ascii", "replace")
        if shown != "shown %d of %d" % (old_groups * PER_GROUP, GROUPS * PER_GROUP):
            fail("round %d: %d groups old but compare says %s" % (r, old_groups, shown))
        mixed += 0 < old_groups < GROUPS
        if old_groups < GROUPS and not any(n.endswith(".undo") for n in os.listdir(undo_dir)):
            fail("round %d: groups were written without an undo record" % r)
        if gui:
            continue
        # A later undo takes back what the killed apply wrote; killed itself in two rounds of
        # three (from the whole apply's state when the killed one wrote nothing), it leaves
        # every group old or new, and the undo after it still brings them all back.
        if r % 3:
            if old_groups == GROUPS:
                applied_with_record()
            undo_killed += run_and_kill(undo_cli, work, rng.uniform(0, undo_duration))
            check_groups(r, "after the killed undo")
        code, out = run(undo_cli, work)
        if code != 0:
            fail("round %d: the undo after the kills ended with %d: %s" % (r, code, out[-300:]))
        if check_groups(r, "after the undo")[0] != GROUPS:
            fail("round %d: the undo after the kills left groups new: %s" % (r, out[-300:]))
    print("%s database: %d rounds, %d killed (an apply takes %.2f s), %d left some groups new and "
          "some old" % ("GUI" if gui else "CLI", r, killed, duration, mixed))
    if not gui:
        print("CLI undo: %d killed (an undo takes %.2f s), every group old after the next undo"
              % (undo_killed, undo_duration))
        if undo_killed < min(20, rounds // 2):
            fail("only %d undo runs were killed before they ended" % undo_killed)
    if killed < rounds:
        fail("only %d of %d runs were killed before they ended" % (killed, rounds))
    return killed


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("bin_dir")
    parser.add_argument("work")
    parser.add_argument("--rounds", type=int, default=50)
    parser.add_argument("--seed", type=int, default=int(time.time()))
    parser.add_argument("--only", choices=("patrol", "database"))
    parser.add_argument("--gui-rounds", type=int, default=10,
                        help="rounds with the window program killed instead (needs a display)")
    args = parser.parse_args()
    rng = random.Random(args.seed)
    print("seed %d" % args.seed)
    args.bin_dir = os.path.abspath(args.bin_dir)
    runs = [(False, args.rounds)]
    if args.gui_rounds > 0 and os.environ.get("DISPLAY"):
        runs.append((True, args.gui_rounds))
    for gui, rounds in runs:
        where = os.path.join(args.work, "gui" if gui else "cli")
        if args.only != "database":
            patrol_crashes(args.bin_dir, os.path.join(where, "patrol"), rounds, rng, gui)
        if args.only != "patrol":
            database_crashes(args.bin_dir, os.path.join(where, "database"), rounds, rng, gui)
    print("crash_test: ok")


if __name__ == "__main__":
    main()
