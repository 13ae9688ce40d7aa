// A tiny generator of EPUB books for the browser tests: zipped (stored, no compression) or as
// unpacked folders, with a title, an author, an optional solid-colour PNG cover, and a chosen
// modification time so that the recency order is known.

import { mkdirSync, mkdtempSync, rmSync, utimesSync, writeFileSync } from 'node:fs';
import { tmpdir } from 'node:os';
import { dirname, join } from 'node:path';
import { deflateSync } from 'node:zlib';

const crcTable = Array.from({ length: 256 }, (_, n) => {
  let c = n;
  for (let k = 0; k < 8; k++) c = c & 1 ? 0xedb88320 ^ (c >>> 1) : c >>> 1;
  return c >>> 0;
});

function crc32(bytes) {
  let crc = 0xffffffff;
  for (const byte of bytes) crc = crcTable[(crc ^ byte) & 0xff] ^ (crc >>> 8);
  return (crc ^ 0xffffffff) >>> 0;
}

// A PNG of one colour, width × height pixels, RGB.
export function solidPNG(width, height, [red, green, blue]) {
  const chunk = (type, data) => {
    const length = Buffer.alloc(4);
    length.writeUInt32BE(data.length);
    const body = Buffer.concat([Buffer.from(type, 'latin1'), data]);
    const crc = Buffer.alloc(4);
    crc.writeUInt32BE(crc32(body));
    return Buffer.concat([length, body, crc]);
  };
  const header = Buffer.alloc(13);
  header.writeUInt32BE(width, 0);
  header.writeUInt32BE(height, 4);
  header[8] = 8;
  header[9] = 2;
  const row = Buffer.concat([Buffer.from([0]), Buffer.from(Array.from({ length: width }, () => [red, green, blue]).flat())]);
  const pixels = Buffer.concat(Array.from({ length: height }, () => row));
  return Buffer.concat([
    Buffer.from([0x89, 0x50, 0x4e, 0x47, 0x0d, 0x0a, 0x1a, 0x0a]),
    chunk('IHDR', header),
    chunk('IDAT', deflateSync(pixels)),
    chunk('IEND', Buffer.alloc(0)),
  ]);
}

// A zip archive of the entries, each stored as it is.
export function storedZip(entries) {
  const locals = [];
  const centrals = [];
  let offset = 0;
  for (const { name, bytes } of entries) {
    const nameBytes = Buffer.from(name, 'utf8');
    const data = Buffer.from(bytes);
    const crc = crc32(data);
    const local = Buffer.alloc(30);
    local.writeUInt32LE(0x04034b50, 0);
    local.writeUInt16LE(20, 4);
    local.writeUInt16LE(0x0800, 6);
    local.writeUInt32LE(crc, 14);
    local.writeUInt32LE(data.length, 18);
    local.writeUInt32LE(data.length, 22);
    local.writeUInt16LE(nameBytes.length, 26);
    locals.push(local, nameBytes, data);
    const central = Buffer.alloc(46);
    central.writeUInt32LE(0x02014b50, 0);
    central.writeUInt16LE(20, 4);
    central.writeUInt16LE(20, 6);
    central.writeUInt16LE(0x0800, 8);
    central.writeUInt32LE(crc, 16);
    central.writeUInt32LE(data.length, 20);
    central.writeUInt32LE(data.length, 24);
    central.writeUInt16LE(nameBytes.length, 28);
    central.writeUInt32LE(offset, 42);
    centrals.push(central, nameBytes);
    offset += 30 + nameBytes.length + data.length;
  }
  const directory = Buffer.concat(centrals);
  const end = Buffer.alloc(22);
  end.writeUInt32LE(0x06054b50, 0);
  end.writeUInt16LE(entries.length, 8);
  end.writeUInt16LE(entries.length, 10);
  end.writeUInt32LE(directory.length, 12);
  end.writeUInt32LE(offset, 16);
  return Buffer.concat([...locals, directory, end]);
}

const escapeXML = (text) => String(text).replace(/[<>&"]/g, (c) => ({ '<': '&lt;', '>': '&gt;', '&': '&amp;', '"': '&quot;' })[c]);

// The entries of an EPUB 3 book.
export function bookEntries({ title, author, cover = null }) {
  const coverItem = cover ? '<item id="cover" href="cover.png" media-type="image/png" properties="cover-image"/>' : '';
  const entries = [
    { name: 'mimetype', bytes: 'application/epub+zip' },
    { name: 'META-INF/container.xml', bytes: '<?xml version="1.0"?><container version="1.0" xmlns="urn:oasis:names:tc:opendocument:xmlns:container"><rootfiles><rootfile full-path="OEBPS/content.opf" media-type="application/oebps-package+xml"/></rootfiles></container>' },
    { name: 'OEBPS/content.opf', bytes: `<?xml version="1.0" encoding="utf-8"?><package xmlns="http://www.idpf.org/2007/opf" version="3.0" unique-identifier="id"><metadata xmlns:dc="http://purl.org/dc/elements/1.1/"><dc:identifier id="id">urn:pagewyn:${escapeXML(title)}</dc:identifier><dc:title>${escapeXML(title)}</dc:title><dc:creator>${escapeXML(author)}</dc:creator><dc:language>en</dc:language></metadata><manifest><item id="nav" href="nav.xhtml" media-type="application/xhtml+xml" properties="nav"/><item id="c1" href="c1.xhtml" media-type="application/xhtml+xml"/>${coverItem}</manifest><spine><itemref idref="c1"/></spine></package>` },
    { name: 'OEBPS/nav.xhtml', bytes: '<?xml version="1.0"?><html xmlns="http://www.w3.org/1999/xhtml" xmlns:epub="http://www.idpf.org/2007/ops"><head><title>Contents</title></head><body><nav epub:type="toc"><ol><li><a href="c1.xhtml">One</a></li></ol></nav></body></html>' },
    { name: 'OEBPS/c1.xhtml', bytes: `<?xml version="1.0"?><html xmlns="http://www.w3.org/1999/xhtml"><head><title>One</title></head><body><h1>${escapeXML(title)}</h1><p>Once upon a time.</p></body></html>` },
  ];
  if (cover) entries.push({ name: 'OEBPS/cover.png', bytes: solidPNG(cover.width, cover.height, cover.color) });
  return entries;
}

// Writes the book into the folder as file (zipped unless unpacked is set), modified at the second.
export function writeBook(folder, { file, title, author, cover = null, unpacked = false, modified = 1_700_000_000 }) {
  const path = join(folder, file);
  const entries = bookEntries({ title, author, cover });
  if (unpacked) {
    for (const { name, bytes } of entries) {
      mkdirSync(dirname(join(path, name)), { recursive: true });
      writeFileSync(join(path, name), bytes);
    }
  } else {
    writeFileSync(path, storedZip(entries));
  }
  utimesSync(path, modified, modified);
  return path;
}

// A fresh folder holding the books; remove() takes it away.
export function makeLibrary(books) {
  const folder = mkdtempSync(join(tmpdir(), 'pagewyn-e2e-'));
  for (const book of books) writeBook(folder, book);
  return { folder, remove: () => rmSync(folder, { recursive: true, force: true }) };
}
