// The book's highlights in the contents panel: in the order of the book, each with its chapter, a
// highlight whose words the book no longer has said to be so; choosing one shows it marked. And
// "Export highlights", which downloads them as one Markdown file.

import { downloadAnswer } from './download.js';
import { element } from './dom.js';
import { showPoint } from './reader-pages.js';
import { readerRequest } from './reader-selection.js';

const shownClass = 'pagewyn-highlight-shown';
const longestShown = 160;

function shortened(text) {
  const line = text.replace(/\s+/g, ' ').trim();
  return line.length > longestShown ? `${line.slice(0, longestShown - 1)}…` : line;
}

export class HighlightList {
  // reader: the reader screen, for its session, spine, pages and go().
  constructor(reader) {
    this.reader = reader;
    this.element = element('section', 'reader-highlights');
    this.element.setAttribute('aria-labelledby', 'reader-highlights-heading');
    this.status = element('p', 'reader-highlights-status');
    this.status.setAttribute('role', 'status');
  }

  // Draws the list of highlights, as the program placed them in the book.
  draw(highlights) {
    const heading = element('h2', 'reader-toc-heading', 'Highlights');
    heading.id = 'reader-highlights-heading';
    const list = element('ol', 'reader-toc-list reader-highlight-list');
    for (const highlight of highlights) list.append(this.entry(highlight));
    const exporter = element('button', 'reader-export-highlights', 'Export highlights');
    exporter.type = 'button';
    exporter.disabled = highlights.length === 0;
    exporter.addEventListener('click', (event) => {
      event.stopPropagation();
      this.export(exporter);
    });
    const hint = 'Select words in the book to highlight them.';
    const empty = element('p', 'reader-highlights-empty', hint);
    empty.hidden = highlights.length > 0;
    this.element.replaceChildren(heading, empty, list, exporter, this.status);
  }

  entry(highlight) {
    const item = element('li');
    const spine = this.reader.spine.findIndex((page) => page.path === highlight.document);
    const choose = element('button', 'reader-toc-entry reader-highlight-entry');
    choose.type = 'button';
    choose.dataset.highlight = highlight.id;
    const words = element('span', 'reader-highlight-text', shortened(highlight.text ?? ''));
    const chapter = element('span', 'reader-highlight-chapter', highlight.chapter || '');
    choose.append(words, chapter);
    if (!highlight.matches) {
      choose.classList.add('stale');
      const note = 'No longer matches the book’s text';
      choose.append(element('span', 'reader-highlight-stale', note));
    }
    if (spine < 0) choose.disabled = true;
    choose.addEventListener('click', (event) => {
      event.stopPropagation();
      this.show(highlight, spine);
    });
    item.append(choose);
    return item;
  }

  // Shows the screen that holds the highlight, its marks set apart from the others.
  async show(highlight, spine) {
    const reader = this.reader;
    reader.element.focus({ preventScroll: true });
    await reader.go(spine, { page: 'first' });
    const pages = reader.pages;
    const doc = pages.document;
    if (!doc || pages.spineIndex !== spine) return;
    for (const shown of doc.querySelectorAll(`.${shownClass}`)) shown.classList.remove(shownClass);
    const marks = [...doc.querySelectorAll(`mark[data-highlight="${CSS.escape(highlight.id)}"]`)];
    for (const mark of marks) mark.classList.add(shownClass);
    if (marks[0]?.firstChild) showPoint(pages, marks[0].firstChild, 0);
  }

  async export(exporter) {
    exporter.disabled = true;
    this.status.textContent = 'Exporting…';
    try {
      const answer = await readerRequest(this.reader.session, 'export-highlights', {});
      const name = await downloadAnswer(answer);
      this.status.textContent = `Downloaded “${name}”.`;
    } catch (failure) {
      this.status.textContent = `Not exported: ${failure.message}`;
    } finally {
      exporter.disabled = false;
    }
  }
}
