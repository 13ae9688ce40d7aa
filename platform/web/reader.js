// The reader screen: the book's pages between a top bar (close, title, contents, night, text
// size) and a bottom bar (previous, chapter and position, next), the table of contents, and the
// menu of a selection (highlight, share quote). Pages turn by the bars' buttons, by a tap or click
// near either edge, by a swipe and by the keyboard, across the ends of chapters. Everything is
// coloured and switched as the reader's configuration says.

import { element } from './dom.js';
import { PageView, firstVisiblePoint, neighbour } from './reader-pages.js';
import { listenToPinch } from './reader-input.js';
import { PlaceKeeper, leftPlace } from './reader-place.js';
import { SearchPanel, takeAwaitedPassage } from './reader-search.js';
import { HighlightList } from './reader-highlight-list.js';
import { SelectionMenu } from './reader-selection.js';
import { scriptFallbacks } from './styled-text.js';
import { cssColor } from './views.js';
import { keepFocusInside, moveFocusRound } from './dialog.js';
import { tellOnPage } from './page-drawing.js';

let current = null;

// The reader's look, and its keys pressed while nothing has the focus (as after a tap turned to
// another document), which still turn the open reader's pages: added with the first book shown,
// so the page that shows the library needs nothing of it.
function installReader() {
  if (document.querySelector('link[href="/reader.css"]')) return;
  const sheet = document.createElement('link');
  sheet.rel = 'stylesheet';
  sheet.href = '/reader.css';
  document.head.append(sheet);
  document.addEventListener('keydown', (event) => {
    const target = event.target;
    if (
      current?.element.isConnected &&
      (target === document.body || target === document.documentElement)
    )
      current.key(event);
  });
}

// The reader for the presented screen; the same reader while the same book stays open, so a
// new look at the state never turns its page.
export function drawReader(presented, send) {
  const description = presented.reader ?? {};
  if (current?.session === description.session) return current.element;
  installReader();
  current = new Reader(description, send);
  return current.element;
}

function button(className, text, label, onClick) {
  const made = element('button', className, text);
  made.type = 'button';
  if (label) made.setAttribute('aria-label', label);
  made.addEventListener('click', (event) => {
    event.stopPropagation();
    onClick(event);
  });
  return made;
}

function luminance([r, g, b]) {
  const linear = (c) => (c <= 0.03928 ? c / 12.92 : ((c + 0.055) / 1.055) ** 2.4);
  return 0.2126 * linear(r) + 0.7152 * linear(g) + 0.0722 * linear(b);
}

// The chrome's colour, or its mirror in lightness when it would not stand out from the paper.
function readableOn(color, paper) {
  const [a, b] = [luminance(color), luminance(paper)].sort((x, y) => y - x);
  if ((a + 0.05) / (b + 0.05) >= 3) return color;
  return [1 - color[0], 1 - color[1], 1 - color[2], color[3]];
}

function clampScale(scale) {
  return Math.min(2.5, Math.max(0.6, scale));
}

function withAlpha(color, alpha) {
  return cssColor([color[0], color[1], color[2], alpha]);
}

class Reader {
  constructor(description, send) {
    this.description = description;
    this.session = description.session;
    this.send = send;
    this.settings = description.settings ?? {};
    this.spine = description.spine ?? [];
    this.toc = description.toc ?? [];
    // The text size and night mode the book was last read with win over the configuration's.
    // A page reloaded while the book was open knows the place it left it at, sent or not.
    const kept = leftPlace(this.session) ?? description.place;
    this.kept = kept;
    this.night = typeof kept?.night === 'boolean' ? kept.night : Boolean(this.settings.startsInNightMode);
    this.fontScale = clampScale(Number(kept?.fontScale) || Number(this.settings.fontScale) || 1);
    this.chromeShown = !this.settings.alwaysHidesChrome;
    this.placeKeeper = new PlaceKeeper(this);
    this.build();
    this.applyColors();
    if (description.failure || this.spine.length === 0) this.showFailure(description.failure);
    else this.start();
  }

  build() {
    const settings = this.settings;
    this.element = element('div', 'reader');
    this.element.setAttribute('role', 'dialog');
    this.element.setAttribute('aria-modal', 'true');
    // Focus comes back here when a panel closes, so the keys keep reaching the reader.
    this.element.tabIndex = -1;
    this.element.setAttribute('aria-label', this.description.title ? `Reader: ${this.description.title}` : 'Reader');
    this.element.classList.toggle('always-hides-chrome', Boolean(settings.alwaysHidesChrome));
    this.element.addEventListener('keydown', (event) => this.key(event));
    // The reader is modal: Tab goes round its own controls and the page.
    keepFocusInside(this.element);
    // Whether the control that has the focus was reached by Tab: only such a control takes Space
    // and Enter for itself (a clicked one, or the reader just opened, leaves Space to the pages).
    this.tabbing = false;
    this.focusTabbed = false;
    this.element.addEventListener('pointerdown', () => { this.tabbing = false; }, true);
    this.element.addEventListener('focusin', () => {
      this.focusTabbed = this.tabbing;
      this.tabbing = false;
    });
    listenToPinch(this.element, (factor) => this.setFontScale(this.fontScale * factor));

    this.top = element('header', 'reader-bar reader-top');
    this.closeButton = button('reader-close', 'Close', 'close', () => this.close());
    this.title = element('h1', 'reader-title', this.description.title ?? '');
    this.title.hidden = !settings.showsTitle;
    this.contentsButton = button('reader-contents-button', 'Contents', 'Contents', () => this.toggleContents());
    this.contentsButton.setAttribute('aria-expanded', 'false');
    this.contentsButton.disabled = !this.hasContents;
    this.nightButton = button('reader-night', 'Night', 'Night mode', () => this.setNight(!this.night));
    // Named first by what they show, so a person who says what they see reaches them, then by
    // what they do, which a mouse is told too.
    this.smaller = button('reader-smaller', 'A−', 'A− Smaller text', () => this.setFontScale(this.fontScale / 1.1));
    this.smaller.title = 'Smaller text';
    this.larger = button('reader-larger', 'A+', 'A+ Larger text', () => this.setFontScale(this.fontScale * 1.1));
    this.larger.title = 'Larger text';
    this.searchButton = button('reader-search-button', 'Search', 'Search', () => this.search.toggle());
    this.searchButton.setAttribute('aria-expanded', 'false');
    const tools = element('div', 'reader-tools');
    tools.append(
      this.searchButton,
      this.contentsButton,
      this.nightButton,
      this.smaller,
      this.larger,
    );
    this.top.append(this.closeButton, this.title, tools);

    this.stage = element('div', 'reader-stage');
    this.message = element('div', 'reader-message');
    this.message.hidden = true;
    this.message.setAttribute('role', 'alert');

    this.bottom = element('footer', 'reader-bar reader-bottom');
    this.previousButton = button('reader-previous', '‹', 'Previous page', () => this.turn('previous'));
    this.nextButton = button('reader-next', '›', 'Next page', () => this.turn('next'));
    this.place = element('div', 'reader-position');
    this.chapterLabel = element('span', 'reader-chapter');
    this.pageLabel = element('span', 'reader-page');
    this.pageLabel.hidden = settings.showsPosition === false;
    this.place.append(this.chapterLabel, this.pageLabel);
    this.place.setAttribute('aria-live', 'polite');
    this.progress = element('div', 'reader-progress');
    this.progress.setAttribute('role', 'progressbar');
    this.progress.setAttribute('aria-label', 'Place in the book');
    this.progress.setAttribute('aria-valuemin', '0');
    this.progress.setAttribute('aria-valuemax', '100');
    this.progressFill = element('div', 'reader-progress-fill');
    this.progress.append(this.progressFill);
    this.bottom.append(this.progress, this.previousButton, this.place, this.nextButton);

    this.contents = element('nav', 'reader-toc');
    this.contents.setAttribute('aria-label', 'Table of contents');
    this.contents.hidden = true;
    this.selection = new SelectionMenu(this);
    this.highlightList = new HighlightList(this);
    this.search = new SearchPanel(this);

    this.element.append(
      this.stage,
      this.message,
      this.top,
      this.bottom,
      this.contents,
      this.search.element,
      this.selection.element,
    );
    this.showChrome(this.chromeShown);
  }

  applyColors() {
    const settings = this.settings;
    const paper = (this.night ? settings.nightPaperColor : settings.dayPaperColor) ?? [1, 1, 1, 1];
    const chrome = readableOn(settings.chromeColor ?? [0.33, 0.33, 0.33, 1], paper);
    const accent = settings.accentColor ?? [0, 0.48, 1, 1];
    const style = this.element.style;
    style.setProperty('--reader-paper', cssColor(paper));
    style.setProperty('--reader-chrome', cssColor(chrome));
    style.setProperty('--reader-accent', cssColor(accent));
    style.setProperty('--reader-accent-soft', withAlpha(accent, 0.35));
    style.setProperty('--reader-text', this.night ? '#e4dfd5' : '#111');
    this.element.classList.toggle('night', this.night);
    this.nightButton.setAttribute('aria-pressed', String(this.night));
    const family = { serif: `Georgia, "Times New Roman", ${scriptFallbacks()}, serif`, sansSerif: `"System", system-ui, ${scriptFallbacks()}, sans-serif` }[settings.fontFamily];
    const nightRules = this.night
      ? `html, body { background: ${cssColor(paper)} !important; color: #e4dfd5 !important; }
         body * { color: inherit !important; background-color: transparent !important; }`
      : `html { background: ${cssColor(paper)} !important; color: #111; }`;
    // A book that sets no type of its own is set as a book: its own rules, later, win over these.
    const base = `:where(html) { font-family: Georgia, "Times New Roman", ${scriptFallbacks()}, serif; line-height: 1.5; }
      :where(p) { hyphens: auto; }`;
    this.pages?.setAppearance(`${base}
      ${nightRules}
      html { font-size: ${Math.round(this.fontScale * 100)}% !important; }
      html { overscroll-behavior: none; touch-action: ${this.pages?.vertical ? 'pan-y' : 'none'} !important; }
      ${family ? `body, body * { font-family: ${family} !important; }` : ''}
      ::selection { background: ${withAlpha(accent, 0.35)}; }
      mark.pagewyn-highlight { background: ${withAlpha(accent, 0.4)} !important; color: inherit !important; border-radius: 2px; }
      mark.pagewyn-highlight-shown { outline: 2px solid ${cssColor(accent)}; }
      a { color: ${cssColor(accent)} !important; }`,
    // A match is marked on designed pages too, which otherwise keep their own look. Text of a
    // drawing has no background: a broad stroke of the accent painted under its letters stands
    // for one, whatever colour the letters are filled with.
    `mark.pagewyn-found { background: ${withAlpha(accent, 0.75)} !important;
        color: inherit !important; outline: 2px solid ${cssColor(accent)}; }
      tspan.pagewyn-found { stroke: ${withAlpha(accent, 0.75)} !important;
        stroke-width: 0.3em !important; stroke-linejoin: round; paint-order: stroke !important;
        text-decoration: underline; }`);
  }

  start() {
    this.pages = new PageView({
      session: this.session,
      spine: this.spine,
      book: this.description.layout ?? {},
      vertical: this.settings.scrollDirection === 'vertical',
      onTap: (zone) => this.tapped(zone),
      onSwipe: (direction) => this.turn(direction),
      onKey: (event) => this.key(event),
      onPinch: (factor) => this.setFontScale(this.fontScale * factor),
      onLink: (index, fragment) => this.go(index, { fragment }),
      onSelection: () => this.selection.selectionChanged(),
      onMarkTapped: (id, rect) => this.selection.offerRemoval(id, rect),
      onLoaded: () => {
        this.applyColors();
        this.selection.pageLoaded();
      },
      onPosition: () => this.showPosition(),
      keepPlaceThrough: (change) => this.placeKeeper.keepThrough(change),
    });
    this.element.classList.toggle('vertical', this.pages.vertical);
    this.stage.append(this.pages.frame);
    this.applyColors();
    this.drawContents();
    new ResizeObserver(() => this.placeKeeper.keepThrough(() => this.pages.layout())).observe(
      this.stage,
    );
    this.selection.loadHighlights();
    // The book opens where it was left; a place in a document it no longer has, at its start.
    const kept = this.kept;
    const start = Math.max(0, neighbour(this.spine, -1, 1));
    const index =
      Number.isInteger(kept?.spine) && kept.spine >= 0 && kept.spine < this.spine.length
        ? kept.spine
        : start;
    const offset = index === kept?.spine && Number.isInteger(kept.offset) ? kept.offset : 0;
    const picture =
      index === kept?.spine && Number.isInteger(kept.picture) && kept.picture > 0
        ? kept.picture
        : 0;
    // A passage chosen in the library's search field is shown instead, its words marked.
    const passage = takeAwaitedPassage(this.description);
    if (passage && Number.isInteger(passage.spine) && this.spine[passage.spine]) {
      requestAnimationFrame(async () => {
        await this.placeKeeper.open(passage.spine, passage.start);
        await this.search.show(passage);
      });
      return;
    }
    requestAnimationFrame(() => this.placeKeeper.open(index, offset, picture));
    // A place another reading device pushed says where it came from.
    if (typeof kept?.device === 'string' && kept.device && index === kept.spine) {
      tellOnPage(`Opened at the place reached on ${kept.device}.`);
    }
  }

  showFailure(reason) {
    this.message.replaceChildren(element('h2', '', 'This book cannot be opened.'),
      element('p', '', reason || 'It has no pages to show.'));
    this.message.hidden = false;
    for (const control of [
      this.searchButton,
      this.contentsButton,
      this.nightButton,
      this.smaller,
      this.larger,
      this.previousButton,
      this.nextButton,
    ]) {
      control.disabled = true;
    }
    this.showChrome(true);
  }

  async close() {
    await this.placeKeeper.flush();
    this.send({ type: 'touchUpInside', view: this.description.closeButton });
  }

  showChrome(shown) {
    this.chromeShown = shown && !this.settings.alwaysHidesChrome;
    this.element.classList.toggle('chrome-hidden', !this.chromeShown);
  }

  tapped(zone) {
    if (this.selection.shown || !this.contents.hidden || this.search.shown) {
      this.selection.hide();
      this.toggleContents(false);
      this.search.toggle(false);
      return;
    }
    if (zone === 'middle') {
      if (this.settings.hidesChromeOnTap) this.showChrome(!this.chromeShown);
      return;
    }
    this.turn(zone);
  }

  async turn(direction) {
    if (!this.pages) return;
    this.selection.hide();
    if (direction === 'next') await this.pages.next();
    else await this.pages.previous();
  }

  go(index, place) {
    this.toggleContents(false);
    return this.pages?.open(index, place);
  }

  key(event) {
    if (event.defaultPrevented) return;
    if ((event.ctrlKey || event.metaKey) && !event.altKey && event.key.toLowerCase() === 'f' && !this.searchButton.disabled) {
      event.preventDefault();
      this.toggleContents(false);
      this.search.toggle(true);
      return;
    }
    if (event.altKey || event.ctrlKey || event.metaKey) return;
    // Tab pressed inside the book's page goes round the reader as from the frame.
    if (event.key === 'Tab') {
      this.tabbing = true;
      if (!this.element.contains(event.target)) moveFocusRound(this.element, event);
      return;
    }
    // In the contents and the quote composer the keys move between their own controls.
    if (event.target?.closest?.('.reader-search')) return;
    if (event.target?.closest?.('.reader-toc') && this.moveInContents(event)) return;
    if (event.key !== 'Escape' && event.target?.closest?.('.reader-toc, .reader-quote')) return;
    // Space and Enter press a button the reader moved to with Tab; on a button that has the
    // focus only because it was clicked, Space turns the page.
    const button = event.target?.closest?.('button');
    if ((event.key === ' ' || event.key === 'Enter') && button && this.focusTabbed) return;
    if (event.key === 'Enter' && button) {
      event.preventDefault();
      return;
    }
    // The arrows follow the side the next page lies on; PageDown and PageUp always go forward
    // and back.
    const scrolled = this.pages?.vertical;
    const rtl = this.pages?.progression === 'rtl';
    const forward = ['PageDown', scrolled ? 'ArrowDown' : rtl ? 'ArrowLeft' : 'ArrowRight'];
    const backward = ['PageUp', scrolled ? 'ArrowUp' : rtl ? 'ArrowRight' : 'ArrowLeft'];
    if (event.key === 'Escape') {
      if (!this.contents.hidden || this.selection.shown) {
        this.toggleContents(false);
        this.selection.hide();
      } else {
        this.close();
      }
    } else if (forward.includes(event.key) || (event.key === ' ' && !event.shiftKey)) {
      this.turn('next');
    } else if (backward.includes(event.key) || (event.key === ' ' && event.shiftKey)) {
      this.turn('previous');
    } else if (event.key === 'Home' && this.pages) {
      this.go(0, { page: 'first' });
    } else {
      return;
    }
    event.preventDefault();
  }

  // Up and Down go between the entries of the contents, Home and End to the first and last.
  moveInContents(event) {
    const entries = [...this.contents.querySelectorAll('button:not(:disabled)')];
    const at = entries.indexOf(event.target);
    const to = { ArrowDown: at + 1, ArrowUp: at - 1, Home: 0, End: entries.length - 1 }[event.key];
    if (to === undefined || entries.length === 0) return false;
    event.preventDefault();
    entries[Math.min(entries.length - 1, Math.max(0, to))].focus();
    return true;
  }

  setNight(night) {
    this.night = night;
    this.applyColors();
    this.placeKeeper.changed();
  }

  setFontScale(scale) {
    this.fontScale = clampScale(scale);
    this.placeKeeper.keepThrough(() => {
      this.applyColors();
      this.pages?.layout();
    });
    this.placeKeeper.changed();
  }

  // The title of the part of the book being read: the last entry of the contents whose start is
  // on or before the first character shown, so a section that begins further down the screen is
  // not named yet.
  chapterTitle(spineIndex) {
    const doc = this.pages?.document;
    const first = spineIndex === this.pages?.spineIndex ? this.firstShown : null;
    const started = (target) =>
      first
        ? target === first.node ||
          target.contains(first.node) ||
          Boolean(target.compareDocumentPosition(first.node) & Node.DOCUMENT_POSITION_FOLLOWING)
        : this.pages.pageOf(target, 0) <= this.pages.page;
    let inside = null;
    for (const entry of this.toc) {
      if (entry.spine !== spineIndex || this.pages.failure) continue;
      const target = entry.fragment ? doc?.getElementById(entry.fragment) : null;
      if (!entry.fragment || (target && started(target))) inside = entry;
      else if (!inside && !target) inside = entry;
    }
    if (inside) return inside.title;
    let found = null;
    for (const entry of this.toc) {
      if (entry.spine === null || entry.spine === undefined) continue;
      if (entry.spine === spineIndex && (!found || found.spine !== spineIndex)) found = entry;
      else if (
        entry.spine < spineIndex &&
        (!found || entry.spine >= found.spine) &&
        found?.spine !== spineIndex
      )
        found = entry;
    }
    return found?.title ?? `Part ${spineIndex + 1} of ${this.spine.length}`;
  }

  // The page shown and the count, as the label reads them: a designed page by its place among the
  // book's designed pages, a reflowable one by its screen in the document.
  pageNumbers(position) {
    if (!this.pages.fixed) return [position.page + 1, position.pageCount];
    const fixed = this.spine.map((item, index) => ({ item, index })).filter(({ item }) => item.layout === 'pre-paginated');
    const read = fixed.filter(({ item }) => item.linear !== false);
    const counted = read.some(({ index }) => index === position.spine) ? read : fixed;
    return [counted.findIndex(({ index }) => index === position.spine) + 1, counted.length];
  }

  // The controls follow the side the next page lies on: in a right-to-left book "Next page" sits
  // on the left and the bar fills from the right.
  followProgression() {
    const rtl = this.pages.progression === 'rtl';
    if (this.element.classList.contains('rtl') === rtl && this.nextButton.parentElement) return;
    this.element.classList.toggle('rtl', rtl);
    this.progress.dir = rtl ? 'rtl' : 'ltr';
    this.nextButton.textContent = rtl ? '‹' : '›';
    this.previousButton.textContent = rtl ? '›' : '‹';
    if (rtl) this.bottom.append(this.progress, this.nextButton, this.place, this.previousButton);
    else this.bottom.append(this.progress, this.previousButton, this.place, this.nextButton);
  }

  showPosition() {
    const position = this.pages.position;
    // Designed pages take the whole room between the bars.
    this.element.classList.toggle('fixed-layout', this.pages.fixed && !position.failure);
    this.followProgression();
    this.firstShown = firstVisiblePoint(this.pages);
    this.chapterLabel.textContent = this.chapterTitle(position.spine);
    const [number, count] = this.pageNumbers(position);
    this.pageLabel.textContent = position.failure ? '' : `Page ${number} of ${count}`;
    const share = Math.round(((position.spine + position.fraction) / this.spine.length) * 100);
    this.progressFill.style.width = `${share}%`;
    this.progress.setAttribute('aria-valuenow', String(share));
    this.previousButton.disabled =
      neighbour(this.spine, position.spine, -1) < 0 && position.page <= 0;
    const lastShown = this.pages.spread.at(-1) ?? position.spine;
    this.nextButton.disabled =
      neighbour(this.spine, lastShown, 1) < 0 && position.page >= position.pageCount - 1;
    this.message.hidden = !position.failure;
    if (position.failure) {
      this.message.replaceChildren(element('h2', '', 'This part of the book cannot be shown.'), element('p', '', position.failure));
    }
    for (const item of this.contents.querySelectorAll('button')) {
      const current = Number(item.dataset.spine) === position.spine;
      if (current) item.setAttribute('aria-current', 'true');
      else item.removeAttribute('aria-current');
    }
    this.placeKeeper.noted();
  }

  drawContents() {
    const list = element('ol', 'reader-toc-list');
    for (const entry of this.toc) {
      const item = element('li');
      const target = button('reader-toc-entry', entry.title || 'Untitled', null, () => this.go(entry.spine, { fragment: entry.fragment, page: 'first' }));
      target.style.paddingInlineStart = `${16 + Math.min(8, entry.depth ?? 0) * 18}px`;
      if (entry.spine === null || entry.spine === undefined) target.disabled = true;
      else target.dataset.spine = String(entry.spine);
      item.append(target);
      list.append(item);
    }
    this.contents.replaceChildren(element('h2', 'reader-toc-heading', 'Contents'), list);
    if (this.toc.length === 0) this.contents.replaceChildren();
    if (this.description.highlights?.available) {
      this.contents.append(this.highlightList.element);
      this.highlightList.draw(this.selection.highlights);
    }
  }

  // Whether the contents panel has anything to show: the book's contents or its highlights.
  get hasContents() {
    return this.toc.length > 0 || Boolean(this.description.highlights?.available);
  }

  // The highlights were read or changed: the contents panel lists them anew.
  highlightsChanged() {
    this.highlightList.draw(this.selection.highlights);
  }

  toggleContents(show = this.contents.hidden) {
    if (!this.hasContents) show = false;
    if (show) this.search.toggle(false);
    // The keyboard that was in the contents comes back to the reader, where Space pages on.
    if (!show && this.contents.contains(document.activeElement)) this.element.focus();
    this.contents.hidden = !show;
    this.contentsButton.setAttribute('aria-expanded', String(show));
    if (show) (this.contents.querySelector('[aria-current]') ?? this.contents.querySelector('button:not(:disabled)'))?.focus();
  }

}
