#!/usr/bin/env python3
"""Soak of the host: several clients on loopback tap, sort, scroll, delete and import for a fixed
time against a generated library, while another thread adds and removes books in the folder
behind the program's back, and up to --slow connections trickle header lines they never finish.
Afterwards it checks that the program is alive, that its memory
settled, that every book still on disk is listed after a rescan, that no book was removed that
no delete asked for, and that every request got an answer. Run on demand, not in CI:

    tests/soak/soak.py --binary build/pagewyn [--books 10000] [--seconds 120] [--clients 6] [--slow 200]

Its books come from pagewyn_make_books, by default the one built beside the binary
(<build>/tests/support/pagewyn_make_books).

Exits 1 when a check fails."""

import argparse
import collections
import http.client
import json
import os
import random
import re
import shutil
import signal
import socket
import subprocess
import sys
import tempfile
import threading
import time
import urllib.parse

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import books  # noqa: E402

TITLE = re.compile(r"^Soak (.+)$")


def free_port():
    with socket.socket() as probe:
        probe.bind(("127.0.0.1", 0))
        return probe.getsockname()[1]


class Ledger:
    """What the soak did and saw, shared by every thread."""

    def __init__(self):
        self.lock = threading.Lock()
        self.statuses = collections.Counter()
        self.unanswered = collections.Counter()
        self.requests = 0
        self.deleted = set()        # files a delete answered 200 for
        self.imported = set()       # imports answered 200
        self.maybe_imported = set() # imports without a 200: they may or may not have landed
        self.added = set()          # files the disturber added
        self.removed = set()        # files the disturber removed
        self.file_of_key = {}
        self.slowest = collections.defaultdict(float)  # route: longest answer in seconds
        self.trickled = 0           # trickling connections opened
        self.trickles_closed = 0    # of them, closed by the program

    def answered(self, route, status):
        with self.lock:
            self.requests += 1
            self.statuses[f"{route} {status}"] += 1

    def lost(self, route, error):
        with self.lock:
            self.requests += 1
            self.unanswered[f"{route}: {type(error).__name__}: {error}"] += 1


class Client:
    def __init__(self, port, token, ledger, rng):
        self.port = port
        self.token = token
        self.ledger = ledger
        self.rng = rng
        self.connection = None
        self.state = None

    def request(self, method, path, body=None, content_type=None, route=None):
        route = route or path.split("?")[0]
        headers = {"X-Pagewyn-Token": self.token, "Host": f"127.0.0.1:{self.port}"}
        if content_type:
            headers["Content-Type"] = content_type
        for attempt in range(2):
            try:
                if self.connection is None:
                    self.connection = http.client.HTTPConnection("127.0.0.1", self.port, timeout=120)
                began = time.monotonic()
                self.connection.request(method, path, body=body, headers=headers)
                response = self.connection.getresponse()
                payload = response.read()
                self.ledger.answered(route, response.status)
                with self.ledger.lock:
                    self.ledger.slowest[route] = max(self.ledger.slowest[route], time.monotonic() - began)
                try:
                    return response.status, json.loads(payload) if payload else None
                except ValueError:
                    return response.status, None
            except (http.client.RemoteDisconnected, BrokenPipeError, ConnectionResetError) as error:
                # A kept-alive connection the server closed between requests: try once anew.
                self.connection = None
                if attempt == 1:
                    self.ledger.lost(route, error)
                    return None, None
            except OSError as error:
                self.connection = None
                self.ledger.lost(route, error)
                return None, None

    def look(self, first=None, count=30):
        table = (self.state or {}).get("screen", {}) or {}
        rows = (table.get("table") or {}).get("rowCount", 0)
        first = self.rng.randrange(max(rows, 1)) if first is None else first
        status, body = self.request("GET", f"/state?first={first}&count={count}&width=430&height=900")
        if status == 200 and body and "screen" in body:
            self.state = body
        return status

    def event(self, event):
        if not self.state:
            return None
        event = dict(event, version=self.state.get("version", 0))
        status, body = self.request("POST", "/event", json.dumps(event).encode(), "application/json",
                                    route=f"/event {event['type']}")
        if body and status == 200:
            self.state = body
        elif body and isinstance(body.get("state"), dict):
            self.state = body["state"]
        return status

    def table(self):
        return ((self.state or {}).get("screen") or {}).get("table") or {}

    def header_button(self, label):
        for section in self.table().get("sections", []):
            for view in ((section.get("header") or {}).get("subviews") or []):
                if view.get("label") == label:
                    return view.get("id")
        return None

    def close_presented(self):
        for screen in (self.state or {}).get("presented", []):
            reader = screen.get("reader")
            if reader and reader.get("closeButton") is not None:
                return self.event({"type": "touchUpInside", "view": reader["closeButton"]})
            if screen.get("kind") == "alert":
                return self.event({"type": "alertAction", "index": 0})
        return None

    def visible_row(self):
        rows = self.table().get("rows", [])
        return self.rng.choice(rows) if rows else None

    def step(self, import_counter):
        self.look()
        if self.state and self.state.get("presented"):
            self.close_presented()
            return
        action = self.rng.choices(["scroll", "sort", "tap", "index", "delete", "import"], [40, 15, 15, 10, 10, 10])[0]
        if action == "scroll":
            self.look()
        elif action == "sort":
            button = self.header_button("sort")
            if button is not None:
                self.event({"type": "touchUpInside", "view": button})
        elif action == "tap":
            row = self.visible_row()
            if row and self.event({"type": "tapRow", "row": row["row"], "section": row["section"]}) == 200:
                self.close_presented()
        elif action == "index":
            titles = self.table().get("index", {}).get("titles") or []
            if titles:
                self.event({"type": "tapIndexTitle", "title": self.rng.choice(titles)})
        elif action == "delete":
            row = self.visible_row()
            if not row:
                return
            match = TITLE.match(row.get("label", "").split(", ")[0])
            if self.event({"type": "deleteRow", "row": row["row"], "section": row["section"]}) == 200 and match:
                with self.ledger.lock:
                    name = self.ledger.file_of_key.get(match.group(1))
                    if name:
                        self.ledger.deleted.add(name)
        elif action == "import":
            key = f"i{next(import_counter)}"
            name = f"Import {key}.epub"
            with self.ledger.lock:
                self.ledger.file_of_key[key] = name
            status, body = self.request("POST", "/handoff?" + urllib.parse.urlencode({"name": name}),
                                        books.book_bytes(key), "application/epub+zip", route="/handoff")
            with self.ledger.lock:
                (self.ledger.imported if status == 200 else self.ledger.maybe_imported).add(name)
            if status == 200 and body:
                self.state = body
                self.close_presented()


def disturb(folder, ledger, stop, rng):
    """Adds and removes books behind the program's back; only its own, never the others'."""
    present = []
    n = 0
    while not stop.is_set():
        if present and rng.random() < 0.4:
            name = present.pop(rng.randrange(len(present)))
            try:
                os.remove(os.path.join(folder, name))
            except FileNotFoundError:
                pass  # deleted from the screen meanwhile
            with ledger.lock:
                ledger.removed.add(name)
        else:
            key = f"x{n}"
            n += 1
            name = f"Extra {key}.epub"
            with ledger.lock:
                ledger.file_of_key[key] = name
            temporary = os.path.join(folder, f".{name}.part")
            books.write_book(temporary, key)
            os.rename(temporary, os.path.join(folder, name))
            present.append(name)
            with ledger.lock:
                ledger.added.add(name)
        stop.wait(rng.uniform(0.02, 0.08))


def rss_kib(pid):
    try:
        with open(f"/proc/{pid}/status") as status:
            for line in status:
                if line.startswith("VmRSS:"):
                    return int(line.split()[1])
    except OSError:
        return None
    return None


def trickle(port, count, ledger, stop):
    """Keeps up to count connections that send a header line every second and never end their
    heads, as a slow or hostile client does; opens a new one for each the program closes."""
    open_ones = []
    while not stop.is_set():
        while len(open_ones) < count and not stop.is_set():
            try:
                connection = socket.create_connection(("127.0.0.1", port), timeout=2)
                connection.sendall(b"GET /state HTTP/1.1\r\nHost: 127.0.0.1\r\n")
                connection.setblocking(False)
            except OSError:
                break
            open_ones.append(connection)
            with ledger.lock:
                ledger.trickled += 1
        still = []
        for connection in open_ones:
            try:
                connection.send(b"X-Slow: 1\r\n")
                closed = connection.recv(4096) == b""
            except BlockingIOError:
                closed = False
            except OSError:
                closed = True
            if closed:
                connection.close()
                with ledger.lock:
                    ledger.trickles_closed += 1
            else:
                still.append(connection)
        open_ones = still
        stop.wait(1)
    for connection in open_ones:
        connection.close()


def sample_memory(pid, samples, stop):
    while not stop.is_set():
        value = rss_kib(pid)
        if value is not None:
            samples.append((time.monotonic(), value))
        stop.wait(0.5)


def books_on_disk(folder):
    return {name for name in os.listdir(folder) if name.endswith(".epub")}


def all_titles(client):
    """Every row's title in the running program, page by page."""
    client.look(0, 1)
    total = client.table().get("rowCount", 0)
    titles = set()
    first = 0
    while first < total:
        status = client.look(first, 200)
        if status != 200:
            return None
        rows = client.table().get("rows", [])
        if not rows:
            break
        for row in rows:
            titles.add(row.get("label", "").split(", ")[0])
        first = max(row["flat"] for row in rows) + 1
    return titles


def main():
    parser = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    parser.add_argument("--binary", required=True)
    parser.add_argument("--books", type=int, default=10000)
    parser.add_argument("--seconds", type=float, default=120)
    parser.add_argument("--clients", type=int, default=6)
    parser.add_argument("--seed", type=int, default=1)
    parser.add_argument("--slow", type=int, default=200, help="connections that trickle header lines (at most 200)")
    parser.add_argument("--log", help="where the program's error output goes (default: discarded)")
    parser.add_argument("--book-maker", help="pagewyn_make_books (default: the one in the binary's build folder)")
    arguments = parser.parse_args()
    books.use_maker(arguments.book_maker or os.path.join(os.path.dirname(os.path.abspath(arguments.binary)),
                                                        "tests", "support", "pagewyn_make_books"))

    ledger = Ledger()
    work = tempfile.mkdtemp(prefix="pagewyn-soak-")
    folder = os.path.join(work, "Documents")
    os.makedirs(folder)
    started = time.monotonic()
    library = []
    for i in range(arguments.books):
        key = f"{i:05d}"
        name = f"Book {key}.epub"
        ledger.file_of_key[key] = name
        library.append((os.path.join(folder, name), key))
    books.write_books(library)
    initial = books_on_disk(folder)
    print(f"library: {len(initial)} books written in {time.monotonic() - started:.1f} s")

    port = free_port()
    log = open(arguments.log, "w") if arguments.log else subprocess.DEVNULL
    program = subprocess.Popen([arguments.binary, "--documents", folder, "--no-browser", "--port", str(port)],
                               stdout=subprocess.PIPE, stderr=log, text=True,
                               env=dict(os.environ, XDG_DATA_HOME=work, XDG_CACHE_HOME=work, XDG_CONFIG_HOME=work, XDG_RUNTIME_DIR=work))
    failures = []
    try:
        line = program.stdout.readline()
        token = re.search(r"token=([0-9a-f]+)", line)
        if not token:
            raise SystemExit(f"the program printed no address: {line!r}")
        token = token.group(1)
        threading.Thread(target=lambda: [None for _ in program.stdout], daemon=True).start()

        probe = Client(port, token, ledger, random.Random(arguments.seed))
        started = time.monotonic()
        while True:
            status, body = probe.request("GET", "/state")
            if status == 200 and body and "starting" not in body:
                break
            if time.monotonic() - started > 600:
                raise SystemExit("the program did not finish its first scan in 10 minutes")
            time.sleep(0.5)
        print(f"first scan: {time.monotonic() - started:.1f} s")

        samples = []
        stop = threading.Event()
        sampler = threading.Thread(target=sample_memory, args=(program.pid, samples, stop))
        sampler.start()
        disturber = threading.Thread(target=disturb, args=(folder, ledger, stop, random.Random(arguments.seed + 1)))
        disturber.start()
        trickler = threading.Thread(target=trickle, args=(port, min(arguments.slow, 200), ledger, stop))
        trickler.start()
        deadline = time.monotonic() + arguments.seconds
        import_counter = iter(range(10**9))
        counter_lock = threading.Lock()

        def next_import():
            while True:
                with counter_lock:
                    yield next(import_counter)

        shared_counter = next_import()

        def run_client(index):
            client = Client(port, token, ledger, random.Random(arguments.seed * 100 + index))
            while time.monotonic() < deadline and program.poll() is None:
                client.step(shared_counter)

        clients = [threading.Thread(target=run_client, args=(i,)) for i in range(arguments.clients)]
        for thread in clients:
            thread.start()
        for thread in clients:
            thread.join()
        stop.set()
        disturber.join()
        trickler.join()
        sampler.join()

        # Checks.
        alive = program.poll() is None
        if not alive:
            failures.append(f"the program ended with status {program.returncode}")
        on_disk = books_on_disk(folder)
        expected = (initial | ledger.added | ledger.imported) - ledger.removed - ledger.deleted
        vanished = expected - on_disk
        if vanished:
            failures.append(f"{len(vanished)} books vanished that no delete asked for, e.g. {sorted(vanished)[:5]}")
        unexplained = on_disk - expected - ledger.maybe_imported
        if unexplained:
            failures.append(f"{len(unexplained)} items appeared that nothing added, e.g. {sorted(unexplained)[:5]}")

        listed = subprocess.run([arguments.binary, "list", "--json", "--documents", folder],
                                capture_output=True, text=True, timeout=600)
        listed_files = {book["file"] for book in json.loads(listed.stdout)} if listed.returncode == 0 else set()
        if listed.returncode != 0:
            failures.append(f"pagewyn list failed: {listed.stderr.strip()}")
        elif listed_files != on_disk:
            failures.append(f"pagewyn list: {len(on_disk - listed_files)} books on disk not listed, "
                            f"{len(listed_files - on_disk)} listed but not on disk")

        host_titles = None
        if alive:
            # One more import makes the running program scan its folder again.
            checker = Client(port, token, ledger, random.Random(0))
            checker.look()
            checker.close_presented()
            status, body = checker.request("POST", "/handoff?name=Rescan.epub", books.book_bytes("rescan"),
                                           "application/epub+zip", route="/handoff")
            if status == 200:
                on_disk = books_on_disk(folder)
                checker.state = body
                checker.close_presented()
                host_titles = all_titles(checker)
                wanted = {books.title_of(key) for key, name in ledger.file_of_key.items() if name in on_disk}
                wanted.add(books.title_of("rescan"))
                missing = wanted - (host_titles or set())
                if host_titles is None or missing:
                    failures.append(f"the running program does not list {len(missing)} books on disk, e.g. {sorted(missing)[:5]}")
            else:
                failures.append(f"the rescan import was answered {status}")

        lost = sum(ledger.unanswered.values())
        if lost:
            failures.append(f"{lost} requests got no answer")
        server_errors = sum(count for key, count in ledger.statuses.items() if key.endswith(" 500"))
        if server_errors:
            failures.append(f"{server_errors} requests were answered 500")

        peak = max((value for _, value in samples), default=0)
        settled = None
        if len(samples) >= 8:
            quarter = len(samples) // 4
            early = max(value for _, value in samples[quarter:2 * quarter])
            late = max(value for _, value in samples[3 * quarter:])
            settled = (early, late)
            if late > early * 1.5 and late - early > 100 * 1024:
                failures.append(f"memory kept growing: {early // 1024} MiB in the second quarter, {late // 1024} MiB in the last")

        print(f"requests: {ledger.requests} in {arguments.seconds:.0f} s from {arguments.clients} clients")
        for key, count in sorted(ledger.statuses.items()):
            print(f"  {key}: {count}")
        for key, count in sorted(ledger.unanswered.items()):
            print(f"  no answer: {key}: {count}")
        print("slowest answer: " + ", ".join(f"{route} {seconds:.3f} s" for route, seconds in sorted(ledger.slowest.items())
                                               if route in ("/state", "/event touchUpInside", "/event deleteRow", "/handoff")))
        print(f"trickling connections: {ledger.trickled} opened, {ledger.trickles_closed} closed by the program")
        print(f"deletes: {len(ledger.deleted)}, imports: {len(ledger.imported)} (+{len(ledger.maybe_imported)} refused), "
              f"behind the program's back: {len(ledger.added)} added, {len(ledger.removed)} removed")
        print(f"peak RSS: {peak / 1024:.1f} MiB" + (f"; second quarter {settled[0] / 1024:.1f} MiB, last quarter {settled[1] / 1024:.1f} MiB" if settled else ""))
        print(f"verified: alive={alive}, {len(on_disk)} books on disk all listed by `pagewyn list` and by the running program"
              if not failures else "verification FAILED:")
        for failure in failures:
            print(f"  - {failure}")
    finally:
        if program.poll() is None:
            program.send_signal(signal.SIGTERM)
            try:
                program.wait(timeout=30)
            except subprocess.TimeoutExpired:
                program.kill()
        if log is not subprocess.DEVNULL:
            log.close()
        if program.returncode not in (0, None, -signal.SIGTERM):
            print(f"the program ended with status {program.returncode} after SIGTERM")
            failures.append("unclean exit")
        shutil.rmtree(work, ignore_errors=True)
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
