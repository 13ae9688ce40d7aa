// Books for the reader's browser tests: several chapters, the first long enough for several
// pages, nested contents with a link into the middle of a chapter, a page that carries a script,
// and books broken in the ways a reader must survive.

import { mkdirSync, symlinkSync, utimesSync, writeFileSync } from 'node:fs';
import { dirname, join } from 'node:path';
import { storedZip } from './support/library.mjs';

const escapeXML = (text) => String(text).replace(/[<>&"]/g, (c) => ({ '<': '&lt;', '>': '&gt;', '&': '&amp;', '"': '&quot;' })[c]);

const page = (title, body) => `<?xml version="1.0" encoding="utf-8"?>
<html xmlns="http://www.w3.org/1999/xhtml"><head><title>${escapeXML(title)}</title></head><body>${body}</body></html>`;

export const chapterTexts = {
  one: 'Call me Ishmael.',
  two: 'It was the best of times.',
  middle: 'Here the middle of the second chapter begins.',
  three: 'The sky above the port was the colour of television.',
};

// Documents kept out of the reading order: a cover page before the first chapter and notes
// between the first two; paging never lands on them.
export const asideTexts = { cover: 'A cover page kept out of the reading order.', notes: 'Notes kept out of the reading order.' };
const asides = [
  { id: 'cover', file: 'text/cover.xhtml', body: `<p>${asideTexts.cover}</p>` },
  { id: 'notes', file: 'text/notes.xhtml', body: `<p>${asideTexts.notes}</p>` },
];

// What a hostile book asks of the host from its first page: the change stream twenty times over
// (more than there are streams), the state and a style sheet from the state route.
const hostileLoads = `${'<img alt="" src="/events"/>'.repeat(20)}<img alt="" src="/state?first=0&amp;count=1"/><link rel="stylesheet" href="/state"/>`;

function chapters(hostile) {
  const filler = Array.from({ length: 60 }, (_, n) => `<p>Paragraph ${n + 1} of the first chapter, long enough to wrap over a line or two of the page so that the chapter needs several pages.</p>`).join('');
  return [
    { id: 'c1', file: 'text/one.xhtml', body: `<h1>Loomings</h1><p>${chapterTexts.one}</p>${hostile ? hostileLoads : ''}${filler}` },
    { id: 'c2', file: 'text/two.xhtml', body: `<h1>The Carpet-Bag</h1><p>${chapterTexts.two}</p>${'<p>More.</p>'.repeat(40)}<h2 id="middle">Middle</h2><p>${chapterTexts.middle}</p><p id="scripted">Nothing ran here.</p><script>document.getElementById('scripted').textContent = 'A script ran.'; parent.document.title = 'hijacked';</script><p><a href="three.xhtml#start">On to the third</a></p>` },
    { id: 'c3', file: 'text/three.xhtml', body: `<h1 id="start">The Spouter-Inn</h1><p>${chapterTexts.three}</p>` },
  ];
}

// The entries of a book whose package document is OEBPS/content.opf.
function bookEntries(opf, nav, files) {
  return [
    { name: 'mimetype', bytes: 'application/epub+zip' },
    { name: 'META-INF/container.xml', bytes: '<?xml version="1.0"?><container version="1.0" xmlns="urn:oasis:names:tc:opendocument:xmlns:container"><rootfiles><rootfile full-path="OEBPS/content.opf" media-type="application/oebps-package+xml"/></rootfiles></container>' },
    { name: 'OEBPS/content.opf', bytes: opf },
    { name: 'OEBPS/nav.xhtml', bytes: nav },
    ...files,
  ];
}

// The entries of a three-chapter EPUB 3 book; breakage is 'package' for a package document that
// is not XML, 'spine' for a spine that names nothing in the book.
export function readerBookEntries({ title, author, breakage = null, hostile = false }) {
  const parts = chapters(hostile);
  const manifest = [...parts, ...asides].map((part) => `<item id="${part.id}" href="${part.file}" media-type="application/xhtml+xml"/>`).join('');
  const order = ['cover', 'c1', 'notes', 'c2', 'c3'];
  const spine = breakage === 'spine'
    ? '<itemref idref="absent"/>'
    : order.map((id) => `<itemref idref="${id}"${asides.some((aside) => aside.id === id) ? ' linear="no"' : ''}/>`).join('');
  const opf = `<?xml version="1.0" encoding="utf-8"?><package xmlns="http://www.idpf.org/2007/opf" version="3.0" unique-identifier="id"><metadata xmlns:dc="http://purl.org/dc/elements/1.1/"><dc:identifier id="id">urn:pagewyn:${escapeXML(title)}</dc:identifier><dc:title>${escapeXML(title)}</dc:title><dc:creator>${escapeXML(author)}</dc:creator></metadata><manifest><item id="nav" href="nav.xhtml" media-type="application/xhtml+xml" properties="nav"/>${manifest}</manifest><spine>${spine}</spine></package>`;
  const nav = page('Contents', `<nav xmlns:epub="http://www.idpf.org/2007/ops" epub:type="toc"><ol>
    <li><a href="text/one.xhtml">Loomings</a></li>
    <li><a href="text/two.xhtml">The Carpet-Bag</a><ol><li><a href="text/two.xhtml#middle">Middle</a></li></ol></li>
    <li><a href="text/three.xhtml">The Spouter-Inn</a></li></ol></nav>`);
  return bookEntries(breakage === 'package' ? `<package><metadata>${escapeXML(title)}` : opf, nav,
    [...parts, ...asides].map((part) => ({ name: `OEBPS/${part.file}`, bytes: page(part.id, part.body) })));
}

// Writes the book into the folder; unpacked books may carry a link that leads out of the book.
export function writeReaderBook(folder, { file, title, author, breakage = null, unpacked = false, modified = 1_700_000_000, outsideLink = null, hostile = false }) {
  const path = join(folder, file);
  const entries = readerBookEntries({ title, author, breakage, hostile });
  if (unpacked) {
    for (const { name, bytes } of entries) {
      mkdirSync(dirname(join(path, name)), { recursive: true });
      writeFileSync(join(path, name), bytes);
    }
    if (outsideLink) symlinkSync(outsideLink.target, join(path, outsideLink.name));
  } else {
    writeFileSync(path, storedZip(entries));
  }
  utimesSync(path, modified, modified);
  return path;
}

// Books that lay out otherwise than left-to-right text: right-to-left (Arabic, with the spine's
// progression; Hebrew, with only its body's direction), vertical Japanese, and fixed-layout
// pages of a cover, two spreads and a single page in either progression. Every paragraph and page
// carries an id, so a test can tell which are on screen.
const sentences = {
  ar: (c, n) => `الفقرة ${n} من الفصل ${c}، نص عربي طويل بما يكفي ليلتف على سطر أو سطرين من الصفحة.`,
  he: (c, n) => `פסקה ${n} בפרק ${c}, ארוכה מספיק כדי להתגלגל על פני שורה או שתיים של העמוד.`,
  ja: (c, n) => `第${c}章の第${n}段落。吾輩は猫である。名前はまだ無い。どこで生れたかとんと見当がつかぬ。`,
};

export const layoutBooks = {
  arabic: { language: 'ar', dir: 'rtl', progression: 'rtl' },
  hebrew: { language: 'he', dir: null, bodyDir: 'rtl', progression: null },
  // The first chapter's style sheet sets vertical writing; the second leaves it to the book's.
  japanese: { language: 'ja', dir: null, progression: 'rtl', css: 'html { writing-mode: vertical-rl; }', writingMode: 'vertical-rl' },
  comicLTR: { fixed: true, progression: 'ltr' },
  comicRTL: { fixed: true, progression: 'rtl' },
};

// The fixed-layout pages: a cover, two spreads, and a single page, each 1474 × 2324 but the last,
// whose viewport gives absurd sizes.
export const comicPages = ['center', 'left', 'right', 'left', 'right', 'center'];

function layoutParts(book) {
  if (book.fixed) {
    const [first, second] = book.progression === 'rtl' ? ['right', 'left'] : ['left', 'right'];
    return comicPages.map((side, n) => ({
      id: `p${n + 1}`,
      file: `page${n + 1}.xhtml`,
      properties: `page-spread-${side === 'left' ? first : side === 'right' ? second : 'center'}`,
      head: n < comicPages.length - 1 ? '<meta name="viewport" content="width=1474, height=2324"/>' : '<meta name="viewport" content="width=0, height=1e12"/>',
      body: `<div id="page-${n + 1}" style="width:${n < comicPages.length - 1 ? '1474px;height:2324px' : '300px;height:300px'};background:#eee;font-size:120px">Page ${n + 1}</div>`,
    }));
  }
  const paragraphs = (c, count) => Array.from({ length: count }, (_, n) => `<p id="p-${c}-${n + 1}">${sentences[book.language](c, n + 1)}</p>`).join('');
  return [1, 2].map((c) => ({ id: `c${c}`, file: `chapter${c}.xhtml`, properties: '', head: book.css && c === 1 ? '<link rel="stylesheet" href="style.css"/>' : '', body: paragraphs(c, c === 1 ? 40 : 8) }));
}

export function layoutBookEntries(name) {
  const book = layoutBooks[name];
  const parts = layoutParts(book);
  const htmlAttributes = `${book.language ? ` lang="${book.language}" xml:lang="${book.language}"` : ''}${book.dir ? ` dir="${book.dir}"` : ''}`;
  const page = (part) => `<?xml version="1.0" encoding="utf-8"?>
<html xmlns="http://www.w3.org/1999/xhtml"${htmlAttributes}><head><title>${part.id}</title>${part.head}</head><body${book.bodyDir ? ` dir="${book.bodyDir}"` : ''}>${part.body}</body></html>`;
  const metadata = book.fixed ? '<meta property="rendition:layout">pre-paginated</meta><meta property="rendition:spread">landscape</meta>'
    : book.writingMode ? `<meta name="primary-writing-mode" content="${book.writingMode}"/>` : '';
  const opf = `<?xml version="1.0" encoding="utf-8"?><package xmlns="http://www.idpf.org/2007/opf" version="3.0" unique-identifier="id"><metadata xmlns:dc="http://purl.org/dc/elements/1.1/"><dc:identifier id="id">urn:pagewyn:${name}</dc:identifier><dc:title>${name}</dc:title><dc:creator>Layout</dc:creator>${metadata}</metadata><manifest><item id="nav" href="nav.xhtml" media-type="application/xhtml+xml" properties="nav"/>${book.css ? '<item id="css" href="style.css" media-type="text/css"/>' : ''}${parts.map((part) => `<item id="${part.id}" href="${part.file}" media-type="application/xhtml+xml"/>`).join('')}</manifest><spine${book.progression ? ` page-progression-direction="${book.progression}"` : ''}>${parts.map((part) => `<itemref idref="${part.id}"${part.properties ? ` properties="${part.properties}"` : ''}/>`).join('')}</spine></package>`;
  const nav = `<?xml version="1.0" encoding="utf-8"?><html xmlns="http://www.w3.org/1999/xhtml"><head><title>Contents</title></head><body><nav xmlns:epub="http://www.idpf.org/2007/ops" epub:type="toc"><ol>${parts.map((part) => `<li><a href="${part.file}">Part ${part.id}</a></li>`).join('')}</ol></nav></body></html>`;
  return bookEntries(opf, nav, [
    ...(book.css ? [{ name: 'OEBPS/style.css', bytes: book.css }] : []),
    ...parts.map((part) => ({ name: `OEBPS/${part.file}`, bytes: page(part) })),
  ]);
}

export function writeLayoutBook(folder, name) {
  const path = join(folder, `${name}.epub`);
  writeFileSync(path, storedZip(layoutBookEntries(name)));
  return path;
}
