// The table screen: a virtual list. Only the rows the host sent (those around the visible area)
// exist in the page; the content is as tall as all rows, so the scroll bar and scrolling behave
// as with every row present. Section headers float at the top while their section is in view.
// The table carries out the commands the program gave it: scroll to a row (animated or not) and
// fade deleted rows out. A search field stands under the first section's header, above the first
// row, and the table's background view (what an empty list says) lies under the rows.

import { drawView, cssColor, firstLabel } from './views.js';
import { makeRow, redrawRow, rowKey, setRowOpen } from './rows.js';
import { SectionIndex } from './section-index.js';
import { SearchField } from './search-field.js';
import { LibraryPassages } from './library-passages.js';
import { awaitPassage } from './reader-search.js';
import { attachKeyboard } from './keyboard.js';

// Jumps this close in time (milliseconds) are one scroll going on: a dragged scroll bar or a fling,
// also on a slow device, whose next jump is asked for ahead.
const jumpsApart = 2000;

// Rows drawn beyond each edge of the view; a scroll asks for a screen more ahead of it (in the
// direction it goes) once fewer than these remain, so a steady scroll finds its rows drawn.
const overscan = 6;
const fadeMilliseconds = 250;
const defaultRowHeight = 56;

const reducedMotion = () => window.matchMedia?.('(prefers-reduced-motion: reduce)').matches;
const pause = (milliseconds) => new Promise((resolve) => setTimeout(resolve, milliseconds));

export class TableScreen {
  // actions: send(event), viewportChanged(), tell(text) (a notice on the page)
  constructor(actions) {
    this.actions = actions;
    this.table = null;
    this.rows = new Map();
    this.headers = new Map();
    this.focusFlat = 0;
    this.wantsFocus = false;
    // A letter typed on a row asked for a jump whose answer has not been drawn yet.
    this.keyboardJump = false;

    this.element = document.createElement('div');
    this.element.className = 'table-screen';
    this.scroller = document.createElement('div');
    this.scroller.className = 'table-scroller';
    this.content = document.createElement('div');
    this.content.className = 'table-content';
    this.rowsLayer = document.createElement('div');
    this.rowsLayer.className = 'table-rows';
    this.rowsLayer.setAttribute('role', 'list');
    this.sectionsLayer = document.createElement('div');
    this.sectionsLayer.className = 'table-sections';
    this.index = new SectionIndex((title) => actions.send({ type: 'tapIndexTitle', title }));
    this.search = new SearchField((text) => this.searchChanged(text), () => this.isInFront());
    this.savedScroll = null;
    this.backgroundLayer = document.createElement('div');
    this.backgroundLayer.className = 'table-background-view';
    // The header comes first for Tab, as on screen: its buttons, the search field, then the rows.
    this.content.append(
      this.sectionsLayer,
      this.search.element,
      this.backgroundLayer,
      this.rowsLayer,
    );
    // Passages from the books' text stand under the rows the field finds by title and author.
    this.passages = new LibraryPassages(
      (passage) => this.openPassage(passage),
      () => this.rowCount > 0,
    );
    this.scroller.append(this.content, this.passages.element);
    this.element.append(this.scroller, this.index.element);

    // The way the list last moved: 1 down, -1 up, 0 before any scroll.
    this.direction = 0;
    this.lastTop = 0;
    this.scroller.addEventListener('scroll', () => {
      const top = this.scroller.scrollTop;
      if (top !== this.lastTop) this.direction = Math.sign(top - this.lastTop);
      this.lastTop = top;
      actions.viewportChanged();
    }, { passive: true });
    attachKeyboard(this);

    // The scroller's size as last laid out, so that drawing an answer reads no layout: a read
    // would lay the new rows out at once, and the frame lays them out anyway.
    this.scrollerSize = null;
    new ResizeObserver(() => {
      const height = this.scroller.clientHeight;
      const changed = this.scrollerSize?.height !== height;
      this.scrollerSize = { height };
      // The index stands beside the scroll bar, not over it, so a mouse can use both; scroll bars
      // drawn over the content (touch screens) take no room.
      this.index.element.style.right = `${this.scroller.offsetWidth - this.scroller.clientWidth}px`;
      if (changed && this.table) this.updateIndex();
    }).observe(this.scroller);
  }

  get scrollerHeight() {
    return this.scrollerSize?.height ?? this.scroller.clientHeight;
  }

  get rowCount() {
    return Number(this.table?.rowCount) || 0;
  }

  get rowHeight() {
    return Number(this.table?.rowHeight) || defaultRowHeight;
  }

  sections() {
    return this.table?.sections ?? [];
  }

  // The section holding the row counted across sections, with the count of rows before it.
  sectionOf(flat) {
    let before = 0;
    for (const section of this.sections()) {
      if (flat < before + section.rows) return { section, before };
      before += section.rows;
    }
    return null;
  }

  // The search field's band under the first header moves everything below it down.
  get band() {
    return this.search.height;
  }

  rowTop(flat) {
    const found = this.sectionOf(flat);
    if (!found) return 0;
    return (
      found.section.top +
      found.section.headerHeight +
      this.band +
      (flat - found.before) * this.rowHeight
    );
  }

  pinnedHeight(flat) {
    return (this.sectionOf(flat)?.section.headerHeight ?? 0) + this.band;
  }

  isInFront() {
    return this.element.isConnected && !document.querySelector('.presented-layer:not([hidden])');
  }

  // The whole text of the search field, as typed: the first letter keeps the place in the whole
  // list so that clearing the field comes back to it.
  searchChanged(text) {
    if (text !== '' && this.savedScroll === null) this.savedScroll = this.scroller.scrollTop;
    this.actions.send({ type: 'search', text });
    this.passages.search(text);
  }

  // The passage's book opens in the reader, which shows the passage with its words marked.
  openPassage(passage) {
    awaitPassage(passage);
    this.actions.send({ type: 'selectFoundPassage', item: passage.file });
  }

  flatAt(y) {
    let before = 0;
    const sections = this.sections();
    for (const section of sections) {
      const rowsTop = section.top + section.headerHeight + this.band;
      if (y < rowsTop + section.rows * this.rowHeight) {
        return (
          before +
          Math.min(
            Math.max(0, Math.floor((y - rowsTop) / this.rowHeight)),
            Math.max(0, section.rows - 1),
          )
        );
      }
      before += section.rows;
    }
    return Math.max(0, before - 1);
  }

  // The rows the page shows now, with some to spare on both sides, and the table's size. While
  // the rows shown are drawn, a screen more is asked for ahead of the scroll; after a jump only
  // the spare rows are, so that the rows the user waits for come soonest.
  viewport() {
    const top = this.scroller.scrollTop;
    const height = this.scroller.clientHeight || window.innerHeight;
    const width = this.scroller.clientWidth || window.innerWidth;
    let first = 0;
    let last = Math.ceil(height / this.rowHeight);
    if (this.table) {
      first = this.flatAt(top);
      last = this.flatAt(top + height);
    }
    const ahead = this.holds(first, last) ? Math.max(overscan, last - first + 1) : overscan;
    const start = Math.max(0, first - (this.direction < 0 ? ahead : overscan));
    const end = last + (this.direction < 0 ? overscan : ahead);
    const count = Math.min(1000, end - start + 1);
    return { first: start, count, width, height, shownFirst: first, shownLast: last };
  }

  // Whether the rows drawn (or those of a table not drawn yet) include the rows from first to
  // last (or the list ends before).
  holds(first, last, table = this.table) {
    if (!table) return false;
    const drawnFirst = Number(table.first) || 0;
    const drawnEnd = drawnFirst + (Number(table.count) || 0);
    return (
      Math.max(0, first) >= drawnFirst &&
      (last < drawnEnd || drawnEnd >= (Number(table.rowCount) || 0))
    );
  }

  // Whether the rows drawn (or another table's) cover what the viewport shows, with the spare
  // rows ahead of the scroll.
  covers(viewport, table = this.table) {
    const before = this.direction < 0 ? overscan : 0;
    const after = this.direction < 0 ? 0 : overscan;
    return this.holds(viewport.shownFirst - before, viewport.shownLast + after, table);
  }

  // A scroll that jumps past the rows drawn again and again the same way (the scroll bar dragged,
  // a fling) is followed ahead: the rows where its next jump will land, as far on as the last jump
  // went, are asked for while these are looked at. Jumps more than a second apart, or that change
  // direction, are no such scroll.
  noteJump(viewport) {
    const now = performance.now();
    const last = this.lastJump && now - this.lastJump.at < jumpsApart ? this.lastJump : null;
    if (last?.first === viewport.shownFirst) return;
    const step = viewport.shownFirst - (last ? last.first : Number(this.table?.first) || 0);
    const steady = last !== null && step !== 0 && Math.sign(step) === Math.sign(last.step);
    this.lastJump = { first: viewport.shownFirst, at: now, step, steady, followed: false };
  }

  // The rows to ask for where the scroll's next jump will likely land, once per jump; or null.
  nextJump(viewport) {
    const jump = this.lastJump;
    if (!jump?.steady || jump.followed || performance.now() - jump.at >= jumpsApart) return null;
    jump.followed = true;
    const shift = Math.max(
      -viewport.first,
      Math.min(jump.step, this.rowCount - 1 - viewport.first),
    );
    if (shift === 0) return null;
    // With spare rows on both sides, for a landing a little off the last jump's length.
    return {
      ...viewport,
      first: Math.max(0, viewport.first + shift - overscan),
      count: Math.min(1000, viewport.count + 2 * overscan),
    };
  }

  async update(table) {
    const commands = Array.isArray(table.commands) ? table.commands : [];
    const fading = [];
    for (const command of commands) {
      if (command.kind !== 'deleteRows' || command.animation === 'none' || reducedMotion()) continue;
      for (const target of command.rows ?? []) {
        for (const element of this.rows.values()) {
          if (element.rowData.flat === target.flat) fading.push(element);
        }
      }
    }
    if (fading.length > 0) {
      for (const element of fading) element.classList.add('fading');
      await pause(fadeMilliseconds);
    }
    // Asked before drawing: the answer's rows may already be those the jump lands on, and drawing
    // them takes away the row that had the keyboard.
    // A jump asked for from the keyboard counts too: an answer drawn meanwhile may have taken the
    // row that had the keyboard away.
    const keyboardInRows =
      this.rowsLayer.contains(document.activeElement) || this.wantsFocus || this.keyboardJump;
    const deleted = commands
      .filter((command) => command.kind === 'deleteRows')
      .flatMap((command) => command.rows ?? [])
      .map(
        (target) =>
          [...this.rows.values()].find((element) => element.rowData.flat === target.flat)?.rowData
            .label,
      )
      .filter(Boolean);
    this.render(table);
    if (deleted.length > 0) this.actions.tell(deleted.map((label) => `“${label}” was deleted.`).join(' '));
    for (const command of commands) {
      const target = command.rows?.[0];
      if (!target) continue;
      // The selected row is the book just opened: the keyboard comes back to it.
      if (command.kind === 'selectRow') this.focusFlat = target.flat;
      if (command.kind === 'scrollToRow' || (command.kind === 'selectRow' && command.position !== 'none')) {
        this.scrollToRow(target.flat, command.position, command.animated);
        // The keyboard follows a jump made from the keyboard.
        if (keyboardInRows) {
          this.focusFlat = target.flat;
          this.wantsFocus = true;
        }
        this.keyboardJump = false;
      }
    }
    this.focusFocusedRow();
  }

  render(table) {
    const searchBefore = this.table?.search?.text ?? '';
    this.table = table;
    const headerHeight = this.sections()[0]?.headerHeight ?? 0;
    this.search.update(table.search, headerHeight);
    if (table.label) this.rowsLayer.setAttribute('aria-label', table.label);
    else this.rowsLayer.removeAttribute('aria-label');
    this.content.style.height = `${Math.max(0, Number(table.contentHeight) || 0) + this.band}px`;
    this.scroller.style.backgroundColor = table.background ? cssColor(table.background) : '';
    this.renderHeaders();
    this.renderBackground(headerHeight + this.band);
    this.passages.rowsChanged();
    this.renderRows();
    this.updateIndex();
    this.followSearch(searchBefore, table.search?.text ?? '');
    this.focusFocusedRow();
  }

  updateIndex() {
    const pinned = (this.sections()[0]?.headerHeight ?? 0) + this.band;
    this.index.update(this.table.index, { top: pinned, height: this.scrollerHeight - pinned });
  }

  // A new search shows its first rows; the field cleared shows the whole list where it was.
  followSearch(before, now) {
    if (before === now) return;
    if (now !== '') {
      this.scroller.scrollTop = 0;
    } else if (this.savedScroll !== null) {
      this.scroller.scrollTop = this.savedScroll;
      this.savedScroll = null;
      this.actions.viewportChanged();
    }
  }

  renderBackground(top) {
    const view = this.table.backgroundView;
    const key = view ? JSON.stringify(view) : '';
    if (this.backgroundLayer.key === key) return;
    this.backgroundLayer.key = key;
    this.backgroundLayer.style.top = `${top}px`;
    this.backgroundLayer.replaceChildren(...(view
      ? [drawView(view, { touchUpInside: (id) => this.actions.send({ type: 'touchUpInside', view: id }) }, { origin: false })]
      : []));
    // Named for screen readers as a whole, when the view carries a name.
    if (view?.label) {
      this.backgroundLayer.setAttribute('role', 'region');
      this.backgroundLayer.setAttribute('aria-label', view.label);
    } else {
      this.backgroundLayer.removeAttribute('role');
      this.backgroundLayer.removeAttribute('aria-label');
    }
  }


  renderHeaders() {
    const layers = [];
    // A header drawn anew keeps the keyboard on the button that had it.
    const focusedId = document.activeElement?.closest?.('.table-sections') ? document.activeElement.dataset.viewId : null;
    this.sections().forEach((section, number) => {
      const key = JSON.stringify(section);
      let layer = this.headers.get(number);
      if (!layer || layer.key !== key) {
        layer = document.createElement('div');
        layer.className = 'table-section';
        layer.key = key;
        const rowsHeight = section.rows * this.rowHeight;
        const below = number === 0 ? 0 : this.band;
        Object.assign(layer.style, { top: `${section.top + below}px`, height: `${section.headerHeight + this.band - below + rowsHeight}px` });
        if (section.header) {
          const header = document.createElement('header');
          header.className = 'section-header';
          header.style.height = `${section.headerHeight}px`;
          header.append(drawView(section.header, { touchUpInside: (id) => this.actions.send({ type: 'touchUpInside', view: id }) }, { origin: false }));
          const title = firstLabel(header);
          if (title) {
            title.setAttribute('role', 'heading');
            title.setAttribute('aria-level', number === 0 ? '1' : '2');
          }
          layer.append(header);
        }
        this.headers.set(number, layer);
      }
      layers.push(layer);
    });
    for (const [number] of this.headers) {
      if (number >= this.sections().length) this.headers.delete(number);
    }
    this.sectionsLayer.replaceChildren(...layers);
    if (focusedId && !this.sectionsLayer.contains(document.activeElement))
      this.sectionsLayer.querySelector(`[data-view-id="${CSS.escape(focusedId)}"]`)?.focus();
  }

  renderRows() {
    const seen = new Set();
    const focusWasInRows = this.rowsLayer.contains(document.activeElement);
    for (const row of this.table.rows ?? []) {
      const id = row.cell?.id;
      seen.add(id);
      const key = rowKey(row);
      let element = this.rows.get(id);
      if (element && element.key !== key && redrawRow(element, row)) {
        // Another book in this row: it takes its place at once, where the same book moving
        // (after a deletion above it) slides.
        element.key = key;
        element.classList.add('jumped');
      } else if (element?.key === key) {
        element.classList.remove('jumped');
      } else {
        const wasOpen = element?.classList.contains('open') && element.rowData.label === row.label;
        element?.remove();
        element = makeRow(row, {
          tap: (target) => this.tap(target),
          confirmDelete: (data) => this.actions.send({ type: 'deleteRow', section: data.section, row: data.row }),
          opened: (target) => this.closeOpenRows(target),
        });
        element.key = key;
        if (wasOpen) setRowOpen(element, true);
        this.rows.set(id, element);
        this.rowsLayer.append(element);
      }
      element.rowData = row;
      Object.assign(element.style, { top: `${row.top + this.band}px`, height: `${row.height}px` });
      element.setAttribute('aria-setsize', String(this.rowCount));
      element.setAttribute('aria-posinset', String(row.flat + 1));
    }
    for (const [id, element] of this.rows) {
      if (!seen.has(id)) {
        element.remove();
        this.rows.delete(id);
      }
    }
    if (focusWasInRows && !this.rowsLayer.contains(document.activeElement)) this.wantsFocus = true;
    this.focusFlat = Math.min(this.focusFlat, Math.max(0, this.rowCount - 1));
  }

  rowElement(flat) {
    for (const element of this.rows.values()) {
      if (element.rowData.flat === flat) return element;
    }
    return null;
  }

  focusFocusedRow() {
    for (const element of this.rows.values())
      element.cell.tabIndex = element.rowData.flat === this.focusFlat ? 0 : -1;
    this.rowsLayer.tabIndex = this.rowElement(this.focusFlat) ? -1 : 0;
    if (!this.wantsFocus) return;
    const element = this.rowElement(this.focusFlat);
    if (element) {
      this.wantsFocus = false;
      element.cell.focus({ preventScroll: true });
    }
  }

  // Gives the keyboard to the row it was last on: the book just read, when a reader closes.
  focusRow() {
    this.wantsFocus = true;
    this.focusFocusedRow();
  }

  tap(element) {
    if (this.closeOpenRows()) return;
    this.focusFlat = element.rowData.flat;
    this.actions.send({ type: 'tapRow', section: element.rowData.section, row: element.rowData.row, label: element.rowData.label });
  }

  // Closes every row whose delete button shows, but the one given; answers whether any was open.
  closeOpenRows(except = null) {
    let closed = false;
    for (const element of this.rows.values()) {
      if (element !== except && element.classList.contains('open')) {
        setRowOpen(element, false);
        closed = true;
      }
    }
    return closed;
  }

  scrollToRow(flat, position, animated) {
    if (!(flat >= 0) || flat >= this.rowCount) return;
    const top = this.rowTop(flat);
    const pinned = this.pinnedHeight(flat);
    const height = this.scroller.clientHeight;
    const current = this.scroller.scrollTop;
    let target;
    if (position === 'top') target = top - pinned;
    else if (position === 'middle') target = top - (height - this.rowHeight) / 2;
    else if (position === 'bottom') target = top + this.rowHeight - height;
    else if (top - pinned < current) target = top - pinned;
    else if (top + this.rowHeight > current + height) target = top + this.rowHeight - height;
    else return;
    const to = Math.max(0, target);
    // The rows asked for from now on lie the way the list goes, before its scroll events tell.
    if (to !== current) this.direction = Math.sign(to - current);
    if (!animated || reducedMotion()) {
      this.scroller.scrollTo({ top: to, behavior: 'auto' });
      return;
    }
    // A glide over a long way would pass rows no answer can bring in time, and show nothing: the
    // table lands short of the row, on the side it comes from, and glides the rest, at most a
    // screen and only through rows it holds (the host sends the screen before the row with it).
    if (Math.abs(to - current) > 1.5 * height) {
      const first = Number(this.table?.first) || 0;
      const last = Math.min(first + (Number(this.table?.count) || 0), this.rowCount) - 1;
      this.scroller.scrollTop = to > current
        ? Math.min(to, Math.max(to - height, this.rowTop(first)))
        : Math.max(to, Math.min(to + height, this.rowTop(last) + this.rowHeight - height));
    }
    this.scroller.scrollTo({ top: to, behavior: 'smooth' });
  }
}
