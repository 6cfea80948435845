#!/usr/bin/env python3
"""The floor of the mail merge of bench/compare.sh: the same files made with no template at all, the way
morvane-cli --rows makes them (each into a temporary beside it, one sync, then the renames), and, with
--direct, straight into their names as the Jinja2 job writes them.

  create_files.py [--direct] LETTERS FOLDER

LETTERS is a folder of letters (an earlier run's); each is written again under its own name into FOLDER.
"""
import os
import sys


def main(arguments):
    direct = arguments[:1] == ["--direct"]
    letters, folder = arguments[1:] if direct else arguments
    texts = []
    for name in sorted(os.listdir(letters)):
        with open(os.path.join(letters, name), "rb") as letter:
            texts.append((name, letter.read()))
    os.makedirs(folder, exist_ok=True)
    for number, (name, text) in enumerate(texts):
        path = os.path.join(folder, name if direct else ".staged-%d" % number)
        descriptor = os.open(path, os.O_WRONLY | os.O_CREAT | os.O_EXCL, 0o644)
        os.write(descriptor, text)
        os.close(descriptor)
    if not direct:
        os.sync()
        for number, (name, _) in enumerate(texts):
            os.rename(os.path.join(folder, ".staged-%d" % number), os.path.join(folder, name))


if __name__ == "__main__":
    main(sys.argv[1:])
