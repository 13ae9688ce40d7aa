// The EPUB books of the browser tests, zipped (every entry stored, no compression) or as unpacked
// folders, with a chosen modification time so that the recency order is known: the library's
// one-chapter books, the reader's book, and books laid out otherwise than left-to-right text. This
// file describes them; the project's book maker (pagewyn_make_books, beside the program or named by
// PAGEWYN_MAKE_BOOKS) writes their bytes, many books in one run.

import { spawnSync } from 'node:child_process';
import { createHash } from 'node:crypto';
import { existsSync, mkdtempSync, readFileSync, rmSync } from 'node:fs';
import { tmpdir } from 'node:os';
import { dirname, join, resolve } from 'node:path';
import { fileURLToPath } from 'node:url';

// Hands the maker its lines, one book each, in one run.
function make(lines) {
  if (lines.length === 0) return;
  const here = dirname(fileURLToPath(import.meta.url));
  const maker = [process.env.PAGEWYN_MAKE_BOOKS, resolve(here, '../../../build/tests/support/pagewyn_make_books')]
    .filter(Boolean).find((path) => existsSync(path));
  if (!maker) throw new Error('no pagewyn_make_books: build the tests, or set PAGEWYN_MAKE_BOOKS');
  const made = spawnSync(maker, [], { input: lines.join('\n') + '\n', stdio: ['pipe', 'inherit', 'inherit'] });
  if (made.status !== 0) throw new Error(`pagewyn_make_books failed (${made.status ?? made.signal})`);
}

// The maker's line for the entries at path. An entry's bytes are text, a Buffer, or { png: { width,
// height, color: [red, green, blue] } } for a picture of one colour; an unpacked book may carry a
// link that leads out of it.
function bookLine(
  path,
  entries,
  { unpacked = false, modified = 1_700_000_000, outsideLink = null } = {},
) {
  const link = outsideLink ? [{ name: outsideLink.name, link: outsideLink.target }] : [];
  return JSON.stringify({
    path,
    unpacked,
    modified,
    entries: [...entries, ...link].map(({ name, bytes, link }) => ({
      name,
      stored: true,
      ...(link
        ? { link }
        : typeof bytes === 'string'
          ? { text: bytes }
          : bytes.png
            ? bytes
            : { base64: Buffer.from(bytes).toString('base64') }),
    })),
  });
}

// The bytes of a zip archive of the entries.
export function storedZip(entries) {
  const folder = mkdtempSync(join(tmpdir(), 'pagewyn-zip-'));
  try {
    return readFileSync(writeEntries(folder, 'book.epub', entries));
  } finally {
    rmSync(folder, { recursive: true, force: true });
  }
}

const escapeXML = (text) => String(text).replace(/[<>&"]/g, (c) => ({ '<': '&lt;', '>': '&gt;', '&': '&amp;', '"': '&quot;' })[c]);

// An XHTML document of the book.
export const xhtml = (title, body, { head = '', htmlAttributes = '', bodyAttributes = '' } = {}) => `<?xml version="1.0" encoding="utf-8"?>
<html xmlns="http://www.w3.org/1999/xhtml"${htmlAttributes}><head><title>${escapeXML(title)}</title>${head}</head><body${bodyAttributes}>${body}</body></html>`;

// The entries of an EPUB 3 book whose package document is OEBPS/content.opf. Each part is a
// manifest item { id, file, bytes, mediaType, properties }, in the spine unless spine is false
// (or { linear: false, properties }); contents is the navigation list's markup; a package
// replaces the package document (for broken books).
export function epubEntries({ title, author, identifier = title, urn = `urn:pagewyn:${identifier}`, metadata = '', parts, contents, progression = null, spine = null, packageDocument = null, extraEntries = [] }) {
  const manifest = parts.map((part) => `<item id="${part.id}" href="${part.file}" media-type="${part.mediaType ?? 'application/xhtml+xml'}"${part.properties ? ` properties="${part.properties}"` : ''}/>`).join('');
  const itemrefs = spine ?? parts.filter((part) => part.spine !== false).map((part) => {
    const { linear = true, properties = '' } = part.spine ?? {};
    return `<itemref idref="${part.id}"${linear ? '' : ' linear="no"'}${properties ? ` properties="${properties}"` : ''}/>`;
  }).join('');
  const opf = `<?xml version="1.0" encoding="utf-8"?><package xmlns="http://www.idpf.org/2007/opf" version="3.0" unique-identifier="id"><metadata xmlns:dc="http://purl.org/dc/elements/1.1/"><dc:identifier id="id">${escapeXML(urn)}</dc:identifier><dc:title>${escapeXML(title)}</dc:title><dc:creator>${escapeXML(author)}</dc:creator>${metadata}</metadata><manifest><item id="nav" href="nav.xhtml" media-type="application/xhtml+xml" properties="nav"/>${manifest}</manifest><spine${progression ? ` page-progression-direction="${progression}"` : ''}>${itemrefs}</spine></package>`;
  return [
    { name: 'mimetype', bytes: 'application/epub+zip' },
    { name: 'META-INF/container.xml', bytes: '<?xml version="1.0"?><container version="1.0" xmlns="urn:oasis:names:tc:opendocument:xmlns:container"><rootfiles><rootfile full-path="OEBPS/content.opf" media-type="application/oebps-package+xml"/></rootfiles></container>' },
    { name: 'OEBPS/content.opf', bytes: packageDocument ?? opf },
    { name: 'OEBPS/nav.xhtml', bytes: xhtml('Contents', `<nav xmlns:epub="http://www.idpf.org/2007/ops" epub:type="toc"><ol>${contents}</ol></nav>`) },
    ...parts.map((part) => ({ name: `OEBPS/${part.file}`, bytes: part.bytes })),
    ...extraEntries,
  ];
}

// Writes the entries at folder/file, zipped unless unpacked is set, modified at the second (see
// bookLine); answers the path.
export function writeEntries(folder, file, entries, options = {}) {
  make([bookLine(join(folder, file), entries, options)]);
  return join(folder, file);
}

// The entries of a one-chapter book, with an optional solid-colour PNG cover, its package's
// unique identifier (urn), language (null: none) and description.
export function bookEntries({ title, author, cover = null, urn = undefined, language = 'en', description = null }) {
  const parts = [{ id: 'c1', file: 'c1.xhtml', bytes: xhtml('One', `<h1>${escapeXML(title)}</h1><p>Once upon a time.</p>`) }];
  if (cover) parts.push({ id: 'cover', file: 'cover.png', mediaType: 'image/png', properties: 'cover-image', spine: false, bytes: { png: cover } });
  const metadata = (language === null ? '' : `<dc:language>${escapeXML(language)}</dc:language>`)
    + (description === null ? '' : `<dc:description>${escapeXML(description)}</dc:description>`);
  return epubEntries({ title, author, urn, metadata, parts, contents: '<li><a href="c1.xhtml">One</a></li>' });
}

// Writes the one-chapter books, each { file, title, author, ... } (see bookEntries and bookLine),
// into the folder in one run of the maker.
export function writeBooks(folder, books) {
  make(books.map((book) => bookLine(join(folder, book.file), bookEntries(book), book)));
}

export function writeBook(folder, book) {
  writeBooks(folder, [book]);
  return join(folder, book.file);
}

// A fresh folder holding the books; remove() takes it away.
export function makeLibrary(books) {
  const folder = mkdtempSync(join(tmpdir(), 'pagewyn-e2e-'));
  writeBooks(folder, books);
  return { folder, remove: () => rmSync(folder, { recursive: true, force: true }) };
}

// The titles of a large library begin with every letter, so its index in title order has them all.
const titleWords = ['Alder', 'Birch', 'Cedar', 'Dogwood', 'Elm', 'Fir', 'Ginkgo', 'Hazel', 'Ivy', 'Juniper', 'Kapok', 'Larch', 'Maple',
  'Nutmeg', 'Oak', 'Pine', 'Quince', 'Rowan', 'Spruce', 'Teak', 'Umbrella', 'Vine', 'Willow', 'Xylosma', 'Yew', 'Zelkova'];

// A fresh folder of count books, each with a cover of its own unless covers is false; book n is
// "<Word> n" by "Author <n mod 97>". remove() takes it away.
export function makeLargeLibrary(count, { covers = true, folder = mkdtempSync(join(tmpdir(), 'pagewyn-e2e-')) } = {}) {
  make(Array.from({ length: count }, (_, n) => [join(folder, `b${String(n).padStart(6, '0')}.epub`),
    `${titleWords[n % titleWords.length]} ${n}`, `Author ${n % 97}`, ...(covers ? ['40x60'] : [])].join('\t')));
  return { folder, remove: () => rmSync(folder, { recursive: true, force: true }) };
}

// The reader's book: three chapters, the first long enough for several pages, nested contents
// with a link into the middle of a chapter, a page that carries a script, and two documents kept
// out of the reading order (a cover page before the first chapter, notes between the first two),
// where paging never lands.
export const chapterTexts = {
  one: 'Call me Ishmael.',
  two: 'It was the best of times.',
  middle: 'Here the middle of the second chapter begins.',
  three: 'The sky above the port was the colour of television.',
};
export const asideTexts = { cover: 'A cover page kept out of the reading order.', notes: 'Notes kept out of the reading order.' };

// What a hostile book asks of the host from its first page: the change stream twenty times over
// (more than there are streams), the state and a style sheet from the state route.
const hostileLoads = `${'<img alt="" src="/events"/>'.repeat(20)}<img alt="" src="/state?first=0&amp;count=1"/><link rel="stylesheet" href="/state"/>`;

// breakage is 'package' for a package document that is not XML, 'spine' for a spine that names
// nothing in the book.
export function readerBookEntries({ title, author, breakage = null, hostile = false }) {
  const filler = Array.from({ length: 60 }, (_, n) => `<p>Paragraph ${n + 1} of the first chapter, long enough to wrap over a line or two of the page so that the chapter needs several pages.</p>`).join('');
  const aside = (id) => ({ id, file: `text/${id}.xhtml`, spine: { linear: false }, bytes: xhtml(id, `<p>${asideTexts[id]}</p>`) });
  const chapter = (id, file, body) => ({ id, file, bytes: xhtml(id, body) });
  const parts = [
    aside('cover'),
    chapter('c1', 'text/one.xhtml', `<h1>Loomings</h1><p>${chapterTexts.one}</p>${hostile ? hostileLoads : ''}${filler}`),
    aside('notes'),
    chapter('c2', 'text/two.xhtml', `<h1>The Carpet-Bag</h1><p>${chapterTexts.two}</p>${'<p>More.</p>'.repeat(40)}<h2 id="middle">Middle</h2><p>${chapterTexts.middle}</p><p id="scripted">Nothing ran here.</p><script>document.getElementById('scripted').textContent = 'A script ran.'; parent.document.title = 'hijacked';</script><p><a href="three.xhtml#start">On to the third</a></p>`),
    chapter('c3', 'text/three.xhtml', `<h1 id="start">The Spouter-Inn</h1><p>${chapterTexts.three}</p>`),
  ];
  return epubEntries({
    title, author, parts,
    contents: `
    <li><a href="text/one.xhtml">Loomings</a></li>
    <li><a href="text/two.xhtml">The Carpet-Bag</a><ol><li><a href="text/two.xhtml#middle">Middle</a></li></ol></li>
    <li><a href="text/three.xhtml">The Spouter-Inn</a></li>`,
    spine: breakage === 'spine' ? '<itemref idref="absent"/>' : null,
    packageDocument: breakage === 'package' ? `<package><metadata>${escapeXML(title)}` : null,
  });
}

export function writeReaderBook(
  folder,
  { file, title, author, breakage = null, hostile = false, ...options },
) {
  return writeEntries(
    folder,
    file,
    readerBookEntries({ title, author, breakage, hostile }),
    options,
  );
}

// Books that lay out otherwise than left-to-right text: right-to-left (Arabic, with the spine's
// progression; Hebrew, with only its body's direction), vertical Japanese, and fixed-layout
// pages of a cover, two spreads and a single page in either progression. Every paragraph and page
// carries an id, so a test can tell which are on screen.
const sentences = {
  ar: (c, n) => `الفقرة ${n} من الفصل ${c}، نص عربي طويل بما يكفي ليلتف على سطر أو سطرين من الصفحة.`,
  he: (c, n) => `פסקה ${n} בפרק ${c}, ארוכה מספיק כדי להתגלגל על פני שורה או שתיים של העמוד.`,
  ja: (c, n) => `第${c}章の第${n}段落。吾輩は猫である。名前はまだ無い。どこで生れたかとんと見当がつかぬ。`,
  en: (c, n) => `Paragraph ${n} of chapter ${c} runs on long enough to wrap over two or three lines of a narrow page.`,
};

export const layoutBooks = {
  arabic: { language: 'ar', dir: 'rtl', progression: 'rtl' },
  hebrew: { language: 'he', dir: null, bodyDir: 'rtl', progression: null },
  // The first chapter's style sheet sets vertical writing; the second leaves it to the book's.
  japanese: {
    language: 'ja',
    dir: null,
    progression: 'rtl',
    css: 'html { writing-mode: vertical-rl; }',
    writingMode: 'vertical-rl',
  },
  // A running header and an aside the book's style hides before every fifth paragraph; columns the
  // book caps at 20em; contents entries for every third paragraph from the fourth; after the second
  // paragraph two pictures as tall as a screen side by side.
  headers: {
    language: 'en',
    css: '.oeb-header, aside { display: none; } html { max-height: 20em; }',
    hidden: true,
    entries: Array.from({ length: 13 }, (_, n) => 4 + 3 * n),
    picture: true,
  },
  // Vertical text in columns the book caps at 28em, a reading over the first word of each
  // paragraph.
  capped: {
    language: 'ja',
    progression: 'rtl',
    css: 'html { writing-mode: vertical-rl; max-height: 28em; }',
    writingMode: 'vertical-rl',
    ruby: true,
  },
  // Sections the book keeps whole, some longer than a screen (the first one too, after an empty
  // anchor, kept whole by a rule more particular than any other), and preformatted lines wider
  // than one.
  sections: {
    language: 'en',
    css: 'section { page-break-inside: avoid; } body .unit > section { page-break-inside: avoid !important; } pre { font-size: 1.2em; }',
    sections: [14, 3, 2, 20, 1],
  },
  // A table whose cells do not wrap and a row of four boxes of a set width, both wider than a
  // phone.
  wide: {
    language: 'en',
    css:
      'td, th { white-space: nowrap; padding: 0 8px; } .modes { display: flex; }' +
      ' .modes > div { flex: none; width: 8em; }',
    wide: true,
  },
  comicLTR: { fixed: true, progression: 'ltr' },
  comicRTL: { fixed: true, progression: 'rtl' },
};

// What the "wide" book shows after its fifth and twelfth paragraphs.
const wideBoxes = {
  5: `<table><tr><th>Device</th><th>Format</th><th>Previewer</th></tr>${Array.from({ length: 4 },
    (_, n) => `<tr><td>Tablet ${n + 1}</td><td>KF8 / AZW3 ${n + 1}</td>`
      + '<td>Kindle Previewer 2.7 (タブレット・モード)</td></tr>').join('')}</table>`,
  12: `<div class="modes">${['First mode of use', 'Second mode', 'Third mode',
    'Fourth mode, the last'].map((text) => `<div>${text}</div>`).join('')}</div>`,
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
      spine: { properties: `page-spread-${side === 'left' ? first : side === 'right' ? second : 'center'}` },
      head: n < comicPages.length - 1 ? '<meta name="viewport" content="width=1474, height=2324"/>' : '<meta name="viewport" content="width=0, height=1e12"/>',
      body: `<div id="page-${n + 1}" style="width:${n < comicPages.length - 1 ? '1474px;height:2324px' : '300px;height:300px'};background:#eee;font-size:120px">Page ${n + 1}</div>`,
    }));
  }
  const paragraph = (c, n) => `${book.hidden && n % 5 === 1 ? `<div class="oeb-header">Running header ${n}</div><aside>Hidden aside ${n}</aside>` : ''}<p id="p-${c}-${n}">${book.ruby ? '<ruby>山路<rt>やまみち</rt></ruby>を登りながら、' : ''}${sentences[book.language](c, n)}</p>${book.picture && n === 2 ? '<img alt="" src="picture.png"/>'.repeat(2) : ''}${book.wide && c === 1 ? wideBoxes[n] ?? '' : ''}`;
  const paragraphs = (c, count) => Array.from({ length: count }, (_, n) => paragraph(c, n + 1));
  const grouped = (c) => {
    let next = 0;
    const wide = `<pre id="p-${c}-pre">${'wide_preformatted_line_'.repeat(8)}\n${'and another wide line '.repeat(8)}</pre>`;
    return `<div class="unit"><a id="unit-${c}"></a>${book.sections.map((size) => `<section>${paragraphs(c, 40).slice(next, (next += size)).join('')}</section>`).join('')}</div>${wide}`;
  };
  const style = (c) => book.css && (c === 1 || !book.writingMode) ? '<link rel="stylesheet" href="style.css"/>' : '';
  return [1, 2].map((c) => ({ id: `c${c}`, file: `chapter${c}.xhtml`, head: style(c), body: book.sections && c === 1 ? grouped(c) : paragraphs(c, c === 1 ? 40 : 8).join('') }));
}

export function layoutBookEntries(name) {
  const book = layoutBooks[name];
  const htmlAttributes = `${book.language ? ` lang="${book.language}" xml:lang="${book.language}"` : ''}${book.dir ? ` dir="${book.dir}"` : ''}`;
  const bodyAttributes = book.bodyDir ? ` dir="${book.bodyDir}"` : '';
  const pages = layoutParts(book).map((part) => ({
    ...part,
    bytes: xhtml(part.id, part.body, { head: part.head, htmlAttributes, bodyAttributes }),
  }));
  const style = book.css ? [{ id: 'css', file: 'style.css', mediaType: 'text/css', spine: false, bytes: book.css }] : [];
  if (book.picture) style.push({ id: 'picture', file: 'picture.png', mediaType: 'image/png', spine: false, bytes: { png: { width: 300, height: 1200, color: [40, 90, 160] } } });
  return epubEntries({
    title: name,
    author: 'Layout',
    metadata: book.fixed ? '<meta property="rendition:layout">pre-paginated</meta><meta property="rendition:spread">landscape</meta>'
      : book.writingMode ? `<meta name="primary-writing-mode" content="${book.writingMode}"/>` : '',
    parts: [...style, ...pages],
    contents: pages.map((part) => `<li><a href="${part.file}">Part ${part.id}</a>${part.id === 'c1' && book.entries
      ? `<ol>${book.entries.map((n) => `<li><a href="${part.file}#p-1-${n}">Paragraph ${n}</a></li>`).join('')}</ol>` : ''}</li>`).join(''),
    progression: book.progression,
  });
}

export function writeLayoutBook(folder, name) {
  return writeEntries(folder, `${name}.epub`, layoutBookEntries(name));
}

// A book whose text find must mark as found: lines ended CRLF, a style in the body, ruby, the text
// of a drawing, entities; and its fonts obfuscated by either scheme, or locked by one not known.
export const markedTexts = ['Starnbergersee', '智に働けば', 'Il en avait souvent', 'forgetful snow', 'Bin gar keine', 'beaujolais'];
export const obfuscatedFonts = { Idpf: 'http://www.idpf.org/2008/embedding', Adobe: 'http://ns.adobe.com/pdf/enc#RC', Locked: 'http://www.w3.org/2001/04/xmlenc#aes128-cbc' };

export function markedBookEntries() {
  const urn = 'urn:uuid:0b1f5c3e-8d2a-4e6f-9a7b-3c4d5e6f7a8b';
  const keys = {
    Idpf: [createHash('sha1').update(urn).digest(), 1040],
    Adobe: [Buffer.from(urn.slice(9).replaceAll('-', ''), 'hex'), 1024],
    Locked: [Buffer.from([0x5a]), 1e9],
  };
  const font = readFileSync('/usr/share/fonts/truetype/dejavu/DejaVuSans-ExtraLight.ttf');
  const fonts = Object.entries(keys).map(([family, [key, length]]) => {
    const bytes = Buffer.from(font);
    for (let at = 0; at < Math.min(length, bytes.length); ++at) bytes[at] ^= key[at % key.length];
    return { family, name: `OEBPS/fonts/${family}.ttf`, bytes };
  });
  const encryption = `<encryption xmlns="urn:oasis:names:tc:opendocument:xmlns:container" xmlns:enc="http://www.w3.org/2001/04/xmlenc#">${fonts.map(({ family, name }) =>
    `<enc:EncryptedData><enc:EncryptionMethod Algorithm="${obfuscatedFonts[family]}"/><enc:CipherData><enc:CipherReference URI="${name}"/></enc:CipherData></enc:EncryptedData>`).join('')}</encryption>`;
  const css = `${fonts.map(({ family }) => `@font-face { font-family: ${family}; src: url(fonts/${family}.ttf); } .${family} { font-family: ${family}, serif; }`).join('\n')}
    div.running-head { display: none; }`;
  const filler = (n) => `<p>Line ${n} of the poem, with nothing much to find in it at all.</p>`;
  const body = [
    '<div class="running-head">Mode d\'emploi du beaujolais</div>',
    `<p class="Idpf">Winter kept us warm, covering\r\nEarth in forgetful snow, feeding\r\nA little life with dried tubers.</p>`,
    `<style>p.x { color: #333; }</style>`,
    ...Array.from({ length: 12 }, (_, n) => filler(n + 1).replace('</p>', '\r\n</p>')),
    `<p class="Adobe">Summer surprised us, coming over the Starnbergersee\r\nWith a shower of rain; we stopped in the colonnade.</p>`,
    `<p class="Locked">Bin gar keine Russin, stamm&#8217; aus Litauen, echt deutsch &amp; more.</p>`,
    `<p><ruby>智<rp>(</rp><rt>ち</rt><rp>)</rp></ruby>に働けば角が立つ。<ruby>山路<rt>やまみち</rt></ruby>を登りながら。</p>`,
    `<svg xmlns="http://www.w3.org/2000/svg" width="320" height="40"><style>text { font-size:13px; }</style><text x="4" y="24">Il en avait souvent rêvé</text></svg>`,
    ...Array.from({ length: 12 }, (_, n) => filler(n + 13)),
    '<p>A glass of beaujolais, at last.</p>',
  ].join('\n');
  return epubEntries({
    title: 'Marked', author: 'Finder', urn,
    parts: [
      { id: 'css', file: 'style.css', mediaType: 'text/css', spine: false, bytes: css },
      ...fonts.map(({ family, bytes }) => ({ id: family, file: `fonts/${family}.ttf`, mediaType: 'font/ttf', spine: false, bytes })),
      { id: 'c1', file: 'poem.xhtml', bytes: xhtml('Poem', body, { head: '<link rel="stylesheet" href="style.css"/>' }) },
    ],
    contents: '<li><a href="poem.xhtml">The Poem</a></li>',
    extraEntries: [{ name: 'META-INF/encryption.xml', bytes: encryption }],
  });
}

// Two designed pages that face each other on a landscape screen, each 600 × 800, with the word
// "éditions" once on the left page and, on the right one, in the text of a drawing whose style is
// a CDATA section, then on each of five lines.
export const spreadFindWord = 'éditions';
export function spreadFindEntries() {
  const head = '<meta name="viewport" content="width=600, height=800"/>';
  const page = (id, file, side, body) => ({
    id, file, spine: { properties: `page-spread-${side}` },
    bytes: xhtml(id, `<div style="width:600px;height:800px;font-size:22px">${body}</div>`,
      { head }),
  });
  const drawing = '<svg xmlns="http://www.w3.org/2000/svg" width="560" height="80">'
    + '<style><![CDATA[ text { fill: #1a1a1a; font-size: 40px; } ]]></style>'
    + '<text x="10" y="55">Les éditions du vent</text></svg>';
  const lines = Array.from({ length: 5 },
    (_, n) => `<p id="line-${n + 1}">Ligne ${n + 1}, des éditions et du texte.</p>`).join('');
  return epubEntries({
    title: 'Sous le vent', author: 'Spread',
    metadata: '<meta property="rendition:layout">pre-paginated</meta>'
      + '<meta property="rendition:spread">landscape</meta>',
    parts: [
      page('left', 'left.xhtml', 'left', '<p id="left-1">À gauche, les éditions de la veille.</p>'),
      page('right', 'right.xhtml', 'right', `${drawing}${lines}`),
    ],
    contents: '<li><a href="left.xhtml">Gauche</a></li><li><a href="right.xhtml">Droite</a></li>',
  });
}

