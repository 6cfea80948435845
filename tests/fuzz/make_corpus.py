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
]

# Code page utf-8 (a main text of odd length under control bit 0 clear): columns, cuts and paddings.
UTF8_TEXTS = [
    "[j data=\"日本語\"][j max=\"4\"][j max=\"3\" align=\"right\"][j max=\"5\" align=\"center\"]",
    "[d data=\"開発部\"][d min=\"12\" padding=\"·\"][d min=\"9\" align=\"center\" padding=\"＊\"]",
    "[c data=\"Cafe\u0301 😀\"][c max=\"5\" align=\"right\"][c min=\"9\" padding=\"\u0301\"]",
    "[e data=\"a😀\u200db\"][e max=\"2\" align=\"center\" loop=\"3\"][e max=\"0\"]",
]


def write(harness, seeds):
    folder = os.path.join(HERE, "corpus", harness)
    os.makedirs(folder, exist_ok=True)
    for index, seed in enumerate(seeds):
        with open(os.path.join(folder, "seed-%03d" % index), "wb") as f:
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

    quoted = [b"\x01\"a\\\"b\"", b"\x00\"a\\b\"", b"\x01\"a\\\\b\"", b"\x01\"ab\\\" more\" x", b"\x01\"\x81\"\"",
              b"\x01\"\x95\x5C\" x", b"\x07\"abcdef\"", b"\x00abc", b"\x01\"unclosed", b"\x01\"\""]
    write("parse_quoted", quoted)

    numbers = [b"0x10", b"010", b"08", b" 2", b"3rd", b"99999999999", b"-1", b"4294967296", b"4294967295",
               b"-4294967295", b"+0X1f", b"\t\n\v\f\r 7", b"- 1", b"--1", b"0x", b"z"]
    write("number", numbers)

    paths = [b"\x01C:\\work\\sub\\main.txt\0\\data\\list.txt", b"\x01C:\\main.txt\0\\x.txt", b"\x00main.txt\0\\x.txt",
             b"\x01D:\\proj\\\x95\x5C\\m.txt\0\\\x95\x5C.txt", b"\x01/home/u/m.txt\0D:\\other\\x.txt",
             b"\x00" + b"d" * 258 + b"\\m\0\\x", b"\x01\\\\server\\share\\m\0\\\\net"]
    write("paths", paths)


if __name__ == "__main__":
    main()
