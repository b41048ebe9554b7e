"""kxcheck with a data folder of filter files written here, independently of
the program's own writers: the marks and filter reasons it prints, and the
DELE commands of "auto deletion of filtered" for exactly the marked mail."""
import struct
import unittest

from kxtest import Dovecot, ScriptedServer, data_folder, kxcheck_at, rows


def word_record(words, uncertain=False, use_case=False):
    data = words.encode("utf-16-le")
    return struct.pack("<I", len(data)) + data + struct.pack("<BBI", uncertain, use_case, 0)


def list_file(*records):
    return b"KX10" + struct.pack("<I", len(records)) + b"".join(records)


FILES = {
    "from.dat": list_file(word_record("lottery"), word_record("Bulk Sender", uncertain=True, use_case=True)),
    "to.dat": list_file(word_record("bob@example.org")),
    "size.dat": list_file(struct.pack("<iiBBI", 4096, -1, 0, 0, 0)),
    # The last line has no line feed and still counts whole.
    "friends.dat": b"ann@example.org\r\n\r\ncarol@example.org",
    "spammers.dat": b"promo@spam.example\n",
    "power.dat": b"FilterName=Invoices\r\nEnabled=yes\r\nSubjectEnabled=yes\r\nSubjectCondition=0\r\n"
                 b"Subject=invoice\r\nFriendly=no\r\nQuestion=yes\r\nDeleted=no\r\nMarkAsRead=yes\r\n"
                 b"FilterName=Switched off\r\nEnabled=no\r\nFromEnabled=yes\r\nFrom=@\r\n",
}


def message(sender, subject, to="bob@example.org", body="Hello.\n"):
    return "From: %s\nTo: %s\nSubject: %s\nMessage-ID: <%d@kx.test>\n\n%s" % (
        sender, to, subject, abs(hash(sender + subject)), body)


# (message, marks, filter reason)
MAILBOX = [
    (message("Ann <ann@example.org>", "Invoice for lunch"), b"F", b"Friends: ann@example.org"),
    (message("carol@example.org", "lottery tips"), b"F", b"Friends: carol@example.org"),
    (message("Promo <promo@spam.example>", "Great deals"), b"DS", b"Spammers: promo@spam.example"),
    (message("Lottery Office <win@lottery.example>", "You won"), b"D", b"From: lottery"),
    (message("bulk sender <x@bulk.example>", "News"), b"-", b""),
    (message("Bulk Sender <y@bulk.example>", "News"), b"U", b"From: Bulk Sender"),
    (message("billing@shop.example", "Your INVOICE 42"), b"RU", b"Power: Invoices"),
    (message("photos@example.net", "Pictures", body=("x" * 70 + "\n") * 80), b"D", b"Larger than: 4096"),
    (message("news@lists.example", "Digest", to="list@lists.example"), b"D", b"To: bob@example.org"),
    (message("dave@example.org", "Hello"), b"-", b""),
]


class FiltersFromADataFolder(unittest.TestCase):
    def setUp(self):
        _, self.data_arg = data_folder(self, FILES)

    def test_marks_and_reasons_against_dovecot(self):
        with Dovecot({"bob": ("pw", [m for m, _, _ in MAILBOX])}) as dovecot:
            r = kxcheck_at(dovecot.port, "--data", self.data_arg, "--lines", "5", user="bob", password="pw")
        self.assertEqual(r.returncode, 0, r.stderr)
        self.assertEqual([(row[1], row[10]) for row in rows(r.stdout)], [(marks, why) for _, marks, why in MAILBOX])

    def test_auto_deletion_deletes_only_what_the_filters_marked(self):
        with ScriptedServer([{"messages": [m.replace("\n", "\r\n") for m, _, _ in MAILBOX]}]) as srv:
            r = kxcheck_at(srv.port, "--data", self.data_arg, "--deletion", "auto")
            commands = [c for _, _, c in srv.transcript()]
        self.assertEqual(r.returncode, 0, r.stderr)
        expected = ["DELE %d" % (i + 1) for i, (_, marks, _) in enumerate(MAILBOX) if b"D" in marks]
        self.assertEqual([c for c in commands if c.startswith("DELE")], expected)


if __name__ == "__main__":
    unittest.main()
