"""The checker's account file, written as the program writes it, for the demo
and the tests: "KX10", a record count, and per account its name, its
scrambled account URL, port, interval and time-out."""
import struct

SCRAMBLE = bytes([0xD5, 0x62, 0x9E, 0x3B])  # 0x3B9E62D5, little-endian
ACP = "cp1252"  # the ANSI code page of a fresh Wine prefix


def text_field(text):
    data = text.encode("utf-16-le")
    return struct.pack("<I", len(data)) + data


def account_file(accounts, magic=b"KX10", acp=ACP):
    """kestrix.dat for accounts given as (name, user, password, server, port,
    interval, timeout); "KX00" files keep their URLs plain."""
    out = magic + struct.pack("<I", len(accounts))
    for name, user, password, server, port, interval, timeout in accounts:
        url = ("pop3://" + (user + ":" + password + "@" if user else "") + server + "/").encode(acp)
        if magic == b"KX10":
            url = bytes(b ^ SCRAMBLE[i % 4] for i, b in enumerate(url))
        # Bytes the code page leaves undefined keep their value.
        url = "".join(bytes([b]).decode(acp, errors="ignore") or chr(b) for b in url)
        out += text_field(name) + text_field(url) + struct.pack("<III", port, interval, timeout)
    return out


if __name__ == "__main__":
    import sys
    # kxdata.py FILE NAME USER PASSWORD SERVER PORT: one account, checked every minute.
    path, name, user, password, server, port = sys.argv[1:7]
    with open(path, "wb") as f:
        f.write(account_file([(name, user, password, server, int(port), 60, 120)]))
