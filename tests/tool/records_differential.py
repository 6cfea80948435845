#!/usr/bin/env python3
"""The CSV reader against Python's csv module: generated files with quoted fields, doubled quotes, commas
and line breaks inside quotes, CR LF, LF and CR line ends, empty fields and empty lines, a missing last line
break, and rows with too many or too few fields. Both must find the same records, field for field, and refuse
the same rows.

  records_differential.py RECORDS_DUMP [FILES] [SEED]
"""
import csv
import io
import json
import os
import random
import subprocess
import sys
import tempfile

PIECES = ["a", "Z", " ", ",", '"', '""', "\n", "\r\n", "\r", "x y", "日本", "é", "'", "\t", ";", "0"]


def random_field(rng):
    if rng.random() < 0.15:
        return ""
    return "".join(rng.choice(PIECES) for _ in range(rng.randint(1, 6)))


def make_file(rng):
    columns = rng.randint(1, 5)
    names = ["f%d" % i for i in range(columns)]
    rows = []
    for _ in range(rng.randint(0, 30)):
        width = columns
        if rng.random() < 0.08:
            width = max(1, columns + rng.choice([-1, 1]))
        rows.append([random_field(rng) for _ in range(width)])
    out = io.StringIO()
    writer = csv.writer(out, lineterminator=rng.choice(["\r\n", "\n"]),
                        quoting=rng.choice([csv.QUOTE_MINIMAL, csv.QUOTE_ALL]))
    writer.writerow(names)
    for row in rows:
        # A row of one empty field is an empty line to both readers; keep it unambiguous.
        if row == [""]:
            row = ["-"]
        writer.writerow(row)
        if rng.random() < 0.05:
            out.write("\n")  # an empty line, which is no record
    text = out.getvalue()
    if text.endswith("\n") and rng.random() < 0.3:
        text = text[:-2] if text.endswith("\r\n") else text[:-1]
    return text


def python_records(text):
    """What Python reads: the records after the first row, or None for a row of the wrong width."""
    rows = [row for row in csv.reader(io.StringIO(text, newline="")) if row != []]
    header, records = rows[0], rows[1:]
    return [list(zip(header, row)) if len(row) == len(header) else None for row in records]


def ours(dump, path):
    result = subprocess.run([dump, "csv", path], capture_output=True, text=True, encoding="utf-8")
    records = []
    for line in result.stdout.splitlines():
        item = json.loads(line)
        records.append(None if item[0] == "problem" else [tuple(pair) for pair in item[1]])
    return records


def main(arguments):
    dump = arguments[0]
    files = int(arguments[1]) if len(arguments) > 1 else 300
    rng = random.Random(int(arguments[2]) if len(arguments) > 2 else 4180)
    failures = 0
    with tempfile.TemporaryDirectory() as folder:
        for number in range(files):
            text = make_file(rng)
            path = os.path.join(folder, "case%d.csv" % number)
            with open(path, "w", encoding="utf-8", newline="") as out:
                out.write(text)
            expected = python_records(text)
            got = ours(dump, path)
            if got != expected:
                failures += 1
                if failures <= 3:
                    print("FAIL %r\n  python: %r\n  ours:   %r" % (text, expected, got))
    print("%d files, %d differences" % (files, failures))
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
