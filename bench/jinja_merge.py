#!/usr/bin/env python3
"""The mail merge of bench/compare.sh in one Python process with Jinja2: a letter per record of a CSV file,
each written straight into its file (no temporary, no sync).

  jinja_merge.py LETTER.jinja DATA.csv FOLDER SENDER
"""
import csv
import os
import sys

import jinja2


def main(letter, data, folder, sender):
    with open(letter, encoding="utf-8") as source:
        template = jinja2.Template(source.read(), keep_trailing_newline=True, autoescape=False)
    os.makedirs(folder, exist_ok=True)
    with open(data, encoding="utf-8", newline="") as rows:
        for record in csv.DictReader(rows):
            with open(os.path.join(folder, record["id"] + ".txt"), "w", encoding="utf-8", newline="") as out:
                out.write(template.render(sender=sender, **record))


if __name__ == "__main__":
    main(*sys.argv[1:])
