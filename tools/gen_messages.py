#!/usr/bin/env python3
"""Generates, from the checker's .mc message table, the header of message ids
shared by both builds and the lookup table of the native build, so that the
.mc file stays the one source of every text.

usage: gen_messages.py messages.mc out_header out_source
"""
import re
import sys

SEVERITY = {"Success": 0, "Informational": 1, "Warning": 2, "Error": 3}


def parse(path):
    rows, cur, text = [], {}, None
    with open(path, encoding="utf-8") as f:
        for line in f:
            line = line.rstrip("\r\n")
            if text is not None:
                if line == ".":
                    rows.append((cur, "\n".join(text)))
                    cur, text = {}, None
                else:
                    text.append(line)
                continue
            if line.startswith(";") or "=" not in line or line.startswith((" ", "\t")):
                continue
            key, _, value = line.partition("=")
            if key == "Language":
                text = []
            elif key in ("MessageId", "Severity", "SymbolicName"):
                cur[key] = value.strip()
    return rows


def c_string(s):
    return '"' + s.replace("\\", "\\\\").replace('"', '\\"') + '"'


def main():
    src, header, source = sys.argv[1:4]
    rows = parse(src)
    entries = []
    for fields, text in rows:
        code = int(fields["MessageId"], 0)
        ident = (SEVERITY[fields.get("Severity", "Success")] << 30) | code
        # FormatMessage drops a trailing "%0" and keeps nothing after it.
        text = re.sub(r"%0$", "", text)
        entries.append((ident, fields["SymbolicName"], text))
    with open(header, "w", newline="\n") as h:
        h.write("// Generated from resources/messages.mc; do not edit.\n#pragma once\n#include <cstdint>\n\n")
        for ident, name, _ in entries:
            h.write(f"constexpr uint32_t {name} = 0x{ident:08X}u;\n")
    with open(source, "w", newline="\n") as c:
        c.write("// Generated from resources/messages.mc; do not edit.\n#include \"core/MessageTable.h\"\n\n")
        c.write("const MessageTableEntry kMessageTable[] = {\n")
        for ident, _, text in sorted(entries):
            c.write(f"    {{0x{ident:08X}u, {c_string(text)}}},\n")
        c.write("};\nconst size_t kMessageTableSize = sizeof kMessageTable / sizeof kMessageTable[0];\n")


if __name__ == "__main__":
    main()
