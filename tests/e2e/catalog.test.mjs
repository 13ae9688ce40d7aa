// The catalog for reading apps, as a reading app sees it: every feed parsed by feedparser, the
// orders paged exactly as `pagewyn list` prints them, the author path, search, downloads of a
// zipped and of a folder book, covers offered before any screen was shown, each book's identifier,
// language and description, and bad requests answered with a valid feed or 404, never 500.

import assert from 'node:assert/strict';
import { execFileSync } from 'node:child_process';
import { mkdtempSync, readFileSync, rmSync, statSync, writeFileSync } from 'node:fs';
import { tmpdir } from 'node:os';
import { dirname, join } from 'node:path';
import { fileURLToPath } from 'node:url';
import { get } from 'node:http';
import { after, before, test } from 'node:test';

import { launchBrowser, openPagewyn, waitForFirstRow } from './support/browser.mjs';
import { eventually } from './support/eventually.mjs';
import { makeLibrary, writeBook, writeBooks } from './support/library.mjs';
import { pagewynBinary, startPagewyn } from './support/pagewyn.mjs';

const here = dirname(fileURLToPath(import.meta.url));
// Debian's Python, with its python3-feedparser, whatever other Python comes first on the path.
const debianPython = '/usr/bin/python3';
const authors = ['Ann Ash', 'Bob Birch', 'Cy Cedar', 'Di Dogwood', 'Ed Elm', 'Flo Fir'];
const books = Array.from({ length: 230 }, (_, n) => ({
  file: `book-${n}.epub`,
  title: `Title ${(n * 37) % 230}`,
  author: authors[n % authors.length],
  modified: 1_700_000_000 + ((n * 101) % 230) * 60,
}));
books.push({ file: 'Ünïcode.epub', title: 'Ünïcode & <Sons> "Ltd"', author: 'Zoë Zelkova', modified: 1_600_000_000 },
  { file: 'covered.epub', title: 'Covered', author: 'Cy Cedar', modified: 1_750_000_000, cover: { width: 60, height: 90, color: [200, 40, 40] } });

let library;
let pagewyn;
let password;
before(async () => {
  library = makeLibrary(books);
  writeBook(library.folder, { file: 'Folder Book.epub', title: 'Folder Book', author: 'Ann Ash', unpacked: true, modified: 1_650_000_000,
    outsideLink: { name: 'OEBPS/outside.txt', target: '/etc/hostname' } });
  pagewyn = await startPagewyn(library.folder);
  const settings = await fetch(`${pagewyn.origin}/settings-page/catalog`, { headers: { 'X-Pagewyn-Token': pagewyn.token } });
  assert.equal(settings.status, 200);
  ({ password } = await settings.json());
});
after(async () => {
  if (pagewyn) assert.equal(await pagewyn.stop(), 0);
  library?.remove();
});

const authorization = () => ({ Authorization: `Basic ${Buffer.from(`kobo:${password}`).toString('base64')}` });
// A request of its own connection each time, as a reading app that keeps none alive makes it. The
// catalog password is the same for every program a test run starts.
const ask = (path, program = pagewyn) => new Promise((resolve, reject) => {
  get(new URL(path, program.origin), { headers: authorization(), agent: false }, (answer) => {
    const chunks = [];
    answer.on('data', (chunk) => chunks.push(chunk));
    answer.on('end', () => {
      const body = Buffer.concat(chunks);
      resolve({
        status: answer.statusCode,
        headers: { get: (name) => answer.headers[name] ?? null },
        bytes: () => body,
        text: () => body.toString(),
      });
    });
    answer.on('error', reject);
  }).on('error', reject);
});

// The feed at path as feedparser reads it; it must be well-formed Atom.
async function feed(path, program = pagewyn) {
  const answer = await ask(path, program);
  assert.equal(answer.status, 200, path);
  assert.match(answer.headers.get('content-type'), /^application\/atom\+xml;profile=opds-catalog;kind=(navigation|acquisition)/, path);
  const parsed = JSON.parse(execFileSync(debianPython, [join(here, 'support/atom.py')], { input: answer.bytes() }));
  assert.equal(parsed.bozo, false, `${path}: ${parsed.problem}`);
  assert.equal(parsed.version, 'atom10', path);
  return parsed;
}
const link = (owner, rel) => owner.links.find((each) => each.rel === rel);

// Every entry of a paged feed, page after page by its "next" links, checking the paging links.
async function allPages(path) {
  const entries = [];
  let page = await feed(path);
  const total = Number(page.total);
  assert.equal(Number(page.perPage), 50);
  for (let number = 1; ; number++) {
    assert.ok(link(page, 'first') && link(page, 'last'), path);
    assert.equal(Boolean(link(page, 'previous')), number > 1, path);
    entries.push(...page.entries);
    const next = link(page, 'next');
    if (!next) break;
    page = await feed(next.href);
  }
  assert.equal(entries.length, total, path);
  return entries;
}

function listed(folder, order) {
  const out = execFileSync(pagewynBinary(), ['list', '--documents', folder, '--order', order], { env: { ...process.env, XDG_DATA_HOME: join(folder, '.xdg') } });
  return out.toString().split('\n').filter(Boolean).map((line) => line.split('\t'));
}

test('the root leads to the three orders and to search', { timeout: 60000 }, async () => {
  const root = await feed('/opds');
  assert.deepEqual(root.entries.map((entry) => entry.title), ['Recently Opened', 'Books by Title', 'Books by Author']);
  assert.equal(link(root, 'search').type, 'application/opensearchdescription+xml');
});

test('the orders are paged exactly as pagewyn list prints them', { timeout: 120000 }, async () => {
  for (const [path, order] of [['/opds/recent', 'recent'], ['/opds/title', 'title']]) {
    const entries = await allPages(path);
    assert.deepEqual(
      entries.map((entry) => [entry.title, entry.author]),
      listed(library.folder, order).map(([title, author]) => [title, author]),
    );
    assert.equal(new Set(entries.map((entry) => entry.id)).size, entries.length, 'every book has its own id');
    for (const entry of entries) assert.equal(link(entry, 'http://opds-spec.org/acquisition').type, 'application/epub+zip');
  }
});

test('each author leads to that author\'s books, in the author order', { timeout: 120000 }, async () => {
  const seen = [];
  for (const author of await allPages('/opds/authors')) {
    const own = await allPages(link(author, 'subsection').href);
    assert.ok(own.every((entry) => entry.author === author.title), author.title);
    seen.push(...own.map((entry) => [entry.title, entry.author]));
  }
  assert.deepEqual(seen, listed(library.folder, 'author').map(([title, author]) => [title, author]));
});

test('search folds case and accents as the search field does', { timeout: 60000 }, async () => {
  const description = (await ask('/opds/opensearch.xml')).text();
  const template = /template="([^"]+)"/.exec(description)[1];
  assert.ok(template.startsWith(`${pagewyn.origin}/opds/search?`), template);
  const found = await feed(template.replace('{searchTerms}', encodeURIComponent('UNICODE & <sons')));
  assert.deepEqual(found.entries.map((entry) => entry.title), ['Ünïcode & <Sons> "Ltd"']);
  assert.equal((await allPages('/opds/search?q=title%201')).length, books.filter((book) => /Title 1/i.test(book.title)).length);
});

test('downloads: a zipped book byte for byte, a folder book as an EPUB that lists the same', { timeout: 60000 }, async () => {
  const dates = () => ['book-3.epub', 'Folder Book.epub'].map((file) => statSync(join(library.folder, file)).mtimeMs);
  const before = dates();
  const entries = await allPages('/opds/title');
  const download = async (title) => {
    const answer = await ask(link(entries.find((entry) => entry.title === title), 'http://opds-spec.org/acquisition').href);
    assert.equal(answer.status, 200, title);
    assert.match(answer.headers.get('content-disposition'), /^attachment; filename=/);
    const bytes = answer.bytes();
    assert.equal(Number(answer.headers.get('content-length')), bytes.length);
    return bytes;
  };
  assert.ok((await download(books[3].title)).equals(readFileSync(join(library.folder, 'book-3.epub'))));

  const zipped = await download('Folder Book');
  assert.equal(zipped.subarray(30, 58).toString(), 'mimetypeapplication/epub+zip', 'the mimetype comes first, stored');
  assert.ok(!zipped.includes('outside.txt'), 'a link out of the book is not followed');
  const elsewhere = mkdtempSync(join(tmpdir(), 'pagewyn-e2e-copy-'));
  try {
    writeFileSync(join(elsewhere, 'Copy.epub'), zipped);
    assert.deepEqual(listed(elsewhere, 'title').map(([title, author]) => [title, author]), [['Folder Book', 'Ann Ash']]);
  } finally {
    rmSync(elsewhere, { recursive: true, force: true });
  }
  assert.deepEqual(dates(), before, 'a download moves no date');
});

// The sides of a PNG, from its header.
const pngSides = (bytes) => [bytes.readUInt32BE(16), bytes.readUInt32BE(20)];

test('covers are offered and made when first asked for, on a library whose screen was never shown',
  { timeout: 90000 }, async () => {
  const image = 'http://opds-spec.org/image';
  const thumbnail = 'http://opds-spec.org/image/thumbnail';
  const entries = await allPages('/opds/recent');
  // Both links or neither, and none only for a book already known to have no cover: the rows the
  // program's own window laid out read theirs, and no page read any.
  const offered = entries.filter((entry) => link(entry, image));
  for (const entry of entries) {
    assert.equal(Boolean(link(entry, image)), Boolean(link(entry, thumbnail)), entry.title);
  }
  assert.ok(offered.length > entries.length - 50, `${offered.length} of ${entries.length}`);
  const covered = entries.find((entry) => entry.title === 'Covered');
  assert.ok(link(covered, image));
  assert.notEqual(link(covered, image).href, link(covered, thumbnail).href);
  for (const rel of [image, thumbnail]) {
    const cover = await ask(link(covered, rel).href);
    assert.equal(cover.status, 200, rel);
    assert.equal(cover.headers.get('content-type'), 'image/png', rel);
    assert.deepEqual(pngSides(cover.bytes()), [60, 90], rel);
  }
  // A book found to have no cover answers 404, and is offered without cover links from then on.
  const plain = entries.find((entry) => entry.title !== 'Covered' && link(entry, image));
  assert.equal((await ask(link(plain, image).href)).status, 404);
  const again = (await allPages('/opds/recent')).find((entry) => entry.title === plain.title);
  assert.ok(!link(again, image) && !link(again, thumbnail));
});

test('a cover the library screen has shown is offered with its book', { timeout: 90000 }, async () => {
  const browser = await launchBrowser();
  try {
    await waitForFirstRow(await openPagewyn(browser, pagewyn), 'Covered, Cy Cedar');
    const entry = await eventually(async () => {
      const first = (await feed('/opds/recent')).entries[0];
      return link(first, 'http://opds-spec.org/image') && first;
    }, 'the cover link');
    const thumbnail = link(entry, 'http://opds-spec.org/image/thumbnail');
    const cover = await ask(thumbnail.href);
    assert.equal(cover.status, 200);
    assert.equal(cover.headers.get('content-type'), thumbnail.type);
  } finally {
    await browser.close();
  }
});

test('each entry carries its book\'s own identifier, language, description and progress as plain text', { timeout: 90000 }, async () => {
  const folder = mkdtempSync(join(tmpdir(), 'pagewyn-e2e-entries-'));
  const isbn = 'urn:isbn:9780000000001';
  const huge = '<p>Word <b>upon</b> word.</p>\n'.repeat(40000);
  const rows = [
    { file: 'a.epub', title: 'Entry A', urn: isbn, language: 'fr', description: '<p>Un <b>roman</b>&nbsp;&amp; <i>plus</i>\u0007</p>',
      id: isbn, summary: 'Un roman & plus', progress: 0.129, read: '12% read' },
    { file: 'b.epub', title: 'Entry B', urn: isbn, language: null, description: null, id: null, summary: null },
    { file: 'c.epub', title: 'Entry C', urn: 'urn:uuid:1b4e28ba-2fa1-11d2-883f-0016d3cca427', language: 'en-GB', description: huge,
      id: 'urn:uuid:1b4e28ba-2fa1-11d2-883f-0016d3cca427', summary: `${'Word upon word. '.repeat(62)}Word up…`,
      progress: 1, finished: true, read: 'finished' },
  ];
  // The places the reader kept: how far in each book was read, as its row says it.
  const place = ({ progress, finished }) =>
    ({ document: 'OEBPS/chapter-1.xhtml', offset: 0, progress, ...(finished ? { finished } : {}) });
  const places = Object.fromEntries(
    rows.filter((row) => row.read).map((row) => [row.file, place(row)]));
  try {
    writeBooks(folder, rows.map(({ file, title, urn, language, description }) => ({ file, title, author: 'Ann Ash', urn, language, description })));
    const store = { store: 'pagewyn reading places', places };
    writeFileSync(join(folder, 'reading-places.json'), JSON.stringify(store));
    // A start keeps the descriptions of files that had settled when it read them (one changed
    // within a tick of the file system's clock could change again unseen); a later start reads
    // the others again. Ids and languages come with the books' titles, whatever the cache holds.
    const entries = await eventually(async () => {
      const program = await startPagewyn(folder);
      try {
        const found = (await feed('/opds/title', program)).entries;
        // A parser takes an entry's content for its summary when it has none: not a description.
        const described = (entry, row) => entry.summary && entry.summary !== row.read;
        return found.every((entry, n) => rows[n]?.description === null || described(entry, rows[n]))
          && found;
      } finally {
        assert.equal(await program.stop(), 0);
      }
    }, 'a start that keeps the descriptions', 30000);
    assert.deepEqual(entries.map((entry) => entry.title), rows.map((row) => row.title));
    for (const [entry, row] of entries.map((each, n) => [each, rows[n]])) {
      if (row.id) assert.equal(entry.id, row.id, row.title);
      else assert.match(entry.id, /^urn:pagewyn:book:[0-9a-f]+$/, row.title);
      assert.equal(entry.language ?? null, row.language, row.title);
      assert.equal(entry.summary ?? null, row.summary, row.title);
      assert.deepEqual(entry.content, row.read ? [row.read] : [], row.title);
    }
  } finally {
    rmSync(folder, { recursive: true, force: true });
  }
});

test('bad requests get a valid feed or 404, never a server error', { timeout: 60000 }, async () => {
  const cases = [
    ['/opds/title?page=0', 404], ['/opds/title?page=-1', 404], ['/opds/title?page=abc', 404], ['/opds/title?page=99999999999999', 404],
    ['/opds/title?page=6', 404], ['/opds/title?page=5', 200], ['/opds/authors?page=2', 404],
    [`/opds/search?q=${encodeURIComponent('<&"\'>]]>')}`, 200], [`/opds/search?q=${'x'.repeat(5000)}`, 200], ['/opds/search?q=', 200],
    ['/opds/author?name=Nobody', 200], ['/opds/author', 200],
    ['/opds/download/nothing.epub', 404], ['/opds/download/..%2F..%2Fetc%2Fpasswd', 404], ['/opds/download/..', 404],
    ['/opds/cover/nothing.epub', 404], ['/opds/thumbnail/nothing.epub', 404],
    ['/opds/nowhere', 404],
  ];
  for (const [path, status] of cases) {
    const answer = await ask(path);
    assert.equal(answer.status, status, path);
    if (status === 200) await feed(path);
  }
});
