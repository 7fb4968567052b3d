#!/usr/bin/env python3
"""Writes the received-mail corpus of the MIME tests (run once; the .eml
files are committed). Each mail exercises one way Japanese mail arrives."""
import base64
import os
import quopri

HERE = os.path.dirname(os.path.abspath(__file__))


def b_word(text, charset="iso-2022-jp"):
    return "=?%s?B?%s?=" % (charset.upper(), base64.b64encode(text.encode(charset)).decode())


def write(name, data):
    with open(os.path.join(HERE, name), "wb") as f:
        f.write(data.replace(b"\r\n", b"\n").replace(b"\n", b"\r\n"))


def jis(text):
    return text.encode("iso-2022-jp")


# 1. ISO-2022-JP: encoded subject and sender name, two To, a Cc, a zone comment.
write("iso2022jp_plain.eml", (
    "From: %s <taro@example.jp>\n"
    "To: hanako@example.jp, \"Jiro, Suzuki\" <jiro@example.jp>\n"
    "Cc: boss@example.jp\n"
    "Subject: %s\n"
    "Date: Wed, 5 Aug 2026 10:20:30 +0900 (JST)\n"
    "Message-ID: <20260805102030.abc@example.jp>\n"
    "References: <r1@example.jp> <r2@example.jp>\n"
    "In-Reply-To: <r2@example.jp>\n"
    "Reply-To: reply@example.jp\n"
    "MIME-Version: 1.0\n"
    "Content-Type: text/plain; charset=ISO-2022-JP\n"
    "Content-Transfer-Encoding: 7bit\n"
    "\n" % (b_word("山田太郎"), b_word("会議のお知らせ"))).encode()
    + jis("明日の会議は十時からです。\nよろしくお願いします。\n"))

# 2. Raw Shift_JIS header and body (8-bit, no encoded words).
write("sjis_raw_header.eml",
      "From: 佐藤花子 <hanako@example.jp>\n"
      "To: taro@example.jp\n"
      "Subject: 見積もりの件\n"
      "Date: Thu, 06 Aug 26 08:00:00 +0000\n"
      "Content-Type: text/plain; charset=Shift_JIS\n"
      "Content-Transfer-Encoding: 8bit\n"
      "\n"
      "お見積もりを添付します。\n".encode("cp932"))

# 3. Raw EUC-JP header and body.
write("eucjp_raw_header.eml",
      "From: eucsender@example.jp\n"
      "To: taro@example.jp\n"
      "Subject: 日本語の件名\n"
      "Date: Fri, 7 Aug 2026 23:59:59 -0500\n"
      "Content-Type: text/plain; charset=EUC-JP\n"
      "\n"
      "本文は日本語です。\n".encode("euc_jp"))

# 4. UTF-8 plain (base64) and HTML (quoted-printable) in multipart/alternative.
plain = "こんにちは、世界。\n".encode("utf-8")
html = "<html><body><p>こんにちは、<b>世界</b>。</p></body></html>\n".encode("utf-8")
write("utf8_html_alternative.eml", (
    b"From: web@example.com\n"
    b"To: taro@example.jp\n"
    b"Subject: =?UTF-8?B?" + base64.b64encode("ニュース".encode()) + b"?=\n"
    b"Date: Sat, 8 Aug 2026 12:00:00 +0900\n"
    b"MIME-Version: 1.0\n"
    b"Content-Type: multipart/alternative; boundary=\"alt-1\"\n"
    b"\n"
    b"preamble text\n"
    b"--alt-1\n"
    b"Content-Type: text/plain; charset=UTF-8\n"
    b"Content-Transfer-Encoding: base64\n"
    b"\n" + base64.encodebytes(plain) +
    b"--alt-1\n"
    b"Content-Type: text/html; charset=\"utf-8\"\n"
    b"Content-Transfer-Encoding: quoted-printable\n"
    b"\n" + quopri.encodestring(html) +
    b"--alt-1--\n"
    b"epilogue\n"))

# 5. multipart/related with cid images: an unnamed JPEG and a named GIF.
jpeg = bytes([0xFF, 0xD8, 0xFF, 0xE0]) + b"fake jpeg bytes" + bytes([0xFF, 0xD9])
gif = b"GIF89a fake gif"
write("related_cid.eml", (
    b"From: shop@example.com\n"
    b"To: taro@example.jp\n"
    b"Subject: sale\n"
    b"Date: Sun, 9 Aug 2026 09:00:00 +0900\n"
    b"MIME-Version: 1.0\n"
    b"Content-Type: multipart/alternative; boundary=\"outer\"\n"
    b"\n"
    b"--outer\n"
    b"Content-Type: text/plain; charset=us-ascii\n"
    b"\n"
    b"Sale now.\n"
    b"--outer\n"
    b"Content-Type: multipart/related; boundary=\"rel\"\n"
    b"\n"
    b"--rel\n"
    b"Content-Type: text/html; charset=us-ascii\n"
    b"\n"
    b"<html><img src=\"cid:img1@x\"><img src=\"cid:img2@x\"></html>\n"
    b"--rel\n"
    b"Content-Type: image/jpeg\n"
    b"Content-Transfer-Encoding: base64\n"
    b"Content-ID: <img1@x>\n"
    b"\n" + base64.encodebytes(jpeg) +
    b"--rel\n"
    b"Content-Type: image/gif; name=\"logo.gif\"\n"
    b"Content-Transfer-Encoding: base64\n"
    b"Content-ID: <img2@x>\n"
    b"Content-Location: cid: <img2@x>\n"
    b"\n" + base64.encodebytes(gif) +
    b"--rel--\n"
    b"--outer--\n"))

# 6. A forwarded message/rfc822 with its own attachment, and a part after it.
inner = (
    "From: origin@example.jp\n"
    "To: taro@example.jp\n"
    "Subject: original\n"
    "Date: Mon, 3 Aug 2026 07:00:00 +0900\n"
    "Content-Type: multipart/mixed; boundary=\"in\"\n"
    "\n"
    "--in\n"
    "Content-Type: text/plain; charset=us-ascii\n"
    "\n"
    "inner text\n"
    "--in\n"
    "Content-Type: application/pdf; name=\"plan.pdf\"\n"
    "Content-Transfer-Encoding: base64\n"
    "Content-Disposition: attachment; filename=\"plan.pdf\"\n"
    "\n" + base64.encodebytes(b"%PDF-1.4 inner").decode() +
    "--in--\n")
write("forwarded_rfc822.eml", (
    "From: fwd@example.jp\n"
    "To: taro@example.jp\n"
    "Subject: Fw: original\n"
    "Date: Tue, 4 Aug 2026 07:00:00 +0900\n"
    "Content-Type: multipart/mixed; boundary=\"out\"\n"
    "\n"
    "--out\n"
    "Content-Type: text/plain; charset=us-ascii\n"
    "\n"
    "see below\n"
    "--out\n"
    "Content-Type: message/rfc822\n"
    "\n" + inner +
    "--out\n"
    "Content-Type: text/csv; name=\"after.csv\"\n"
    "Content-Disposition: attachment; filename=\"after.csv\"\n"
    "\n"
    "a,b\n"
    "--out--\n").encode())

# 7. A uuencoded part.
payload = bytes(range(256)) * 2
uu_lines = []
for i in range(0, len(payload), 45):
    chunk = payload[i:i + 45]
    import binascii
    uu_lines.append(binascii.b2a_uu(chunk).decode())
write("uuencode.eml", (
    "From: uu@example.jp\n"
    "To: taro@example.jp\n"
    "Subject: binary\n"
    "Date: Wed, 12 Aug 2026 10:00:00 +0900\n"
    "Content-Type: multipart/mixed; boundary=\"uu\"\n"
    "\n"
    "--uu\n"
    "Content-Type: text/plain\n"
    "\n"
    "data attached\n"
    "--uu\n"
    "Content-Type: application/octet-stream; name=\"data.bin\"\n"
    "Content-Transfer-Encoding: x-uuencode\n"
    "\n"
    "begin 644 data.bin\n" + "".join(uu_lines) + "`\nend\n"
    "--uu--\n").encode())

# 8. RFC 2231 file names: split, percent-encoded ISO-2022-JP, and UTF-8.
name_jis = jis("報告書")
pct = "".join("%%%02X" % b for b in name_jis)
utf_pct = "".join("%%%02X" % b for b in "写真.jpg".encode("utf-8"))
write("rfc2231.eml", (
    "From: files@example.jp\n"
    "To: taro@example.jp\n"
    "Subject: names\n"
    "Date: Thu, 13 Aug 2026 10:00:00 +0900\n"
    "Content-Type: multipart/mixed; boundary=\"r\"\n"
    "\n"
    "--r\n"
    "Content-Type: text/plain\n"
    "\n"
    "two files\n"
    "--r\n"
    "Content-Type: application/octet-stream\n"
    "Content-Transfer-Encoding: base64\n"
    "Content-Disposition: attachment;\n"
    " filename*0*=iso-2022-jp'ja'" + pct[:len(pct) // 2] + ";\n"
    " filename*1*=" + pct[len(pct) // 2:] + ";\n"
    " filename*2=\".doc\"\n"
    "\n" + base64.encodebytes(b"doc").decode() +
    "--r\n"
    "Content-Type: image/jpeg; name*=UTF-8''" + utf_pct + "\n"
    "Content-Transfer-Encoding: base64\n"
    "Content-Disposition: attachment\n"
    "\n" + base64.encodebytes(b"jpg").decode() +
    "--r--\n").encode())

# 9. The oversize notice: only a header was received.
write("oversize.eml", (
    b"From: big@example.jp\n"
    b"To: taro@example.jp\n"
    b"Subject: huge\n"
    b"Date: Fri, 14 Aug 2026 10:00:00 +0900\n"
    b"X-Oversize-Qvmail: 5000000\n"
    b"Content-Type: multipart/mixed; boundary=\"big\"\n"
    b"\n"))

# 10. Pass-through pictographs: raw Shift_JIS pairs between ASCII-mode escapes.
write("pictograph_passthrough.eml", (
    b"From: phone@example.ne.jp\n"
    b"To: taro@example.jp\n"
    b"Subject: hi\n"
    b"Date: Sat, 15 Aug 2026 10:00:00 +0900\n"
    b"Content-Type: text/plain; charset=iso-2022-jp\n"
    b"\n" + jis("晴れ") + b"\xF8\xA0" + jis("です") + b"\n"))

# 11. Token pictographs in a text/x-vmemodx body.
write("pictograph_tokens.eml", (
    b"From: phone@example.ne.jp\n"
    b"To: taro@example.jp\n"
    b"Subject: tokens\n"
    b"Date: Sat, 15 Aug 2026 11:00:00 +0900\n"
    b"Content-Type: text/x-vmemodx; charset=\"iso-2022-jp\"\n"
    b"\n" + jis("好き") + b"<#HEART><<3 <#heart>\n"))

# 12. A picture mail from the phone: the picture and a note.
write("picture_mail.eml", (
    b"From: phone@example.ne.jp\n"
    b"To: taro@example.jp\n"
    b"Subject: drawing\n"
    b"Date: Sun, 16 Aug 2026 10:00:00 +0900\n"
    b"X-Mailer: norvale QvMail/2.1 (TELLARO 03) [PictureMail]\n"
    b"Content-Type: multipart/mixed; boundary=\"p\"\n"
    b"\n"
    b"--p\n"
    b"Content-Type: text/plain; charset=us-ascii\n"
    b"\n"
    b"look\n"
    b"--p\n"
    b"Content-Type: image/jpeg; name=\"draw.jpg\"\n"
    b"Content-Transfer-Encoding: base64\n"
    b"Content-Disposition: attachment; filename=\"draw.jpg\"\n"
    b"\n" + base64.encodebytes(jpeg) +
    b"--p\n"
    b"Content-Type: text/plain; name=\"note.txt\"\n"
    b"Content-Disposition: attachment; filename=\"note.txt\"\n"
    b"\n"
    b"note\n"
    b"--p--\n"))
