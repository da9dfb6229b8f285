#!/usr/bin/env python3
"""make_input_corpus.py -- seeds for the input layer's fuzz target, one of each kind it reads.

usage: make_input_corpus.py DIRECTORY

Each seed is the choice byte the fuzz target reads first (0: whole reads)
and then a small file. Written at build time, so no binary file is kept.
"""
import bz2, email.message, gzip, io, lzma, os, sys, tarfile, zipfile

out = sys.argv[1]
os.makedirs(out, exist_ok=True)
text = b"x\ncard 4111 1111 1111 1111\n"


def zipped(members):
    b = io.BytesIO()
    with zipfile.ZipFile(b, "w", zipfile.ZIP_DEFLATED) as z:
        for name, data in members:
            z.writestr(name, data)
    return b.getvalue()


def tarred(members):
    b = io.BytesIO()
    with tarfile.open(fileobj=b, mode="w") as t:
        for name, data in members:
            info = tarfile.TarInfo(name)
            info.size = len(data)
            t.addfile(info, io.BytesIO(data))
    return b.getvalue()


mail = email.message.EmailMessage()
mail["From"], mail["To"], mail["Subject"] = "a@example.com", "b@example.com", "=?UTF-8?Q?card?="
mail.set_content("card 5555 5555 5555 4444\n", cte="quoted-printable")
mail.add_attachment(zipped([("a.txt", text)]), maintype="application", subtype="zip", filename="a.zip")
sheet = (b'<worksheet xmlns="http://schemas.openxmlformats.org/spreadsheetml/2006/main"><sheetData><row>'
         b'<c t="s"><v>0</v></c><c><v>4.11111111111111E+15</v></c></row></sheetData></worksheet>')
seeds = {
    "plain": text,
    "gzip": gzip.compress(text),
    "bzip2": bz2.compress(text),
    "xz": lzma.compress(text),
    "zip": zipped([("a/b.txt", text), ("c.gz", gzip.compress(text))]),
    "tar": tarred([("a.txt", text)]),
    "utf16": "\ufeffcard 4111 1111 1111 1111 \U0001d11e\n".encode("utf-16-le"),
    "docx": zipped([("word/document.xml", b'<w:document xmlns:w="w"><w:p><w:r><w:t>4111 11</w:t></w:r>'
                     b'<w:r><w:t>11 1111 1111</w:t></w:r></w:p></w:document>')]),
    "xlsx": zipped([("xl/worksheets/sheet1.xml", sheet)]),
    "mail": bytes(mail),
    "pdf": b"%PDF-1.4\n1 0 obj\n<< /Filter /FlateDecode >>\nstream\n" + __import__("zlib").compress(b"(4111 1111 1111 1111) Tj")
           + b"\nendstream\nendobj\n",
}
for name, data in seeds.items():
    with open(os.path.join(out, name), "wb") as f:
        f.write(b"\0" + data)
