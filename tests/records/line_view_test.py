#!/usr/bin/env python3
"""The line view in a real browser, over a store filled by real runs.

torvik sets boards against receiver-sims (three passed with scanned labels,
two of them hostile HTML; one failed on an unacknowledged item; one refused)
and brevan records an upgrade, all into one store. `torvik records serve`
then shows it, and headless Chromium renders the pages: the figures shown are
checked against the store as `torvik records` and `brevan records` read it,
the hostile labels stay text, every board link leads to that board's items,
the JSON agrees, a token guards every page and link, and the Chinese page is
Chinese. Screenshots of the overview, a board and the Chinese page are kept.

  line_view_test.py TORVIK BREVAN RECEIVER_SIM WORK [--pg-server PG_SERVER_SH] [--screenshots DIR]
"""
import argparse
import html.parser
import json
import os
import re
import shutil
import signal
import socket
import subprocess
import sys
import tempfile
import time
import urllib.error
import urllib.parse
import urllib.request

SCRIPT_LABEL = "<script>alert(1)</script>"
QUOTES_LABEL = "\"quotes\" & 'apostrophes'"
PLAIN_LABEL = "LV-0001"
TOKEN = "line-T0ken"
CJK = re.compile("[\u4e00-\u9fff]")

failures = []


def check(ok, what):
    if not ok:
        failures.append(what)
        print("FAIL:", what, flush=True)
    return ok


def fatal(what):
    print("FAIL:", what, flush=True)
    sys.exit(1)


# --- the DOM as Chromium left it ---------------------------------------------

class Node:
    def __init__(self, tag, attrs, parent):
        self.tag, self.attrs, self.parent = tag, dict(attrs), parent
        self.children = []  # Nodes and strings

    def text(self):
        return "".join(c if isinstance(c, str) else c.text() for c in self.children)

    def classes(self):
        return (self.attrs.get("class") or "").split()

    def walk(self):
        yield self
        for c in self.children:
            if isinstance(c, Node):
                yield from c.walk()

    def find_all(self, tag=None, cls=None, **attrs):
        return [n for n in self.walk() if (tag is None or n.tag == tag) and (cls is None or cls in n.classes())
                and all(n.attrs.get(k.replace("_", "-")) == v for k, v in attrs.items())]

    def by_id(self, ident):
        found = [n for n in self.walk() if n.attrs.get("id") == ident]
        return found[0] if found else None


VOID = {"area", "base", "br", "col", "embed", "hr", "img", "input", "link", "meta", "source", "track", "wbr"}


class DomParser(html.parser.HTMLParser):
    def __init__(self):
        super().__init__(convert_charrefs=True)
        self.root = Node("#document", {}, None)
        self.at = self.root

    def handle_starttag(self, tag, attrs):
        node = Node(tag, attrs, self.at)
        self.at.children.append(node)
        if tag not in VOID:
            self.at = node

    def handle_startendtag(self, tag, attrs):
        self.at.children.append(Node(tag, attrs, self.at))

    def handle_endtag(self, tag):
        n = self.at
        while n is not None and n.tag != tag:
            n = n.parent
        if n is not None and n.parent is not None:
            self.at = n.parent

    def handle_data(self, data):
        self.at.children.append(data)


def parse_dom(text):
    p = DomParser()
    p.feed(text)
    p.close()
    return p.root


def squash(s):
    return " ".join(s.split())


def number(text):
    """The first number in a cell's text (87.5% -> 87.5, 1,234 -> 1234); None if there is none."""
    m = re.search(r"-?\d[\d,]*(?:\.\d+)?", text)
    return float(m.group(0).replace(",", "")) if m else None


# --- processes ---------------------------------------------------------------

class Work:
    def __init__(self, args):
        self.a = args
        self.dir = tempfile.mkdtemp(prefix="line-view-", dir=args.work)
        self.env = dict(os.environ, XDG_DATA_HOME=os.path.join(self.dir, "data"),
                        XDG_CONFIG_HOME=os.path.join(self.dir, "config"), TZ="UTC")
        self.procs = []
        with open(os.path.join(self.dir, "gprscdmaset.ini"), "w") as f:
            f.write("X7,115200,LOW,HIGH,\n")

    def path(self, name):
        return os.path.join(self.dir, name)

    def spawn(self, argv, log, stdin=subprocess.DEVNULL):
        out = open(self.path(log), "wb")
        p = subprocess.Popen(argv, cwd=self.dir, env=self.env, stdin=stdin, stdout=out, stderr=subprocess.STDOUT,
                             start_new_session=True)
        self.procs.append(p)
        return p

    def log(self, name):
        try:
            with open(self.path(name), encoding="utf-8", errors="replace") as f:
                return f.read()
        except OSError:
            return ""

    def sim(self, name, *extra):
        link = self.path(name)
        p = self.spawn([self.a.receiver_sim, "--link", link, *extra], name + ".sim.log")
        for _ in range(100):
            if os.path.exists(link):
                return link
            time.sleep(0.1)
        fatal(f"receiver-sim {name} did not come up: {self.log(name + '.sim.log')}")

    def stop(self, p):
        if p.poll() is None:
            p.send_signal(signal.SIGTERM)
            try:
                p.wait(10)
            except subprocess.TimeoutExpired:
                p.kill()
                p.wait()

    def cleanup(self):
        for p in self.procs:
            self.stop(p)
        shutil.rmtree(self.dir, ignore_errors=True)

    def run(self, argv, timeout=60):
        return subprocess.run(argv, cwd=self.dir, env=self.env, capture_output=True, timeout=timeout)


def wait_exit(p, seconds, what, work, log):
    try:
        return p.wait(seconds)
    except subprocess.TimeoutExpired:
        fatal(f"{what} did not end within {seconds} s: {work.log(log)}")


# --- the fill ----------------------------------------------------------------

def fill(work, db, tag):
    """Boards and an upgrade into db by real runs; the station names carry tag."""
    a = work.a
    link_a = work.sim("a", "--receiver-rate", "115200")
    link_b = work.sim("b", "--receiver-rate", "115200", "--no-ack", "APN")
    link_u = work.sim("u", "--module", "EM310.00", "--serial", "SN4711")
    common = ["--type", "X7", "--db", db, "--progress", "none"]
    labels = work.path("labels")
    with open(labels, "w") as f:
        f.write("\n".join([PLAIN_LABEL + tag, SCRIPT_LABEL, QUOTES_LABEL]) + "\n")
    # Three scanned boards on one station while the other station fails one
    # board and has one refused, and brevan upgrades a board.
    passing = work.spawn([a.torvik, "--port", link_a, "--mode", "heron", "--station", "line-a" + tag, "--scan",
                          "--boards", "3", *common], "passing.log", stdin=open(labels, "rb"))
    upgrade = work.spawn([a.brevan, "--port", link_u, "--baud", "9600", "--db", db, "--station", "bench-u" + tag,
                          "--progress", "none"], "upgrade.log")
    failing = work.spawn([a.torvik, "--port", link_b, "--mode", "heron", "--station", "line-b" + tag, *common],
                         "failing.log")
    check(wait_exit(failing, 120, "the failing board", work, "failing.log") == 3,
          "the board whose APN went unanswered did not end in 3: " + work.log("failing.log"))
    # CDMA with the GSM mode: Set refuses it once the store has handed out its identity.
    refused = work.spawn([a.torvik, "--port", link_b, "--mode", "gsm", "--apn", "cdma", "--station", "line-b" + tag,
                          *common], "refused.log")
    check(wait_exit(refused, 60, "the refused board", work, "refused.log") == 4,
          "the refused board did not end in 4: " + work.log("refused.log"))
    check(wait_exit(upgrade, 120, "the upgrade", work, "upgrade.log") == 0,
          "the upgrade did not end in 0: " + work.log("upgrade.log"))
    check(wait_exit(passing, 180, "the passing boards", work, "passing.log") == 0,
          "the three scanned boards did not all pass: " + work.log("passing.log"))


# --- the store as the record commands read it ---------------------------------

class Store:
    def __init__(self, work, db, tag):
        a = work.a
        r = work.run([a.torvik, "records", "export", "--format", "json", "--db", db])
        if r.returncode != 0:
            fatal("torvik records export: " + r.stderr.decode(errors="replace"))
        self.boards = [b for b in json.loads(r.stdout) if b["station"].endswith(tag)]
        r = work.run([a.brevan, "records", "export", "--format", "json", "--db", db])
        if r.returncode != 0:
            fatal("brevan records export: " + r.stderr.decode(errors="replace"))
        self.upgrades = [u for u in json.loads(r.stdout) if u["station"].endswith(tag)]
        self.items = {}
        for b in self.boards:
            r = work.run([a.torvik, "records", "show", b["serial_number"], "--json", "--db", db])
            if r.returncode != 0:
                fatal(f"torvik records show {b['serial_number']}: " + r.stderr.decode(errors="replace"))
            self.items[b["id"]] = json.loads(r.stdout)["items"]

    def tally(self, boards):
        passed = sum(b["outcome"] == "passed" for b in boards)
        failed = sum(b["outcome"] in ("failed", "refused", "interrupted") for b in boards)
        return len(boards), passed, failed

    def stations(self):
        return sorted({b["station"] for b in self.boards})

    def board_for(self, key):
        """The board a page's key names: its id, serial number, label, local id or login."""
        for b in self.boards:
            if key in (str(b["id"]), b["serial_number"], b["label"], b["local_id"], b["login"]):
                return b
        return None


# --- the server --------------------------------------------------------------

def free_port():
    with socket.socket() as s:
        s.bind(("127.0.0.1", 0))
        return s.getsockname()[1]


def get(url, headers=None):
    """(status, body text, headers) of a GET; an HTTP error is an answer too."""
    req = urllib.request.Request(url, headers=headers or {})
    try:
        with urllib.request.urlopen(req, timeout=10) as r:
            return r.status, r.read().decode("utf-8"), dict(r.headers)
    except urllib.error.HTTPError as e:
        return e.code, e.read().decode("utf-8", errors="replace"), dict(e.headers)


def serve(work, db, log, *extra):
    port = free_port()
    p = work.spawn([work.a.torvik, "records", "serve", "--db", db, "--listen", f"127.0.0.1:{port}", *extra], log)
    base = f"http://127.0.0.1:{port}"
    deadline = time.monotonic() + 20
    while time.monotonic() < deadline:
        if p.poll() is not None:
            fatal(f"torvik records serve ended in {p.returncode}: {work.log(log)}")
        try:
            with socket.create_connection(("127.0.0.1", port), timeout=1):
                return p, base
        except OSError:
            time.sleep(0.1)
    fatal(f"torvik records serve did not answer on {base}: {work.log(log)}")


def chromium(work, url, *extra, dump=True):
    profile = work.path("chromium-profile")
    argv = ["chromium", "--headless=new", "--no-sandbox", "--disable-gpu", "--user-data-dir=" + profile,
            "--no-first-run", "--font-render-hinting=none", *extra]
    argv += ["--dump-dom", url] if dump else [url]
    r = subprocess.run(argv, capture_output=True, timeout=90, env=work.env)
    if r.returncode != 0:
        fatal(f"chromium {url} ended in {r.returncode}: {r.stderr.decode(errors='replace')[-2000:]}")
    return r.stdout.decode("utf-8")


# --- the checks --------------------------------------------------------------

def check_overview(dom, store, what):
    boards, passed, failed = store.tally(store.boards)
    for ident, want in (("line-boards", boards), ("line-passed", passed), ("line-failed", failed)):
        node = dom.by_id(ident)
        if check(node is not None, f"{what}: no #{ident}"):
            check(number(node.text()) == want, f"{what}: #{ident} shows {squash(node.text())!r}, the store has {want}")
    node = dom.by_id("line-yield")
    if check(node is not None, f"{what}: no #line-yield"):
        shown = number(node.text())
        want = 100.0 * passed / (passed + failed)
        check("%" in node.text() and shown is not None and abs(shown - want) < 0.51,
              f"{what}: #line-yield shows {squash(node.text())!r}, the store's yield is {want:.1f}%")

    table = dom.by_id("stations")
    rows = {r.attrs["data-station"]: r for r in table.find_all("tr") if "data-station" in r.attrs} if table else {}
    check(table is not None, f"{what}: no #stations table")
    check(sorted(rows) == store.stations(), f"{what}: station rows {sorted(rows)}, the store has {store.stations()}")
    for name, row in rows.items():
        mine = [b for b in store.boards if b["station"] == name]
        n, p, f = store.tally(mine)
        for cls, want in (("boards", n), ("passed", p), ("failed", f)):
            cells = row.find_all(cls=cls)
            check(len(cells) == 1 and number(cells[0].text()) == want,
                  f"{what}: station {name} .{cls} shows {[squash(c.text()) for c in cells]}, the store has {want}")
        cells = row.find_all(cls="yield")
        want = 100.0 * p / (p + f)
        check(len(cells) == 1 and number(cells[0].text()) is not None and abs(number(cells[0].text()) - want) < 0.51,
              f"{what}: station {name} .yield shows {[squash(c.text()) for c in cells]}, the store has {want:.1f}%")
        # Ended boards per clock hour in which a board started.
        hours = {b["started_at"][:13] for b in mine}
        ended = sum(b["outcome"] != "started" for b in mine)
        want = ended / len(hours)
        cells = row.find_all(cls="rate")
        check(len(cells) == 1 and number(cells[0].text()) is not None and abs(number(cells[0].text()) - want) < 0.051,
              f"{what}: station {name} .rate shows {[squash(c.text()) for c in cells]}, the store has {want:.2f}/h")

    chart = dom.by_id("hours-chart")
    check(chart is not None and chart.tag == "svg", f"{what}: no <svg id=hours-chart>")
    if chart is not None:
        check(any(n.tag in ("rect", "path", "line", "polyline") for n in chart.walk() if n is not chart),
              f"{what}: the hours chart draws nothing")

    # Each not-acknowledged item of a failed board, and the refused board, is a cause.
    causes = dom.by_id("causes")
    if check(causes is not None, f"{what}: no #causes table"):
        text = squash(causes.text())
        for b in store.boards:
            if b["outcome"] == "failed":
                for item in store.items[b["id"]]:
                    if item["reply_awaited"] and item["outcome"] != "acknowledged":
                        check(squash(item["label"]) in text, f"{what}: cause {item['label']!r} is not in #causes: {text!r}")
        check("refused" in text.lower() or "拒绝" in text, f"{what}: the refused board is not a cause: {text!r}")

    recent = dom.by_id("recent")
    links = recent.find_all("a", cls="board-link") if recent else []
    check(recent is not None, f"{what}: no #recent table")
    check(len(links) == len(store.boards), f"{what}: {len(links)} board links, the store has {len(store.boards)} boards")
    cells = [squash(td.text()) for td in recent.find_all("td")] if recent else []
    for label in (SCRIPT_LABEL, QUOTES_LABEL):
        check(label in cells, f"{what}: no cell of #recent is the label {label!r} as text")
    # Not one element the labels could have made: a script, or a tag named by a quote.
    check(not dom.find_all("script"), f"{what}: the page has a <script> element")
    odd = [n.tag for n in dom.walk() if n is not dom and not re.fullmatch(r"[a-z][a-z0-9-]*", n.tag)]
    check(not odd, f"{what}: elements no page of the site has: {odd}")

    upgrades = dom.by_id("upgrades")
    if check(upgrades is not None, f"{what}: no #upgrades table"):
        text = squash(upgrades.text())
        for u in store.upgrades:
            check(u["board_serial"] in text and u["station"] in text and u["image_version"] in text,
                  f"{what}: upgrade of {u['board_serial']} is not in #upgrades: {text!r}")
    return [l.attrs.get("href", "") for l in links]


def check_board(dom, store, href, what, english=True):
    path = urllib.parse.urlsplit(href).path
    check(path.startswith("/board/"), f"{what}: a board link to {href!r}")
    key = urllib.parse.unquote(path[len("/board/"):])
    board = store.board_for(key)
    if not check(board is not None, f"{what}: the link's key {key!r} names no board of the store"):
        return None
    label = dom.by_id("board-label")
    if check(label is not None, f"{what}: no #board-label"):
        text = squash(label.text())
        check((board["label"] and board["label"] in text) or board["serial_number"] in text,
              f"{what}: #board-label {text!r} is not board {board['serial_number']}'s ({board['label']!r})")
    table = dom.by_id("board-items")
    rows = table.find_all("tr", cls="item") if table else []
    items = store.items[board["id"]]
    check(table is not None, f"{what}: no #board-items")
    check(len(rows) == len(items), f"{what}: {len(rows)} item rows, the store has {len(items)} items")
    for row, item in zip(rows, items):
        text = squash(row.text())
        check(squash(item["label"]) in text, f"{what}: item {item['index']} row {text!r} lacks {item['label']!r}")
        cells = [squash(td.text()) for td in row.find_all("td")]
        check(item["outcome"] in cells or not english,
              f"{what}: item {item['index']} row {cells} lacks its outcome {item['outcome']!r}")
    check(not dom.find_all("script"), f"{what}: the board page has a <script> element")
    return board


def check_api(base, store, suffix=""):
    status, body, headers = get(base + "/api/summary" + suffix)
    check(status == 200, f"/api/summary answered {status}")
    check("json" in headers.get("Content-Type", ""), f"/api/summary is {headers.get('Content-Type')}")
    summary = json.loads(body) if status == 200 else {}
    check(tuple(summary.get(k) for k in ("boards", "passed", "failed")) == store.tally(store.boards),
          f"/api/summary {[summary.get(k) for k in ('boards', 'passed', 'failed')]}, the store has {store.tally(store.boards)}")
    stations = {s.get("station"): s for s in summary.get("stations", [])}
    check(sorted(stations) == store.stations(), f"/api/summary stations {sorted(stations)}, the store has {store.stations()}")
    for name in store.stations():
        got = tuple(stations.get(name, {}).get(k) for k in ("boards", "passed", "failed"))
        want = store.tally([b for b in store.boards if b["station"] == name])
        check(got == want, f"/api/summary station {name} {got}, the store has {want}")

    def search(q):
        status, body, _ = get(base + "/api/boards?q=" + urllib.parse.quote(q, safe="") + suffix.replace("?", "&"))
        check(status == 200, f"/api/boards?q={q!r} answered {status}: {body[:200]}")
        try:
            found = json.loads(body)
        except ValueError:
            found = None
        check(isinstance(found, list), f"/api/boards?q={q!r} is not a list: {body[:200]}")
        return found if isinstance(found, list) else []

    for b in store.boards:
        found = search(b["serial_number"])
        check(len(found) == 1 and b["serial_number"] in json.dumps(found, ensure_ascii=False),
              f"/api/boards?q={b['serial_number']} found {found}")
    for label in (SCRIPT_LABEL, QUOTES_LABEL):
        found = search(label)
        check(len(found) == 1 and label in [v for v in found[0].values() if isinstance(v, str)] if found else False,
              f"/api/boards?q={label!r} found {found}")
    check(search("no-such-board-" + "z" * 300) == [], "/api/boards for nothing found something")
    # Characters a query could be built from: matched as text, never as SQL or
    # a pattern. No board's texts hold these...
    for odd in ("%", "_", "\\", "' OR '1'='1", "\u00ff" * 300):
        found = search(odd)
        check(found == [], f"/api/boards?q={odd[:20]!r} found {len(found)} board(s)")
    # ...and an apostrophe is in one label alone.
    found = search("'")
    check(any(QUOTES_LABEL in texts(f) for f in found) and all(any("'" in t for t in texts(f)) for f in found),
          f"/api/boards?q=' found {found}")


def texts(entry):
    """The texts of a found board a query can match."""
    keys = ("serial_number", "label", "local_id", "login", "station")
    return [v for k, v in entry.items() if isinstance(v, str) and k in keys] if isinstance(entry, dict) else []


def main():
    ap = argparse.ArgumentParser()
    ap.add_argument("torvik")
    ap.add_argument("brevan")
    ap.add_argument("receiver_sim")
    ap.add_argument("work")
    ap.add_argument("--pg-server", help="pg_server.sh: the store on a PostgreSQL server of the test's own")
    ap.add_argument("--screenshots")
    a = ap.parse_args()
    # The runs start in the work directory.
    a.torvik, a.brevan, a.receiver_sim = (os.path.abspath(p) for p in (a.torvik, a.brevan, a.receiver_sim))
    os.makedirs(a.work, exist_ok=True)
    work = Work(a)
    pg_dir = None
    try:
        tag = "-" + str(os.getpid())
        if a.pg_server:
            # A server of its own: the suite's shared one is started anew by
            # every ctest run that needs it, under a run that is using it.
            # Beside the private work directory: the server runs as another user when started as root.
            pg_dir = os.path.join(os.path.abspath(a.work), f"pg-{os.getpid()}")
            r = work.run([a.pg_server, "start", pg_dir], timeout=120)
            if r.returncode != 0:
                pg_dir = None
                fatal("pg_server.sh start: " + r.stderr.decode(errors="replace"))
            with open(os.path.join(pg_dir, "url")) as f:
                db = f.readline().strip()
        else:
            db = work.path("line.sqlite3")
        t0 = time.monotonic()
        fill(work, db, tag)
        print(f"filled in {time.monotonic() - t0:.1f} s", flush=True)
        store = Store(work, db, tag)
        print("store:", store.tally(store.boards), "boards/passed/failed,", len(store.upgrades), "upgrade(s)", flush=True)
        check(store.tally(store.boards) == (5, 3, 2), f"the fill left {store.tally(store.boards)} boards/passed/failed")
        check(len(store.upgrades) == 1, f"the fill left {len(store.upgrades)} upgrades")
        check(sorted(b["label"] for b in store.boards if b["label"]) == sorted([PLAIN_LABEL + tag, SCRIPT_LABEL, QUOTES_LABEL]),
              "the store lacks the scanned labels")

        server, base = serve(work, db, "serve.log")
        page = chromium(work, base + "/")
        hrefs = check_overview(parse_dom(page), store, "overview")
        seen = set()
        for href in hrefs:
            board = check_board(parse_dom(chromium(work, urllib.parse.urljoin(base + "/", href))), store, href,
                                "board " + href)
            if board:
                seen.add(board["id"])
        check(seen == {b["id"] for b in store.boards}, "the board links do not lead to every board")
        check_api(base, store)

        # Chinese for a browser that asks for it; English otherwise.
        zh = chromium(work, base + "/", "--lang=zh-CN", "--accept-lang=zh-CN")
        zh_dom = parse_dom(zh)
        # The site's own words (titles and headings); the items' labels are Chinese on either page.
        def headings(dom):
            return " ".join(squash(n.text()) for n in dom.walk() if n.tag in ("title", "h1", "h2", "h3", "th"))
        check(CJK.search(headings(zh_dom)) is not None, f"the page for zh-CN has no Chinese headings: {headings(zh_dom)!r}")
        check(CJK.search(headings(parse_dom(page))) is None, f"the English page has Chinese headings: {headings(parse_dom(page))!r}")
        check_overview(zh_dom, store, "Chinese overview")
        status, body, _ = get(base + "/", {"Accept-Language": "zh-CN,zh;q=0.9"})
        check(status == 200 and CJK.search(headings(parse_dom(body))) is not None,
              "Accept-Language zh-CN did not give the Chinese page")

        if a.screenshots:
            os.makedirs(a.screenshots, exist_ok=True)
            shots = {"line-overview.png": (base + "/", []),
                     "line-board.png": (urllib.parse.urljoin(base + "/", hrefs[0]) if hrefs else base + "/", []),
                     "line-overview-zh.png": (base + "/", ["--lang=zh-CN", "--accept-lang=zh-CN"])}
            for name, (url, extra) in shots.items():
                out = os.path.join(a.screenshots, name)
                if os.path.exists(out):
                    os.remove(out)
                chromium(work, url, "--screenshot=" + out, "--window-size=1400,1000", "--hide-scrollbars", *extra,
                         dump=False)
                check(os.path.getsize(out) > 10000 if os.path.exists(out) else False, f"no screenshot {out}")
        # Requests no page answers: a clear refusal, and the server goes on.
        for path in ("/board/no-such-board", "/api/board/no-such-board", "/?day=2026-13-45", "/?from=x&to=y",
                     "/board/" + "9" * 5000, "/no/such/page"):
            status, body, _ = get(base + path)
            check(400 <= status < 500 and body.strip() != "", f"{path[:40]} answered {status}: {body[:200]!r}")
        # A broken escape is a query like another, or refused; never the server's fault.
        status, body, _ = get(base + "/api/boards?q=%ZZ%")
        check(status == 200 and body.strip().startswith("[") or 400 <= status < 500,
              f"/api/boards?q=%ZZ% answered {status}: {body[:200]!r}")
        check(server.poll() is None, "the server ended after the odd requests")
        status, _, _ = get(base + "/api/summary")
        check(status == 200, f"after the odd requests /api/summary answered {status}")
        work.stop(server)

        # A token: nothing without it, everything with it, and the links keep it.
        server, base = serve(work, db, "serve-token.log", "--token", TOKEN)
        for path in ("/", "/api/summary", "/api/boards?q=a", hrefs[0] if hrefs else "/board/x"):
            status, _, _ = get(base + path)
            check(status == 401, f"{path} without the token answered {status}")
        status, _, _ = get(base + "/?token=wrong")
        check(status == 401, f"a wrong token answered {status}")
        status, _, _ = get(base + "/?token=" + TOKEN)
        check(status == 200, f"/?token= answered {status}")
        status, _, _ = get(base + "/api/summary", {"Authorization": "Bearer " + TOKEN})
        check(status == 200, f"the token as a bearer answered {status}")
        status, _, _ = get(base + "/api/summary", {"Authorization": "Bearer " + TOKEN + "x"})
        check(status == 401, f"a wrong bearer answered {status}")
        check_api(base, store, "?token=" + TOKEN)
        dom = parse_dom(chromium(work, base + "/?token=" + TOKEN))
        links = [l.attrs.get("href", "") for l in dom.find_all("a", cls="board-link")]
        check(len(links) == len(store.boards), f"with the token {len(links)} board links")
        for href in links:
            q = urllib.parse.parse_qs(urllib.parse.urlsplit(href).query)
            check(q.get("token") == [TOKEN], f"the board link {href!r} lost the token")
        if links:
            board = check_board(parse_dom(chromium(work, urllib.parse.urljoin(base + "/", links[0]))), store, links[0],
                                "board with the token")
            check(board is not None, "the board page with the token")
        work.stop(server)

        # Beyond loopback only with a token.
        open_all = work.spawn([a.torvik, "records", "serve", "--db", db, "--listen", f"0.0.0.0:{free_port()}"],
                              "serve-open.log")
        try:
            code = open_all.wait(15)
        except subprocess.TimeoutExpired:
            code = None
        check(code == 64, f"--listen 0.0.0.0 without --token ended in {code}: {work.log('serve-open.log')}")
        check(work.log("serve-open.log").strip() != "", "--listen 0.0.0.0 without --token says nothing")
    finally:
        if pg_dir:
            subprocess.run([a.pg_server, "stop", pg_dir], capture_output=True, timeout=60)
        work.cleanup()
    if failures:
        print(f"{len(failures)} check(s) failed")
        return 1
    print("line view: all checks passed")
    return 0


if __name__ == "__main__":
    sys.exit(main())
