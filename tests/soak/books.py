"""Tiny EPUB books for the soak: a valid zipped EPUB 3 with a unique title, written fast enough
to fill a library of ten thousand."""

import zipfile

CONTAINER = """<?xml version="1.0" encoding="UTF-8"?>
<container version="1.0" xmlns="urn:oasis:names:tc:opendocument:xmlns:container">
  <rootfiles><rootfile full-path="OEBPS/content.opf" media-type="application/oebps-package+xml"/></rootfiles>
</container>
"""

PACKAGE = """<?xml version="1.0" encoding="UTF-8"?>
<package xmlns="http://www.idpf.org/2007/opf" version="3.0" unique-identifier="id">
  <metadata xmlns:dc="http://purl.org/dc/elements/1.1/">
    <dc:identifier id="id">soak-{key}</dc:identifier>
    <dc:title>{title}</dc:title>
    <dc:creator>{author}</dc:creator>
    <dc:language>en</dc:language>
  </metadata>
  <manifest>
    <item id="nav" href="nav.xhtml" media-type="application/xhtml+xml" properties="nav"/>
    <item id="c1" href="c1.xhtml" media-type="application/xhtml+xml"/>
  </manifest>
  <spine><itemref idref="c1"/></spine>
</package>
"""

NAV = """<?xml version="1.0" encoding="UTF-8"?>
<html xmlns="http://www.w3.org/1999/xhtml" xmlns:epub="http://www.idpf.org/2007/ops"><head><title>Contents</title></head>
<body><nav epub:type="toc"><ol><li><a href="c1.xhtml">One</a></li></ol></nav></body></html>
"""

CHAPTER = """<?xml version="1.0" encoding="UTF-8"?>
<html xmlns="http://www.w3.org/1999/xhtml"><head><title>One</title></head><body><p>{title}</p></body></html>
"""

AUTHORS = ["Ann Archer", "Émile Zola", "Bo Chen", "Dagny Ek", "Łucja Nowak", "Yuki Sato", "Omar Haddad"]


def title_of(key):
    return f"Soak {key}"


def write_book(path, key):
    """Writes a zipped book whose title is title_of(key) at path."""
    title = title_of(key)
    author = AUTHORS[hash(key) % len(AUTHORS)]
    with zipfile.ZipFile(path, "w") as book:
        book.writestr(zipfile.ZipInfo("mimetype"), "application/epub+zip", compress_type=zipfile.ZIP_STORED)
        book.writestr("META-INF/container.xml", CONTAINER)
        book.writestr("OEBPS/content.opf", PACKAGE.format(key=key, title=title, author=author))
        book.writestr("OEBPS/nav.xhtml", NAV)
        book.writestr("OEBPS/c1.xhtml", CHAPTER.format(title=title))


def book_bytes(key):
    import io
    buffer = io.BytesIO()
    write_book(buffer, key)
    return buffer.getvalue()
