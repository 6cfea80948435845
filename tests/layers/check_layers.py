#!/usr/bin/env python3
"""Keeps the layers one-way: text <- files <- engine <- tool <- the front ends.

A source file may include only headers of its own layer or of a layer below it, and a front end
(tool/cli, tool/qt, tool/win32) none of another front end. The tests of a layer (tests/text,
tests/files, ...) follow the rule of the layer they test. A library or program may link only
targets of its own folder or of a layer below it; the links come from layer_links.txt, which
CMake writes at configure time (cmake/layer_links.cmake).

  check_layers.py ROOT LINKS_FILE      checks a source tree and the links of its build
  check_layers.py --self-test ROOT     plants an upward include and an upward link in copies of
                                       ROOT and shows that both are refused
"""
import os
import re
import shutil
import subprocess
import sys
import tempfile

# Folder -> (rank, group). Lower ranks lie below; two front ends share a rank but not a group.
LAYERS = {
    "text": (0, "text"),
    "files": (1, "files"),
    "engine": (2, "engine"),
    "tool": (3, "tool"),
    "tool/resources": (3, "tool"),
    "tool/cli": (4, "cli"),
    "tool/qt": (4, "qt"),
    "tool/win32": (4, "win32"),
}
SOURCE_SUFFIXES = (".h", ".cpp", ".rc", ".inc")
INCLUDE = re.compile(r'^\s*#\s*include\s+"([^"]+)"', re.MULTILINE)


def layer_of(path):
    """The layer of a path relative to the root (tests/X counts as X), or None."""
    parts = path.replace("\\", "/").split("/")
    if parts[0] == "tests":
        parts = parts[1:]
    best = None
    for length in (2, 1):
        folder = "/".join(parts[:length])
        if len(parts) > length and folder in LAYERS:
            best = folder
            break
    return best


def allowed(from_folder, to_folder):
    rank_from, group_from = LAYERS[from_folder]
    rank_to, group_to = LAYERS[to_folder]
    if rank_to < rank_from:
        return True
    return rank_to == rank_from and group_to == group_from


def include_problems(root):
    problems = []
    for top in ["text", "files", "engine", "tool", "tests"]:
        for directory, _, files in os.walk(os.path.join(root, top)):
            for name in sorted(files):
                if not name.endswith(SOURCE_SUFFIXES):
                    continue
                path = os.path.relpath(os.path.join(directory, name), root)
                here = layer_of(path)
                if here is None:
                    continue
                with open(os.path.join(root, path), encoding="utf-8", errors="replace") as source:
                    text = source.read()
                for match in INCLUDE.finditer(text):
                    included = match.group(1)
                    there = layer_of(included)
                    if there is None or allowed(here, there):
                        continue
                    line = text.count("\n", 0, match.start()) + 1
                    problems.append(f"{path}:{line}: includes \"{included}\" of layer {there}, "
                                    f"above or beside {here}")
    return problems


def link_problems(links_file):
    folder_of = {}
    links = {}
    with open(links_file, encoding="utf-8") as lines:
        for line in lines:
            head, _, rest = line.rstrip("\n").partition(":")
            folder, _, target = head.partition(" ")
            folder_of[target] = folder
            links[target] = rest.split()
    problems = []
    for target, libraries in links.items():
        folder = folder_of[target]
        here = layer_of(folder + "/CMakeLists.txt")
        if here is None:
            continue
        for library in libraries:
            if library not in folder_of or folder_of[library] == folder:
                continue
            there = layer_of(folder_of[library] + "/CMakeLists.txt")
            if there is None or allowed(here, there):
                continue
            problems.append(f"{folder}: {target} links {library} of layer {there}, above or beside {here}")
    return problems


def check(root, links_file):
    problems = include_problems(root) + link_problems(links_file)
    for problem in problems:
        print(problem)
    return 1 if problems else 0


def configure_links(root, build):
    """Configures the tree at root without tests or windows and returns its layer_links.txt."""
    subprocess.run(["cmake", "-S", root, "-B", build, "-DMORVANE_BUILD_TESTS=OFF", "-DMORVANE_BUILD_QT=OFF",
                    "-DMORVANE_BUILD_BENCH=OFF"], check=True, stdout=subprocess.DEVNULL)
    return os.path.join(build, "layer_links.txt")


def copy_tree(root, destination):
    ignore = shutil.ignore_patterns(".git", "build", "examples", "docs")
    shutil.copytree(root, destination, ignore=ignore)


def self_test(root):
    failures = 0
    with tempfile.TemporaryDirectory() as scratch:
        clean = os.path.join(scratch, "clean")
        copy_tree(root, clean)
        links = configure_links(clean, os.path.join(scratch, "clean-build"))
        if check(clean, links) != 0:
            print("FAIL the unchanged tree does not pass")
            failures += 1

        cases = [
            ("files/text_files.cpp", '#include "engine/tag_table.h"\n', "an include of engine from files"),
            ("text/text.cpp", '#include "files/text_files.h"\n', "an include of files from text"),
            ("tool/qt/main_window.cpp", '#include "tool/cli/cli_options.h"\n', "an include of one front end "
             "from another"),
            ("tests/engine/expansion_test.cpp", '#include "tool/update_run.h"\n', "an include of tool from "
             "the engine's tests"),
        ]
        for number, (path, planted, what) in enumerate(cases):
            tree = os.path.join(scratch, f"include{number}")
            copy_tree(clean, tree)
            with open(os.path.join(tree, path), "a", encoding="utf-8") as source:
                source.write(planted)
            if check(tree, links) == 0:
                print(f"FAIL {what} passes")
                failures += 1
            else:
                print(f"ok   {what} is refused")

        tree = os.path.join(scratch, "link")
        copy_tree(clean, tree)
        with open(os.path.join(tree, "files", "CMakeLists.txt"), "a", encoding="utf-8") as cmake:
            cmake.write("target_link_libraries(morvane_files PUBLIC morvane_engine)\n")
        planted_links = configure_links(tree, os.path.join(scratch, "link-build"))
        if check(tree, planted_links) == 0:
            print("FAIL a link of files to engine passes")
            failures += 1
        else:
            print("ok   a link of files to engine is refused")
    return 1 if failures else 0


def main(arguments):
    if len(arguments) == 2 and arguments[0] == "--self-test":
        return self_test(arguments[1])
    if len(arguments) == 2:
        return check(arguments[0], arguments[1])
    print(__doc__, file=sys.stderr)
    return 64


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
