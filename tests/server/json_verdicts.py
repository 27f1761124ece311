#!/usr/bin/env python3
"""server.json read from outside: mutated documents against Python's json module.

    python3 tests/server/json_verdicts.py BUILD_BIN [COUNT [SEED]]

Takes the hand-written server (tests/server/data/buero), the demo server that BUILD_BIN/arvelo-demo-server
builds, a generated server in the shape bench/scale writes, and the fuzz seeds; mutates them COUNT times (650)
byte-wise and structurally; gives each to `arvelo-stat --sub --format json` as a server folder's server.json;
and compares the program's verdict with Python's: json.loads (strict, no NaN or Infinity) followed by the rules
of docs/server-folder.md. For a taken file the archives listed must be the ones Python reads; for a refused
file the place named must be Python's place (for JSON faults: a byte offset). No crash, no hang (20 s each).

Python's strict parser refuses control characters written as they are inside a text, which the program takes
(see docs/server-folder.md): such documents are counted apart, and must be taken exactly when Python's
lenient parser (strict=False) takes them and the rules hold. Exit status 1 on any other difference.
"""

import json
import os
import random
import re
import shutil
import subprocess
import sys
import tempfile

HERE = os.path.dirname(os.path.abspath(__file__))
PROJECT = os.path.dirname(os.path.dirname(HERE))


class Refused(Exception):
    def __init__(self, place):
        super().__init__(place)
        self.place = place


def no_constant(name):
    raise ValueError("not JSON: " + name)


def read_rules(doc):
    """The archives as (level, name, path, fullPath) in the program's order, or Refused(place)."""
    if not isinstance(doc, dict):
        raise Refused("oberste Ebene")
    if "archiveRoot" not in doc:
        raise Refused("archiveRoot")
    paths = set()
    rows = []

    def text(o, key, where, required):
        if key not in o:
            if required:
                raise Refused(where + "." + key)
            return None
        if not isinstance(o[key], str):
            raise Refused(where + "." + key)
        return o[key]

    def message(m, where):
        if not isinstance(m, dict):
            raise Refused(where)
        if "kind" not in m:
            raise Refused(where + ".kind")
        kind = m["kind"]
        whole = isinstance(kind, int) and not isinstance(kind, bool)
        whole = whole or (isinstance(kind, float) and kind.is_integer())
        if not whole or not -2**31 <= kind < 2**31:
            raise Refused(where + ".kind")
        text(m, "title", where, True)
        text(m, "eml", where, kind == 2)
        text(m, "faxImage", where, kind == 3)
        text(m, "url", where, kind == 8)

    def archive(a, where, level):
        if not isinstance(a, dict):
            raise Refused(where)
        name = text(a, "name", where, True)
        path = text(a, "path", where, True)
        full = text(a, "fullPath", where, True)
        if path in paths:
            raise Refused(where + ".path")
        paths.add(path)
        if level >= 0:
            rows.append((level, name, path, full))
        if "messages" in a:
            if not isinstance(a["messages"], list):
                raise Refused(where + ".messages")
            for i, m in enumerate(a["messages"]):
                message(m, "%s.messages[%d]" % (where, i))
        if "subArchives" in a:
            if not isinstance(a["subArchives"], list):
                raise Refused(where + ".subArchives")
            for i, s in enumerate(a["subArchives"]):
                archive(s, "%s.subArchives[%d]" % (where, i), level + 1)

    archive(doc["archiveRoot"], "archiveRoot", -1)
    return rows


def python_verdict(data, strict):
    """("take", rows) or ("refuse", place); place "Byte" for a fault of the JSON itself."""
    if data.startswith(b"\xef\xbb\xbf"):
        data = data[3:]
    try:
        doc = json.loads(data.decode("utf-8"), parse_constant=no_constant, strict=strict)
    except (ValueError, RecursionError):
        return ("refuse", "Byte")
    try:
        return ("take", read_rules(doc))
    except Refused as r:
        return ("refuse", r.place)
    except RecursionError:
        return ("refuse", "deep")


def program_verdict(stat, folder):
    try:
        p = subprocess.run([stat, "--server", folder, "--sub", "--format", "json", "--threads", "1"],
                           capture_output=True, timeout=20)
    except subprocess.TimeoutExpired:
        return ("hang", None)
    if p.returncode in (0, 1):
        try:
            return ("take", [(r["level"], r["name"], r["path"], r["fullPath"]) for r in json.loads(p.stdout)])
        except ValueError:
            return ("take", None)  # a text Python cannot hold (an unpaired surrogate)
    reason = p.stderr.decode("utf-8", "replace")
    m = re.search(r"server\.json: (.+?): ", reason)
    if p.returncode == 2 and m:
        return ("refuse", "Byte" if m.group(1).startswith("Byte ") else m.group(1))
    return ("crash", "exit %d: %s" % (p.returncode, reason[-400:]))


def written(rows, bom_dropped=False):
    """The rows as arvelo-stat writes them: UTF-8 has no unpaired surrogate, Qt writes "?" for one. With
    bom_dropped, without a U+FEFF at the start of a text, which QJsonDocument drops there (when the text has no
    escape; Python keeps it)."""
    if not isinstance(rows, list):
        return rows
    unpaired = re.compile("[\ud800-\udfff]")

    def text(v):
        if not isinstance(v, str):
            return v
        v = unpaired.sub("?", v)
        return v[1:] if bom_dropped and v.startswith("\ufeff") else v
    return [tuple(text(v) for v in row) for row in rows]


# ---- the documents ---------------------------------------------------------------------------------------------

def generated_server(users=30, subs=3):
    """A server.json in the shape bench/scale generates."""
    user_list = []
    for u in range(users):
        uid = "%08X" % (0xA0000000 + u)
        path = "SRV01:DAVID\\ARCHIVE\\USER\\" + uid
        sub_list = [{"name": "Ablage %d" % s, "path": path + "\\S%d" % s, "fullPath": path + "\\S%d" % s}
                    for s in range(subs)]
        user_list.append({"name": "Benutzer %d" % u, "path": path,
                          "fullPath": "\\\\SRV01\\DAVID\\ARCHIVE\\USER\\" + uid, "subArchives": sub_list})
    return json.dumps({"archiveRoot": {"name": "Archiv", "path": "SRV01:DAVID\\ARCHIVE",
                                       "fullPath": "\\\\SRV01\\DAVID\\ARCHIVE", "subArchives": user_list}}).encode()


def sources(bin_dir, scratch):
    docs = {}
    with open(os.path.join(HERE, "data", "buero", "server.json"), "rb") as f:
        docs["handmade"] = f.read()
    demo = os.path.join(scratch, "demo")
    subprocess.run([os.path.join(bin_dir, "arvelo-demo-server"), "--out", demo, "--users", "12"], check=True,
                   capture_output=True)
    with open(os.path.join(demo, "server.json"), "rb") as f:
        docs["demo"] = f.read()
    docs["generated"] = generated_server()
    corpus = os.path.join(PROJECT, "fuzz", "corpus", "server_json")
    for name in sorted(os.listdir(corpus)):
        with open(os.path.join(corpus, name), "rb") as f:
            docs["seed " + name] = f.read()
    return docs


INTERESTING = [b'"', b"\\", b"{", b"}", b"[", b"]", b",", b":", b" ", b"0", b"-", b".", b"e", b"n", b"t",
               b"\x00", b"\x01", b"\t", b"\n", b"\r", b"\x0c", b"\x1f", b"\x7f", b"\x80", b"\xc3", b"\xff",
               b"\xef\xbb\xbf", b"\xed\xa0\x80"]
ESCAPES = [b"\\A", b"\\'", b"\\x41", b"\\u00e4", b"\\ud800", b"\\udc00", b"\\ud83d\\ude00", b"\\u0000", b"\\uZZZZ",
           b"\\/", b"\\U0041", b"\\0", b"\\a", b"\\\xc3\xa4", b"\\"]
VALUES = [None, True, 0, 2.5, 2.0, 1e0, -1, 3000000000, "2", [], {}, "x", 1e400]


def string_spans(data):
    """(start, end) of the contents of the strings of a valid document."""
    spans, i, n = [], 0, len(data)
    while i < n:
        if data[i:i + 1] == b'"':
            j = i + 1
            while j < n and data[j:j + 1] != b'"':
                j += 2 if data[j:j + 1] == b"\\" else 1
            spans.append((i + 1, min(j, n)))
            i = j + 1
        else:
            i += 1
    return spans


def walk(value, visit, parent=None, key=None):
    visit(parent, key, value)
    if isinstance(value, dict):
        for k in list(value):
            walk(value[k], visit, value, k)
    elif isinstance(value, list):
        for i in range(len(value)):
            walk(value[i], visit, value, i)


def structural(doc, rng):
    """One change to the parsed document, dumped again."""
    places = []
    walk(doc, lambda parent, key, value: places.append((parent, key, value)))
    places = [p for p in places if p[0] is not None]
    parent, key, value = rng.choice(places)
    change = rng.randrange(7)
    if change == 0 and isinstance(parent, dict):
        del parent[key]
    elif change == 1:
        parent[key] = rng.choice(VALUES)
    elif change == 2 and isinstance(parent, dict):
        parent[rng.choice(["name", "path", "fullPath", "kind", "title", "eml", "faxImage", "url", "messages",
                           "subArchives", "archiveRoot", "x"])] = value
    elif change == 3 and isinstance(parent, list):
        parent.append(value)  # a sub-archive twice: its path twice
    elif change == 4 and isinstance(value, str):
        chars = list(value)
        chars.insert(rng.randrange(len(chars) + 1), rng.choice(["\t", "\r", "\x0c", "\x00", "\x1f", "\u00e4", "\U0001F600"]))
        parent[key] = "".join(chars)
    elif change == 5:
        deep = value
        for _ in range(rng.choice([10, 100, 400])):  # within both parsers' nesting limits
            deep = {"name": "d", "path": "d%d" % rng.randrange(10**9), "fullPath": "d", "subArchives": [deep]}
        parent[key] = deep
    else:
        parent[key] = {"messages": [{"kind": rng.choice(VALUES), "title": "t", "eml": "m.eml"}]}
    text = json.dumps(doc, ensure_ascii=rng.random() < 0.5, indent=rng.choice([None, 1]))
    return text.encode("utf-8", "surrogatepass")


def mutate(data, rng):
    n = len(data)
    kind = rng.randrange(10)
    if kind == 0:  # one byte changed
        i = rng.randrange(n)
        return data[:i] + bytes([rng.randrange(256)]) + data[i + 1:], "byte"
    if kind == 1:  # a run of bytes removed
        i = rng.randrange(n)
        return data[:i] + data[i + rng.randrange(1, 40):], "removed"
    if kind == 2:  # an interesting byte put in anywhere
        i = rng.randrange(n + 1)
        return data[:i] + rng.choice(INTERESTING) + data[i:], "inserted"
    if kind == 3:  # cut short
        return data[:rng.randrange(n)], "cut"
    if kind in (4, 5):  # inside a text: an escape, or a raw control character
        spans = string_spans(data)
        start, end = rng.choice(spans)
        i = rng.randint(start, end)
        if kind == 4:
            return data[:i] + rng.choice(ESCAPES) + data[i:], "escape"
        return data[:i] + rng.choice([b"\t", b"\r", b"\x0c", b"\x01", b"\x00", b"\n", b"\x1f"]) + data[i:], "control"
    if kind == 6:  # around the document
        return rng.choice([b"\xef\xbb\xbf" + data, b"\xef\xbb\xbf\xef\xbb\xbf" + data, b" \xef\xbb\xbf" + data,
                           data + b" x", data + b"\n\t ", data + b"{}", b"[" + data + b"]", data * 2]), "around"
    if kind == 7:  # numbers JSON does not have
        return data.replace(b'"kind": 2', rng.choice([b'"kind": 02', b'"kind": 2.', b'"kind": .2', b'"kind": +2',
                                                        b'"kind": NaN', b'"kind": Infinity', b'"kind": 0x2',
                                                        b'"kind": 2e0', b'"kind": -0']), 1), "number"
    doc = json.loads(data.decode("utf-8-sig"))
    return structural(doc, rng), "structure"


def main():
    if len(sys.argv) < 2:
        print(__doc__.strip(), file=sys.stderr)
        return 64
    bin_dir = sys.argv[1]
    count = int(sys.argv[2]) if len(sys.argv) > 2 else 650
    rng = random.Random(int(sys.argv[3]) if len(sys.argv) > 3 else 1)
    stat = os.path.join(bin_dir, "arvelo-stat")
    scratch = tempfile.mkdtemp(prefix="arvelo-json-verdicts-")
    differences = []
    tally = {}
    try:
        docs = sources(bin_dir, scratch)
        valid = [(name, data) for name, data in docs.items() if python_verdict(data, True)[0] == "take"]
        folder = os.path.join(scratch, "server")
        os.makedirs(folder)
        for n in range(count):
            name, data = valid[n % len(valid)]
            mutated, how = mutate(data, rng)
            with open(os.path.join(folder, "server.json"), "wb") as f:
                f.write(mutated)
            ours = program_verdict(stat, folder)
            strict = python_verdict(mutated, True)
            lenient = python_verdict(mutated, False)
            if strict != lenient:
                group, expected = "control characters", lenient
            else:
                group, expected = "JSON", strict
            same = ours[0] == expected[0] and (ours[1] is None or ours[1] == written(expected[1]))
            if not same and ours[0] == expected[0] == "take" and ours[1] == written(expected[1], True):
                group, same = "U+FEFF dropped", True
            key = (group, ours[0])
            tally[key] = tally.get(key, 0) + 1
            if not same:
                saved = os.path.join(scratch, "difference-%03d.json" % n)
                shutil.copy(os.path.join(folder, "server.json"), saved)
                differences.append((n, name, how, ours[0], str(ours[1])[:160], expected[0], str(expected[1])[:160]))
    finally:
        if not differences:
            shutil.rmtree(scratch, ignore_errors=True)
    print("documents: %d from %s" % (count, ", ".join(docs)))
    for (group, verdict), number in sorted(tally.items()):
        print("  %-20s %-7s %d" % (group, verdict, number))
    print("differences: %d" % len(differences))
    for d in differences:
        print("  #%d %s (%s): program %s %s; python %s %s" % d)
    if differences:
        print("the documents that differ are kept in " + scratch)
    return 1 if differences else 0


if __name__ == "__main__":
    sys.exit(main())
