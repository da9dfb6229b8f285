#!/usr/bin/env python3
"""make_inputs.py -- the inputs bench/scan_speed.sh reads through the input layer, made from its log.

usage: make_inputs.py LOG DIRECTORY

Writes DIRECTORY/log16.txt (the log in UTF-16LE with a byte-order mark, as
Notepad and PowerShell write it) and DIRECTORY/docx.zip (1,000 Word files of
a few paragraphs each, a card number split over runs in every tenth). The
compressed copies of the log are made by the compressors themselves.
"""
import io, os, sys, zipfile

log, out = sys.argv[1], sys.argv[2]
os.makedirs(out, exist_ok=True)
with open(log, "rb") as f, open(os.path.join(out, "log16.txt"), "wb") as g:
    g.write(b"\xff\xfe")
    while chunk := f.read(1 << 24):
        g.write(chunk.decode("utf-8").encode("utf-16-le"))

W = "http://schemas.openxmlformats.org/wordprocessingml/2006/main"


def paragraph(*runs):
    return "<w:p>" + "".join(f'<w:r><w:t xml:space="preserve">{r}</w:t></w:r>' for r in runs) + "</w:p>"


with zipfile.ZipFile(os.path.join(out, "docx.zip"), "w", zipfile.ZIP_STORED) as outer:
    for i in range(1000):
        body = "".join(paragraph(f"Invoice {i}, line {k}: ", "amount ", f"{k * 7}.00 EUR, order {i:06d}{k:04d}")
                       for k in range(40))
        if i % 10 == 0:
            body += paragraph("Card: 4111 11", "11 1111 ", "1111")
        document = f'<?xml version="1.0" encoding="UTF-8"?><w:document xmlns:w="{W}"><w:body>{body}</w:body></w:document>'
        docx = io.BytesIO()
        with zipfile.ZipFile(docx, "w", zipfile.ZIP_DEFLATED) as z:
            z.writestr("[Content_Types].xml", "<Types/>")
            z.writestr("word/document.xml", document)
            z.writestr("docProps/core.xml", f"<cp:coreProperties xmlns:cp=\"c\"><t>Invoice {i}</t></cp:coreProperties>")
        outer.writestr(f"invoices/{i:04d}.docx", docx.getvalue())
