#!/usr/bin/env python3
"""Keeps the English column of core/messages.tsv equal to the English message list.

The list is read from a Markdown document (run by hand by a developer; the
build reads only the TSV).  The list starts after the line beginning with
"The English texts of all rows" and ends at the next "**State and lifecycle**".
It holds two kinds of lines:

    - N "text"          message N (0 to 657)
    - k = K "text"      message 1000 + K, after a "Rows 1000 + k" heading

A text runs from the first to the last double quote of its line.  It uses the
escapes \\r (carriage return), \\n (line feed) and \\" (double quote), undone in
one pass; every other character, spaces at either end included, is kept.

    gen_messages.py --source DOC.md [--tsv core/messages.tsv]
        writes the English column (Chinese columns are kept; new rows get
        empty Chinese texts and are reported)
    gen_messages.py --source DOC.md --check [--tsv core/messages.tsv]
        exits 1 when the English column differs from the list in any byte,
        or when the table fails validation

The English texts of the ids in MENDED are our own, because the list's text
is wrong there (see each entry).  The check accepts them when the list still
holds the text that was mended away and the table holds the mended one; a
write keeps them.  Any other change of such a row is reported as usual.

Standard library only.
"""
import argparse
import os
import re
import sys

sys.dont_write_bytecode = True  # keep the source tree clean
sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import gen_messages_inc as table  # noqa: E402

START_MARK = "The English texts of all rows"
END_MARK = "**State and lifecycle**"
HIGH_HEADING = "Rows 1000 + k"
# Rows from here up are the program's own texts, not in the list.
PROJECT_BASE = 3000

EXPECTED_COUNT = 658
EXPECTED_GAPS = frozenset({153, 321, 322} | set(range(530, 540)))  # inside 0..657
LOW_LAST = 657
HIGH_BASE = 1000
HIGH_MISSING = frozenset({8})
HIGH_LAST_K = 13

# id -> (the list's text, our text, why).  Keep this list short: a mend
# belongs here only when the list's text misleads the operator.
MENDED = {
    286: ("Restore the parameter group to 1%",
          "Restore the parameter group to %1",
          "the placeholder is written \"1%\" in every language, so the record never names the group"),
    642: ("Ejector pulse when NG in prod, don't' alarm",
          "Clamp pulse when NG in mold, don't alarm",
          "repeated 190's text for the mould box that pulses the clamp; the page shows both"),
    645: ("OK and NG output pulses",
          "OK pulses clamp, NG pulses ejector",
          "repeated 202's text for the box that routes OK to the clamp and NG to the ejector"),
}

_LOW_LINE = re.compile(r'^- (\d+) "(.*)"$')
_HIGH_LINE = re.compile(r'^- k = (\d+) "(.*)"$')
_ESCAPE = re.compile(r'\\([rn"])')
_UNESCAPED = {"r": "\r", "n": "\n", '"': '"'}


class ListError(Exception):
    pass


def unescape(text):
    return _ESCAPE.sub(lambda m: _UNESCAPED[m.group(1)], text)


def extract(lines):
    """Returns {id: English text} from the lines of the document."""
    start = next((i for i, l in enumerate(lines) if l.startswith(START_MARK)), None)
    if start is None:
        raise ListError("start line %r not found" % START_MARK)
    end = next((i for i in range(start + 1, len(lines)) if lines[i].strip() == END_MARK), None)
    if end is None:
        raise ListError("end line %r not found" % END_MARK)
    texts = {}
    high = False
    last = -1
    for number in range(start + 1, end):
        line = lines[number]
        if not line.strip():
            continue
        if line.startswith(HIGH_HEADING):
            if high:
                raise ListError("line %d: second %r heading" % (number + 1, HIGH_HEADING))
            high = True
            continue
        m = (_HIGH_LINE if high else _LOW_LINE).match(line)
        if not m:
            raise ListError("line %d: not a message line: %r" % (number + 1, line))
        n = int(m.group(1))
        if high:
            if n > HIGH_LAST_K or n in HIGH_MISSING:
                raise ListError("line %d: unexpected k = %d" % (number + 1, n))
            ident = HIGH_BASE + n
        else:
            if n > LOW_LAST:
                raise ListError("line %d: id %d above %d" % (number + 1, n, LOW_LAST))
            ident = n
        if ident <= last:
            raise ListError("line %d: id %d not rising" % (number + 1, ident))
        last = ident
        raw = m.group(2)
        if re.search(r'\\(?![rn"])', raw):
            raise ListError("line %d: unknown escape in %r" % (number + 1, raw))
        if re.search(r'(?<!\\)"', raw):
            raise ListError("line %d: unescaped quote inside %r" % (number + 1, raw))
        texts[ident] = unescape(raw)
    return texts


def check_list(texts):
    """The facts the list must satisfy; raises ListError."""
    problems = []
    if len(texts) != EXPECTED_COUNT:
        problems.append("%d ids, expected %d" % (len(texts), EXPECTED_COUNT))
    gaps = set(range(LOW_LAST + 1)) - set(texts)
    if gaps != EXPECTED_GAPS:
        problems.append("gaps %s, expected %s" % (sorted(gaps), sorted(EXPECTED_GAPS)))
    high = {i - HIGH_BASE for i in texts if i >= HIGH_BASE}
    if high != set(range(HIGH_LAST_K + 1)) - HIGH_MISSING:
        problems.append("rows 1000+k: %s" % sorted(high))
    for a, b in table.IDENTICAL_PAIRS:
        if texts.get(a) != texts.get(b):
            problems.append("%d and %d differ: %r / %r" % (a, b, texts.get(a), texts.get(b)))
    empty = {i for i, t in texts.items() if t == ""}
    if empty != table.EMPTY_ENGLISH:
        problems.append("empty English texts %s, expected %s" % (sorted(empty), sorted(table.EMPTY_ENGLISH)))
    if problems:
        raise ListError("; ".join(problems))


def read_list(path):
    with open(path, encoding="utf-8", newline="") as f:
        lines = f.read().split("\n")
    texts = extract([l[:-1] if l.endswith("\r") else l for l in lines])
    check_list(texts)
    return texts


def expected_english(ident, texts):
    """The English text the table must hold for an id of the list."""
    if ident in MENDED:
        listed, ours, _ = MENDED[ident]
        if texts[ident] == listed:
            return ours
    return texts[ident]


def compare(texts, rows):
    """Differences between the list and the English column, one line each.

    A mended id is compared with its mended text while the list still holds
    the text it replaces; once the list changes there, the list holds again.
    """
    diffs = []
    for ident in sorted(set(texts) | set(rows)):
        if ident >= PROJECT_BASE and ident not in texts:
            continue
        if ident not in rows:
            diffs.append("%d: missing from the table" % ident)
        elif ident not in texts:
            diffs.append("%d: not in the list" % ident)
        else:
            want = expected_english(ident, texts)
            if rows[ident][1].encode("utf-8") != want.encode("utf-8"):
                what = "mended text" if want != texts[ident] else "list"
                diffs.append("%d: table %r, %s %r" % (ident, rows[ident][1], what, want))
    return diffs


def main(argv=None):
    parser = argparse.ArgumentParser(description=__doc__.split("\n")[0])
    parser.add_argument("--source", required=True, help="Markdown document holding the English list")
    parser.add_argument("--tsv", default=os.path.normpath(os.path.join(
        os.path.dirname(os.path.abspath(__file__)), "..", "core", "messages.tsv")))
    parser.add_argument("--check", action="store_true", help="compare only, write nothing")
    args = parser.parse_args(argv)
    try:
        texts = read_list(args.source)
    except (OSError, ListError) as e:
        print("error: %s: %s" % (args.source, e), file=sys.stderr)
        return 1

    rows = {}
    if os.path.exists(args.tsv):
        try:
            rows = table.read_tsv(args.tsv)
        except table.TableError as e:
            print("error: %s" % e, file=sys.stderr)
            return 1

    if args.check:
        diffs = compare(texts, rows)
        errors, warnings = table.validate(rows)
        for w in warnings:
            print("warning: %s" % w, file=sys.stderr)
        for d in diffs:
            print("differs: %s" % d, file=sys.stderr)
        for e in errors:
            print("error: %s" % e, file=sys.stderr)
        if diffs or errors:
            return 1
        mended = sorted(i for i in MENDED if i in texts and expected_english(i, texts) != texts[i])
        print("%s: %d rows, English column equal to the list%s"
              % (args.tsv, len(rows), " (mended: %s)" % ", ".join(map(str, mended)) if mended else ""))
        return 0

    stray = sorted(i for i in set(rows) - set(texts) if i < PROJECT_BASE)
    if stray:
        print("error: rows not in the list: %s" % stray, file=sys.stderr)
        return 1
    for ident in texts:
        zh_cn, _, zh_tw = rows.get(ident, ("", "", ""))
        rows[ident] = (zh_cn, expected_english(ident, texts), zh_tw)
    table.write_tsv(args.tsv, rows)
    untranslated = sorted(i for i, r in rows.items() if not r[0] or not r[2])
    print("%s: %d rows written" % (args.tsv, len(rows)))
    if untranslated:
        print("rows still without both Chinese texts: %d (%s%s)"
              % (len(untranslated), untranslated[:20], " ..." if len(untranslated) > 20 else ""))
    return 0


if __name__ == "__main__":
    sys.exit(main())
