#!/usr/bin/env python3
"""Writes the seed corpora of the fuzz harnesses (corpus/<harness>/) from the cases of the unit tests."""
import os

HERE = os.path.dirname(os.path.abspath(__file__))

# Texts from the engine's tests: expressions, escapes, code page 932 characters, built-ins and files.
TEXTS = [
    b"", b"plain text", b"a \\[x] b", b"\\\\[", b"ends with \\", b"[x data=\"v\"][x]",
    b"[x][x data=\"v\"][x]", b"[y data=\"[x]\"][x data=\"v\"][y]", b"[y data=\"\\[x]\"][x data=\"v\"][y]",
    b"[a data=\"[b]\"][b data=\"[c]\"][c data=\"deep\"]<[a]>", b"see [abc",
    b"[p data=\"[\"][p]q data=\"Q\"]<[p]q]>", b"[https://example.com/a/long/url/path] x",
    b"[x data=\"abc\"][x max=\"1\" align=\"right\"][x loop=\"2\" min=\"4\" padding=\"-\"]",
    b"[x data=\"v\"]\x95\x5C[x]", b"\x83\x66\x81\x5B\x83\x5E", b"[x data=\"\x83\x66\x81\x5B\x83\x5E\"][x]",
    b"tail\x81", b"[a\x83\x5D]", b"[a [b]]", b"[[b]]", b"[x note=\"a]b\" data=\"v\"]",
    b"[x data=abc][x]", b"[x data= \"v\"]", b"[x data =\"v\"]", b"[x min=\"3\"align=\"right\"]",
    b"[x\tdata=\"v\"]", b"[x min=\"10\" max=\"5\"][x]", b"[x max=\"5\" min=\"10\"][x]",
    b"[x data=\"abc\"][x min=\"0x10\" loop=\"-1\"]", b"[x data=\"ab\"][x loop=\"2\" min=\"4\" align=\"center\" padding=\"\\\"\"]",
    b"[x readonly=\"yes\"][x data=\"no\"][x]", b"[x readonly=\"maybe\"][x]", b"[ data=\"v\"][]",
    b"[x datafile=\"a.txt\"][x]", b"[x datafile=\"\\parts\\tags.txt\"][x]", b"[s datafile=\"self.txt\"][s]",
    b"[n datafile=\"nul.txt\"][n]", b"[l datafile=\"lead.txt\"][l max=\"3\" align=\"right\"]",
    b"[b datafile=\"largest.txt\"][b max=\"4\"]", b"[q datafile=\"short.txt\"][q]",
    b"before[_eof]after[z data=\"kept\"]", b"[_year][_crlf][_systemname]",
    b"[self data=\"[self]\"][self]", b"[a data=\"[b]\"][b data=\"[a]\"][a]",
    b"[grow data=\"[grow][grow]\"][grow]", b"[x data=\"0123456789\"][x loop=\"200000\"]",
    b"[x data=\"\x82\xa0\x82\xa2\x82\xa4\"][x max=\"3\" align=\"right\"][x min=\"7\" padding=\"\x81\"]",
    # Literal values: fields that no later pass reads again.
    b"[ex data=\"[x]\" literal=\"yes\"][x data=\"X\"][ex]", b"[n data=\"[y]\"][y data=\"Y\"][g][n]",
    b"[z data=\"[y]\"][y data=\"[y]\" literal=\"yes\"][z]",
    b"[v data=\"x\" LITERAL=\"Yes\"][n data=\"[y]\"][y data=\"Y\"][v min=\"3\" padding=\"\\x\"][n]",
    b"[a data=\"[b data=\\\"\"][p data=\"x\\\"]\" literal=\"yes\"][a][p]|[b]|",
    b"[L loop=\"2\" min=\"9\" padding=\"[\"][g max=\"3\" align=\"right\"][L data=\"[g]\"][L]",
    b"[ex data=\"\x95\x5C[\x83\x5C]\" literal=\"yes\"][ex max=\"4\"][ex min=\"9\" padding=\"[\"]",
]

# Code page utf-8 (a main text of odd length under control bit 0 clear): columns, cuts and paddings.
UTF8_TEXTS = [
    "[j data=\"日本語\"][j max=\"4\"][j max=\"3\" align=\"right\"][j max=\"5\" align=\"center\"]",
    "[d data=\"開発部\"][d min=\"12\" padding=\"·\"][d min=\"9\" align=\"center\" padding=\"＊\"]",
    "[c data=\"Cafe\u0301 😀\"][c max=\"5\" align=\"right\"][c min=\"9\" padding=\"\u0301\"]",
    "[e data=\"a😀\u200db\"][e max=\"2\" align=\"center\" loop=\"3\"][e max=\"0\"]",
]


class ExpandLayout:
    """Control byte of the expansion harness: bit 0 code page 932, bits 1-3 the buffer size, bits 4-5 both set
    for a full table but (bits 6-7) entries; the table always starts with the built-ins."""
    SIZES = [512, 512, 4096, 4096, 4096, 65536, 65536, 1 << 20]

    @staticmethod
    def control(cp932, size, full_but=None):
        table = 0 if full_but is None else 0x30 | (full_but << 6)
        return bytes([(1 if cp932 else 0) | (ExpandLayout.SIZES.index(size) << 1) | table])

    # The harness names the entries it fills by two bytes: 0x01 + index % 16, '0' + index / 16.
    @staticmethod
    def filled_name(index):
        return bytes([0x01 + index % 16, ord("0") + index // 16])


class DifferentialLayout:
    """Control byte of the differential harness: bit 0 code page 932, bits 1-3 the buffer size, bits 4-6 the
    starting table (1 the built-ins, 5 and 6 the built-ins and the fixtures filled up but 0 or 1 entries), bit 7
    the tiny budget (6 passes, 2,048 bytes read, 40 tag expressions)."""
    SIZES = [16, 40, 64, 128, 256, 512, 4096, 65536]

    @staticmethod
    def control(cp932, size, full_but=None, table=None, tiny=False):
        if table is None:
            table = 1 if full_but is None else 5 + full_but
        return bytes([(1 if cp932 else 0) | (DifferentialLayout.SIZES.index(size) << 1) | (table << 4)
                      | (0x80 if tiny else 0)])

    @staticmethod
    def filled_name(index):
        return b"F%d" % index


def renewing(layout):
    """A tag a whose references define the table's entry 1022 and refer to a again: the text never settles,
    and every pass defines something."""
    return b"[a data=\"[" + layout.filled_name(1022) + b" data=\\\"1\\\"][a]\"]"


def full_table_renewing(layout):
    """A full table whose one free entry (1023) takes the renewing tag, with 128 references: every pass looks
    up the last two entries 256 times. Under the product's budget it runs 4,096 passes."""
    return layout.control(True, 4096, full_but=1) + b"\0" + renewing(layout) + b"[a]" * 128


def full_table_renewing_with_literals(layout):
    """The same, and 400 definitions of new tags that the full table leaves literal: every pass looks each up,
    finds no free entry and reads it again."""
    literals = b"".join(b"[n%03d data=\"v\"]" % i for i in range(400))
    return layout.control(True, 65536, full_but=1) + b"\0" + renewing(layout) + literals + b"[a]" * 128


def chain(levels):
    """A header that defines t1 .. tN, each referring to the next, and a main text [t1] that takes one pass a
    level."""
    links = b"".join(b"[t%d data=\"[t%d]\"]" % (i, i + 1) for i in range(1, levels))
    return links + b"[t%d data=\"end\"]" % levels + b"\0[t1]"


# b renews itself with a definition of c in every pass.
RENEW_B = b"[b data=\"[c data=\\\"1\\\"][b]\"]"


def limits(layout):
    """Inputs at each bound the engine decides, under the harnesses' work budget (256 passes, 128 KiB read,
    512 tag expressions), with the case just inside where it is cheap to write. Name: (input, expected
    status, the bound that fails it)."""
    c = layout.control
    return {
        "limit-name-31": (c(True, 512) + b"\0[" + b"n" * 31 + b" data=\"v\"][" + b"n" * 31 + b"]", 1, None),
        "limit-name-32": (c(True, 512) + b"\0[" + b"n" * 32 + b" data=\"v\"][" + b"n" * 32 + b"]", 1, None),
        "limit-full-table": (c(False, 512, full_but=0) + b"\0[new data=\"v\"][new][" + layout.filled_name(500)
                             + b"]", 1, None),
        "limit-passes-255": (c(False, 65536) + chain(255), 1, None),
        "limit-passes-256": (c(False, 65536) + chain(256), 0, "passes"),
        "limit-bytes-read": (c(True, 65536) + b"\0" + RENEW_B + b"[b]" + b"x" * 12000, 0, "bytes"),
        "limit-tags": (c(False, 4096) + b"\0" + RENEW_B + b"[b]" * 200, 0, "tags"),
        "limit-read-again": (c(True, 65536, full_but=0) + b"\0" + b"[new " * 3000 + b"data=\"v\"]", 0,
                             "reread"),
        "limit-unchanged": (c(False, 512) + b"\0[d data=\"[d]\"][d]", 0, "unchanged"),
        "limit-overflow": (c(False, 512) + b"\0[g data=\"[g][g]\"][g]", 0, "overflow"),
        "limit-fill-511": (c(False, 512) + b"\0[x data=\"x\"][x loop=\"511\"]", 1, None),
        "limit-fill-512": (c(False, 512) + b"\0[x data=\"x\"][x loop=\"512\"]", 0, "overflow"),
        "limit-text-511": (c(False, 512) + b"\0" + b"t" * 511, 1, None),
        "limit-text-512": (c(False, 512) + b"\0" + b"t" * 512, 0, "unterminated"),
        "slow-full-table-renewing": (full_table_renewing(layout), 0, "tags"),
        "slow-full-table-renewing-literals": (full_table_renewing_with_literals(layout), 0, "tags"),
    }


def tiny_limits():
    """The bounds of the tiny budget, for the differential harness."""
    c = DifferentialLayout.control
    return {
        "tiny-passes-5": (c(True, 512, tiny=True) + chain(5), 1, None),
        "tiny-passes-6": (c(True, 512, tiny=True) + chain(6), 0, "passes"),
        "tiny-bytes-read": (c(False, 4096, tiny=True) + b"\0" + RENEW_B + b"[b]" + b"y" * 700, 0, "bytes"),
        "tiny-tags": (c(True, 512, tiny=True) + b"\0" + RENEW_B + b"[b]" * 10, 0, "tags"),
        "tiny-read-again": (c(True, 4096, full_but=0, tiny=True) + b"\0" + b"[new " * 60 + b"data=\"v\"]", 0,
                            "reread"),
        "tiny-unchanged": (c(False, 256, table=2, tiny=True) + b"\0[d]", 0, "unchanged"),
        "tiny-full-table": (c(True, 256, table=6, tiny=True) + b"\0[new data=\"v\"][new][more data=\"w\"][more]", 1,
                            None),
        "tiny-holes": (c(True, 256, table=7, tiny=True) + b"[h1 data=\"1\"][h2 data=\"2\"]\0[h3 data=\"3\"][h1][h2][h3]",
                       1, None),
        # Exactly at each bound and one past it: 64 names too long (31 bytes read again each) and one new tag
        # in the full table (64); two passes over 1,024 bytes; 40 references.
        "tiny-reread-2048": (c(False, 4096, full_but=0, tiny=True) + b"\0" + (b"[" + b"n" * 40 + b" ") * 64
                             + b"[new" + b" " * 56 + b"data=\"v\"]", 1, None),
        "tiny-reread-2049": (c(False, 4096, full_but=0, tiny=True) + b"\0" + (b"[" + b"n" * 40 + b" ") * 64
                             + b"[new" + b" " * 57 + b"data=\"v\"]", 0, "reread"),
        "tiny-bytes-2048": (c(False, 4096, tiny=True) + b"[t1 data=\"[t2]\"][t2 data=\"end\"]\0[t1]" + b"y" * 1020,
                            1, None),
        "tiny-bytes-2049": (c(False, 4096, tiny=True) + b"[t1 data=\"[t2] \"][t2 data=\"end\"]\0[t1]" + b"y" * 1020,
                            0, "bytes"),
        "tiny-tags-40": (c(True, 512, table=2, tiny=True) + b"\0" + b"[e]" * 40, 1, None),
        "tiny-tags-41": (c(True, 512, table=2, tiny=True) + b"\0" + b"[e]" * 41, 0, "tags"),
        "tiny-fill-63": (c(False, 64, table=0, tiny=True) + b"\0[x data=\"x\"][x loop=\"63\"]", 1, None),
        "tiny-fill-64": (c(False, 64, table=0, tiny=True) + b"\0[x data=\"x\"][x loop=\"64\"]", 0, "overflow"),
    }


# Texts aimed at the differential harness's fixture tags (a = "[b]", b = "v", x read-only, e without a value,
# n with a NUL inside, l ending in a lone lead byte, j = あいう, k = 亜亜, s an escape, d refers to itself, t
# renews itself, A grows, r read-only without a value, 0x83 a name that code page 932 reads as empty) and at
# second bytes that equal '[', '\', ']' and '"'.
DIFFERENTIAL_TEXTS = [
    b"[a][b][x][e][n]|[l][j][k][s]", b"[l max=\"2\" align=\"right\"][l min=\"5\" align=\"center\" padding=\"\x81\"]",
    b"[j max=\"3\" align=\"right\"][k max=\"3\" align=\"right\"][j max=\"5\"]",
    b"[x data=\"new\"][x][r][r readonly=\"no\"][r data=\"w\"][r]", b"[\x83][][ data=\"v\"][]",
    b"[a\x83\x5D][\x81\x5B][\x95\x5C[b]", b"[b data=\"\x81\"\"][b]", b"[b data=\"\x95\x5C\"][b]",
    b"\x81\x5B\x81\x5C\x81\x5D\x81\x22 [b]\\\x81[b]", b"[t][t]", b"[d]", b"[A]", b"[n][n loop=\"3\"]",
    b"[abcdefghijklmnopqrstuvwxyz01234][abcdefghijklmnopqrstuvwxyz012345]", b"[zz data=\"1\"][zz]",
    b"[b min=\"0x10\" max=\"010\" loop=\"-1\"]", b"[b loop=\"4294967296\"][e min=\"4294967295\" loop=\"0\"]",
    b"[b DATA=\"u\" Loop=\"2\"][b ALIGN=\"RIGHT\" min=\"4\"]", b"[b padding=\"\" min=\"3\"][b padding=\"xyz\" min=\"3\"]",
    b"[q datafile=\"a.txt\"][q][w datafile=\"lead.txt\"][w][v datafile=\"nul.txt\"][v]", b"[b note=\"a]b\" data=\"v\"]",
    b" = \" ] \\ [ [b = ] \"\\\"", b"[b data=\"[\"][b]b]",
    b"[b min=\"4\" align=\"center\" padding=\".\"][j max=\"3\" align=\"center\"][l min=\"6\" align=\"center\" padding=\"-\"]",
]


def cli_record(kind, *parts):
    """One record of the command-line harness: its kind byte, then its parts joined by 0x01."""
    return kind + b"\x01".join(parts)


def cli_seeds():
    """Runs of the command-line harness: files, links and arguments for each of its checks."""
    f, a = (lambda name, content: cli_record(b"f", name, content)), (lambda argument: cli_record(b"a", argument))
    header = f(b"h.txt", b"[h data=\"H\"][n datafile=\"\\data\\n.txt\"]")
    main = f(b"m.txt", b"<[h]>[n][p datafile=\"prices.txt\"][p]")
    files = [header, main, cli_record(b"d", b"data"), f(b"data/n.txt", b"notes"), f(b"prices.txt", b"42")]
    runs = [
        [a(b"h.txt"), a(b"m.txt")],
        [a(b"-o"), a(b"out.txt"), a(b"--deps"), a(b"out.d"), a(b"h.txt"), a(b"m.txt")],
        [a(b"-o"), a(b"m.txt"), a(b"h.txt"), a(b"m.txt")],
        [a(b"--deps"), a(b"prices.txt"), a(b"-o"), a(b"out.txt"), a(b"h.txt"), a(b"m.txt")],
        [cli_record(b"l", b"link.txt", b"prices.txt"), a(b"-o"), a(b"link.txt"), a(b"h.txt"), a(b"m.txt")],
        [cli_record(b"h", b"hard.txt", b"m.txt"), a(b"-o"), a(b"hard.txt"), a(b"h.txt"), a(b"m.txt")],
        [cli_record(b"i", b"[h data=\"stdin\"]"), a(b"-o"), a(b"out.txt"), a(b"-"), a(b"m.txt")],
        [a(b"--tags"), a(b"-D"), a(b"v=1"), a(b"--codepage"), a(b"932"), a(b"h.txt"), a(b"m.txt")],
        [a(b"--strict"), a(b"--value"), a(b"h"), a(b"-o"), a(b"out.txt"), a(b""), a(b"m.txt")],
        [f(b"out.txt", b"old"), a(b"-o"), a(b"out.txt"), a(b"--deps"), a(b"out.txt"), a(b"h.txt"), a(b"m.txt")],
    ]
    seeds = [b"\0".join(files + run) for run in runs]
    # Names make cannot read, and names it can, as datafiles and as HEADER.
    for name in (b"a;b", b"a=b", b"a\tb", b"a b", b"a:b", b"a%b", b"a|b", b"a*b", b"lib(m)", b"~x", b".PHONY"):
        odd = f(b"data/" + name, b"odd")
        template = f(b"t.tmpl", b"[x datafile=\"\\data\\" + name + b"\"][x]")
        seeds.append(b"\0".join([cli_record(b"d", b"data"), odd, template, f(name, b"[y data=\"1\"]"),
                                  a(b"--deps"), a(b"out.d"), a(b"-o"), a(b"out.txt"), a(name), a(b"t.tmpl")]))
    # A datafile that is a folder, and one that is missing.
    seeds.append(b"\0".join([cli_record(b"d", b"dir"), f(b"m.txt", b"[d datafile=\"dir\"][e datafile=\"none\"]"),
                              a(b"-o"), a(b"out.txt"), a(b""), a(b"m.txt")]))
    return seeds


def write(harness, seeds):
    folder = os.path.join(HERE, "corpus", harness)
    os.makedirs(folder, exist_ok=True)
    for index, seed in enumerate(seeds):
        with open(os.path.join(folder, "seed-%03d" % index), "wb") as f:
            f.write(seed)


def write_named(harness, seeds):
    folder = os.path.join(HERE, "corpus", harness)
    os.makedirs(folder, exist_ok=True)
    for name, seed in seeds.items():
        with open(os.path.join(folder, name), "wb") as f:
            f.write(seed)


def main():
    expand = []
    for index, text in enumerate(TEXTS):
        # Code page 932 and none, small and mid-sized buffers; every fourth seed puts a header in front.
        control = bytes([(index % 2) | ((index % 3) << 1)])
        header = b"[h data=\"from header\"][x data=\"h\"]\0" if index % 4 == 0 else b"\0"
        expand.append(control + header + text + b" [h]")
    expand.append(bytes([0x31]) + b"\0[new data=\"v\"] [new] [\x01" + b"0 data=\"w\"][\x010]")
    # The shipped examples: header, NUL, main; code page 932 for its own set, none for UTF-8.
    for folder, control in (("cp932", 0x05), ("utf-8", 0x04)):
        example = os.path.join(HERE, "..", "..", "examples", folder)
        with open(os.path.join(example, "header.txt"), "rb") as f:
            header = f.read()
        with open(os.path.join(example, "main.txt"), "rb") as f:
            main_text = f.read()
        expand.append(bytes([control]) + header + b"\0" + main_text)
    for text in UTF8_TEXTS:
        main_text = text.encode("utf-8")
        if len(main_text) % 2 == 0:
            main_text += b" "
        expand.append(bytes([0x02]) + b"\0" + main_text)
    write("expand", expand)
    write_named("expand", {name: case[0] for name, case in limits(ExpandLayout).items()})

    # The differential harness: every text of both lists from each starting table, under both code pages and
    # a spread of buffer sizes; the bounds under both budgets.
    differential = []
    for index, text in enumerate(TEXTS + DIFFERENTIAL_TEXTS):
        header = b"[h data=\"from header\"]" if index % 3 == 0 else b""
        control = DifferentialLayout.control(index % 2 == 1, DifferentialLayout.SIZES[3 + index % 5], table=index % 8)
        differential.append(control + header + b"\0" + text)
    write("differential", differential)
    write("cli", cli_seeds())
    bounds = dict(limits(DifferentialLayout), **tiny_limits())
    write_named("differential", {name: case[0] for name, case in bounds.items()})
    # What each bound's seed must give, read by the differential test: name, status, the bound that failed.
    with open(os.path.join(HERE, "corpus", "differential-bounds.txt"), "w") as f:
        for name, (_, status, bound) in sorted(bounds.items()):
            f.write("%s %d %s\n" % (name, status, bound or "-"))


if __name__ == "__main__":
    main()
