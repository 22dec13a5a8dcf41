#!/usr/bin/env python3
"""Turns the message table core/messages.tsv into messages_data.inc.

The TSV is the single source of every interface text.  Its first line is a
comment describing the format, the second names the columns:

    id <TAB> zh_CN <TAB> en <TAB> zh_TW

one row per filled message id, ids rising.  Inside a field a backslash starts
an escape: \\\\ backslash, \\r carriage return, \\n line feed, \\t tab; every other
character stands as is, spaces at either end included.  Ids without a row are
empty in every language.

Before writing, the table is validated (see validate()); a fault stops the
build, a difference in line breaks between a translation and the English text
is only reported.

The output is a static array of UTF-8 string literals for core/messages.cpp.
Non-ASCII characters stay raw: a \\x escape would swallow a following hex digit.
Standard library only.
"""
import argparse
import os
import re
import sys

TSV_COMMENT = ("# Message table: one row per filled message id, rising; columns id, zh_CN, en, zh_TW "
               "separated by one TAB. Escapes in a field: \\\\ backslash, \\r CR, \\n LF, \\t TAB; "
               "every other character stands as is, spaces at either end included. "
               "Ids without a row are empty in every language.")
TSV_COLUMNS = "id\tzh_CN\ten\tzh_TW"
LANGUAGES = ("zh_CN", "en", "zh_TW")
MAX_ID = 4095

# Rows whose English text is empty on purpose (the option has no English caption).
EMPTY_ENGLISH = frozenset({646, 647, 648, 1011, 1012, 1013})
# Rows that are the same text under two ids, in every language.
IDENTICAL_PAIRS = ((118, 145), (205, 229), (215, 267), (554, 1009), (557, 1006), (653, 654))
# The Chinese question of 574 names the skip count (%1); its English text does not.
PLACEHOLDER_EXCEPTIONS = frozenset({574})

_ESCAPES = {"\\": "\\", "r": "\r", "n": "\n", "t": "\t"}
_PLACEHOLDER = re.compile(r"%([0-9]{1,2})")
_LINE_BREAK = re.compile(r"\r\n|\r|\n")


class TableError(Exception):
    pass


def unescape_field(text):
    """Undoes the TSV escapes in one pass."""
    out = []
    i = 0
    while i < len(text):
        ch = text[i]
        if ch == "\\":
            if i + 1 >= len(text) or text[i + 1] not in _ESCAPES:
                raise TableError("bad escape %r" % text[i:i + 2])
            out.append(_ESCAPES[text[i + 1]])
            i += 2
        else:
            out.append(ch)
            i += 1
    return "".join(out)


def escape_field(text):
    return (text.replace("\\", "\\\\").replace("\r", "\\r")
                .replace("\n", "\\n").replace("\t", "\\t"))


def read_tsv(path):
    """Returns {id: (zh_CN, en, zh_TW)} in file order; raises TableError."""
    rows = {}
    with open(path, encoding="utf-8", newline="") as f:
        data = f.read()
    if "\r" in data:
        raise TableError("%s: raw carriage return (must be written as \\r)" % path)
    lines = data.split("\n")
    if lines and lines[-1] == "":
        lines.pop()
    if len(lines) < 2 or not lines[0].startswith("#") or lines[1] != TSV_COLUMNS:
        raise TableError("%s: the first lines must be the format comment and %r" % (path, TSV_COLUMNS))
    last = -1
    for number, line in enumerate(lines[2:], start=3):
        fields = line.split("\t")
        if len(fields) != 4:
            raise TableError("%s:%d: %d fields, expected 4" % (path, number, len(fields)))
        if not re.fullmatch(r"0|[1-9][0-9]{0,3}", fields[0]):
            raise TableError("%s:%d: bad id %r" % (path, number, fields[0]))
        ident = int(fields[0])
        if ident > MAX_ID:
            raise TableError("%s:%d: id %d above %d" % (path, number, ident, MAX_ID))
        if ident <= last:
            raise TableError("%s:%d: id %d not rising" % (path, number, ident))
        last = ident
        try:
            rows[ident] = tuple(unescape_field(x) for x in fields[1:])
        except TableError as e:
            raise TableError("%s:%d: %s" % (path, number, e))
    return rows


def write_tsv(path, rows):
    lines = [TSV_COMMENT, TSV_COLUMNS]
    for ident in sorted(rows):
        lines.append("\t".join([str(ident)] + [escape_field(x) for x in rows[ident]]))
    write_file(path, "\n".join(lines) + "\n")


def placeholders(text):
    return sorted(_PLACEHOLDER.findall(text))


def line_breaks(text):
    return _LINE_BREAK.findall(text)


def validate(rows):
    """Returns (errors, warnings), lists of one-line texts."""
    errors, warnings = [], []
    for ident, texts in sorted(rows.items()):
        zh_cn, en, zh_tw = texts
        for lang, text in zip(LANGUAGES, texts):
            bad = [c for c in text if ord(c) < 0x20 and c not in "\r\n"]
            if bad:
                errors.append("%d %s: control character %r" % (ident, lang, bad[0]))
        if not en and ident not in EMPTY_ENGLISH:
            errors.append("%d en: empty" % ident)
        if en and ident in EMPTY_ENGLISH:
            errors.append("%d en: expected empty" % ident)
        for lang, text in (("zh_CN", zh_cn), ("zh_TW", zh_tw)):
            if not text:
                errors.append("%d %s: missing translation" % (ident, lang))
                continue
            if not en:
                continue
            if placeholders(text) != placeholders(en) and ident not in PLACEHOLDER_EXCEPTIONS:
                errors.append("%d %s: placeholders %s, English has %s"
                              % (ident, lang, placeholders(text), placeholders(en)))
            if line_breaks(text) != line_breaks(en):
                warnings.append("%d %s: line breaks %r, English has %r"
                                % (ident, lang, line_breaks(text), line_breaks(en)))
    for a, b in IDENTICAL_PAIRS:
        if a in rows and b in rows and rows[a] != rows[b]:
            errors.append("%d and %d: must hold the same texts" % (a, b))
    return errors, warnings


def c_literal(text):
    out = ['"']
    prev = ""
    for ch in text:
        if ch == "\\":
            out.append("\\\\")
        elif ch == '"':
            out.append('\\"')
        elif ch == "\r":
            out.append("\\r")
        elif ch == "\n":
            out.append("\\n")
        elif ch == "\t":
            out.append("\\t")
        elif ch == "?" and prev == "?":
            out.append("\\?")  # never a trigraph
        else:
            out.append(ch)
        prev = ch
    out.append('"')
    return "".join(out)


def render_inc(rows):
    lines = ["// Generated by tools/gen_messages_inc.py from core/messages.tsv; do not edit.",
             "// One row per filled message id: id, Simplified Chinese, English, Traditional Chinese.",
             "static const MessageRow kMessageRows[] = {"]
    for ident in sorted(rows):
        lines.append("    {%d, %s}," % (ident, ", ".join(c_literal(x) for x in rows[ident])))
    lines.append("};")
    return "\n".join(lines) + "\n"


def write_file(path, content):
    tmp = path + ".tmp"
    with open(tmp, "wb") as f:
        f.write(content.encode("utf-8"))
    os.replace(tmp, path)


def main(argv=None):
    parser = argparse.ArgumentParser(description=__doc__.split("\n")[0])
    parser.add_argument("--tsv", required=True, help="the message table (core/messages.tsv)")
    parser.add_argument("--output", required=True, help="the messages_data.inc to write")
    parser.add_argument("--quiet", action="store_true", help="do not list line-break warnings")
    args = parser.parse_args(argv)
    try:
        rows = read_tsv(args.tsv)
    except (OSError, TableError) as e:
        print("error: %s" % e, file=sys.stderr)
        return 1
    errors, warnings = validate(rows)
    if not args.quiet:
        for w in warnings:
            print("warning: %s" % w, file=sys.stderr)
    for e in errors:
        print("error: %s: %s" % (args.tsv, e), file=sys.stderr)
    if errors:
        return 1
    write_file(args.output, render_inc(rows))
    return 0


if __name__ == "__main__":
    sys.exit(main())
