#!/usr/bin/env python3
"""gen_messages.py --check and the write against a list made from our table:
the mended ids pass only with their mended text, and a write keeps it."""
import contextlib
import io
import os
import shutil
import sys
import tempfile
import unittest

sys.dont_write_bytecode = True
HERE = os.path.dirname(os.path.abspath(__file__))
TOOLS = os.path.normpath(os.path.join(HERE, "..", "..", "tools"))
sys.path.insert(0, TOOLS)
import gen_messages as gm  # noqa: E402
import gen_messages_inc as table  # noqa: E402

TSV = os.path.normpath(os.path.join(TOOLS, "..", "core", "messages.tsv"))


def escape(text):
    return text.replace("\r", "\\r").replace("\n", "\\n").replace('"', '\\"')


def document(texts):
    """A Markdown list in the form the generator reads."""
    lines = ["# Messages", "", gm.START_MARK + " follow.", ""]
    for ident in sorted(i for i in texts if i < gm.HIGH_BASE):
        lines.append('- %d "%s"' % (ident, escape(texts[ident])))
    lines += ["", gm.HIGH_HEADING + ":", ""]
    for ident in sorted(i for i in texts if i >= gm.HIGH_BASE):
        lines.append('- k = %d "%s"' % (ident - gm.HIGH_BASE, escape(texts[ident])))
    lines += ["", gm.END_MARK, ""]
    return "\n".join(lines)


class GenMessagesCheck(unittest.TestCase):
    def setUp(self):
        self.dir = tempfile.mkdtemp()
        self.rows = table.read_tsv(TSV)
        # The list as published: the mended rows still carry the old texts.
        self.texts = {i: r[1] for i, r in self.rows.items() if i < gm.PROJECT_BASE}
        for ident, (listed, _, _) in gm.MENDED.items():
            self.texts[ident] = listed

    def tearDown(self):
        shutil.rmtree(self.dir)

    def run_tool(self, texts, rows, check=True):
        doc = os.path.join(self.dir, "list.md")
        with open(doc, "w", encoding="utf-8", newline="") as f:
            f.write(document(texts))
        tsv = os.path.join(self.dir, "messages.tsv")
        table.write_tsv(tsv, rows)
        out, err = io.StringIO(), io.StringIO()
        with contextlib.redirect_stdout(out), contextlib.redirect_stderr(err):
            rc = gm.main(["--source", doc, "--tsv", tsv] + (["--check"] if check else []))
        return rc, out.getvalue() + err.getvalue(), tsv

    def with_english(self, ident, en):
        rows = dict(self.rows)
        zh_cn, _, zh_tw = rows[ident]
        rows[ident] = (zh_cn, en, zh_tw)
        return rows

    def test_the_named_list_is_short_and_says_why(self):
        self.assertEqual(sorted(gm.MENDED), [286, 642, 645])
        for ident, (listed, ours, why) in gm.MENDED.items():
            self.assertNotEqual(listed, ours)
            self.assertTrue(why)

    def test_our_table_passes_and_names_the_mends(self):
        rc, out, _ = self.run_tool(self.texts, self.rows)
        self.assertEqual(rc, 0, out)
        self.assertIn("mended: 286, 642, 645", out)

    def test_mended_row_back_on_the_list_text_fails(self):
        rc, out, _ = self.run_tool(self.texts, self.with_english(642, self.texts[642]))
        self.assertEqual(rc, 1)
        self.assertIn("642:", out)

    def test_other_rows_still_compared(self):
        rc, out, _ = self.run_tool(self.texts, self.with_english(190, "Clamp pulse when NG in mold, don't alarm"))
        self.assertEqual(rc, 1)
        self.assertIn("190:", out)

    def test_a_changed_list_text_holds_again(self):
        texts = dict(self.texts)
        texts[645] = "OK to clamp, NG to ejector"
        rc, _, _ = self.run_tool(texts, self.rows)
        self.assertEqual(rc, 1)
        rc, out, _ = self.run_tool(texts, self.with_english(645, "OK to clamp, NG to ejector"))
        self.assertEqual(rc, 0, out)

    def test_write_keeps_the_mended_texts(self):
        rc, out, tsv = self.run_tool(self.texts, self.rows, check=False)
        self.assertEqual(rc, 0, out)
        written = table.read_tsv(tsv)
        for ident, (_, ours, _) in gm.MENDED.items():
            self.assertEqual(written[ident][1], ours)
        self.assertEqual(written, self.rows)


if __name__ == "__main__":
    unittest.main()
